#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace eit {

// "Directory to add", drawn as resources/TDirForm.ui draws it: the folder
// field, the browse button, the type list, Ok and Cancel. Enter is Ok (while
// Ok is enabled), Esc is Cancel; every showing puts the focus in the field.
// What the form decides comes from outside through the handlers below.
class Win32DirForm {
public:
    // Creates the form, hidden, owned by owner. Throws std::runtime_error
    // when the window cannot be made.
    explicit Win32DirForm(HWND owner);
    ~Win32DirForm();
    Win32DirForm(const Win32DirForm&) = delete;
    Win32DirForm& operator=(const Win32DirForm&) = delete;

    // Called when the form is about to show, when the user changes the
    // field's text or the type, and for the browse button.
    std::function<void()> OnShow;
    std::function<void()> OnFolderChange;
    std::function<void()> OnTypeChange;
    std::function<void()> OnBrowse;

    // Shows the form (OnShow first, then the focus in the field) and, when
    // modal, waits until Ok or Cancel closes it; true for Ok.
    void Show();
    bool Run();
    HWND Handle() const { return FWindow; }
    HWND Control(int id) const { return ::GetDlgItem(FWindow, id); }
    bool Finished() const { return FFinished; }
    bool Accepted() const { return FAccepted; }

    std::string FolderText() const;
    void SetFolderText(const std::string& text);
    void SetTypes(const std::vector<std::string>& descriptions);
    int TypeIndex() const;
    void SetTypeIndex(int index);
    void SetOkEnabled(bool enabled);

    // The controls, named as on the form; BOk and BCancel are IDOK and IDCANCEL.
    static constexpr int kScanDir = 401;
    static constexpr int kCallDialog = 402;
    static constexpr int kFilter = 403;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int code);
    static void Call(const std::function<void()>& handler);

    HWND FOwner;
    HWND FWindow = nullptr;
    HFONT FFont = nullptr;
    HICON FFolderIcon = nullptr;
    bool FFinished = false;
    bool FAccepted = false;
    bool FFilling = false; // the form, not the user, changes a control
};

} // namespace eit
