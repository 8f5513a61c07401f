#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace eit {

// What went wrong with a file, for code that must decide by it; the user
// reads the message, never this.
enum class FileErrorKind {
    Other,
    NotFound,         // the file or a folder on its way does not exist
    NoPermission,     // the system refused access
    IsFolder,         // a file was wanted and a folder stands there
    NotRegularFile,   // a device, FIFO, socket or the like
    BadName,          // a name too long, a link loop, a name the system refuses
    NoSpace,          // the disk or the quota is full, or the file too large
    ReadPastEnd,      // a file ends before what its format promises
    ListTooShort,     // a line asked of a list that has fewer lines
    BadContent,       // the file holds what it must not
    Io,               // the device failed
    OutOfMemory,      // the file's content does not fit in memory
    TooManyOpenFiles, // the process or the system holds all the files it may
};

// The kind of a failed system call and the system's own words for it.
struct SystemReason {
    FileErrorKind Kind = FileErrorKind::Other;
    std::string Text;
};

// The one error type of the file layer and the batch. what() is exactly the
// text the user sees in the message box (or on stderr from the batch driver);
// Kind(), File() and Reason() are for code: File() is the file the error is
// about (empty when none), Reason() the system's text (empty when the system
// was not asked).
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& message, FileErrorKind kind = FileErrorKind::Other, std::string file = {},
                       std::string reason = {})
        : std::runtime_error(message), FKind(kind), FFile(std::move(file)), FReason(std::move(reason))
    {
    }

    FileErrorKind Kind() const noexcept { return FKind; }
    const std::string& File() const noexcept { return FFile; }
    const std::string& Reason() const noexcept { return FReason; }

    // When the system held too many open files the message says so.
    static FileError CannotOpen(const std::string& path, const SystemReason& why = {})
    {
        return Failed("Cannot open file ", path, why);
    }
    static FileError CannotCreate(const std::string& path, const SystemReason& why = {})
    {
        return Failed("Cannot create file ", path, why);
    }
    static FileError CannotWrite(const std::string& path, const SystemReason& why = {})
    {
        return FileError("Cannot write file " + path, why.Kind, path, why.Text);
    }
    static FileError StreamRead(const std::string& path, const SystemReason& why = {FileErrorKind::Io, {}})
    {
        return FileError("Stream read error: " + path, why.Kind, path, why.Text);
    }
    static FileError OutOfMemory(const std::string& path)
    {
        return FileError("Out of memory reading " + path, FileErrorKind::OutOfMemory, path);
    }
    // listPath: the file the list was read from, when the list has one.
    static FileError ListIndex(long long index, const std::string& listPath = {})
    {
        return FileError("List index out of bounds (" + std::to_string(index) + ")", FileErrorKind::ListTooShort,
                         listPath);
    }

private:
    static FileError Failed(const char* what, const std::string& path, const SystemReason& why)
    {
        const bool tooMany = why.Kind == FileErrorKind::TooManyOpenFiles;
        return FileError(what + path + (tooMany ? ": too many open files" : ""), why.Kind, path, why.Text);
    }

    FileErrorKind FKind;
    std::string FFile;
    std::string FReason;
};

// read(), its running out of memory reported as FileError "Out of memory
// reading %s" with path: the file whose size asked for the memory.
template <typename Read>
decltype(auto) ReadingFile(const std::string& path, Read&& read)
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
        throw FileError::OutOfMemory(path);
    }
}

} // namespace eit
