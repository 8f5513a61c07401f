#pragma once

// The program's one boundary to the operating system. Everything that asks
// the system for something (files, folders, the working directory, signals,
// the console) goes through the declarations below; no other file of the
// program includes a system header except CommandLine.cpp, which reads
// command lines with the getopt_long of both systems' C libraries.
//
// EnvPosix.cpp implements them for Linux and the other POSIX systems,
// EnvWindows.cpp for Windows on the wide-character calls; the build picks
// one of the two (core/CMakeLists.txt). Paths are the program's byte strings
// (UTF-8 on Windows, with "/" or "\" between names); an implementation
// converts them only inside itself.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace eit {

// The system's own name for an open file: a descriptor on POSIX, a HANDLE on
// Windows. Only the implementation looks inside it.
#ifdef _WIN32
using NativeFile = void*;
#else
using NativeFile = int;
#endif

// What tells one state of a file from another without reading it: which
// file it is (device and file number), its size and its times of change.
// A replacement changes it, and so does a write, unless the write keeps the
// size and comes within the same step of the system's file clock (a few
// milliseconds) as the stamp was taken.
struct FileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Number = 0;
    std::uint64_t Size = 0;
    std::int64_t Modified = 0; // in the system's own unit
    std::int64_t Changed = 0;  // status change; 0 where the system has none
    bool operator==(const FileStamp&) const = default;
};

// A file opened for reading that is known to be a regular file (or a link to
// one). Opening never blocks, so a FIFO, socket or device named like a file
// is refused instead of waiting for a writer that never comes. Move-only;
// the destructor closes it.
class ReadOnlyFile {
public:
    // Throws FileError "Cannot open file %s" when path cannot be opened or is
    // not a regular file, "Cannot open file %s: too many open files" when
    // the process or the system may open no more files.
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&&) = delete;

    // The size when the file was opened.
    std::uint64_t Size() const { return FSize; }
    const std::string& Path() const { return FPath; }
    // Reads up to size bytes at offset and returns how many: fewer only at
    // the end of the file, 0 at or past it. Throws FileError "Stream read
    // error: %s" with Path() when the system reports a read failure. Several threads may
    // read one file at once, and one may copy from it (AtomicFile::CopyFrom)
    // meanwhile.
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
    // The file's stamp now. Throws FileError "Cannot open file %s" when the
    // system cannot tell it.
    FileStamp Stamp() const;

private:
    friend class AtomicFile;

    std::string FPath;
    NativeFile FHandle;
    std::uint64_t FSize = 0;
};

// A file written under a temporary name in its final folder and renamed into
// place by Commit(), replacing whatever file stood there in one step.
// Destroying an uncommitted AtomicFile removes the temporary, so a failure
// never leaves a partial file under the final name; so does a signal that
// ends the process (RemoveTemporaries()), every one but SIGKILL.
class AtomicFile {
public:
    // Throws FileError "Cannot create file %s" with the final path, "Cannot
    // create file %s: too many open files" when the process or the system
    // may open no more files.
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;

    const std::string& Path() const { return FPath; }
    // Appends. Throws FileError "Cannot write file %s" (disk full, I/O
    // error).
    void Write(const void* data, std::size_t size);
    // Writes at offset, past the end too (the bytes skipped read as zeros),
    // and leaves where Write and CopyFrom append as it was. One thread may
    // call it while another appends, for bytes the other does not write.
    // Throws Write's error.
    void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    // Appends count bytes of in, starting at offset. Throws FileError
    // "Stream read error: %s" with in's path when in ends first or cannot be
    // read, and Write's error when this file cannot take the bytes.
    void CopyFrom(const ReadOnlyFile& in, std::uint64_t offset, std::uint64_t count);
    // Reads back up to size bytes written at offset; fewer only at the end.
    // Several threads may read back at once. Throws FileError "Stream read
    // error: %s" with Path().
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
    // Puts what was written on the disk before Commit() names it. Throws
    // FileError "Cannot write file %s".
    void Sync();
    // Closes and renames into place, with the permissions chosen below,
    // then puts the new name on the disk (POSIX: the folder is flushed), so
    // that a power cut cannot take back a name reported done. Throws
    // FileError "Cannot create file %s" (on POSIX also when those
    // permissions cannot be given, or the folder cannot be flushed).
    void Commit();
    // Leaves the folder's flush out of Commit(), for a caller that names
    // many files in one folder and flushes it once with SyncFolder().
    void LeaveFolderUnsynced() { FSyncFolder = false; }

    // What Commit() gives the file besides its bytes. Without a call it has
    // what any file the user creates has.
    //
    // TakePermissionsOf: the permissions of the file path names (links
    // followed): its permission bits on POSIX, its read-only, hidden and
    // system attributes on Windows. False, changing nothing, when path
    // cannot be looked at.
    bool TakePermissionsOf(const std::string& path);
    // LimitPermissionsTo: what a new file gets, less what `file` denies to
    // users other than its owner (the group and other bits on POSIX).
    // Nothing changes on Windows, where a new file takes its folder's access
    // rules.
    void LimitPermissionsTo(const ReadOnlyFile& file);

private:
    void Discard() noexcept;
    // Gives the file the permissions chosen above; false when the system
    // refuses.
    bool ApplyPermissions() noexcept;
    // Flushes the folder holding the new name unless LeaveFolderUnsynced()
    // was called. Throws FileError "Cannot create file %s".
    void SyncFolderOf() const;

    std::string FPath;
    std::string FTempPath;
    NativeFile FHandle;
    // FTempPath's place among the names removed before a signal ends the
    // process; -1 when it has none.
    int FTempPlace = -1;
    // Where the next Write() goes, for systems whose positional reads move
    // the file pointer (Windows).
    std::uint64_t FWriteOffset = 0;
    // The permission bits (POSIX) or attributes (Windows) for Commit() to
    // give; -1 for the system's own.
    std::int64_t FPermissions = -1;
    bool FSyncFolder = true;
};

// Writes data to the file path in place, creating it when missing: at its
// end when append is true, otherwise over its old content, which is
// dropped. For files that grow a record at a time and must be whole after
// each, where an AtomicFile would copy all that came before. False when the
// file cannot be opened or written to, or the write is cut short; the file
// then holds what it held before (when appending) or nothing, never part of
// data.
bool WriteInPlace(const std::string& path, std::string_view data, bool append);

// Puts the names given in folder ("" for the working directory) on the
// disk. True also where the system cannot flush a folder (Windows, file
// systems without it) or the folder cannot be opened for it; false when the
// flush fails.
bool SyncFolder(const std::string& folder);

// What a path names, following links. Missing: no such entry, a dangling
// link, a path through a file, an empty path. Unknown: the system will not
// say whether there is an entry (a folder on the way that may not be
// searched, a name too long, a loop of links, an I/O error).
enum class FileKind { Missing, Regular, Directory, Special, Unknown };
FileKind KindOf(const std::string& path);
// KindOf of each path, in order, at a fraction of the cost when many paths
// share a folder: a folder is read once and most answers come from its
// listing; the rest are looked at one by one.
std::vector<FileKind> KindsOf(const std::vector<std::string_view>& paths);

// The stamp of the file path names now, links followed; false when it
// cannot be looked at.
bool StampOf(const std::string& path, FileStamp& stamp);

// Whether path names an entry, a dangling link included.
bool PathExists(const std::string& path);

// Whether path names a regular file itself: not a link (to a file or
// dangling), folder, FIFO, socket or device.
bool IsPlainFile(const std::string& path);

// Removes the entry path names, a file or a link itself, never a folder.
// False when it cannot.
bool RemoveFile(const std::string& path);

// Whether a and b name the same file: equal texts, or the same file reached
// by different paths (links, "." steps). Paths that cannot be looked at are
// the same only as equal texts.
bool SameFile(const std::string& a, const std::string& b);

// Whether the file system holding folder finds a name also when it is
// written in another case, so that names differing only in case name one
// file. Always true on Windows. Elsewhere folder, or while it does not exist
// its nearest existing parent, is asked: the name of one of its entries is
// looked up in another case, or, when no entry's name has a letter, the name
// of a temporary file made for the purpose and removed at once. A folder
// that can neither be read nor written to answers false. Never throws
// (except std::bad_alloc).
bool FolderIgnoresCase(const std::string& folder);

// Gives the existing file a second name, newPath, in the same file system.
// False, changing nothing, when newPath exists or the file system cannot
// link.
bool LinkFile(const std::string& existing, const std::string& newPath);

// What a file search reports about one entry (a link itself, not followed).
struct FileStatus {
    std::int64_t ModifiedTime = 0; // seconds since the epoch
    std::int64_t Size = 0;
    std::uint32_t Attributes = 0;  // the system's own bits: mode on POSIX
};
// false when path names no entry.
bool LookUpFile(const std::string& path, FileStatus& status);

// Creates the folder path and its missing parents. True when path is a
// folder afterwards. Never throws (except std::bad_alloc).
bool CreateDirectories(const std::string& path);

// Creates the one folder path, whose parent must exist. True when path is a
// folder afterwards, new or already there; false when it cannot be created
// or a link (to a folder too; a junction on Windows) or anything but a
// folder stands there. Never throws (except std::bad_alloc).
bool CreateRealFolder(const std::string& path);

// "" when the working directory cannot be found.
std::string CurrentDirectory();
// The user's home folder as the environment names it: HOME on POSIX,
// USERPROFILE on Windows; "" when it is not set.
std::string HomeFolder();
bool SetCurrentDirectory(const std::string& path);
// The folder a Windows path that starts with root alone is taken from: for
// a drive "M:" that drive's current folder (its root when none was set), for
// "\" the root of the working directory's drive ("C:\" or
// "\\server\share"), without a separator at its end but for a drive's root.
// "" when the system cannot tell, and always on POSIX, whose paths have
// neither form.
std::string DriveFolder(std::string_view root);

// One entry of a folder. Kind is what the entry names, links followed (a
// dangling link is Other); Link says whether the entry itself is a link.
// Hidden: a name starting with "." on POSIX, the hidden or system attribute
// on Windows.
enum class EntryKind { File, Folder, Other };
struct FolderEntry {
    std::string Name;
    EntryKind Kind = EntryKind::Other;
    bool Link = false;
    bool Hidden = false;
};
// Appends the entries of folder path ("." and ".." left out) in the order
// the system gives them. false, with nothing appended, when the folder
// cannot be read.
bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries);

// Whether the standard error stream goes to a terminal (a console on
// Windows).
bool StderrIsTerminal();
// Whether that terminal acts on the escape "\033[K" (erase to the end of the
// line). A Windows console is asked, once, to act on escapes; one that
// cannot gets false, and a line is then cleared by overwriting it.
bool StderrTakesEscapes();
// The width in columns of the terminal (the console window on Windows)
// stderr goes to; where the system cannot tell, the COLUMNS environment
// variable when it holds a positive number; 0 when neither says.
int StderrColumns();

// From now on a stop request (SIGINT, SIGTERM, SIGHUP; on Windows the
// console's Ctrl-C, Ctrl-Break and close events) stores 1 in flag and is
// remembered for StopSignal(). A request the program was started with
// ignored (nohup, a background job, start /b) stays ignored; a second
// request of the same kind ends the program at once, as it would without
// the hook, after RemoveTemporaries(). So do the other signals that end a
// program (SIGQUIT, SIGABRT, SIGUSR1, ...; on Windows logging off and
// shutting down), and closing the console once the program has had a few
// seconds to stop by itself. A broken pipe (SIGPIPE) is a stop request
// every time it comes: the write that met it fails, and the program goes
// on to stop.
void InstallStopHandler(std::atomic<int>& flag);
// The signal number of the stop request that came, 0 while none did. On
// Windows Ctrl-C reports 2 (SIGINT), Ctrl-Break 21 (the C runtime's
// SIGBREAK), closing the console 1 (a hang-up, SIGHUP on POSIX) and a
// broken output 13 (SIGPIPE).
int StopSignal();
// Records a stop request as a broken pipe makes it, for output found
// unwritable where the system sends no signal (Windows, or SIGPIPE ignored).
void ReportBrokenOutput();

// Removes the temporary files of every uncommitted AtomicFile, for a
// process about to end; the files stay open, and their Commit() fails.
// Async-signal-safe on POSIX.
void RemoveTemporaries();
// Test seam: true makes every AtomicFile created from now on take a named
// temporary, as on a file system without unnamed ones (always so on
// Windows).
void ForceNamedTemporaries(bool named);

// Test seam: failures planned on purpose, met by every AtomicFile,
// ReadOnlyFile and WriteInPlace() until ClearFaultPlan(). A failure looks to
// the caller as the system's own would. Writes and bytes are counted from
// SetFaultPlan() on, over all files; copies between files go through reads
// and writes while a plan is set.
struct FaultPlan {
    int FailWriteNumber = 0;              // the n-th write fails (from 1); 0: none
    std::uint64_t NoSpaceAfterBytes = 0;  // a write fails once more would be written; 0: never
    bool FailRead = false;                // every read fails
    bool FailSync = false;                // AtomicFile::Sync() and WriteInPlace()'s close fail
    bool FailRename = false;              // Commit() cannot name the file
    bool FailFolderSync = false;          // SyncFolder() and Commit()'s flush fail
    bool NoUnnamedTemporaries = false;    // as ForceNamedTemporaries(true)
};
void SetFaultPlan(const FaultPlan& plan);
void ClearFaultPlan();
// How many folder flushes this process asked for so far.
std::uint64_t FolderSyncs();

// How many files this process may hold open at once.
int OpenFileLimit();

// The program's arguments after its name, as UTF-8 byte strings. POSIX: argv
// as it is. Windows: the wide command line, whatever the ANSI code page, an
// argument whose last name holds "*" or "?" replaced by the names it matches
// (by MatchesMask, long names only) in case-blind name order (cmd.exe leaves
// that to the program; a pattern matching nothing stays, and so does "/?",
// the request for help); the standard streams are also made binary and the
// console shows UTF-8 until the program ends. Call it once, first.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Asks the system to back size bytes at data with large pages; only a hint,
// which a system without them ignores.
void AdviseLargePages(void* data, std::size_t size);

} // namespace eit
