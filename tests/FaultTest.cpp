// Tests of the failures the system may report while output files are
// written: each row plans one through the boundary's fault plan and runs
// one operation, which must fail with the message naming the file and leave
// no partial file, no temporary and the source as it was.

#include "BatchScene.h"
#include "Env.h"
#include "FileUtil.h"
#include "LineList.h"
#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace eit {
namespace {

// Every test that plans failures clears the plan however it ends.
struct PlannedFaults {
    explicit PlannedFaults(const FaultPlan& plan) { SetFaultPlan(plan); }
    ~PlannedFaults() { ClearFaultPlan(); }
    PlannedFaults(const PlannedFaults&) = delete;
    PlannedFaults& operator=(const PlannedFaults&) = delete;
};

// A pack "in/DATA.BIN" of two entries, one of them large enough for a copy
// in several blocks, and the list "list.txt" the project keeps.
struct FaultScene : test::BatchScene {
    FaultScene()
    {
        Pack = AddPack("in/DATA.BIN", PackBuilder().Entry(0, 200).Entry(7, 1));
        Original = ReadFile(Pack);
        List = Dir.File("list.txt");
        WriteFile(List, "old\r\n");
    }

    // Extracts the pack; then the entry of slot 0 is edited in place, ready
    // for a rebuild.
    void ExtractAndEdit()
    {
        TheBatch.BProcessClick();
        std::string edited = ReadFile(Out("TIM/DATA_0000.tim"));
        edited[5] = static_cast<char>(edited[5] ^ 1);
        WriteFile(Out("TIM/DATA_0000.tim"), edited);
        Extracted = *View.PickedDir;
        ExtractedTree = test::ListTree(Extracted);
        View.Messages.clear();
    }

    // Replays result.log into the pack's own folder.
    void Rebuild()
    {
        View.Inputs = {JoinPath(Extracted, "result.log")};
        View.Filter = 3;
        View.PickedDir = Dir.File("in");
        State.ProcessingMode = kModeReplayLogs;
        TheBatch.BProcessClick();
    }

    void SaveList()
    {
        LineList lines;
        lines.Add("new");
        lines.SaveToFile(List);
    }

    std::string Pack;
    std::string Original;
    std::string List;
    std::string Extracted;     // the output folder of the extraction
    std::string ExtractedTree;
};

enum class Operation { Extract, ResultLog, Rebuild, List };

// The sizes the operations write, for plans that fail in the middle: the
// first entry is copied in blocks of 256 KiB.
constexpr int kExtractWrites = 3;             // two blocks of slot 0, one of slot 7
constexpr std::uint64_t kExtractBytes = 201 * 2048;

struct FaultRow {
    const char* Name;
    Operation Op;
    FaultPlan Plan;
    // The message's start; the file it names is File's.
    const char* Error;
    std::string (*File)(const FaultScene& s);
    // The files under the output folder afterwards; the extracted ones hold
    // all their bytes.
    const char* OutTree;
    // Whether the source (the pack, the saved list) stays as it was; false
    // where the failure comes once the new file is named.
    bool SourceKept = true;
};

std::string PackFile(const FaultScene& s) { return s.Pack; }
std::string LogFile(const FaultScene& s) { return s.Out("result.log"); }
std::string ExtractedLog(const FaultScene& s) { return JoinPath(s.Extracted, "result.log"); }
std::string ListFile(const FaultScene& s) { return s.List; }
std::string FirstEntry(const FaultScene& s) { return s.Out("TIM/DATA_0000.tim"); }
std::string SourceRead(const FaultScene& s) { return s.Pack; }

constexpr const char* kBothEntries = "RAW/DATA_0007.raw\nTIM/DATA_0000.tim\n";
constexpr const char* kExtractedAndLog = "RAW/DATA_0007.raw\nTIM/DATA_0000.tim\nresult.log\n";

const FaultRow kFaultRows[] = {
    // Extraction: the failing entry leaves no file; the batch saves no log.
    {"ExtractFirstWrite", Operation::Extract, {.FailWriteNumber = 1}, "Cannot write file ", FirstEntry, ""},
    {"ExtractSecondBlock", Operation::Extract, {.FailWriteNumber = 2}, "Cannot write file ", FirstEntry, ""},
    {"ExtractNoSpace", Operation::Extract, {.NoSpaceAfterBytes = 1000}, "Cannot write file ", FirstEntry, ""},
    {"ExtractRead", Operation::Extract, {.FailRead = true}, "Stream read error: ", SourceRead, ""},
    {"ExtractRename", Operation::Extract, {.FailRename = true}, "Cannot create file ", FirstEntry, ""},
    {"ExtractNamedRename", Operation::Extract, {.FailRename = true, .NoUnnamedTemporaries = true},
     "Cannot create file ", FirstEntry, ""},
    {"ExtractFolderFlush", Operation::Extract, {.FailFolderSync = true}, "Cannot create file ", FirstEntry,
     kBothEntries},
    // result.log after a complete extraction.
    {"LogFirstWrite", Operation::ResultLog, {.FailWriteNumber = kExtractWrites + 1}, "Cannot write file ", LogFile,
     kBothEntries},
    {"LogNoSpace", Operation::ResultLog, {.NoSpaceAfterBytes = kExtractBytes + 10}, "Cannot write file ", LogFile,
     kBothEntries},
    {"LogNamedNoSpace", Operation::ResultLog, {.NoSpaceAfterBytes = kExtractBytes + 10, .NoUnnamedTemporaries = true},
     "Cannot write file ", LogFile, kBothEntries},
    // A rebuild of the pack in its own folder.
    {"RebuildFirstWrite", Operation::Rebuild, {.FailWriteNumber = 1}, "Cannot write file ", PackFile,
     kExtractedAndLog},
    {"RebuildNoSpace", Operation::Rebuild, {.NoSpaceAfterBytes = 300 * 1024}, "Cannot write file ", PackFile,
     kExtractedAndLog},
    {"RebuildRead", Operation::Rebuild, {.FailRead = true}, "Cannot open file ", ExtractedLog, kExtractedAndLog},
    {"RebuildFlush", Operation::Rebuild, {.FailSync = true}, "Cannot write file ", PackFile, kExtractedAndLog},
    {"RebuildRename", Operation::Rebuild, {.FailRename = true}, "Cannot create file ", PackFile, kExtractedAndLog},
    {"RebuildNamedRename", Operation::Rebuild, {.FailRename = true, .NoUnnamedTemporaries = true},
     "Cannot create file ", PackFile, kExtractedAndLog},
    {"RebuildFolderFlush", Operation::Rebuild, {.FailFolderSync = true}, "Cannot create file ", PackFile,
     kExtractedAndLog, false},
    // The project's list.
    {"ListWrite", Operation::List, {.FailWriteNumber = 1}, "Cannot write file ", ListFile, ""},
    {"ListNamedWrite", Operation::List, {.FailWriteNumber = 1, .NoUnnamedTemporaries = true}, "Cannot write file ",
     ListFile, ""},
    {"ListRename", Operation::List, {.FailRename = true}, "Cannot create file ", ListFile, ""},
    {"ListNamedRename", Operation::List, {.FailRename = true, .NoUnnamedTemporaries = true}, "Cannot create file ",
     ListFile, ""},
    {"ListFolderFlush", Operation::List, {.FailFolderSync = true}, "Cannot create file ", ListFile, "", false},
};

TEST(Faults, EachPlannedFailureLeavesNothingPartialAndNamesTheFile)
{
    for (const FaultRow& row : kFaultRows) {
        SCOPED_TRACE(row.Name);
        FaultScene s;
        std::string message;
        if (row.Op == Operation::Rebuild)
            s.ExtractAndEdit();
        {
            const PlannedFaults planned(row.Plan);
            message = test::ErrorOf([&] {
                if (row.Op == Operation::Rebuild)
                    s.Rebuild();
                else if (row.Op == Operation::List)
                    s.SaveList();
                else
                    s.TheBatch.BProcessClick();
            }, "");
        }
        EXPECT_EQ(message, row.Error + row.File(s));

        const std::string tree = test::ListTree(s.Dir.Path());
        EXPECT_EQ(tree.find(".eit-"), std::string::npos) << tree;
        if (row.Op == Operation::Rebuild) {
            EXPECT_EQ(test::ListTree(s.Extracted), s.ExtractedTree);
        } else {
            EXPECT_EQ(test::ListTree(s.Out("")), row.OutTree);
        }
        if (row.Op == Operation::Extract || row.Op == Operation::ResultLog) {
            for (const char* entry : {"TIM/DATA_0000.tim", "RAW/DATA_0007.raw"})
                if (PathExists(s.Out(entry))) {
                    EXPECT_EQ(ReadFile(s.Out(entry)).size(), entry[0] == 'T' ? 200u * 2048 : 2048u) << entry;
                }
        }
        if (row.Op == Operation::Rebuild) {
            EXPECT_EQ(ReadFile(s.Pack) == s.Original, row.SourceKept);
            // A pack named before the failure keeps its original beside it.
            EXPECT_EQ(test::ListTree(s.Dir.File("in")), row.SourceKept ? "DATA.BIN\n" : "DATA.BIN\nDATA.BIN.bak\n");
            if (!row.SourceKept) {
                EXPECT_TRUE(ReadFile(s.Pack + ".bak") == s.Original);
            }
        } else {
            EXPECT_TRUE(ReadFile(s.Pack) == s.Original);
        }
        if (row.Op == Operation::List) {
            EXPECT_EQ(ReadFile(s.List), row.SourceKept ? "old\r\n" : "new\r\n");
        }

        EXPECT_FALSE(s.TheBatch.Running());
        EXPECT_EQ(s.View.Progress, 0);
        EXPECT_EQ(s.View.Total, 0);
        EXPECT_FALSE(s.View.StopEnabled);
        EXPECT_TRUE(s.View.Messages.empty());
    }
}

// A name is on the disk once its folder is flushed: extraction flushes each
// output folder once per pack, the rebuild the pack's folder after naming
// the pack.
TEST(Faults, NamesAreFlushedOncePerFolder)
{
    FaultScene s;
    const std::uint64_t before = FolderSyncs();
    s.TheBatch.BProcessClick();
    EXPECT_EQ(FolderSyncs() - before, 3u); // TIM, RAW, then result.log's

    s.ExtractAndEdit();
    const std::uint64_t beforeRebuild = FolderSyncs();
    s.Rebuild();
    EXPECT_EQ(FolderSyncs() - beforeRebuild, 1u);
    EXPECT_FALSE(ReadFile(s.Pack) == s.Original);
}

} // namespace
} // namespace eit
