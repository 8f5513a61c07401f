#include "IniBlockIndex.h"

#include <algorithm>

namespace eit {

namespace {

constexpr std::string_view kHeaderStart = "[0x";
constexpr std::size_t kDigits = 8;
constexpr std::size_t kHeaderSize = 12;   // "[0x" + 8 digits + "]"

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The leading hexadecimal digits of text and how many there are.
std::pair<std::uint32_t, std::size_t> ReadHex(std::string_view text)
{
    std::uint32_t number = 0;
    std::size_t count = 0;
    for (; count < text.size(); ++count) {
        const int value = HexValue(text[count]);
        if (value < 0)
            break;
        number = (number << 4) | static_cast<std::uint32_t>(value);
    }
    return {number, count};
}

std::optional<std::uint32_t> ParseUpperHex8(std::string_view digits)
{
    const auto [number, count] = ReadHex(digits);
    if (count != kDigits || digits.find_first_of("abcdef") != std::string_view::npos)
        return std::nullopt;
    return number;
}

} // namespace

std::uint32_t ReadIniHeaderNumber(std::string_view digits)
{
    return ReadHex(digits).first;
}

std::string IniBlockName(std::uint32_t number)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name = "0x00000000";
    for (std::size_t i = name.size(); i > 2; --i, number >>= 4)
        name[i - 1] = kHex[number & 0xF];
    return name;
}

std::optional<std::uint32_t> ParseIniBlockName(std::string_view name)
{
    if (name.size() != 2 + kDigits || name.substr(0, 2) != "0x")
        return std::nullopt;
    return ParseUpperHex8(name.substr(2));
}

void IniBlockIndex::Clear()
{
    FHeaders.clear();
    FRunStart.clear();
}

void IniBlockIndex::Build(std::string_view text)
{
    Clear();
    for (std::size_t p = text.find(kHeaderStart); p != npos; p = text.find(kHeaderStart, p + 1)) {
        if (text.size() - p < kHeaderSize || text[p + kHeaderSize - 1] != ']')
            continue;
        if (const auto number = ParseUpperHex8(text.substr(p + kHeaderStart.size(), kDigits)))
            FHeaders.emplace_back(*number, p);
    }
    // A file written in one go is already in order; only files with repeated
    // or shuffled numbers pay for the sort.
    if (!std::is_sorted(FHeaders.begin(), FHeaders.end()))
        std::sort(FHeaders.begin(), FHeaders.end());

    if (FHeaders.empty() || FHeaders.back().first > 2 * FHeaders.size() + 1024)
        return;
    const std::size_t numbers = std::size_t{FHeaders.back().first} + 1;
    FRunStart.resize(numbers + 1);
    std::size_t i = 0;
    for (std::size_t k = 0; k <= numbers; ++k) {
        while (i < FHeaders.size() && FHeaders[i].first < k)
            ++i;
        FRunStart[k] = i;
    }
}

std::size_t IniBlockIndex::Find(std::uint32_t number, std::size_t from) const
{
    auto first = FHeaders.begin();
    auto last = FHeaders.end();
    if (!FRunStart.empty()) {
        if (std::size_t{number} + 1 >= FRunStart.size())
            return npos;
        first += static_cast<std::ptrdiff_t>(FRunStart[number]);
        last = FHeaders.begin() + static_cast<std::ptrdiff_t>(FRunStart[number + 1]);
        if (first != last && first->second >= from)
            return first->second;
    }
    const auto it = std::lower_bound(first, last, std::make_pair(number, from));
    return it != last && it->first == number ? it->second : npos;
}

} // namespace eit
