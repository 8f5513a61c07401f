#include "PackSurvey.h"

#include "DataPack.h"
#include "Env.h"
#include "ExtensionList.h"
#include "FileError.h"
#include "LineList.h"
#include "LittleEndian.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace eit {

namespace {

struct TypeInfo {
    std::string_view Name;
    std::string_view Extension;
};

// Indexed by EntryType.
constexpr std::array<TypeInfo, 10> kTypes{{
    {"", ""},
    {"TIM", "tim"},
    {"TIM2", "tm2"},
    {"VAGp", "vag"},
    {"RIFF/WAVE", "wav"},
    {"OggS", "ogg"},
    {"PNG", "png"},
    {"BMP", "bmp"},
    {"DDS", "dds"},
    {"text", "txt"},
}};

constexpr std::size_t kMinTextBytes = 8;

std::uint32_t Le32At(std::string_view bytes, std::size_t at)
{
    return DecodeLe32(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

bool HasAt(std::string_view head, std::size_t at, std::string_view magic)
{
    return head.size() >= at + magic.size() && head.substr(at, magic.size()) == magic;
}

// Flags word: pixel mode 0-3 (4, 8, 16, 24 bits) in bits 0-2, the CLUT flag
// in bit 3, nothing else. The block after it (CLUT or pixels) starts with
// its own length, which covers at least its 12-byte header; that rules out
// most other data that happens to start with the number 16.
bool IsTim(std::string_view head)
{
    if (head.size() < 12 || Le32At(head, 0) != 0x10)
        return false;
    const std::uint32_t flags = Le32At(head, 4);
    return (flags & ~0xFu) == 0 && (flags & 7u) <= 3 && Le32At(head, 8) >= 12;
}

// A BMP file header's reserved words are zero and the info header that
// follows it has one of the sizes its versions define.
bool IsBmp(std::string_view head)
{
    if (head.size() < 18 || !HasAt(head, 0, "BM") || Le32At(head, 6) != 0)
        return false;
    const std::uint32_t infoSize = Le32At(head, 14);
    for (std::uint32_t size : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
        if (infoSize == size)
            return true;
    }
    return false;
}

// Bytes a UTF-8 sequence starting at head[at] takes, 0 when it is not valid
// UTF-8. A sequence cut off by the end of head counts as valid: head is only
// the start of the entry.
std::size_t Utf8Length(std::string_view head, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(head[at]);
    std::size_t length;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    const std::size_t end = std::min(head.size(), at + length);
    for (std::size_t i = at + 1; i < end; ++i) {
        if ((static_cast<unsigned char>(head[i]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

bool IsText(std::string_view head)
{
    std::size_t at = 0;
    while (at < head.size() && head[at] != '\0') {
        const auto c = static_cast<unsigned char>(head[at]);
        if ((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r') {
            ++at;
        } else if (c >= 0x80) {
            const std::size_t length = Utf8Length(head, at);
            if (length == 0)
                return false;
            at += length;
        } else {
            return false;
        }
    }
    if (at < kMinTextBytes)
        return false;
    // A text shorter than head is padded with zeros to its sector's end.
    return std::all_of(head.begin() + static_cast<std::ptrdiff_t>(std::min(at, head.size())), head.end(),
                       [](char c) { return c == '\0'; });
}

} // namespace

EntryType GuessEntryType(std::string_view head)
{
    head = head.substr(0, kSignatureBytes);
    if (IsTim(head))
        return EntryType::Tim;
    if (HasAt(head, 0, "TIM2"))
        return EntryType::Tim2;
    if (HasAt(head, 0, "VAGp"))
        return EntryType::Vag;
    if (HasAt(head, 0, "RIFF") && HasAt(head, 8, "WAVE"))
        return EntryType::Wave;
    if (HasAt(head, 0, "OggS"))
        return EntryType::Ogg;
    if (HasAt(head, 0, "\x89PNG\r\n\x1A\n"))
        return EntryType::Png;
    if (IsBmp(head))
        return EntryType::Bmp;
    // The header after the magic gives its own size, always 124.
    if (HasAt(head, 0, "DDS ") && head.size() >= 8 && Le32At(head, 4) == 124)
        return EntryType::Dds;
    if (IsText(head))
        return EntryType::Text;
    return EntryType::Unknown;
}

std::string_view TypeName(EntryType type)
{
    return kTypes[static_cast<std::size_t>(type)].Name;
}

std::string_view TypeExtension(EntryType type)
{
    return kTypes[static_cast<std::size_t>(type)].Extension;
}

PackDirectory ReadPackDirectory(const std::string& path)
{
    return PackDirectory::Read(ReadOnlyFile(path));
}

void CheckExtensionList(const std::string& listPath, const std::vector<std::string>& packs)
{
    // Each list with the pack that needs the most of its lines, in the order
    // of first use.
    struct Use {
        std::string List;
        std::string Pack;
        int Lines = 0;
    };
    std::vector<Use> uses;
    for (const std::string& pack : packs) {
        int used = 0;
        bool fits = false;
        try {
            const ReadOnlyFile file(pack);
            const PackDirectory directory = PackDirectory::Read(file);
            used = directory.UsedSlots();
            fits = directory.FitsIn(file.Size());
        } catch (const FileError&) {
            // The extraction fails at this pack, before its list and those
            // of the packs after it are read; it names the pack.
            break;
        }
        // A file that is no pack has a directory of garbage, pointing past its end.
        if (!fits)
            throw FileError::StreamRead(pack, {FileErrorKind::ReadPastEnd, {}});
        const std::string list = ExtensionListOf(listPath, pack);
        auto use = std::find_if(uses.begin(), uses.end(), [&](const Use& u) { return u.List == list; });
        if (use == uses.end())
            uses.push_back({list, pack, used});
        else if (used > use->Lines)
            *use = {list, pack, used};
    }
    for (const Use& use : uses) {
        const int lines = LoadCheckedExtensionList(use.List, use.Lines).Count();
        if (use.Lines > lines)
            throw ExtensionListTooShort(use.List, lines, use.Pack, use.Lines);
    }
}

std::vector<SurveyedEntry> SurveyPack(const std::string& path)
{
    const ReadOnlyFile pack(path);
    const PackDirectory directory = PackDirectory::Read(pack);

    std::vector<SurveyedEntry> entries;
    entries.reserve(static_cast<std::size_t>(directory.UsedSlots()));
    std::array<char, kSignatureBytes> head;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const PackEntry& entry = directory.Entry(slot);
        if (entry.Empty())
            continue;
        SurveyedEntry surveyed{slot, entry};
        surveyed.PastEnd = !entry.FitsIn(pack.Size());
        if (!surveyed.PastEnd) {
            const std::size_t got = pack.ReadAt(entry.Offset(), head.data(), head.size());
            surveyed.Type = GuessEntryType({head.data(), got});
        }
        entries.push_back(surveyed);
    }
    return entries;
}

std::string FormatPackList(const std::vector<SurveyedEntry>& entries)
{
    std::string text = "slot  StartSector  SectorCount          bytes  type\n";
    text.reserve(text.size() * (entries.size() + 2));
    char line[96];
    for (const SurveyedEntry& e : entries) {
        const std::string_view type = e.PastEnd ? "(past the end of the pack)" : TypeName(e.Type);
        const int n = std::snprintf(line, sizeof line, "%04X  %11u  %11u  %13llu", static_cast<unsigned>(e.Slot),
                                    e.Entry.StartSector, e.Entry.SectorCount,
                                    static_cast<unsigned long long>(e.Entry.Length()));
        text.append(line, static_cast<std::size_t>(n));
        if (!type.empty())
            text.append("  ").append(type);
        text += '\n';
    }
    const std::size_t count = entries.size();
    text += std::to_string(count) + (count == 1 ? " non-empty slot" : " non-empty slots") +
            ": the extension list needs " + std::to_string(count) + (count == 1 ? " line\n" : " lines\n");
    return text;
}

std::string MakeExtensionList(const std::vector<SurveyedEntry>& entries)
{
    LineList lines;
    lines.Reserve(entries.size());
    for (const SurveyedEntry& e : entries)
        lines.Add(std::string(TypeExtension(e.Type)));
    return lines.Text();
}

} // namespace eit
