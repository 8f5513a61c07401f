#pragma once

#include "Batch.h"
#include "BatchState.h"

#include <QWidget>

#include <memory>
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
    void BExtListClick();

    // Takes files and folders as a drop on LogList does: the first path the
    // window can use decides. A folder is scanned for data packs as
    // ProcessDir scans; a pack, project list or log file (known by its
    // extension) is added with every other path of its type, as the open
    // dialog adds a selection with that type's filter. Relative paths are
    // taken from the working directory. Errors are shown, never thrown.
    void AddPaths(const std::vector<std::string>& paths);

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
    bool eventFilter(QObject* watched, QEvent* event) override;
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
    // BRemLog, BProcess and BSaveList off until the list is known again.
    void HoldListButtons();
    void EnableListButtonsIfFilled();
    // What adding files does before its files are known: a scanned list
    // goes, and the buttons that need entries wait for them.
    void BeginAdding();
    // Adds files chosen with the open dialog's filter position filterIndex
    // (none: cancelled) and enables the list buttons when entries remain.
    void AddSelection(const std::vector<std::string>& files, int filterIndex);
    // Replaces LogList by the files matching mask below root, in the mode
    // of the scan type typeIndex (from 0).
    void ScanFolder(const std::string& root, const std::string& mask, int typeIndex);
    // "Extension list: <path>" in CurrentMessage.
    void ShowExtListStatus();
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
    QString FSelectLogDir;
    bool FCloseRequested = false;
    bool FCentred = false;
    // The lines the batch appended to Results, as bytes; they stand for the
    // pane until the user changes its text.
    std::vector<std::string> FResultLines;
    bool FResultsOurs = true;
    bool FWritingResults = false; // our own change of the pane is under way
};
