#include "DataPack.h"
#include "FileError.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "RecordingView.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace eit {
namespace {

class ExtractPackTest : public ::testing::Test {
protected:
    ExtractPackTest()
    {
        State.TargetDir = Dir.File("out");
        State.ExtListPath = Dir.File("extlist.txt");
    }

    std::string Pack(const std::string& name, const PackBuilder& builder)
    {
        const std::string path = Dir.File(name);
        WriteFile(path, builder.Bytes());
        return path;
    }

    void ExtList(std::string_view text) { WriteFile(State.ExtListPath, text); }

    std::string ErrorOf(const std::string& pack) { return test::ErrorOf([&] { ExtractPack(pack, State, View); }); }

    TempDir Dir;
    BatchState State;
    RecordingView View;
};

TEST(HexDigitsFor, CoversTheSlotCountInPairsOfDigits)
{
    EXPECT_EQ(HexDigitsFor(0), 2);
    EXPECT_EQ(HexDigitsFor(255), 2);
    EXPECT_EQ(HexDigitsFor(256), 4);
    EXPECT_EQ(HexDigitsFor(8192), 4);
    EXPECT_EQ(HexDigitsFor(65535), 4);
    EXPECT_EQ(HexDigitsFor(65536), 6);
    EXPECT_EQ(HexDigitsFor(0xFFFFFFFFu), 8);
}

TEST(OutputName, NamesTheSlotBelowItsExtensionWithRawForAnEmptyLine)
{
    EXPECT_EQ(OutputName(test::NativePath("/in/DATA.BIN"), 10, "tim"), test::NativePath("TIM/DATA_000A.tim"));
    EXPECT_EQ(OutputName("a.b.bin", 8191, ""), test::NativePath("RAW/a_1FFF.raw"));
    EXPECT_EQ(OutputName(test::NativePath("dir.x/noext"), 0, "Bin"), test::NativePath("BIN/noext_0000.Bin"));
}

TEST(PackEntry, OffsetsAndLengthsDoNotOverflow)
{
    const PackEntry entry{0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(entry.Offset(), 65536 + 0xFFFFFFFFull * 2048);
    EXPECT_EQ(entry.Length(), 0xFFFFFFFFull * 2048);
    PackDirectory::Bytes directory{};
    const unsigned char slot3[8] = {0x10, 0, 0, 0, 0x02, 0, 0, 0};
    std::copy(slot3, slot3 + 8, directory.begin() + 24);
    EXPECT_EQ(PackDirectory::Decode(directory).Entry(3).Offset(), 98304u);
    EXPECT_EQ(PackDirectory::Decode(directory).Entry(3).Length(), 4096u);
}

TEST_F(ExtractPackTest, WritesEachSlotUnderItsExtensionAndLogsEverySlot)
{
    const PackBuilder builder = PackBuilder().Entry(0, 1).Entry(2, 2).Entry(10, 1).Entry(8191, 3);
    const std::string pack = Pack("DATA.BIN", builder);
    ExtList("tim\r\n\nBin\rlast\nunused\n");

    ExtractPack(pack, State, View);

    const std::string out = State.TargetDir;
    EXPECT_EQ(test::ListTree(out), "BIN/DATA_000A.Bin\nLAST/DATA_1FFF.last\nRAW/DATA_0002.raw\nTIM/DATA_0000.tim\n");
    EXPECT_EQ(ReadFile(Dir.File("out/TIM/DATA_0000.tim")), builder.EntryData(0));
    EXPECT_EQ(ReadFile(Dir.File("out/RAW/DATA_0002.raw")).size(), 4096u);
    EXPECT_EQ(ReadFile(Dir.File("out/RAW/DATA_0002.raw")), builder.EntryData(2));
    EXPECT_EQ(ReadFile(Dir.File("out/LAST/DATA_1FFF.last")), builder.EntryData(8191));

    const LineList& log = State.ResultLog;
    ASSERT_EQ(log.Count(), 8192);
    EXPECT_EQ(log.Get(0), Dir.File("out/TIM/DATA_0000.tim"));
    EXPECT_EQ(log.Get(1), "NULL");
    EXPECT_EQ(log.Get(2), Dir.File("out/RAW/DATA_0002.raw"));
    EXPECT_EQ(log.Get(10), Dir.File("out/BIN/DATA_000A.Bin"));
    EXPECT_EQ(log.Get(8191), Dir.File("out/LAST/DATA_1FFF.last"));
    EXPECT_EQ(View.Status, "Processing DATA.BIN...");
    EXPECT_EQ(State.ExtractedFiles, 4);
    EXPECT_EQ(State.ExtractedBytes, 7 * 2048);
}

TEST_F(ExtractPackTest, ReadsEachSlotAtItsOwnStartSector)
{
    // Slot 3 points at sector 16 (bytes 10 00 00 00 02 00 00 00), slot 4 at
    // sector 0: directory order and data order differ.
    std::string bytes = PackBuilder().RawSlot(3, 16, 2).RawSlot(4, 0, 1).Bytes();
    bytes.resize(65536 + 18 * 2048);
    for (std::size_t i = 65536; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i - 65536) / 2048);
    WriteFile(Dir.File("p.bin"), bytes);
    ExtList("a\nb\n");

    ExtractPack(Dir.File("p.bin"), State, View);

    EXPECT_EQ(ReadFile(Dir.File("out/A/p_0003.a")), std::string(2048, '\x10') + std::string(2048, '\x11'));
    EXPECT_EQ(ReadFile(Dir.File("out/B/p_0004.b")), std::string(2048, '\0'));
}

TEST_F(ExtractPackTest, EmptyPackWritesNothingButStillNeedsTheExtensionList)
{
    const std::string pack = Pack("empty.bin", PackBuilder());
    EXPECT_EQ(ErrorOf(pack), "Cannot open file " + State.ExtListPath
                                 + "\nGive the extension list with --extlist FILE, or write one with --make-extlist PACK.");
    ExtList("");
    ExtractPack(pack, State, View);
    EXPECT_EQ(State.ResultLog.Count(), 8192);
    EXPECT_EQ(State.ResultLog.Items(), std::vector<std::string>(8192, "NULL"));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/RAW")));
}

TEST_F(ExtractPackTest, BaseNameEndsAtTheFirstDotOrIsTheWholeName)
{
    const PackBuilder one = PackBuilder().Entry(5, 1);
    ExtList("tim\n");
    ExtractPack(Pack("a.b.bin", one), State, View);
    ExtractPack(Pack("NODOT", one), State, View);
    EXPECT_EQ(test::ListTree(State.TargetDir), "TIM/NODOT_0005.tim\nTIM/a_0005.tim\n");
}

TEST_F(ExtractPackTest, ReplacesAnExistingOutputFile)
{
    ExtList("tim\n");
    WriteFile(Dir.File("out/TIM/x_0000.tim"), std::string(10000, 'z'));
    const PackBuilder builder = PackBuilder().Entry(0, 1);
    ExtractPack(Pack("x.bin", builder), State, View);
    EXPECT_EQ(ReadFile(Dir.File("out/TIM/x_0000.tim")), builder.EntryData(0));
}

TEST_F(ExtractPackTest, ProgressMovesOncePerPercentAndPumpsOncePerChange)
{
    ExtList("");
    const std::string pack = Pack("p.bin", PackBuilder());
    View.Progress = 50;
    ExtractPack(pack, State, View);
    std::vector<int> expected(100);
    for (int i = 0; i < 100; ++i)
        expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(View.ProgressHistory, expected);
    EXPECT_EQ(View.EventPumps, 1 + 100);
    EXPECT_EQ(View.Extracted, "Extracted: 0");
}

TEST_F(ExtractPackTest, StopFlagEndsThePackBetweenSlots)
{
    ExtList("a\nb\nc\n");
    const std::string pack = Pack("p.bin", PackBuilder().Entry(0, 1).Entry(4000, 1).Entry(8000, 1));
    View.OnEvents = [&] {
        if (View.Progress == 33) // a third of the bytes: slot 0 is done
            State.StopFlag = 1;
    };
    ExtractPack(pack, State, View);
    EXPECT_EQ(test::ListTree(State.TargetDir), "A/p_0000.a\n");
    EXPECT_LT(State.ResultLog.Count(), 8192);
}

TEST_F(ExtractPackTest, LargeEntryMovesTheBarAndServesTheWindowWhileItIsCopied)
{
    // 24 MiB of zeros, several times the chunk the extraction copies at once.
    constexpr std::uint32_t kLarge = 12 * 1024;
    ExtList("a\nb\nc\n");
    const PackBuilder builder = PackBuilder().Entry(0, 1).ZeroEntry(1, kLarge).Entry(2, 1);
    builder.WriteSparse(Dir.File("p.bin"));
    std::vector<int> shownDuringSlot1;
    View.OnEvents = [&] {
        if (State.ResultLog.Count() == 1)
            shownDuringSlot1.push_back(View.Progress);
    };

    ExtractPack(Dir.File("p.bin"), State, View);

    // The bar follows the bytes: slot 0 is almost nothing, slot 1 nearly all.
    ASSERT_GE(shownDuringSlot1.size(), 2u);
    EXPECT_TRUE(std::is_sorted(shownDuringSlot1.begin(), shownDuringSlot1.end()));
    EXPECT_GT(shownDuringSlot1.front(), 0);
    EXPECT_LT(shownDuringSlot1.back(), 99);
    EXPECT_EQ(View.ProgressHistory.back(), 99);
    EXPECT_EQ(View.Extracted, "Extracted: 2");
    EXPECT_EQ(std::filesystem::file_size(Dir.File("out/B/p_0001.b")), kLarge * 2048ull);
    EXPECT_EQ(ReadFile(Dir.File("out/C/p_0002.c")), builder.EntryData(2));
    EXPECT_EQ(State.ResultLog.Count(), 8192);
}

TEST_F(ExtractPackTest, ReplacesFilesWhoseNamesFillTheNameLimit)
{
    EIT_SKIP_ON_WINDOWS("the test's own std::filesystem calls stop at 260 characters there");
    // An existing file is replaced through a temporary name beside it, which
    // must fit the 255-byte limit as well as the output name does.
    const struct {
        std::string Base;
        std::string Ext;
    } cases[]{
        {std::string(246, 'n'), "tim"},  // 246 + "_0000.tim" = 255 bytes
        {"p", std::string(243, 'e')},    // "p_0000." + 243 = 250 bytes
    };
    for (const auto& c : cases) {
        ExtList(c.Ext + "\n");
        const PackBuilder builder = PackBuilder().Entry(0, 1);
        const std::string pack = Pack(c.Base + ".bin", builder);
        const std::string name = AsciiUpper(c.Ext) + "/" + c.Base + "_0000." + c.Ext;
        ExtractPack(pack, State, View);
        WriteFile(Dir.File("out/" + name), "stale");
        ExtractPack(pack, State, View);
        EXPECT_EQ(ReadFile(Dir.File("out/" + name)), builder.EntryData(0)) << c.Ext;
        EXPECT_EQ(test::ListTree(State.TargetDir), name + "\n"); // no temporary left
        std::filesystem::remove_all(State.TargetDir);
    }
}

TEST_F(ExtractPackTest, EntriesBeyondTwoGibibytesAreReachedWith64BitOffsets)
{
    const std::uint32_t start = 1100000; // 2.1 GiB into the data area
    const std::string path = Dir.File("big.bin");
    WriteFile(path, PackBuilder().RawSlot(0, start, 1).Bytes().substr(0, 65536));
    const std::string data(2048, 'Q');
    if (!test::WriteAt(path, 65536 + std::uint64_t{start} * 2048, data))
        GTEST_SKIP() << "no room for a sparse file of 2 GiB here";
    ExtList("far\n");
    ExtractPack(path, State, View);
    EXPECT_EQ(ReadFile(Dir.File("out/FAR/big_0000.far")), data);
}

TEST(MakeOutputPath, JoinsBelowTheTargetOrMirrorsTheScannedFolders)
{
    TempDir dir;
    BatchState state;
    state.TargetDir = dir.File("out");
    const std::string pack = dir.File("packs/sub/a.bin");
    EXPECT_EQ(MakeOutputPath(state, pack, test::NativePath("TIM/a_0005.tim")), dir.File("out/TIM/a_0005.tim"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("out/TIM")));

    state.ScannedList = true;
    state.ScanRoot = dir.File("packs");
    EXPECT_EQ(MakeOutputPath(state, pack, test::NativePath("TIM/a_0005.tim")), dir.File("out/sub/TIM/a_0005.tim"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("out/sub/TIM")));
    // A pack directly in the scanned folder writes as without a scan.
    EXPECT_EQ(MakeOutputPath(state, dir.File("packs/b.bin"), test::NativePath("X/b.x")), dir.File("out/X/b.x"));
    // A root typed with a trailing separator lists paths with two of them.
    state.ScanRoot = dir.File("packs/");
    EXPECT_EQ(MakeOutputPath(state, dir.File("packs//sub/deep/c.bin"), test::NativePath("X/c.x")), dir.File("out/sub/deep/X/c.x"));
    // Entries that do not lie below the root, or climb out of it, stay below TargetDir.
    EXPECT_EQ(MakeOutputPath(state, test::NativePath("/elsewhere/d.bin"), test::NativePath("X/d.x")), dir.File("out/X/d.x"));
    EXPECT_EQ(MakeOutputPath(state, dir.File("packs/../../e.bin"), test::NativePath("X/e.x")), dir.File("out/X/e.x"));
}

// Tests of all the error paths follow.

TEST_F(ExtractPackTest, MissingOrUnreadablePackIsNamed)
{
    ExtList("");
    EXPECT_EQ(ErrorOf(Dir.File("none.bin")), "Cannot open file " + Dir.File("none.bin"));
    EXPECT_EQ(ErrorOf(Dir.Path()), "Cannot open file " + Dir.Path());
    EXPECT_EQ(State.ResultLog.Count(), 0);
}

TEST_F(ExtractPackTest, PackShorterThanItsDirectoryWritesNothing)
{
    ExtList("");
    WriteFile(Dir.File("short.bin"), std::string(65535, '\0'));
    EXPECT_EQ(ErrorOf(Dir.File("short.bin")),
              "Data pack " + Dir.File("short.bin") + " is shorter than its 65536-byte directory");
    EXPECT_EQ(State.ResultLog.Count(), 0);
    EXPECT_FALSE(std::filesystem::exists(State.TargetDir));
}

TEST_F(ExtractPackTest, ShortExtensionListNamesTheMissingLine)
{
    ExtList("tim");
    const std::string pack = Pack("p.bin", PackBuilder().Entry(0, 1).Entry(3, 1));
    EXPECT_EQ(ErrorOf(pack), "List index out of bounds (1)\n" + State.ExtListPath + " has 1 line, " + pack
                                 + " needs 2; make a starter list with --make-extlist");
    // What was extracted before the missing line stays.
    EXPECT_EQ(test::ListTree(State.TargetDir), "TIM/p_0000.tim\n");
    EXPECT_EQ(State.ResultLog.Count(), 3);
}

TEST_F(ExtractPackTest, EntryPastTheEndLeavesNoPartialFile)
{
    ExtList("a\nb\n");
    std::string bytes = PackBuilder().Entry(0, 1).Entry(1, 4).Bytes();
    bytes.resize(bytes.size() - 100); // the second entry loses its last bytes
    WriteFile(Dir.File("cut.bin"), bytes);
    EXPECT_EQ(ErrorOf(Dir.File("cut.bin")), "Stream read error: " + Dir.File("cut.bin"));
    EXPECT_EQ(test::ListTree(State.TargetDir), "A/cut_0000.a\n"); // no B file, no temporary

    State.ResultLog.Clear();
    WriteFile(Dir.File("huge.bin"), PackBuilder().RawSlot(0, 0, 0xFFFFFFFFu).Bytes());
    EXPECT_EQ(ErrorOf(Dir.File("huge.bin")), "Stream read error: " + Dir.File("huge.bin"));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/A/huge_0000.a")));
}

TEST_F(ExtractPackTest, ExtensionThatCannotBeAFileNameIsRefusedFirst)
{
    const std::string pack = Pack("p.bin", PackBuilder().Entry(0, 1).Entry(1, 1).Entry(2, 1));
    // Each row is line 3 of the list; true where it names a file anywhere.
    const std::vector<std::pair<std::string, bool>> rows{
        {"..", false}, {".", false}, {"tim.", false}, {"tim ", false}, {"../../etc", false}, {"a\\b", false},
        {"a/b", false}, {"c:x", false}, {"a*", false}, {"a?", false}, {"a<", false}, {"a>", false},
        {"a|b", false}, {"a\"b", false}, {"a\tb", false}, {std::string("a\x01", 2), false}, {"a\x7f", false},
        {"con", false}, {"Lpt9", false},
        {" tim", true}, {"t.im", true}, {"tim~", true}, {"\xc3\xa9t\xc3\xa9", true}, {"console", true}, {"", true},
    };
    for (const auto& [ext, ok] : rows) {
        std::filesystem::remove_all(State.TargetDir);
        ExtList("ok\r\nfine\n" + ext + "\nnever-used/../\n");
        if (ok) {
            EXPECT_EQ(ErrorOf(pack), "no error") << ext;
        } else {
            EXPECT_EQ(ErrorOf(pack),
                      "Extension list " + State.ExtListPath + " line 3: \"" + ext + "\" cannot be a file extension");
            EXPECT_FALSE(std::filesystem::exists(State.TargetDir)) << ext;
        }
    }
}

TEST_F(ExtractPackTest, NothingIsWrittenThroughALinkStandingWhereAnOutputFolderGoes)
{
    namespace fs = std::filesystem;
    ExtList("\n");
    State.ScannedList = true;
    State.ScanRoot = Dir.File("packs");
    const std::string pack = Dir.File("packs/sub/p.bin");
    fs::create_directories(Dir.File("packs/sub"));
    WriteFile(pack, PackBuilder().Entry(0, 1).Bytes());
    fs::create_directories(Dir.File("elsewhere"));
    WriteFile(Dir.File("file"), "x");
    struct Row {
        const char* Planted; // below out/
        const char* Target;  // what the link points at, below the test folder
    };
    const Row rows[] = {
        {"sub/RAW", "elsewhere"}, {"sub", "elsewhere"}, {"sub/RAW", "missing"}, {"sub", "file"},
    };
    for (const Row& row : rows) {
        fs::remove_all(State.TargetDir);
        const fs::path planted = fs::path(Dir.File("out")) / row.Planted;
        fs::create_directories(planted.parent_path());
        std::error_code ec;
        fs::create_directory_symlink(Dir.File(row.Target), planted, ec);
        if (ec)
            GTEST_SKIP() << "no links here: " << ec.message();
        EXPECT_EQ(ErrorOf(pack), "Cannot create file " + Dir.File("out/sub/RAW/p_0000.raw")) << row.Planted;
        EXPECT_EQ(test::ListTree(Dir.File("elsewhere")), "") << row.Planted;
        EXPECT_EQ(ReadFile(Dir.File("file")), "x");
        EXPECT_FALSE(fs::exists(Dir.File("missing"))) << row.Planted;
    }
    // The output folder chosen by the user may itself be a link.
    fs::remove_all(State.TargetDir);
    fs::create_directory_symlink(Dir.File("elsewhere"), State.TargetDir);
    EXPECT_EQ(ErrorOf(pack), "no error");
    EXPECT_EQ(test::ListTree(Dir.File("elsewhere")), "sub/RAW/p_0000.raw\n");
}

TEST_F(ExtractPackTest, FolderStandingUnderAnOutputNameStopsThePackThere)
{
    ExtList("tim\ntim\ntim\n");
    std::filesystem::create_directories(Dir.File("out/TIM/p_0001.tim"));
    const std::string pack = Pack("p.bin", PackBuilder().Entry(0, 1).Entry(1, 1).Entry(2, 1).Entry(3, 40));
    EXPECT_EQ(ErrorOf(pack), "Cannot create file " + Dir.File("out/TIM/p_0001.tim"));
    // The slot before keeps its file; nothing after the failure gets a name,
    // and no temporary is left.
    EXPECT_EQ(test::ListTree(State.TargetDir), "TIM/p_0000.tim\n");
    EXPECT_TRUE(std::filesystem::is_directory(Dir.File("out/TIM/p_0001.tim")));
}

TEST_F(ExtractPackTest, FileStandingWhereAFolderMustBeCreatedIsNamed)
{
    ExtList("tim\n");
    WriteFile(Dir.File("out/TIM"), "a file, not a folder");
    const std::string pack = Pack("p.bin", PackBuilder().Entry(0, 1));
    EXPECT_EQ(ErrorOf(pack), "Cannot create file " + Dir.File("out/TIM/p_0000.tim"));
}

} // namespace
} // namespace eit
