#pragma once

#include "WindowSkin.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace eit {

class NativeDialogs;
class Win32DirForm;

// What the user does in the main window, for the window's model.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual void Clicked(MainButton button) = 0;
    // Files and folders dropped on the window (UTF-8 paths), and whether
    // the model takes them.
    virtual bool CanTake(const std::vector<std::string>& paths) = 0;
    virtual void Dropped(const std::vector<std::string>& paths) = 0;
    // The user typed in the results pane.
    virtual void ResultsEdited() = 0;
    // The window is asked to close; true lets it.
    virtual bool CloseRequested() = 0;
};

// The main window on the Win32 API, drawn as resources/TMainForm.ui draws
// it: a 688 x 464 client area at 100 % (scaled to the screen's DPI) that does
// not resize, the toolbar with its pictures, LogList, Results, the labels and
// the " Process " group with both bars, "Save results" and "Stop" (Esc). It
// is a MainWindowSkin; what the user does goes to the events it is attached
// to.
class Win32MainWindow : public MainWindowSkin {
public:
    // Creates the window, hidden. dialogs answers every modal dialog and
    // must outlive the window. Throws std::runtime_error when the window
    // cannot be made.
    explicit Win32MainWindow(NativeDialogs& dialogs);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // events receives the user's actions from now on (nullptr: none).
    void Attach(MainWindowEvents* events) { FEvents = events; }
    // Whether destroying the window ends the program's message loop.
    void SetQuitOnClose(bool quit) { FQuitOnClose = quit; }
    // Shows the window centred on its screen.
    void Show();

    HWND Handle() const { return FWindow; }
    HWND Control(int id) const { return ::GetDlgItem(FWindow, id); }
    // The command id of button (toolbar buttons and the push buttons).
    static int CommandOf(MainButton button);
    // The button a key presses (Esc: Stop, Ctrl+O: AddLog, Ctrl+S: SaveList,
    // Del: RemLog, Ctrl+Enter: Process, Ctrl+Q: Exit); none for other keys
    // and for Del while the results pane has the focus, where it edits.
    static std::optional<MainButton> ShortcutOf(WPARAM key, bool control, bool inResults);
    // The pictures the toolbar shows now: enabled and disabled.
    HIMAGELIST Pictures() const { return FPictures; }
    HIMAGELIST DisabledPictures() const { return FDisabledPictures; }

    // MainWindowSkin
    void ShowEntries(const std::vector<std::string>& entries) override;
    std::vector<int> SelectedRows() const override;
    void SetCurrentRow(int row) override;
    void SetEnabled(MainButton button, bool enabled) override;
    bool IsEnabled(MainButton button) const override;
    void SetStatus(const std::string& text) override;
    void SetExtracted(const std::string& caption) override;
    void SetProgress(int position) override;
    void SetTotal(int position) override;
    void ClearResults() override;
    void AppendResult(const std::string& line) override;
    std::string ResultsText() const override;
    void FocusResults() override;
    bool AskOpenFiles(const std::vector<DialogFilter>& filters, std::vector<std::string>& files, int& filterIndex,
                      std::string& dir) override;
    bool AskOpenFile(const std::string& title, const std::vector<DialogFilter>& filters, std::string& file) override;
    bool AskSaveFile(const std::string& title, const std::vector<DialogFilter>& filters,
                     const std::string& defaultSuffix, std::string& file) override;
    bool AskDirectory(std::string& dir) override;
    bool AskScan(ScanChoice& choice) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void PumpEvents() override;
    void CloseWindow() override;

    // The controls' ids.
    static constexpr int kToolBar = 200;
    static constexpr int kLogList = 201;
    static constexpr int kResults = 202;
    static constexpr int kGroupBox = 203;
    static constexpr int kPFile = 204;
    static constexpr int kCurrentMessage = 205;
    static constexpr int kExtracted = 206;
    static constexpr int kProgress = 207;
    static constexpr int kTotal = 208;

    // The scan dialog the window shows for AskScan, made on first use.
    Win32DirForm& DirForm();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int code);
    void Dropped(HANDLE drop);
    bool Shortcut(const MSG& message);
    // Creates or re-creates what depends on the DPI: font, pictures, places.
    void Lay(int dpi, bool create);
    void ReleaseDrawing();
    void Click(MainButton button);

    NativeDialogs& FDialogs;
    MainWindowEvents* FEvents = nullptr;
    HWND FWindow = nullptr;
    HFONT FFont = nullptr;
    HIMAGELIST FPictures = nullptr;
    HIMAGELIST FDisabledPictures = nullptr;
    bool FQuitOnClose = false;
    bool FWritingResults = false; // our own change of the pane is under way
    std::unique_ptr<Win32DirForm> FDirForm;
};

} // namespace eit
