#include "LineList.h"

#include "FileError.h"
#include "FileUtil.h"

#include <algorithm>
#include <cstring>

namespace eit {

namespace {

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

void LineList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw FileError::ListIndex(index);
}

std::string_view LineList::Get(int index) const
{
    CheckIndex(index, Count());
    const Span& span = FLines[static_cast<std::size_t>(index)];
    return std::string_view(FText).substr(span.Start, span.Size);
}

LineList::Span LineList::Store(std::string_view text)
{
    const Span span{FText.size(), text.size()};
    FText.append(text);
    FUsed += text.size();
    return span;
}

void LineList::Put(int index, std::string_view text)
{
    CheckIndex(index, Count());
    Span& span = FLines[static_cast<std::size_t>(index)];
    FUsed -= span.Size;
    if (text.size() <= span.Size) {
        // A line rewritten no longer than it was keeps its place.
        std::memmove(FText.data() + span.Start, text.data(), text.size());
        span.Size = text.size();
        FUsed += text.size();
    } else {
        span = Store(text);
    }
    Reclaim();
}

void LineList::Add(std::string_view text)
{
    const Span span = Store(text);
    FLines.push_back(span);
}

void LineList::Insert(int index, std::string_view text)
{
    CheckIndex(index, Count() + 1);
    const Span span = Store(text);
    FLines.insert(FLines.begin() + index, span);
}

void LineList::Delete(int index)
{
    CheckIndex(index, Count());
    FUsed -= FLines[static_cast<std::size_t>(index)].Size;
    FLines.erase(FLines.begin() + index);
    Reclaim();
}

void LineList::Clear()
{
    FText = std::string();
    FLines = std::deque<Span>();
    FUsed = 0;
}

void LineList::Reclaim()
{
    // Amortised: the unused text copied away at least equals what is kept.
    if (FText.size() - FUsed <= std::max<std::size_t>(FUsed, 4096))
        return;
    std::string text;
    text.reserve(FUsed);
    for (Span& span : FLines) {
        const std::size_t start = text.size();
        text.append(FText, span.Start, span.Size);
        span.Start = start;
    }
    FText = std::move(text);
}

std::vector<std::string> LineList::Items() const
{
    std::vector<std::string> items;
    items.reserve(FLines.size());
    for (const Span& span : FLines)
        items.emplace_back(FText, span.Start, span.Size);
    return items;
}

void LineList::Split(std::string text)
{
    text.resize(std::min(text.find('\0'), text.size()));
    std::deque<Span> lines;
    // The lines move down over the line ends in place: no second copy of
    // the text is ever made.
    const std::size_t end = text.size();
    std::size_t kept = 0;
    for (std::size_t start = 0; start < end;) {
        std::size_t stop = start;
        while (stop < end && !IsLineEnd(text[stop]))
            ++stop;
        if (kept != start)
            std::memmove(text.data() + kept, text.data() + start, stop - start);
        lines.push_back({kept, stop - start});
        kept += stop - start;
        if (stop < end)
            stop += (text[stop] == '\r' && stop + 1 < end && text[stop + 1] == '\n') ? 2 : 1;
        start = stop;
    }
    text.resize(kept);
    FText = std::move(text);
    FLines = std::move(lines);
    FUsed = kept;
}

void LineList::SetText(std::string_view text)
{
    Split(std::string(text.substr(0, std::min(text.find('\0'), text.size()))));
}

std::string LineList::Text() const
{
    std::string text;
    text.reserve(FUsed + 2 * FLines.size());
    for (const Span& span : FLines) {
        text.append(FText, span.Start, span.Size);
        text += "\r\n";
    }
    return text;
}

void LineList::LoadFromFile(const std::string& path, Content content)
{
    ReadingFile(path, [&] {
        std::string text = ReadTextUntilZero(path);
        if (content == Content::Names)
            CheckNameText(path, text);
        Split(std::move(text));
    });
}

void LineList::SaveToFile(const std::string& path) const
{
    WriteFileAtomically(path, Text());
}

} // namespace eit
