#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace eit {

// The directory separator of paths in the tool's texts.
#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

// The part of path after its last separator (and, on Windows, after a colon).
std::string FileNamePart(std::string_view path);
// The part of path up to and including its last separator (or colon on Windows).
std::string DirectoryPart(std::string_view path);
// "a" + sep + "b", adding the separator only when dir does not end in one.
std::string JoinPath(std::string_view dir, std::string_view name);
// Upper-cases the ASCII letters a-z and nothing else.
std::string AsciiUpper(std::string_view text);

bool PathExists(const std::string& path);
std::string CurrentDirectory();
// path when it starts at the root, otherwise path below the current
// directory (the current directory itself for an empty path).
std::string AbsolutePath(std::string_view path);
bool SetCurrentDirectory(const std::string& path);

// A file opened for reading that is known to be a regular file (or a link to
// one). Opening never blocks, so a FIFO, socket or device named like a file
// is refused instead of waiting for a writer that never comes.
class ReadOnlyFile {
public:
    // Throws FileError "Cannot open file %s" when path cannot be opened or is
    // not a regular file.
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    int Handle() const { return FHandle; }
    // The size when the file was opened.
    std::uint64_t Size() const { return FSize; }
    const std::string& Path() const { return FPath; }
    // Reads up to size bytes from the current position; 0 at the end.
    // Throws FileError "Cannot open file %s" on a read error.
    std::size_t Read(void* data, std::size_t size);
    // Reads up to size bytes at offset without moving the position; fewer
    // only at the end of the file. Throws FileError "Stream read error".
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;

private:
    std::string FPath;
    int FHandle = -1;
    std::uint64_t FSize = 0;
};

// What a path names, following links. Missing covers every path that cannot
// be looked at (no such entry, a dangling link, no permission).
enum class FileKind { Missing, Regular, Directory, Special };
FileKind KindOf(const std::string& path);

// Gives the existing file a second name, newPath, in the same file system.
// False, changing nothing, when newPath exists or the file system cannot
// link.
bool LinkFile(const std::string& existing, const std::string& newPath);

// Whether a and b name the same file: equal texts, or the same file reached
// by different paths (links, "." steps). Paths that cannot be looked at are
// the same only as equal texts.
bool SameFile(const std::string& a, const std::string& b);

// The whole content of a regular file. Throws FileError "Cannot open file %s".
std::string ReadWholeFile(const std::string& path);
// The content of a regular file up to, not including, its first zero byte.
// Reading stops there: the rest of the file is never read. Throws FileError
// "Cannot open file %s".
std::string ReadTextUntilZero(const std::string& path);
// Writes data to a temporary file beside path and renames it over path, so
// path holds either its old content or all of data. Throws FileError
// "Cannot create file %s" and leaves no temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view data);

// A file written under a temporary name in its final folder and renamed into
// place by Commit(). Destroying an uncommitted AtomicFile removes the
// temporary, so a failure never leaves a partial file under the final name.
class AtomicFile {
public:
    // Throws FileError "Cannot create file %s" with the final path.
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;

    int Handle() const { return FHandle; }
    const std::string& Path() const { return FPath; }
    // Throws FileError "Cannot write file %s" (disk full, I/O error).
    void Write(const void* data, std::size_t size);
    // Reads back up to size bytes written at offset; fewer only at the end.
    // Throws FileError "Stream read error".
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
    // Puts what was written on the disk before Commit() names it. Throws
    // FileError "Cannot write file %s".
    void Sync();
    // Closes and renames into place. Throws FileError "Cannot create file %s".
    void Commit();

private:
    void Discard() noexcept;

    std::string FPath;
    std::string FTempPath;
    int FHandle = -1;
};

// Copies count bytes from offset of the open file in to the end of out.
// Throws FileError "Stream read error" when in ends first, and the write
// error of out when it cannot take the bytes.
void CopyRange(int in, std::uint64_t offset, std::uint64_t count, AtomicFile& out);

} // namespace eit
