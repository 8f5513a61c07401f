#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The marker texts and header codes shared by the text container and its two
// layouts. Callers tell a real text from a marker by comparing the result of
// TTextObject::Read with kOutOfText and kNoText.
namespace eit {

// Read found no further text.
inline constexpr std::string_view kOutOfText = "#OUT_OF_TEXT#";
// IniStyle: the block's header is not in the file, or the object was opened
// for writing.
inline constexpr std::string_view kNoText = "#NO_TEXT#";
// BlanshStyle: the first line of every record (31 underscores).
inline constexpr std::string_view kSeparatorLine = "_______________________________";
// BlanshStyle: the start of the second line of every record.
inline constexpr std::string_view kHeaderPrefix = "#H#E#A#D#E#R#";
// BlanshStyle: the last line of every record.
inline constexpr std::string_view kEndLine = "#E#N#D#";

// BlanshStyle header codes for ttIndexed, ttPlain and ttStringDepeneded.
inline constexpr std::array<std::uint8_t, 3> kTextTypeCodes = {0, 1, 2};

} // namespace eit
