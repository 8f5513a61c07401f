// The system side of TestSupport.h for Linux and the other POSIX systems.

#include "TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace eit::test {

namespace {

// Starts args with stdout and stderr in the files out and err, in folder cwd
// unless it is empty. -1 when the program could not be started.
pid_t Spawn(const std::vector<std::string>& args, const std::string& cwd, const std::string& out,
            const std::string& err)
{
    std::vector<std::string> argv = args;
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    // Whoever runs the tests may ignore these signals; the program keeps
    // an ignored signal ignored, so give it the usual ones.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, pointers[0], &actions, &attributes, pointers.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

CommandRun RunProgram(const TempDir& dir, const std::string& cwd, const std::vector<std::string>& args)
{
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    const pid_t pid = Spawn(args, cwd, out, err);
    if (pid < 0)
        throw std::runtime_error("cannot start " + args.at(0));
    const int status = WaitFor(pid);
    return {status, ReadFile(out), ReadFile(err)};
}

BackgroundProgram::BackgroundProgram(const TempDir& dir, const std::vector<std::string>& args)
    : FOut(dir.File("stdout.txt")), FProcess(Spawn(args, "", FOut, dir.File("stderr.txt")))
{
}

BackgroundProgram::~BackgroundProgram()
{
    if (FProcess > 0) {
        ::kill(static_cast<pid_t>(FProcess), SIGKILL);
        Wait();
    }
}

bool BackgroundProgram::Running() const
{
    return FProcess > 0 && ::waitpid(static_cast<pid_t>(FProcess), nullptr, WNOHANG) == 0;
}

int BackgroundProgram::Wait()
{
    const int status = WaitFor(static_cast<pid_t>(FProcess));
    FProcess = -1;
    return status;
}

void BackgroundProgram::SendStop(int signal) const
{
    ::kill(static_cast<pid_t>(FProcess), signal);
}

bool BackgroundProgram::HoldsOpen(const std::string& path) const
{
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(FProcess) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (std::filesystem::read_symlink(it->path(), ec) == path)
            return true;
    return false;
}

namespace {

// The descriptors of this process open on path, found through /proc: the
// tests reach an open file only through the program's own types, which
// hand out none.
std::vector<int> DescriptorsOn(const std::string& path)
{
    std::vector<int> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        const auto target = std::filesystem::read_symlink(entry.path(), linkError);
        if (!linkError && target == std::filesystem::path(path))
            found.push_back(std::stoi(entry.path().filename().string()));
    }
    return found;
}

} // namespace

bool HeldOpen(const std::string& path)
{
    return !DescriptorsOn(path).empty();
}

bool OpenOnlyForReading(const std::string& path)
{
    const std::vector<int> open = DescriptorsOn(path);
    return !open.empty() && std::all_of(open.begin(), open.end(), [](int fd) {
        const int flags = ::fcntl(fd, F_GETFL);
        return flags >= 0 && (flags & O_ACCMODE) == O_RDONLY;
    });
}

bool WriteAt(const std::string& path, std::uint64_t offset, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    const bool written = fd >= 0
        && ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0)
        ::close(fd);
    return written;
}

bool ResizeSparse(const std::string& path, std::uint64_t size)
{
    return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

void SetMode(const std::string& path, unsigned mode)
{
    if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0)
        throw std::runtime_error("cannot change the permissions of " + path);
}

bool PermissionsBind(const TempDir& dir)
{
    const std::string probe = dir.File(".probe");
    WriteFile(probe, "x");
    ::chmod(probe.c_str(), 0);
    const int fd = ::open(probe.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    ::unlink(probe.c_str());
    return fd < 0;
}

std::string NullDevice()
{
    return "/dev/null";
}

void LimitOpenFiles(int count)
{
    struct rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(count);
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        throw std::runtime_error("cannot limit the open files to " + std::to_string(count));
}

void MakeFifo(const std::string& path)
{
    if (::mkfifo(path.c_str(), 0666) != 0)
        throw std::runtime_error("cannot create the FIFO " + path);
}

void MakeSocket(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path);
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!bound)
        throw std::runtime_error("cannot create the socket " + path);
}

FifoPeer::FifoPeer(std::string path)
    : FPath(std::move(path)), FWriter([this] {
          const int fd = ::open(FPath.c_str(), O_WRONLY | O_CLOEXEC);
          if (fd >= 0)
              ::close(fd);
      })
{
}

FifoPeer::~FifoPeer()
{
    // A reader of our own wakes a writer still waiting in its open.
    const int reader = ::open(FPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    FWriter.join();
    if (reader >= 0)
        ::close(reader);
}

} // namespace eit::test
