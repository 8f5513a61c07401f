#include "FileUtil.h"

#include "FileError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
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

#ifdef _WIN32
bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "\\?\" and "\\.\" paths go to the system as they are: it neither splits
// nor cleans them, so neither do we.
bool IsVerbatim(std::string_view path)
{
    return path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\");
}
#endif

// How many leading bytes of path the system reads as a root it keeps a
// current folder for: "M:" of "M:dir", "\" of "\dir". 0 for every other
// path, and always on POSIX.
std::size_t DriveRootLength(std::string_view path)
{
#ifdef _WIN32
    if (IsAbsolute(path))
        return 0;
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':')
        return 2;
    return !path.empty() && IsSlash(path[0]) ? 1 : 0;
#else
    static_cast<void>(path);
    return 0;
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
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSlash(path[2]))
        return true;
    return path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1]);
#else
    return !path.empty() && IsSlash(path.front());
#endif
}

bool IsFolderRelative(std::string_view path)
{
    return !IsAbsolute(path) && DriveRootLength(path) == 0;
}

std::string MakeAbsolute(std::string_view path)
{
    if (path.empty())
        return CurrentDirectory();
#ifdef _WIN32
    if (IsVerbatim(path))
        return std::string(path);
    std::string native(path);
    std::replace(native.begin(), native.end(), '/', kPathSep);
    if (const std::size_t root = DriveRootLength(native); root > 0) {
        const std::string folder = DriveFolder(native.substr(0, root));
        if (folder.empty())
            return native;
        return native.size() == root ? folder : JoinPath(folder, std::string_view(native).substr(root));
    }
    path = native;
#endif
    if (IsAbsolute(path))
        return std::string(path);
    return JoinPath(CurrentDirectory(), path);
}

std::string NormalPath(std::string_view path)
{
    std::string normal;
#ifdef _WIN32
    if (IsVerbatim(path))
        return std::string(path);
    // The library takes the two separators of a UNC name for one.
    if (IsAbsolute(path) && IsSlash(path[0])) {
        normal = {kPathSep, kPathSep};
        path.remove_prefix(2);
    }
#endif
    // The text is handled as UTF-8: a plain string would be taken in the
    // ANSI code page on Windows.
    const std::u8string clean =
        std::filesystem::path(std::u8string(path.begin(), path.end())).lexically_normal().u8string();
    return normal.append(clean.begin(), clean.end());
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

namespace {

char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool CreateFoldersBelow(const std::string& base, std::string_view relative)
{
    if (!base.empty() && !CreateDirectories(base))
        return false;
    // A doubled separator would reach the system as it is in a "\\?\" path.
    while (!relative.empty() && IsSlash(relative.front()))
        relative.remove_prefix(1);
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
        c = UpperAscii(c);
    return upper;
}

bool MatchesMask(std::string_view name, std::string_view mask)
{
    // Greedy match that backtracks only to the most recent "*": linear in
    // practice, and never exponential however many stars the mask holds.
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || UpperAscii(mask[m]) == UpperAscii(name[n])) && mask[m] != '*') {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool IsUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The continuation bytes a lead byte asks for, and the range of the
        // first one: narrower after E0, ED, F0 and F4, which keeps out
        // overlong forms, surrogates and values beyond U+10FFFF.
        std::size_t more = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i <= more)
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < low || next > high)
                return false;
            low = 0x80;
            high = 0xBF;
        }
        i += more + 1;
    }
    return true;
}

void CheckNameText(const std::string& path, std::string_view text)
{
#ifdef _WIN32
    if (!IsUtf8(text))
        throw FileError(path + " is not UTF-8 text", FileErrorKind::BadContent, path);
#else
    static_cast<void>(path);
    static_cast<void>(text);
#endif
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
        } catch (const FileError& e) {
            throw FileError::CannotOpen(file.Path(), {e.Kind(), e.Reason()});
        }
        if (n == 0 || !take(std::string_view(buffer, n)))
            return;
        offset += n;
    }
}

} // namespace

std::string ReadWholeFile(const std::string& path)
{
    return ReadingFile(path, [&path] {
        const ReadOnlyFile file(path);
        std::string data;
        data.reserve(static_cast<std::size_t>(file.Size()));
        ReadBlocks(file, [&data](std::string_view block) {
            data.append(block);
            return true;
        });
        return data;
    });
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

// Shared by both implementations of the boundary.
void AtomicFile::SyncFolderOf() const
{
    if (FSyncFolder && !SyncFolder(DirectoryPart(FPath)))
        throw FileError::CannotCreate(FPath);
}

void WriteFileAtomically(const std::string& path, std::string_view data)
{
    AtomicFile file(path);
    file.Write(data.data(), data.size());
    file.Commit();
}

} // namespace eit
