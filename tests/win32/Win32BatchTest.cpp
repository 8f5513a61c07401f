#include "Env.h"
#include "Form.h"
#include "MainWindowModel.h"
#include "ModelEvents.h"
#include "PackBuilder.h"
#include "RegistrySettings.h"
#include "ScriptedNativeDialogs.h"
#include "TestSupport.h"
#include "WideText.h"
#include "Win32MainWindow.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using eit::MainButton;
using eit::Win32MainWindow;
using eit::test::ReadFile;
using eit::test::TempDir;
using eit::test::WriteFile;

namespace {

// The real window over the real model, its dialogs scripted and its
// settings under a key of its own.
class Win32BatchTest : public ::testing::Test {
protected:
    Win32BatchTest()
    {
        Settings.Clear();
        WriteFile(Dir.File("extlist.txt"), "tim\n\n");
        Settings.Write(eit::kExtListKey, Dir.File("extlist.txt"));
        Window.Attach(&Events);
        Window.Show();
        Model.Start();
    }
    ~Win32BatchTest() override { Settings.Clear(); }

    void Click(MainButton button)
    {
        ::SendMessageW(Window.Handle(), WM_COMMAND, MAKEWPARAM(Win32MainWindow::CommandOf(button), BN_CLICKED), 0);
    }
    // A drop of paths on the window, as the shell hands it over.
    void Drop(const std::vector<std::string>& paths)
    {
        std::wstring names;
        for (const std::string& path : paths) {
            names += std::filesystem::path(eit::test::FsPath(path)).wstring();
            names += L'\0';
        }
        names += L'\0';
        HGLOBAL block = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(block));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
        ::GlobalUnlock(block);
        ::SendMessageW(Window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
    }
    std::string Text(int id) const { return eit::WindowTextOf(Window.Control(id)); }
    std::vector<std::string> Entries() const
    {
        HWND list = Window.Control(Win32MainWindow::kLogList);
        std::vector<std::string> entries;
        for (int i = 0; i < ::SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            std::wstring row(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
            row.resize(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()))));
            entries.push_back(eit::Narrow(row));
        }
        return entries;
    }
    // BSaveList, BRemLog, BClearAll, BProcess.
    std::vector<bool> ListButtons() const
    {
        return {Window.IsEnabled(MainButton::SaveList), Window.IsEnabled(MainButton::RemLog),
                Window.IsEnabled(MainButton::ClearAll), Window.IsEnabled(MainButton::Process)};
    }
    // Runs the console program with args in the test's folder.
    void Driver(std::vector<std::string> args)
    {
        args.insert(args.begin(), EIT_BATCH_DRIVER);
        const eit::test::CommandRun run = eit::test::RunProgram(Dir, Dir.Path(), args);
        ASSERT_EQ(0, run.Status) << run.Err;
    }
    // The result.log of folder out with out's path written as other's.
    std::string LogAs(const std::string& out, const std::string& other) const
    {
        std::string log = ReadFile(Dir.File(out + "/result.log"));
        for (std::size_t at; (at = log.find(Dir.File(out + "/"))) != std::string::npos;)
            log.replace(at, Dir.File(out + "/").size(), Dir.File(other + "/"));
        return log;
    }

    TempDir Dir;
    // A key of this test's own: ctest runs tests side by side.
    eit::RegistrySettings Settings{"Software\\extract-insert-tool\\win32-batch-test-"
                                   + std::to_string(::GetCurrentProcessId())};
    ScriptedNativeDialogs Dialogs;
    Win32MainWindow Window{Dialogs};
    eit::MainWindowModel Model{Window, Settings};
    eit::ModelEvents Events{Model};
};

const std::vector<bool> kAllOn{true, true, true, true};
const std::vector<bool> kAllOff{false, false, false, false};

TEST_F(Win32BatchTest, StartsWithTheRememberedExtensionList)
{
    EXPECT_EQ("Extension list: " + Dir.File("extlist.txt"), Text(Win32MainWindow::kCurrentMessage));
    EXPECT_EQ(kAllOff, ListButtons());
    EXPECT_TRUE(Window.IsEnabled(MainButton::AddLog));
    EXPECT_TRUE(Window.IsEnabled(MainButton::ExtList));
}

// A dropped pack is extracted and its log replayed through the window's
// controls, with the files the console program writes for the same input.
TEST_F(Win32BatchTest, WindowAndConsoleProgramWriteAndReplayTheSameFiles)
{
    WriteFile(Dir.File("a.bin"), eit::test::PackBuilder().Entry(0, 1).Entry(9, 2).Bytes());
    const std::string pack = ReadFile(Dir.File("a.bin"));
    Drop({Dir.File("a.bin"), Dir.File("notes.doc")});
    EXPECT_EQ(std::vector<std::string>{Dir.File("a.bin")}, Entries());
    EXPECT_EQ(kAllOn, ListButtons());

    std::filesystem::create_directories(eit::test::FsPath(Dir.File("win")));
    Dialogs.DirectoryAnswers = {Dir.File("win")};
    const std::string workingFolder = eit::CurrentDirectory();
    Click(MainButton::Process);
    ASSERT_EQ(1u, Dialogs.Messages.size());
    EXPECT_EQ("Operation complete!", Dialogs.Messages[0].Text);
    EXPECT_EQ("Process status:", Dialogs.Messages[0].Caption);
    EXPECT_EQ("Extracted: 2", Text(Win32MainWindow::kExtracted));
    EXPECT_EQ("Total 6144 bytes extracted.", Window.ResultsText());
    EXPECT_TRUE(Window.IsEnabled(MainButton::SaveLog));
    EXPECT_FALSE(Window.IsEnabled(MainButton::Stop));
    EXPECT_TRUE(Window.IsEnabled(MainButton::ExtList));
    EXPECT_EQ(workingFolder, eit::CurrentDirectory()) << "the window keeps its working folder";

    Driver({"--extlist", Dir.File("extlist.txt"), "--output", Dir.File("cli"), Dir.File("a.bin")});
    EXPECT_EQ(eit::test::ListTree(Dir.File("cli")), eit::test::ListTree(Dir.File("win")));
    EXPECT_TRUE(LogAs("cli", "win") == ReadFile(Dir.File("win/result.log")));
    std::istringstream files(eit::test::ListTree(Dir.File("cli")));
    for (std::string file; std::getline(files, file);) {
        if (file != "result.log") {
            EXPECT_TRUE(ReadFile(Dir.File("cli/" + file)) == ReadFile(Dir.File("win/" + file))) << file;
        }
    }

    // A translated file goes back into the pack: the window's replay and the
    // console program's give the same pack.
    const std::string extracted = eit::test::ListTree(Dir.File("win"));
    const std::string first = extracted.substr(0, extracted.find('\n'));
    WriteFile(Dir.File("win/" + first), std::string(ReadFile(Dir.File("win/" + first)).size(), 'T'));
    Dialogs.OpenFilesAnswers = {{Dir.File("win/result.log")}};
    Dialogs.OpenFilesFilter = 3;
    Click(MainButton::AddLog);
    EXPECT_EQ(std::vector<std::string>{Dir.File("win/result.log")}, Entries());
    Dialogs.DirectoryAnswers = {Dir.File("win")};
    Click(MainButton::Process);
    ASSERT_EQ(2u, Dialogs.Messages.size());
    EXPECT_EQ("Operation complete!", Dialogs.Messages[1].Text);
    // A replay rebuilds the pack in the chosen folder.
    const std::string replayed = ReadFile(Dir.File("win/a.bin"));
    EXPECT_TRUE(pack != replayed) << "the translated file went in";
    EXPECT_TRUE(pack == ReadFile(Dir.File("a.bin")));

    WriteFile(Dir.File("cli/" + first), ReadFile(Dir.File("win/" + first)));
    Driver({"--mode", "log", "--output", Dir.File("cli"), Dir.File("cli/result.log")});
    EXPECT_TRUE(replayed == ReadFile(Dir.File("cli/a.bin")));
}

// What the user does while a batch runs waits in the window's queue until
// the batch pumps it: Esc stops the batch, closing stops it and then closes.
TEST_F(Win32BatchTest, KeysAndCloseReachARunningBatchThroughThePump)
{
    struct Row {
        const char* Name;
        UINT Message;
        WPARAM Key;
        bool Closed;
    };
    const Row rows[] = {{"Esc", WM_KEYDOWN, VK_ESCAPE, false}, {"Close", WM_CLOSE, 0, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        WriteFile(Dir.File("a.bin"), eit::test::PackBuilder().Entry(0, 1).Entry(9, 2).Bytes());
        WriteFile(Dir.File("b.bin"), eit::test::PackBuilder().Entry(0, 1).Bytes());
        Drop({Dir.File("a.bin"), Dir.File("b.bin")});
        const std::string out = Dir.File(row.Name);
        std::filesystem::create_directories(eit::test::FsPath(out));
        Dialogs.DirectoryAnswers = {out};
        Dialogs.Messages.clear();
        HWND target = row.Message == WM_CLOSE ? Window.Handle() : Window.Control(Win32MainWindow::kLogList);
        ::PostMessageW(target, row.Message, row.Key, 0);
        Click(MainButton::Process);
        EXPECT_EQ(std::string::npos, eit::test::ListTree(out).find("b_")) << "the batch stopped before b.bin";
        EXPECT_EQ(row.Closed, Window.Handle() == nullptr);
        if (!row.Closed) {
            ASSERT_EQ(1u, Dialogs.Messages.size());
            EXPECT_EQ("Operation complete!", Dialogs.Messages[0].Text);
            EXPECT_FALSE(Window.IsEnabled(MainButton::Stop));
        } else {
            EXPECT_TRUE(Dialogs.Messages.empty());
        }
    }
}

TEST_F(Win32BatchTest, ClosingAsksTheModelAndCloses)
{
    ::SendMessageW(Window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(nullptr, Window.Handle());
}

} // namespace
