#pragma once

#include "MainWindowModel.h"
#include "QtWindowSettings.h"
#include "WindowSkin.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TMainForm;
}
class QAbstractButton;
class TDialogs;
class TDirForm;
class TTarga;
class TTextObject;

// The main window: the Qt skin of a MainWindowModel, which decides what the
// list, the buttons, the batch and the files do. The form draws the model's
// state, hands it the user's clicks, drops and close requests, and answers
// its dialogs through TDialogs; a message box it shows is owned by the
// window. After a confirmed output folder the working folder moves there,
// so that the next picker and relative names start at it.
class TMainForm : public QWidget, public eit::MainWindowSkin {
    Q_OBJECT

public:
    explicit TMainForm(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TMainForm() override;

    Ui::TMainForm& Form() { return *ui; }
    eit::MainWindowModel& Model() { return FModel; }
    eit::BatchState& State() { return FModel.State(); }
    eit::Batch& BatchRun() { return FModel.BatchRun(); }
    TTextObject* TextObject() const { return FTextObject; }
    TTarga* Targa() const { return FTarga; }
    TDirForm* DirForm() const { return FDirForm; }

    // The window's handlers and its state as the batch sees them, run by
    // the model.
    void BAddLogClick() { FModel.BAddLogClick(); }
    void BRemLogClick() { FModel.BRemLogClick(); }
    void BClearAllClick() { FModel.BClearAllClick(); }
    void BSaveListClick() { FModel.BSaveListClick(); }
    void SaveLogClick() { FModel.SaveLogClick(); }
    void BExitClick() { FModel.BExitClick(); }
    void BProcessClick() { FModel.BProcessClick(); }
    void StopClick() { FModel.StopClick(); }
    void ProcessDirClick() { FModel.ProcessDirClick(); }
    void BExtListClick() { FModel.BExtListClick(); }
    // Files and folders as if dropped on LogList (MainWindowModel::AddPaths).
    void AddPaths(const std::vector<std::string>& paths) { FModel.AddPaths(paths); }
    int FilterIndex() const { return FModel.FilterIndex(); }
    int InputCount() const { return FModel.InputCount(); }
    std::string InputEntry(int index) const { return FModel.InputEntry(index); }
    void SetStopEnabled(bool enabled) { FModel.SetStopEnabled(enabled); }
    void SetSaveLogEnabled(bool enabled) { FModel.SetSaveLogEnabled(enabled); }

    // MainWindowSkin
    void ShowEntries(const std::vector<std::string>& entries) override;
    std::vector<int> SelectedRows() const override;
    void SetCurrentRow(int row) override;
    void SetEnabled(eit::MainButton button, bool enabled) override;
    bool IsEnabled(eit::MainButton button) const override;
    void SetStatus(const std::string& text) override;
    void SetExtracted(const std::string& caption) override;
    void SetProgress(int position) override;
    void SetTotal(int position) override;
    // Called by anyone but the model, these two go through the model, so
    // that it keeps the lines' bytes.
    void ClearResults() override;
    void AppendResult(const std::string& line) override;
    std::string ResultsText() const override;
    void FocusResults() override;
    bool AskOpenFiles(const std::vector<eit::DialogFilter>& filters, std::vector<std::string>& files, int& filterIndex,
                      std::string& dir) override;
    bool AskOpenFile(const std::string& title, const std::vector<eit::DialogFilter>& filters,
                     std::string& file) override;
    bool AskSaveFile(const std::string& title, const std::vector<eit::DialogFilter>& filters,
                     const std::string& defaultSuffix, std::string& file) override;
    // The output folder's picker; a confirmed folder becomes the working
    // folder (a failure to move there is harmless: the batch writes below
    // the folder as it is).
    bool AskDirectory(std::string& dir) override;
    bool AskScan(eit::ScanChoice& choice) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void PumpEvents() override;
    void CloseWindow() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ConnectClick(QAbstractButton* button, void (eit::MainWindowModel::*handler)());
    QAbstractButton* Button(eit::MainButton button) const;

    std::unique_ptr<Ui::TMainForm> ui;
    TDialogs& FDialogs;
    QtWindowSettings FSettings;
    eit::MainWindowModel FModel;
    TDirForm* FDirForm = nullptr;
    TTextObject* FTextObject = nullptr;
    TTarga* FTarga = nullptr;
    bool FCentred = false;
};
