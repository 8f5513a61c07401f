#include "TestSupport.h"

#include "FileUtil.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace eit::test {

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

} // namespace

std::string NativePath(std::string_view path)
{
    std::string native(path);
    std::replace(native.begin(), native.end(), '/', kPathSep);
    return native;
}

fs::path FsPath(std::string_view path)
{
    return fs::path(std::u8string(path.begin(), path.end()));
}

TempDir::TempDir()
{
    const fs::path base = fs::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "eit-test-" + std::to_string(random() % 1000000000000ull);
        std::error_code ec;
        if (fs::create_directory(base / name, ec)) {
            FPath = Utf8(base / name);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests make some folders and files read-only; give them back before removing.
    const fs::path root = FsPath(FPath);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
}

std::string TempDir::File(std::string_view name) const
{
    return JoinPath(FPath, NativePath(name));
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    const fs::path file = FsPath(path);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CommandRun RunCommand(const TempDir& dir, const std::string& cwd, const std::string& commandLine)
{
    std::vector<std::string> args;
    std::size_t at = 0;
    while ((at = commandLine.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = std::min(commandLine.find(' ', at), commandLine.size());
        args.push_back(commandLine.substr(at, end - at));
        at = end;
    }
    return RunProgram(dir, cwd, args);
}

bool BackgroundProgram::WaitUntil(const std::function<bool()>& ready) const
{
    while (!ready()) {
        if (!Running())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string ListTree(const std::string& dir)
{
    const fs::path root = FsPath(dir);
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory()) {
            const std::u8string name = fs::relative(entry.path(), root).generic_u8string();
            names.emplace_back(name.begin(), name.end());
        }
    std::sort(names.begin(), names.end());
    std::string list;
    for (const auto& name : names)
        list += name + "\n";
    return list;
}

std::int64_t ModifiedNanoseconds(const std::string& path)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(fs::last_write_time(FsPath(path)).time_since_epoch())
        .count();
}

void MakeReadOnly(const std::string& path)
{
    fs::permissions(FsPath(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

bool MakeSymlink(const std::string& target, const std::string& path)
{
    std::error_code ec;
    fs::create_symlink(FsPath(target), FsPath(path), ec);
    return !ec;
}

} // namespace eit::test
