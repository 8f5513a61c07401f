#pragma once

#include <QDialog>

class QLineEdit;

// "Select Directory": a directory text with a browse button. Unlike a file
// dialog in directory mode it accepts a name that does not exist yet: after
// "The specified directory does not exist. Create it?" Yes creates it with
// its parents and closes, No returns to the picker.
class TDirectoryPicker : public QDialog {
    Q_OBJECT

public:
    TDirectoryPicker(const QString& dir, QWidget* parent = nullptr);

    // The chosen directory, made absolute against the starting directory.
    QString Directory() const;

    void accept() override;

private:
    void Browse();

    QString FStart;
    QLineEdit* FEdit;
};
