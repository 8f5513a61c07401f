// The system boundary of Env.h for Linux and the other POSIX systems.

#include "Env.h"

#include "CopySizes.h"
#include "Faults.h"
#include "FileError.h"
#include "FileUtil.h"
#include "TempRegistry.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace eit {

namespace {

bool OutOfDescriptors()
{
    return errno == EMFILE || errno == ENFILE;
}

FileErrorKind KindOfErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FileErrorKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileErrorKind::NoPermission;
    case EISDIR:
        return FileErrorKind::IsFolder;
    case ENXIO:
    case ENODEV:
        return FileErrorKind::NotRegularFile;
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return FileErrorKind::BadName;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileErrorKind::NoSpace;
    case EIO:
        return FileErrorKind::Io;
    case ENOMEM:
        return FileErrorKind::OutOfMemory;
    case EMFILE:
    case ENFILE:
        return FileErrorKind::TooManyOpenFiles;
    default:
        return FileErrorKind::Other;
    }
}

// What errno says of the call that just failed.
SystemReason LastReason()
{
    const int error = errno;
    return {KindOfErrno(error), std::strerror(error)};
}

// Why a write that returned n wrote nothing: a write of no byte at all is
// the device's fault.
SystemReason WriteReason(long n)
{
    return n < 0 ? LastReason() : SystemReason{FileErrorKind::Io, {}};
}

// The reason a file that opened is still refused: it is no regular file.
SystemReason NotRegular(const struct stat& st)
{
    return S_ISDIR(st.st_mode) ? SystemReason{FileErrorKind::IsFolder, std::strerror(EISDIR)}
                               : SystemReason{FileErrorKind::NotRegularFile, {}};
}

} // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path) : FPath(path)
{
    // O_NONBLOCK keeps the open of a FIFO without a writer (or of a device)
    // from waiting; such files are refused right after, by their type. On
    // the regular files that remain the flag changes nothing, so it stays:
    // clearing it would cost two more calls per file, and a rebuild opens
    // thousands.
    FHandle = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (FHandle < 0)
        throw FileError::CannotOpen(path, LastReason());
    struct stat st;
    const bool statted = ::fstat(FHandle, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const SystemReason why = statted ? NotRegular(st) : LastReason();
        ::close(FHandle);
        throw FileError::CannotOpen(path, why);
    }
    FSize = static_cast<std::uint64_t>(st.st_size);
}

namespace {

FileStamp StampFrom(const struct stat& st)
{
    FileStamp stamp;
    stamp.Device = static_cast<std::uint64_t>(st.st_dev);
    stamp.Number = static_cast<std::uint64_t>(st.st_ino);
    stamp.Size = static_cast<std::uint64_t>(st.st_size);
    stamp.Modified = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    stamp.Changed = std::int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

} // namespace

FileStamp ReadOnlyFile::Stamp() const
{
    struct stat st;
    if (::fstat(FHandle, &st) != 0)
        throw FileError::CannotOpen(FPath, LastReason());
    return StampFrom(st);
}

bool StampOf(const std::string& path, FileStamp& stamp)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    stamp = StampFrom(st);
    return true;
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : FPath(std::move(other.FPath)), FHandle(other.FHandle), FSize(other.FSize)
{
    other.FHandle = -1;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

namespace {

// pread until size bytes or the end. Throws FileError "Stream read error: %s"
// with path.
std::size_t ReadFully(int handle, std::uint64_t offset, void* data, std::size_t size, const std::string& path)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = faults::ReadFails()
            ? (errno = EIO, -1)
            : ::pread(handle, static_cast<char*>(data) + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw FileError::StreamRead(path, LastReason());
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

} // namespace

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const
{
    return ReadFully(FHandle, offset, data, size, FPath);
}

namespace {

std::atomic<bool> gNamedTemporaries{false};

// A named temporary beside path, opened for writing; -1 when none can be made.
int CreateNamedTemp(const std::string& path, std::string& tempPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = TempNameBeside(path);
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
    if (!gNamedTemporaries && !faults::NoUnnamedTemporaries()) {
        std::string dir = DirectoryPart(FPath);
        FHandle = ::open(dir.empty() ? "." : dir.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
        if (FHandle >= 0)
            return;
        if (OutOfDescriptors())
            throw FileError::CannotCreate(FPath, LastReason());
    }
#endif
    FHandle = CreateNamedTemp(FPath, FTempPath);
    if (FHandle < 0)
        throw FileError::CannotCreate(FPath, LastReason());
    FTempPlace = temp_registry::Add(FTempPath);
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : FPath(std::move(other.FPath)), FTempPath(std::move(other.FTempPath)), FHandle(other.FHandle),
      FTempPlace(other.FTempPlace), FWriteOffset(other.FWriteOffset), FPermissions(other.FPermissions),
      FSyncFolder(other.FSyncFolder)
{
    other.FHandle = -1;
    other.FTempPlace = -1;
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
        temp_registry::Drop(FTempPlace);
    }
}

void AtomicFile::Write(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = faults::WriteFails(size) ? (errno = ENOSPC, -1) : ::write(FHandle, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError::CannotWrite(FPath, WriteReason(n));
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n =
            faults::WriteFails(size) ? (errno = ENOSPC, -1) : ::pwrite(FHandle, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError::CannotWrite(FPath, WriteReason(n));
        p += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::CopyFrom(const ReadOnlyFile& in, std::uint64_t offset, std::uint64_t count)
{
    auto inOffset = static_cast<off_t>(offset);
    // For small entries one read and one write beat the in-kernel copy's setup.
    // A fault plan meets the bytes at the reads and writes below.
    bool kernelCopy = count > (1u << 16) && !faults::gPlanned.load(std::memory_order_relaxed);
    while (count > 0 && kernelCopy) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
        const ssize_t n = ::copy_file_range(in.FHandle, &inOffset, FHandle, nullptr, chunk, 0);
        if (n > 0) {
            count -= static_cast<std::uint64_t>(n);
        } else if (n == 0) {
            throw FileError::StreamRead(in.FPath, {FileErrorKind::ReadPastEnd, {}});
        } else if (errno == EINTR) {
            continue;
        } else if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
            throw FileError::CannotWrite(FPath, LastReason());
        } else {
            kernelCopy = false; // not supported between these files: copy by blocks
        }
    }
    if (count == 0)
        return;
    thread_local std::vector<char> buffer(kCopyBlock);
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyBlock));
        const std::size_t n = ReadFully(in.FHandle, static_cast<std::uint64_t>(inOffset), buffer.data(), want, in.FPath);
        if (n == 0)
            throw FileError::StreamRead(in.FPath, {FileErrorKind::ReadPastEnd, {}});
        Write(buffer.data(), n);
        inOffset += static_cast<off_t>(n);
        count -= n;
    }
}

std::size_t AtomicFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const
{
    return ReadFully(FHandle, offset, data, size, FPath);
}

void AtomicFile::Sync()
{
    if (faults::SyncFails())
        throw FileError::CannotWrite(FPath, {FileErrorKind::Io, {}});
    if (::fdatasync(FHandle) != 0)
        throw FileError::CannotWrite(FPath, LastReason());
}

bool AtomicFile::TakePermissionsOf(const std::string& path)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    FPermissions = st.st_mode & 0777;
    return true;
}

void AtomicFile::LimitPermissionsTo(const ReadOnlyFile& file)
{
    struct stat own, other;
    if (::fstat(FHandle, &own) == 0 && ::fstat(file.FHandle, &other) == 0)
        FPermissions = own.st_mode & (other.st_mode | 0700) & 0777;
}

bool AtomicFile::ApplyPermissions() noexcept
{
    return FPermissions < 0 || ::fchmod(FHandle, static_cast<mode_t>(FPermissions)) == 0;
}

void AtomicFile::Commit()
{
    if (!ApplyPermissions()) {
        const SystemReason why = LastReason();
        Discard();
        throw FileError::CannotCreate(FPath, why);
    }
    if (FTempPath.empty()) {
        // Give the unnamed file its name. When something already stands
        // there, link it under a temporary name first and rename that over
        // the old file, so the old file is replaced in one step.
        // Linking by descriptor needs a capability most users lack; the
        // /proc path works for everyone, only a little slower.
        // A planned rename failure takes the way through a temporary name.
        static std::atomic<bool> byDescriptor{true};
        const bool direct = !faults::RenameFails();
        if (direct && byDescriptor && ::linkat(FHandle, "", AT_FDCWD, FPath.c_str(), AT_EMPTY_PATH) == 0) {
            ::close(FHandle);
            FHandle = -1;
            SyncFolderOf();
            return;
        }
        if (direct && (errno == EPERM || errno == ENOENT || errno == EINVAL))
            byDescriptor = false;
        const std::string self = "/proc/self/fd/" + std::to_string(FHandle);
        if (direct && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, FPath.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            ::close(FHandle);
            FHandle = -1;
            SyncFolderOf();
            return;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string temp = TempNameBeside(FPath);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                FTempPath = temp;
                FTempPlace = temp_registry::Add(FTempPath);
                break;
            }
            if (errno != EEXIST)
                break;
        }
        if (FTempPath.empty()) {
            const SystemReason why = LastReason();
            Discard();
            throw FileError::CannotCreate(FPath, why);
        }
    }
    const int fd = FHandle;
    FHandle = -1;
    const bool closed = ::close(fd) == 0;
    const bool renamed = closed && !faults::RenameFails() && ::rename(FTempPath.c_str(), FPath.c_str()) == 0;
    const SystemReason why = renamed ? SystemReason{} : LastReason();
    if (!renamed)
        ::unlink(FTempPath.c_str());
    temp_registry::Drop(FTempPlace);
    if (!renamed)
        throw FileError::CannotCreate(FPath, why);
    SyncFolderOf();
}

bool SyncFolder(const std::string& folder)
{
    if (faults::FolderSyncFails())
        return false;
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true; // a folder that may be written to but not read: nothing to flush by
    // Some file systems cannot flush a folder; their names are as durable as they get.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EROFS;
    ::close(fd);
    return synced;
}

void RemoveTemporaries()
{
    for (int place = 0; place < temp_registry::Capacity(); ++place)
        if (const char* path = temp_registry::At(place))
            ::unlink(path);
}

void ForceNamedTemporaries(bool named)
{
    gNamedTemporaries = named;
}

int OpenFileLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<int>::max();
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, std::numeric_limits<int>::max()));
}

FileKind KindOf(const std::string& path)
{
    struct stat st;
    if (path.empty())
        return FileKind::Missing;
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unknown;
    if (S_ISREG(st.st_mode))
        return FileKind::Regular;
    return S_ISDIR(st.st_mode) ? FileKind::Directory : FileKind::Special;
}

namespace {

// What one read of a folder tells about the names in it, as far as it is
// sure to agree with looking each path up.
class FolderNames {
public:
    explicit FolderNames(const std::string& folder)
    {
        DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
        if (!dir) {
            // The folder does not resolve, so no path through it does. Any
            // other failure (no read permission on a folder that may still
            // be searched) leaves the answers to the lookups.
            FState = errno == ENOENT || errno == ENOTDIR ? State::Absent : State::Unknown;
            return;
        }
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
#ifdef _DIRENT_HAVE_D_TYPE
            const unsigned char type = entry->d_type;
#else
            const unsigned char type = DT_UNKNOWN;
#endif
            std::string name = entry->d_name;
            // Case-folding file systems may match a name without ASCII
            // letters (a Kelvin sign, a sharp s) to an ASCII one: a miss is
            // then not sure.
            FFoldedOnly = FFoldedOnly
                && std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            FFolded.insert(Folded(name));
            FTypes.emplace(std::move(name), type);
            errno = 0;
        }
        FState = errno == 0 ? State::Listed : State::Unknown;
        ::closedir(dir);
    }

    // The kind of the entry name, or nullopt when the listing cannot tell.
    std::optional<FileKind> Find(std::string_view name) const
    {
        if (FState != State::Listed)
            return FState == State::Absent ? std::optional(FileKind::Missing) : std::nullopt;
        // A name the file system cannot hold is for the lookup to refuse.
        if (name.empty() || name == "." || name == ".." || name.size() > kNameMax)
            return std::nullopt;
        if (const auto found = FTypes.find(std::string(name)); found != FTypes.end()) {
            switch (found->second) {
            case DT_REG:
                return FileKind::Regular;
            case DT_DIR:
                return FileKind::Directory;
            case DT_FIFO:
            case DT_SOCK:
            case DT_CHR:
            case DT_BLK:
                return FileKind::Special;
            default:
                return std::nullopt; // a link, followed only by a lookup
            }
        }
        // A miss is sure unless the file system may know the name by another
        // spelling: another case, a FAT short name ("~"), trailing dots or
        // spaces dropped, or a form of a name outside printable ASCII.
        const bool plain = std::all_of(name.begin(), name.end(), [](char c) { return c >= ' ' && c < 0x7f && c != '~'; })
            && name.back() != '.' && name.back() != ' ';
        if (plain && FFoldedOnly && !FFolded.contains(Folded(name)))
            return FileKind::Missing;
        return std::nullopt;
    }

private:
    enum class State { Listed, Absent, Unknown };

#ifdef NAME_MAX
    static constexpr std::size_t kNameMax = NAME_MAX;
#else
    static constexpr std::size_t kNameMax = 255;
#endif

    static std::string Folded(std::string_view name)
    {
        std::string folded(name);
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return folded;
    }

    State FState = State::Unknown;
    std::unordered_map<std::string, unsigned char> FTypes;
    std::unordered_set<std::string> FFolded;
    bool FFoldedOnly = true;   // every listed name is plain ASCII
};

} // namespace

std::vector<FileKind> KindsOf(const std::vector<std::string_view>& paths)
{
    std::vector<FileKind> kinds;
    kinds.reserve(paths.size());
    std::unordered_map<std::string, FolderNames> folders;
    const FolderNames* folder = nullptr;
    std::string_view folderPath;
    for (const std::string_view path : paths) {
        if (path.empty()) {
            kinds.push_back(FileKind::Missing);
            continue;
        }
        const std::size_t cut = path.rfind('/') + 1; // 0 without a slash
        if (!folder || path.substr(0, cut) != folderPath) {
            folderPath = path.substr(0, cut);
            const std::string key(folderPath);
            auto found = folders.find(key);
            if (found == folders.end())
                found = folders.try_emplace(key, key).first;
            folder = &found->second;
        }
        const std::optional<FileKind> kind = folder->Find(path.substr(cut));
        kinds.push_back(kind ? *kind : KindOf(std::string(path)));
    }
    return kinds;
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsPlainFile(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path)
{
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

bool LinkFile(const std::string& existing, const std::string& newPath)
{
    return ::link(existing.c_str(), newPath.c_str()) == 0;
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

namespace {

// name with the case of its ASCII letters swapped.
std::string OtherCase(std::string_view name)
{
    std::string swapped(name);
    for (char& c : swapped)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            c = static_cast<char>(c ^ 0x20);
    return swapped;
}

// Whether a and b are one entry of the file system, links not followed.
bool SameEntry(const std::string& a, const std::string& b)
{
    struct stat x, y;
    return ::lstat(a.c_str(), &x) == 0 && ::lstat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// The name of the first entry of folder that holds a letter; "" when there
// is none or the folder cannot be read.
std::string EntryWithLetter(const std::string& folder)
{
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return {};
    std::string found;
    while (const dirent* entry = ::readdir(listing)) {
        if (OtherCase(entry->d_name) != entry->d_name) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

} // namespace

bool FolderIgnoresCase(const std::string& folder)
{
    std::string at = folder;
    while (KindOf(at) != FileKind::Directory) {
        std::string up = DirectoryPart(at);
        while (up.size() > 1 && up.back() == '/')
            up.pop_back();
        if (up.empty() || up == at)
            return false;
        at = up;
    }
    // A name the folder holds already answers without writing anything.
    if (const std::string name = EntryWithLetter(at); !name.empty())
        return SameEntry(JoinPath(at, name), JoinPath(at, OtherCase(name)));
    std::string temp;
    const int handle = CreateNamedTemp(JoinPath(at, "probe"), temp);
    if (handle < 0)
        return false;
    ::close(handle);
    const bool ignores = SameEntry(temp, DirectoryPart(temp) + OtherCase(FileNamePart(temp)));
    ::unlink(temp.c_str());
    return ignores;
}

bool LookUpFile(const std::string& path, FileStatus& status)
{
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0)
        return false;
    status.ModifiedTime = static_cast<std::int64_t>(st.st_mtime);
    status.Size = static_cast<std::int64_t>(st.st_size);
    status.Attributes = static_cast<std::uint32_t>(st.st_mode);
    return true;
}

bool CreateDirectories(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool CreateRealFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentDirectory()
{
    std::error_code ec;
    auto dir = std::filesystem::current_path(ec);
    return ec ? std::string() : dir.string();
}

bool WriteInPlace(const std::string& path, std::string_view data, bool append)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0)
        return false;
    // A failed write goes back to this length: a record cut short would be
    // read as part of the next one.
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    const off_t kept = append ? st.st_size : 0;
    bool written = true;
    while (written && !data.empty()) {
        const ssize_t n = faults::WriteFails(data.size()) ? (errno = ENOSPC, -1) : ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        if (written)
            data.remove_prefix(static_cast<std::size_t>(n));
    }
    written = written && !faults::SyncFails();
    if (!written)
        while (::ftruncate(fd, kept) != 0 && errno == EINTR) {
        }
    if (::close(fd) == 0)
        return written;
    // Network file systems may report a failed write only here.
    if (written)
        while (::truncate(path.c_str(), kept) != 0 && errno == EINTR) {
        }
    return false;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

bool SetCurrentDirectory(const std::string& path)
{
    return ::chdir(path.c_str()) == 0;
}

std::string DriveFolder(std::string_view)
{
    return {};
}

namespace {

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

EntryKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    return S_ISDIR(mode) ? EntryKind::Folder : EntryKind::Other;
}

// Fills in what entry names. The type readdir gives saves a stat for most
// entries; only links and entries of unknown type are looked at.
void Describe(DIR* folder, const dirent* entry, FolderEntry& found)
{
    struct stat st;
#ifdef _DIRENT_HAVE_D_TYPE
    const unsigned char type = entry->d_type;
#else
    const unsigned char type = DT_UNKNOWN;
#endif
    if (type == DT_REG || type == DT_DIR) {
        found.Kind = type == DT_REG ? EntryKind::File : EntryKind::Folder;
        return;
    }
    if (type == DT_UNKNOWN) {
        if (::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        found.Link = S_ISLNK(st.st_mode);
        if (!found.Link) {
            found.Kind = KindOfMode(st.st_mode);
            return;
        }
    } else if (type == DT_LNK) {
        found.Link = true;
    } else {
        return; // a FIFO, socket or device
    }
    if (::fstatat(::dirfd(folder), entry->d_name, &st, 0) == 0)
        found.Kind = KindOfMode(st.st_mode);
}

} // namespace

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries)
{
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return false;
    while (const dirent* entry = ::readdir(folder)) {
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name))
            continue;
        FolderEntry& found = entries.emplace_back();
        found.Name = name;
        found.Hidden = name[0] == '.';
        Describe(folder, entry, found);
    }
    ::closedir(folder);
    return true;
}

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

bool StderrTakesEscapes()
{
    return StderrIsTerminal();
}

int StderrColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    const char* columns = std::getenv("COLUMNS");
    const long width = columns ? std::strtol(columns, nullptr, 10) : 0;
    return width > 0 && width <= std::numeric_limits<int>::max() ? static_cast<int>(width) : 0;
}

namespace {

std::atomic<int>* gStopFlag = nullptr;
volatile std::sig_atomic_t gStopSignal = 0;
// The stop requests that came once already, a bit per signal number.
std::atomic<std::uint64_t> gStopsSeen{0};

void RecordStop(int signal)
{
    gStopSignal = signal;
    if (gStopFlag)
        gStopFlag->store(1);
}

// Removes the temporaries, then lets signal end the process as it would
// have without a handler: it is blocked while its handler runs, so it comes
// again, to the default action, once the handler returns.
void EndBySignal(int signal)
{
    RemoveTemporaries();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
}

extern "C" void OnStopSignal(int signal)
{
    // Every write to a closed pipe raises one more SIGPIPE: that is no
    // second request, and it does not hide the request that came first.
    if (signal == SIGPIPE) {
        if (gStopSignal == 0)
            RecordStop(signal);
        return;
    }
    const std::uint64_t bit = std::uint64_t{1} << signal;
    if ((gStopsSeen.fetch_or(bit) & bit) != 0)
        EndBySignal(signal);
    else
        RecordStop(signal);
}

extern "C" void OnEndSignal(int signal)
{
    const int saved = errno;
    EndBySignal(signal);
    errno = saved;
}

// Hands signal to handler unless the program was started with it ignored.
void Catch(int signal, void (*handler)(int))
{
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
        return;
    struct sigaction action {};
    action.sa_handler = handler;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

void InstallStopHandler(std::atomic<int>& flag)
{
    gStopFlag = &flag;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        Catch(signal, OnStopSignal);
    // The crashes (SIGSEGV, SIGBUS, ...) are left to the sanitizers and
    // debuggers that catch them.
    for (const int signal : {SIGQUIT, SIGABRT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU, SIGXFSZ})
        Catch(signal, OnEndSignal);
}

int StopSignal()
{
    return gStopSignal;
}

void ReportBrokenOutput()
{
    RecordStop(SIGPIPE);
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

void AdviseLargePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t size)
{
#ifdef MADV_HUGEPAGE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t last = (start + size) / page * page;
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

} // namespace eit
