#include "Env.h"
#include "Form.h"
#include "NativeDialogs.h"
#include "RegistrySettings.h"
#include "ScriptedNativeDialogs.h"
#include "TestSupport.h"
#include "Win32DirForm.h"
#include "Win32DirectoryPicker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using eit::test::TempDir;

bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace {

void Pump()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        eit::DispatchMessageOf(message);
}

// "Select Directory": what Ok does with the text, the question and the answer.
struct PickerCase {
    const char* Name;
    const char* Typed;       // below the temporary folder; "" leaves the start
    int Answer;              // to "Create it?"
    bool Accepted;
    bool Exists;             // the chosen folder exists afterwards
    const char* Asked;       // the text of the box shown, "" for none
};

class PickerTest : public ::testing::TestWithParam<PickerCase> {};

TEST_P(PickerTest, OkAcceptsAFolderOrAsks)
{
    const PickerCase& c = GetParam();
    TempDir temp;
    eit::test::WriteFile(temp.File("file.txt"), "x");
    std::vector<std::string> asked;
    eit::Win32DirectoryPicker picker(nullptr, temp.Path(),
                                     [&](HWND, const std::string& text, const std::string& caption, UINT) {
                                         EXPECT_EQ("Select Directory", caption);
                                         asked.push_back(text);
                                         return c.Answer;
                                     });
    EXPECT_EQ("Select Directory", eit::WindowTextOf(picker.Handle()));
    EXPECT_EQ(temp.Path(), eit::WindowTextOf(::GetDlgItem(picker.Handle(), eit::Win32DirectoryPicker::kEditId)));
    if (*c.Typed)
        eit::SetWindowTextOf(::GetDlgItem(picker.Handle(), eit::Win32DirectoryPicker::kEditId), c.Typed);
    ::SendMessageW(::GetDlgItem(picker.Handle(), IDOK), BM_CLICK, 0, 0);

    const std::string chosen = *c.Typed ? temp.File(c.Typed) : temp.Path();
    EXPECT_EQ(c.Accepted, picker.Accepted());
    EXPECT_EQ(c.Accepted, picker.Finished());
    EXPECT_EQ(chosen, picker.Directory());
    EXPECT_EQ(c.Exists, eit::KindOf(chosen) == eit::FileKind::Directory);
    std::string expected = c.Asked;
    if (const auto at = expected.find("%1"); at != std::string::npos)
        expected.replace(at, 2, chosen);
    EXPECT_EQ(expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected}, asked);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PickerTest,
    ::testing::Values(PickerCase{"Start", "", IDYES, true, true, ""},
                      PickerCase{"MissingYes", "new\\deeper", IDYES, true, true,
                                 "The specified directory does not exist. Create it?"},
                      PickerCase{"MissingNo", "new", IDNO, false, false,
                                 "The specified directory does not exist. Create it?"},
                      PickerCase{"AFile", "file.txt", IDOK, false, false, "%1 is a file, not a directory."}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PickerTest, CancelAndEmptyTextLeaveWithoutAFolder)
{
    eit::Win32DirectoryPicker picker(nullptr, "", [](HWND, const std::string&, const std::string&, UINT) {
        ADD_FAILURE() << "nothing to ask";
        return IDNO;
    });
    ::SendMessageW(::GetDlgItem(picker.Handle(), IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(picker.Finished());
    ::SendMessageW(::GetDlgItem(picker.Handle(), IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(picker.Finished());
    EXPECT_FALSE(picker.Accepted());
}

// The scan dialog over its model: the form as drawn, Enter, Esc and the
// folder button.
class DirFormTest : public ::testing::Test {
protected:
    ScriptedNativeDialogs Dialogs;
    eit::Win32DirForm Form{nullptr, Dialogs, [] { return std::string("Data Packs (*.bin)|*.bin|Log files (*.log)|*.log"); }};

    void Key(WPARAM key)
    {
        ::PostMessageW(Form.Control(eit::Win32DirForm::kScanDir), WM_KEYDOWN, key, 0);
        Pump();
    }
};

TEST_F(DirFormTest, DrawnAsTheFormWithFocusInTheField)
{
    Form.SetLastFolder("C:\\games");
    Form.Show();
    EXPECT_EQ("Directory to add", eit::WindowTextOf(Form.Handle()));
    RECT client{};
    ::GetClientRect(Form.Handle(), &client);
    const int dpi = eit::WindowDpi(Form.Handle());
    EXPECT_EQ(eit::Scaled(418, dpi), client.right);
    EXPECT_EQ(eit::Scaled(53, dpi), client.bottom);
    EXPECT_EQ(Form.Control(eit::Win32DirForm::kScanDir), ::GetFocus());
    EXPECT_EQ("Ok", eit::WindowTextOf(Form.Control(IDOK)));
    EXPECT_EQ("Cancel", eit::WindowTextOf(Form.Control(IDCANCEL)));
    EXPECT_EQ("C:\\games", Form.FolderText());
    EXPECT_TRUE(::IsWindowEnabled(Form.Control(IDOK)));
    EXPECT_EQ(2, ::SendMessageW(Form.Control(eit::Win32DirForm::kFilter), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, Form.TypeIndex());
    ::SendMessageW(Form.Control(eit::Win32DirForm::kFilter), CB_SETCURSEL, 1, 0);
    ::SendMessageW(Form.Handle(), WM_COMMAND, MAKEWPARAM(eit::Win32DirForm::kFilter, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Form.Control(eit::Win32DirForm::kFilter)));
    EXPECT_EQ("*.log", Form.Model().Choice().Mask);
}

TEST_F(DirFormTest, ScalesWithTheMonitor)
{
    RECT suggested{0, 0, 900, 200};
    ::SendMessageW(Form.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    RECT client{};
    ::GetClientRect(Form.Handle(), &client);
    // The height also holds the caption, which the test's screen draws at
    // its own DPI.
    EXPECT_EQ(836, client.right);
    RECT field{};
    ::GetWindowRect(Form.Control(eit::Win32DirForm::kScanDir), &field);
    ::MapWindowPoints(HWND_DESKTOP, Form.Handle(), reinterpret_cast<POINT*>(&field), 2);
    EXPECT_EQ((RECT{176, 8, 578, 50}), field);
}

TEST_F(DirFormTest, EnterIsOkOnlyWhileTheFieldHoldsAFolder)
{
    Form.Show();
    EXPECT_FALSE(::IsWindowEnabled(Form.Control(IDOK)));
    Key(VK_RETURN);
    EXPECT_FALSE(Form.Finished());
    eit::SetWindowTextOf(Form.Control(eit::Win32DirForm::kScanDir), "C:\\games");
    EXPECT_TRUE(::IsWindowEnabled(Form.Control(IDOK)));
    Key(VK_RETURN);
    EXPECT_TRUE(Form.Finished());
    EXPECT_TRUE(Form.Accepted());
    EXPECT_EQ("C:\\games", Form.Model().Choice().Folder);
    Form.Show();
    EXPECT_EQ("C:\\games", Form.FolderText()) << "a later showing keeps the field";
    Key(VK_ESCAPE);
    EXPECT_TRUE(Form.Finished());
    EXPECT_FALSE(Form.Accepted());
}

TEST_F(DirFormTest, FolderButtonAsksSelectDirectory)
{
    Form.Show();
    Dialogs.DirectoryAnswers = {"C:\\picked"};
    ::SendMessageW(Form.Control(eit::Win32DirForm::kCallDialog), BM_CLICK, 0, 0);
    EXPECT_EQ("C:\\picked", Form.FolderText());
    EXPECT_EQ("C:\\picked", Form.Model().ScanDirPath());
    EXPECT_TRUE(::IsWindowEnabled(Form.Control(IDOK)));
}

TEST(CommonDialogTest, FilterAndChosenFilesInTheSystemsForm)
{
    EXPECT_EQ(std::wstring(L"Data Packs\0*.bin\0Text files\0*.txt\0\0", 35),
              eit::CommonDialogFilter({{"Data Packs", "*.bin"}, {"Text files", "*.txt"}}));
    struct Row {
        std::wstring Buffer;
        std::vector<std::string> Files;
        std::string Folder;
    };
    const Row rows[] = {
        {std::wstring(L"C:\\packs\\one.bin\0", 17), {"C:\\packs\\one.bin"}, "C:\\packs\\"},
        {std::wstring(L"C:\\packs\0a.bin\0\u00e9.bin\0", 23), {"C:\\packs\\a.bin", "C:\\packs\\\xc3\xa9.bin"}, "C:\\packs"},
        {std::wstring(L"\0", 1), {}, "unchanged"},
    };
    for (const Row& row : rows) {
        std::string folder = "unchanged";
        EXPECT_EQ(row.Files, eit::ChosenFiles(row.Buffer.c_str(), folder));
        EXPECT_EQ(row.Folder, folder);
    }
}

TEST(RegistrySettingsTest, ValuesRoundTripAndUnwrittenOnesReadEmpty)
{
    const std::string key = "Software\\extract-insert-tool\\win32-test-" + std::to_string(::GetCurrentProcessId());
    eit::RegistrySettings settings(key);
    settings.Clear();
    EXPECT_EQ("", settings.Read("OutputFolder"));
    settings.Write("OutputFolder", "C:\\\xc3\xa9t\xc3\xa9");
    settings.Write("OpenFilter", "2");
    EXPECT_EQ("C:\\\xc3\xa9t\xc3\xa9", eit::RegistrySettings(key).Read("OutputFolder"));
    EXPECT_EQ("2", settings.Read("OpenFilter"));
    settings.Write("OpenFilter", "");
    EXPECT_EQ("", settings.Read("OpenFilter"));
    settings.Clear();
    EXPECT_EQ("", settings.Read("OutputFolder"));
}

} // namespace
