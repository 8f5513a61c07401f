#include "ExtensionList.h"

#include "DataPack.h"
#include "FileUtil.h"
#include "PackSurvey.h"

#include <algorithm>
#include <string_view>

namespace eit {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Enough of a list's start to tell its encoding.
constexpr std::size_t kHeadBytes = 512;

// Windows PowerShell 5.1 writes UTF-16 with a byte-order mark; other tools
// write it without one. Extensions are ASCII, so such a list has a zero byte
// in most pairs of bytes, always on the same side. A zero byte or two
// after UTF-8 text are no such pattern.
bool IsUtf16(std::string_view head)
{
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF"))
        return true;
    const std::size_t pairs = head.size() / 2;
    std::size_t zeros[2] = {0, 0};
    for (std::size_t i = 0; i < pairs * 2; ++i)
        zeros[i % 2] += head[i] == '\0';
    const std::size_t most = std::max(zeros[0], zeros[1]);
    return (zeros[0] == 0) != (zeros[1] == 0) && most >= 2 && 2 * most >= pairs;
}

std::string LineCount(int lines)
{
    return std::to_string(lines) + (lines == 1 ? " line" : " lines");
}

// Whether another list would help: not for a list that was read but is
// wrong, nor for a system short of memory or of open files.
bool AnotherListHelps(FileErrorKind kind)
{
    switch (kind) {
    case FileErrorKind::BadContent:
    case FileErrorKind::OutOfMemory:
    case FileErrorKind::TooManyOpenFiles:
        return false;
    default:
        return true;
    }
}

LineList ReadExtensionList(const std::string& path)
{
    std::string head(kHeadBytes, '\0');
    {
        const ReadOnlyFile file(path);
        try {
            head.resize(file.ReadAt(0, head.data(), head.size()));
        } catch (const FileError& e) {
            throw FileError::CannotOpen(path, {e.Kind(), e.Reason()});
        }
    }
    if (IsUtf16(head))
        throw FileError("Extension list " + path + " is UTF-16 text; save it as UTF-8", FileErrorKind::BadContent, path);
    LineList lines;
    lines.LoadFromFile(path);
    if (head.starts_with(kUtf8Mark)) {
        // The mark alone is an empty file, not one empty line.
        if (head.size() == kUtf8Mark.size() || head[kUtf8Mark.size()] == '\0')
            lines.Clear();
        else
            lines.Put(0, std::string(lines.Get(0).substr(kUtf8Mark.size())));
    }
    return lines;
}

} // namespace

std::string ExtensionListOf(const std::string& listPath, const std::string& p)
{
    if (KindOf(listPath) != FileKind::Directory)
        return listPath;
    return JoinPath(listPath, PackBaseName(p) + ".txt");
}

LineList LoadExtensionList(const std::string& path)
{
    try {
        return ReadExtensionList(path);
    } catch (const FileError& e) {
        if (!AnotherListHelps(e.Kind()))
            throw;
        throw FileError(std::string(e.what())
                            + "\nGive the extension list with --extlist FILE, or write one with --make-extlist PACK.",
                        e.Kind(), e.File(), e.Reason());
    }
}

FileError ExtensionListTooShort(const std::string& listPath, int lines, const std::string& pack, int needed)
{
    const FileError index = FileError::ListIndex(lines, listPath);
    return FileError(std::string(index.what()) + "\n" + listPath + " has " + LineCount(lines) + ", " + pack
                         + " needs " + std::to_string(needed) + "; make a starter list with --make-extlist",
                     index.Kind(), index.File());
}

std::string ExtensionListTooLong(const std::string& listPath, int lines, const std::string& pack, int needed)
{
    return "Extension list " + listPath + " has " + LineCount(lines) + ", " + pack + " needs " + std::to_string(needed)
        + ": is it the list of another pack?";
}

std::string WriteStarterList(const std::string& pack, const std::string& folder)
{
    const std::vector<SurveyedEntry> entries = SurveyPack(pack);
    // Extraction fails at such a pack: a list for it would only mislead.
    if (std::any_of(entries.begin(), entries.end(), [](const SurveyedEntry& e) { return e.PastEnd; }))
        throw FileError::StreamRead(pack, {FileErrorKind::ReadPastEnd, {}});
    const std::string text = MakeExtensionList(entries);
    const std::string list = JoinPath(folder, PackBaseName(pack) + ".txt");
    if (!CreateDirectories(folder))
        throw FileError::CannotCreate(list);
    if (PathExists(list))
        throw FileError("Extension list " + list + " exists; remove it to make a new one", FileErrorKind::Other, list);
    WriteFileAtomically(list, text);
    return list;
}

} // namespace eit
