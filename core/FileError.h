#pragma once

#include <stdexcept>
#include <string>

namespace eit {

// The one error type of the file layer and the batch. what() is exactly the
// text the user sees in the message box (or on stderr from the batch driver).
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& message) : std::runtime_error(message) {}

    static FileError CannotOpen(const std::string& path) { return FileError("Cannot open file " + path); }
    static FileError CannotCreate(const std::string& path) { return FileError("Cannot create file " + path); }
    static FileError StreamRead() { return FileError("Stream read error"); }
    static FileError ListIndex(long long index)
    {
        return FileError("List index out of bounds (" + std::to_string(index) + ")");
    }
};

} // namespace eit
