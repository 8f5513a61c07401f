// Hostile inputs: each row of the table lays out a bad input in a scratch
// folder, runs the part of the tool that reads it and expects the error that
// names the file. Whatever the row, nothing is lost: every file that existed
// before the run is still there with the same bytes, and no temporary file is
// left behind.
//
// Rows that live beside the code they test are not repeated here: a pack that
// is missing or a folder, shorter than its directory, with an entry past its
// end or a sector count beyond 32 bits, an extension list that is missing,
// short, or holds a line that cannot be a file name, and a file or a link
// where an output folder must be created (DataPackTest); "result.log" replaced by a folder (BatchTest); a replayed
// source that is read-only or a folder (ReplayTest); TGA files cut in their
// header or rows and sizes up to 65535 x 65535 (TTargaTest).

#include "BatchScene.h"
#include "FileError.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "RecordingView.h"
#include "TTarga.h"
#include "TestSupport.h"
#include "TextMarkers.h"
#include "TextObject.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>

namespace eit {
namespace {

namespace fs = std::filesystem;

using Scene = test::BatchScene;

// What follows a failure to read the extension list.
const std::string kHint = "\nGive the extension list with --extlist FILE, or write one with --make-extlist PACK.";

struct Row {
    const char* Name;
    // The row takes permissions away, which a privileged user does not feel.
    bool NeedsPermissions;
    std::function<void(Scene&)> Arrange;
    std::function<void(Scene&)> Restrict;   // after the files are recorded
    std::function<void(Scene&)> Act;
    std::function<std::string(const Scene&)> Message;
};

// ctest lists a row by its name, not by its bytes.
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.Name;
}

void RunBatch(Scene& s)
{
    s.TheBatch.BProcessClick();
}

void RunBatchBesidePeer(Scene& s, const std::string& fifo)
{
    test::FifoPeer peer(fifo);
    s.TheBatch.BProcessClick();
}

void AddSpecialInput(Scene& s, const std::string& name, void (*make)(const std::string&))
{
    make(s.Dir.File(name));
    s.View.Inputs.push_back(s.Dir.File(name));
}

void LinkToZeroDevice(const std::string& path)
{
    fs::create_symlink("/dev/zero", path);
}

// Every file below dir with its bytes.
std::map<std::string, std::string> Files(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files[entry.path().string()] = ReadFile(entry.path().string());
    return files;
}

void GiveBackPermissions(const std::string& dir)
{
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
}

const Row kRows[] = {
    {"PackThatCannotBeRead", true, [](Scene& s) { s.AddPack("a.bin"); },
     [](Scene& s) { test::SetMode(s.Dir.File("a.bin"), 0); }, RunBatch,
     [](const Scene& s) { return "Cannot open file " + s.Dir.File("a.bin"); }},
    {"ExtensionListThatIsAFolder", false,
     [](Scene& s) {
         s.AddPack("a.bin");
         fs::remove(s.State.ExtListPath);
         fs::create_directories(s.State.ExtListPath);
     },
     nullptr, RunBatch, [](const Scene& s) { return "Cannot open file " + s.Dir.File("extlist.txt/a.txt") + kHint; }},
    {"ExtensionListThatCannotBeRead", true, [](Scene& s) { s.AddPack("a.bin"); },
     [](Scene& s) { test::SetMode(s.State.ExtListPath, 0); }, RunBatch,
     [](const Scene& s) { return "Cannot open file " + s.State.ExtListPath + kHint; }},
    // A zero byte ends the list's text, so the list has no line for the first slot.
    {"ExtensionListCutShortByAZeroByte", false,
     [](Scene& s) {
         s.AddPack("a.bin");
         WriteFile(s.State.ExtListPath, std::string("\0tim\nraw\n", 9));
     },
     nullptr, RunBatch,
     [](const Scene& s) {
         return "List index out of bounds (0)\n" + s.State.ExtListPath + " has 0 lines, " + s.Dir.File("a.bin")
             + " needs 2; make a starter list with --make-extlist";
     }},
    {"ExtensionListInUtf16", false,
     [](Scene& s) {
         s.AddPack("a.bin");
         WriteFile(s.State.ExtListPath, std::string("\xFF\xFEt\0i\0m\0\r\0\n\0", 12));
     },
     nullptr, RunBatch,
     [](const Scene& s) { return "Extension list " + s.State.ExtListPath + " is UTF-16 text; save it as UTF-8"; }},
    // Its directory, read from bytes that are no directory, points past its end.
    {"FileThatIsNoPack", false, [](Scene& s) { s.AddInput("a.bin", std::string(65536 + 2048, '\x5a')); }, nullptr,
     RunBatch, [](const Scene& s) { return "Stream read error: " + s.Dir.File("a.bin"); }},
    // The earlier output and the earlier "result.log" survive.
    {"OutputFolderReadOnly", true,
     [](Scene& s) {
         s.AddPack("a.bin");
         WriteFile(s.Out("TIM/a_0000.tim"), "earlier extraction");
         WriteFile(s.Out("result.log"), "earlier\r\n");
     },
     [](Scene& s) {
         test::SetMode(s.Out("TIM"), 0555);
         test::SetMode(*s.View.PickedDir, 0555);
     },
     RunBatch, [](const Scene& s) { return "Cannot create file " + s.Out("TIM/a_0000.tim"); }},
    {"ResultLogInAReadOnlyFolder", true,
     [](Scene& s) {
         s.AddPack("a.bin");
         fs::create_directories(s.Out("TIM"));
         fs::create_directories(s.Out("RAW"));
         WriteFile(s.Out("result.log"), "earlier\r\n");
     },
     [](Scene& s) { test::SetMode(*s.View.PickedDir, 0555); }, RunBatch,
     [](const Scene& s) { return "Cannot create file " + s.Out("result.log"); }},
    {"ReplayedLogThatCannotBeRead", true,
     [](Scene& s) {
         s.State.ProcessingMode = kModeReplayLogs;
         s.AddInput("r.log", "#Format: BIN\r\n");
     },
     [](Scene& s) { test::SetMode(s.Dir.File("r.log"), 0); }, RunBatch,
     [](const Scene& s) { return "Cannot open file " + s.Dir.File("r.log"); }},
    {"ReplayedListThatIsAFolder", false,
     [](Scene& s) {
         s.State.ProcessingMode = kModeReplayList;
         fs::create_directories(s.Dir.File("list.lst"));
         s.View.Inputs.push_back(s.Dir.File("list.lst"));
     },
     nullptr, RunBatch, [](const Scene& s) { return "Cannot open file " + s.Dir.File("list.lst"); }},
    // A FIFO, socket or device named like the file is refused at once; the
    // FIFO's peer only makes a reader that waits for a writer see an empty
    // file instead of hanging.
    {"PackThatIsAFifo", false, [](Scene& s) { AddSpecialInput(s, "a.bin", test::MakeFifo); }, nullptr,
     [](Scene& s) { RunBatchBesidePeer(s, s.Dir.File("a.bin")); },
     [](const Scene& s) { return "Cannot open file " + s.Dir.File("a.bin"); }},
    {"PackThatIsADevice", false, [](Scene& s) { AddSpecialInput(s, "a.bin", LinkToZeroDevice); }, nullptr,
     RunBatch, [](const Scene& s) { return "Cannot open file " + s.Dir.File("a.bin"); }},
    {"ExtensionListThatIsAFifo", false,
     [](Scene& s) {
         s.AddPack("a.bin");
         fs::remove(s.State.ExtListPath);
         test::MakeFifo(s.State.ExtListPath);
     },
     nullptr, [](Scene& s) { RunBatchBesidePeer(s, s.State.ExtListPath); },
     [](const Scene& s) { return "Cannot open file " + s.State.ExtListPath + kHint; }},
    {"ReplayedLogThatIsAFifo", false,
     [](Scene& s) {
         s.State.ProcessingMode = kModeReplayLogs;
         AddSpecialInput(s, "r.log", test::MakeFifo);
     },
     nullptr, [](Scene& s) { RunBatchBesidePeer(s, s.Dir.File("r.log")); },
     [](const Scene& s) { return "Cannot open file " + s.Dir.File("r.log"); }},
    {"ReplayedListThatIsASocket", false,
     [](Scene& s) {
         s.State.ProcessingMode = kModeReplayList;
         AddSpecialInput(s, "p.lst", test::MakeSocket);
     },
     nullptr, RunBatch, [](const Scene& s) { return "Cannot open file " + s.Dir.File("p.lst"); }},
    {"PictureThatCannotBeRead", true, [](Scene& s) { WriteFile(s.Dir.File("p.tga"), std::string(60, '\0')); },
     [](Scene& s) { test::SetMode(s.Dir.File("p.tga"), 0); },
     [](Scene& s) {
         TTarga targa;
         targa.LoadFromFile(s.Dir.File("p.tga"));
     },
     [](const Scene& s) { return "Cannot open file " + s.Dir.File("p.tga"); }},
    {"PictureSavedIntoAReadOnlyFolder", true,
     [](Scene& s) { WriteFile(s.Dir.File("pics/p.tga"), "earlier picture"); },
     [](Scene& s) { test::SetMode(s.Dir.File("pics"), 0555); },
     [](Scene& s) {
         TTarga targa;
         targa.SaveToFile(s.Dir.File("pics/p.tga"));
     },
     [](const Scene& s) { return "Cannot create file " + s.Dir.File("pics/p.tga"); }},
    {"TextListSavedIntoAReadOnlyFolder", true,
     [](Scene& s) { WriteFile(s.Dir.File("texts/t.txt"), "earlier texts\r\n"); },
     [](Scene& s) { test::SetMode(s.Dir.File("texts"), 0555); },
     [](Scene& s) {
         TTextObject texts;
         texts.Write("new");
         texts.SaveText(s.Dir.File("texts/t.txt"));
     },
     [](const Scene& s) { return "Cannot create file " + s.Dir.File("texts/t.txt"); }},
};

class BadInputTest : public ::testing::TestWithParam<Row> {};

TEST_P(BadInputTest, NamesTheFileAndLosesNothing)
{
    const Row& row = GetParam();
    Scene s;
    if (row.NeedsPermissions && !test::PermissionsBind(s.Dir))
        GTEST_SKIP() << "file permissions do not bind this user";
    row.Arrange(s);
    const auto before = Files(s.Dir.Path());
    if (row.Restrict)
        row.Restrict(s);

    const std::string message = test::ErrorOf([&] { row.Act(s); });
    GiveBackPermissions(s.Dir.Path());

    EXPECT_EQ(message, row.Message(s));
    const auto after = Files(s.Dir.Path());
    for (const auto& [path, bytes] : before) {
        const auto it = after.find(path);
        ASSERT_NE(it, after.end()) << path << " is gone";
        EXPECT_EQ(it->second, bytes) << path << " changed";
    }
    for (const auto& [path, bytes] : after)
        EXPECT_EQ(path.find(".tmp"), std::string::npos) << "temporary " << path << " left behind";
    EXPECT_TRUE(s.View.Messages.empty()) << "a failed batch reported completion";
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.Name); });

// Bytes drawn mostly from the characters the layouts look for, so that the
// random files are full of near-misses of headers and records.
std::string RandomText(std::mt19937& random, std::size_t size, std::string_view alphabet)
{
    std::string text(size, '\0');
    std::uniform_int_distribution<int> any(0, 255);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (char& c : text)
        c = random() % 4 == 0 ? static_cast<char>(any(random)) : alphabet[pick(random)];
    return text;
}

TEST(BadInput, IniStyleFileOfRandomBytesReadsToItsEndAndStaysAsItWas)
{
    TempDir dir;
    std::mt19937 random(8);
    for (int round = 0; round < 200; ++round) {
        const std::string bytes = RandomText(random, random() % 600, "[0x0123456789ABCDEFabcdef]\r\n\0 ");
        const std::string path = dir.File("random.ini");
        WriteFile(path, bytes);
        TTextObject texts;
        texts.TextStyle = TTextObject::IniStyle;
        texts.FileName = path;
        texts.NoErrors = round % 2 == 0;
        texts.AsciiZ = round % 3 == 0;
        texts.TextAlign = round % 5;
        const std::int32_t status = texts.New(TTextObject::omRead);
        EXPECT_TRUE(status == 0 || status == TTextObject::kStatusGap) << round;
        EXPECT_GE(texts.GetSize(), 0);
        int reads = 0;
        while (texts.Read() != kOutOfText)
            ASSERT_LE(++reads, texts.Count()) << "round " << round;
        EXPECT_EQ(ReadFile(path), bytes) << round;
    }
}

TEST(BadInput, BlanshStyleFileOfRandomBytesFailsOnlyWithTheIndexError)
{
    TempDir dir;
    std::mt19937 random(8);
    const std::string alphabet = std::string(kSeparatorLine.substr(0, 3)) + std::string(kEndLine) + "#H\r\n";
    int indexErrors = 0;
    for (int round = 0; round < 200; ++round) {
        std::string bytes = RandomText(random, random() % 400, alphabet);
        // Whole marker lines now and then, so that some records almost parse.
        for (int k = 0; k < 3; ++k)
            bytes.insert(random() % (bytes.size() + 1),
                         "\r\n" + std::string(k == 0 ? kSeparatorLine : k == 1 ? kHeaderPrefix : kEndLine) + "\r\n");
        const std::string path = dir.File("random.txt");
        WriteFile(path, bytes);
        TTextObject texts;
        ASSERT_TRUE(texts.LoadText(path));
        const std::function<void()> operations[] = {
            [&] { texts.Read(); },
            [&] { texts.SetPosition(static_cast<std::int32_t>(random() % 5) - 1); },
            [&] { texts.GetSize(); },
            [&] { texts.Rewrite("r"); },
            [&] { texts.Write("w"); },
        };
        for (int step = 0; step < 12; ++step) {
            try {
                operations[random() % 5]();
            } catch (const FileError& e) {
                EXPECT_TRUE(std::string_view(e.what()).starts_with("List index out of bounds (")) << e.what();
                ++indexErrors;
            }
        }
        EXPECT_EQ(ReadFile(path), bytes) << round;
    }
    EXPECT_GT(indexErrors, 0) << "the random files never ran an operation off the list";
}

} // namespace
} // namespace eit
