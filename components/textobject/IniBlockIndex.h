#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace eit {

// "0x" + number in 8 upper-case hexadecimal digits: how the IniStyle index
// names a block, and (in brackets) how a block header is written.
std::string IniBlockName(std::uint32_t number);
// The number in a name of exactly that form; nullopt for any other text.
std::optional<std::uint32_t> ParseIniBlockName(std::string_view name);

// The number that follows a "[0x" in a header: every hexadecimal digit at the
// start of digits, upper- or lower-case; beyond eight digits the last eight
// count. A "[0x" with no digit after it stands for block 0.
std::uint32_t ReadIniHeaderNumber(std::string_view digits);

// The positions of every written block header ("[0x", 8 upper-case
// hexadecimal digits, "]") in a loaded IniStyle text, built in one pass so
// that looking a block up does not search the whole text again. Lookups give
// the same answer as a search from the given offset would: the first
// occurrence counts, also when it lies inside another block's text.
class IniBlockIndex {
public:
    static constexpr std::size_t npos = std::string_view::npos;

    void Clear();
    // Replaces the index with the headers of text. Headers overlapping other
    // "[0x" sequences are found too.
    void Build(std::string_view text);
    // Offset of the first header of number at or after from, or npos.
    std::size_t Find(std::uint32_t number, std::size_t from = 0) const;

private:
    // (number, offset), sorted by number, then by offset.
    std::vector<std::pair<std::uint32_t, std::size_t>> FHeaders;
    // When the numbers are dense (as in any file one writer made): the
    // headers of number k are FHeaders[FRunStart[k]] up to FRunStart[k + 1].
    // Empty otherwise, and lookups search FHeaders.
    std::vector<std::size_t> FRunStart;
};

} // namespace eit
