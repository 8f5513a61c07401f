#pragma once

// What the native windows share: controls laid out from a table in pixels
// at 100 % and scaled to the window's DPI, the form font, texts in UTF-8, a
// modal loop and the one way every window procedure turns an exception into
// a message box.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace eit {

// One control of a form: its position in pixels at 96 DPI, as the form
// files give it.
struct ControlSpec {
    int Id;
    const wchar_t* Class;
    const wchar_t* Text;
    DWORD Style;
    DWORD ExStyle;
    int X, Y, Width, Height;
};

// value (pixels at 96 DPI) at dpi.
int Scaled(int value, int dpi);
// The DPI window is shown at (96 when the system cannot say).
int WindowDpi(HWND window);
// The forms' font: the system's message font at 8 points for dpi. The
// caller deletes it.
HFONT CreateFormFont(int dpi);

// Creates the controls of specs as children of parent, with font.
void CreateControls(HWND parent, const ControlSpec* specs, std::size_t count, int dpi, HFONT font);
// Moves the controls of specs (created before) to their places at dpi.
void PlaceControls(HWND parent, const ControlSpec* specs, std::size_t count, int dpi, HFONT font);
// A form moved to a monitor of another DPI (WM_DPICHANGED): a new font
// (the old one is deleted), its controls and client area scaled to dpi.
void RescaleForm(HWND form, const ControlSpec* specs, std::size_t count, int dpi, HFONT& font, int width,
                 int height);
// Sizes window so that its client area is width x height pixels at 96 DPI,
// scaled to dpi.
void SizeClientArea(HWND window, int width, int height, int dpi);

// A window's text as UTF-8, and back.
std::string WindowTextOf(HWND window);
void SetWindowTextOf(HWND window, const std::string& text);

// Translates and dispatches one message the way every loop of the program
// does: keyboard navigation for a form, the main window's keys. Returns
// false for WM_QUIT.
bool DispatchMessageOf(MSG& message);
// Key handling for the topmost form: the main window registers a handler
// for its shortcuts (true when it took the key).
void SetShortcutHandler(std::function<bool(const MSG&)> handler);

// Registers the window class name of the program's forms (button-face
// background, arrow cursor, icon 1 of the program when withIcon). Registering
// twice is harmless.
void RegisterFormClass(const wchar_t* name, WNDPROC procedure, bool withIcon = false);
// The object a form's window was created for (its CreateWindowExW
// parameter), kept from WM_NCCREATE on; nullptr before and after.
void* FormObject(HWND window, UINT message, LPARAM lParam);

// Runs window modally over owner (disabled meanwhile) until done() is true
// or the program quits; the owner is enabled and activated again after.
void RunModal(HWND window, HWND owner, const std::function<bool()>& done);

// Runs handler inside a window procedure: no exception may leave it. An
// error's message is shown in a box owned by owner with the caption
// "Extract\Insert Tool"; std::bad_alloc shows "Out of memory", anything else
// "Unexpected error".
void RunGuardedIn(HWND owner, const std::function<void()>& handler) noexcept;
// The box RunGuardedIn shows; tests replace it (nullptr: MessageBoxW).
void SetErrorShower(std::function<void(HWND, const std::string&)> shower);

} // namespace eit
