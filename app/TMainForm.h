#pragma once

#include "Batch.h"
#include "BatchState.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class TMainForm;
}
class TDialogs;
class TDirForm;
class TTarga;
class TTextObject;

// The main window: the input list, the batch with its progress display, and
// the list and results files. It is the batch's view; every handler enters
// through Guarded(), so an error shows as a message box owned by the window
// and the window stays usable.
class TMainForm : public QWidget, public eit::BatchView {
    Q_OBJECT

public:
    explicit TMainForm(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TMainForm() override;

    Ui::TMainForm& Form() { return *ui; }
    eit::BatchState& State() { return FState; }
    eit::Batch& BatchRun() { return FBatch; }
    TTextObject* TextObject() const { return FTextObject; }
    TTarga* Targa() const { return FTarga; }
    TDirForm* DirForm() const { return FDirForm; }

    void BAddLogClick();
    void BRemLogClick();
    void BClearAllClick();
    void BSaveListClick();
    void SaveLogClick();
    void BExitClick();
    void BProcessClick();
    void StopClick();
    void ProcessDirClick();

    // BatchView
    int InputCount() const override;
    std::string InputEntry(int index) const override;
    int FilterIndex() const override { return FSelectLogFilterIndex; }
    void SetStatus(const std::string& text) override;
    int ProgressPosition() const override;
    void SetProgress(int position) override;
    int TotalPosition() const override;
    void SetTotal(int position) override;
    void SetExtracted(const std::string& caption) override;
    void ClearResults() override;
    void AppendResult(const std::string& line) override;
    int ResultLineCount() const override;
    void FocusResults() override;
    void SetStopEnabled(bool enabled) override;
    void SetSaveLogEnabled(bool enabled) override;
    bool PickDirectory(std::string& dir) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ProcessEvents() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    // Runs handler through RunGuarded, then closes the window when a close
    // waited for the batch to end.
    template <typename Handler>
    void Guarded(Handler&& handler);
    void ConnectClick(class QAbstractButton* button, void (TMainForm::*handler)());
    void SetListButtons(bool enabled);
    void EnableListButtonsIfFilled();
    // SelectLog and what its answer does to LogList.
    void AddFromSelectLog();
    // Appends one LogList entry per path, keeping the path's bytes.
    void AddEntries(const std::vector<std::string>& paths);
    // The bytes of LogList entry row. Throws FileError "List index out of
    // bounds (%d)".
    std::string EntryPath(int row) const;

    std::unique_ptr<Ui::TMainForm> ui;
    TDialogs& FDialogs;
    TDirForm* FDirForm = nullptr;
    TTextObject* FTextObject = nullptr;
    TTarga* FTarga = nullptr;
    eit::BatchState FState;
    eit::Batch FBatch;
    int FSelectLogFilterIndex = 1;
    bool FCloseRequested = false;
    bool FCentred = false;
    // The lines the batch appended to Results, and the pane's text right
    // after the last of them; unset while the pane holds anything else.
    std::vector<std::string> FResultLines;
    std::optional<QString> FResultsShown = QString();
};
