#include "Form.h"
#include "ScriptedNativeDialogs.h"
#include "Win32MainWindow.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

using eit::MainButton;
using eit::Win32MainWindow;

namespace {

class RecordingEvents : public eit::MainWindowEvents {
public:
    std::vector<MainButton> Clicks;
    std::vector<std::vector<std::string>> Drops;
    int Edits = 0;
    bool Take = true;
    bool MayClose = false;
    int CloseAsks = 0;

    void Clicked(MainButton button) override { Clicks.push_back(button); }
    bool CanTake(const std::vector<std::string>&) override { return Take; }
    void Dropped(const std::vector<std::string>& paths) override { Drops.push_back(paths); }
    void ResultsEdited() override { ++Edits; }
    bool CloseRequested() override
    {
        ++CloseAsks;
        return MayClose;
    }
};

class Win32WindowTest : public ::testing::Test {
protected:
    Win32WindowTest() { Window.Attach(&Events); }

    std::string Text(int id) const { return eit::WindowTextOf(Window.Control(id)); }
    void Pump()
    {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            eit::DispatchMessageOf(message);
    }

    ScriptedNativeDialogs Dialogs;
    RecordingEvents Events;
    Win32MainWindow Window{Dialogs};
};

TEST_F(Win32WindowTest, OpensWithTheTitleAndAFixedClientArea)
{
    Window.Show();
    EXPECT_EQ("Extract\\Insert Tool", eit::WindowTextOf(Window.Handle()));
    RECT client{};
    ASSERT_TRUE(::GetClientRect(Window.Handle(), &client));
    const int dpi = eit::WindowDpi(Window.Handle());
    EXPECT_EQ(eit::Scaled(688, dpi), client.right);
    EXPECT_EQ(eit::Scaled(464, dpi), client.bottom);
    const auto style = ::GetWindowLongPtrW(Window.Handle(), GWL_STYLE);
    EXPECT_EQ(0, style & WS_THICKFRAME) << "the window must not resize";
    EXPECT_EQ(0, style & WS_MAXIMIZEBOX);
}

// The controls as the form draws them: place at 100 %, caption, state.
TEST_F(Win32WindowTest, ControlsSitWhereTheFormPutsThem)
{
    struct Row {
        int Id;
        const char* Text;
        RECT Place;
        bool Enabled;
    };
    const Row rows[] = {
        {Win32MainWindow::kLogList, "", {0, 26, 688, 215}, true},
        {Win32MainWindow::kResults, "", {0, 215, 688, 398}, true},
        {Win32MainWindow::kGroupBox, " Process ", {0, 398, 688, 464}, true},
        {Win32MainWindow::kCurrentMessage, "", {12, 414, 332, 427}, true},
        {Win32MainWindow::kExtracted, "Extracted: 0", {334, 412, 494, 425}, true},
        {Win32MainWindow::CommandOf(MainButton::SaveLog), "Save results", {506, 408, 611, 427}, false},
        {Win32MainWindow::CommandOf(MainButton::Stop), "Stop", {612, 408, 683, 427}, false},
        {Win32MainWindow::kProgress, "", {12, 430, 683, 443}, true},
        {Win32MainWindow::kTotal, "", {12, 446, 683, 459}, true},
    };
    const int dpi = eit::WindowDpi(Window.Handle());
    for (const Row& row : rows) {
        HWND control = Window.Control(row.Id);
        ASSERT_NE(nullptr, control) << row.Id;
        EXPECT_EQ(row.Text, Text(row.Id)) << row.Id;
        RECT place{};
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(HWND_DESKTOP, Window.Handle(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(eit::Scaled(row.Place.left, dpi), place.left) << row.Id;
        EXPECT_EQ(eit::Scaled(row.Place.top, dpi), place.top) << row.Id;
        EXPECT_EQ(eit::Scaled(row.Place.right, dpi), place.right) << row.Id;
        EXPECT_EQ(eit::Scaled(row.Place.bottom, dpi), place.bottom) << row.Id;
        EXPECT_EQ(row.Enabled, ::IsWindowEnabled(control) != FALSE) << row.Id;
    }
    const auto listStyle = ::GetWindowLongPtrW(Window.Control(Win32MainWindow::kLogList), GWL_STYLE);
    EXPECT_NE(0, listStyle & LBS_EXTENDEDSEL) << "LogList selects several rows";
}

TEST_F(Win32WindowTest, ToolbarHasEveryButtonWithItsPictureAndState)
{
    struct Row {
        MainButton Button;
        bool Enabled;
    };
    const Row rows[] = {{MainButton::AddLog, true},   {MainButton::ProcessDir, true}, {MainButton::SaveList, false},
                        {MainButton::RemLog, false},  {MainButton::ClearAll, false},  {MainButton::Process, false},
                        {MainButton::Exit, true},     {MainButton::ExtList, true},    {MainButton::SaveLog, false},
                        {MainButton::Stop, false}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.Enabled, Window.IsEnabled(row.Button)) << static_cast<int>(row.Button);
        Window.SetEnabled(row.Button, !row.Enabled);
        EXPECT_EQ(!row.Enabled, Window.IsEnabled(row.Button)) << static_cast<int>(row.Button);
    }
    HWND toolBar = Window.Control(Win32MainWindow::kToolBar);
    EXPECT_EQ(8, ::SendMessageW(toolBar, TB_BUTTONCOUNT, 0, 0));
    const int size = eit::WindowDpi(Window.Handle()) >= 144 ? 32 : 16;
    for (HIMAGELIST list : {Window.Pictures(), Window.DisabledPictures()}) {
        EXPECT_EQ(8, ::ImageList_GetImageCount(list));
        int width = 0;
        int height = 0;
        ::ImageList_GetIconSize(list, &width, &height);
        EXPECT_EQ(size, width);
        EXPECT_EQ(size, height);
    }
    EXPECT_EQ(reinterpret_cast<LRESULT>(Window.DisabledPictures()),
              ::SendMessageW(toolBar, TB_GETDISABLEDIMAGELIST, 0, 0));
}

// Moved to a 200 % monitor, the window doubles its places and takes the
// 32 x 32 pictures.
TEST_F(Win32WindowTest, ScalesItsFormAndPicturesWithTheMonitor)
{
    RECT suggested{0, 0, 1400, 1000};
    ::SendMessageW(Window.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    // The window's own size is bounded by the test's screen; its controls
    // are not.
    RECT list{};
    ::GetWindowRect(Window.Control(Win32MainWindow::kLogList), &list);
    ::MapWindowPoints(HWND_DESKTOP, Window.Handle(), reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(52, list.top);
    EXPECT_EQ(430, list.bottom);
    for (HIMAGELIST pictures : {Window.Pictures(), Window.DisabledPictures()}) {
        int width = 0;
        int height = 0;
        ::ImageList_GetIconSize(pictures, &width, &height);
        EXPECT_EQ(32, width);
        EXPECT_EQ(32, height);
    }
    EXPECT_EQ(reinterpret_cast<LRESULT>(Window.Pictures()),
              ::SendMessageW(Window.Control(Win32MainWindow::kToolBar), TB_GETIMAGELIST, 0, 0));
}

TEST_F(Win32WindowTest, ToolTipsNameTheButtons)
{
    const std::pair<MainButton, const wchar_t*> rows[] = {
        {MainButton::AddLog, L"Add files"},   {MainButton::ProcessDir, L"Process Directory"},
        {MainButton::SaveList, L"Save list"}, {MainButton::RemLog, L"Remove selected"},
        {MainButton::ClearAll, L"Clear list"}, {MainButton::Process, L"Process"},
        {MainButton::Exit, L"Exit"},          {MainButton::ExtList, L"Choose extension list"}};
    for (const auto& [button, tip] : rows) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = nullptr;
        info.hdr.idFrom = static_cast<UINT_PTR>(Win32MainWindow::CommandOf(button));
        info.hdr.code = TTN_GETDISPINFOW;
        ::SendMessageW(Window.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_NE(nullptr, info.lpszText);
        EXPECT_STREQ(tip, info.lpszText);
    }
}

TEST_F(Win32WindowTest, ClicksReachTheModelOnlyFromEnabledButtons)
{
    Window.SetEnabled(MainButton::Stop, true);
    for (const MainButton button : {MainButton::AddLog, MainButton::RemLog, MainButton::Stop, MainButton::SaveLog})
        ::SendMessageW(Window.Handle(), WM_COMMAND, MAKEWPARAM(Win32MainWindow::CommandOf(button), BN_CLICKED), 0);
    ::SendMessageW(Window.Control(Win32MainWindow::CommandOf(MainButton::Stop)), BM_CLICK, 0, 0);
    EXPECT_EQ((std::vector<MainButton>{MainButton::AddLog, MainButton::Stop, MainButton::Stop}), Events.Clicks);
}

TEST(Win32ShortcutTest, KeysPressTheFormsButtons)
{
    struct Row {
        WPARAM Key;
        bool Control;
        bool InResults;
        std::optional<MainButton> Button;
    };
    const Row rows[] = {
        {VK_ESCAPE, false, false, MainButton::Stop},   {VK_ESCAPE, false, true, MainButton::Stop},
        {'O', true, false, MainButton::AddLog},        {'O', false, false, std::nullopt},
        {'S', true, true, MainButton::SaveList},       {'Q', true, false, MainButton::Exit},
        {VK_RETURN, true, true, MainButton::Process},  {VK_RETURN, false, false, std::nullopt},
        {VK_DELETE, false, false, MainButton::RemLog}, {VK_DELETE, false, true, std::nullopt},
        {VK_DELETE, true, false, std::nullopt},        {'X', true, false, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.Button, Win32MainWindow::ShortcutOf(row.Key, row.Control, row.InResults))
            << row.Key << (row.Control ? " with Ctrl" : "") << (row.InResults ? " in Results" : "");
}

TEST_F(Win32WindowTest, EscapeIsStopWhileStopIsEnabled)
{
    Window.Show();
    HWND list = Window.Control(Win32MainWindow::kLogList);
    ::PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_TRUE(Events.Clicks.empty());
    Window.SetEnabled(MainButton::Stop, true);
    ::PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(std::vector<MainButton>{MainButton::Stop}, Events.Clicks);
}

TEST_F(Win32WindowTest, ListShowsEntriesAndReportsTheSelection)
{
    Window.ShowEntries({"C:\\packs\\a.bin", "C:\\packs\\\xc3\xa9t\xc3\xa9.bin", "C:\\packs\\c.bin"});
    HWND list = Window.Control(Win32MainWindow::kLogList);
    ASSERT_EQ(3, ::SendMessageW(list, LB_GETCOUNT, 0, 0));
    wchar_t row[64] = {};
    ::SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(row));
    EXPECT_STREQ(L"C:\\packs\\\u00e9t\u00e9.bin", row);
    ::SendMessageW(list, LB_SETSEL, TRUE, 2);
    ::SendMessageW(list, LB_SETSEL, TRUE, 0);
    EXPECT_EQ((std::vector<int>{0, 2}), Window.SelectedRows());
    Window.ShowEntries({});
    EXPECT_EQ(0, ::SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_TRUE(Window.SelectedRows().empty());
}

TEST_F(Win32WindowTest, ResultsKeepLinesAndTellTheUsersEdits)
{
    Window.AppendResult("first");
    Window.AppendResult("second \xe2\x9c\x93");
    EXPECT_EQ("first\nsecond \xe2\x9c\x93", Window.ResultsText());
    EXPECT_EQ(0, Events.Edits) << "the window's own writes are not edits";
    ::SendMessageW(Window.Control(Win32MainWindow::kResults), EM_REPLACESEL, TRUE,
                   reinterpret_cast<LPARAM>(L"typed"));
    EXPECT_EQ(1, Events.Edits);
    Window.ClearResults();
    EXPECT_EQ("", Window.ResultsText());
    EXPECT_EQ(1, Events.Edits);
}

TEST_F(Win32WindowTest, LabelsAndBarsShowTheBatch)
{
    Window.SetStatus("Extension list: C:\\ext.txt");
    Window.SetExtracted("Extracted: 12");
    Window.SetProgress(40);
    Window.SetTotal(75);
    EXPECT_EQ("Extension list: C:\\ext.txt", Text(Win32MainWindow::kCurrentMessage));
    EXPECT_EQ("Extracted: 12", Text(Win32MainWindow::kExtracted));
    EXPECT_EQ(40, ::SendMessageW(Window.Control(Win32MainWindow::kProgress), PBM_GETPOS, 0, 0));
    EXPECT_EQ(75, ::SendMessageW(Window.Control(Win32MainWindow::kTotal), PBM_GETPOS, 0, 0));
}

// A drop as the shell hands it over: a DROPFILES block of wide names.
HGLOBAL DropOf(const std::vector<std::wstring>& names)
{
    std::size_t chars = 1;
    for (const std::wstring& name : names)
        chars += name.size() + 1;
    HGLOBAL block = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& name : names) {
        std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        text += name.size() + 1;
    }
    ::GlobalUnlock(block);
    return block;
}

TEST_F(Win32WindowTest, DroppedNamesArriveAsUtf8WhenTheModelTakesThem)
{
    ::SendMessageW(Window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"C:\\a.bin", L"C:\\\u00e9.bin"})), 0);
    Events.Take = false;
    ::SendMessageW(Window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"C:\\a.doc"})), 0);
    ASSERT_EQ(1u, Events.Drops.size());
    EXPECT_EQ((std::vector<std::string>{"C:\\a.bin", "C:\\\xc3\xa9.bin"}), Events.Drops.front());
}

TEST_F(Win32WindowTest, ClosingAsksTheModelFirst)
{
    ::SendMessageW(Window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(1, Events.CloseAsks);
    EXPECT_TRUE(::IsWindow(Window.Handle()));
    Events.MayClose = true;
    ::SendMessageW(Window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(nullptr, Window.Handle());
}

TEST_F(Win32WindowTest, DialogsAreOwnedByTheWindow)
{
    Window.ShowMessage("Operation complete!", "Process status:");
    ASSERT_EQ(1u, Dialogs.Messages.size());
    EXPECT_EQ("Operation complete!", Dialogs.Messages[0].Text);
    EXPECT_EQ("Process status:", Dialogs.Messages[0].Caption);
    Dialogs.DirectoryAnswers = {"C:\\out"};
    std::string dir = "C:\\start";
    EXPECT_TRUE(Window.AskDirectory(dir));
    EXPECT_EQ("C:\\out", dir);
    EXPECT_EQ(std::vector<std::string>{"C:\\start"}, Dialogs.AskedDirectories);
}

} // namespace
