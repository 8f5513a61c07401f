#include "Win32MainWindow.h"

#include "Form.h"
#include "Formats.h"
#include "NativeDialogs.h"
#include "ToolImages.h"
#include "WideText.h"
#include "Win32DirForm.h"

#include <shellapi.h>

#include <iterator>
#include <stdexcept>

namespace eit {

namespace {

constexpr const wchar_t* kClassName = L"EitMainWindow";
constexpr int kClientWidth = 688;
constexpr int kClientHeight = 464;
constexpr int kSaveLogId = 109;
constexpr int kStopId = 110;

// The toolbar as the form lays it out, left to right.
struct ToolButton {
    MainButton Button;
    int Id;
    const char* Picture;
    const char* DisabledPicture;
    const wchar_t* ToolTip;
    bool Enabled;
};
const ToolButton kToolButtons[] = {
    {MainButton::AddLog, 101, "open_folder", "open_folder_disabled", L"Add files", true},
    {MainButton::ProcessDir, 102, "closed_folder", "closed_folder_disabled", L"Process Directory", true},
    {MainButton::SaveList, 103, "disk", "disk_disabled", L"Save list", false},
    {MainButton::RemLog, 104, "bin", "bin_disabled", L"Remove selected", false},
    {MainButton::ClearAll, 105, "bin", "bin_disabled", L"Clear list", false},
    {MainButton::Process, 106, "window", "window_disabled", L"Process", false},
    // Exit is never disabled: its picture has no grey form.
    {MainButton::Exit, 107, "pen_sheet", "pen_sheet", L"Exit", true},
    {MainButton::ExtList, 108, "ext_list", "ext_list_disabled", L"Choose extension list", true},
};
constexpr int kToolButtonWidth = 23;
constexpr int kToolButtonHeight = 22;

// The rest of the form; the group's children at their place in the window.
const ControlSpec kControls[] = {
    {Win32MainWindow::kLogList, L"LISTBOX", L"",
     WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
     WS_EX_CLIENTEDGE, 0, 26, 688, 189},
    {Win32MainWindow::kResults, L"EDIT", L"",
     WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL, WS_EX_CLIENTEDGE, 0,
     215, 688, 183},
    {Win32MainWindow::kPFile, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, 11, 414, 320, 13},
    {Win32MainWindow::kCurrentMessage, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 0, 12, 414, 320, 13},
    {Win32MainWindow::kExtracted, L"STATIC", L"Extracted: 0", SS_LEFT | SS_NOPREFIX, 0, 334, 412, 160, 13},
    {kSaveLogId, L"BUTTON", L"Save results", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, 506, 408, 105, 19},
    {kStopId, L"BUTTON", L"Stop", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, 612, 408, 71, 19},
    {Win32MainWindow::kProgress, PROGRESS_CLASSW, L"", 0, 0, 12, 430, 671, 13},
    {Win32MainWindow::kTotal, PROGRESS_CLASSW, L"", 0, 0, 12, 446, 671, 13},
    // Last, so that it lies below the controls it holds and paints none of them.
    {Win32MainWindow::kGroupBox, L"BUTTON", L" Process ", BS_GROUPBOX | WS_CLIPSIBLINGS, 0, 0, 398, 688, 66},
};

const ToolButton* ToolButtonOf(MainButton button)
{
    for (const ToolButton& tool : kToolButtons)
        if (tool.Button == button)
            return &tool;
    return nullptr;
}

std::wstring PaneText(const std::string& text)
{
    std::wstring wide;
    for (const wchar_t c : Widen(text)) {
        if (c == L'\n')
            wide += L'\r';
        wide += c;
    }
    return wide;
}

} // namespace

Win32MainWindow::Win32MainWindow(NativeDialogs& dialogs) : FDialogs(dialogs)
{
    RegisterFormClass(kClassName, &Procedure, true);
    FWindow = ::CreateWindowExW(0, kClassName, L"Extract\\Insert Tool",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), this);
    if (!FWindow)
        throw std::runtime_error("Cannot create the window Extract\\Insert Tool");
    Lay(WindowDpi(FWindow), true);
    ::SendMessageW(Control(kResults), EM_SETLIMITTEXT, 0, 0);
    ::DragAcceptFiles(FWindow, TRUE);
    SetShortcutHandler([this](const MSG& message) { return Shortcut(message); });
}

Win32MainWindow::~Win32MainWindow()
{
    FEvents = nullptr; // the window's last messages tell no one
    SetShortcutHandler(nullptr);
    FDirForm.reset();
    if (FWindow) {
        ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        ::DestroyWindow(FWindow);
    }
    ReleaseDrawing();
}

void Win32MainWindow::ReleaseDrawing()
{
    if (FFont)
        ::DeleteObject(FFont);
    if (FPictures)
        ::ImageList_Destroy(FPictures);
    if (FDisabledPictures)
        ::ImageList_Destroy(FDisabledPictures);
}

void Win32MainWindow::Lay(int dpi, bool create)
{
    HFONT font = CreateFormFont(dpi);
    std::vector<std::string> names;
    std::vector<std::string> disabledNames;
    for (const ToolButton& tool : kToolButtons) {
        names.push_back(tool.Picture);
        disabledNames.push_back(tool.DisabledPicture);
    }
    HIMAGELIST pictures = CreateToolImageList(names, LargePictures(dpi));
    HIMAGELIST disabledPictures = CreateToolImageList(disabledNames, LargePictures(dpi));

    HWND toolBar = Control(kToolBar);
    if (create) {
        toolBar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                    WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER
                                        | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                    0, 0, 0, 0, FWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBar)),
                                    ::GetModuleHandleW(nullptr), nullptr);
        if (!toolBar)
            throw std::runtime_error("Cannot create the window's controls");
        ::SendMessageW(toolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        CreateControls(FWindow, kControls, std::size(kControls), dpi, font);
    } else {
        PlaceControls(FWindow, kControls, std::size(kControls), dpi, font);
    }
    ::SendMessageW(toolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(pictures));
    ::SendMessageW(toolBar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabledPictures));
    const int pictureSize = LargePictures(dpi) ? 32 : 16;
    ::SendMessageW(toolBar, TB_SETBITMAPSIZE, 0, MAKELPARAM(pictureSize, pictureSize));
    if (create) {
        std::vector<TBBUTTON> buttons;
        for (std::size_t i = 0; i < std::size(kToolButtons); ++i) {
            TBBUTTON button{};
            button.iBitmap = static_cast<int>(i);
            button.idCommand = kToolButtons[i].Id;
            button.fsState = kToolButtons[i].Enabled ? TBSTATE_ENABLED : 0;
            button.fsStyle = BTNS_BUTTON;
            button.iString = -1;
            buttons.push_back(button);
        }
        ::SendMessageW(toolBar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    }
    ::SendMessageW(toolBar, TB_SETBUTTONSIZE, 0,
                   MAKELPARAM(Scaled(kToolButtonWidth, dpi), Scaled(kToolButtonHeight, dpi)));
    ::SetWindowPos(toolBar, nullptr, Scaled(1, dpi), Scaled(2, dpi), Scaled(kClientWidth - 1, dpi),
                   Scaled(kToolButtonHeight, dpi), SWP_NOZORDER | SWP_NOACTIVATE);

    ReleaseDrawing();
    FFont = font;
    FPictures = pictures;
    FDisabledPictures = disabledPictures;
    SizeClientArea(FWindow, kClientWidth, kClientHeight, dpi);
}

void Win32MainWindow::Show()
{
    RECT frame{};
    ::GetWindowRect(FWindow, &frame);
    RECT work{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        ::SetWindowPos(FWindow, nullptr, work.left + (work.right - work.left - (frame.right - frame.left)) / 2,
                       work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(FWindow, SW_SHOW);
    ::UpdateWindow(FWindow);
}

int Win32MainWindow::CommandOf(MainButton button)
{
    if (const ToolButton* tool = ToolButtonOf(button))
        return tool->Id;
    return button == MainButton::SaveLog ? kSaveLogId : kStopId;
}

Win32DirForm& Win32MainWindow::DirForm()
{
    if (!FDirForm)
        FDirForm = std::make_unique<Win32DirForm>(FWindow, FDialogs, [] { return std::string(kInputFilter); });
    return *FDirForm;
}

LRESULT CALLBACK Win32MainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<Win32MainWindow*>(FormObject(window, message, lParam));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    self->FWindow = window; // already during CreateWindowExW
    if (message == WM_NCDESTROY) {
        self->FWindow = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    bool handled = false;
    RunGuardedIn(window, [&] {
        result = self->Handle(message, wParam, lParam);
        handled = true;
    });
    return handled ? result : 0;
}

LRESULT Win32MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW) {
            auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            for (const ToolButton& tool : kToolButtons)
                if (static_cast<UINT_PTR>(tool.Id) == header->idFrom)
                    tip->lpszText = const_cast<wchar_t*>(tool.ToolTip);
            return 0;
        }
        break;
    }
    case WM_DROPFILES:
        Dropped(reinterpret_cast<HANDLE>(wParam));
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        Lay(HIWORD(wParam), false);
        ::SetWindowPos(FWindow, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return 0;
    }
    case WM_CLOSE:
        if (!FEvents || FEvents->CloseRequested())
            CloseWindow();
        return 0;
    case WM_DESTROY:
        if (FQuitOnClose)
            ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(FWindow, message, wParam, lParam);
}

void Win32MainWindow::Command(int id, int code)
{
    if (id == kResults) {
        if (code == EN_CHANGE && !FWritingResults && FEvents)
            FEvents->ResultsEdited();
        return;
    }
    for (const MainButton button : {MainButton::AddLog, MainButton::SaveList, MainButton::RemLog,
                                    MainButton::ClearAll, MainButton::Process, MainButton::ProcessDir,
                                    MainButton::Exit, MainButton::ExtList, MainButton::SaveLog, MainButton::Stop})
        if (id == CommandOf(button) && code == BN_CLICKED) {
            Click(button);
            return;
        }
}

void Win32MainWindow::Click(MainButton button)
{
    // A command may come from a key while its button is disabled.
    if (FEvents && IsEnabled(button))
        FEvents->Clicked(button);
}

void Win32MainWindow::Dropped(HANDLE handle)
{
    auto drop = static_cast<HDROP>(handle);
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        paths.push_back(Narrow(name));
    }
    ::DragFinish(drop);
    if (FEvents && FEvents->CanTake(paths))
        FEvents->Dropped(paths);
}

std::optional<MainButton> Win32MainWindow::ShortcutOf(WPARAM key, bool control, bool inResults)
{
    struct Key {
        WPARAM Code;
        bool Control;
        MainButton Button;
    };
    static constexpr Key kKeys[] = {
        {VK_ESCAPE, false, MainButton::Stop},  {'O', true, MainButton::AddLog},      {'S', true, MainButton::SaveList},
        {VK_DELETE, false, MainButton::RemLog}, {VK_RETURN, true, MainButton::Process}, {'Q', true, MainButton::Exit},
    };
    for (const Key& entry : kKeys)
        if (entry.Code == key && entry.Control == control && !(key == VK_DELETE && inResults))
            return entry.Button;
    return std::nullopt;
}

bool Win32MainWindow::Shortcut(const MSG& message)
{
    if (!message.hwnd || ::GetAncestor(message.hwnd, GA_ROOT) != FWindow || !::IsWindowEnabled(FWindow))
        return false;
    const std::optional<MainButton> button =
        ShortcutOf(message.wParam, ::GetKeyState(VK_CONTROL) < 0, ::GetFocus() == Control(kResults));
    if (!button)
        return false;
    Click(*button);
    return true;
}

void Win32MainWindow::ShowEntries(const std::vector<std::string>& entries)
{
    HWND list = Control(kLogList);
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries)
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

std::vector<int> Win32MainWindow::SelectedRows() const
{
    HWND list = Control(kLogList);
    const auto count = ::SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    std::vector<int> rows(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (!rows.empty())
        ::SendMessageW(list, LB_GETSELITEMS, rows.size(), reinterpret_cast<LPARAM>(rows.data()));
    return rows;
}

void Win32MainWindow::SetCurrentRow(int row)
{
    if (row >= 0)
        ::SendMessageW(Control(kLogList), LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
}

void Win32MainWindow::SetEnabled(MainButton button, bool enabled)
{
    if (const ToolButton* tool = ToolButtonOf(button))
        ::SendMessageW(Control(kToolBar), TB_ENABLEBUTTON, static_cast<WPARAM>(tool->Id), MAKELPARAM(enabled, 0));
    else
        ::EnableWindow(Control(CommandOf(button)), enabled);
}

bool Win32MainWindow::IsEnabled(MainButton button) const
{
    if (const ToolButton* tool = ToolButtonOf(button))
        return ::SendMessageW(Control(kToolBar), TB_ISBUTTONENABLED, static_cast<WPARAM>(tool->Id), 0) != 0;
    return ::IsWindowEnabled(Control(CommandOf(button))) != FALSE;
}

void Win32MainWindow::SetStatus(const std::string& text)
{
    SetWindowTextOf(Control(kCurrentMessage), text);
}

void Win32MainWindow::SetExtracted(const std::string& caption)
{
    SetWindowTextOf(Control(kExtracted), caption);
}

void Win32MainWindow::SetProgress(int position)
{
    ::SendMessageW(Control(kProgress), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32MainWindow::SetTotal(int position)
{
    ::SendMessageW(Control(kTotal), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32MainWindow::ClearResults()
{
    FWritingResults = true;
    ::SetWindowTextW(Control(kResults), L"");
    FWritingResults = false;
}

void Win32MainWindow::AppendResult(const std::string& line)
{
    HWND pane = Control(kResults);
    FWritingResults = true;
    const int length = ::GetWindowTextLengthW(pane);
    ::SendMessageW(pane, EM_SETSEL, static_cast<WPARAM>(length), length);
    const std::wstring text = (length > 0 ? L"\r\n" : L"") + PaneText(line);
    ::SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    FWritingResults = false;
}

std::string Win32MainWindow::ResultsText() const
{
    std::string text = WindowTextOf(Control(kResults));
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lines += text[i];
    return lines;
}

void Win32MainWindow::FocusResults()
{
    ::SetFocus(Control(kResults));
}

bool Win32MainWindow::AskOpenFiles(const std::vector<DialogFilter>& filters, std::vector<std::string>& files,
                                   int& filterIndex, std::string& dir)
{
    return FDialogs.OpenFiles(FWindow, filters, files, filterIndex, dir);
}

bool Win32MainWindow::AskOpenFile(const std::string& title, const std::vector<DialogFilter>& filters,
                                  std::string& file)
{
    return FDialogs.OpenFile(FWindow, title, filters, file);
}

bool Win32MainWindow::AskSaveFile(const std::string& title, const std::vector<DialogFilter>& filters,
                                  const std::string& defaultSuffix, std::string& file)
{
    return FDialogs.SaveFile(FWindow, title, filters, defaultSuffix, file);
}

bool Win32MainWindow::AskDirectory(std::string& dir)
{
    return FDialogs.PickDirectory(FWindow, dir);
}

bool Win32MainWindow::AskScan(ScanChoice& choice)
{
    Win32DirForm& form = DirForm();
    form.SetLastFolder(choice.Folder);
    if (!FDialogs.ExecModal(form))
        return false;
    choice = form.Model().Choice();
    return true;
}

void Win32MainWindow::ShowMessage(const std::string& text, const std::string& caption)
{
    FDialogs.Message(FWindow, text, caption);
}

void Win32MainWindow::PumpEvents()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (!DispatchMessageOf(message)) {
            // Leave the quit to the program's own loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
}

void Win32MainWindow::CloseWindow()
{
    if (FWindow)
        ::DestroyWindow(FWindow);
}

} // namespace eit
