#include "DataPack.h"
#include "FileError.h"
#include "FileUtil.h"
#include "MainWindowModel.h"
#include "PackBuilder.h"
#include "RecordingSkin.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <optional>

namespace {

using eit::MainButton;
using eit::MainWindowModel;
using eit::test::MapSettings;
using eit::test::PackBuilder;
using eit::test::ReadFile;
using eit::test::RecordingSkin;
using eit::test::TempDir;
using eit::test::WriteFile;

using Strings = std::vector<std::string>;

class WindowModelTest : public testing::Test {
protected:
    WindowModelTest() : SavedDir(eit::CurrentDirectory())
    {
        Model.Start();
        eit::SetCurrentDirectory(Dir.Path());
        Model.State().ExtListPath = Dir.File("extlist.txt");
        WriteFile(Model.State().ExtListPath, "tim\n\n");
    }
    ~WindowModelTest() override { eit::SetCurrentDirectory(SavedDir); }

    std::string Pack(const std::string& name)
    {
        WriteFile(Dir.File(name), PackBuilder().Entry(0, 1).Entry(9, 2).Bytes());
        return Dir.File(name);
    }
    std::string File(const std::string& name, std::string_view bytes = "")
    {
        WriteFile(Dir.File(name), bytes);
        return Dir.File(name);
    }
    void Add(const Strings& files, int filter)
    {
        Skin.Opens.push_back({files, filter});
        Model.BAddLogClick();
    }
    // BSaveList, BRemLog, BClearAll, BProcess.
    std::vector<bool> ListButtons() const
    {
        return {Skin.IsEnabled(MainButton::SaveList), Skin.IsEnabled(MainButton::RemLog),
                Skin.IsEnabled(MainButton::ClearAll), Skin.IsEnabled(MainButton::Process)};
    }
    // The next folder picker answers with out/, which exists.
    void PickOut()
    {
        Skin.Dirs.push_back(Dir.File("out"));
        std::filesystem::create_directories(eit::test::FsPath(Dir.File("out")));
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(eit::test::FsPath(Dir.File(name))); }

    MapSettings Settings;
    std::string SavedDir;
    TempDir Dir;
    RecordingSkin Skin;
    MainWindowModel Model{Skin, Settings};
};

const std::vector<bool> kAllOn{true, true, true, true};
const std::vector<bool> kAllOff{false, false, false, false};
const std::vector<std::pair<std::string, std::string>> kCompleted{{"Operation complete!", "Process status:"}};

// A name the file system keeps as bytes the window cannot show as they are;
// Windows names are UTF-8 text.
#ifdef _WIN32
const std::string kOddName = "caf\xc3\xa9";
#else
const std::string kOddName = "caf\xe9";
#endif

TEST_F(WindowModelTest, StartsWithTheButtonsAnEmptyListAllows)
{
    const std::pair<MainButton, bool> expected[] = {
        {MainButton::AddLog, true},   {MainButton::ProcessDir, true}, {MainButton::Exit, true},
        {MainButton::ExtList, true},  {MainButton::SaveList, false},  {MainButton::RemLog, false},
        {MainButton::ClearAll, false}, {MainButton::Process, false},  {MainButton::Stop, false},
        {MainButton::SaveLog, false},
    };
    for (const auto& [button, enabled] : expected)
        EXPECT_EQ(Skin.IsEnabled(button), enabled) << static_cast<int>(button);
    EXPECT_EQ(Model.State().ProcessingMode, 0);
    EXPECT_EQ(Model.State().StartDir, SavedDir);
    EXPECT_EQ(Model.FilterIndex(), 1);
}

TEST_F(WindowModelTest, ListButtonsFollowTheList)
{
    Add({}, 1); // cancelled with an empty list
    EXPECT_EQ(ListButtons(), kAllOff);

    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    EXPECT_EQ(ListButtons(), kAllOn);
    EXPECT_EQ(Model.State().ProcessingMode, 1);

    Add({}, 1); // cancelled with entries: all four on again
    EXPECT_EQ(ListButtons(), kAllOn);

    Model.BClearAllClick();
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_TRUE(Skin.Shown.empty());
    EXPECT_EQ(Model.State().ProcessingMode, 1);
}

TEST_F(WindowModelTest, ChangingTheFilterStartsANewList)
{
    Add({Pack("a.bin")}, 1);
    Add({File("x.log"), File("y.log")}, 3);
    EXPECT_EQ(Skin.Shown, (Strings{File("x.log"), File("y.log")}));
    EXPECT_EQ(Model.State().ProcessingMode, 2);
    Add({File("z.log")}, 3);
    EXPECT_EQ(Skin.Shown.size(), 3u);
}

TEST_F(WindowModelTest, ProjectListReplacesTheListAndSavesBack)
{
    Add({File("p.log")}, 3);
    const std::string list = File("list.lst", "one\r\ntwo with blanks\nthree");
    Add({list}, 2);
    EXPECT_EQ(Skin.Shown, (Strings{"one", "two with blanks", "three"}));
    EXPECT_EQ(Model.State().ProcessingMode, 3);
    Add({list}, 2); // replaces again, even in mode 3
    EXPECT_EQ(Skin.Shown.size(), 3u);

    Skin.Saves.push_back(Dir.File("saved.lst"));
    Model.BSaveListClick();
    EXPECT_EQ(Skin.SaveTitles, Strings{"Select file..."});
    EXPECT_EQ(ReadFile(Dir.File("saved.lst")), "one\r\ntwo with blanks\r\nthree\r\n");
    Model.BClearAllClick();
    Add({Dir.File("saved.lst")}, 2);
    EXPECT_EQ(Skin.Shown, (Strings{"one", "two with blanks", "three"}));
}

TEST_F(WindowModelTest, RemovesTheSelectedEntries)
{
    Add({File("1.log"), File("2.log"), File("3.log"), File("4.log")}, 3);
    Skin.Selected = {1, 2};
    Model.BRemLogClick();
    EXPECT_EQ(Skin.Shown, (Strings{File("1.log"), File("4.log")}));
    EXPECT_EQ(Skin.CurrentRow, 1);

    Model.BRemLogClick(); // nothing selected: nothing goes
    EXPECT_EQ(Skin.Shown.size(), 2u);

    Skin.Selected = {0, 1};
    Model.BRemLogClick();
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_EQ(Skin.CurrentRow, -1);
}

TEST_F(WindowModelTest, BatchOfThreePacksFromTheWindow)
{
    Add({Pack("a.bin"), Pack("b.bin"), Pack("c.bin")}, 1);
    PickOut();
    // After each file Total shows the share done before it: 0, 33, 66; then 0.
    Strings statuses;
    auto& batch = Model.BatchRun();
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        batch.DispatchFile(mode, entry);
        statuses.push_back(Skin.Status);
    };
    Model.BProcessClick();

    EXPECT_EQ(Skin.PickerStarts, Strings{Dir.Path()});
    EXPECT_EQ(Skin.Totals, (std::vector<int>{0, 0, 33, 66, 0})); // the first at the batch's start
    EXPECT_EQ(Skin.Total, 0);
    EXPECT_EQ(statuses, (Strings{"Processing a.bin...", "Processing b.bin...", "Processing c.bin..."}));
    EXPECT_EQ(Skin.Status, "");
    EXPECT_EQ(Skin.Extracted, "Extracted: 6"); // stays until the next batch
    EXPECT_TRUE(Exists("out/result.log"));
    EXPECT_TRUE(Exists("out/TIM/c_0000.tim"));
    EXPECT_EQ(Skin.Results, Strings{"Total 18432 bytes extracted."});
    EXPECT_TRUE(Skin.IsEnabled(MainButton::SaveLog));
    EXPECT_FALSE(Skin.IsEnabled(MainButton::Stop));
    EXPECT_EQ(Skin.Messages, kCompleted);
    EXPECT_TRUE(Skin.Errors.empty());

    // The results pane is saved with CR LF, and the box names only the file.
    Skin.Saves.push_back(Dir.File("notes/res.txt"));
    std::filesystem::create_directories(eit::test::FsPath(Dir.File("notes")));
    Skin.Results.push_back("typed");
    Model.ResultsEdited();
    Model.SaveLogClick();
    EXPECT_EQ(Skin.SaveTitles, Strings{"Select target..."});
    EXPECT_EQ(ReadFile(Dir.File("notes/res.txt")), "Total 18432 bytes extracted.\r\ntyped\r\n");
    EXPECT_EQ(Skin.Messages.back(), (std::pair<std::string, std::string>{"res.txt", "Operation status"}));
    EXPECT_FALSE(Skin.IsEnabled(MainButton::SaveLog));
}

// A replayed log that names no pack format says so in the results pane.
TEST_F(WindowModelTest, ReplayedLogNamingNoPackSaysSoInTheResults)
{
    Add({File("r.log", "#Format: bin\r\n")}, 3);
    PickOut();
    Model.BProcessClick();
    EXPECT_EQ(Skin.Results, Strings{Dir.File("r.log") + ": no \"#Format: BIN\" record, nothing rebuilt"});
    EXPECT_TRUE(Skin.IsEnabled(MainButton::SaveLog));
    EXPECT_EQ(Skin.Messages, kCompleted);
}

TEST_F(WindowModelTest, CancelledPickerStillCompletes)
{
    Add({Pack("a.bin")}, 1);
    Skin.Results = {"old text"};
    Skin.Dirs.push_back(std::nullopt);
    Model.BProcessClick();
    EXPECT_TRUE(Skin.Results.empty());
    EXPECT_FALSE(Exists("result.log"));
    EXPECT_EQ(Skin.Messages.size(), 1u);
}

TEST_F(WindowModelTest, ClickInsideARunningBatchIsIgnoredButTheListStaysLive)
{
    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    PickOut();
    auto& batch = Model.BatchRun();
    bool once = false;
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        if (!once) {
            once = true;
            Model.BProcessClick(); // would empty ResultLog under us
            Add({Pack("c.bin")}, 1);
        }
        batch.DispatchFile(mode, entry);
    };
    Model.BProcessClick();
    EXPECT_EQ(Skin.PickerStarts.size(), 1u);
    EXPECT_EQ(Skin.Messages.size(), 1u);
    EXPECT_TRUE(Exists("out/TIM/c_0000.tim"));
    EXPECT_EQ(Model.State().ResultLog.Count(), 3 * (2 + 8192));
}

TEST_F(WindowModelTest, ClosingDuringABatchStopsItFirst)
{
    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    PickOut();
    bool asked = false;
    auto& batch = Model.BatchRun();
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        if (!asked) {
            asked = true;
            Model.BExitClick();
            EXPECT_FALSE(Skin.Closed); // the batch unwinds first
            EXPECT_FALSE(Model.CloseRequested());
        }
        batch.DispatchFile(mode, entry);
    };
    Model.BProcessClick();
    EXPECT_TRUE(Skin.Closed);
    EXPECT_FALSE(Exists("out/TIM/a_0000.tim"));
    EXPECT_TRUE(Skin.Messages.empty());
    EXPECT_EQ(eit::test::ListTree(Dir.File("out")), "result.log\n"); // nothing half-written
    EXPECT_TRUE(Model.CloseRequested());
}

TEST_F(WindowModelTest, ExitAtRestClosesAtOnce)
{
    EXPECT_TRUE(Model.CloseRequested());
    EXPECT_FALSE(Skin.Closed);
    Model.BExitClick();
    EXPECT_TRUE(Skin.Closed);
}

TEST_F(WindowModelTest, StopClickedWhileALargeEntryIsCopiedDiscardsIt)
{
    PackBuilder().Entry(0, 1).ZeroEntry(1, 12 * 1024).WriteSparse(Dir.File("big.bin"));
    Add({Dir.File("big.bin"), Pack("after.bin")}, 1);
    PickOut();
    // The first move of the bar comes while slot 1 is copied; the click is
    // queued so that the pump that follows the move delivers it.
    int logLinesAtClick = -1;
    bool listButtonDuringBatch = true;
    Skin.OnProgress = [&](int value) {
        if (value > 0 && logLinesAtClick < 0)
            Skin.OnPump = [&] {
                logLinesAtClick = Model.State().ResultLog.Count();
                listButtonDuringBatch = Skin.IsEnabled(MainButton::ExtList);
                Model.StopClick();
            };
    };
    Model.BProcessClick();

    EXPECT_EQ(logLinesAtClick, 3); // "#Format", "#Source", slot 0
    EXPECT_FALSE(listButtonDuringBatch); // the checked list cannot change under the batch
    EXPECT_TRUE(Skin.IsEnabled(MainButton::ExtList));
    EXPECT_EQ(eit::test::ListTree(Dir.File("out")), "TIM/big_0000.tim\nresult.log\n");
    EXPECT_EQ(ReadFile(Dir.File("out/result.log")), "#Format: BIN\r\n#Source: " + Dir.File("big.bin") + "\r\n"
                                                        + Dir.File("out/TIM/big_0000.tim") + "\r\n");
    EXPECT_FALSE(Skin.IsEnabled(MainButton::Stop));
    EXPECT_EQ(Skin.Messages, kCompleted);
    EXPECT_TRUE(Skin.Errors.empty());
}

TEST_F(WindowModelTest, ScanFillsTheListUntilFilesAreAddedAgain)
{
    Pack("packs/a.bin");
    Pack("packs/sub/b.BIN");
    Pack("packs/sub/deep/c.bin");
    File("packs/sub/x.log");
    Add({Dir.File("packs/sub/x.log")}, 3); // the open dialog last showed log files
    Skin.Scans.push_back(eit::ScanChoice{Dir.File("packs"), 0, "*.bin"});
    Model.ProcessDirClick();
    EXPECT_EQ(Skin.Shown, (Strings{Dir.File("packs/sub/deep/c.bin"), Dir.File("packs/sub/b.BIN"), Dir.File("packs/a.bin")}));
    EXPECT_EQ(Model.State().ProcessingMode, 1);
    EXPECT_TRUE(Model.State().ScannedList);
    EXPECT_EQ(Model.State().ScanRoot, Dir.File("packs"));
    EXPECT_EQ(ListButtons(), kAllOn);

    // Extraction mirrors the scanned folders below the output folder.
    PickOut();
    Model.BProcessClick();
    EXPECT_TRUE(Exists("out/sub/deep/TIM/c_0000.tim"));
    EXPECT_TRUE(Exists("out/sub/TIM/b_0000.tim"));
    EXPECT_TRUE(Exists("out/TIM/a_0000.tim"));
    // The log names the packs' format, so that a replay finds them again.
    EXPECT_EQ(ReadFile(Dir.File("out/result.log")).substr(0, 14), "#Format: BIN\r\n");

    Skin.Scans.push_back(std::nullopt); // cancelled: nothing changes
    Model.ProcessDirClick();
    EXPECT_EQ(Skin.ScanStarts, (Strings{"", Dir.File("packs")})); // the dialog hears of the last scan
    EXPECT_EQ(Skin.Shown.size(), 3u);
    EXPECT_EQ(ListButtons(), kAllOn);

    Add({}, 1); // the scanned list goes even when the dialog is cancelled
    EXPECT_TRUE(Skin.Shown.empty());
    EXPECT_FALSE(Model.State().ScannedList);
    EXPECT_EQ(ListButtons(), (std::vector<bool>{false, false, true, false}));
}

TEST_F(WindowModelTest, ScanTypeSetsTheModeAndAnEmptyScanEmptiesTheList)
{
    File("logs/one.LOG");
    Skin.Scans.push_back(eit::ScanChoice{Dir.File("logs"), 2, "*.log"});
    Model.ProcessDirClick();
    EXPECT_EQ(Skin.Shown, Strings{Dir.File("logs/one.LOG")});
    EXPECT_EQ(Model.State().ProcessingMode, 2);
    EXPECT_EQ(Model.FilterIndex(), 3);

    Skin.Scans.push_back(eit::ScanChoice{Dir.File("nowhere"), 1, "*.lst"});
    Model.ProcessDirClick();
    EXPECT_TRUE(Skin.Shown.empty());
    EXPECT_EQ(Model.State().ProcessingMode, 3);
    EXPECT_FALSE(Model.State().ScannedList);
    EXPECT_EQ(ListButtons(), (std::vector<bool>{false, false, true, false}));
}

TEST_F(WindowModelTest, RelativeScanFolderIsAnchoredWhereItWasTyped)
{
    Pack("rel/a.bin");
    Skin.Scans.push_back(eit::ScanChoice{"rel", 0, "*.bin"});
    Model.ProcessDirClick();
    EXPECT_EQ(Skin.Shown, Strings{Dir.File("rel/a.bin")});
    EXPECT_EQ(Settings.Read(eit::kScanFolderKey), Dir.File("rel"));
    PickOut();
    Model.BProcessClick();
    EXPECT_TRUE(Skin.Errors.empty()) << Skin.Errors.front();
    EXPECT_TRUE(Exists("out/TIM/a_0000.tim"));
}

TEST_F(WindowModelTest, ScannedPackWithAnOddNameIsExtracted)
{
    const std::string pack = "packs/" + kOddName + ".bin";
    Pack(pack);
    Skin.Scans.push_back(eit::ScanChoice{Dir.File("packs"), 0, "*.bin"});
    Model.ProcessDirClick();
    ASSERT_EQ(Model.InputCount(), 1);
    EXPECT_EQ(Model.InputEntry(0), Dir.File(pack));

    PickOut();
    Model.BProcessClick();
    EXPECT_TRUE(Skin.Errors.empty()) << Skin.Errors.front();
    EXPECT_TRUE(Exists("out/TIM/" + kOddName + "_0000.tim"));
    EXPECT_NE(ReadFile(Dir.File("out/result.log")).find("#Source: " + Dir.File(pack) + "\r\n"), std::string::npos);
}

TEST_F(WindowModelTest, ProjectListWithOddBytesSavesBackByteIdentical)
{
    const std::string list = "/data/" + kOddName + ".bin\r\nna\xc3\xafve.log\r\nplain\r\n";
    Add({File("list.lst", list)}, 2);
    ASSERT_EQ(Model.InputCount(), 3);
    EXPECT_EQ(Model.InputEntry(0), "/data/" + kOddName + ".bin"); // what the batch and the replay get
    Skin.Saves.push_back(Dir.File("saved.lst"));
    Model.BSaveListClick();
    EXPECT_EQ(ReadFile(Dir.File("saved.lst")), list);
}

TEST_F(WindowModelTest, SavedResultsKeepTheBytesTheBatchAppended)
{
    struct Case {
        const char* Name;
        const char* Typed; // typed into the pane between the two lines, or null
        std::string Saved;
    };
    const Case cases[] = {
        {"untouched pane", nullptr, "caf\xe9\r\nsecond\r\n"},
        {"typed into", "typed", "caf\xe9\r\ntyped\r\nsecond\r\n"},
        {"emptied by the user", "", ""},
    };
    for (const Case& c : cases) {
        Model.ClearResults();
        Model.AppendResult("caf\xe9");
        if (c.Typed) {
            if (*c.Typed)
                Skin.Results.push_back(c.Typed);
            else
                Skin.Results.clear();
            Model.ResultsEdited();
        }
        if (!c.Typed || *c.Typed)
            Model.AppendResult("second");
        Model.SetSaveLogEnabled(true);
        Skin.Saves.push_back(Dir.File("res.txt"));
        Model.SaveLogClick();
        EXPECT_EQ(ReadFile(Dir.File("res.txt")), c.Saved) << c.Name;
        EXPECT_EQ(Model.ResultLineCount(), static_cast<int>(Skin.Results.size())) << c.Name;
    }
}

// A skin whose pane reports every change learns which ones were the model's.
TEST_F(WindowModelTest, PaneChangesOfTheModelAreToldFromTheUsers)
{
    std::vector<bool> writing;
    Skin.OnResults = [&] { writing.push_back(Model.WritingResults()); };
    Model.ClearResults();
    Model.AppendResult("line");
    EXPECT_EQ(writing, (std::vector<bool>{true, true}));
    EXPECT_FALSE(Model.WritingResults());

    Skin.OnResults = [] { throw std::bad_alloc(); };
    EXPECT_THROW(Model.AppendResult("lost"), std::bad_alloc);
    EXPECT_FALSE(Model.WritingResults());
}

TEST_F(WindowModelTest, OutputFolderWithAnOddNameKeptInThePicker)
{
    Add({Pack("a.bin")}, 1);
    std::filesystem::create_directories(eit::test::FsPath(Dir.File(kOddName)));
    eit::SetCurrentDirectory(Dir.File(kOddName));
    Skin.Dirs.push_back(""); // confirmed as opened
    Model.BProcessClick();
    EXPECT_EQ(Skin.PickerStarts, Strings{Dir.File(kOddName)});
    EXPECT_TRUE(Exists(kOddName + "/result.log"));
    EXPECT_TRUE(Exists(kOddName + "/TIM/a_0000.tim"));
    EXPECT_EQ(eit::CurrentDirectory(), Dir.File(kOddName)); // the model leaves the working folder
}

TEST_F(WindowModelTest, CancelledPickerAfterABatchRepeatsNoTotal)
{
    Add({Pack("a.bin")}, 1);
    PickOut();
    Model.BProcessClick();
    EXPECT_EQ(Skin.Results, Strings{"Total 6144 bytes extracted."});
    Skin.Saves.push_back(Dir.File("res.txt"));
    Model.SaveLogClick();
    ASSERT_FALSE(Skin.IsEnabled(MainButton::SaveLog));

    Skin.Dirs.push_back(std::nullopt);
    Model.BProcessClick();
    EXPECT_TRUE(Skin.Results.empty());
    EXPECT_FALSE(Skin.IsEnabled(MainButton::SaveLog));
    EXPECT_EQ(Model.State().ExtractedBytes, 0);
    EXPECT_EQ(Skin.Messages.back().first, "Operation complete!");
}

TEST_F(WindowModelTest, DroppedFilesAreAddedAsTheOpenDialogAddsThem)
{
    Pack("a.bin");
    Pack("b.BIN");
    File("x.log");
    File("y.log");
    File("note.txt");
    File("p.lst", "one\r\ntwo\r\n");
    Pack("packs/sub/c.bin");
    Pack("packs/d.bin");
    File("packs/z.log");
    struct Case {
        const char* Name;
        Strings Before; // dropped first
        Strings Dropped;
        Strings Entries;
        int Mode;
        bool Scanned;
    };
    const auto at = [this](std::initializer_list<const char*> names) {
        Strings paths;
        for (const char* name : names)
            paths.push_back(Dir.File(name));
        return paths;
    };
    const Case cases[] = {
        {"packs", {}, at({"a.bin", "b.BIN"}), at({"a.bin", "b.BIN"}), 1, false},
        {"more packs append", at({"a.bin"}), at({"b.BIN"}), at({"a.bin", "b.BIN"}), 1, false},
        {"a new mode empties the list", at({"a.bin"}), at({"x.log"}), at({"x.log"}), 2, false},
        {"the first known type decides", {}, at({"note.txt", "x.log", "a.bin", "y.log"}), at({"x.log", "y.log"}), 2, false},
        {"a project list gives its lines", at({"x.log"}), at({"p.lst", "x.log"}), {"one", "two"}, 3, false},
        {"a folder is scanned for packs", at({"x.log"}), at({"packs", "a.bin"}), at({"packs/sub/c.bin", "packs/d.bin"}), 1, true},
        {"files replace a scanned list", at({"packs"}), at({"a.bin"}), at({"a.bin"}), 1, false},
    };
    for (const Case& c : cases) {
        Model.BClearAllClick();
        Model.State().ProcessingMode = 0;
        Model.State().ScannedList = false;
        if (!c.Before.empty()) {
            ASSERT_TRUE(MainWindowModel::CanTake(c.Before)) << c.Name;
            Model.AddPaths(c.Before);
        }
        ASSERT_TRUE(MainWindowModel::CanTake(c.Dropped)) << c.Name;
        Model.AddPaths(c.Dropped);
        EXPECT_EQ(Skin.Shown, c.Entries) << c.Name;
        EXPECT_EQ(Model.State().ProcessingMode, c.Mode) << c.Name;
        EXPECT_EQ(Model.State().ScannedList, c.Scanned) << c.Name;
        EXPECT_EQ(ListButtons(), kAllOn) << c.Name;
    }
    // The "#Format: " records follow the type of what was dropped.
    Model.AddPaths(at({"x.log"}));
    Model.AddPaths(at({"a.bin"}));
    EXPECT_EQ(Model.FilterIndex(), 1);

    EXPECT_FALSE(MainWindowModel::CanTake(at({"note.txt"})));
    EXPECT_FALSE(MainWindowModel::CanTake({}));
    EXPECT_EQ(Skin.Shown, at({"a.bin"}));
    EXPECT_TRUE(Skin.Errors.empty());
}

TEST_F(WindowModelTest, CommandLineNamesAreTakenFromTheWorkingDirectory)
{
    Pack("a.bin");
    Pack("b.bin");
    Model.AddPaths({"a.bin", "--unknown", "b.bin", "x.log"});
    EXPECT_EQ(Skin.Shown, (Strings{Dir.File("a.bin"), Dir.File("b.bin")}));
    EXPECT_EQ(Model.State().ProcessingMode, 1);
    EXPECT_EQ(ListButtons(), kAllOn);
}

TEST_F(WindowModelTest, FinalCountStaysUntilTheNextBatchStarts)
{
    Add({Pack("a.bin")}, 1);
    PickOut();
    Model.BProcessClick();
    EXPECT_EQ(Skin.Extracted, "Extracted: 2");

    Strings seen;
    auto& batch = Model.BatchRun();
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        seen.push_back(Skin.Extracted);
        batch.DispatchFile(mode, entry);
    };
    Skin.Dirs.push_back(Dir.File("out"));
    Model.BProcessClick();
    EXPECT_EQ(seen, Strings{"Extracted: 0"});
    EXPECT_EQ(Skin.Extracted, "Extracted: 2");
}

TEST_F(WindowModelTest, ChosenExtensionListShowsInTheStatusLine)
{
    EXPECT_EQ(Skin.Status, "Extension list: " + eit::DefaultExtListPath());
    Skin.ExtLists.push_back(""); // cancelled
    Model.BExtListClick();
    EXPECT_EQ(Model.State().ExtListPath, Dir.File("extlist.txt"));

    const std::string chosen = File("lists/mine.txt", "tim\n\n");
    Skin.ExtLists.push_back(chosen);
    Model.BExtListClick();
    EXPECT_EQ(Skin.ExtListStarts, (Strings{Dir.File("extlist.txt"), Dir.File("extlist.txt")}));
    EXPECT_EQ(Model.State().ExtListPath, chosen);
    EXPECT_EQ(Skin.Status, "Extension list: " + chosen);

    // The batch uses it, and leaves the line empty as a finished batch does.
    Add({Pack("a.bin")}, 1);
    PickOut();
    Model.BProcessClick();
    EXPECT_TRUE(Skin.Errors.empty());
    EXPECT_TRUE(Exists("out/TIM/a_0000.tim"));
    EXPECT_EQ(Skin.Status, "");
}

TEST_F(WindowModelTest, NextSessionStartsWhereThisOneLeftOff)
{
    Add({File("logs/x.log")}, 3);
    Pack("packs/a.bin");
    Skin.Scans.push_back(eit::ScanChoice{Dir.File("packs"), 0, "*.bin"});
    Model.ProcessDirClick();
    PickOut();
    Model.BProcessClick();
    Skin.ExtLists.push_back(File("lists/mine.txt", "tim\n\n"));
    Model.BExtListClick();

    std::filesystem::create_directories(eit::test::FsPath(Dir.File("elsewhere")));
    eit::SetCurrentDirectory(Dir.File("elsewhere"));
    RecordingSkin skin;
    MainWindowModel next(skin, Settings);
    next.Start();
    EXPECT_EQ(next.State().ExtListPath, Dir.File("lists/mine.txt"));
    EXPECT_EQ(skin.Status, "Extension list: " + Dir.File("lists/mine.txt"));
    EXPECT_EQ(next.FilterIndex(), 3);

    skin.Scans.push_back(std::nullopt);
    next.ProcessDirClick();
    EXPECT_EQ(skin.ScanStarts, Strings{Dir.File("packs")});
    skin.Opens.push_back({{Dir.File("packs/a.bin")}, 1});
    next.BAddLogClick();
    EXPECT_EQ(skin.OpenStarts, (std::vector<std::pair<std::string, int>>{{Dir.File("logs"), 3}}));
    skin.Dirs.push_back(std::nullopt);
    next.BProcessClick();
    EXPECT_EQ(skin.PickerStarts, Strings{Dir.File("out")});
}

TEST_F(WindowModelTest, RememberedFilterOutsideTheTableIsNotTaken)
{
    for (const char* stored : {"0", "4", "x", "2x", ""}) {
        MapSettings settings;
        settings.Values[eit::kOpenFilterKey] = stored;
        RecordingSkin skin;
        MainWindowModel next(skin, settings);
        next.Start();
        EXPECT_EQ(next.FilterIndex(), 1) << stored;
    }
}

// Tests of all the error paths follow.

TEST_F(WindowModelTest, RememberedOutputFolderDeletedMeanwhileIsNotOffered)
{
    Add({Pack("a.bin")}, 1);
    PickOut();
    Model.BProcessClick();
    ASSERT_EQ(Skin.PickerStarts, Strings{Dir.Path()});

    std::filesystem::create_directories(eit::test::FsPath(Dir.File("elsewhere")));
    eit::SetCurrentDirectory(Dir.File("elsewhere"));
    std::filesystem::remove_all(eit::test::FsPath(Dir.File("out")));
    Skin.Dirs.push_back(std::nullopt);
    Model.BProcessClick();
    EXPECT_EQ(Skin.PickerStarts, (Strings{Dir.Path(), Dir.File("elsewhere")}));
}

TEST_F(WindowModelTest, ErrorOnTheSecondPackIsShownAndTheWindowStaysUsable)
{
    Add({Pack("a.bin"), Dir.File("gone.bin"), Pack("c.bin")}, 1);
    PickOut();
    Model.BProcessClick();
    EXPECT_EQ(Skin.Errors, Strings{"Cannot open file " + Dir.File("gone.bin")});
    EXPECT_TRUE(Skin.Messages.empty());
    EXPECT_TRUE(Exists("out/TIM/a_0000.tim"));
    EXPECT_FALSE(Exists("out/TIM/c_0000.tim"));
    EXPECT_FALSE(Exists("out/result.log"));
    EXPECT_FALSE(Model.BatchRun().Running());
    // At rest, as after a finished batch, with the list as it was.
    EXPECT_FALSE(Skin.IsEnabled(MainButton::Stop));
    EXPECT_TRUE(Skin.IsEnabled(MainButton::ExtList));
    EXPECT_EQ(Skin.Progress, 0);
    EXPECT_EQ(Skin.Total, 0);
    EXPECT_EQ(Skin.Status, "");
    EXPECT_EQ(Skin.Extracted, "Extracted: 2");
    EXPECT_EQ(Skin.Shown.size(), 3u);

    Model.BClearAllClick(); // still answers
    EXPECT_EQ(ListButtons(), kAllOff);
}

TEST_F(WindowModelTest, WhateverAHandlerThrowsIsShownAndTheWindowStaysUsable)
{
    Add({Pack("a.bin")}, 1);
    const struct {
        void (*Throw)();
        const char* Shown;
    } cases[] = {{[] { throw eit::FileError("Cannot create file /x/TIM/a_0000.tim"); },
                  "Cannot create file /x/TIM/a_0000.tim"},
                 {[] { throw std::bad_alloc(); }, "Out of memory"},
                 {[] { throw 42; }, "Unexpected error"}};
    auto& batch = Model.BatchRun();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shown);
        Skin.Errors.clear();
        Skin.Dirs.push_back(Dir.Path());
        batch.FileHandler = [&](std::uint8_t, const std::string&) { c.Throw(); };
        Model.BProcessClick();
        EXPECT_EQ(Skin.Errors, Strings{c.Shown});
        EXPECT_FALSE(batch.Running());
        EXPECT_FALSE(Skin.IsEnabled(MainButton::Stop));
        EXPECT_EQ(Skin.Total, 0);
    }
    EXPECT_TRUE(Skin.Messages.empty());

    // The next batch runs to its end.
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) { batch.DispatchFile(mode, entry); };
    Skin.Dirs.push_back(Dir.Path());
    Model.BProcessClick();
    EXPECT_TRUE(Exists("TIM/a_0000.tim"));
    EXPECT_EQ(Skin.Messages, kCompleted);
}

// Every entry point shows what its dialogs throw and leaves nothing thrown.
TEST_F(WindowModelTest, EveryEntryPointShowsItsDialogsErrors)
{
    Add({Pack("a.bin")}, 1);
    Skin.Selected = {0};
    const struct {
        const char* Name;
        void (MainWindowModel::*Click)();
    } clicks[] = {
        {"BAddLog", &MainWindowModel::BAddLogClick},       {"BSaveList", &MainWindowModel::BSaveListClick},
        {"SaveLog", &MainWindowModel::SaveLogClick},       {"BProcess", &MainWindowModel::BProcessClick},
        {"ProcessDir", &MainWindowModel::ProcessDirClick}, {"BExtList", &MainWindowModel::BExtListClick},
    };
    for (const auto& c : clicks) {
        Skin.Errors.clear();
        (Model.*c.Click)(); // no scripted answer: the dialog throws
        EXPECT_EQ(Skin.Errors, Strings{"a dialog the test did not expect"}) << c.Name;
    }
    EXPECT_EQ(ListButtons(), kAllOn);
    EXPECT_TRUE(Skin.IsEnabled(MainButton::ExtList));
}

TEST_F(WindowModelTest, ProjectListThatCannotBeReadIsNamed)
{
    Add({Dir.File("none.lst")}, 2);
    EXPECT_EQ(Skin.Errors, Strings{"Cannot open file " + Dir.File("none.lst")});
    EXPECT_EQ(ListButtons(), kAllOff);

    // A list already in mode 3 stays, and so do its buttons.
    Add({File("good.lst", "one\r\ntwo\r\n")}, 2);
    Add({Dir.File("gone.lst")}, 2);
    EXPECT_EQ(Skin.Errors.size(), 2u);
    EXPECT_EQ(Skin.Shown, (Strings{"one", "two"}));
    EXPECT_EQ(ListButtons(), kAllOn);

    // A list of another mode was emptied before the read failed.
    Add({File("x.log")}, 3);
    Add({Dir.File("gone.lst")}, 2);
    EXPECT_TRUE(Skin.Shown.empty());
    EXPECT_EQ(ListButtons(), (std::vector<bool>{false, false, true, false}));
}

TEST_F(WindowModelTest, ExtensionListIsCheckedBeforeTheOutputFolderIsAsked)
{
    // What extracting the pack would say about the list, if anything.
    const auto extractionError = [this](const std::string& pack, const std::string& list) {
        eit::BatchState state;
        state.ExtListPath = list;
        state.TargetDir = Dir.File("probe");
        eit::QuietBatchView view;
        return eit::test::ErrorOf([&] { eit::ExtractPack(pack, state, view); }, "");
    };
    struct Case {
        const char* Name;
        const char* List; // null: missing
        bool PickerAsked;
    };
    const Case cases[] = {
        {"missing list", nullptr, false},
        {"empty list", "", false},
        {"one line short of the bigger pack", "tim\ntim\n", false},
        {"enough lines", "tim\n\ntim\n", true},
    };
    WriteFile(Dir.File("small.bin"), PackBuilder().Entry(0, 1).Bytes());
    WriteFile(Dir.File("big.bin"), PackBuilder().Entry(0, 1).Entry(5, 1).Entry(9, 1).Bytes());
    Add({Dir.File("small.bin"), Dir.File("big.bin")}, 1);
    for (const Case& c : cases) {
        const std::string list = Dir.File(std::string("lists/") + c.Name + ".txt");
        if (c.List)
            WriteFile(list, c.List);
        Model.State().ExtListPath = list;
        Skin.Errors.clear();
        Skin.PickerStarts.clear();
        if (c.PickerAsked)
            Skin.Dirs.push_back(std::nullopt);
        Model.BProcessClick();
        const std::string expected = extractionError(Dir.File("big.bin"), list);
        EXPECT_EQ(Skin.Errors, expected.empty() ? Strings{} : Strings{expected}) << c.Name;
        EXPECT_EQ(Skin.PickerStarts.size(), c.PickerAsked ? 1u : 0u) << c.Name;
        EXPECT_TRUE(Skin.IsEnabled(MainButton::ExtList)) << c.Name;
    }
    EXPECT_EQ(Skin.Messages.size(), 1u); // only the batch that ran completed
}

} // namespace
