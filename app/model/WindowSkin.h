#pragma once

// The window's behaviour without a toolkit: what the main window and the
// scan dialog decide lives in MainWindowModel / DirFormModel; a skin (the Qt
// widgets, the native Windows window, a test's recording skin) draws it and
// answers these calls in the window's own terms. All text and paths are
// byte strings (paths exactly as the file system names them; text as the
// program's own 8-bit text, UTF-8 on Windows and Linux).

#include <string>
#include <vector>

namespace eit {

// The main window's buttons, named as on the form.
enum class MainButton { AddLog, SaveList, RemLog, ClearAll, Process, ProcessDir, Exit, ExtList, SaveLog, Stop };

// One filter of an open/save dialog: its description as the dialog shows it
// ("Data Packs (*.bin)") and its mask ("*.bin").
struct DialogFilter {
    std::string Description;
    std::string Mask;
};

// What the scan dialog (TDirForm) hands back on Ok.
struct ScanChoice {
    std::string Folder;   // the folder's bytes
    int TypeIndex = 0;    // the chosen type, from 0
    std::string Mask;     // its mask
};

// What a main-window skin does for the model.
class MainWindowSkin {
public:
    virtual ~MainWindowSkin() = default;

    // The list (LogList): shows entries (paths as bytes; the skin shows them
    // as the user can read them) in place of what it showed.
    virtual void ShowEntries(const std::vector<std::string>& entries) = 0;
    // The rows the user has selected, ascending.
    virtual std::vector<int> SelectedRows() const = 0;
    // Moves the list's current row without selecting (-1: none).
    virtual void SetCurrentRow(int row) = 0;

    virtual void SetEnabled(MainButton button, bool enabled) = 0;
    virtual bool IsEnabled(MainButton button) const = 0;

    virtual void SetStatus(const std::string& text) = 0;      // CurrentMessage
    virtual void SetExtracted(const std::string& caption) = 0;
    virtual void SetProgress(int position) = 0;               // 0..100
    virtual void SetTotal(int position) = 0;                  // 0..100

    // The results pane. ResultsText is what it shows now, lines joined by
    // '\n' (the user may have edited it).
    virtual void ClearResults() = 0;
    virtual void AppendResult(const std::string& line) = 0;
    virtual std::string ResultsText() const = 0;
    virtual void FocusResults() = 0;

    // Modal dialogs, owned by the window. Each returns false when cancelled.
    // The open dialog "Select file...": several files; filterIndex (from 1)
    // and dir (empty: the working folder) in, and as left, out.
    virtual bool AskOpenFiles(const std::vector<DialogFilter>& filters, std::vector<std::string>& files,
                              int& filterIndex, std::string& dir) = 0;
    // One existing file, opened at file.
    virtual bool AskOpenFile(const std::string& title, const std::vector<DialogFilter>& filters,
                             std::string& file) = 0;
    // A save dialog with the overwrite prompt; defaultSuffix ("lst") is added
    // to a name without one.
    virtual bool AskSaveFile(const std::string& title, const std::vector<DialogFilter>& filters,
                             const std::string& defaultSuffix, std::string& file) = 0;
    // "Select Directory" opened at dir; accepts a folder that does not exist
    // yet after "The specified directory does not exist. Create it?" and
    // creates it. On OK dir receives the folder's bytes.
    virtual bool AskDirectory(std::string& dir) = 0;
    // Shows the scan dialog modally (its own model, a DirFormModel over the
    // dialog's DirFormSkin, decides inside it). On entry choice.Folder is
    // the folder of the last scan (remembered between sessions): a dialog
    // shown for the first time starts its field there (DirFormModel::
    // FormShow); later showings keep the field as the user left it. On Ok
    // choice receives DirFormModel::Choice().
    virtual bool AskScan(ScanChoice& choice) = 0;
    // An information box with one OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;

    // Runs pending window events and returns (the batch calls it between
    // steps so that the window stays alive and Stop can be clicked).
    virtual void PumpEvents() = 0;
    // Closes the window (the model has decided it may).
    virtual void CloseWindow() = 0;
};

// What the scan dialog's skin does for its DirFormModel. The skin reports
// the user's changes to the model (the field's text as bytes, the chosen
// type); the model tells the skin what to show.
class DirFormSkin {
public:
    virtual ~DirFormSkin() = default;

    // Fills the type list with descriptions and selects current, without
    // reporting that as the user's choice.
    virtual void ShowTypes(const std::vector<std::string>& descriptions, int current) = 0;
    // Shows a folder's bytes in the field and returns the field's text as
    // bytes, as the skin reports the user's typing (a name that is not
    // valid in the field's encoding comes back changed). At every showing the
    // model also hands back the field's own text this way.
    virtual std::string ShowFolder(const std::string& folder) = 0;
    virtual void SetOkEnabled(bool enabled) = 0;
    // "Select Directory" as MainWindowSkin::AskDirectory.
    virtual bool AskDirectory(std::string& dir) = 0;
    // An information box with one OK button, owned by the main window.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// Where the window keeps what it remembers between sessions (QSettings on
// Linux, the user's settings on Windows). Values are bytes; a key never
// written reads as empty.
class WindowSettings {
public:
    virtual ~WindowSettings() = default;
    virtual std::string Read(const std::string& key) const = 0;
    virtual void Write(const std::string& key, const std::string& value) = 0;
};

} // namespace eit
