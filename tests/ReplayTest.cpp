#include "BatchScene.h"
#include "FileError.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "RecordingView.h"
#include "Replay.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace eit {
namespace {

// What the replay handed to its pack handler, and what the handler saw.
struct PackCall {
    std::string SourcePath;
    std::string TargetPath;
    std::int32_t LineIndex;
    std::string LineThere;      // ReplayLines at LineIndex
    std::string Head;           // the first bytes read through the open source
    bool ReadOnly;              // every handle open on the source only reads
};

class ReplayTest : public ::testing::Test, protected test::BatchScene {
protected:
    ReplayTest()
    {
        State.TargetDir = *View.PickedDir;
        TheBatch.PackHandler = Recorder;
    }

    // Replays text as the file "r.log", as DispatchFile does.
    void Replay(const std::string& text)
    {
        WriteFile(Dir.File("r.log"), text);
        ReplayLog(State, View, Dir.File("r.log"), Recorder);
    }

    // Runs a batch of a log naming source and then a second log, and checks
    // that the source's open failure ended the batch right there.
    void ExpectSourceEndsTheBatch(const std::string& source)
    {
        WriteFile(Dir.File("first.log"), "#Source: " + source + "\r\n#Target after\r\n");
        WriteFile(Dir.File("second.log"), "#Target second\r\n");
        View.Inputs = {Dir.File("first.log"), Dir.File("second.log")};
        State.ProcessingMode = kModeReplayLogs;
        EXPECT_EQ(test::ErrorOf([&] { TheBatch.BProcessClick(); }), "Cannot open file " + source);
        EXPECT_EQ(Lines(), (std::vector<std::string>{source, "#Target after"}));
        EXPECT_EQ(State.ResultLog.Count(), 2);
        EXPECT_TRUE(View.Messages.empty());
        EXPECT_FALSE(TheBatch.Running());
    }

    std::vector<std::string> Lines() const { return State.ReplayLines.Items(); }

    std::int32_t ReturnOffset = 0;   // what the recorder adds to the index it gets
    std::vector<PackCall> Calls;
    ReplayPackFn Recorder = [this](BatchState& state, BatchView&, const ReadOnlyFile& source,
                                   const std::string& target, std::int32_t index) {
        char head[8] = {};
        const std::size_t n = source.ReadAt(0, head, sizeof head);
        const bool readOnly = test::OpenOnlyForReading(source.Path());
        Calls.push_back({source.Path(), target, index,
                         std::string(index < state.ReplayLines.Count() ? state.ReplayLines.Get(index) : "<end>"),
                         std::string(head, n), readOnly});
        return index + ReturnOffset;
    };

};

TEST_F(ReplayTest, ResultLogOfAnExtractionHandsEveryPackOver)
{
    const std::string a = WritePack("a.bin");
    const std::string b = WritePack("with blanks/p q.bin");
    View.Inputs = {a, b};
    State.ProcessingMode = kModeExtract;
    TheBatch.BProcessClick();
    const std::string log = ReadFile(Out("result.log"));

    View.Inputs = {Out("result.log")};
    View.Filter = 3;
    View.StatusHistory.clear();
    View.Messages.clear();
    State.ProcessingMode = kModeReplayLogs;
    bool sourceClosedAtPump = true;
    View.OnEvents = [&] {
        if (!Calls.empty() && test::HeldOpen(Calls.back().SourcePath))
            sourceClosedAtPump = false;
    };
    TheBatch.BProcessClick();

    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].SourcePath, a);
    EXPECT_EQ(Calls[0].TargetPath, Out("a.bin"));
    EXPECT_EQ(Calls[0].LineIndex, 2);
    EXPECT_EQ(Calls[0].LineThere, Out("TIM/a_0000.tim"));
    EXPECT_EQ(Calls[1].SourcePath, b);
    EXPECT_EQ(Calls[1].TargetPath, Out("p q.bin"));
    EXPECT_EQ(Calls[1].LineIndex, 2 + 8192 + 2);
    for (const PackCall& call : Calls) {
        EXPECT_EQ(call.Head, ReadFile(call.SourcePath).substr(0, 8));
        EXPECT_TRUE(call.ReadOnly);
    }
    EXPECT_TRUE(sourceClosedAtPump);
    EXPECT_EQ(State.ReplayMode, kModeExtract);
    EXPECT_EQ(State.ReplayLines.Get(0), "BIN");
    EXPECT_EQ(State.ReplayLines.Get(1), a);
    EXPECT_EQ(State.ReplayLines.Get(8195), b);
    const auto& statuses = View.StatusHistory;
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Processing a.bin..."), 1);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Processing p q.bin..."), 1);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Processing result.log..."), 1 + 2 * (2 + 8192) - 2);

    // Replays fill ResultLog but never save it.
    EXPECT_EQ(ReadFile(Out("result.log")), log);
    EXPECT_EQ(State.ResultLog.Items(), (std::vector<std::string>{"#Format: ", "#Source: " + Out("result.log")}));
    EXPECT_EQ(View.Messages.size(), 1u);
}

// A section whose files are all missing changes nothing: the pack keeps its
// bytes and no copy is written.
TEST_F(ReplayTest, ReplayedPackKeepsItsBytes)
{
    const std::string pack = WritePack("a.bin");
    const std::string before = ReadFile(pack);
    const auto written = std::filesystem::last_write_time(pack);
    std::string text = "#Format: BIN\r\n#Source: " + pack + "\r\n";
    for (int slot = 0; slot < 8192; ++slot)
        text += slot == 0 || slot == 7 ? Dir.File("missing") + "\r\n" : "NULL\r\n";
    WriteFile(Dir.File("r.log"), text + "#Target after\r\n");
    View.Inputs = {Dir.File("r.log")};
    State.ProcessingMode = kModeReplayLogs;
    TheBatch.PackHandler = ReplayPack;
    TheBatch.BProcessClick();
    EXPECT_EQ(ReadFile(pack), before);
    EXPECT_EQ(std::filesystem::last_write_time(pack), written);
    EXPECT_EQ(test::ListTree(*View.PickedDir), "");
    EXPECT_EQ(View.Results, (std::vector<std::string>{"a.bin: no file changed, pack left as it was"}));
    EXPECT_EQ(Lines().back(), "after"); // the replay went on after the pack's last slot line
    EXPECT_EQ(View.Messages.size(), 1u);
}

TEST_F(ReplayTest, PackHandlerDecidesWhereTheReplayGoesOn)
{
    const std::string pack = WritePack("a.bin");
    const std::string text = "#Format: BIN\n#Source: " + pack + "\n#Target one\n#Target two\n";
    Replay(text);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"BIN", pack, "#Target one", "two"}));

    ReturnOffset = 1;
    View.Progress = 0;
    Replay(text);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"BIN", pack, "#Target one", "#Target two"}));
    EXPECT_EQ(View.Progress, 2); // the lines the handler consumed are not counted
}

TEST_F(ReplayTest, FormatRecordsChooseTheMode)
{
    const std::string pack = WritePack("a.bin");
    WriteFile(Dir.File("#Source: x"), "");
    Replay("#Format: BIN\n#Source: " + pack + "\nNULL\n"
           "#Format: \n#Source: " + pack + "\n"
           "#format: BIN\n#Source: " + pack + "\n"
           "#Format: BIN extra\n#Format: bin\n#Source: " + pack + "\n"
           "#Format: #Source: x\n");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].LineIndex, 2);
    EXPECT_EQ(State.ReplayMode, kReplayNoFormat);
    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[5], "#format: BIN");
    EXPECT_EQ(lines[7], "BIN extra");
    EXPECT_EQ(lines[10], "#Source: x");
    // Every source that exists is opened and shown, handed over or not; a
    // format record never names a source.
    const auto& statuses = View.StatusHistory;
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Processing a.bin..."), 4);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Processing #Source: x..."), 0);

    // Every file starts without a format.
    Replay("#Format: BIN\n");
    Replay("#Source: " + pack + "\n");
    EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(ReplayTest, OtherLinesArePassedOverAndRecordsShortened)
{
    std::vector<int> markerFlags;
    View.OnEvents = [&] { markerFlags.push_back(State.MarkerFlag); };
    Replay("#Target rest of it\n#Target\n#Source: " + Dir.File("missing.bin") + "\n#Source:\n"
           "#TARGET x\n\n   \n  #Target indented\n#Sourcex y\n");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"rest of it", "", Dir.File("missing.bin"), "", "#TARGET x", "", "   ",
                                                 "indented", "#Sourcex y"}));
    EXPECT_EQ(markerFlags, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 0, 1}));
    EXPECT_TRUE(Calls.empty());
    for (const std::string& status : View.StatusHistory)
        EXPECT_EQ(status, "Processing r.log...");
}

TEST_F(ReplayTest, PathsAndWordsAreTakenWhole)
{
    const std::string blanks = WritePack("dir  with blanks/p q .bin");
    std::string longPath = Dir.Path();
    for (int i = 0; i < 3; ++i)
        longPath = JoinPath(longPath, std::string(100, 'd'));
    longPath = WritePack(JoinPath(longPath.substr(Dir.Path().size() + 1), "long.bin"));
    ASSERT_GT(longPath.size(), 255u);
    const std::string longWord = "#Source:" + std::string(300, 'w');

    // An indented record is read after its indentation.
    Replay("#Format: BIN\n#Source: " + blanks + "\nNULL\n\t#Source: " + longPath + "\nNULL\n" + longWord + " x\n");
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].SourcePath, blanks);
    EXPECT_EQ(Calls[0].TargetPath, Out("p q .bin"));
    EXPECT_EQ(Calls[1].SourcePath, longPath);
    EXPECT_EQ(Calls[1].LineIndex, 4);
    EXPECT_EQ(Lines().back(), longWord + " x");
}

TEST_F(ReplayTest, BarsMoveOncePerLine)
{
    View.Progress = 98;
    Replay("a\r\nb\r\nc\r\n");
    EXPECT_EQ(View.TotalHistory, (std::vector<int>{0, 0, 50, 100}));
    EXPECT_EQ(View.ProgressHistory, (std::vector<int>{99, 100, 100}));
    EXPECT_EQ(View.EventPumps, 3);

    View.TotalHistory.clear();
    Replay("only");
    EXPECT_EQ(View.TotalHistory, (std::vector<int>{0, 100}));

    View.TotalHistory.clear();
    View.EventPumps = 0;
    State.ReplayMode = kModeExtract;
    Replay("");
    EXPECT_EQ(View.TotalHistory, (std::vector<int>{0}));
    EXPECT_EQ(View.EventPumps, 0);
    EXPECT_EQ(State.ReplayMode, kReplayNoFormat);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(View.Status, "Processing r.log...");
}

TEST_F(ReplayTest, StopEndsTheReplayBetweenLines)
{
    WriteFile(Dir.File("r.log"), "#Target a\n#Target b\n");
    View.Inputs = {Dir.File("r.log"), Dir.File("r.log")};
    State.ProcessingMode = kModeReplayLogs;
    View.OnEvents = [&] {
        if (View.StopEnabled)
            TheBatch.StopClick();
    };
    TheBatch.BProcessClick();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a", "#Target b"}));
    EXPECT_EQ(State.ResultLog.Count(), 2);
    EXPECT_EQ(View.Results.back(), "Stopped before the end of the replay; no file was changed.");
    EXPECT_EQ(View.Messages.size(), 1u);
}

TEST_F(ReplayTest, ProjectListEntriesAreReplayedAsLogs)
{
    const std::string pack = WritePack("a.bin");
    WriteFile(Dir.File("plain.lst"), pack + "\r\n" + Dir.File("b.bin") + "\r\n");
    WriteFile(Dir.File("records.lst"), "#Format: BIN\r\n#Source: " + pack + "\r\n");
    View.Inputs = {Dir.File("plain.lst"), Dir.File("records.lst")};
    View.Filter = 2;
    State.ProcessingMode = kModeReplayList;
    bool stopEnabledInReplay = false;
    View.OnEvents = [&] { stopEnabledInReplay = stopEnabledInReplay || View.StopEnabled; };
    TheBatch.BProcessClick();

    EXPECT_TRUE(stopEnabledInReplay);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].LineIndex, 2);
    EXPECT_EQ(State.ResultLog.Items(), (std::vector<std::string>{"#Format: ", "#Source: " + Dir.File("plain.lst"),
                                                                 "#Format: ", "#Source: " + Dir.File("records.lst")}));
    const auto& statuses = View.StatusHistory;
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Processing plain.lst..."), statuses.end());
    EXPECT_FALSE(std::filesystem::exists(Out("result.log")));
    EXPECT_EQ(View.Messages.size(), 1u);
}

// A file whose "#Format: " records name no pack format rebuilds nothing,
// and says so once it is read to its end.
TEST_F(ReplayTest, FileNamingNoPackFormatSaysSo)
{
    const std::string pack = WritePack("a.bin");
    const std::string none = NoPackRecordLine(Dir.File("r.log"));
    const struct {
        std::string Text;
        std::int64_t Packs;
        bool Said;
    } rows[] = {
        {"", 0, true},
        {"#Format: bin\n#Source: " + pack + "\n", 0, true},
        {"#Format:BIN\n#Source: " + pack + "\n", 0, true},
        {"#Format: \n#Source: " + pack + "\n#Format: LST\n", 0, true},
        {"#Format: BIN\n#Source: " + Dir.File("missing.bin") + "\n", 0, false},
        {"#Format: BIN\n#Format: \n", 0, false},
        {"  #Format: BIN\n#Source: " + pack + "\n", 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Text);
        View.Results.clear();
        State.FilesWithoutPacks.clear();
        State.ReplayedPacks = 0;
        Replay(row.Text);
        EXPECT_EQ(State.ReplayedPacks, row.Packs);
        EXPECT_EQ(View.Results, row.Said ? std::vector<std::string>{none} : std::vector<std::string>{});
        EXPECT_EQ(State.FilesWithoutPacks, row.Said ? std::vector<std::string>{Dir.File("r.log")}
                                                    : std::vector<std::string>{});
    }
    EXPECT_EQ(none, Dir.File("r.log") + ": no \"#Format: BIN\" record, nothing rebuilt");

    // A stopped replay has not read the file to its end.
    View.Results.clear();
    State.StopFlag = 1;
    Replay("");
    EXPECT_TRUE(View.Results.empty());
}

// Two packs whose names differ only in case are rebuilt as one file where
// the output folder takes such names as one, and as two elsewhere.
TEST_F(ReplayTest, PacksRebuiltUnderNamesDifferingInCaseClashOnlyWhereCaseDoesNotCount)
{
    const PackBuilder builder = PackBuilder().Entry(0, 1);
    WriteFile(Dir.File("edited"), "edited");
    const auto section = [&](const std::string& pack) {
        std::string text =
            "#Format: BIN\r\n#Source: " + WritePack(pack, builder) + "\r\n" + Dir.File("edited") + "\r\n";
        for (int slot = 1; slot < 8192; ++slot)
            text += "NULL\r\n";
        return text;
    };
    const struct {
        std::string Second;
        bool IgnoresCase;
        std::string Rebuilt;       // the output folder afterwards
        std::string Clash;         // the second pack's target named by the error; "" for none
    } rows[] = {
        {"b/P.BIN", false, "P.BIN\n", "P.BIN"},
        {"b/p.bin", false, "P.BIN\np.bin\n", ""},
        {"b/p.bin", true, "P.BIN\n", "p.bin"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Second + (row.IgnoresCase ? " where case does not count" : ""));
        if (test::kOnWindows && row.Rebuilt == "P.BIN\np.bin\n")
            continue; // its folders hold no two such names
        // The batch works in the output folder, which Windows will not
        // remove while it is the working folder.
        SetCurrentDirectory(Dir.Path());
        std::filesystem::remove_all(*View.PickedDir);
        std::filesystem::create_directories(*View.PickedDir);
        WriteFile(Dir.File("r.log"), section("a/P.BIN") + section(row.Second));
        View.Inputs = {Dir.File("r.log")};
        State.ProcessingMode = kModeReplayLogs;
        TheBatch.PackHandler = ReplayPack;
        TheBatch.CaseProbe = [&](const std::string& folder) {
            EXPECT_EQ(folder, *View.PickedDir);
            return row.IgnoresCase;
        };
        const std::string error = test::ErrorOf([&] { TheBatch.BProcessClick(); }, "");
        EXPECT_EQ(error, row.Clash.empty() ? "" : "Packs " + Dir.File("a/P.BIN") + " and " + Dir.File(row.Second)
                                                    + " would be rebuilt as the same file " + Out(row.Clash));
        EXPECT_EQ(test::ListTree(*View.PickedDir), row.Rebuilt);
    }
}

// A FIFO, socket or device named as a source is passed over like a missing
// file: never opened for writing, never handed over, no error.
TEST_F(ReplayTest, SpecialFileSourcesArePassedOver)
{
    EIT_SKIP_ON_WINDOWS("no FIFOs, sockets or devices on Windows");
    test::MakeFifo(Dir.File("fifo.bin"));
    test::MakeSocket(Dir.File("socket.bin"));
    std::filesystem::create_symlink(test::NullDevice(), Dir.File("device.bin"));
    const std::string pack = WritePack("a.bin");
    std::string text = "#Format: BIN\n";
    for (const char* name : {"fifo.bin", "socket.bin", "device.bin"})
        text += "#Source: " + Dir.File(name) + "\nNULL\n";
    Replay(text + "#Source: " + pack + "\n");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].SourcePath, pack);
    for (const std::string& status : View.StatusHistory)
        EXPECT_TRUE(status == "Processing r.log..." || status == "Processing a.bin...") << status;
}

// Tests of all the error paths follow.

TEST_F(ReplayTest, SourceThatIsAFolderEndsTheBatch)
{
    std::filesystem::create_directories(Dir.File("folder.bin"));
    ExpectSourceEndsTheBatch(Dir.File("folder.bin"));
}

TEST_F(ReplayTest, ReadOnlySourceIsHandedOver)
{
    const std::string pack = WritePack("a.bin");
    test::MakeReadOnly(pack);
    Replay("#Format: BIN\n#Source: " + pack + "\n");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_TRUE(Calls[0].ReadOnly);
}

TEST_F(ReplayTest, FileThatCannotBeReadEndsTheBatch)
{
    View.Inputs = {Dir.File("missing.log"), Dir.File("missing.log")};
    State.ProcessingMode = kModeReplayList;
    EXPECT_EQ(test::ErrorOf([&] { TheBatch.BProcessClick(); }), "Cannot open file " + Dir.File("missing.log"));
    EXPECT_EQ(State.ResultLog.Count(), 2);
    EXPECT_TRUE(View.Messages.empty());
}

} // namespace
} // namespace eit
