#pragma once

#include <cstddef>
#include <cstdint>

namespace eit {

// The one reader and writer of little-endian numbers: the pack directory,
// the file surveys and the picture headers all store them this way.

// The unsigned number of 2 or 4 bytes at p, least significant byte first.
// p must hold that many bytes.
constexpr std::uint16_t DecodeLe16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint32_t DecodeLe32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// Stores value as 2 or 4 bytes at p, least significant byte first.
constexpr void EncodeLe16(unsigned char* p, std::uint16_t value)
{
    p[0] = static_cast<unsigned char>(value & 0xFF);
    p[1] = static_cast<unsigned char>(value >> 8);
}

constexpr void EncodeLe32(unsigned char* p, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace eit
