// The IniStyle layout of TTextObject: blocks under "[0x%08X]" headers in a
// plain text file, appended one per write and read back from the loaded file.

#include "TextObject.h"

#include "FileError.h"
#include "FileUtil.h"
#include "TextMarkers.h"

#include <cstring>

namespace {

constexpr std::string_view kHeaderStart = "[0x";
constexpr std::size_t kHeaderSize = 12;       // "[0x" + 8 digits + "]"
constexpr std::size_t kHeaderLineEnd = 2;     // the CR LF after a header

// The text of a block whose start text (of startLength bytes) stands at start
// and whose end text stands at end (the end of loaded when it has none). The
// two bytes after the start text are its line end, whatever they are; one
// line end before the end text is dropped.
std::string_view CutBlock(std::string_view loaded, std::size_t start, std::size_t startLength, std::size_t end)
{
    const std::size_t begin = start + startLength + kHeaderLineEnd;
    if (end >= begin + 2) {
        if (loaded[end - 2] == '\r')
            end -= 2;
        else if (loaded[end - 1] == '\n')
            end -= 1;
    }
    if (end <= begin)
        return {};
    return loaded.substr(begin, end - begin);
}

// The block between the first startText of loaded and the next endText after
// it, found by searching; nothing when startText does not occur.
std::optional<std::string_view> SearchBlock(std::string_view loaded, std::string_view startText,
                                            std::string_view endText)
{
    const std::size_t start = loaded.find(startText);
    if (start == std::string_view::npos)
        return std::nullopt;
    std::size_t end = loaded.find(endText, start);
    if (end == std::string_view::npos)
        end = loaded.size();
    return CutBlock(loaded, start, startText.size(), end);
}

bool LookUp(const std::string& path, TTextObject::TSearchRec& found)
{
    eit::FileStatus status;
    if (!eit::LookUpFile(path, status))
        return false;
    found.Time = status.ModifiedTime;
    found.Size = status.Size;
    found.Attr = status.Attributes;
    found.Name = eit::FileNamePart(path);
    return true;
}

// The record as text-mode output writes it: every LF stored as CR LF. The
// text ends at its first zero byte, as it would in formatted output.
std::string BlockRecord(std::uint32_t number, std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    // Appended piece by piece: "[" + a temporary trips a false -Wrestrict
    // warning of GCC 12 in optimised builds.
    std::string record = "[";
    record += eit::IniBlockName(number);
    record += "]\r\n";
    record.reserve(record.size() + text.size() + text.size() / 16 + 2);
    for (const char c : text) {
        if (c == '\n')
            record += '\r';
        record += c;
    }
    record += "\r\n";
    return record;
}

} // namespace

std::string_view TTextObject::LoadedText() const
{
    return std::string_view(FBuffer.data(), FTextLength);
}

std::int32_t TTextObject::NewINI(TOpenModes mode, std::int32_t)
{
    FOpenMode = mode;
    FStatus = 0;
    FCount = 0;
    FPosition = 0;
    if (mode == omWrite) {
        // A file that cannot be created shows up on the first write.
        eit::WriteInPlace(FileName, {}, false);
        return FStatus;
    }
    if (LookUp(FileName, FSearchRec))
        PreloadINI();
    else
        FStatus = kStatusNotFound;
    return FStatus;
}

void TTextObject::PreloadINI()
{
    FPosition = 0;
    FCount = 0;
    FStatus = 0;
    FBuffer = std::string();
    FTextLength = 0;
    FFileSize = 0;
    FBlocks.Clear();

    FBuffer = eit::ReadWholeFile(FileName);
    FFileSize = ClampSize(static_cast<std::int64_t>(FBuffer.size()));
    FTextLength = std::strlen(FBuffer.c_str());
    FLines.Clear();

    const std::string_view text = LoadedText();
    std::uint32_t expected = 0;
    for (std::size_t pos = text.find(kHeaderStart); pos != std::string_view::npos;) {
        const std::uint32_t number = eit::ReadIniHeaderNumber(text.substr(pos + kHeaderStart.size()));
        FLines.Add(eit::IniBlockName(number));
        if (number != expected && !NoErrors) {
            FLog.Add("Block " + eit::IniBlockName(expected) + " not found!");
            expected = number;
            FStatus |= kStatusGap;
        }
        ++expected;
        ++FCount;
        // Every header counts as 12 bytes, whatever its digits.
        pos += kHeaderSize;
        if (pos >= text.size())
            break;
        pos = text.find(kHeaderStart, pos);
    }
    FLines.Add(eit::IniBlockName(expected));
    if (FStatus != 0)
        FLines.Clear();
    FBlocks.Build(text);
}

// Finds the text of block index as the index names it: from the first written
// header of its number in the file to the first header of the following
// entry's number after that. Nothing when the header is missing or the index
// has no such entries (a gap emptied it).
std::optional<std::string_view> TTextObject::FindBlock(std::int32_t index) const
{
    if (index < 0 || static_cast<std::int64_t>(index) + 1 >= FLines.Count())
        return std::nullopt;
    const std::string startName(FLines.Get(index));
    const std::string endName(FLines.Get(index + 1));
    const auto startNumber = eit::ParseIniBlockName(startName);
    const auto endNumber = eit::ParseIniBlockName(endName);
    const std::string_view loaded = LoadedText();
    if (!startNumber || !endNumber) {
        // The list holds lines of the other layout: search for them as texts.
        return SearchBlock(loaded, "[" + startName + "]", "[" + endName + "]");
    }
    const std::size_t start = FBlocks.Find(*startNumber);
    if (start == eit::IniBlockIndex::npos)
        return std::nullopt;
    const std::size_t end = FBlocks.Find(*endNumber, start);
    return CutBlock(loaded, start, kHeaderSize, end == eit::IniBlockIndex::npos ? loaded.size() : end);
}

std::string TTextObject::GetCharString(std::string_view startText, std::string_view endText) const
{
    const auto text = SearchBlock(LoadedText(), startText, endText);
    return text ? std::string(*text) : std::string(eit::kNoText);
}

std::string TTextObject::MakeString(std::string_view text) const
{
    text = text.substr(0, text.find('\0'));
    if (!LinuxFormat && !SingleLine)
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n', pos)) {
        std::size_t pieceEnd = lf;
        if (pieceEnd > pos && text[pieceEnd - 1] == '\r')
            --pieceEnd;
        result.append(text.substr(pos, pieceEnd - pos));
        if (!SingleLine)
            result += '\n';
        pos = lf + 1;
    }
    result.append(text.substr(pos));
    return result;
}

std::string TTextObject::ReadINI()
{
    if (FOpenMode == omWrite)
        return std::string(eit::kNoText);
    if (FStatus != 0 || FPosition >= FCount)
        return std::string(eit::kOutOfText);
    const auto text = FindBlock(FPosition++);
    return text ? MakeString(*text) : std::string(eit::kNoText);
}

void TTextObject::WriteINI(std::string_view text)
{
    if (FOpenMode == omRead)
        return;
    const auto number = static_cast<std::uint32_t>(FPosition++);
    const std::string record = BlockRecord(number, text);
    if (!eit::WriteInPlace(FileName, record, true)) {
        FStatus |= kStatusNotFound;
        FLog.Add(eit::FileError::CannotWrite(FileName).what());
    }
}

std::int32_t TTextObject::GetStringLength(std::string_view text) const
{
    return ClampSize(SizeOf(text.size()));
}

std::int32_t TTextObject::GetCurrentLength() const
{
    if (FOpenMode == omWrite || FPosition >= FCount)
        return -1;
    const auto text = FindBlock(FPosition);
    return text ? ClampSize(SizeOf(MakeString(*text).size())) : -1;
}

std::int32_t TTextObject::GetIniSize() const
{
    if (FOpenMode == omWrite)
        return -1;
    if (FLines.Count() <= FCount)
        return 0;   // a gap emptied the index
    std::int64_t total = 0;
    for (std::int32_t i = 0; i < FCount; ++i) {
        const auto text = FindBlock(i);
        total += SizeOf(text ? MakeString(*text).size() : 0);
    }
    return ClampSize(total);
}

void TTextObject::SetIniPos(std::int32_t index)
{
    if (index >= 0 && index < FCount)
        FPosition = index;
}
