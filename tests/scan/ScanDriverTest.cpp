#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace eit {
namespace {

TEST(ScanDriver, ExtractsScannedPacksIntoTheSameSubfolders)
{
    TempDir dir;
    WriteFile(dir.File("packs/A.BIN"), PackBuilder().Entry(1, 1).Bytes());
    WriteFile(dir.File("packs/one/b.bin"), PackBuilder().Entry(2, 1).Bytes());
    WriteFile(dir.File("packs/one/two/c.bin"), PackBuilder().Entry(3, 1).Bytes());
    WriteFile(dir.File("packs/one/two/notes.txt"), "");
    WriteFile(dir.File("ext.txt"), "tim\r\n");

    // A relative root is taken from the working folder.
    ASSERT_EQ(test::RunDriver(dir, "--scan packs --extlist ext.txt --output out").Status, 0)
        << ReadFile(dir.File("stderr.txt"));
    EXPECT_EQ(test::ListTree(dir.File("out")),
              "TIM/A_0001.tim\none/TIM/b_0002.tim\none/two/TIM/c_0003.tim\nresult.log\n");
    const std::string log = ReadFile(dir.File("out/result.log"));
    const std::size_t c = log.find("#Source: " + dir.File("packs/one/two/c.bin") + "\r\n");
    const std::size_t b = log.find("#Source: " + dir.File("packs/one/b.bin") + "\r\n");
    const std::size_t a = log.find("#Source: " + dir.File("packs/A.BIN") + "\r\n");
    EXPECT_TRUE(c < b && b < a && a != std::string::npos) << log.substr(0, 400);
    EXPECT_NE(log.find(dir.File("out/one/two/TIM/c_0003.tim") + "\r\n"), std::string::npos);
}

TEST(ScanDriver, ScanThatFindsNothingFailsWithoutRunningABatch)
{
    TempDir dir;
    WriteFile(dir.File("packs/a.bin"), PackBuilder().Bytes());
    EXPECT_EQ(test::RunDriver(dir, "--scan " + dir.File("packs") + " --type log --output out").Status, 1);
    EXPECT_EQ(ReadFile(dir.File("stderr.txt")),
              "extract-insert-batch: no file matching *.log below " + dir.File("packs") + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/result.log")));

    EXPECT_EQ(test::RunDriver(dir, "--scan packs --type tga --output out").Status, 2);
    EXPECT_EQ(test::RunDriver(dir, "--scan packs --output out packs/a.bin").Status, 2);
}

} // namespace
} // namespace eit
