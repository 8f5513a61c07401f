#pragma once

#include "DirFormModel.h"
#include "WindowSkin.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class TDialogs;
namespace Ui {
class TDirForm;
}

// "Directory to add": asks for the folder to scan and the type of file to
// collect. The Qt skin of a DirFormModel, which decides what the dialog
// shows and hands back; created once beside the main window and shown again
// for every scan.
//
// After exec() returns QDialog::Accepted the caller reads Model().Choice()
// (the folder's bytes, the chosen type from 0 and its mask).
class TDirForm : public QDialog, public eit::DirFormSkin {
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
    // The directory's bytes (DirFormModel::ScanDirPath).
    QByteArray ScanDirPath() const;
    // The folder of the last scan: the field starts there at the first
    // showing.
    void SetLastFolder(const std::string& folder) { FLastFolder = folder; }

    // The controls of the form, named as in resources/TDirForm.ui.
    Ui::TDirForm& Controls() { return *ui; }
    eit::DirFormModel& Model() { return FModel; }

    // DirFormSkin
    void ShowTypes(const std::vector<std::string>& descriptions, int current) override;
    std::string ShowFolder(const std::string& folder) override;
    void SetOkEnabled(bool enabled) override;
    bool AskDirectory(std::string& dir) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TDirForm> ui;
    TDialogs& FDialogs;
    eit::DirFormModel FModel;
    std::string FLastFolder;
};
