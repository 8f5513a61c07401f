#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace eit {

// "Select Directory": a directory text with a browse button, Ok and Cancel.
// Unlike the system's folder dialogs it accepts a folder that does not exist
// yet: after "The specified directory does not exist. Create it?" Yes
// creates it with its parents and closes, No returns to the picker.
class Win32DirectoryPicker {
public:
    // Asks a question or shows a warning as MessageBoxW does (type: MB_...),
    // returning the button's IDYES, IDNO, IDOK.
    using Asker = std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;

    // Creates the picker, hidden, owned by owner and opened at dir (UTF-8; a
    // relative one is taken below the working folder). ask answers its
    // questions (empty: message boxes). Throws std::runtime_error when the
    // window cannot be made.
    Win32DirectoryPicker(HWND owner, const std::string& dir, Asker ask = {});
    ~Win32DirectoryPicker();
    Win32DirectoryPicker(const Win32DirectoryPicker&) = delete;
    Win32DirectoryPicker& operator=(const Win32DirectoryPicker&) = delete;

    // Shows the picker modally; true when it closed with Ok.
    bool Run();
    HWND Handle() const { return FWindow; }
    // Whether Ok or Cancel closed it, and which.
    bool Finished() const { return FFinished; }
    bool Accepted() const { return FAccepted; }
    // The chosen folder: the text, made absolute against the starting folder.
    std::string Directory() const;

    static constexpr int kEditId = 301;
    static constexpr int kBrowseId = 302;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id);
    void AcceptIfUsable();
    void Browse();
    int Ask(const std::string& text, UINT type) const;

    HWND FOwner;
    HWND FWindow = nullptr;
    HFONT FFont = nullptr;
    std::string FStart;
    Asker FAsk;
    bool FFinished = false;
    bool FAccepted = false;
};

} // namespace eit
