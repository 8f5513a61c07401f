// Putting edited files back: a result log replayed over the files its
// extraction wrote rebuilds each pack with the files that changed.

#include "BatchScene.h"
#include "FileError.h"
#include "InsertPack.h"
#include "LineList.h"
#include "PackBuilder.h"
#include "PackDirectory.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

namespace eit {
namespace {

const std::string kNothingChanged = "Stopped before the end of the replay; no file was changed.";

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

const std::string kOriginalKept = ", original in DATA.BIN.bak";

// Rebuilt in its own folder, the pack is replaced and the original kept
// once as DATA.BIN.bak; a second rebuild leaves that first backup alone.
// The results line says where the original is.
TEST(InsertPack, PackRebuiltInItsOwnFolderKeepsTheFirstBackup)
{
    InsertScene s;
    s.Edit();
    ASSERT_EQ(s.Replay(s.Dir.File("in")), "");
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{kSummary + kOriginalKept}));
    EXPECT_TRUE(ReadFile(s.Pack + ".bak") == s.Original);
    EXPECT_EQ(DirectoryOf(ReadFile(s.Pack)).Entry(4), (PackEntry{17, 1}));

    WriteFile(s.SlotFile(3), Content(100, 'f'));
    ASSERT_EQ(s.Replay(s.Dir.File("in")), "");
    EXPECT_EQ(s.View.Results,
              (std::vector<std::string>{"DATA.BIN: 1 file inserted (0 moved to the end), 6 kept, pack 102,400 -> "
                                        "102,400 bytes" + kOriginalKept}));
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
    EXPECT_EQ(s.View.Results, (std::vector<std::string>{"DATA.BIN: stopped, pack left as it was", kNothingChanged}));
    EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
    EXPECT_TRUE(s.State.RebuiltPacks.empty());
}

// A stopped extraction's log ends inside a pack's section, at the end of the
// log or at the next "#Format:" record; the slots without a line keep their
// data, and the replay goes on with the record.
TEST(InsertPack, SectionThatEndsEarlyKeepsTheRestOfThePack)
{
    const struct {
        const char* Name;
        int Lines;          // slot lines left in the section
        const char* After;  // what follows them
        const char* Result;
    } rows[] = {
        {"AtTheEndOfTheLog", 6, "",
         "DATA.BIN: 4 files inserted (2 moved to the end), 1 kept, pack 92,160 -> 102,400 bytes"},
        {"AtAFormatRecord", 6, "#Format: BIN\r\n",
         "DATA.BIN: 4 files inserted (2 moved to the end), 1 kept, pack 92,160 -> 102,400 bytes"},
        {"AtAnIndentedFormatRecord", 8191, " #Format: BIN\r\n",
         "DATA.BIN: 4 files inserted (2 moved to the end), 2 kept, pack 92,160 -> 102,400 bytes"},
        {"BeforeItsFirstLine", 0, "#Format: BIN\r\n", "DATA.BIN: no file changed, pack left as it was"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        InsertScene s;
        s.Edit();
        LineList lines;
        lines.LoadFromFile(s.Log);
        ASSERT_EQ(lines.Count(), 2 + kPackSlots);
        std::string log;
        for (int i = 0; i < 2 + row.Lines; ++i)
            log.append(lines.Get(i)).append("\r\n");
        WriteFile(s.Log, log + row.After);
        ASSERT_EQ(s.Replay(s.Dir.File("new")), "");
        EXPECT_EQ(s.View.Results, (std::vector<std::string>{row.Result}));
        if (*row.After) {
            EXPECT_EQ(s.State.ReplayLines.Get(2 + row.Lines), "BIN"); // the record was replayed
        }
        if (row.Lines == 0)
            continue;
        // Slot 8191 has no line in any row: its edit stays out.
        const std::string rebuilt = ReadFile(s.Dir.File("new/DATA.BIN"));
        const PackEntry last = DirectoryOf(s.Original).Entry(8191);
        EXPECT_EQ(DirectoryOf(rebuilt).Entry(8191), last);
        EXPECT_TRUE(rebuilt.substr(last.Offset(), last.Length()) == s.Original.substr(last.Offset(), last.Length()));
        EXPECT_EQ(DirectoryOf(rebuilt).Entry(4), (PackEntry{17, 1}));
    }
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

// Only a file known to be gone keeps its slot: one the system will not show
// fails the pack, naming the file. A dangling link is missing. (Which
// lookups count as missing is the boundary's, tested with KindsOf.)
TEST(InsertPack, SlotFileThatCannotBeLookedAtFailsThePack)
{
    EIT_SKIP_ON_WINDOWS("links and permission bits of POSIX");
    const struct {
        const char* Name;
        bool NeedsPermissions;
        // Puts the row's path in slot 3's place and returns it.
        std::string (*Arrange)(InsertScene& s);
        bool Fails;
    } rows[] = {
        {"LoopOfLinks", false,
         [](InsertScene& s) {
             fs::remove(s.SlotFile(3));
             fs::create_symlink(s.SlotFile(3), s.SlotFile(3));
             return s.SlotFile(3);
         },
         true},
        {"FolderThatMayNotBeSearched", true,
         [](InsertScene& s) {
             const std::string path = s.Dir.File("locked/DATA_0003.bin");
             WriteFile(path, Content(100, 'g'));
             test::SetMode(s.Dir.File("locked"), 0);
             s.EditLogLine(3, path);
             return path;
         },
         true},
        {"DanglingLink", false,
         [](InsertScene& s) {
             fs::remove(s.SlotFile(3));
             fs::create_symlink(s.Dir.File("gone.bin"), s.SlotFile(3));
             return s.SlotFile(3);
         },
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        InsertScene s;
        if (row.NeedsPermissions && !test::PermissionsBind(s.Dir))
            continue;
        s.Edit();
        const std::string path = row.Arrange(s);
        const std::string error = s.Replay(s.Dir.File("new"));
        if (fs::exists(s.Dir.File("locked")))
            test::SetMode(s.Dir.File("locked"), 0700);
        if (row.Fails) {
            EXPECT_EQ(error, "Cannot open file " + path);
            EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(s.View.Results, (std::vector<std::string>{
                                          "DATA.BIN: 5 files inserted (2 moved to the end), 1 kept, pack 92,160 -> "
                                          "102,400 bytes"}));
        }
    }
}

// In the pack's own folder, anything but a regular file in the place of the
// .bak stops the pack before anything is written: what it leads to may be
// the original.
TEST(InsertPack, BakThatIsNotARegularFileStopsThePack)
{
    const struct {
        const char* Name;
        // Makes the .bak; false where the system cannot.
        bool (*Make)(const InsertScene& s, const std::string& bak);
    } rows[] = {
        {"Folder", [](const InsertScene&, const std::string& bak) { return fs::create_directory(test::FsPath(bak)); }},
        {"LinkToACopy",
         [](const InsertScene& s, const std::string& bak) {
             WriteFile(s.Dir.File("copy.bin"), s.Original);
             return test::MakeSymlink(s.Dir.File("copy.bin"), bak);
         }},
        {"DanglingLink",
         [](const InsertScene& s, const std::string& bak) { return test::MakeSymlink(s.Dir.File("gone.bin"), bak); }},
        {"Fifo",
         [](const InsertScene&, const std::string& bak) {
             if (test::kOnWindows)
                 return false;
             test::MakeFifo(bak);
             return true;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        InsertScene s;
        s.Edit();
        const std::string bak = s.Pack + ".bak";
        if (!row.Make(s, bak))
            continue;
        const fs::file_type before = fs::symlink_status(test::FsPath(bak)).type();
        EXPECT_EQ(s.Replay(s.Dir.File("in")),
                  "Cannot keep the original of " + s.Pack + ": " + bak + " is not a regular file");
        EXPECT_TRUE(ReadFile(s.Pack) == s.Original);
        EXPECT_EQ(fs::symlink_status(test::FsPath(bak)).type(), before);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(test::FsPath(s.Dir.File("in"))))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"DATA.BIN", "DATA.BIN.bak"}));
    }
}

// A rebuild that stops or fails before the new pack is named leaves the
// pack as it was and no .bak of its own. The window is served while the
// original is kept and the new pack flushed, and a stop then still counts.
TEST(InsertPack, RebuildThatEndsBeforeTheNameLeavesThePack)
{
    const struct {
        const char* Name;
        const char* Into;
        int Pump;               // the pump at which Act runs: 0 during the copy, n the n-th at 100 %
        void (*Act)(InsertScene& s);
        const char* Error;      // "" when the rebuild stops; else the message's start, the pack's path after it
        bool BakStays;
    } rows[] = {
        {"StopDuringTheCopy", "in", 0, [](InsertScene& s) { s.TheBatch.StopClick(); }, "", false},
        {"StopAfterTheLastByte", "new", 1, [](InsertScene& s) { s.TheBatch.StopClick(); }, "", false},
        {"StopWhileKeepingTheOriginal", "in", 2, [](InsertScene& s) { s.TheBatch.StopClick(); }, "", false},
        // The .bak is then the only original left.
        {"PackGoneBeforeItIsReplaced", "in", 2,
         [](InsertScene& s) {
             fs::remove(test::FsPath(s.Pack));
             fs::create_directory(test::FsPath(s.Pack));
         },
         "Cannot create file ", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        // A pack held open cannot give its name to a folder on Windows.
        if (test::kOnWindows && row.BakStays)
            continue;
        InsertScene s;
        s.Edit();
        int atFull = 0;
        bool acted = false;
        s.View.OnEvents = [&] {
            const int progress = s.View.Progress;
            atFull += progress == 100;
            if (!acted && (row.Pump == 0 ? progress >= 50 && progress < 100 : atFull == row.Pump)) {
                acted = true;
                row.Act(s);
            }
        };
        fs::create_directories(test::FsPath(s.Dir.File("new")));
        const std::string target = s.Dir.File(std::string(row.Into) + "/DATA.BIN");
        const std::string error = s.Replay(s.Dir.File(row.Into));
        if (*row.Error) {
            EXPECT_EQ(error, row.Error + target);
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(s.View.Results, (std::vector<std::string>{"DATA.BIN: stopped, pack left as it was", kNothingChanged}));
            EXPECT_TRUE(ReadFile(s.Pack) == s.Original);
        }
        EXPECT_EQ(fs::exists(test::FsPath(s.Pack + ".bak")), row.BakStays);
        if (row.BakStays) {
            EXPECT_TRUE(ReadFile(s.Pack + ".bak") == s.Original);
        }
        EXPECT_EQ(test::ListTree(s.Dir.File("new")), "");
        EXPECT_TRUE(s.State.RebuiltPacks.empty());
    }
}

// The rebuilt pack gives no one more than the pack it replaces; where none
// stood, no one but its owner more than the source pack. On Windows the
// read-only attribute stays.
TEST(InsertPack, RebuiltPackKeepsThePermissionsOfThePackItReplaces)
{
    {
        InsertScene s;
        s.Edit();
        test::MakeReadOnly(s.Pack);
        ASSERT_EQ(s.Replay(s.Dir.File("in")), "");
        EXPECT_EQ(DirectoryOf(ReadFile(s.Pack)).Entry(4), (PackEntry{17, 1}));
        EXPECT_EQ(fs::status(test::FsPath(s.Pack)).permissions() & fs::perms::owner_write, fs::perms::none);
    }
    if (test::kOnWindows)
        return;
    TempDir probeDir;
    WriteFile(probeDir.File("new.bin"), "x");
    const auto fresh = static_cast<unsigned>(fs::status(probeDir.File("new.bin")).permissions());
    const struct {
        const char* Name;
        const char* Into;
        unsigned Source;
        int Replaced;       // the mode of a file standing at the target; -1 for none
        unsigned Expected;
    } rows[] = {
        {"PrivatePackInPlace", "in", 0600, -1, 0600},
        {"OpenPackInPlace", "in", 0666, -1, 0666},
        {"AnotherFileReplaced", "new", 0600, 0640, 0640},
        {"NewFileOfAPrivatePack", "new", 0600, -1, fresh & 0700},
        {"NewFileOfAGroupPack", "new", 0640, -1, fresh & 0740},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        InsertScene s;
        s.Edit();
        test::SetMode(s.Pack, row.Source);
        const std::string target = s.Dir.File(std::string(row.Into) + "/DATA.BIN");
        if (row.Replaced >= 0) {
            WriteFile(target, "old");
            test::SetMode(target, static_cast<unsigned>(row.Replaced));
        }
        ASSERT_EQ(s.Replay(s.Dir.File(row.Into)), "");
        EXPECT_EQ(DirectoryOf(ReadFile(target)).Entry(4), (PackEntry{17, 1}));
        EXPECT_EQ(static_cast<unsigned>(fs::status(target).permissions()) & 0777, row.Expected);
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

// A stop during a run that replaces many packs in their folder ends with
// words that hold for every pack: each one the results call rebuilt was
// replaced and has its original beside it, every other one is as it was
// and has no .bak.
TEST(InsertPack, DriverStopLeavesEveryPackAsItsLineSays)
{
    EIT_SKIP_ON_WINDOWS("no signals on Windows");
    TempDir dir;
    const std::string pack = PackBuilder().Entry(1, 2).Bytes();
    std::string tail;
    for (int slot = 2; slot < kPackSlots; ++slot)
        tail += "NULL\r\n";
    std::string log;
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) {
        names.push_back("P" + std::to_string(1000 + i).substr(1) + ".BIN");
        WriteFile(dir.File("in/" + names.back()), pack);
        WriteFile(dir.File("files/" + names.back() + ".tim"), "new");
        log += "#Format: BIN\r\n#Source: " + dir.File("in/" + names.back()) + "\r\nNULL\r\n"
            + dir.File("files/" + names.back() + ".tim") + "\r\n" + tail;
    }
    WriteFile(dir.File("r.log"), log);
    test::BackgroundProgram driver(
        dir, {EIT_BATCH_DRIVER, "--mode", "log", "--output", dir.File("in"), dir.File("r.log")});
    // Once the first pack is replaced, at least one result holds a rebuild.
    ASSERT_TRUE(driver.WaitUntil([&] { return ReadFile(dir.File("in/" + names[0])) != pack; }));
    driver.SendStop(test::kInterruptSignal);
    ASSERT_EQ(driver.Wait(), 128 + test::kInterruptSignal);

    std::string out = driver.Out();
    const std::string last = "Stopped before the end of the replay; the packs rebuilt before the stop are complete, "
                             "every other pack was left as it was.\n";
    ASSERT_TRUE(out.ends_with(last)) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    int rebuilt = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = dir.File("in/" + name);
        const bool said = out.find(name + ": 1 file inserted (0 moved to the end), 0 kept, pack 69,632 -> 69,632 bytes, "
                                          "original in " + name + ".bak\n") != std::string::npos;
        rebuilt += said;
        EXPECT_EQ(ReadFile(path) != pack, said);
        EXPECT_EQ(fs::exists(path + ".bak"), said);
        if (said) {
            EXPECT_TRUE(ReadFile(path + ".bak") == pack);
        }
    }
    EXPECT_GT(rebuilt, 0);
    EXPECT_LT(rebuilt, 20);
}

} // namespace
} // namespace eit
