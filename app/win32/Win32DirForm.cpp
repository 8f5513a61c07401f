#include "Win32DirForm.h"

#include "Form.h"
#include "NativeDialogs.h"
#include "ToolImages.h"
#include "WideText.h"

#include <iterator>
#include <stdexcept>

namespace eit {

namespace {

constexpr const wchar_t* kClassName = L"EitDirForm";

// In creation order, which is also the order Tab moves in.
const ControlSpec kControls[] = {
    {IDOK, L"BUTTON", L"Ok", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, 318, 4, 97, 23},
    {IDCANCEL, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 318, 27, 97, 23},
    {Win32DirForm::kScanDir, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 88, 4, 201, 21},
    {Win32DirForm::kFilter, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 88, 28, 227, 200},
    {Win32DirForm::kCallDialog, L"BUTTON", L"", BS_PUSHBUTTON | BS_ICON, 0, 292, 4, 23, 22},
    {0, L"STATIC", L"File Type:", SS_LEFT, 0, 7, 32, 78, 16},
    {0, L"STATIC", L"Directory:", SS_LEFT, 0, 8, 8, 77, 16},
    {0, L"STATIC", L"", SS_ETCHEDFRAME, 0, 0, 0, 418, 53},
};

} // namespace

Win32DirForm::Win32DirForm(HWND owner, NativeDialogs& dialogs, std::function<std::string()> filterText)
    : FOwner(owner), FDialogs(dialogs), FModel(*this, std::move(filterText))
{
    RegisterFormClass(kClassName, &Procedure);
    FWindow = ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW, kClassName, L"Directory to add",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, 298, 293, 100, 100, owner, nullptr,
                                ::GetModuleHandleW(nullptr), this);
    if (!FWindow)
        throw std::runtime_error("Cannot create the window Directory to add");
    const int dpi = WindowDpi(FWindow);
    FFont = CreateFormFont(dpi);
    CreateControls(FWindow, kControls, std::size(kControls), dpi, FFont);
    SizeClientArea(FWindow, 418, 53, dpi);
    HIMAGELIST pictures = CreateToolImageList({"closed_folder"}, LargePictures(dpi));
    FFolderIcon = ::ImageList_GetIcon(pictures, 0, ILD_NORMAL);
    ::ImageList_Destroy(pictures);
    ::SendMessageW(Control(kCallDialog), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(FFolderIcon));
}

Win32DirForm::~Win32DirForm()
{
    // Gone already when its owner, the main window, was destroyed first.
    if (FWindow) {
        ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        ::DestroyWindow(FWindow);
    }
    if (FFont)
        ::DeleteObject(FFont);
    if (FFolderIcon)
        ::DestroyIcon(FFolderIcon);
}

void Win32DirForm::Show()
{
    FFinished = false;
    FAccepted = false;
    FModel.FormShow(FLastFolder);
    ::ShowWindow(FWindow, SW_SHOW);
    ::SetFocus(Control(kScanDir));
}

bool Win32DirForm::Run()
{
    Show();
    RunModal(FWindow, FOwner, [this] { return FFinished; });
    return FAccepted;
}

std::string Win32DirForm::FolderText() const
{
    return WindowTextOf(Control(kScanDir));
}

int Win32DirForm::TypeIndex() const
{
    return static_cast<int>(::SendMessageW(Control(kFilter), CB_GETCURSEL, 0, 0));
}

void Win32DirForm::ShowTypes(const std::vector<std::string>& descriptions, int current)
{
    FFilling = true;
    ::SendMessageW(Control(kFilter), CB_RESETCONTENT, 0, 0);
    for (const std::string& description : descriptions)
        ::SendMessageW(Control(kFilter), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(description).c_str()));
    ::SendMessageW(Control(kFilter), CB_SETCURSEL, static_cast<WPARAM>(current), 0);
    FFilling = false;
}

std::string Win32DirForm::ShowFolder(const std::string& folder)
{
    SetWindowTextOf(Control(kScanDir), folder);
    return FolderText();
}

void Win32DirForm::SetOkEnabled(bool enabled)
{
    ::EnableWindow(Control(IDOK), enabled);
}

bool Win32DirForm::AskDirectory(std::string& dir)
{
    return FDialogs.PickDirectory(FWindow, dir);
}

void Win32DirForm::ShowMessage(const std::string& text, const std::string& caption)
{
    FDialogs.Message(FOwner ? FOwner : FWindow, text, caption);
}

LRESULT CALLBACK Win32DirForm::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = static_cast<Win32DirForm*>(FormObject(window, message, lParam));
    if (form && message == WM_NCDESTROY) {
        form->FWindow = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (form && message == WM_COMMAND) {
        RunGuardedIn(form->FOwner ? form->FOwner : window, [&] { form->Command(LOWORD(wParam), HIWORD(wParam)); });
        return 0;
    }
    if (form && message == WM_DPICHANGED) {
        RescaleForm(window, kControls, std::size(kControls), HIWORD(wParam), form->FFont, 418, 53);
        return 0;
    }
    if (form && message == WM_CLOSE) {
        form->Command(IDCANCEL, BN_CLICKED);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Win32DirForm::Command(int id, int code)
{
    if (id == IDOK && code == BN_CLICKED) {
        // Enter arrives as IDOK whether or not Ok may be pressed.
        if (::IsWindowEnabled(Control(IDOK))) {
            FFinished = true;
            FAccepted = true;
        }
    } else if (id == IDCANCEL && code == BN_CLICKED) {
        FFinished = true;
        FAccepted = false;
    } else if (id == kCallDialog && code == BN_CLICKED) {
        FModel.CallDialogClick();
    } else if (id == kScanDir && code == EN_CHANGE) {
        FModel.ScanDirChange(FolderText());
    } else if (id == kFilter && code == CBN_SELCHANGE && !FFilling) {
        FModel.FilterChange(TypeIndex());
    }
}

} // namespace eit
