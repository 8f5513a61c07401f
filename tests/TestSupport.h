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

// Names every file below dir (relative, sorted), for comparing whole trees.
std::string ListTree(const std::string& dir);

} // namespace eit::test
