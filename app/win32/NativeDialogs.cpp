#include "NativeDialogs.h"

#include "Win32DirectoryPicker.h"
#include "FileUtil.h"
#include "Win32DirForm.h"
#include "WideText.h"

#include <commdlg.h>

namespace eit {

namespace {

// Big enough for the names of a few thousand files chosen at once.
constexpr std::size_t kFileBufferSize = 1 << 16;

class SystemDialogsImpl : public NativeDialogs {
public:
    bool OpenFiles(HWND owner, const std::vector<DialogFilter>& filters, std::vector<std::string>& files,
                   int& filterIndex, std::string& dir) override
    {
        const std::wstring filter = CommonDialogFilter(filters);
        const std::wstring initialDir = Widen(dir);
        std::wstring buffer(kFileBufferSize, L'\0');
        OPENFILENAMEW dialog = Dialog(owner, filter, buffer);
        dialog.lpstrTitle = L"Select file...";
        dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
        dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
        dialog.Flags |= OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
        if (!::GetOpenFileNameW(&dialog))
            return false;
        files = ChosenFiles(buffer.c_str(), dir);
        filterIndex = static_cast<int>(dialog.nFilterIndex);
        return !files.empty();
    }

    bool OpenFile(HWND owner, const std::string& title, const std::vector<DialogFilter>& filters,
                  std::string& file) override
    {
        const std::wstring filter = CommonDialogFilter(filters);
        const std::wstring caption = Widen(title);
        std::wstring buffer = Widen(file);
        buffer.resize(kFileBufferSize, L'\0');
        OPENFILENAMEW dialog = Dialog(owner, filter, buffer);
        dialog.lpstrTitle = caption.c_str();
        dialog.Flags |= OFN_FILEMUSTEXIST;
        if (!::GetOpenFileNameW(&dialog))
            return false;
        file = Narrow(buffer.c_str());
        return true;
    }

    bool SaveFile(HWND owner, const std::string& title, const std::vector<DialogFilter>& filters,
                  const std::string& defaultSuffix, std::string& file) override
    {
        const std::wstring filter = CommonDialogFilter(filters);
        const std::wstring caption = Widen(title);
        const std::wstring suffix = Widen(defaultSuffix);
        std::wstring buffer = Widen(file);
        buffer.resize(kFileBufferSize, L'\0');
        OPENFILENAMEW dialog = Dialog(owner, filter, buffer);
        dialog.lpstrTitle = caption.c_str();
        dialog.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
        dialog.Flags |= OFN_OVERWRITEPROMPT;
        if (!::GetSaveFileNameW(&dialog))
            return false;
        file = Narrow(buffer.c_str());
        return true;
    }

    bool PickDirectory(HWND owner, std::string& dir) override
    {
        Win32DirectoryPicker picker(owner, dir);
        if (!picker.Run())
            return false;
        dir = picker.Directory();
        return true;
    }

    void Message(HWND owner, const std::string& text, const std::string& caption) override
    {
        ::MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MB_ICONINFORMATION);
    }

    bool ExecModal(Win32DirForm& form) override { return form.Run(); }

private:
    // The batch keeps its own working folder: the dialogs must not move it.
    static OPENFILENAMEW Dialog(HWND owner, const std::wstring& filter, std::wstring& buffer)
    {
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = buffer.data();
        dialog.nMaxFile = static_cast<DWORD>(buffer.size());
        dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        return dialog;
    }
};

} // namespace

NativeDialogs& SystemDialogs()
{
    static SystemDialogsImpl dialogs;
    return dialogs;
}

std::wstring CommonDialogFilter(const std::vector<DialogFilter>& filters)
{
    std::wstring text;
    for (const DialogFilter& filter : filters) {
        text += Widen(filter.Description);
        text += L'\0';
        text += Widen(filter.Mask);
        text += L'\0';
    }
    text += L'\0';
    return text;
}

std::vector<std::string> ChosenFiles(const wchar_t* buffer, std::string& folder)
{
    std::vector<std::string> names;
    for (const wchar_t* name = buffer; *name; name += std::wcslen(name) + 1)
        names.push_back(Narrow(name));
    if (names.empty())
        return names;
    if (names.size() == 1) {
        folder = DirectoryPart(names.front());
        return names;
    }
    folder = names.front();
    std::vector<std::string> files;
    for (std::size_t i = 1; i < names.size(); ++i)
        files.push_back(JoinPath(folder, names[i]));
    return files;
}

} // namespace eit
