#pragma once

#include "BatchState.h"
#include "DataPack.h"
#include "ReplayPack.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace eit {

// What the batch runs a listed file of a pack format through; the contract
// of ExtractPack.
using ExtractFn = void (*)(const std::string& path, BatchState& state, BatchView& view);
// What the list replay hands each existing source of a pack format to; the
// contract of ReplayPack.
using ReplayFn = std::int32_t (*)(BatchState& state, BatchView& view, const ReadOnlyFile& source,
                                  const std::string& targetPath, std::int32_t lineIndex);

// One type of input file that the open dialog and the directory scan offer.
// A pack format has a format name and both handlers. A list type (project
// lists, result logs) has neither: the batch replays its files.
struct InputType {
    const char* Description;   // the open dialog's name for the filter
    const char* Mask;          // the files the filter and a scan of this type take
    std::uint8_t Mode;         // ProcessingMode for files of this type
    const char* FormatName;    // what "#Format: " records name; "" for a list type
    ExtractFn Extract;         // nullptr for a list type
    ReplayFn Replay;           // nullptr for a list type

    bool IsPack() const { return Extract != nullptr; }
};

// The input types in the order of the open dialog's filters, position 1
// first. The modes run 1, 3, 2 on purpose: project lists (position 2) are
// mode 3, log files (position 3) mode 2.
//
// Another pack format is one more entry, with a mode of its own (neither 0,
// a mode above nor kReplayNoFormat), and the file with its two handlers:
//     {"Archives (*.arc)", "*.arc", 5, "ARC", ExtractArchive, ReplayArchive},
inline constexpr std::array<InputType, 3> kInputTypes{{
    {"Data Packs (*.bin)", "*.bin", kModeExtract, "BIN", ExtractPack, ReplayPack},
    {"Project list files (*.lst)", "*.lst", kModeReplayList, "", nullptr, nullptr},
    {"Log files (*.log)", "*.log", kModeReplayLogs, "", nullptr, nullptr},
}};

namespace formats_detail {

template <typename Column>
constexpr auto EachType(Column column)
{
    std::array<decltype(column(kInputTypes[0])), kInputTypes.size()> values{};
    for (std::size_t k = 0; k < kInputTypes.size(); ++k)
        values[k] = column(kInputTypes[k]);
    return values;
}

constexpr std::size_t FilterLength()
{
    std::size_t length = 0;
    for (const InputType& type : kInputTypes)
        length += std::string_view(type.Description).size() + std::string_view(type.Mask).size() + 2;
    return length - 1;
}

// "Description|mask|Description|mask...", zero-terminated.
inline constexpr auto kFilterText = [] {
    std::array<char, FilterLength() + 1> text{};
    std::size_t at = 0;
    const auto append = [&](std::string_view part) {
        for (const char c : part)
            text[at++] = c;
    };
    for (const InputType& type : kInputTypes) {
        if (at != 0)
            append("|");
        append(type.Description);
        append("|");
        append(type.Mask);
    }
    return text;
}();

} // namespace formats_detail

// The open dialog's filter ("Data Packs (*.bin)|*.bin|..."), and with it the
// file types a directory scan offers, pair by pair.
inline constexpr const char* kInputFilter = formats_detail::kFilterText.data();
// Filter position (from 1) - 1 -> processing mode.
inline constexpr auto FilterModes = formats_detail::EachType([](const InputType& type) { return type.Mode; });
// Format names written in "#Format: " records, parallel to FilterModes.
inline constexpr auto FormatNames = formats_detail::EachType([](const InputType& type) { return type.FormatName; });

// FilterModes at a position counted from 1; 0 for a position outside the table.
std::uint8_t FilterModeAt(int position);
// FormatNames at a position counted from 1; "" outside the table.
std::string FormatNameAt(int position);
// The first input type whose mode is mode; nullptr when there is none.
const InputType* InputTypeOfMode(std::uint8_t mode);
// The mode of the first input type whose format name is name (exact and
// case-sensitive); kReplayNoFormat for "" and for names no type has.
std::uint8_t ModeOfFormatName(std::string_view name);

} // namespace eit
