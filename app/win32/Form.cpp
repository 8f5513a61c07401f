#include "Form.h"

#include "Guarded.h"
#include "WideText.h"

#include <commctrl.h>

#include <new>
#include <stdexcept>

namespace eit {

namespace {

std::function<bool(const MSG&)>& ShortcutHandler()
{
    static std::function<bool(const MSG&)> handler;
    return handler;
}

std::function<void(HWND, const std::string&)>& ErrorShower()
{
    static std::function<void(HWND, const std::string&)> shower;
    return shower;
}

void ShowError(HWND owner, const std::string& text)
{
    if (ErrorShower())
        ErrorShower()(owner, text);
    else
        ::MessageBoxW(owner, Widen(text).c_str(), Widen(kWindowCaption).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace

void RegisterFormClass(const wchar_t* name, WNDPROC procedure, bool withIcon)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hIcon = withIcon ? ::LoadIconW(type.hInstance, MAKEINTRESOURCEW(1)) : nullptr;
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = name;
    ::RegisterClassExW(&type);
}

void* FormObject(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<void*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

int Scaled(int value, int dpi)
{
    return ::MulDiv(value, dpi, 96);
}

int WindowDpi(HWND window)
{
    const UINT dpi = window ? ::GetDpiForWindow(window) : 0;
    if (dpi != 0)
        return static_cast<int>(dpi);
    HDC screen = ::GetDC(nullptr);
    const int fromScreen = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return fromScreen > 0 ? fromScreen : 96;
}

HFONT CreateFormFont(int dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font = metrics.lfMessageFont;
    else
        ::lstrcpynW(font.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
    font.lfHeight = -::MulDiv(8, dpi, 72);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}

void CreateControls(HWND parent, const ControlSpec* specs, std::size_t count, int dpi, HFONT font)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    for (std::size_t i = 0; i < count; ++i) {
        const ControlSpec& spec = specs[i];
        HWND control = ::CreateWindowExW(spec.ExStyle, spec.Class, spec.Text, WS_CHILD | WS_VISIBLE | spec.Style,
                                         Scaled(spec.X, dpi), Scaled(spec.Y, dpi), Scaled(spec.Width, dpi),
                                         Scaled(spec.Height, dpi), parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.Id)), instance, nullptr);
        if (!control)
            throw std::runtime_error("Cannot create the window's controls");
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

void PlaceControls(HWND parent, const ControlSpec* specs, std::size_t count, int dpi, HFONT font)
{
    for (std::size_t i = 0; i < count; ++i) {
        const ControlSpec& spec = specs[i];
        HWND control = ::GetDlgItem(parent, spec.Id);
        ::SetWindowPos(control, nullptr, Scaled(spec.X, dpi), Scaled(spec.Y, dpi), Scaled(spec.Width, dpi),
                       Scaled(spec.Height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void RescaleForm(HWND form, const ControlSpec* specs, std::size_t count, int dpi, HFONT& font, int width,
                 int height)
{
    HFONT scaled = CreateFormFont(dpi);
    PlaceControls(form, specs, count, dpi, scaled);
    if (font)
        ::DeleteObject(font);
    font = scaled;
    SizeClientArea(form, width, height, dpi);
}

void SizeClientArea(HWND window, int width, int height, int dpi)
{
    RECT frame{0, 0, Scaled(width, dpi), Scaled(height, dpi)};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    if (!::AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowTextOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void SetWindowTextOf(HWND window, const std::string& text)
{
    ::SetWindowTextW(window, Widen(text).c_str());
}

bool DispatchMessageOf(MSG& message)
{
    if (message.message == WM_QUIT)
        return false;
    if (message.message == WM_KEYDOWN && ShortcutHandler() && ShortcutHandler()(message))
        return true;
    // Tab, Enter and Esc move through a form as in a dialog.
    HWND form = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (form && ::IsDialogMessageW(form, &message))
        return true;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

void SetShortcutHandler(std::function<bool(const MSG&)> handler)
{
    ShortcutHandler() = std::move(handler);
}

void RunModal(HWND window, HWND owner, const std::function<bool()>& done)
{
    if (owner)
        ::EnableWindow(owner, FALSE);
    ::ShowWindow(window, SW_SHOW);
    MSG message;
    bool quit = false;
    while (!done() && !quit) {
        if (::GetMessageW(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        DispatchMessageOf(message);
    }
    if (owner) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    ::ShowWindow(window, SW_HIDE);
    if (quit)
        ::PostQuitMessage(static_cast<int>(message.wParam)); // the outer loop ends too
}

void RunGuardedIn(HWND owner, const std::function<void()>& handler) noexcept
{
    RunShowingErrors([owner](const std::string& text) { ShowError(owner, text); }, handler);
}

void SetErrorShower(std::function<void(HWND, const std::string&)> shower)
{
    ErrorShower() = std::move(shower);
}

} // namespace eit
