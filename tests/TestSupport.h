#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

} // namespace eit::test
