// The system boundary of Env.h for Windows, on the wide-character Win32 calls.
// The program's paths are UTF-8 byte strings; they become UTF-16 here and
// nowhere else.

#include "Env.h"
#include "WideText.h"

#include "CopySizes.h"
#include "Faults.h"
#include "FileError.h"
#include "FileUtil.h"
#include "TempRegistry.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// <windows.h> renames these to their W forms; ours keep their names.
#undef SetCurrentDirectory

namespace eit {

std::wstring Widen(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)),
                      L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    std::string text(
        static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)),
        '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), static_cast<int>(text.size()), nullptr,
                          nullptr);
    return text;
}

namespace {

// The system's full form of path ("" when it cannot tell): made absolute
// against the working directory or a drive's current folder, "." and ".."
// steps resolved; a device name such as "NUL" becomes "\\.\NUL".
std::wstring FullPathName(const std::wstring& path)
{
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    return full;
}

// path as the W calls take it: "\" for "/", and a long absolute path with
// the prefix that lifts the MAX_PATH limit. The prefix also turns off the
// system's clean-up of "." steps and doubled separators, so a long path is
// made full (and clean) by the system first.
std::wstring SystemPath(const std::string& path)
{
    std::wstring wide = Widen(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    // Below the limit of CreateDirectoryW (MAX_PATH less a short name) every
    // call works without the prefix.
    constexpr std::size_t kShort = MAX_PATH - 12;
    if (wide.size() < kShort || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\"))
        return wide;
    const std::wstring full = FullPathName(wide);
    if (full.empty())
        return wide;
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\"))
        return full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Whether path names one of the system's devices by its reserved name
// ("CON", "NUL", "COM1", ...), which the system finds in every folder.
bool IsDeviceName(const std::string& path)
{
    if (path.starts_with("\\\\") || path.starts_with("//"))
        return false;
    return FullPathName(Widen(path)).starts_with(L"\\\\.\\");
}

// Read access shared with writers and deleters, so that another program (or
// a rename over the file) is not locked out while we read it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens path to ask about the file it names, links followed; folders too.
HANDLE OpenForQuery(const std::string& path)
{
    return ::CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// ReadFile takes a 32-bit count; larger reads are split.
constexpr std::size_t kMaxIo = std::size_t{1} << 30;

FileErrorKind KindOfError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return FileErrorKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return FileErrorKind::NoPermission;
    case ERROR_DIRECTORY:
        return FileErrorKind::IsFolder;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_CANT_RESOLVE_FILENAME:
        return FileErrorKind::BadName;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
        return FileErrorKind::NoSpace;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return FileErrorKind::Io;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return FileErrorKind::OutOfMemory;
    case ERROR_TOO_MANY_OPEN_FILES:
        return FileErrorKind::TooManyOpenFiles;
    default:
        return FileErrorKind::Other;
    }
}

// error's kind and the system's text for it, without its line end.
SystemReason ReasonOf(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                         | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring_view wide(text ? text : L"", n);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' '))
        wide.remove_suffix(1);
    SystemReason reason{KindOfError(error), Narrow(wide)};
    ::LocalFree(text);
    return reason;
}

// What GetLastError says of the call that just failed.
SystemReason LastReason()
{
    return ReasonOf(::GetLastError());
}

// Reads at offset until size bytes or the end. The offset goes with each
// call, so no file pointer is shared between readers. Throws FileError
// "Stream read error: %s" with path.
std::size_t ReadFully(HANDLE handle, std::uint64_t offset, void* data, std::size_t size, const std::string& path)
{
    std::size_t got = 0;
    while (got < size) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + got);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(size - got, kMaxIo));
        if (faults::ReadFails())
            throw FileError::StreamRead(path);
        if (!::ReadFile(handle, static_cast<char*>(data) + got, want, &n, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            throw FileError::StreamRead(path, LastReason());
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

} // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path) : FPath(path)
{
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, so it
    // fails here; devices ("NUL", "CON", "COM1") and pipes open, and are
    // refused by their type.
    FHandle = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE) {
        SystemReason why = LastReason();
        const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            why.Kind = FileErrorKind::IsFolder;
        throw FileError::CannotOpen(path, why);
    }
    LARGE_INTEGER size{};
    const bool disk = ::GetFileType(FHandle) == FILE_TYPE_DISK;
    if (!disk || !::GetFileSizeEx(FHandle, &size)) {
        const SystemReason why = disk ? LastReason() : SystemReason{FileErrorKind::NotRegularFile, {}};
        ::CloseHandle(FHandle);
        throw FileError::CannotOpen(path, why);
    }
    FSize = static_cast<std::uint64_t>(size.QuadPart);
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : FPath(std::move(other.FPath)), FHandle(other.FHandle), FSize(other.FSize)
{
    other.FHandle = INVALID_HANDLE_VALUE;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (FHandle != INVALID_HANDLE_VALUE)
        ::CloseHandle(FHandle);
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const
{
    return ReadFully(FHandle, offset, data, size, FPath);
}

AtomicFile::AtomicFile(std::string path) : FPath(std::move(path)), FHandle(INVALID_HANDLE_VALUE)
{
    // DELETE access lets Commit() rename the open file over a target that
    // others still hold open.
    for (int attempt = 0; attempt < 100; ++attempt) {
        FTempPath = TempNameBeside(FPath);
        FHandle = ::CreateFileW(SystemPath(FTempPath).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
        if (FHandle != INVALID_HANDLE_VALUE) {
            FTempPlace = temp_registry::Add(FTempPath);
            return;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            throw FileError::CannotCreate(FPath, ReasonOf(error));
    }
    throw FileError::CannotCreate(FPath);
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : FPath(std::move(other.FPath)), FTempPath(std::move(other.FTempPath)), FHandle(other.FHandle),
      FTempPlace(other.FTempPlace), FWriteOffset(other.FWriteOffset), FPermissions(other.FPermissions),
      FSyncFolder(other.FSyncFolder)
{
    other.FHandle = INVALID_HANDLE_VALUE;
    other.FTempPlace = -1;
}

AtomicFile::~AtomicFile()
{
    Discard();
}

void AtomicFile::Discard() noexcept
{
    if (FHandle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
        ::DeleteFileW(SystemPath(FTempPath).c_str());
        temp_registry::Drop(FTempPlace);
    }
}

namespace {

// WriteFile at offset until all of data is written. Every call names its
// offset: ReadAt() moves the handle's file pointer, so the pointer cannot
// say where the next write goes.
void WriteFully(HANDLE handle, std::uint64_t offset, const void* data, std::size_t size, const std::string& path)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(size, kMaxIo));
        if (faults::WriteFails(want))
            throw FileError::CannotWrite(path, {FileErrorKind::NoSpace, {}});
        if (!::WriteFile(handle, p, want, &n, &at))
            throw FileError::CannotWrite(path, LastReason());
        if (n == 0)
            throw FileError::CannotWrite(path, {FileErrorKind::Io, {}});
        p += n;
        size -= n;
        offset += n;
    }
}

} // namespace

void AtomicFile::Write(const void* data, std::size_t size)
{
    WriteFully(FHandle, FWriteOffset, data, size, FPath);
    FWriteOffset += size;
}

void AtomicFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size)
{
    WriteFully(FHandle, offset, data, size, FPath);
}

void AtomicFile::CopyFrom(const ReadOnlyFile& in, std::uint64_t offset, std::uint64_t count)
{
    thread_local std::vector<char> buffer(kCopyBlock);
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyBlock));
        const std::size_t n = ReadFully(in.FHandle, offset, buffer.data(), want, in.FPath);
        if (n == 0)
            throw FileError::StreamRead(in.FPath, {FileErrorKind::ReadPastEnd, {}});
        Write(buffer.data(), n);
        offset += n;
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
    if (!::FlushFileBuffers(FHandle))
        throw FileError::CannotWrite(FPath, LastReason());
}

namespace {

// Renames the open file to name, in its own folder, replacing what stands
// there the way POSIX rename does: also while others hold the old file open
// (sharing deletion), as a replay holds the pack it rebuilds. Only newer
// systems offer it; false where they do not.
bool RenameOpenFile(HANDLE handle, const std::wstring& name)
{
    // One spare character past the name stays zero: its terminator.
    std::vector<char> storage(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
    // The Ex form of the call reads flags where the older one has a BOOL.
    // A read-only target is replaced as POSIX rename replaces it.
    constexpr DWORD kReplaceIfExists = 0x1;
    constexpr DWORD kPosixSemantics = 0x2;
    constexpr DWORD kIgnoreReadOnly = 0x40;
    *reinterpret_cast<DWORD*>(info) = kReplaceIfExists | kPosixSemantics | kIgnoreReadOnly;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    return ::SetFileInformationByHandle(handle, kFileRenameInfoEx, info, static_cast<DWORD>(storage.size()));
}

// Moves the file at temp over target while target is held open by others
// (sharing deletion), which MoveFileExW refuses where the rename by handle
// is missing: target steps aside under a temporary name first and is
// deleted once temp has its name; the holders keep reading the old file.
// On failure target is put back and false returned.
bool ReplaceHeldFile(const std::wstring& temp, const std::wstring& target, const std::string& finalPath)
{
    const std::wstring aside = SystemPath(TempNameBeside(finalPath));
    if (!::MoveFileExW(target.c_str(), aside.c_str(), 0))
        return false;
    if (!::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        ::MoveFileExW(aside.c_str(), target.c_str(), 0);
        return false;
    }
    // A read-only file can be renamed but not deleted until it is writable.
    if (!::DeleteFileW(aside.c_str()) && ::SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL))
        ::DeleteFileW(aside.c_str());
    return true;
}

} // namespace

namespace {

// The attributes a rebuilt file keeps from the one it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

bool AtomicFile::TakePermissionsOf(const std::string& path)
{
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(SystemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    FPermissions = attributes & kKeptAttributes;
    return true;
}

void AtomicFile::LimitPermissionsTo(const ReadOnlyFile&)
{
}

bool AtomicFile::ApplyPermissions() noexcept
{
    // Given once the file has its name: a read-only temporary could not be
    // deleted on failure.
    if (FPermissions <= 0)
        return true;
    const std::wstring path = SystemPath(FPath);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES
        && ::SetFileAttributesW(path.c_str(), (attributes & ~kKeptAttributes) | static_cast<DWORD>(FPermissions));
}

void AtomicFile::Commit()
{
    // Once named, the file stays: attributes the system refuses leave it
    // with a new file's, as they only guard against mistakes (its access
    // rules are its folder's).
    const auto named = [this] {
        static_cast<void>(ApplyPermissions());
        SyncFolderOf();
    };
    // A folder standing under the name is never replaced (POSIX refuses
    // that rename; some Windows file systems would carry it out).
    const DWORD standing = ::GetFileAttributesW(SystemPath(FPath).c_str());
    if (standing != INVALID_FILE_ATTRIBUTES && (standing & FILE_ATTRIBUTE_DIRECTORY)) {
        Discard();
        throw FileError::CannotCreate(FPath, ReasonOf(ERROR_DIRECTORY));
    }
    const HANDLE handle = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    temp_registry::Drop(FTempPlace);
    // Where the rename by handle is not offered, MoveFileExW replaces the
    // target after the close.
    const bool planned = faults::RenameFails();
    const bool renamed = !planned && RenameOpenFile(handle, Widen(FileNamePart(FPath)));
    ::CloseHandle(handle);
    if (renamed)
        return named();
    const std::wstring temp = SystemPath(FTempPath);
    const std::wstring target = SystemPath(FPath);
    if (!planned && ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return named();
    const DWORD error = ::GetLastError();
    if (!planned && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) && ReplaceHeldFile(temp, target, FPath))
        return named();
    ::DeleteFileW(temp.c_str());
    throw FileError::CannotCreate(FPath, ReasonOf(error));
}

namespace {

// Whether a lookup's error says there is no such entry, rather than that
// the system would not say.
bool IsNotFound(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
        return true;
    default:
        return false;
    }
}

} // namespace

void RemoveTemporaries()
{
    // Each file stays open, shared for deletion: the system removes it when
    // the process ends and closes it.
    for (int place = 0; place < temp_registry::Capacity(); ++place)
        if (const char* path = temp_registry::At(place))
            ::DeleteFileW(SystemPath(path).c_str());
}

bool SyncFolder(const std::string&)
{
    // A name given with MOVEFILE_WRITE_THROUGH or by handle is on the disk
    // once the call returns; Windows has no flush of a folder.
    return !faults::FolderSyncFails();
}

void ForceNamedTemporaries(bool)
{
    // Every temporary here has a name.
}

int OpenFileLimit()
{
    // Handles are limited only by memory; the C runtime's descriptors, which
    // the program does not use for files, by _getmaxstdio().
    return 1 << 16;
}

FileKind KindOf(const std::string& path)
{
    if (path.empty())
        return FileKind::Missing;
    // Opening a device may wait for it or change its state: its name says
    // enough.
    if (IsDeviceName(path))
        return FileKind::Special;
    const HANDLE handle = OpenForQuery(path);
    if (handle == INVALID_HANDLE_VALUE) {
        // A file another program opened without sharing still shows its
        // attributes.
        const DWORD error = ::GetLastError();
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (error != ERROR_SHARING_VIOLATION)
            return IsNotFound(error) ? FileKind::Missing : FileKind::Unknown;
        if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data))
            return IsNotFound(::GetLastError()) ? FileKind::Missing : FileKind::Unknown;
        return data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory : FileKind::Regular;
    }
    FileKind kind = FileKind::Special;
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &info))
        kind = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory : FileKind::Regular;
    ::CloseHandle(handle);
    return kind;
}

std::vector<FileKind> KindsOf(const std::vector<std::string_view>& paths)
{
    // Names match without regard to case here, and a listing cannot tell
    // that cheaply: every path is looked at on its own.
    std::vector<FileKind> kinds;
    kinds.reserve(paths.size());
    for (const std::string_view path : paths)
        kinds.push_back(KindOf(std::string(path)));
    return kinds;
}

bool PathExists(const std::string& path)
{
    return !path.empty()
        && (::GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES || IsDeviceName(path));
}

namespace {

// Symbolic links and junctions name another entry; other reparse points
// (cloud placeholders, deduplicated files) are the files themselves.
bool IsNameLink(const WIN32_FIND_DATAW& data)
{
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(data.dwReserved0);
}

} // namespace

bool IsPlainFile(const std::string& path)
{
    if (path.empty())
        return false;
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileExW(SystemPath(path).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                             nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsNameLink(data) && KindOf(path) == FileKind::Regular;
}

bool RemoveFile(const std::string& path)
{
    return !path.empty() && ::DeleteFileW(SystemPath(path).c_str());
}

bool LinkFile(const std::string& existing, const std::string& newPath)
{
    return ::CreateHardLinkW(SystemPath(newPath).c_str(), SystemPath(existing).c_str(), nullptr);
}

bool FolderIgnoresCase(const std::string&)
{
    // Folders marked case-sensitive exist, but programs and users on Windows
    // take two names differing only in case as one file.
    return true;
}

namespace {

// The stamp of an open file; false when the system cannot tell it.
bool StampOfHandle(HANDLE handle, FileStamp& stamp)
{
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandle(handle, &info)
        || !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    stamp.Device = info.dwVolumeSerialNumber;
    stamp.Number = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    stamp.Size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    stamp.Modified = basic.LastWriteTime.QuadPart;
    stamp.Changed = basic.ChangeTime.QuadPart;
    return true;
}

} // namespace

FileStamp ReadOnlyFile::Stamp() const
{
    FileStamp stamp;
    if (!StampOfHandle(FHandle, stamp))
        throw FileError::CannotOpen(FPath, LastReason());
    return stamp;
}

bool StampOf(const std::string& path, FileStamp& stamp)
{
    if (path.empty())
        return false;
    const HANDLE handle = OpenForQuery(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool known = StampOfHandle(handle, stamp);
    ::CloseHandle(handle);
    return known;
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    for (auto [path, info] : {std::pair{&a, &x}, std::pair{&b, &y}}) {
        const HANDLE handle = OpenForQuery(*path);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool known = ::GetFileInformationByHandle(handle, info);
        ::CloseHandle(handle);
        if (!known)
            return false;
    }
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh
        && x.nFileIndexLow == y.nFileIndexLow;
}

bool LookUpFile(const std::string& path, FileStatus& status)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    // FILETIME counts 100 ns steps from 1601; the epoch is 11644473600 s later.
    const std::int64_t ticks =
        static_cast<std::int64_t>(std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime);
    status.ModifiedTime = ticks / 10000000 - 11644473600LL;
    status.Size = static_cast<std::int64_t>(std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow);
    status.Attributes = data.dwFileAttributes;
    return true;
}

namespace {

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSlash(char c)
{
    return c == '\\' || c == '/';
}

// How many leading bytes of path are its root, which is never created: "C:\",
// "C:", "\", "\\server\share\" or a "\\?\" form of these.
std::size_t RootLength(std::string_view path)
{
    std::size_t start = 0;
    if (path.starts_with("\\\\?\\UNC\\"))
        start = 8;
    else if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\"))
        start = 4;
    const std::string_view rest = path.substr(start);
    if (rest.size() >= 2 && rest[1] == ':')
        return start + (rest.size() >= 3 && IsSlash(rest[2]) ? 3 : 2);
    if (start == 8 || (start == 0 && rest.size() >= 2 && IsSlash(rest[0]) && IsSlash(rest[1]))) {
        // Server and share.
        std::size_t pos = start == 8 ? start : 2;
        for (int part = 0; part < 2 && pos < path.size(); ++part) {
            while (pos < path.size() && !IsSlash(path[pos]))
                ++pos;
            if (pos < path.size())
                ++pos;
        }
        return pos;
    }
    return start + (!rest.empty() && IsSlash(rest[0]) ? 1 : 0);
}

} // namespace

bool CreateDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    if (IsFolder(path))
        return true;
    // Parents first, one step of path after another, from the root on.
    const std::size_t root = RootLength(path);
    for (std::size_t end = root; end <= path.size(); ++end) {
        if (end < path.size() && !IsSlash(path[end]))
            continue;
        if (end == root || IsSlash(path[end - 1]))
            continue; // the root, or a doubled separator
        const std::string step = path.substr(0, end);
        if (!::CreateDirectoryW(SystemPath(step).c_str(), nullptr) && !IsFolder(step))
            return false;
    }
    return IsFolder(path);
}

bool CreateRealFolder(const std::string& path)
{
    const std::wstring name = SystemPath(path);
    if (::CreateDirectoryW(name.c_str(), nullptr))
        return true;
    // The attributes of a link or junction are its own, not its target's.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
        && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

namespace {

// The text a call like GetCurrentDirectoryW gives, which returns the length
// it wrote, or the size it needs when the buffer is too small, or 0 on
// failure; "" on failure.
template <typename Query>
std::string QueryText(Query query)
{
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = query(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0)
            return {};
        if (length < text.size()) {
            text.resize(length);
            return Narrow(text);
        }
        text.resize(length);
    }
}

} // namespace

std::string CurrentDirectory()
{
    return QueryText([](wchar_t* text, DWORD size) { return ::GetCurrentDirectoryW(size, text); });
}

bool WriteInPlace(const std::string& path, std::string_view data, bool append)
{
    const HANDLE handle = ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // A failed write goes back to this length: a record cut short would be
    // read as part of the next one.
    LARGE_INTEGER kept{};
    if (append ? !::GetFileSizeEx(handle, &kept) || !::SetFilePointerEx(handle, kept, nullptr, FILE_BEGIN)
               : !::SetEndOfFile(handle)) {
        ::CloseHandle(handle);
        return false;
    }
    bool written = true;
    while (written && !data.empty()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(data.size(), kMaxIo));
        written = !faults::WriteFails(want) && ::WriteFile(handle, data.data(), want, &n, nullptr) && n > 0;
        data.remove_prefix(n);
    }
    written = written && !faults::SyncFails();
    if (!written && ::SetFilePointerEx(handle, kept, nullptr, FILE_BEGIN))
        ::SetEndOfFile(handle);
    return ::CloseHandle(handle) && written;
}

std::string HomeFolder()
{
    return QueryText([](wchar_t* text, DWORD size) { return ::GetEnvironmentVariableW(L"USERPROFILE", text, size); });
}

bool SetCurrentDirectory(const std::string& path)
{
    return !path.empty() && ::SetCurrentDirectoryW(SystemPath(path).c_str());
}

std::string DriveFolder(std::string_view root)
{
    // Some systems end a drive's current folder with a separator.
    std::wstring folder = FullPathName(Widen(root));
    if (folder.size() > 3 && folder.ends_with(L'\\') && folder[folder.size() - 2] != L':')
        folder.pop_back();
    return Narrow(folder);
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries)
{
    const std::string pattern = JoinPath(path, "*");
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        // A drive's root has no "." entry: empty, it finds nothing at all.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(path);
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FolderEntry& found = entries.emplace_back();
        found.Name = Narrow(name);
        found.Hidden = data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        found.Link = IsNameLink(data);
        if (!found.Link) {
            found.Kind = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::Folder : EntryKind::File;
            continue;
        }
        const FileKind target = KindOf(JoinPath(path, found.Name));
        found.Kind = target == FileKind::Regular     ? EntryKind::File
                   : target == FileKind::Directory ? EntryKind::Folder
                                                   : EntryKind::Other;
    } while (::FindNextFileW(search, &data));
    ::FindClose(search);
    return true;
}

bool StderrIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StderrTakesEscapes()
{
    static const bool escapes = [] {
        const HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
        DWORD mode = 0;
        if (!::GetConsoleMode(console, &mode))
            return false;
        return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0
            || ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }();
    return escapes;
}

int StderrColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    const std::string columns =
        QueryText([](wchar_t* text, DWORD size) { return ::GetEnvironmentVariableW(L"COLUMNS", text, size); });
    const long width = std::strtol(columns.c_str(), nullptr, 10);
    return width > 0 && width <= std::numeric_limits<int>::max() ? static_cast<int>(width) : 0;
}

namespace {

std::atomic<int>* gStopFlag = nullptr;
std::atomic<int> gStopSignal{0};
// The kinds of request that came once already: a second one is left to
// the system, which ends the program.
std::atomic<unsigned> gRequestsSeen{0};

// The signal numbers the requests report, those of the C runtime where it
// has one: Ctrl-C is SIGINT, Ctrl-Break SIGBREAK; closing the console is
// a hang-up, as on a POSIX terminal.
constexpr int kHangUp = 1;

constexpr int kBrokenPipe = 13;

// How long a closed console's program may go on to stop by itself: the
// system ends it about 5 s after the event.
constexpr DWORD kCloseGraceMs = 4000;

void RecordStop(int signal)
{
    gStopSignal = signal;
    if (gStopFlag)
        gStopFlag->store(1);
}

// Returning FALSE hands an event to the system's handler, which ends the
// process; so does returning from the handler of a close.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT: signal = SIGINT; break;
    case CTRL_BREAK_EVENT: signal = SIGBREAK; break;
    case CTRL_CLOSE_EVENT: signal = kHangUp; break;
    default:
        RemoveTemporaries();
        return FALSE;
    }
    const unsigned bit = 1u << event;
    if (gRequestsSeen.fetch_or(bit) & bit) {
        RemoveTemporaries();
        return FALSE;
    }
    RecordStop(signal);
    // Waiting here gives the batch time to stop after its entry and write
    // its log; if it is not done by then, it ends without its temporaries.
    if (event == CTRL_CLOSE_EVENT) {
        ::Sleep(kCloseGraceMs);
        RemoveTemporaries();
    }
    return TRUE;
}

// The console's output code page as the program found it, given back at
// the end: the console outlives the program.
UINT gConsoleCodePage = 0;

void RestoreConsoleCodePage()
{
    ::SetConsoleOutputCP(gConsoleCodePage);
}

// The msvcrt call that splits the wide command line into arguments as
// the runtime splits argv.
struct StartupInfo {
    int NewMode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expandWildcards, StartupInfo* info);

// Appends argument, or when its name part holds "*" or "?" the names it
// matches (the folder part as typed), in name order regardless of case: cmd.exe
// leaves the expansion to the program, and the order the file system lists
// names in differs between NTFS, FAT and network shares. A pattern that
// matches nothing stays as it is, as in a POSIX shell.
void ExpandWildcards(std::wstring_view argument, std::vector<std::string>& arguments)
{
    const std::size_t name = argument.find_last_of(L"\\/:") + 1;
    if (argument.find_first_of(L"*?", name) == std::wstring_view::npos) {
        arguments.push_back(Narrow(argument));
        return;
    }
    // The system's own matching also tries each entry's short 8.3 name
    // ("*.BIN" takes DATA.BINX through DATA~1.BIN) and has rules of its own
    // for dots: the folder is listed whole and the mask matched here.
    const std::string mask = Narrow(argument.substr(name));
    std::vector<std::wstring> matches;
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileExW((std::wstring(argument.substr(0, name)) + L"*").c_str(), FindExInfoBasic,
                                             &data, FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring_view found = data.cFileName;
            if (found != L"." && found != L".." && MatchesMask(Narrow(found), mask))
                matches.emplace_back(found);
        } while (::FindNextFileW(search, &data));
        ::FindClose(search);
    }
    if (matches.empty()) {
        arguments.push_back(Narrow(argument));
        return;
    }
    std::sort(matches.begin(), matches.end(), [](const std::wstring& a, const std::wstring& b) {
        const int order = ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                 static_cast<int>(b.size()), TRUE);
        return order == CSTR_LESS_THAN || (order == CSTR_EQUAL && a < b);
    });
    const std::string folder = Narrow(argument.substr(0, name));
    for (const std::wstring& match : matches)
        arguments.push_back(folder + Narrow(match));
}

} // namespace

void InstallStopHandler(std::atomic<int>& flag)
{
    // A process started with Ctrl-C ignored (start /b) inherits that, and
    // the system then calls no handler for it: it stays ignored.
    gStopFlag = &flag;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int StopSignal()
{
    return gStopSignal;
}

void ReportBrokenOutput()
{
    RecordStop(kBrokenPipe);
}

void AdviseLargePages(void*, std::size_t)
{
    // Large pages need a privilege ordinary users lack: nothing to ask for.
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    // The program's texts are UTF-8 bytes, written as they are: "\n" stays
    // one byte, and the console shows the bytes as UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (const UINT codePage = ::GetConsoleOutputCP(); codePage != 0 && codePage != CP_UTF8) {
        gConsoleCodePage = codePage;
        if (::SetConsoleOutputCP(CP_UTF8))
            std::atexit(RestoreConsoleCodePage);
    }

    // argv holds the arguments in the ANSI code page, which cannot hold every
    // name; the wide command line can. The runtime splits it as it splits
    // argv; the wildcards are expanded below.
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    StartupInfo info{0};
    if (__wgetmainargs(&count, &wide, &environment, 0, &info) != 0 || !wide)
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        // "/?" asks for help; it is no pattern, whatever the root holds.
        if (std::wstring_view(wide[i]) == L"/?")
            arguments.emplace_back("/?");
        else
            ExpandWildcards(wide[i], arguments);
    }
    return arguments;
}

} // namespace eit
