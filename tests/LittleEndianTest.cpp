#include "LittleEndian.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace eit {
namespace {

TEST(LittleEndian, LeastSignificantByteComesFirst)
{
    const struct {
        std::array<unsigned char, 4> Bytes;
        std::uint32_t Value32;
        std::uint16_t Value16; // of the first two bytes
    } rows[] = {
        {{0x00, 0x00, 0x00, 0x00}, 0, 0},
        {{0x01, 0x00, 0x00, 0x00}, 1, 1},
        {{0x00, 0x01, 0x00, 0x00}, 0x100, 0x100},
        {{0x34, 0x12, 0x00, 0x00}, 0x1234, 0x1234},
        {{0x78, 0x56, 0x34, 0x12}, 0x12345678, 0x5678},
        {{0x00, 0x00, 0x00, 0x80}, 0x80000000, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF, 0xFFFF},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeLe32(row.Bytes.data()), row.Value32);
        EXPECT_EQ(DecodeLe16(row.Bytes.data()), row.Value16);
        std::array<unsigned char, 4> written{0xAA, 0xAA, 0xAA, 0xAA};
        EncodeLe32(written.data(), row.Value32);
        EXPECT_EQ(written, row.Bytes) << row.Value32;
        written = {0xAA, 0xAA, 0xAA, 0xAA};
        EncodeLe16(written.data(), row.Value16);
        EXPECT_EQ(written, (std::array<unsigned char, 4>{row.Bytes[0], row.Bytes[1], 0xAA, 0xAA})) << row.Value16;
    }
}

} // namespace
} // namespace eit
