#include "DataPack.h"
#include "LineList.h"
#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace eit {
namespace {

using DriverRun = test::CommandRun;
using test::RunDriver;

TEST(BatchDriver, ExtractsPacksLikeTheWindowAndSaysSo)
{
    TempDir dir;
    const PackBuilder builder = PackBuilder().Entry(1, 2).Entry(3, 1);
    WriteFile(dir.File("in/DATA.BIN"), builder.Bytes());
    WriteFile(dir.File("in/x.bin"), PackBuilder().Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n\r\n");

    const DriverRun run = RunDriver(dir, "--extlist " + dir.File("ext.txt") + " --output " + dir.File("new/out") + " "
                                       + dir.File("in/DATA.BIN") + " " + dir.File("in/x.bin"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Total 6144 bytes extracted.\nOperation complete!\n");
    EXPECT_EQ(test::ListTree(dir.File("new/out")), "RAW/DATA_0003.raw\nTIM/DATA_0001.tim\nresult.log\n");
    EXPECT_EQ(ReadFile(dir.File("new/out/TIM/DATA_0001.tim")), builder.EntryData(1));
    const std::string log = ReadFile(dir.File("new/out/result.log"));
    const std::string head = "#Format: BIN\r\n#Source: " + dir.File("in/DATA.BIN") + "\r\nNULL\r\n"
        + dir.File("new/out/TIM/DATA_0001.tim") + "\r\nNULL\r\n" + dir.File("new/out/RAW/DATA_0003.raw") + "\r\n";
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_EQ(log.size(), head.size() + 8188 * 6 + ("#Format: BIN\r\n#Source: " + dir.File("in/x.bin") + "\r\n").size() + 8192 * 6);
}

// Both systems write the same: the files, and result.log line for line, its
// paths with the system's separator. The stored log is written with "/"
// and @DIR@ for the scratch folder. Every entry holds CR, LF and 0x1A bytes,
// which a text-mode write would change.
TEST(BatchDriver, WritesTheStoredResultLogAndTheEntriesByteForByte)
{
    TempDir dir;
    const PackBuilder builder = PackBuilder().Entry(0, 1).Entry(2, 2).Entry(0x1FFF, 1);
    for (const char byte : {'\r', '\n', '\x1a'})
        ASSERT_NE(builder.EntryData(0).find(byte), std::string::npos);
    WriteFile(dir.File("in/DATA.BIN"), builder.Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n\r\nbin\r\n");

    const DriverRun run = RunDriver(dir, "-e " + dir.File("ext.txt") + " -o " + dir.File("out") + " "
                                       + dir.File("in/DATA.BIN"));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Total 8192 bytes extracted.\nOperation complete!\n");
    EXPECT_EQ(test::ListTree(dir.File("out")), "BIN/DATA_1FFF.bin\nRAW/DATA_0002.raw\nTIM/DATA_0000.tim\nresult.log\n");
    EXPECT_EQ(ReadFile(dir.File("out/TIM/DATA_0000.tim")), builder.EntryData(0));
    EXPECT_EQ(ReadFile(dir.File("out/RAW/DATA_0002.raw")), builder.EntryData(2));
    EXPECT_EQ(ReadFile(dir.File("out/BIN/DATA_1FFF.bin")), builder.EntryData(0x1FFF));

    std::string expected = test::NativePath(ReadFile(test::DataFile("driver-result.log")));
    for (std::size_t at; (at = expected.find("@DIR@")) != std::string::npos;)
        expected.replace(at, 5, dir.Path());
    EXPECT_TRUE(ReadFile(dir.File("out/result.log")) == expected) << "result.log differs from the stored one";
}

TEST(BatchDriver, HelpExplainsTheCommand)
{
    TempDir dir;
    const DriverRun run = RunDriver(dir, "--help");
    EXPECT_EQ(run.Status, 0);
    for (const char* text : {"Usage: extract-insert-batch [OPTION]... -o DIR PACK...", "-o, --output=DIR",
                             "-e, --extlist=FILE", "--mode=MODE", "--scan=ROOT", "--type=TYPE", "-q, --quiet",
                             "--progress", "--list", "--make-extlist", "-h, --help", "--version",
                             "project list: the lines of the lists, in order, name the packs", "  0        every file",
                             "  1        a failure", "  2        bad usage", "  128+N    stopped by signal N"})
        EXPECT_NE(run.Out.find(text), std::string::npos) << text;

    const DriverRun version = RunDriver(dir, "--version");
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, "extract-insert-batch " EIT_VERSION "\n");

    for (const char* args : {"-h", "--he", "-qh -o out x.bin", test::kOnWindows ? "/?" : "--help"}) {
        const DriverRun again = RunDriver(dir, args);
        EXPECT_EQ(again.Status, 0) << args;
        EXPECT_EQ(again.Out, run.Out) << args;
    }
}

#ifdef EIT_WINDOW_PROGRAM
// The window program answers without a window, so with no display at all.
TEST(WindowProgram, HelpAndVersionNeedNoDisplay)
{
    TempDir dir;
    const struct {
        std::vector<std::string> Args;
        std::vector<std::string> Texts;
    } rows[] = {
        {{"--help"},
         {"Usage: extract-insert-tool [OPTION]... [FILE|FOLDER]...\n", "as if dropped on it", "  -h, --help ",
          "      --version ", "  -platform NAME ", "  -style NAME "}},
        {{"DATA.BIN", "-h"}, {"Usage: extract-insert-tool"}},
        {{"--version"}, {"extract-insert-tool " EIT_VERSION "\n"}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"/usr/bin/env", "-u", "QT_QPA_PLATFORM", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                      EIT_WINDOW_PROGRAM};
        args.insert(args.end(), row.Args.begin(), row.Args.end());
        const DriverRun run = test::RunProgram(dir, dir.Path(), args);
        EXPECT_EQ(run.Status, 0) << row.Args.back() << '\n' << run.Err;
        for (const std::string& text : row.Texts)
            EXPECT_NE(run.Out.find(text), std::string::npos) << text;
    }
}
#endif

// Every form of an option gives the same batch.
TEST(BatchDriver, ShortAndJoinedOptionFormsGiveTheSameResult)
{
    TempDir dir;
    WriteFile(dir.File("packs/DATA.BIN"), PackBuilder().Entry(1, 1).Entry(4, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n\r\n");
    const std::string e = dir.File("ext.txt");
    const std::string pack = dir.File("packs/DATA.BIN");
    const std::vector<std::string> forms{
        "--extlist " + e + " --output OUT " + pack,
        "-e " + e + " -o OUT " + pack,
        "--extlist=" + e + " --output=OUT --mode=bin " + pack,
        "-o OUT --mode bin --extlist " + e + " -- " + pack,
        "--scan=" + dir.File("packs") + " --type=bin -e " + e + " -o OUT",
        "--scan " + dir.File("packs") + " --type bin --extlist=" + e + " --output OUT",
        "-e" + e + " -oOUT " + pack,
        pack + " -qo OUT --ext " + e,
        "--extl " + e + " -qoOUT --mo=bin " + pack,
    };
    for (std::size_t k = 0; k < forms.size(); ++k) {
        const std::string out = dir.File("out" + std::to_string(k));
        std::string args = forms[k];
        args.replace(args.find("OUT"), 3, out);
        const DriverRun run = RunDriver(dir, args);
        EXPECT_EQ(run.Status, 0) << args << '\n' << run.Err;
        const bool quiet = args.find(" -qo") != std::string::npos;
        EXPECT_EQ(run.Out, quiet ? "Operation complete!\n" : "Total 4096 bytes extracted.\nOperation complete!\n") << args;
        EXPECT_EQ(test::ListTree(out), "RAW/DATA_0004.raw\nTIM/DATA_0001.tim\nresult.log\n") << args;
    }
}

// The input files come from the command line and from lists of names, one
// a line as tar's -T reads them; after "--" a name may start with "-".
TEST(BatchDriver, InputsComeFromTheCommandLineAndFromListsOfNames)
{
    TempDir dir;
    WriteFile(dir.File("in/A.BIN"), PackBuilder().Entry(1, 1).Bytes());
    WriteFile(dir.File("in/B.BIN"), PackBuilder().Entry(2, 1).Bytes());
    WriteFile(dir.File("-x.bin"), PackBuilder().Entry(3, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    // CR LF and LF line ends, empty lines passed over, relative names taken
    // against the working folder as on the command line.
    WriteFile(dir.File("lists/names.txt"), test::NativePath("in/A.BIN") + "\r\n\r\n" + dir.File("in/B.BIN") + "\n");
    WriteFile(dir.File("lists/more.txt"), "\n-x.bin");
    const std::string both = "TIM/A_0001.tim\nTIM/B_0002.tim\nresult.log\n";
    const struct {
        std::string Args;
        std::string Tree;
    } rows[] = {
        {"--files-from=lists/names.txt", both},
        {"-T lists/names.txt", both},
        {"--files-from lists/names.txt --files-from=lists/more.txt", "TIM/-x_0003.tim\n" + both},
        {"in/A.BIN --files-from lists/more.txt", "TIM/-x_0003.tim\nTIM/A_0001.tim\nresult.log\n"},
        {"-- -x.bin", "TIM/-x_0003.tim\nresult.log\n"},
        {"-T lists/more.txt -- in/B.BIN", "TIM/-x_0003.tim\nTIM/B_0002.tim\nresult.log\n"},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(dir.File("out"));
        const DriverRun run = RunDriver(dir, "-e ext.txt -o " + dir.File("out") + " " + row.Args);
        EXPECT_EQ(run.Status, 0) << row.Args << '\n' << run.Err;
        EXPECT_EQ(test::ListTree(dir.File("out")), row.Tree) << row.Args;
    }
    // The order of the batch is that of the names: the FILEs, then each list.
    const std::string log = ReadFile(dir.File("out/result.log"));
    EXPECT_LT(log.find(dir.File("in/B.BIN")), log.find(dir.File("-x.bin")));

    const DriverRun list = RunDriver(dir, "--list -T lists/more.txt");
    EXPECT_EQ(list.Status, 0) << list.Err;
    EXPECT_NE(list.Out.find("\n0003  "), std::string::npos) << list.Out;
}

TEST(BatchDriver, FilesFromStandardInput)
{
    EIT_SKIP_ON_WINDOWS("no POSIX shell pipelines on Windows");
    TempDir dir;
    WriteFile(dir.File("A.BIN"), PackBuilder().Entry(1, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    const DriverRun run = test::RunProgram(
        dir, dir.Path(),
        {"/bin/sh", "-c", "printf '\\nA.BIN\\r\\n' | \"$0\" \"$@\"", EIT_BATCH_DRIVER, "-e", "ext.txt", "-o", "out", "-T", "-"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(test::ListTree(dir.File("out")), "TIM/A_0001.tim\nresult.log\n");
}

TEST(BatchDriver, ListAndMakeExtListSurveyPacksWithoutAnOutputFolder)
{
    TempDir dir;
    std::string bytes = PackBuilder().Entry(1, 1).Entry(0x1FFF, 2).Bytes();
    bytes.replace(65536, 4, "TIM2");
    WriteFile(dir.File("DATA.BIN"), bytes);
    WriteFile(dir.File("EMPTY.BIN"), PackBuilder().Bytes());
    const std::string listing = "slot  StartSector  SectorCount          bytes  type\n"
                                "0001            0            1           2048  TIM2\n"
                                "1FFF            1            2           4096\n"
                                "2 non-empty slots: the extension list needs 2 lines\n";

    const DriverRun list = RunDriver(dir, "--list DATA.BIN");
    EXPECT_EQ(list.Status, 0) << list.Err;
    EXPECT_EQ(list.Out, listing);
    const DriverRun two = RunDriver(dir, "--list DATA.BIN EMPTY.BIN");
    EXPECT_EQ(two.Out, "DATA.BIN:\n" + listing + "\nEMPTY.BIN:\nslot  StartSector  SectorCount          bytes  type\n"
                                                 "0 non-empty slots: the extension list needs 0 lines\n");
    const DriverRun missing = RunDriver(dir, "--list NONE.BIN DATA.BIN");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Err, "extract-insert-batch: Cannot open file NONE.BIN\n");
    EXPECT_NE(missing.Out.find(listing), std::string::npos);
    WriteFile(dir.File("SHORT.BIN"), "x");
    EXPECT_EQ(RunDriver(dir, "--list SHORT.BIN").Err,
              "extract-insert-batch: Data pack SHORT.BIN is shorter than its 65536-byte directory\n");
    // The extraction would fail at an entry past the pack's end: the listing
    // shows it, and the run fails naming the pack.
    WriteFile(dir.File("CUT.BIN"), bytes.substr(0, bytes.size() - 1));
    const DriverRun cut = RunDriver(dir, "--list CUT.BIN");
    EXPECT_EQ(cut.Status, 1);
    EXPECT_NE(cut.Out.find("1FFF            1            2           4096  (past the end of the pack)\n"),
              std::string::npos) << cut.Out;
    EXPECT_EQ(cut.Err, "extract-insert-batch: Stream read error: CUT.BIN\n");

    const DriverRun make = RunDriver(dir, "--make-extlist DATA.BIN");
    EXPECT_EQ(make.Status, 0) << make.Err;
    EXPECT_EQ(make.Out, "tm2\r\n\r\n");
    EXPECT_EQ(RunDriver(dir, "--make-extlist DATA.BIN EMPTY.BIN").Status, 2);
    EXPECT_EQ(RunDriver(dir, "--list --make-extlist DATA.BIN").Status, 2);
}

// Failures to find the extension list or enough lines in it say how to get
// one; a list that is there but wrong says only what is wrong.
TEST(BatchDriver, ExtensionListFailuresSayWhatToDo)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Entry(0, 1).Entry(1, 1).Bytes());
    WriteFile(dir.File("short.txt"), "tim\r\n");
    WriteFile(dir.File("bad.txt"), "t/m\r\ntim\r\n");
    WriteFile(dir.File("utf16.txt"), std::string("\xFF\xFEt\0i\0m\0\r\0\n\0t\0i\0m\0", 18));
    std::filesystem::create_directory(dir.File("folder.txt"));
    const std::string hint = "Give the extension list with --extlist FILE, or write one with --make-extlist PACK.\n";
    const struct {
        std::string List;
        std::string Message;
        bool Hint;
    } rows[] = {
        {dir.File("none.txt"), "Cannot open file " + dir.File("none.txt"), true},
        {dir.File("folder.txt"), "Cannot open file " + dir.File("folder.txt/DATA.txt"), true},
        {dir.File("short.txt"),
         "List index out of bounds (1)\n" + dir.File("short.txt") + " has 1 line, " + dir.File("DATA.BIN")
             + " needs 2; make a starter list with --make-extlist",
         false},
        {dir.File("utf16.txt"), "Extension list " + dir.File("utf16.txt") + " is UTF-16 text; save it as UTF-8", false},
        {dir.File("bad.txt"), "Extension list " + dir.File("bad.txt") + " line 1: \"t/m\" cannot be a file extension",
         false},
    };
    for (const auto& row : rows) {
        const DriverRun run = RunDriver(dir, "-e " + row.List + " -o " + dir.File("out") + " " + dir.File("DATA.BIN"));
        EXPECT_EQ(run.Status, 1) << row.List;
        EXPECT_EQ(run.Err, "extract-insert-batch: " + row.Message + "\n" + (row.Hint ? hint : "")) << row.List;
        EXPECT_FALSE(std::filesystem::exists(dir.File("out"))) << row.List; // refused before the folder is made
    }
    const DriverRun pack = RunDriver(dir, "-e " + dir.File("short.txt") + " -o " + dir.File("out") + " NONE.BIN");
    EXPECT_EQ(pack.Err, "extract-insert-batch: Cannot open file " + dir.File("NONE.BIN") + "\n");
}

// Packs with different contents each get a list of their own from a folder
// of lists, which --make-extlist -o fills; one list for packs that need
// fewer lines is said on stderr, and the batch goes on.
TEST(BatchDriver, AFolderOfListsServesEachPackItsOwn)
{
    TempDir dir;
    WriteFile(dir.File("A.BIN"), PackBuilder().Entry(0, 1).Bytes());
    PackBuilder b = PackBuilder().Entry(2, 1).Entry(5, 1);
    WriteFile(dir.File("B.BIN"), b.Bytes());
    const std::string packs = " " + dir.File("A.BIN") + " " + dir.File("B.BIN");

    const DriverRun make = RunDriver(dir, "--make-extlist -o lists" + packs);
    EXPECT_EQ(make.Status, 0) << make.Err;
    EXPECT_EQ(test::ListTree(dir.File("lists")), "A.txt\nB.txt\n");
    WriteFile(dir.File("lists/B.txt"), "tim\r\nwav\r\n");
    const DriverRun again = RunDriver(dir, "--make-extlist -o lists" + packs);
    EXPECT_EQ(again.Status, 1);
    EXPECT_EQ(again.Err, "extract-insert-batch: Extension list " + test::NativePath("lists/A.txt")
                             + " exists; remove it to make a new one\n"
                               "extract-insert-batch: Extension list " + test::NativePath("lists/B.txt")
                             + " exists; remove it to make a new one\n");

    const struct {
        const char* List;
        std::string Tree;
        std::string Err;
    } rows[] = {
        {"lists", "RAW/A_0000.raw\nTIM/B_0002.tim\nWAV/B_0005.wav\nresult.log\n", ""},
        {"lists/B.txt", "TIM/A_0000.tim\nTIM/B_0002.tim\nWAV/B_0005.wav\nresult.log\n",
         "Extension list " + dir.File("lists/B.txt") + " has 2 lines, " + dir.File("A.BIN")
             + " needs 1: is it the list of another pack?\n"},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(dir.File("out"));
        for (const char* quiet : {"", " -q"}) {
            const DriverRun run = RunDriver(dir, std::string("-e ") + row.List + quiet + " -o out" + packs);
            EXPECT_EQ(run.Status, 0) << row.List;
            EXPECT_EQ(run.Err, row.Err) << row.List << quiet;
            EXPECT_EQ(test::ListTree(dir.File("out")), row.Tree) << row.List;
        }
    }
    EXPECT_EQ(ReadFile(dir.File("out/WAV/B_0005.wav")), b.EntryData(5));
}

// A project list's lines are the packs to extract, one list after another;
// a relative line is taken against its list's folder.
TEST(BatchDriver, ProjectListsNameThePacksToExtract)
{
    TempDir dir;
    WriteFile(dir.File("a/A.BIN"), PackBuilder().Entry(2, 1).Bytes());
    WriteFile(dir.File("b/B.BIN"), PackBuilder().Entry(3, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "dat\r\n");
    WriteFile(dir.File("a/one.lst"), "A.BIN\r\n\r\n");
    WriteFile(dir.File("two.lst"), dir.File("b/B.BIN") + "\r\n");
    const std::string options = "--mode lst -e " + dir.File("ext.txt") + " -o ";
    // A scan finds a/one.lst before two.lst; the packs are not mirrored.
    for (const std::string& args : {options + dir.File("out") + " " + test::NativePath("a/one.lst") + " two.lst",
                                    "--scan " + dir.Path() + " --type lst -e ext.txt -o " + dir.File("out")}) {
        std::filesystem::remove_all(dir.File("out"));
        const DriverRun run = RunDriver(dir, args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(test::ListTree(dir.File("out")), "DAT/A_0002.dat\nDAT/B_0003.dat\nresult.log\n") << args;
        const std::string log = ReadFile(dir.File("out/result.log"));
        EXPECT_TRUE(log.starts_with("#Format: BIN\r\n#Source: " + dir.File("a/A.BIN") + "\r\n")) << args;
        EXPECT_NE(log.find("#Format: BIN\r\n#Source: " + dir.File("b/B.BIN") + "\r\n"), std::string::npos);
    }

    WriteFile(dir.File("empty.lst"), "");
    const DriverRun empty = RunDriver(dir, options + dir.File("out2") + " empty.lst");
    EXPECT_EQ(empty.Status, 1);
    EXPECT_EQ(empty.Err, "extract-insert-batch: no pack named in " + dir.File("empty.lst") + "\n");
    const DriverRun missing = RunDriver(dir, options + dir.File("out2") + " none.lst");
    EXPECT_EQ(missing.Err, "extract-insert-batch: Cannot open file " + dir.File("none.lst") + "\n");
}

// A replay says what it did with every source, and changes nothing.
TEST(BatchDriver, ReplaysResultLogsLineByLineWithoutWritingALog)
{
    TempDir dir;
    WriteFile(dir.File("in/DATA.BIN"), PackBuilder().Entry(1, 2).Bytes());
    // Windows has no FIFOs: the sources that are no regular files are its
    // devices there.
    std::string special, passedOver;
    if (!test::kOnWindows) {
        test::MakeFifo(dir.File("in/fifo"));
        special = "#Source: " + dir.File("in/fifo") + "\r\n";
        passedOver = "Passed over " + dir.File("in/fifo") + " (not a regular file)\n";
    }
    for (const std::string device : {"CON", "NUL", "COM1"}) {
        if (test::kOnWindows) {
            special += "#Source: " + device + "\r\n";
            passedOver += "Passed over " + device + " (not a regular file)\n";
        }
    }
    const std::string pack = ReadFile(dir.File("in/DATA.BIN"));
    // The pack's section: slot 1 names a file that is not there, so the
    // slot keeps its data and the pack is left as it was.
    std::string slots = "NULL\r\n" + dir.File("in/TIM/DATA_0001.tim") + "\r\n";
    for (int slot = 2; slot < 8192; ++slot)
        slots += "NULL\r\n";
    WriteFile(dir.File("r.log"), "#Format: BIN\r\n#Source: " + dir.File("in/DATA.BIN") + "\r\n" + slots + "#Source: "
                                     + dir.File("in/gone.bin") + "\r\n#Format: \r\n#Source: " + dir.File("in/DATA.BIN")
                                     + "\r\n" + special);

    const DriverRun run = RunDriver(dir, "--mode log --output " + dir.File("replay") + " r.log");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Opened " + dir.File("in/DATA.BIN") + "\nDATA.BIN: no file changed, pack left as it was\n"
                           + "Passed over " + dir.File("in/gone.bin") + " (missing)\nOpened "
                           + dir.File("in/DATA.BIN") + "\n" + passedOver + "Operation complete!\n");
    EXPECT_EQ(test::ListTree(dir.File("replay")), "");
    EXPECT_EQ(ReadFile(dir.File("in/DATA.BIN")), pack);

    const DriverRun quiet = RunDriver(dir, "-q --mode log --output " + dir.File("replay") + " r.log");
    EXPECT_EQ(quiet.Out, "Operation complete!\n");
    EXPECT_EQ(quiet.Err, "");
}

// A log in which no record names a pack format rebuilds nothing and says
// so; a run in which no pack was rebuilt or checked then fails.
TEST(BatchDriver, LogNamingNoPackFailsTheRunUnlessAPackWasChecked)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Entry(1, 1).Bytes());
    std::string section = "#Format: BIN\r\n#Source: " + dir.File("DATA.BIN") + "\r\n";
    for (int slot = 0; slot < 8192; ++slot)
        section += slot == 1 ? dir.File("missing.tim") + "\r\n" : "NULL\r\n";
    WriteFile(dir.File("packs.log"), section);
    WriteFile(dir.File("lower.log"), "#Format: bin\r\n#Source: " + dir.File("DATA.BIN") + "\r\n");
    WriteFile(dir.File("joined.log"), "#Format:BIN\r\n");
    const auto said = [&](const std::string& log) {
        return dir.File(log) + ": no \"#Format: BIN\" record, nothing rebuilt\n";
    };
    const auto failed = [&](const std::string& log) { return "extract-insert-batch: " + said(log); };
    const std::string opened = "Opened " + dir.File("DATA.BIN") + "\n";
    const std::string checked = "DATA.BIN: no file changed, pack left as it was\n";
    const struct {
        std::string Args;
        int Status;
        std::string Out;
        std::string Err;
    } rows[] = {
        {"lower.log", 1, opened + said("lower.log") + "Operation complete!\n", ""},
        {"-q lower.log joined.log", 1, "Operation complete!\n", failed("lower.log") + failed("joined.log")},
        {"joined.log packs.log", 0, said("joined.log") + opened + checked + "Operation complete!\n", ""},
        {"--dry-run packs.log lower.log", 0,
         opened + checked + opened + said("lower.log") + "Operation complete!\n", ""},
    };
    for (const auto& row : rows) {
        const DriverRun run = RunDriver(dir, "--mode log -o " + dir.File("out") + " " + row.Args);
        EXPECT_EQ(run.Status, row.Status) << row.Args;
        EXPECT_EQ(run.Out, row.Out) << row.Args;
        EXPECT_EQ(run.Err, row.Err) << row.Args;
    }
}

// Progress goes to stderr: nothing when it is no terminal, unless asked
// for, and then one plain line per change; --quiet leaves only the end.
TEST(BatchDriver, ProgressLinesOnlyWhenAskedForAndQuietKeepsOnlyTheEnd)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Entry(0, 1).Bytes());
    WriteFile(dir.File("ext.txt"), "\r\n");
    const std::string args = "-e " + dir.File("ext.txt") + " -o " + dir.File("out") + " DATA.BIN DATA.BIN";
    // The pack's one entry is all its bytes: the bar goes from 0 to 99 at
    // once and the second pack leaves it there; only Total moves then.
    std::string lines;
    const auto addLine = [&lines](int percent, int total) {
        char line[64];
        std::snprintf(line, sizeof line, "%3d%%  total %3d%%  Processing DATA.BIN...\n", percent, total);
        lines += line;
    };
    addLine(99, 0);
    addLine(99, 50);
    const struct {
        std::string Options;
        std::string Out;
        std::string Err;
    } rows[] = {{"", "Total 4096 bytes extracted.\nOperation complete!\n", ""},
                {"--progress ", "Total 4096 bytes extracted.\nOperation complete!\n", lines},
                {"-q ", "Operation complete!\n", ""},
                {"--quiet --progress ", "Operation complete!\n", lines}};
    for (const auto& row : rows) {
        const DriverRun run = RunDriver(dir, row.Options + args);
        EXPECT_EQ(run.Status, 0) << row.Options;
        EXPECT_EQ(run.Out, row.Out) << row.Options;
        EXPECT_EQ(run.Err, row.Err) << row.Options;
    }
}

// On a terminal the progress bar is redrawn in place: a long name is cut so
// that the line never reaches the terminal's last column, where it would
// wrap and scroll. script(1) gives the driver a terminal of 60 columns.
TEST(BatchDriver, ProgressBarOnATerminalFitsItsWidth)
{
    EIT_SKIP_ON_WINDOWS("no pseudo terminals on Windows");
    if (!std::filesystem::exists("/usr/bin/script"))
        GTEST_SKIP() << "no script(1)";
    TempDir dir;
    const std::string pack = "a_pack_with_a_rather_long_name_that_goes_on_0042.BIN";
    PackBuilder builder;
    for (int slot = 0; slot < 200; ++slot)
        builder.Entry(slot, 1);
    WriteFile(dir.File(pack), builder.Bytes());
    WriteFile(dir.File("ext.txt"), std::string(200, '\n'));
    const DriverRun run = test::RunProgram(
        dir, dir.Path(),
        {"/usr/bin/script", "-qc",
         std::string("stty cols 60; exec ") + EIT_BATCH_DRIVER + " -e ext.txt -o " + dir.File("out") + " " + pack,
         "/dev/null"});
    ASSERT_EQ(run.Status, 0) << run.Out << run.Err;
    int bars = 0;
    std::string drawn = run.Out;
    for (std::size_t at; (at = drawn.find("\033[K")) != std::string::npos;)
        drawn.erase(at, 3);
    for (std::size_t start = 0, end; start < drawn.size(); start = end + 1) {
        end = std::min(drawn.find_first_of("\r\n", start), drawn.size());
        const std::string line = drawn.substr(start, end - start);
        EXPECT_LE(line.size(), 59U) << line;
        if (line.starts_with("[")) {
            ++bars;
            EXPECT_TRUE(line.ends_with("...042.BIN...")) << line;
        }
    }
    EXPECT_GT(bars, 0) << run.Out;
}

// Writes dir/DATA.BIN with a one-sector entry in each of its first slots,
// and dir/ext.txt with as many empty lines (every file raw).
void WritePackOfOneSectorEntries(const TempDir& dir, int slots)
{
    PackBuilder builder;
    for (int slot = 0; slot < slots; ++slot)
        builder.Entry(slot, 1);
    WriteFile(dir.File("DATA.BIN"), builder.Bytes());
    WriteFile(dir.File("ext.txt"), std::string(static_cast<std::size_t>(slots), '\n'));
}

struct StopRow {
    const char* Name;
    int Signal;
};

void PrintTo(const StopRow& row, std::ostream* out)
{
    *out << row.Name;
}

class DriverStopTest : public ::testing::TestWithParam<StopRow> {};

// The signal is sent once the first file of many exists, so it always
// arrives while the batch runs.
TEST_P(DriverStopTest, ExtractionSavesWhatWasDoneAndExitsWithTheSignal)
{
    EIT_SKIP_ON_WINDOWS("no signals on Windows");
    const int signal = GetParam().Signal;
    TempDir dir;
    WritePackOfOneSectorEntries(dir, 8192);
    std::vector<std::string> args{"--extlist", dir.File("ext.txt"), "--output", dir.File("out")};
    args.insert(args.end(), 40, dir.File("DATA.BIN"));
    args.insert(args.begin(), EIT_BATCH_DRIVER);
    test::BackgroundProgram driver(dir, args);
    ASSERT_TRUE(driver.WaitUntil([&] { return std::filesystem::exists(dir.File("out/RAW/DATA_0000.raw")); }));
    driver.SendStop(signal);
    EXPECT_EQ(driver.Wait(), 128 + signal);

    const std::string out = driver.Out();
    const std::string prefix = "Stopped after ";
    const std::string suffix = " files; result.log lists what was done.\n";
    ASSERT_TRUE(out.find(prefix) != std::string::npos && out.ends_with(suffix)) << out;
    EXPECT_EQ(out.find("Operation complete!"), std::string::npos);
    const std::string count = out.substr(out.find(prefix) + prefix.size(), out.size() - suffix.size() - out.find(prefix) - prefix.size());
    LineList log;
    log.LoadFromFile(dir.File("out/result.log"));
    const std::vector<std::string> lines = log.Items();
    const auto written = std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.ends_with(".raw"); });
    EXPECT_EQ(count, std::to_string(written));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 40 * 8192);
}

// The replay opens every source in turn: once the pack is seen open, the
// replay of its many lines is under way.
TEST_P(DriverStopTest, ReplayStopsAndExitsWithTheSignal)
{
    EIT_SKIP_ON_WINDOWS("no signals on Windows");
    const int signal = GetParam().Signal;
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Bytes());
    std::string log;
    for (int line = 0; line < 100000; ++line)
        log += "#Source: " + dir.File("DATA.BIN") + "\r\n";
    WriteFile(dir.File("r.log"), log);
    test::BackgroundProgram driver(dir, {EIT_BATCH_DRIVER, "--mode", "log", "--output", dir.File("out"), dir.File("r.log")});
    ASSERT_TRUE(driver.WaitUntil([&] { return driver.HoldsOpen(dir.File("DATA.BIN")); }));
    driver.SendStop(signal);
    EXPECT_EQ(driver.Wait(), 128 + signal);
    // Every line before the last says a source was opened.
    std::string out = driver.Out();
    const std::string last = "Stopped before the end of the replay; no file was changed.\n";
    ASSERT_TRUE(out.ends_with(last)) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    out.resize(out.size() - last.size());
    const std::string opened = "Opened " + dir.File("DATA.BIN") + "\n";
    EXPECT_EQ(out.size() % opened.size(), 0U);
    for (std::size_t at = 0; at < out.size(); at += opened.size())
        ASSERT_EQ(out.compare(at, opened.size(), opened), 0) << at;
    EXPECT_EQ(test::ListTree(dir.File("out")), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, DriverStopTest,
                         ::testing::Values(StopRow{"Interrupt", test::kInterruptSignal},
                                           StopRow{"Terminate", test::kTerminateSignal},
                                           StopRow{"HangUp", test::kHangUpSignal}),
                         [](const ::testing::TestParamInfo<StopRow>& info) { return std::string(info.param.Name); });

// A closed pipe on the output (`--progress 2>&1 | head`) stops the batch as
// a stop request does: result.log lists what was done, and the status is
// that of a broken pipe. Killed by it, the program would write no log. With
// the signal ignored, the failed writes themselves stop it.
TEST(BatchDriver, BrokenOutputPipeStopsTheBatch)
{
    EIT_SKIP_ON_WINDOWS("no POSIX shell pipelines on Windows");
    for (const std::string shellStart : {"", "trap '' PIPE; "}) {
        TempDir dir;
        WritePackOfOneSectorEntries(dir, 8192);
        std::vector<std::string> args{"/bin/sh", "-c",
                                      shellStart + "{ \"$0\" \"$@\" 2>&1; echo $? >" + dir.File("status")
                                          + "; } | head -c 1 >/dev/null",
                                      EIT_BATCH_DRIVER, "--progress", "-e", dir.File("ext.txt"), "-o", dir.File("out")};
        args.insert(args.end(), 10, dir.File("DATA.BIN"));
        test::RunProgram(dir, dir.Path(), args);

        EXPECT_EQ(ReadFile(dir.File("status")), std::to_string(128 + test::kBrokenPipeSignal) + "\n") << shellStart;
        LineList log;
        log.LoadFromFile(dir.File("out/result.log"));
        EXPECT_LT(log.Count(), 10 * (8192 + 2)) << shellStart;
        EXPECT_EQ(test::ListTree(dir.File("out")).find(".eit-"), std::string::npos) << shellStart;
    }
}

// The rebuild keeps no more changed files open than the process may open:
// with 40 files allowed, 100 changed files are inserted all the same.
TEST(BatchDriver, RebuildKeepsOpenNoMoreFilesThanAllowed)
{
    EIT_SKIP_ON_WINDOWS("no limit of open files to lower there");
    TempDir dir;
    WritePackOfOneSectorEntries(dir, 100);
    ASSERT_EQ(RunDriver(dir, "-e " + dir.File("ext.txt") + " -o " + dir.File("out") + " " + dir.File("DATA.BIN")).Status, 0);
    for (int slot = 0; slot < 100; ++slot)
        WriteFile(dir.File("out/RAW/DATA_" + SlotText(slot) + ".raw"), "edited");
    const DriverRun run =
        test::RunProgram(dir, dir.Path(),
                         {"/bin/sh", "-c", "ulimit -n 40 && exec \"$0\" \"$@\"", EIT_BATCH_DRIVER, "--mode", "log",
                          "-o", dir.File("new"), dir.File("out/result.log")});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_NE(run.Out.find("DATA.BIN: 100 files inserted"), std::string::npos) << run.Out;
}

// Tests of all the error paths follow.

// An output folder whose check fails (rather than says "no") is refused
// like one that cannot be made.
TEST(BatchDriver, OutputFolderThatCannotBeCheckedIsRefused)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Bytes());
    WriteFile(dir.File("ext.txt"), "");
    std::vector<std::string> outputs{dir.File(std::string(300, 'n') + "/out")};
    if (test::MakeSymlink("loop", dir.File("loop")))
        outputs.push_back(dir.File("loop/out"));
    if (test::PermissionsBind(dir)) {
        WriteFile(dir.File("locked/x"), "");
        test::SetMode(dir.File("locked"), 0);
        outputs.push_back(dir.File("locked/out"));
    }
    for (const std::string& output : outputs) {
        const DriverRun run = RunDriver(dir, "--extlist " + dir.File("ext.txt") + " --output " + output + " "
                                           + dir.File("DATA.BIN"));
        EXPECT_EQ(run.Status, 1) << output;
        EXPECT_EQ(run.Err, "extract-insert-batch: Cannot create directory " + output + "\n");
        EXPECT_EQ(run.Out, "");
    }
}

// Whatever the batch can see before it starts refuses it before the output
// folder is made: no empty folders are left behind.
TEST(BatchDriver, RefusedBatchLeavesNoOutputFolder)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Entry(0, 1).Entry(1, 1).Bytes());
    WriteFile(dir.File("b/DATA.BIN"), PackBuilder().Bytes());
    WriteFile(dir.File("SHORT.BIN"), "x");
    WriteFile(dir.File("ext.txt"), "tim\r\ntim\r\n");
    WriteFile(dir.File("short.txt"), "tim\r\n");
    WriteFile(dir.File("bad.txt"), "tim\r\nt/m\r\n");
    WriteFile(dir.File("r.log"), "#Format: BIN\r\n");
    const std::string failed = "extract-insert-batch: ";
    const struct {
        std::string Args;
        std::string Err;
    } rows[] = {
        {"DATA.BIN NONE.BIN", "Cannot open file " + dir.File("NONE.BIN") + "\n"},
        {"DATA.BIN SHORT.BIN", "Data pack " + dir.File("SHORT.BIN") + " is shorter than its 65536-byte directory\n"},
        {"-e none.txt DATA.BIN", "Cannot open file " + dir.File("none.txt") + "\n"},
        {"-e short.txt DATA.BIN", "List index out of bounds (1)\n"},
        {"-e bad.txt DATA.BIN", "Extension list " + dir.File("bad.txt") + " line 2: \"t/m\" cannot be a file extension\n"},
        {"DATA.BIN " + test::NativePath("b/DATA.BIN"),
         "Packs " + dir.File("DATA.BIN") + " and " + dir.File("b/DATA.BIN") + " would write the same files below "
             + dir.File("new/out") + "; extract them separately or scan their folder\n"},
        {"--mode log r.log none.log", "Cannot open file " + dir.File("none.log") + "\n"},
        {"-T none.txt", "Cannot open file none.txt\n"},
    };
    for (const auto& row : rows) {
        const DriverRun run = RunDriver(dir, "-e ext.txt -o " + dir.File("new/out") + " " + row.Args);
        EXPECT_EQ(run.Status, 1) << row.Args;
        EXPECT_TRUE(run.Err.starts_with(failed + row.Err)) << row.Args << '\n' << run.Err;
        EXPECT_EQ(run.Out, "") << row.Args;
        EXPECT_FALSE(std::filesystem::exists(dir.File("new"))) << row.Args;
    }
}

TEST(BatchDriver, FailurePrintsTheExactMessageAndExitsNonZero)
{
    TempDir dir;
    WriteFile(dir.File("ext.txt"), "");
    const DriverRun run = RunDriver(dir, "--extlist " + dir.File("ext.txt") + " --output " + dir.File("out") + " "
                                       + dir.File("X.BIN"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "extract-insert-batch: Cannot open file " + dir.File("X.BIN") + "\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out")));

    const DriverRun noList = RunDriver(dir, "--extlist " + dir.File("none.txt") + " --output " + dir.File("out") + " "
                                          + dir.File("ext.txt"));
    EXPECT_EQ(noList.Status, 1);
    EXPECT_EQ(noList.Err,
              "extract-insert-batch: Data pack " + dir.File("ext.txt") + " is shorter than its 65536-byte directory\n");
}

// A dry run belongs to mode log: elsewhere it would write for real. It
// creates no folder either.
TEST(BatchDriver, DryRunOutsideModeLogIsBadUsageAndNoDryRunCreatesAFolder)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Entry(0, 1).Bytes());
    WriteFile(dir.File("p.lst"), "DATA.BIN\r\n");
    WriteFile(dir.File("logs/r.log"), "#Format: BIN\r\n#Source: " + dir.File("gone.bin") + "\r\n");
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    const std::string refused =
        "extract-insert-batch: --dry-run works only with --mode log\nTry 'extract-insert-batch --help'.\n";
    const struct {
        std::string Args;
        int Status;
    } rows[] = {
        {"--dry-run DATA.BIN", 2},
        {"--mode bin --dry-run DATA.BIN", 2},
        {"--mode lst --dry-run p.lst", 2},
        {"--dry-run --scan " + dir.Path(), 2},
        {"--mode log --dry-run --scan " + dir.Path() + " --type lst", 2},
        {"--dry-run --list DATA.BIN", 2},
        {"--mode log --dry-run logs/r.log", 0},
        {"--dry-run --scan " + dir.File("logs") + " --type log", 0},
    };
    for (const auto& row : rows) {
        const DriverRun run = RunDriver(dir, "-e ext.txt -o " + dir.File("new/a/b") + " " + row.Args);
        EXPECT_EQ(run.Status, row.Status) << row.Args << '\n' << run.Err;
        EXPECT_EQ(run.Err, row.Status == 2 ? refused : "") << row.Args;
        EXPECT_FALSE(std::filesystem::exists(dir.File("new"))) << row.Args;
    }
}

TEST(BatchDriver, UsageErrorsExitWithTwo)
{
    TempDir dir;
    EXPECT_EQ(RunDriver(dir, "x.bin").Status, 2);                      // no --output
    EXPECT_EQ(RunDriver(dir, "--output " + dir.Path()).Status, 2);     // no pack
    EXPECT_EQ(RunDriver(dir, "--bogus --output " + dir.Path() + " x.bin").Status, 2);
    const DriverRun badMode = RunDriver(dir, "--mode zip --output " + dir.Path() + " x.bin");
    EXPECT_EQ(badMode.Status, 2);
    EXPECT_NE(badMode.Err.find("--mode takes bin, log or lst, not zip"), std::string::npos);
    for (const char* args : {"--quiet=yes -o out x.bin", "-o", "--list", "-x -o out x.bin", "--list --scan=d x.bin"})
        EXPECT_EQ(RunDriver(dir, args).Status, 2) << args;

    const struct {
        std::string Args;
        std::string Said;
    } rows[] = {
        {"-qx -o out x.bin", "unknown option -x"},
        {"--bogus=1 -o out x.bin", "unknown option --bogus"},
        {"--m lst -o out x.lst", "option --m is ambiguous"},
        {"--quiet=yes -o out x.bin", "option --quiet takes no value"},
        {"x.bin -qo", "option -o needs a value"},
        {"x.bin --out", "option --output needs a value"},
        {"-o out --type lst x.bin", "--type needs --scan"},
        {"-o out -T list.txt --scan .", "--scan collects the input files; give no FILE with it"},
        {"--make-extlist -T two.txt", "--make-extlist writes the list of one pack; give one PACK, or -o DIR"},
    };
    WriteFile(dir.File("two.txt"), "a.bin\nb.bin\n");
    for (const auto& row : rows) {
        const DriverRun run = RunDriver(dir, row.Args);
        EXPECT_EQ(run.Status, 2) << row.Args;
        EXPECT_EQ(run.Err, "extract-insert-batch: " + row.Said + "\nTry 'extract-insert-batch --help'.\n") << row.Args;
    }
}

} // namespace
} // namespace eit
