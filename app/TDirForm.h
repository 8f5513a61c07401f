#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class TDialogs;
namespace Ui {
class TDirForm;
}

// "Directory to add": asks for the folder to scan and the type of file to
// collect. Created once beside the main window and shown again for every
// scan; between showings it keeps the directory text and the state of BOk,
// while every showing starts again at the first file type.
//
// After exec() returns QDialog::Accepted the caller reads ScanDirPath (the
// directory's bytes), FTypeIndex (the chosen type, from 0) and FFileMask (its mask).
class TDirForm : public QDialog {
    Q_OBJECT

public:
    // filterText returns the open dialog's filter text
    // ("Description|mask|Description|mask..."), asked at every showing.
    // dialogs answers the directory picker and shows handler errors; it must
    // outlive the form.
    TDirForm(TDialogs& dialogs, std::function<QString()> filterText, QWidget* parent = nullptr);
    ~TDirForm() override;

    // The directory text exactly as typed.
    QString ScanDir() const;
    // The directory's bytes: those the picker handed back while the text
    // still shows them (or only goes on below them), otherwise the text.
    QByteArray ScanDirPath() const;

    // The controls of the form, named as in resources/TDirForm.ui.
    Ui::TDirForm& Controls() { return *ui; }

    QString FFilterText;
    int FTypeIndex = 0;
    QString FFileMask;

    void FormShow();
    void ScanDirChange();
    void FilterChange();
    void CallDialogClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Runs handler through RunGuarded, its errors shown over the main window.
    template <typename Handler>
    void Guarded(Handler&& handler);

    std::unique_ptr<Ui::TDirForm> ui;
    TDialogs& FDialogs;
    std::function<QString()> FFilterSource;
    QByteArray FPickedDir;
};
