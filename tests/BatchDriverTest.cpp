#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace eit {
namespace {

using test::PackBuilder;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

using DriverRun = test::CommandRun;

DriverRun RunDriver(const TempDir& dir, const std::string& args)
{
    return test::RunCommand(dir, dir.Path(), std::string(EIT_BATCH_DRIVER) + " " + args);
}

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

TEST(BatchDriver, HelpExplainsTheCommand)
{
    TempDir dir;
    const DriverRun run = RunDriver(dir, "--help");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("Usage: extract-insert-batch [--mode bin|log|lst] [--extlist FILE] --output DIR FILE..."),
              std::string::npos);
}

TEST(BatchDriver, ReplaysResultLogsAndProjectListsWithoutWritingALog)
{
    TempDir dir;
    WriteFile(dir.File("in/DATA.BIN"), PackBuilder().Entry(1, 2).Bytes());
    WriteFile(dir.File("ext.txt"), "tim\r\n");
    const std::string extract = "--extlist " + dir.File("ext.txt") + " --output " + dir.File("out") + " ";
    ASSERT_EQ(RunDriver(dir, extract + dir.File("in/DATA.BIN")).Status, 0);
    const std::string pack = ReadFile(dir.File("in/DATA.BIN"));
    WriteFile(dir.File("project.lst"), dir.File("in/DATA.BIN") + "\r\n");

    for (const std::string& mode : {"--mode log " + dir.File("out/result.log"), "--mode lst " + dir.File("project.lst")}) {
        const DriverRun run = RunDriver(dir, mode + " --output " + dir.File("replay"));
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Out, "Operation complete!\n");
        EXPECT_EQ(test::ListTree(dir.File("replay")), "");
    }
    EXPECT_EQ(ReadFile(dir.File("in/DATA.BIN")), pack);
}

// Tests of all the error paths follow.

TEST(BatchDriver, FailurePrintsTheExactMessageAndExitsNonZero)
{
    TempDir dir;
    WriteFile(dir.File("ext.txt"), "");
    const DriverRun run = RunDriver(dir, "--extlist " + dir.File("ext.txt") + " --output " + dir.File("out") + " "
                                       + dir.File("X.BIN"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "Cannot open file " + dir.File("X.BIN") + "\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/result.log")));

    const DriverRun noList = RunDriver(dir, "--extlist " + dir.File("none.txt") + " --output " + dir.File("out") + " "
                                          + dir.File("ext.txt"));
    EXPECT_EQ(noList.Status, 1);
    EXPECT_EQ(noList.Err, "Data pack " + dir.File("ext.txt") + " is shorter than its 65536-byte directory\n");
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
}

} // namespace
} // namespace eit
