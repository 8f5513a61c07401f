#include "FileUtil.h"

#include "FileError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace eit {

namespace {

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == kPathSep;
#endif
}

std::size_t NamePosition(std::string_view path)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return i;
    return 0;
}

} // namespace

std::string FileNamePart(std::string_view path)
{
    return std::string(path.substr(NamePosition(path)));
}

std::string DirectoryPart(std::string_view path)
{
    return std::string(path.substr(0, NamePosition(path)));
}

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (!path.empty() && path.back() != kPathSep)
        path += kPathSep;
    path += name;
    return path;
}

std::string AsciiUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string CurrentDirectory()
{
    std::error_code ec;
    auto dir = std::filesystem::current_path(ec);
    return ec ? std::string() : dir.string();
}

std::string AbsolutePath(std::string_view path)
{
    if (path.empty())
        return CurrentDirectory();
    if (path.front() == kPathSep)
        return std::string(path);
    return JoinPath(CurrentDirectory(), path);
}

bool SetCurrentDirectory(const std::string& path)
{
    return ::chdir(path.c_str()) == 0;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : FPath(path)
{
    // O_NONBLOCK keeps the open of a FIFO without a writer (or of a device)
    // from waiting; such files are refused right after, by their type.
    FHandle = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (FHandle < 0)
        throw FileError::CannotOpen(path);
    struct stat st;
    const int flags = ::fcntl(FHandle, F_GETFL);
    if (::fstat(FHandle, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0
        || ::fcntl(FHandle, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(FHandle);
        throw FileError::CannotOpen(path);
    }
    FSize = static_cast<std::uint64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile()
{
    ::close(FHandle);
}

std::size_t ReadOnlyFile::Read(void* data, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(FHandle, data, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw FileError::CannotOpen(FPath);
    }
}

namespace {

// pread until size bytes or the end; -1 on an error.
ssize_t ReadFully(int handle, std::uint64_t offset, void* data, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(handle, static_cast<char*>(data) + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

} // namespace

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const
{
    const ssize_t n = ReadFully(FHandle, offset, data, size);
    if (n < 0)
        throw FileError::StreamRead();
    return static_cast<std::size_t>(n);
}

bool LinkFile(const std::string& existing, const std::string& newPath)
{
    return ::link(existing.c_str(), newPath.c_str()) == 0;
}

FileKind KindOf(const std::string& path)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return FileKind::Missing;
    if (S_ISREG(st.st_mode))
        return FileKind::Regular;
    return S_ISDIR(st.st_mode) ? FileKind::Directory : FileKind::Special;
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

std::string ReadWholeFile(const std::string& path)
{
    ReadOnlyFile file(path);
    std::string data;
    data.reserve(static_cast<std::size_t>(file.Size()));
    char buffer[1 << 16];
    while (const std::size_t n = file.Read(buffer, sizeof buffer))
        data.append(buffer, n);
    return data;
}

std::string ReadTextUntilZero(const std::string& path)
{
    ReadOnlyFile file(path);
    std::string text;
    char buffer[1 << 16];
    while (const std::size_t n = file.Read(buffer, sizeof buffer)) {
        const std::string_view block(buffer, n);
        const std::size_t zero = block.find('\0');
        text.append(block.substr(0, zero));
        if (zero != std::string_view::npos)
            break;
    }
    return text;
}

void WriteFileAtomically(const std::string& path, std::string_view data)
{
    AtomicFile file(path);
    file.Write(data.data(), data.size());
    file.Commit();
}

namespace {

// A short name beside path (".eit-" and six letters or digits), so that it
// fits wherever path's own name fits. Callers create it exclusively and
// retry on a clash.
std::string TempNameFor(const std::string& path)
{
    static constexpr std::string_view kLetters = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static std::atomic<std::uint64_t> next{static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
                                           ^ std::uint64_t{static_cast<std::uint32_t>(::getpid())} << 32};
    // Spread consecutive values over all names (a splitmix64 step), so that
    // two processes started together rarely try the same names.
    std::uint64_t value = next.fetch_add(0x9E3779B97F4A7C15ull);
    value = (value ^ value >> 30) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ value >> 27) * 0x94D049BB133111EBull;
    value ^= value >> 31;
    std::string name = DirectoryPart(path) + ".eit-";
    for (int i = 0; i < 6; ++i, value /= kLetters.size())
        name += kLetters[value % kLetters.size()];
    return name;
}

// A named temporary beside path, opened for writing; -1 when none can be made.
int CreateNamedTemp(const std::string& path, std::string& tempPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = TempNameFor(path);
        // 0666 so the finished file gets the permissions of any file the user
        // creates (the umask applies).
        const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

AtomicFile::AtomicFile(std::string path) : FPath(std::move(path))
{
#ifdef O_TMPFILE
    // An unnamed file in the final folder: if we die before Commit(), the
    // kernel frees it and nothing is left behind.
    std::string dir = DirectoryPart(FPath);
    FHandle = ::open(dir.empty() ? "." : dir.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
    if (FHandle >= 0)
        return;
#endif
    FHandle = CreateNamedTemp(FPath, FTempPath);
    if (FHandle < 0)
        throw FileError::CannotCreate(FPath);
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : FPath(std::move(other.FPath)), FTempPath(std::move(other.FTempPath)), FHandle(other.FHandle)
{
    other.FHandle = -1;
}

AtomicFile::~AtomicFile()
{
    Discard();
}

void AtomicFile::Discard() noexcept
{
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
        if (!FTempPath.empty())
            ::unlink(FTempPath.c_str());
    }
}

void AtomicFile::Write(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(FHandle, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError("Cannot write file " + FPath);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::size_t AtomicFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const
{
    const ssize_t n = ReadFully(FHandle, offset, data, size);
    if (n < 0)
        throw FileError::StreamRead();
    return static_cast<std::size_t>(n);
}

void AtomicFile::Sync()
{
    if (::fdatasync(FHandle) != 0)
        throw FileError("Cannot write file " + FPath);
}

void AtomicFile::Commit()
{
    if (FTempPath.empty()) {
        // Give the unnamed file its name. When something already stands
        // there, link it under a temporary name first and rename that over
        // the old file, so the old file is replaced in one step.
        // Linking by descriptor needs a capability most users lack; the
        // /proc path works for everyone, only a little slower.
        static std::atomic<bool> byDescriptor{true};
        if (byDescriptor && ::linkat(FHandle, "", AT_FDCWD, FPath.c_str(), AT_EMPTY_PATH) == 0) {
            ::close(FHandle);
            FHandle = -1;
            return;
        }
        if (errno == EPERM || errno == ENOENT || errno == EINVAL)
            byDescriptor = false;
        const std::string self = "/proc/self/fd/" + std::to_string(FHandle);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, FPath.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            ::close(FHandle);
            FHandle = -1;
            return;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string temp = TempNameFor(FPath);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                FTempPath = temp;
                break;
            }
            if (errno != EEXIST)
                break;
        }
        if (FTempPath.empty()) {
            Discard();
            throw FileError::CannotCreate(FPath);
        }
    }
    const int fd = FHandle;
    FHandle = -1;
    const bool closed = ::close(fd) == 0;
    if (!closed || ::rename(FTempPath.c_str(), FPath.c_str()) != 0) {
        ::unlink(FTempPath.c_str());
        throw FileError::CannotCreate(FPath);
    }
}

void CopyRange(int in, std::uint64_t offset, std::uint64_t count, AtomicFile& out)
{
    auto inOffset = static_cast<off_t>(offset);
    // For small entries one read and one write beat the in-kernel copy's setup.
    bool kernelCopy = count > (1u << 16);
    while (count > 0 && kernelCopy) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
        const ssize_t n = ::copy_file_range(in, &inOffset, out.Handle(), nullptr, chunk, 0);
        if (n > 0) {
            count -= static_cast<std::uint64_t>(n);
        } else if (n == 0) {
            throw FileError::StreamRead();
        } else if (errno == EINTR) {
            continue;
        } else if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
            throw FileError("Cannot write file " + out.Path());
        } else {
            kernelCopy = false; // not supported between these files: copy by blocks
        }
    }
    if (count == 0)
        return;
    constexpr std::size_t kBlock = 1 << 18;
    thread_local std::vector<char> buffer(kBlock);
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlock));
        const ssize_t n = ::pread(in, buffer.data(), want, inOffset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError::StreamRead();
        out.Write(buffer.data(), static_cast<std::size_t>(n));
        inOffset += n;
        count -= static_cast<std::uint64_t>(n);
    }
}

} // namespace eit
