#pragma once

// Every modal dialog of the native window goes through this interface: the
// system's dialogs in the program, scripted answers in the tests, so that no
// test waits on a modal loop.

#include "WindowSkin.h"

#include <windows.h>

#include <string>
#include <vector>

namespace eit {

class Win32DirForm;

class NativeDialogs {
public:
    virtual ~NativeDialogs() = default;

    // The open dialog "Select file..." for several files. filterIndex
    // (from 1) and dir (empty: the working folder) in, and as the user left
    // them, out. On OK files holds the chosen files' full paths.
    virtual bool OpenFiles(HWND owner, const std::vector<DialogFilter>& filters, std::vector<std::string>& files,
                           int& filterIndex, std::string& dir) = 0;
    // An open dialog titled title for one existing file, opened at file.
    virtual bool OpenFile(HWND owner, const std::string& title, const std::vector<DialogFilter>& filters,
                          std::string& file) = 0;
    // A save dialog with the overwrite prompt; defaultSuffix is added to a
    // name without one.
    virtual bool SaveFile(HWND owner, const std::string& title, const std::vector<DialogFilter>& filters,
                          const std::string& defaultSuffix, std::string& file) = 0;
    // "Select Directory" opened at dir (see Win32DirectoryPicker).
    virtual bool PickDirectory(HWND owner, std::string& dir) = 0;
    // An information box with one OK button.
    virtual void Message(HWND owner, const std::string& text, const std::string& caption) = 0;
    // Shows the scan dialog modally; true when it closed with Ok.
    virtual bool ExecModal(Win32DirForm& form) = 0;
};

// The system's dialogs.
NativeDialogs& SystemDialogs();

// The filter text of the common dialogs: "Description\0mask\0...\0".
std::wstring CommonDialogFilter(const std::vector<DialogFilter>& filters);
// The files an OFN_ALLOWMULTISELECT | OFN_EXPLORER dialog hands back in
// buffer ("folder\0name\0name\0\0", or "path\0\0" for one file), as UTF-8
// full paths; folder receives the folder they are in.
std::vector<std::string> ChosenFiles(const wchar_t* buffer, std::string& folder);

} // namespace eit
