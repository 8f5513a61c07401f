#include "Win32DirectoryPicker.h"

#include "Env.h"
#include "FileUtil.h"
#include "Form.h"
#include "WideText.h"

#include <shlobj.h>

#include <iterator>
#include <stdexcept>

namespace eit {

namespace {

constexpr const wchar_t* kClassName = L"EitDirectoryPicker";
constexpr const char* kTitle = "Select Directory";
constexpr int kWidth = 460;
constexpr int kHeight = 75;

const ControlSpec kControls[] = {
    {0, L"STATIC", L"Directory:", SS_LEFT, 0, 9, 14, 60, 16},
    {Win32DirectoryPicker::kEditId, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 70, 11, 345, 21},
    {Win32DirectoryPicker::kBrowseId, L"BUTTON", L"...", WS_TABSTOP | BS_PUSHBUTTON, 0, 420, 10, 30, 23},
    {IDOK, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 294, 44, 75, 23},
    {IDCANCEL, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 375, 44, 75, 23},
};

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int CALLBACK BrowseStart(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data != 0)
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

} // namespace

Win32DirectoryPicker::Win32DirectoryPicker(HWND owner, const std::string& dir, Asker ask)
    : FOwner(owner), FStart(MakeAbsolute(dir)), FAsk(std::move(ask))
{
    RegisterFormClass(kClassName, &Procedure);
    FWindow = ::CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, Widen(kTitle).c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner,
                                nullptr, ::GetModuleHandleW(nullptr), this);
    if (!FWindow)
        throw std::runtime_error("Cannot create the window Select Directory");
    const int dpi = WindowDpi(FWindow);
    FFont = CreateFormFont(dpi);
    CreateControls(FWindow, kControls, std::size(kControls), dpi, FFont);
    SizeClientArea(FWindow, kWidth, kHeight, dpi);
    SetWindowTextOf(::GetDlgItem(FWindow, kEditId), dir);
    RECT ownerFrame{};
    RECT frame{};
    if (owner && ::GetWindowRect(owner, &ownerFrame) && ::GetWindowRect(FWindow, &frame))
        ::SetWindowPos(FWindow, nullptr,
                       ownerFrame.left + (ownerFrame.right - ownerFrame.left - (frame.right - frame.left)) / 2,
                       ownerFrame.top + (ownerFrame.bottom - ownerFrame.top - (frame.bottom - frame.top)) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetFocus(::GetDlgItem(FWindow, kEditId));
}

Win32DirectoryPicker::~Win32DirectoryPicker()
{
    if (FWindow) {
        ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        ::DestroyWindow(FWindow);
    }
    if (FFont)
        ::DeleteObject(FFont);
}

bool Win32DirectoryPicker::Run()
{
    ::SetFocus(::GetDlgItem(FWindow, kEditId));
    RunModal(FWindow, FOwner, [this] { return FFinished; });
    return FAccepted;
}

std::string Win32DirectoryPicker::Directory() const
{
    const std::string text = Trimmed(WindowTextOf(::GetDlgItem(FWindow, kEditId)));
    return IsAbsolute(text) ? text : JoinPath(FStart, text);
}

LRESULT CALLBACK Win32DirectoryPicker::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* picker = static_cast<Win32DirectoryPicker*>(FormObject(window, message, lParam));
    if (picker && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        RunGuardedIn(window, [&] { picker->Command(LOWORD(wParam)); });
        return 0;
    }
    if (picker && message == WM_DPICHANGED) {
        RescaleForm(window, kControls, std::size(kControls), HIWORD(wParam), picker->FFont, kWidth, kHeight);
        return 0;
    }
    if (picker && message == WM_CLOSE) {
        picker->Command(IDCANCEL);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Win32DirectoryPicker::Command(int id)
{
    if (id == IDOK) {
        AcceptIfUsable();
    } else if (id == IDCANCEL) {
        FFinished = true;
        FAccepted = false;
    } else if (id == kBrowseId) {
        Browse();
    }
}

void Win32DirectoryPicker::AcceptIfUsable()
{
    if (Trimmed(WindowTextOf(::GetDlgItem(FWindow, kEditId))).empty())
        return;
    const std::string dir = Directory();
    const FileKind kind = KindOf(dir);
    if (kind != FileKind::Directory) {
        if (kind != FileKind::Missing && kind != FileKind::Unknown) {
            Ask(dir + " is a file, not a directory.", MB_OK | MB_ICONWARNING);
            return;
        }
        if (Ask("The specified directory does not exist. Create it?", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        if (!CreateDirectories(dir)) {
            Ask("Cannot create directory " + dir, MB_OK | MB_ICONWARNING);
            return;
        }
    }
    FFinished = true;
    FAccepted = true;
}

void Win32DirectoryPicker::Browse()
{
    const std::wstring start = Widen(Directory());
    BROWSEINFOW browse{};
    browse.hwndOwner = FWindow;
    browse.lpszTitle = L"Select Directory";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = &BrowseStart;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (!chosen)
        return;
    std::wstring path(MAX_PATH * 4, L'\0');
    if (::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
        SetWindowTextOf(::GetDlgItem(FWindow, kEditId), Narrow(path.c_str()));
    ::CoTaskMemFree(chosen);
}

int Win32DirectoryPicker::Ask(const std::string& text, UINT type) const
{
    if (FAsk)
        return FAsk(FWindow, text, kTitle, type);
    return ::MessageBoxW(FWindow, Widen(text).c_str(), Widen(kTitle).c_str(), type);
}

} // namespace eit
