// Putting edited files back: a result log replayed over the files its
// extraction wrote rebuilds each pack with the files that changed.

#include "BatchScene.h"
#include "FileError.h"
#include "InsertPack.h"
#include "LineList.h"
#include "PackDirectory.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace eit {
namespace {

namespace fs = std::filesystem;

std::string Padded(std::string bytes)
{
    bytes.resize((bytes.size() + 2047) / 2048 * 2048, '\0');
    return bytes;
}

std::string Content(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + static_cast<char>(i % 251));
    return bytes;
}

void PutAtSector(std::string& pack, std::uint32_t sector, const std::string& bytes)
{
    pack.replace(kPackDirectorySize + std::size_t{sector} * kPackSectorSize, bytes.size(), bytes);
}

PackDirectory DirectoryOf(const std::string& pack)
{
    PackDirectory::Bytes bytes;
    std::copy_n(pack.begin(), bytes.size(), bytes.begin());
    return PackDirectory::Decode(bytes);
}

// Slot 0 lies last in the data; slot 4 shares the second sector of slot 3;
// slot 7 is empty.
const PackBuilder kPack = PackBuilder().Entry(1, 3).Entry(2, 1).Entry(3, 2).RawSlot(4, 5, 1).Entry(5, 1).Entry(6, 2)
                              .Entry(8191, 2).Entry(0, 2);

// A pack extracted into "out", ready to be edited and put back.
struct InsertScene : test::BatchScene {
    InsertScene()
    {
        WriteFile(State.ExtListPath, "bin\nbin\nbin\nbin\nbin\nbin\nbin\nbin\n");
        Pack = WritePack("in/DATA.BIN", kPack);
        Original = ReadFile(Pack);
        View.Inputs = {Pack};
        TheBatch.BProcessClick();
        Extracted = *View.PickedDir;
        Log = Out("result.log");
    }

    std::string SlotFile(int slot) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "BIN/DATA_%04X.bin", static_cast<unsigned>(slot));
        return JoinPath(Extracted, test::NativePath(name));
    }

    // The edits of the round trip: every kind of placement.
    void Edit()
    {
        Edits[0] = Content(2 * 2048 + 100, 'a');   // grown, last in the data: grows in place
        Edits[1] = Content(3000, 'b');             // smaller: in place, its third sector zeroed
        Edits[2] = Content(5000, 'c');             // grown: moved to the end
        Edits[4] = Content(2048, 'd');             // same size but shared: moved to the end
        Edits[8191] = Content(4096, 'e');          // same size: in place
        for (const auto& [slot, bytes] : Edits)
            WriteFile(SlotFile(slot), bytes);
        fs::remove(SlotFile(5));                   // deleted: the slot keeps its data
    }

    void EditLogLine(int slot, const std::string& text)
    {
        LineList lines;
        lines.LoadFromFile(Log);
        lines.Put(2 + slot, text);
        lines.SaveToFile(Log);
    }

    // Replays the result log with the output folder into; the error's
    // message, "" when the batch completed.
    std::string Replay(const std::string& into)
    {
        fs::create_directories(into);
        View.Inputs = {Log};
        View.Filter = 3;
        View.PickedDir = into;
        View.Results.clear();
        State.ProcessingMode = kModeReplayLogs;
        return test::ErrorOf([&] { TheBatch.BProcessClick(); }, "");
    }

    std::string Pack;
    std::string Original;
    std::string Extracted;   // the folder the files were extracted into
    std::string Log;
    std::map<int, std::string> Edits;
};

const std::string kSummary = "DATA.BIN: 5 files inserted (2 moved to the end), 2 kept, pack 92,160 -> 102,400 bytes";

TEST(InsertPack, RoundTripPutsEveryEditBackAndKeepsTheRest)
{
    InsertScene s;
    std::map<int, std::string> extracted;
    for (const int slot : {0, 1, 2, 3, 4, 5, 6, 8191})
        extracted[slot] = ReadFile(s.SlotFile(slot));
    s.Edit();
    test::MakeReadOnly(s.Pack); // the source is only read
    const std::string rebuilt = s.Dir.File("new/DATA.BIN");
    ASSERT_EQ(s.Replay(s.Dir.File("new")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{kSummary}));
    EXPECT_TRUE(ReadFile(s.Pack) == s.Original);
    EXPECT_EQ(test::ListTree(s.Dir.File("new")), "DATA.BIN\n");

    // Byte for byte: slot 0 grew in place (sectors 11..13), slot 2 and then
    // slot 4 went to the end (14 and 17), slot 1 shrank to 2 sectors and its
    // third became zeros.
    std::string expected = s.Original;
    expected.resize(kPackDirectorySize + 18 * kPackSectorSize, '\0');
    PackDirectory directory = DirectoryOf(s.Original);
    directory.SetEntry(0, {11, 3});
    directory.SetEntry(1, {0, 2});
    directory.SetEntry(2, {14, 3});
    directory.SetEntry(4, {17, 1});
    const PackDirectory::Bytes encoded = directory.Encode();
    expected.replace(0, encoded.size(), reinterpret_cast<const char*>(encoded.data()), encoded.size());
    for (const auto& [slot, bytes] : s.Edits)
        PutAtSector(expected, directory.Entry(slot).StartSector, Padded(bytes));
    PutAtSector(expected, 2, std::string(2048, '\0'));
    EXPECT_TRUE(ReadFile(rebuilt) == expected);

    // Extracted again: the edits padded to whole sectors, the rest as before.
    s.View.PickedDir = s.Dir.File("again");
    fs::create_directories(s.Dir.File("again"));
    s.View.Inputs = {rebuilt};
    s.State.ProcessingMode = kModeExtract;
    s.View.Filter = 1;
    s.TheBatch.BProcessClick();
    for (const auto& [slot, bytes] : extracted) {
        SCOPED_TRACE(slot);
        const std::string again = ReadFile(s.Out(s.SlotFile(slot).substr(s.Extracted.size() + 1)));
        EXPECT_TRUE(again == (s.Edits.count(slot) ? Padded(s.Edits[slot]) : bytes));
    }
}

TEST(InsertPack, NothingChangedWritesNothing)
{
    InsertScene s;
    ASSERT_EQ(s.Replay(s.Dir.File("new")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{"DATA.BIN: no file changed, pack left as it was"}));
    EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
}

TEST(InsertPack, DryRunSaysWhatItWouldDoAndWritesNothing)
{
    InsertScene s;
    s.Edit();
    s.State.DryRun = true;
    ASSERT_EQ(s.Replay(s.Dir.File("new")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{kSummary}));
    EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
}

// Rebuilt in its own folder, the pack is replaced and the original kept
// once as DATA.BIN.bak; a second rebuild leaves that first backup alone.
TEST(InsertPack, PackRebuiltInItsOwnFolderKeepsTheFirstBackup)
{
    InsertScene s;
    s.Edit();
    ASSERT_EQ(s.Replay(s.Dir.File("in")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{kSummary}));
    EXPECT_TRUE(ReadFile(s.Pack + ".bak") == s.Original);
    EXPECT_EQ(DirectoryOf(ReadFile(s.Pack)).Entry(4), (PackEntry{17, 1}));

    WriteFile(s.SlotFile(3), Content(100, 'f'));
    ASSERT_EQ(s.Replay(s.Dir.File("in")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{
                                  "DATA.BIN: 1 file inserted (0 moved to the end), 6 kept, pack 102,400 -> 102,400 bytes"}));
    EXPECT_TRUE(ReadFile(s.Pack + ".bak") == s.Original);
    EXPECT_TRUE(ReadFile(s.Pack).substr(kPackDirectorySize + 4 * kPackSectorSize, 2048) == Padded(Content(100, 'f')));
    EXPECT_EQ(test::ListTree(s.Dir.File("in")), "DATA.BIN\nDATA.BIN.bak\n");
}

TEST(InsertPack, StopDuringTheRebuildLeavesNothing)
{
    InsertScene s;
    s.Edit();
    s.View.OnEvents = [&] {
        if (s.View.Progress >= 50 && s.View.Progress < 100)
            s.TheBatch.StopClick();
    };
    ASSERT_EQ(s.Replay(s.Dir.File("new")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{"DATA.BIN: stopped, pack left as it was"}));
    EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
}

// Tests of all the error paths follow. Each leaves the output folder empty
// and the source as it was.

struct FailureRow {
    const char* Name;
    std::function<void(InsertScene&)> Arrange;
    std::function<std::string(const InsertScene&)> Message;
};

std::string Mismatch(const InsertScene& s, const char* slot)
{
    return "Result log " + s.Log + " does not match pack " + s.Pack + " at slot " + slot;
}

const FailureRow kFailures[] = {
    {"LogCutShort",
     [](InsertScene& s) {
         LineList lines;
         lines.LoadFromFile(s.Log);
         lines.Delete(lines.Count() - 1);
         lines.SaveToFile(s.Log);
     },
     [](const InsertScene& s) { return Mismatch(s, "1FFF"); }},
    {"NullForAFullSlot", [](InsertScene& s) { s.EditLogLine(5, "NULL"); },
     [](const InsertScene& s) { return Mismatch(s, "0005"); }},
    {"FileForAnEmptySlot", [](InsertScene& s) { s.EditLogLine(7, s.SlotFile(6)); },
     [](const InsertScene& s) { return Mismatch(s, "0007"); }},
    {"RecordInsideTheSection", [](InsertScene& s) { s.EditLogLine(6, "#Source: " + s.Pack); },
     [](const InsertScene& s) { return Mismatch(s, "0006"); }},
    {"EmptyFile", [](InsertScene& s) { WriteFile(s.SlotFile(3), ""); },
     [](const InsertScene& s) { return "Cannot insert empty file " + s.SlotFile(3); }},
    {"FolderForAFile",
     [](InsertScene& s) {
         fs::remove(s.SlotFile(6));
         fs::create_directories(s.SlotFile(6));
     },
     [](const InsertScene& s) { return "Cannot open file " + s.SlotFile(6); }},
    // The last progress step comes after the last byte is written and
    // before the pack is read back.
    {"FileChangedWhileInserted",
     [](InsertScene& s) {
         s.View.OnEvents = [&s] {
             if (s.View.Progress == 100)
                 WriteFile(s.SlotFile(0), "changed");
         };
     },
     [](const InsertScene& s) {
         return "Rebuilt pack " + s.Dir.File("new/DATA.BIN") + " does not hold file " + s.SlotFile(0) + " at slot 0000";
     }},
};

TEST(InsertPack, FailuresWriteNothing)
{
    for (const FailureRow& row : kFailures) {
        SCOPED_TRACE(row.Name);
        InsertScene s;
        s.Edit();
        row.Arrange(s);
        EXPECT_EQ(s.Replay(s.Dir.File("new")), row.Message(s));
        EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
        EXPECT_TRUE(ReadFile(s.Pack) == s.Original);
    }
}

// Two packs named DATA.BIN in one batch: the second is refused before it is
// written, the first stays as rebuilt.
TEST(InsertPack, TwoPacksRebuiltAsOneFileStopTheBatch)
{
    InsertScene s;
    s.Edit();
    const std::string other = s.WritePack("other/DATA.BIN", kPack);
    const std::string single = ReadFile(s.Log);
    const std::string head = "#Format: BIN\r\n#Source: " + s.Pack + "\r\n";
    ASSERT_EQ(single.substr(0, head.size()), head);
    WriteFile(s.Log, single + "#Format: BIN\r\n#Source: " + other + "\r\n" + single.substr(head.size()));
    EXPECT_EQ(s.Replay(s.Dir.File("new")), "Packs " + s.Pack + " and " + other + " would be rebuilt as the same file "
                                               + s.Dir.File("new/DATA.BIN"));
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{kSummary}));
    EXPECT_TRUE(ReadFile(other) == s.Original);
    EXPECT_EQ(DirectoryOf(ReadFile(s.Dir.File("new/DATA.BIN"))).Entry(4), (PackEntry{17, 1}));

    // A new batch starts with no pack rebuilt.
    s.Log = s.Dir.File("one.log");
    WriteFile(s.Log, single);
    EXPECT_EQ(s.Replay(s.Dir.File("new")), "");
}

// The placement rules on directories that no test pack could hold.
TEST(InsertPack, PlanPlacesBeyondTheOldEndAndChecksTheSectorNumbers)
{
    PackDirectory old;
    old.SetEntry(0, {0, 1});
    old.SetEntry(1, {1, 2});
    SlotSizes sizes{};
    sizes[1] = 2048;      // smaller: in place, the second sector zeroed
    sizes[0] = 4097;      // grown, not at the end: moved
    // A pack ending in the middle of a sector: the new data starts on the
    // next whole sector, zeros between.
    const std::uint64_t length = kPackDirectorySize + 3 * 2048 + 100;
    const InsertPlan plan = PlanInsert(old, length, sizes, "p.bin");
    using W = PackWrite;
    EXPECT_EQ(plan.Writes, (std::vector<W>{
                               {W::Source::Pack, 65536, 2048, 65536, -1, 0},
                               {W::Source::File, 65536 + 2048, 4096, 0, 1, 2048},
                               {W::Source::Pack, 65536 + 3 * 2048, 100, 65536 + 3 * 2048, -1, 0},
                               {W::Source::Zero, length, 2048 - 100, 0, -1, 0},
                               {W::Source::File, 65536 + 4 * 2048, 3 * 2048, 0, 0, 4097},
                           }));
    EXPECT_EQ(plan.Directory.Entry(0), (PackEntry{4, 3}));
    EXPECT_EQ(plan.Directory.Entry(1), (PackEntry{1, 1}));
    EXPECT_EQ(plan.Length, kPackDirectorySize + 7 * 2048);
    EXPECT_EQ(plan.Moved, 1);

    const auto message = [](const PackDirectory& directory, std::uint64_t length, const SlotSizes& s) {
        return test::ErrorOf([&] { PlanInsert(directory, length, s, "p.bin"); }, "");
    };
    const std::string tooLarge = ": its sectors would not fit the directory's 32-bit numbers";
    PackDirectory high;
    high.SetEntry(0, {0, 1});
    high.SetEntry(1, {0xFFFFFFF0u, 16});   // its data ends at sector 2^32
    SlotSizes grow{};
    grow[0] = 4096;
    EXPECT_EQ(message(high, kPackDirectorySize + (std::uint64_t{1} << 32) * 2048, grow),
              "Data pack p.bin cannot take the file of slot 0000" + tooLarge);
    SlotSizes huge{};
    huge[1] = (std::uint64_t{1} << 32) * 2048;
    EXPECT_EQ(message(old, kPackDirectorySize + 3 * 2048, huge), "Data pack p.bin cannot take the file of slot 0001" + tooLarge);
    EXPECT_EQ(message(old, kPackDirectorySize + 2 * 2048, sizes), "Data pack p.bin is damaged: slot 0001 lies beyond its end");
}

TEST(InsertPack, DriverDryRunPrintsTheSameLineAndWritesNothing)
{
    TempDir dir;
    WriteFile(dir.File("in/DATA.BIN"), PackBuilder().Entry(1, 2).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    ASSERT_EQ(test::RunDriver(dir, "--extlist " + dir.File("ext.txt") + " --output " + dir.File("out") + " "
                                       + dir.File("in/DATA.BIN")).Status, 0);
    WriteFile(dir.File("out/TIM/DATA_0001.tim"), "new");
    const std::string replay = "--mode log --output " + dir.File("new") + " " + dir.File("out/result.log");
    const std::string line = "DATA.BIN: 1 file inserted (0 moved to the end), 0 kept, pack 69,632 -> 69,632 bytes\n";

    const test::CommandRun dry = test::RunDriver(dir, "--dry-run " + replay);
    EXPECT_EQ(dry.Status, 0) << dry.Err;
    const std::string opened = "Opened " + dir.File("in/DATA.BIN") + "\n";
    EXPECT_EQ(dry.Out, opened + line + "Operation complete!\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("new")));

    const test::CommandRun real = test::RunDriver(dir, replay);
    EXPECT_EQ(real.Status, 0) << real.Err;
    EXPECT_EQ(real.Out, opened + line + "Operation complete!\n");
    EXPECT_TRUE(ReadFile(dir.File("new/DATA.BIN")).substr(kPackDirectorySize, 2048) == Padded("new"));
}

} // namespace
} // namespace eit
