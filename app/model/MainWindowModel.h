#pragma once

#include "Batch.h"
#include "BatchState.h"
#include "WindowSkin.h"

#include <string>
#include <vector>

namespace eit {

// The keys of what the window remembers between sessions (WindowSettings).
inline constexpr const char* kOutputFolderKey = "OutputFolder"; // the last output folder's bytes
inline constexpr const char* kOpenFolderKey = "OpenFolder";     // where the open dialog was left
inline constexpr const char* kOpenFilterKey = "OpenFilter";     // its filter position, decimal
inline constexpr const char* kScanFolderKey = "ScanFolder";     // the last scanned folder's bytes
inline constexpr const char* kExtListKey = "ExtensionList";     // the chosen extension list's bytes

// The main window without a toolkit: the input list (LogList) as byte
// strings, its processing mode, the batch with its progress display, the
// project lists, the results and the extension list. It is the batch's
// view; a skin draws it (MainWindowSkin) and forwards the window's events
// to the entry points below, named as the window's handlers.
//
// Every entry point runs guarded: an exception never leaves the model; its
// message (std::bad_alloc: "Out of memory", anything not a std::exception:
// "Unexpected error") shows through the skin's ShowMessage with the caption
// "Extract\Insert Tool", and the window stays usable. Entry points may be
// called from inside a running batch's PumpEvents: a second batch is not
// started, everything else (adding, removing, clearing, scanning) works.
//
// skin and settings must outlive the model. The model never moves the
// working folder.
class MainWindowModel : public BatchView {
public:
    MainWindowModel(MainWindowSkin& skin, WindowSettings& settings);
    ~MainWindowModel() override;
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // The window is up: reads the remembered extension list, open folder,
    // filter position and scan folder, enables the buttons an empty list
    // allows (BAddLog, ProcessDir, BExit, BExtList; the others off) and
    // shows "Extension list: <path>".
    void Start();

    // The open dialog "Select file..." adds files of the chosen type; a new
    // type starts a new list; a project list replaces the list by its lines.
    void BAddLogClick();
    // Removes the selected entries; the current row moves to the last entry.
    void BRemLogClick();
    void BClearAllClick();
    // Saves the entries' bytes as a project list (CR LF).
    void BSaveListClick();
    // Saves the results pane as a text file (CR LF): the batch's own bytes
    // while the user has not edited the pane, otherwise the pane's text.
    void SaveLogClick();
    // Closes the window as CloseRequested decides.
    void BExitClick();
    // Checks the extension list (extraction), then runs the batch.
    void BProcessClick();
    void StopClick();
    // The scan dialog, then the list replaced by the folder's files.
    void ProcessDirClick();
    // "Select extension list...": remembered, and shown unless a batch runs.
    void BExtListClick();

    // Takes files and folders as a drop on LogList does: the first path the
    // window can use decides. A folder is scanned for data packs as
    // ProcessDir scans; a pack, project list or log file (known by its
    // extension) is added with every other path of its type, as the open
    // dialog adds a selection with that type's filter. Relative paths are
    // taken from the working folder.
    void AddPaths(const std::vector<std::string>& paths);
    // Whether a drop of paths would add anything (a folder, or a file of a
    // known type). Never throws.
    static bool CanTake(const std::vector<std::string>& paths) noexcept;
    // The user changed the results pane's text (not the model's own
    // ClearResults/AppendResult): from now on "Save results" saves what the
    // pane shows.
    void ResultsEdited();
    // True while the model itself changes the results pane (in ClearResults
    // and AppendResult): a skin whose pane reports every change tells the
    // user's edits from the model's by it.
    bool WritingResults() const { return FWritingResults; }
    // The window asks before it closes. True when it may close now; during a
    // batch the batch is told to stop, the answer is false, and the model
    // calls the skin's CloseWindow() once the batch has unwound (no box is
    // shown meanwhile).
    bool CloseRequested();

    BatchState& State() { return FState; }
    Batch& BatchRun() { return FBatch; }
    const std::vector<std::string>& Entries() const { return FEntries; }

    // BatchView
    int InputCount() const override;
    // Throws FileError "List index out of bounds (%d)".
    std::string InputEntry(int index) const override;
    int FilterIndex() const override { return FSelectLogFilterIndex; }
    void SetStatus(const std::string& text) override;
    int ProgressPosition() const override { return FProgress; }
    void SetProgress(int position) override;
    int TotalPosition() const override { return FTotal; }
    void SetTotal(int position) override;
    void SetExtracted(const std::string& caption) override;
    void ClearResults() override;
    void AppendResult(const std::string& line) override;
    int ResultLineCount() const override;
    void FocusResults() override;
    void SetStopEnabled(bool enabled) override;
    void SetSaveLogEnabled(bool enabled) override;
    // Opens at the remembered output folder while it exists, otherwise at
    // dir; a confirmed folder is remembered.
    bool PickDirectory(std::string& dir) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ProcessEvents() override;

private:
    template <typename Handler>
    void Guarded(Handler&& handler);
    // Shows the list when it changed since it was last shown.
    void ShowEntries();
    // Runs step, which may change the list; then, thrown or not, shows the
    // list and enables the list buttons when it holds entries.
    template <typename Step>
    void Refilling(Step&& step);
    void SetListButtons(bool enabled);
    // BRemLog, BProcess and BSaveList off until the list is known again.
    void HoldListButtons();
    void EnableListButtonsIfFilled();
    // What adding files does before its files are known: a scanned list
    // goes, and the buttons that need entries wait for them.
    void BeginAdding();
    // Adds files chosen with the open dialog's filter position filterIndex
    // (none: nothing changes).
    void AddSelection(const std::vector<std::string>& files, int filterIndex);
    // Replaces the list by the files matching mask below root, in the mode
    // of the scan type typeIndex (from 0).
    void ScanFolder(const std::string& root, const std::string& mask, int typeIndex);
    void ShowExtListStatus();

    MainWindowSkin& FSkin;
    WindowSettings& FSettings;
    BatchState FState;
    Batch FBatch;
    std::vector<std::string> FEntries;
    bool FEntriesChanged = false;
    int FSelectLogFilterIndex = 1;
    std::string FSelectLogDir;
    std::string FScanFolder;
    int FProgress = 0;
    int FTotal = 0;
    bool FCloseRequested = false;
    // The lines the batch appended to the results, as bytes; they stand for
    // the pane until the user changes its text.
    std::vector<std::string> FResultLines;
    bool FResultsOurs = true;
    bool FWritingResults = false;
};

} // namespace eit
