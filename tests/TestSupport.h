#pragma once

// What the tests need from the operating system, for Linux and Windows alike.
// Every system call of the tests lives in TestSupportPosix.cpp or
// TestSupportWindows.cpp; a test file sees
// only byte-string paths (UTF-8) and the functions below. Where a thing does
// not exist on a system (FIFOs, sockets and signals on Windows), the test
// that needs it skips there with EIT_SKIP_ON_WINDOWS.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "FileError.h"

namespace eit::test {

#ifdef _WIN32
inline constexpr bool kOnWindows = true;
// The root of the file system in the tool's texts.
inline constexpr std::string_view kRoot = "C:\\";
// Skips the running test on Windows, saying why.
#define EIT_SKIP_ON_WINDOWS(why) GTEST_SKIP() << (why)
#else
inline constexpr bool kOnWindows = false;
inline constexpr std::string_view kRoot = "/";
#define EIT_SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif

// path with every "/" turned into the system's separator, so that tests
// write "a/b" once for both systems.
std::string NativePath(std::string_view path);
// The std::filesystem path of a UTF-8 path text (on Windows a narrow path
// would go through the ANSI code page).
std::filesystem::path FsPath(std::string_view path);

// A fresh folder below the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return FPath; }
    // Path() joined with name, name's "/" turned into the system's separator.
    std::string File(std::string_view name) const;

private:
    std::string FPath;
};

// Writes bytes to path (binary), creating its missing folders.
void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);

// Writes bytes at offset into the file at path, creating it when missing.
// The file is marked sparse where the system asks for that, so what is
// never written costs no disk. false when the system refuses (no room).
bool WriteAt(const std::string& path, std::uint64_t offset, std::string_view bytes);
// Sets the size of the existing file at path, the new part a hole of a
// sparse file. false when the system refuses.
bool ResizeSparse(const std::string& path, std::uint64_t size);

// What a program did: its exit status (-1 when it did not exit) and what it
// wrote to stdout and stderr.
struct CommandRun {
    int Status;
    std::string Out;
    std::string Err;
};
// Runs the program args[0] with the arguments args[1..] in folder cwd, each
// argument passed as it is, capturing its output through dir/stdout.txt and
// dir/stderr.txt.
CommandRun RunProgram(const TempDir& dir, const std::string& cwd, const std::vector<std::string>& args);
// RunProgram with the words of commandLine, split at blanks (no quoting:
// the tests' paths hold no blanks).
CommandRun RunCommand(const TempDir& dir, const std::string& cwd, const std::string& commandLine);

// The stop requests a test can send to a program (POSIX signal numbers; the
// exit status of a stopped program is 128 plus the number).
inline constexpr int kInterruptSignal = 2;
inline constexpr int kHangUpSignal = 1;
inline constexpr int kTerminateSignal = 15;
// Signals that end a program without asking it to stop, and a broken pipe.
inline constexpr int kQuitSignal = 3;
inline constexpr int kBrokenPipeSignal = 13;

// A program running in the background with its output in dir/stdout.txt and
// dir/stderr.txt. The destructor kills it if it still runs.
class BackgroundProgram {
public:
    BackgroundProgram(const TempDir& dir, const std::vector<std::string>& args);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool Running() const;
    // Waits until ready() holds; false when the program ended first.
    bool WaitUntil(const std::function<bool()>& ready) const;
    // The exit status; -1 when it ended otherwise.
    int Wait();
    // Sends the stop request signal (a POSIX signal; not on Windows).
    void SendStop(int signal) const;
    // Whether the program holds path open (through /proc; false elsewhere).
    bool HoldsOpen(const std::string& path) const;
    std::string Out() const { return ReadFile(FOut); }

private:
    std::string FOut;
    std::intptr_t FProcess = -1; // a pid on POSIX, a process handle on Windows
};

// Whether this process holds path open.
bool HeldOpen(const std::string& path);
// Whether every handle this process holds on path only reads (on POSIX: at
// least one descriptor is open and all are read-only).
bool OpenOnlyForReading(const std::string& path);

// Names every file below dir (relative, "/" between folders on every
// system, sorted), for comparing whole trees.
std::string ListTree(const std::string& dir);

// The file's last modification time in nanoseconds of the file clock.
std::int64_t ModifiedNanoseconds(const std::string& path);

// Takes the write permission away (the read-only attribute on Windows).
void MakeReadOnly(const std::string& path);
// Sets POSIX permission bits; nothing on Windows.
void SetMode(const std::string& path, unsigned mode);
// Whether permission bits bind this process: false for a privileged user on
// POSIX, and on Windows, where the tests cannot take reading away.
bool PermissionsBind(const TempDir& dir);
// Creates a symbolic link at path to target. false where the system does
// not let this user (Windows without the privilege).
bool MakeSymlink(const std::string& target, const std::string& path);
// A device file's path ("/dev/null"); "" on Windows, which has no device
// to link to.
std::string NullDevice();

// Lowers the number of files this process may hold open to count (POSIX
// only: throws on Windows).
void LimitOpenFiles(int count);

// Creates a FIFO or a listening-free Unix socket file at path (POSIX only:
// throws on Windows).
void MakeFifo(const std::string& path);
void MakeSocket(const std::string& path);

// The writing end of the FIFO at path, opened by a thread of its own as soon
// as a reader opens the FIFO and closed at once. A reader that blocks in its
// open therefore reads an empty file instead of hanging the test; a reader
// that refuses the FIFO leaves the writer waiting, and the destructor
// releases it. Does nothing on Windows.
class FifoPeer {
public:
    explicit FifoPeer(std::string path);
    ~FifoPeer();
    FifoPeer(const FifoPeer&) = delete;
    FifoPeer& operator=(const FifoPeer&) = delete;

private:
    std::string FPath;
    std::thread FWriter;
};

// The message of the FileError that call throws; none when it returns.
template <typename Call>
std::string ErrorOf(Call&& call, std::string none = "no error")
{
    try {
        call();
    } catch (const FileError& e) {
        return e.what();
    }
    return none;
}

// Where the tests find the batch driver and their data files: where the
// build put them, unless the environment names a copy in EIT_TEST_BATCH_DRIVER
// and EIT_TEST_DATA (scripts/test.sh runs a copy as a user who cannot reach
// the build). The names the build compiled in stay the fallback.
inline std::string FromEnvironment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}
#ifdef EIT_TEST_DATA
inline std::string DataFile(std::string_view name)
{
    return FromEnvironment("EIT_TEST_DATA", EIT_TEST_DATA) + "/" + std::string(name);
}
#endif
#ifdef EIT_BATCH_DRIVER
inline const std::string& BatchDriver()
{
    static const std::string driver = FromEnvironment("EIT_TEST_BATCH_DRIVER", EIT_BATCH_DRIVER);
    return driver;
}
// Every test names the driver as EIT_BATCH_DRIVER and so meets the copy.
#undef EIT_BATCH_DRIVER
#define EIT_BATCH_DRIVER (::eit::test::BatchDriver())

// Runs the batch driver with the words of args in folder cwd (dir's own
// folder when empty).
inline CommandRun RunDriver(const TempDir& dir, const std::string& args, std::string cwd = {})
{
    return RunCommand(dir, cwd.empty() ? dir.Path() : cwd, std::string(EIT_BATCH_DRIVER) + " " + args);
}
#endif

} // namespace eit::test

// The helpers nearly every test file names, for tests in the tool's namespace.
namespace eit {
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
} // namespace eit
