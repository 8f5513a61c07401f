// The BlanshStyle layout of TTextObject: records of a separator line, a header
// line, the text and an end line, kept in the line list FLines. Every access
// goes through the list's checked accessors, so a list that does not consist
// of whole records ends an operation with "List index out of bounds (%d)".

#include "TextObject.h"

#include "FileUtil.h"
#include "TextMarkers.h"

namespace {

std::string RecordHeader(int code, bool indexed, std::int32_t number, bool crc)
{
    std::string header(eit::kHeaderPrefix);
    header.reserve(48);
    header += std::to_string(code);
    header += '#';
    if (indexed) {
        header += std::to_string(number);
        header += '#';
    }
    if (crc) {
        long long sum = 0;
        for (const char c : header)
            sum += static_cast<unsigned char>(c);
        header += std::to_string(sum);
        header += '#';
    }
    return header;
}

} // namespace

void TTextObject::NewBlansh()
{
    FPosition = 0;
    FLine = 0;
    FLines.Clear();
    FCount = 0;
    FLog.Clear();
}

bool TTextObject::LoadText(const std::string& name)
{
    if (!eit::PathExists(name))
        return false;
    // Only the line list is opened afresh. Opening through New would, on an
    // IniStyle object, empty the file that FileName names.
    FLog.Clear();
    NewBlansh();
    FLines.LoadFromFile(name, eit::LineList::Content::Bytes);
    return true;
}

void TTextObject::SaveText(const std::string& name) const
{
    FLines.SaveToFile(name);
}

void TTextObject::WriteBlansh(std::string text)
{
    const std::size_t type = TextType;
    int code = type < eit::kTextTypeCodes.size() ? eit::kTextTypeCodes[type] : static_cast<int>(type);
    FLines.Insert(FLine, std::string(eit::kSeparatorLine));
    ++FLine;
    if (CRC)
        code += 128;
    FLines.Insert(FLine, RecordHeader(code, TextType == ttIndexed, FPosition, CRC));
    ++FLine;
    FLines.Insert(FLine, std::move(text));
    ++FLine;
    FLines.Insert(FLine, std::string(eit::kEndLine));
    ++FLine;
    ++FPosition;
    ++FCount;
}

void TTextObject::RewriteBlansh(std::string text)
{
    if (FLine >= FLines.Count()) {
        Write(std::move(text));
        return;
    }
    FLine += 2;
    while (FLines.Get(FLine) != eit::kEndLine)
        FLines.Delete(FLine);
    FLines.Insert(FLine, std::move(text));
    while (FLines.Get(FLine) != eit::kEndLine)
        ++FLine;
    ++FLine;
    ++FPosition;
}

// Joins the text lines from line up to the next end line, leaving line on the
// end line. lineEnd goes between two lines unless SingleLine is set.
std::string TTextObject::JoinRecordLines(std::int32_t& line, std::string_view lineEnd) const
{
    std::string text;
    while (FLines.Get(line) != eit::kEndLine) {
        text += FLines.Get(line);
        ++line;
        if (!SingleLine && FLines.Get(line) != eit::kEndLine)
            text += lineEnd;
    }
    return text;
}

std::string TTextObject::ReadBlansh()
{
    if (FLines.Count() <= static_cast<std::int64_t>(FLine) + 2)
        return std::string(eit::kOutOfText);
    FLine += 2;
    std::string text = JoinRecordLines(FLine, LinuxFormat ? "\n" : "\r\n");
    ++FLine;
    ++FPosition;
    FLog.Add(text);
    return text;
}

// Sizes count every line end inside a text as CR LF, whatever LinuxFormat says.
std::int32_t TTextObject::GetBlanshSize() const
{
    std::int64_t total = 0;
    for (std::int32_t line = 0; line < FLines.Count(); ++line) {
        line += 2;
        total += SizeOf(JoinRecordLines(line, "\r\n").size());
    }
    return ClampSize(total);
}

void TTextObject::SetBlanshPos(std::int32_t number)
{
    if (FLine >= FLines.Count()) {
        --FLine;
        --FPosition;
    }
    std::int64_t distance = static_cast<std::int64_t>(number) - FPosition;
    int direction = 1;
    if (distance < 0) {
        direction = -1;
        distance = -distance;
    }
    while (FLines.Get(FLine) != eit::kSeparatorLine)
        --FLine;
    for (; distance > 0; --distance) {
        FLine += direction;
        while (FLines.Get(FLine) != eit::kSeparatorLine) {
            FLine += direction;
            // Past either end of the list: stay there, number unchanged.
            if (FLine >= FLines.Count() || FLine < 0)
                return;
        }
    }
    FPosition = number;
}

std::string TTextObject::ClearString(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text)
        if (c != ' ')
            result += c;
    return result;
}

std::string TTextObject::EraseSpace(std::string_view text) const
{
    if (!ClearBounds)
        return std::string(text);
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}
