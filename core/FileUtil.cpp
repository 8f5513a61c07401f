#include "FileUtil.h"

#include "FileError.h"

#include <atomic>
#include <chrono>
#include <random>

namespace eit {

namespace {

bool IsSlash(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == kPathSep;
#endif
}

bool IsSeparator(char c)
{
#ifdef _WIN32
    return IsSlash(c) || c == ':';
#else
    return IsSlash(c);
#endif
}

std::size_t NamePosition(std::string_view path)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return i;
    return 0;
}

} // namespace

bool IsAbsolute(std::string_view path)
{
#ifdef _WIN32
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && IsSlash(path[2]))
        return true;
    return path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1]);
#else
    return !path.empty() && IsSlash(path.front());
#endif
}

std::string MakeAbsolute(std::string_view path)
{
    if (path.empty())
        return CurrentDirectory();
    if (IsAbsolute(path))
        return std::string(path);
    return JoinPath(CurrentDirectory(), path);
}

std::string FileNamePart(std::string_view path)
{
    return std::string(path.substr(NamePosition(path)));
}

std::string DirectoryPart(std::string_view path)
{
    return std::string(path.substr(0, NamePosition(path)));
}

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (!path.empty() && !IsSlash(path.back()))
        path += kPathSep;
    path += name;
    return path;
}

std::string TempNameBeside(std::string_view path)
{
    static constexpr std::string_view kLetters = "0123456789abcdefghijklmnopqrstuvwxyz";
    static std::atomic<std::uint64_t> next{
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
        ^ std::uint64_t{std::random_device()()} << 32};
    // Spread consecutive values over all names (a splitmix64 step), so that
    // two processes started together rarely try the same names.
    std::uint64_t value = next.fetch_add(0x9E3779B97F4A7C15ull);
    value = (value ^ value >> 30) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ value >> 27) * 0x94D049BB133111EBull;
    value ^= value >> 31;
    std::string name = DirectoryPart(path) + ".eit-";
    for (int i = 0; i < 6; ++i, value /= kLetters.size())
        name += kLetters[value % kLetters.size()];
    return name;
}

bool CreateFoldersBelow(const std::string& base, std::string_view relative)
{
    if (!base.empty() && !CreateDirectories(base))
        return false;
    const std::string path = JoinPath(base, relative);
    for (std::size_t end = path.size() - relative.size(); end < path.size(); ++end)
        if (IsSlash(path[end]) && end > 0 && !IsSlash(path[end - 1]) && !CreateRealFolder(path.substr(0, end)))
            return false;
    return relative.empty() || IsSlash(path.back()) || CreateRealFolder(path);
}

std::string AsciiUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

namespace {

// Hands file to take block by block from its start until take returns false
// or the file ends. A read failure is reported as the open failure: for the
// user both mean the file could not be read.
template <typename Take>
void ReadBlocks(const ReadOnlyFile& file, Take take)
{
    char buffer[1 << 16];
    std::uint64_t offset = 0;
    for (;;) {
        std::size_t n = 0;
        try {
            n = file.ReadAt(offset, buffer, sizeof buffer);
        } catch (const FileError&) {
            throw FileError::CannotOpen(file.Path());
        }
        if (n == 0 || !take(std::string_view(buffer, n)))
            return;
        offset += n;
    }
}

} // namespace

std::string ReadWholeFile(const std::string& path)
{
    const ReadOnlyFile file(path);
    std::string data;
    data.reserve(static_cast<std::size_t>(file.Size()));
    ReadBlocks(file, [&data](std::string_view block) {
        data.append(block);
        return true;
    });
    return data;
}

std::string ReadTextUntilZero(const std::string& path)
{
    const ReadOnlyFile file(path);
    std::string text;
    // Room for the usual whole text at once; a large file may stop at an
    // early zero byte, so it gets no more than that up front.
    text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), std::uint64_t{16} << 20)));
    ReadBlocks(file, [&text](std::string_view block) {
        const std::size_t zero = block.find('\0');
        text.append(block.substr(0, zero));
        return zero == std::string_view::npos;
    });
    return text;
}

void WriteFileAtomically(const std::string& path, std::string_view data)
{
    AtomicFile file(path);
    file.Write(data.data(), data.size());
    file.Commit();
}

} // namespace eit
