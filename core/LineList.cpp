#include "LineList.h"

#include "FileError.h"
#include "FileUtil.h"

#include <algorithm>

namespace eit {

void LineList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw FileError::ListIndex(index);
}

const std::string& LineList::Get(int index) const
{
    CheckIndex(index, Count());
    return FItems[static_cast<std::size_t>(index)];
}

void LineList::Put(int index, std::string text)
{
    CheckIndex(index, Count());
    FItems[static_cast<std::size_t>(index)] = std::move(text);
}

void LineList::Insert(int index, std::string text)
{
    CheckIndex(index, Count() + 1);
    FItems.insert(FItems.begin() + index, std::move(text));
}

void LineList::Delete(int index)
{
    CheckIndex(index, Count());
    FItems.erase(FItems.begin() + index);
}

void LineList::SetText(std::string_view text)
{
    FItems.clear();
    const std::size_t end = std::min(text.find('\0'), text.size());
    // One allocation for the list, not one per doubling: a result log has
    // thousands of lines.
    FItems.reserve(static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n')) + 1);
    std::size_t start = 0;
    while (start < end) {
        std::size_t stop = start;
        while (stop < end && text[stop] != '\r' && text[stop] != '\n')
            ++stop;
        FItems.emplace_back(text.substr(start, stop - start));
        if (stop < end)
            stop += (text[stop] == '\r' && stop + 1 < end && text[stop + 1] == '\n') ? 2 : 1;
        start = stop;
    }
}

std::string LineList::Text() const
{
    std::size_t size = 0;
    for (const auto& line : FItems)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : FItems) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void LineList::LoadFromFile(const std::string& path, Content content)
{
    ReadingFile(path, [&] {
        const std::string text = ReadTextUntilZero(path);
        if (content == Content::Names)
            CheckNameText(path, text);
        SetText(text);
    });
}

void LineList::SaveToFile(const std::string& path) const
{
    WriteFileAtomically(path, Text());
}

} // namespace eit
