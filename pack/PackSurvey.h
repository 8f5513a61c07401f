#pragma once

#include "PackDirectory.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace eit {

// What the first bytes of an entry look like. A guess only: it never
// changes how an entry is extracted.
enum class EntryType { Unknown, Tim, Tim2, Vag, Wave, Ogg, Png, Bmp, Dds, Text };

// How many leading bytes of an entry the guess looks at.
inline constexpr std::size_t kSignatureBytes = 64;

// The type the first bytes of an entry suggest (at most kSignatureBytes are
// looked at; fewer may be given). Text is printable ASCII or UTF-8 with tabs
// and line ends only, either filling head or at least 8 bytes of it followed
// by nothing but zero bytes (the padding to a whole sector).
EntryType GuessEntryType(std::string_view head);

// The type's display name ("TIM", "RIFF/WAVE", "text", ...); "" for Unknown.
std::string_view TypeName(EntryType type);
// The type's usual file extension in lower case, without the dot ("tim",
// "tm2", "txt", ...); "" for Unknown, which an extension list reads as raw.
std::string_view TypeExtension(EntryType type);

// One non-empty slot of a pack as the survey saw it.
struct SurveyedEntry {
    int Slot = 0;
    PackEntry Entry;
    // The pack ends before the entry's last byte: extracting the pack would
    // fail with "Stream read error: <path>" at this slot. Such an entry is not read
    // and its Type is Unknown.
    bool PastEnd = false;
    EntryType Type = EntryType::Unknown;

    bool operator==(const SurveyedEntry&) const = default;
};

// Surveys the pack at path: reads its 65,536-byte directory and, for each
// non-empty slot whose data lies wholly within the pack, the first
// kSignatureBytes of the entry (never a whole entry). Returns the non-empty
// slots in slot order.
// Throws FileError "Cannot open file <path>" when path cannot be opened or is
// not a regular file (a FIFO or device is refused without blocking), "Data
// pack <path> is shorter than its 65536-byte directory", and "Stream read
// error: <path>" when the system reports a read failure.
std::vector<SurveyedEntry> SurveyPack(const std::string& path);

// The directory of the pack at path. Throws as SurveyPack does.
PackDirectory ReadPackDirectory(const std::string& path);

// Whether the extension lists at listPath (one list, or a folder of lists
// as ExtensionListOf finds them) can serve every pack of packs, so that a
// batch can refuse before it starts. Throws FileError "Stream read error:
// <pack>" for a pack whose directory points past its end (a file that is no
// pack), and what extraction would meet at a list: LoadCheckedExtensionList's
// errors (a line some pack uses that cannot be a file extension among them), and ExtensionListTooShort's, naming the pack that needs the most
// lines of that list. Only the packs before the first one that cannot be
// read are looked at: extracting the packs in order fails at that one, and
// names it.
void CheckExtensionList(const std::string& listPath, const std::vector<std::string>& packs);

// The listing of a survey: a header line, one line per entry (slot as 4
// upper-case hex digits, StartSector, SectorCount, bytes, then the type name,
// "(past the end of the pack)" for an entry past the end, or nothing), and a
// last line counting the entries, which is the number of lines the pack's
// extension list needs. Every line ends with LF.
std::string FormatPackList(const std::vector<SurveyedEntry>& entries);

// A starter extension list for a survey: one line per entry in slot order,
// the guessed type's extension or an empty line (raw) when there is no
// guess; every line ends with CR LF.
std::string MakeExtensionList(const std::vector<SurveyedEntry>& entries);

} // namespace eit
