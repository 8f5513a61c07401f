#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace eit {

// The one error type of the file layer and the batch. what() is exactly the
// text the user sees in the message box (or on stderr from the batch driver).
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& message) : std::runtime_error(message) {}

    // tooManyOpen: the system refused because the process (or the system)
    // holds as many open files as it may; the message then says so.
    static FileError CannotOpen(const std::string& path, bool tooManyOpen = false)
    {
        return FileError("Cannot open file " + path + (tooManyOpen ? kTooManyOpen : ""));
    }
    static FileError CannotCreate(const std::string& path, bool tooManyOpen = false)
    {
        return FileError("Cannot create file " + path + (tooManyOpen ? kTooManyOpen : ""));
    }
    static FileError CannotWrite(const std::string& path) { return FileError("Cannot write file " + path); }
    static FileError StreamRead(const std::string& path) { return FileError("Stream read error: " + path); }
    static FileError OutOfMemory(const std::string& path) { return FileError("Out of memory reading " + path); }
    static FileError ListIndex(long long index)
    {
        return FileError("List index out of bounds (" + std::to_string(index) + ")");
    }

private:
    static constexpr const char* kTooManyOpen = ": too many open files";
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
