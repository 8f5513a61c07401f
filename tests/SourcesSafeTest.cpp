// The tool never writes to what it reads: every pack, the extension list and
// every replayed log, list and source keep their bytes and their modification
// time through a batch, whether it completes, fails midway or is stopped.

#include "BatchScene.h"
#include "FileError.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "RecordingView.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace eit {
namespace {

namespace fs = std::filesystem;

struct Fingerprint {
    std::uint64_t Checksum;   // FNV-1a over the bytes
    std::uint64_t Size;
    std::int64_t ModifiedNs;

    bool operator==(const Fingerprint&) const = default;
};

std::uint64_t Fnv1a(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::map<std::string, Fingerprint> Fingerprints(const std::string& dir)
{
    std::map<std::string, Fingerprint> prints;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        const std::string path = entry.path().string();
        const std::string bytes = test::ReadFile(path);
        prints[path] = {Fnv1a(bytes), bytes.size(), test::ModifiedNanoseconds(path)};
    }
    return prints;
}

// Sources in "src", output in "out", the extension list among the sources.
class SourcesSafeTest : public ::testing::Test, protected test::BatchScene {
protected:
    SourcesSafeTest()
    {
        State.ExtListPath = Src("extlist.txt");
        WriteFile(State.ExtListPath, "tim\nraw\nbin\n");
        WriteFile(Src("a.bin"), PackBuilder().Entry(0, 1).Entry(7, 2).Bytes());
        WriteFile(Src("b.bin"), PackBuilder().Entry(3, 1).Entry(4000, 1).Entry(8191, 1).Bytes());
        std::string cut = PackBuilder().Entry(0, 1).Entry(1, 3).Bytes();
        cut.resize(cut.size() - 1);
        WriteFile(Src("cut.bin"), cut);
    }

    std::string Src(const std::string& name) const { return Dir.File("src/" + name); }

    // Runs a batch over inputs and returns its error message, "" when it
    // completed; fails the test when a source changed.
    std::string BatchOver(std::uint8_t mode, std::vector<std::string> inputs)
    {
        const auto before = Fingerprints(Dir.File("src"));
        State.ProcessingMode = mode;
        View.Inputs = std::move(inputs);
        const std::string message = test::ErrorOf([&] { TheBatch.BProcessClick(); }, "");
        EXPECT_EQ(Fingerprints(Dir.File("src")), before) << "a source changed in a batch that ended with \""
                                                           << message << "\"";
        return message;
    }
};

TEST_F(SourcesSafeTest, ExtractionThatCompletes)
{
    EXPECT_EQ(BatchOver(kModeExtract, {Src("a.bin"), Src("b.bin")}), "");
    EXPECT_TRUE(fs::exists(Out("result.log")));
}

TEST_F(SourcesSafeTest, ExtractionThatFailsMidway)
{
    EXPECT_EQ(BatchOver(kModeExtract, {Src("a.bin"), Src("cut.bin"), Src("b.bin")}),
              "Stream read error: " + Src("cut.bin"));
    EXPECT_EQ(BatchOver(kModeExtract, {Src("a.bin"), Src("missing.bin")}), "Cannot open file " + Src("missing.bin"));
}

TEST_F(SourcesSafeTest, StoppedBatch)
{
    View.OnEvents = [this] {
        if (View.Progress == 33) // b.bin's first of three entries is done
            TheBatch.StopClick();
    };
    EXPECT_EQ(BatchOver(kModeExtract, {Src("b.bin"), Src("a.bin")}), "");
    EXPECT_FALSE(fs::exists(Out("TIM/a_0000.tim")));
}

TEST_F(SourcesSafeTest, ReplayOfTheResultLogItsExtractionWrote)
{
    ASSERT_EQ(BatchOver(kModeExtract, {Src("a.bin"), Src("b.bin")}), "");
    fs::rename(Out("result.log"), Src("result.log"));
    WriteFile(Src("project.lst"), Src("result.log") + "\r\n#Format: BIN\r\n#Source: " + Src("b.bin") + "\r\n");
    EXPECT_EQ(BatchOver(kModeReplayLogs, {Src("result.log")}), "");
    // The list names the pack without its slot lines: every slot keeps its
    // data.
    EXPECT_EQ(BatchOver(kModeReplayList, {Src("project.lst")}), "");
    EXPECT_EQ(View.Results.back(), "b.bin: no file changed, pack left as it was");
}

TEST_F(SourcesSafeTest, ReplayThatFailsOnAReadOnlyOrFolderSource)
{
    WriteFile(Src("ro.bin"), PackBuilder().Entry(1, 1).Bytes());
    test::MakeReadOnly(Src("ro.bin"));
    fs::create_directories(Src("folder.bin"));
    const std::string head = "#Format: BIN\r\n#Source: ";
    WriteFile(Src("ro.log"), head + Src("ro.bin") + "\r\nNULL\r\nNULL\r\n");
    WriteFile(Src("folder.log"), head + Src("folder.bin") + "\r\n");

    EXPECT_EQ(BatchOver(kModeReplayLogs, {Src("ro.log"), Src("b.bin")}),
              "Result log " + Src("ro.log") + " does not match pack " + Src("ro.bin") + " at slot 0001");
    EXPECT_EQ(BatchOver(kModeReplayLogs, {Src("folder.log"), Src("a.bin")}), "Cannot open file " + Src("folder.bin"));
}

} // namespace
} // namespace eit
