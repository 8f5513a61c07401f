#include "BatchScene.h"
#include "FileError.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "RecordingView.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace eit {
namespace {

class BatchTest : public ::testing::Test, protected test::BatchScene {};

const std::pair<std::string, std::string> kComplete{"Operation complete!", "Process status:"};

TEST_F(BatchTest, EmptyListDoesNothingAtAll)
{
    TheBatch.BProcessClick();
    EXPECT_TRUE(View.PickerOpenedAt.empty());
    EXPECT_TRUE(View.Messages.empty());
}

TEST_F(BatchTest, ThreePacksAreLoggedAndSavedAsResultLog)
{
    const std::string a = AddPack("a.bin"), b = AddPack("b.bin"), c = AddPack("c.bin");
    View.Results = {"typed by the user"};
    TheBatch.BProcessClick();

    EXPECT_EQ(View.PickerOpenedAt, std::vector<std::string>{Dir.Path()});
    EXPECT_EQ(CurrentDirectory(), Dir.Path()); // the window moves it, not the batch
    const LineList& log = State.ResultLog;
    ASSERT_EQ(log.Count(), 3 * (2 + 8192));
    EXPECT_EQ(log.Get(0), "#Format: BIN");
    EXPECT_EQ(log.Get(1), "#Source: " + a);
    EXPECT_EQ(log.Get(2), Out("TIM/a_0000.tim"));
    EXPECT_EQ(log.Get(9), Out("RAW/a_0007.raw"));
    EXPECT_EQ(log.Get(8194), "#Format: BIN");
    EXPECT_EQ(log.Get(8195), "#Source: " + b);
    EXPECT_EQ(log.Get(2 * 8194 + 1), "#Source: " + c);
    EXPECT_EQ(ReadFile(Out("result.log")), log.Text());

    EXPECT_EQ(View.TotalHistory, (std::vector<int>{0, 0, 33, 66, 0}));
    EXPECT_EQ(View.Status, "");
    EXPECT_EQ(View.Extracted, "Extracted: 6");
    EXPECT_EQ(View.Progress, 0);
    EXPECT_EQ(View.Results, (std::vector<std::string>{"Total 12288 bytes extracted."}));
    EXPECT_TRUE(View.SaveLogEnabled);
    EXPECT_FALSE(View.StopEnabled);
    EXPECT_EQ(View.Messages, (std::vector{kComplete}));
}

// The lists of every pack are read before the first file is written; one
// longer than its pack needs is said among the results and used.
TEST_F(BatchTest, AFolderOfListsIsCheckedWholeBeforeTheFirstPack)
{
    AddPack("a.bin");
    const std::string b = AddPack("b.bin", PackBuilder().Entry(4, 1));
    State.ExtListPath = Dir.File("lists");
    WriteFile(Dir.File("lists/a.txt"), "tim\r\nwav\r\n");
    WriteFile(Dir.File("lists/b.txt"), std::string("b\0m\0p\0", 6));
    EXPECT_EQ(test::ErrorOf([&] { TheBatch.BProcessClick(); }),
              "Extension list " + Dir.File("lists/b.txt") + " is UTF-16 text; save it as UTF-8");
    EXPECT_EQ(test::ListTree(Out("")), "");

    WriteFile(Dir.File("lists/b.txt"), "bmp\r\n\r\n");
    TheBatch.BProcessClick();
    EXPECT_EQ(test::ListTree(Out("")), "BMP/b_0004.bmp\nTIM/a_0000.tim\nWAV/a_0007.wav\nresult.log\n");
    EXPECT_EQ(View.Results, (std::vector<std::string>{"Extension list " + Dir.File("lists/b.txt") + " has 2 lines, " + b
                                                          + " needs 1: is it the list of another pack?",
                                                      "Total 6144 bytes extracted."}));
    EXPECT_EQ(View.Messages, (std::vector{kComplete}));
}

TEST_F(BatchTest, CancelledPickerEmptiesTheResultsAndStillCompletes)
{
    AddPack("a.bin");
    View.Results = {"old"};
    State.ResultLog.Add("old");
    View.PickedDir.reset();
    TheBatch.BProcessClick();
    EXPECT_TRUE(View.Results.empty());
    EXPECT_EQ(State.ResultLog.Count(), 0);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("result.log")));
    EXPECT_EQ(View.Messages, (std::vector{kComplete}));
}

TEST_F(BatchTest, ReplayModesCollectRecordsButSaveNoLog)
{
    WriteFile(Dir.File("x.log"), "");
    for (std::uint8_t mode : {kModeReplayLogs, kModeReplayList}) {
        View.Inputs = {Dir.File("x.log")};
        View.Filter = 3;
        State.ProcessingMode = mode;
        TheBatch.BProcessClick();
        EXPECT_EQ(State.ResultLog.Items(), (std::vector<std::string>{"#Format: ", "#Source: " + Dir.File("x.log")}));
        EXPECT_FALSE(std::filesystem::exists(Out("result.log")));
    }
}

TEST_F(BatchTest, FormatNameFollowsTheOpenDialogNotTheMode)
{
    AddPack("a.bin", PackBuilder());
    View.Filter = 3; // the dialog's last filter was log files; a scan set mode 1
    TheBatch.BProcessClick();
    EXPECT_EQ(State.ResultLog.Get(0), "#Format: ");
    EXPECT_TRUE(std::filesystem::exists(Out("result.log")));
}

// Moving the working folder is the window's business (TMainForm): the batch
// itself opens its picker at the working folder every time and leaves it.
TEST_F(BatchTest, BatchLeavesTheWorkingFolderWhereItWas)
{
    AddPack("a.bin");
    TheBatch.BProcessClick();
    TheBatch.BProcessClick();
    EXPECT_EQ(View.PickerOpenedAt, (std::vector<std::string>{Dir.Path(), Dir.Path()}));
    EXPECT_EQ(CurrentDirectory(), Dir.Path());
}

// Every file a batch writes is named from the output folder: the working
// folder, here an empty one, gets nothing, whatever the mode.
TEST_F(BatchTest, OutputsLandBelowTheOutputFolderWhereverTheWorkingFolderIs)
{
    const std::string pack = AddPack("a.bin");
    std::filesystem::create_directories(Dir.File("elsewhere"));
    const struct {
        std::uint8_t Mode;
        std::function<void()> Prepare;
        std::string Tree; // of the output folder afterwards
    } rows[] = {
        {kModeExtract, [] {}, "RAW/a_0007.raw\nTIM/a_0000.tim\nresult.log\n"},
        // The rebuild replays that result.log with one file edited.
        {kModeReplayLogs,
         [&] {
             std::string edited = ReadFile(Out("TIM/a_0000.tim"));
             edited[0] = static_cast<char>(edited[0] ^ 0x5A);
             WriteFile(Out("TIM/a_0000.tim"), edited);
             View.Inputs = {Out("result.log")};
         },
         "RAW/a_0007.raw\nTIM/a_0000.tim\na.bin\nresult.log\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.Mode));
        row.Prepare();
        State.ProcessingMode = row.Mode;
        ASSERT_TRUE(SetCurrentDirectory(Dir.File("elsewhere")));
        TheBatch.BProcessClick();
        EXPECT_EQ(CurrentDirectory(), Dir.File("elsewhere"));
        EXPECT_EQ(test::ListTree(Dir.File("elsewhere")), "");
        EXPECT_EQ(test::ListTree(*View.PickedDir), row.Tree);
        EXPECT_EQ(View.Messages.back(), kComplete);
    }
    EXPECT_NE(ReadFile(Out("a.bin")), ReadFile(pack));
}

TEST_F(BatchTest, ListChangesDuringTheBatchAreFollowed)
{
    AddPack("a.bin");
    AddPack("b.bin");
    const std::string c = AddPack("c.bin");
    View.Inputs.pop_back();
    bool added = false;
    View.OnEvents = [&] {
        if (!added) {
            View.Inputs.push_back(c);
            added = true;
        }
    };
    TheBatch.BProcessClick();
    EXPECT_TRUE(std::filesystem::exists(Out("TIM/c_0000.tim")));

    View.Inputs = {Dir.File("a.bin"), Dir.File("b.bin")};
    View.OnEvents = [&] { View.Inputs.clear(); };
    TheBatch.BProcessClick();
    EXPECT_EQ(State.ResultLog.Count(), 2 + 8192);
}

TEST_F(BatchTest, ClickFromInsideARunningBatchIsIgnored)
{
    AddPack("a.bin");
    AddPack("b.bin");
    int nested = 0;
    View.OnEvents = [&] {
        if (nested++ == 0)
            TheBatch.BProcessClick();
    };
    TheBatch.BProcessClick();
    EXPECT_EQ(View.PickerOpenedAt.size(), 1u);
    EXPECT_EQ(State.ResultLog.Count(), 2 * (2 + 8192));
    EXPECT_EQ(View.Messages.size(), 1u);
    EXPECT_FALSE(TheBatch.Running());
}

TEST_F(BatchTest, StopEndsTheBatchAndSavesWhatWasDone)
{
    AddPack("a.bin");
    AddPack("b.bin");
    State.StopFlag = 1; // left over from an earlier batch: cleared at the start
    View.OnEvents = [&] {
        if (View.StopEnabled && View.Progress == 50) // after a.bin's first of two entries
            TheBatch.StopClick();
    };
    TheBatch.BProcessClick();
    EXPECT_FALSE(View.StopEnabled);
    EXPECT_EQ(State.StopFlag, 1);
    EXPECT_LT(State.ResultLog.Count(), 2 + 8192);
    EXPECT_EQ(ReadFile(Out("result.log")), State.ResultLog.Text());
    EXPECT_FALSE(std::filesystem::exists(Out("TIM/b_0000.tim")));
    EXPECT_EQ(View.Messages, (std::vector{kComplete}));
}

TEST_F(BatchTest, StopInsideALargeEntryDiscardsItAndSavesOnlyCompleteFiles)
{
    const std::string big = Dir.File("big.bin");
    PackBuilder().Entry(0, 1).ZeroEntry(1, 12 * 1024).WriteSparse(big);
    View.Inputs.push_back(big);
    AddPack("after.bin");
    // Pressed while slot 1 is copied: slot 0 is logged, slot 1 is not yet.
    int logLinesAtStop = -1;
    View.OnEvents = [&] {
        if (logLinesAtStop < 0 && View.StopEnabled && View.Progress > 0) {
            logLinesAtStop = State.ResultLog.Count();
            TheBatch.StopClick();
        }
    };
    TheBatch.BProcessClick();

    EXPECT_EQ(logLinesAtStop, 3);
    // No file and no temporary for slot 1, nothing of the next pack.
    EXPECT_EQ(test::ListTree(*View.PickedDir), "TIM/big_0000.tim\nresult.log\n");
    EXPECT_EQ(ReadFile(Out("result.log")), "#Format: BIN\r\n#Source: " + big + "\r\n" + Out("TIM/big_0000.tim") + "\r\n");
    // The pane ends by naming the stop, as the batch driver does.
    EXPECT_EQ(View.Results, (std::vector<std::string>{"Total 2048 bytes extracted.",
                                                      "Stopped after 1 files; result.log lists what was done."}));
    EXPECT_EQ(View.Messages, (std::vector{kComplete}));
}

TEST_F(BatchTest, DispatchEnablesStopOnlyWhileAFileRuns)
{
    bool stopDuring = false;
    AddPack("a.bin");
    View.OnEvents = [&] { stopDuring = stopDuring || View.StopEnabled; };
    View.SaveLogEnabled = true;
    TheBatch.DispatchFile(kModeExtract + 10, "ignored"); // an unknown mode runs nothing
    EXPECT_FALSE(View.SaveLogEnabled);
    EXPECT_FALSE(View.StopEnabled);
    TheBatch.BProcessClick();
    EXPECT_TRUE(stopDuring);
}

TEST_F(BatchTest, ShowProgressPumpsOnlyOnARealChange)
{
    TheBatch.ProgressHandler(0);
    EXPECT_EQ(View.EventPumps, 0);
    TheBatch.ProgressHandler(7);
    TheBatch.ProgressHandler(7);
    EXPECT_EQ(View.EventPumps, 1);
    EXPECT_EQ(View.Progress, 7);
}

// Tests of all the error paths follow.

TEST_F(BatchTest, FailureOnTheSecondPackEndsTheBatchWithoutALog)
{
    AddPack("a.bin");
    View.Inputs.push_back(Dir.File("missing.bin"));
    AddPack("c.bin");
    WriteFile(Out("result.log"), "earlier\r\n");
    EXPECT_EQ(test::ErrorOf([&] { TheBatch.BProcessClick(); }), "Cannot open file " + Dir.File("missing.bin"));
    EXPECT_TRUE(std::filesystem::exists(Out("TIM/a_0000.tim")));
    EXPECT_FALSE(std::filesystem::exists(Out("TIM/c_0000.tim")));
    EXPECT_EQ(ReadFile(Out("result.log")), "earlier\r\n");
    EXPECT_TRUE(View.Messages.empty());
    EXPECT_FALSE(TheBatch.Running());
}

TEST_F(BatchTest, ResultLogThatCannotBeWrittenKeepsTheEarlierOne)
{
    AddPack("a.bin");
    std::filesystem::create_directories(Out("result.log")); // a folder stands in its place
    EXPECT_EQ(test::ErrorOf([&] { TheBatch.BProcessClick(); }), "Cannot create file " + Out("result.log"));
    EXPECT_TRUE(std::filesystem::is_directory(Out("result.log")));
    EXPECT_TRUE(View.Messages.empty());
}

// A list the batch refuses before the first file (Message set), or runs.
struct ListRow {
    const char* Name;
    std::function<void(test::BatchScene&)> Arrange;
    std::function<std::string(const test::BatchScene&)> Message;
    // Links need a privilege on Windows, and its names cannot hold CR or LF.
    bool PosixOnly = false;
};

void PrintTo(const ListRow& row, std::ostream* out)
{
    *out << row.Name;
}

std::string Clash(const test::BatchScene& s, const std::string& first, const std::string& second)
{
    return "Packs " + s.Dir.File(first) + " and " + s.Dir.File(second) + " would write the same files below "
        + *s.View.PickedDir + "; extract them separately or scan their folder";
}

std::string LineBreak(const test::BatchScene& s, const std::string& shown)
{
    return "Cannot process file name with a line break: " + s.Dir.File(shown);
}

void Scanned(test::BatchScene& s)
{
    s.State.ScannedList = true;
    s.State.ScanRoot = s.Dir.Path();
}

// Where the output folder takes names differing only in case as one.
void CaseBlindOutput(test::BatchScene& s)
{
    s.TheBatch.CaseProbe = [](const std::string&) { return true; };
}

void CaseKeepingOutput(test::BatchScene& s)
{
    s.TheBatch.CaseProbe = [](const std::string&) { return false; };
}

std::string NamedTwice(const test::BatchScene& s, const std::string& pack, const std::string& first,
                       const std::string& second)
{
    return "Pack " + s.Dir.File(pack) + " is named twice in the replay (" + s.Dir.File(first) + ", "
        + s.Dir.File(second) + "); replay one log at a time";
}

// Logs replayed in the batch, each a list of records; the packs' handler
// rebuilds nothing.
void ReplayedLogs(test::BatchScene& s, const std::vector<std::pair<std::string, std::string>>& logs)
{
    s.WritePack("a/DATA.BIN");
    s.State.ProcessingMode = kModeReplayLogs;
    s.TheBatch.PackHandler = [](BatchState&, BatchView&, const ReadOnlyFile&, const std::string&, std::int32_t index) {
        return index;
    };
    for (const auto& [name, records] : logs)
        s.AddInput(name, records);
}

// A pack's section of a log: its records and its slot lines.
std::string Section(const test::BatchScene& s, const std::string& pack)
{
    std::string text = "#Format: BIN\r\n#Source: " + s.Dir.File(pack) + "\r\n";
    for (int slot = 0; slot < 8192; ++slot)
        text += "NULL\r\n";
    return text;
}

const ListRow kListRows[] = {
    {"PacksOfOneBaseNameInTwoFolders",
     [](test::BatchScene& s) {
         s.AddPack("a/DATA.BIN");
         s.AddPack("b/DATA.BIN");
     },
     [](const test::BatchScene& s) { return Clash(s, "a/DATA.BIN", "b/DATA.BIN"); }},
    {"PacksWhoseNamesDifferOnlyAfterTheFirstDot",
     [](test::BatchScene& s) {
         s.AddPack("x.bin");
         s.AddPack("a/DATA.BIN");
         s.AddPack("y.bin");
         s.AddPack("a/DATA.X.BIN");
     },
     [](const test::BatchScene& s) { return Clash(s, "a/DATA.BIN", "a/DATA.X.BIN"); }},
    {"SamePackListedTwice",
     [](test::BatchScene& s) {
         s.AddPack("a/DATA.BIN");
         s.View.Inputs.push_back(s.View.Inputs[0]);
     },
     nullptr},
    {"SamePackThroughALinkedFolder",
     [](test::BatchScene& s) {
         s.AddPack("a/DATA.BIN");
         std::filesystem::create_directory_symlink("a", s.Dir.File("l"));
         s.View.Inputs.push_back(s.Dir.File("l/DATA.BIN"));
     },
     nullptr, true},
    {"ScannedFoldersKeepOneBaseNameApart",
     [](test::BatchScene& s) {
         s.AddPack("a/DATA.BIN");
         s.AddPack("b/DATA.BIN");
         s.AddPack("DATA.BIN");
         Scanned(s);
     },
     nullptr},
    {"ScannedPacksOfOneFolder",
     [](test::BatchScene& s) {
         s.AddPack("a/DATA.BIN");
         s.AddPack("a/DATA.1.BIN");
         Scanned(s);
     },
     [](const test::BatchScene& s) { return Clash(s, "a/DATA.BIN", "a/DATA.1.BIN"); }},
    {"LogsOfOneNameAreNoPacks",
     [](test::BatchScene& s) {
         s.State.ProcessingMode = kModeReplayLogs;
         s.AddInput("a/r.log", "");
         s.AddInput("b/r.log", "");
     },
     nullptr},
    {"PacksWhoseNamesDifferInCaseWhereCaseDoesNotCount",
     [](test::BatchScene& s) {
         s.AddPack("GAME/P.BIN");
         s.AddPack("GAME2/p.bin");
         CaseBlindOutput(s);
     },
     [](const test::BatchScene& s) { return Clash(s, "GAME/P.BIN", "GAME2/p.bin"); }},
    {"PacksWhoseNamesDifferInCaseWhereCaseCounts",
     [](test::BatchScene& s) {
         s.AddPack("GAME/P.BIN");
         s.AddPack("GAME2/p.bin");
         CaseKeepingOutput(s);
     },
     nullptr},
    {"PackNamedInTwoSectionsOfOneLog",
     [](test::BatchScene& s) {
         ReplayedLogs(s, {{"r.log", Section(s, "a/DATA.BIN") + Section(s, "a/DATA.BIN")}});
     },
     [](const test::BatchScene& s) { return NamedTwice(s, "a/DATA.BIN", "r.log", "r.log"); }},
    {"PackNamedInTwoLogs",
     [](test::BatchScene& s) {
         ReplayedLogs(s, {{"one.log", Section(s, "a/DATA.BIN")}, {"two.log", Section(s, "a/DATA.BIN")}});
     },
     [](const test::BatchScene& s) { return NamedTwice(s, "a/DATA.BIN", "one.log", "two.log"); }},
    {"PackNamedThroughALinkedFolder",
     [](test::BatchScene& s) {
         std::filesystem::create_directories(s.Dir.File("a"));
         std::filesystem::create_directory_symlink("a", s.Dir.File("l"));
         ReplayedLogs(s, {{"one.log", Section(s, "l/DATA.BIN")}, {"two.log", Section(s, "a/DATA.BIN")}});
     },
     [](const test::BatchScene& s) { return NamedTwice(s, "l/DATA.BIN", "one.log", "two.log"); }, true},
    {"PackNamedAgainWithoutAPackFormatOrMissing",
     [](test::BatchScene& s) {
         ReplayedLogs(s, {{"one.log", Section(s, "a/DATA.BIN") + Section(s, "gone.bin")},
                          {"two.log", "#Format: \r\n#Source: " + s.Dir.File("a/DATA.BIN") + "\r\n"
                                          + Section(s, "gone.bin")}});
     },
     nullptr},
    {"LineFeedInAPackName",
     [](test::BatchScene& s) {
         s.AddPack("a.bin");
         s.AddPack("x\ny.bin");
     },
     [](const test::BatchScene& s) { return LineBreak(s, "x\\ny.bin"); }, true},
    {"CarriageReturnInAProjectListName",
     [](test::BatchScene& s) {
         s.State.ProcessingMode = kModeReplayList;
         s.AddInput("p\r.lst", "");
     },
     [](const test::BatchScene& s) { return LineBreak(s, "p\\r.lst"); }, true},
    {"RecordInALogName",
     [](test::BatchScene& s) {
         s.State.ProcessingMode = kModeReplayLogs;
         s.AddInput("r\r\n#Format: LST\r\n.log", "");
     },
     [](const test::BatchScene& s) { return LineBreak(s, "r\\r\\n#Format: LST\\r\\n.log"); }, true},
};

class BatchListTest : public ::testing::TestWithParam<ListRow> {};

// A refused list leaves no output file and no result.log behind.
TEST_P(BatchListTest, IsRefusedBeforeAnythingIsWrittenOrRuns)
{
    const ListRow& row = GetParam();
    if (row.PosixOnly)
        EIT_SKIP_ON_WINDOWS("links or names that Windows does not allow");
    test::BatchScene s;
    row.Arrange(s);
    const std::string message = test::ErrorOf([&] { s.TheBatch.BProcessClick(); }, "");
    if (!row.Message) {
        EXPECT_EQ(message, "");
        EXPECT_EQ(s.View.Messages, (std::vector{kComplete}));
        return;
    }
    EXPECT_EQ(message, row.Message(s));
    EXPECT_EQ(test::ListTree(*s.View.PickedDir), "");
    EXPECT_EQ(s.State.ResultLog.Count(), 0);
    EXPECT_TRUE(s.View.Messages.empty());
    EXPECT_FALSE(s.TheBatch.Running());
}

INSTANTIATE_TEST_SUITE_P(Table, BatchListTest, ::testing::ValuesIn(kListRows),
                         [](const ::testing::TestParamInfo<ListRow>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace eit
