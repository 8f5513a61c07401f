// What only Windows has: drive letters, UNC names and "\" in the output
// names, and the driver's output on a Windows file system (a second run over the
// first one's files, an entry beyond 4 GiB, a pack named in UTF-8, a wildcard
// for the pack, entries holding CR, LF and 0x1A bytes); output folders typed
// in the system's other forms; lists that are not UTF-8.

#include "BatchState.h"
#include "DataPack.h"
#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace eit {
namespace {

TEST(WindowsPaths, OutputNamesAndMirroredFoldersUseBackslashes)
{
    EXPECT_EQ(OutputName("C:\\games\\DATA.BIN", 10, "tim"), "TIM\\DATA_000A.tim");
    EXPECT_EQ(OutputName("\\\\srv\\share\\p.q.bin", 1, ""), "RAW\\p_0001.raw");
    EXPECT_EQ(OutputName("D:x.bin", 0, "bin"), "BIN\\x_0000.bin");

    BatchState state;
    state.TargetDir = "\\\\srv\\share\\out";
    state.ScanRoot = "C:\\games";
    state.ScannedList = true;
    EXPECT_EQ(OutputPathFor(state, "C:\\games\\sub\\a.bin", "TIM\\a_0005.tim"), "\\\\srv\\share\\out\\sub\\TIM\\a_0005.tim");
    EXPECT_EQ(OutputPathFor(state, "D:\\other\\a.bin", "TIM\\a_0005.tim"), "\\\\srv\\share\\out\\TIM\\a_0005.tim");
}

// Slot 0 only moves the next entry past 4 GiB and is then emptied, so the
// run writes one small file from far into a sparse pack.
PackBuilder EntryBeyondFourGibibytes()
{
    PackBuilder builder;
    builder.ZeroEntry(0, (std::uint32_t{1} << 21) + 5).RawSlot(0, 0, 0).Entry(1, 2);
    return builder;
}

struct DriverRow {
    const char* Name;
    std::string Pack;       // its name, UTF-8
    PackBuilder Builder;
    std::vector<int> Slots; // the builder's non-empty slots
    int Runs;               // the later runs write over the first one's files
    const char* Typed = nullptr; // a wildcard given for the pack, as typed in cmd.exe
};

void PrintTo(const DriverRow& row, std::ostream* out)
{
    *out << row.Name;
}

class WindowsDriverTest : public ::testing::TestWithParam<DriverRow> {};

TEST_P(WindowsDriverTest, WritesEveryEntryByteForByteAndALogOfCrLfLines)
{
    const DriverRow& row = GetParam();
    TempDir dir;
    const std::string pack = dir.File("in/" + row.Pack);
    row.Builder.WriteSparse(pack);
    WriteFile(dir.File("ext.txt"), "tim\r\ntim\r\ntim\r\n");
    const std::string base = row.Pack.substr(0, row.Pack.find('.'));

    // A name the system's own matching would also take, through its short
    // name "DATA~1.BIN".
    if (row.Typed)
        row.Builder.WriteSparse(pack + "X");
    const std::string argument = row.Typed ? dir.File(std::string("in/") + row.Typed) : pack;
    for (int run = 0; run < row.Runs; ++run) {
        const test::CommandRun done =
            test::RunProgram(dir, dir.Path(), {EIT_BATCH_DRIVER, "-e", dir.File("ext.txt"), "-o", dir.File("out"), argument});
        ASSERT_EQ(done.Status, 0) << "run " << run << ": " << done.Err;
        EXPECT_TRUE(done.Out.ends_with("Operation complete!\n")) << done.Out;
    }
    const std::string log = ReadFile(dir.File("out/result.log"));
    EXPECT_TRUE(log.starts_with("#Format: BIN\r\n#Source: " + pack + "\r\n")) << log.substr(0, 200);
    std::string tree;
    for (const int slot : row.Slots) {
        char name[16];
        std::snprintf(name, sizeof name, "_%04X.tim", static_cast<unsigned>(slot));
        const std::string file = dir.File("out/TIM/" + base + name);
        EXPECT_TRUE(ReadFile(file) == row.Builder.EntryData(slot)) << file;
        EXPECT_NE(log.find("\r\n" + file + "\r\n"), std::string::npos) << file;
        tree += "TIM/" + base + name + "\n";
    }
    EXPECT_EQ(test::ListTree(dir.File("out")), tree + "result.log\n");
    std::size_t lines = 0;
    for (std::size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1), ++lines)
        ASSERT_TRUE(at >= 1 && log[at - 1] == '\r' && (at < 2 || log[at - 2] != '\r')) << "line " << lines;
    EXPECT_EQ(lines, 2u + 8192u);
    EXPECT_TRUE(log.ends_with("\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Packs, WindowsDriverTest,
    ::testing::Values(
        DriverRow{"EntriesWithCrLfAndEof", "DATA.BIN", PackBuilder().Entry(0, 1).Entry(7, 3), {0, 7}, 1},
        DriverRow{"SecondRunOverTheFirstOnesFiles", "DATA.BIN", PackBuilder().Entry(2, 1).Entry(9, 1), {2, 9}, 2},
        DriverRow{"EntryBeyondFourGibibytes", "BIG.BIN", EntryBeyondFourGibibytes(), {1}, 1},
        DriverRow{"NonAsciiPackName", "Donn\xC3\xA9" "es_\xE6\x97\xA5\xE6\x9C\xAC.BIN", PackBuilder().Entry(3, 1),
                  {3}, 2},
        DriverRow{"WildcardExpandedByTheProgram", "DATA.BIN", PackBuilder().Entry(4, 1), {4}, 1, "*.BIN"}),
    [](const ::testing::TestParamInfo<DriverRow>& info) { return std::string(info.param.Name); });

// Every form of a folder the system knows names the folder it means; the
// log names it with "\" whatever the user typed.
TEST(WindowsPaths, TypedOutputFoldersAreTheFoldersTheSystemMeans)
{
    TempDir dir;
    const std::string pack = dir.File("in/DATA.BIN");
    WriteFile(pack, PackBuilder().Entry(0, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    const std::string full = dir.Path();
    std::string slashed = full;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const struct {
        std::string Output; // as typed, in the working directory dir
        std::string Pack;
        std::string Written; // how the log names the output folder
    } rows[] = {
        {full.substr(2) + "\\out", pack, full + "\\out"},
        {full.substr(0, 2) + "out", pack, full + "\\out"},
        {slashed + "/out/", slashed + "/in/DATA.BIN", full + "\\out"},
        {"\\\\?\\" + full + "\\out", pack, "\\\\?\\" + full + "\\out"},
        {"\\\\.\\" + full + "\\out", pack, "\\\\.\\" + full + "\\out"},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(test::FsPath(dir.File("out")));
        const test::CommandRun run = test::RunProgram(
            dir, dir.Path(), {EIT_BATCH_DRIVER, "-e", dir.File("ext.txt"), "-o", row.Output, row.Pack});
        ASSERT_EQ(run.Status, 0) << row.Output << ": " << run.Err;
        EXPECT_EQ(test::ListTree(dir.File("out")), "TIM/DATA_0000.tim\nresult.log\n") << row.Output;
        const std::string head = "#Format: BIN\r\n#Source: " + pack + "\r\n" + row.Written + "\\TIM\\DATA_0000.tim\r\n";
        EXPECT_EQ(ReadFile(dir.File("out/result.log")).substr(0, head.size()), head) << row.Output;
    }
}

// A project list's names are taken as the system takes them, a plain
// relative one below the list's folder; the log names each pack with "\".
TEST(WindowsPaths, ProjectListNamesAreTheFilesTheSystemMeans)
{
    TempDir dir;
    const std::string full = dir.Path();
    std::string slashed = full;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const struct {
        std::string Line;
        std::string Pack;
    } rows[] = {
        {"in/A.BIN", dir.File("lists/in/A.BIN")},
        {full.substr(2) + "\\B.BIN", dir.File("B.BIN")},
        {slashed + "/C.BIN", dir.File("C.BIN")},
    };
    std::string list;
    for (const auto& row : rows) {
        WriteFile(row.Pack, PackBuilder().Entry(0, 1).Bytes());
        list += row.Line + "\r\n";
    }
    WriteFile(dir.File("lists/p.lst"), list);
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    const test::CommandRun run = test::RunProgram(
        dir, dir.Path(), {EIT_BATCH_DRIVER, "--mode", "lst", "-e", dir.File("ext.txt"), "-o", dir.File("out"), "lists/p.lst"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string log = ReadFile(dir.File("out/result.log"));
    for (const auto& row : rows)
        EXPECT_NE(log.find("#Source: " + row.Pack + "\r\n"), std::string::npos) << row.Line;
}

// Names that are not UTF-8 would reach the system as U+FFFD: the list or log
// holding them is refused, whatever names it.
TEST(WindowsPaths, ListsAndLogsThatAreNotUtf8AreRefused)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Entry(0, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    WriteFile(dir.File("latin.txt"), "t\xEEm\r\n");
    const std::string latinPack = dir.File("Donn\xE9" "es.BIN");
    WriteFile(dir.File("latin.lst"), latinPack + "\r\n");
    WriteFile(dir.File("latin.log"), "#Format: BIN\r\n#Source: " + latinPack + "\r\n");
    const struct {
        std::vector<std::string> Args;
        std::string File;
    } rows[] = {
        {{"-e", dir.File("latin.txt"), "DATA.BIN"}, dir.File("latin.txt")},
        {{"--mode", "lst", "-e", dir.File("ext.txt"), "latin.lst"}, dir.File("latin.lst")},
        {{"--mode", "log", "latin.log"}, dir.File("latin.log")},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{EIT_BATCH_DRIVER, "-o", dir.File("out")};
        args.insert(args.end(), row.Args.begin(), row.Args.end());
        const test::CommandRun run = test::RunProgram(dir, dir.Path(), args);
        EXPECT_EQ(run.Status, 1) << row.File;
        EXPECT_EQ(run.Err, "extract-insert-batch: " + row.File + " is not UTF-8 text\n");
    }
}

} // namespace
} // namespace eit
