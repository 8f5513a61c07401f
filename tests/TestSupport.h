#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

namespace eit::test {

// A fresh folder below the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return FPath; }
    // Path() + "/" + name.
    std::string File(std::string_view name) const;

private:
    std::string FPath;
};

void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);

// What a shell command did: its exit status (-1 when it did not exit) and
// what it wrote to stdout and stderr.
struct CommandRun {
    int Status;
    std::string Out;
    std::string Err;
};
// Runs commandLine with the shell in folder cwd, capturing its output
// through dir/stdout.txt and dir/stderr.txt.
CommandRun RunCommand(const TempDir& dir, const std::string& cwd, const std::string& commandLine);

// Names every file below dir (relative, sorted), for comparing whole trees.
std::string ListTree(const std::string& dir);

// Creates a FIFO or a listening-free Unix socket file at path.
void MakeFifo(const std::string& path);
void MakeSocket(const std::string& path);

// The writing end of the FIFO at path, opened by a thread of its own as soon
// as a reader opens the FIFO and closed at once. A reader that blocks in its
// open therefore reads an empty file instead of hanging the test; a reader
// that refuses the FIFO leaves the writer waiting, and the destructor
// releases it.
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

} // namespace eit::test
