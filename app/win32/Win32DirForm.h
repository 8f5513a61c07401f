#pragma once

#include "DirFormModel.h"
#include "WindowSkin.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace eit {

class NativeDialogs;

// "Directory to add", drawn as resources/TDirForm.ui draws it: the folder
// field, the browse button, the type list, Ok and Cancel. Enter is Ok (while
// Ok is enabled), Esc is Cancel; every showing puts the focus in the field.
// It is the skin of a DirFormModel, which decides what the form shows.
class Win32DirForm : public DirFormSkin {
public:
    // Creates the form, hidden, owned by owner. dialogs answers "Select
    // Directory" and shows the model's messages; filterText gives the types
    // at every showing (see DirFormModel). Throws std::runtime_error when
    // the window cannot be made.
    Win32DirForm(HWND owner, NativeDialogs& dialogs, std::function<std::string()> filterText);
    ~Win32DirForm() override;
    Win32DirForm(const Win32DirForm&) = delete;
    Win32DirForm& operator=(const Win32DirForm&) = delete;

    DirFormModel& Model() { return FModel; }
    // The folder of the last scan, for the field of the first showing.
    void SetLastFolder(const std::string& folder) { FLastFolder = folder; }

    // Shows the form (the model's FormShow first, then the focus in the
    // field) and, when modal, waits until Ok or Cancel closes it; true for
    // Ok.
    void Show();
    bool Run();
    HWND Handle() const { return FWindow; }
    HWND Control(int id) const { return ::GetDlgItem(FWindow, id); }
    bool Finished() const { return FFinished; }
    bool Accepted() const { return FAccepted; }

    std::string FolderText() const;
    int TypeIndex() const;

    // DirFormSkin
    void ShowTypes(const std::vector<std::string>& descriptions, int current) override;
    std::string ShowFolder(const std::string& folder) override;
    void SetOkEnabled(bool enabled) override;
    bool AskDirectory(std::string& dir) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

    // The controls, named as on the form; BOk and BCancel are IDOK and IDCANCEL.
    static constexpr int kScanDir = 401;
    static constexpr int kCallDialog = 402;
    static constexpr int kFilter = 403;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int code);

    HWND FOwner;
    NativeDialogs& FDialogs;
    DirFormModel FModel;
    std::string FLastFolder;
    HWND FWindow = nullptr;
    HFONT FFont = nullptr;
    HICON FFolderIcon = nullptr;
    bool FFinished = false;
    bool FAccepted = false;
    bool FFilling = false; // the form, not the user, changes a control
};

} // namespace eit
