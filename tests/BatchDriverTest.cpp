#include "LineList.h"
#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

    const DriverRun version = RunDriver(dir, "--version");
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, "extract-insert-batch " EIT_VERSION "\n");
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

    const std::string unchanged = "DATA.BIN: no file changed, pack left as it was\n";
    for (const auto& [mode, said] : {std::pair{"--mode log " + dir.File("out/result.log"), unchanged},
                                     std::pair{"--mode lst " + dir.File("project.lst"), std::string()}}) {
        const DriverRun run = RunDriver(dir, mode + " --output " + dir.File("replay"));
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Out, said + "Operation complete!\n");
        EXPECT_EQ(test::ListTree(dir.File("replay")), "");
    }
    EXPECT_EQ(ReadFile(dir.File("in/DATA.BIN")), pack);
}

// The driver running in the background with its output in files of dir.
class BackgroundDriver {
public:
    BackgroundDriver(const TempDir& dir, const std::vector<std::string>& args) : FOut(dir.File("stdout.txt"))
    {
        std::vector<std::string> argv{EIT_BATCH_DRIVER};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, FOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, dir.File("stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // Whoever runs the tests may ignore these signals; the driver keeps
        // an ignored signal ignored, so give it the usual ones.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        if (posix_spawn(&FPid, pointers[0], &actions, &attributes, pointers.data(), environ) != 0)
            FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    ~BackgroundDriver()
    {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            Wait();
        }
    }
    BackgroundDriver(const BackgroundDriver&) = delete;
    BackgroundDriver& operator=(const BackgroundDriver&) = delete;

    pid_t Pid() const { return FPid; }
    bool Running() const { return FPid > 0 && ::waitpid(FPid, nullptr, WNOHANG) == 0; }
    // Waits until ready() holds; false when the driver ended first.
    bool WaitUntil(const std::function<bool()>& ready) const
    {
        while (!ready())
            if (!Running() || ::usleep(1000) != 0)
                return false;
        return true;
    }
    // The exit status; -1 when it ended by a signal.
    int Wait()
    {
        int status = 0;
        while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
        FPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Out() const { return ReadFile(FOut); }

private:
    std::string FOut;
    pid_t FPid = -1;
};

// Whether process pid holds path open.
bool HoldsOpen(pid_t pid, const std::string& path)
{
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (std::filesystem::read_symlink(it->path(), ec) == path)
            return true;
    return false;
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
    const int signal = GetParam().Signal;
    TempDir dir;
    PackBuilder builder;
    for (int slot = 0; slot < 8192; ++slot)
        builder.Entry(slot, 1);
    WriteFile(dir.File("DATA.BIN"), builder.Bytes());
    WriteFile(dir.File("ext.txt"), std::string(8192, '\n'));
    std::vector<std::string> args{"--extlist", dir.File("ext.txt"), "--output", dir.File("out")};
    args.insert(args.end(), 40, dir.File("DATA.BIN"));
    BackgroundDriver driver(dir, args);
    ASSERT_TRUE(driver.WaitUntil([&] { return std::filesystem::exists(dir.File("out/RAW/DATA_0000.raw")); }));
    ::kill(driver.Pid(), signal);
    EXPECT_EQ(driver.Wait(), 128 + signal);

    const std::string out = driver.Out();
    const std::string prefix = "Stopped after ";
    const std::string suffix = " files; result.log lists what was done.\n";
    ASSERT_TRUE(out.find(prefix) != std::string::npos && out.ends_with(suffix)) << out;
    EXPECT_EQ(out.find("Operation complete!"), std::string::npos);
    const std::string count = out.substr(out.find(prefix) + prefix.size(), out.size() - suffix.size() - out.find(prefix) - prefix.size());
    LineList log;
    log.LoadFromFile(dir.File("out/result.log"));
    const auto written = std::count_if(log.Items().begin(), log.Items().end(),
                                       [](const std::string& line) { return line.ends_with(".raw"); });
    EXPECT_EQ(count, std::to_string(written));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 40 * 8192);
}

// The replay opens every source in turn: once the pack is seen open, the
// replay of its many lines is under way.
TEST_P(DriverStopTest, ReplayStopsAndExitsWithTheSignal)
{
    const int signal = GetParam().Signal;
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Bytes());
    std::string log;
    for (int line = 0; line < 100000; ++line)
        log += "#Source: " + dir.File("DATA.BIN") + "\r\n";
    WriteFile(dir.File("r.log"), log);
    BackgroundDriver driver(dir, {"--mode", "log", "--output", dir.File("out"), dir.File("r.log")});
    ASSERT_TRUE(driver.WaitUntil([&] { return HoldsOpen(driver.Pid(), dir.File("DATA.BIN")); }));
    ::kill(driver.Pid(), signal);
    EXPECT_EQ(driver.Wait(), 128 + signal);
    EXPECT_EQ(driver.Out(), "Stopped before the end of the replay; no file was changed.\n");
    EXPECT_EQ(test::ListTree(dir.File("out")), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, DriverStopTest,
                         ::testing::Values(StopRow{"Interrupt", SIGINT}, StopRow{"Terminate", SIGTERM},
                                           StopRow{"HangUp", SIGHUP}),
                         [](const ::testing::TestParamInfo<StopRow>& info) { return std::string(info.param.Name); });

// Tests of all the error paths follow.

// An output folder whose check fails (rather than says "no") is refused
// like one that cannot be made.
TEST(BatchDriver, OutputFolderThatCannotBeCheckedIsRefused)
{
    TempDir dir;
    WriteFile(dir.File("DATA.BIN"), PackBuilder().Bytes());
    WriteFile(dir.File("ext.txt"), "");
    std::filesystem::create_symlink("loop", dir.File("loop"));
    WriteFile(dir.File("locked/x"), "");
    ::chmod(dir.File("locked").c_str(), 0);
    const bool permissionsBind = ::access(dir.File("locked/x").c_str(), F_OK) != 0;
    std::vector<std::string> outputs{dir.File(std::string(300, 'n') + "/out"), dir.File("loop/out")};
    if (permissionsBind)
        outputs.push_back(dir.File("locked/out"));
    for (const std::string& output : outputs) {
        const DriverRun run = RunDriver(dir, "--extlist " + dir.File("ext.txt") + " --output " + output + " "
                                           + dir.File("DATA.BIN"));
        EXPECT_EQ(run.Status, 1) << output;
        EXPECT_EQ(run.Err, "Cannot create directory " + output + "\n");
        EXPECT_EQ(run.Out, "");
    }
}


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
