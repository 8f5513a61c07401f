#pragma once

#include <QByteArray>
#include <QDialog>

class QLineEdit;

// "Select Directory": a directory text with a browse button. Unlike a file
// dialog in directory mode it accepts a name that does not exist yet: after
// "The specified directory does not exist. Create it?" Yes creates it with
// its parents and closes, No returns to the picker.
class TDirectoryPicker : public QDialog {
    Q_OBJECT

public:
    // Opens at dir (a path's bytes; a relative one is taken below the
    // current directory, an empty one shows an empty text).
    TDirectoryPicker(const QByteArray& dir, QWidget* parent = nullptr);

    // The chosen directory's bytes, made absolute against the starting
    // directory. While the text still shows the starting directory, or only
    // goes on below it, its bytes come back as they came in.
    QByteArray Directory() const;

    void accept() override;

private:
    void Browse();
    // accept() without its guard.
    void AcceptIfUsable();

    QByteArray FStart;
    QLineEdit* FEdit;
};
