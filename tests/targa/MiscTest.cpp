#include "Misc.h"
#include "TargaTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <cstdint>
#include <vector>

namespace {

std::uint16_t Swap16(void (*swap)(unsigned char*, std::size_t), std::uint16_t value)
{
    unsigned char bytes[2] = {static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>(value >> 8)};
    swap(bytes, 2);
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

} // namespace

TEST(Misc, SwapRB15MovesRedAndBlueAndKeepsAttribute)
{
    EXPECT_EQ(Swap16(SwapRB15, 0x801F), 0xFC00);
    EXPECT_EQ(Swap16(SwapRB15, 0x7C00), 0x001F);
    EXPECT_EQ(Swap16(SwapRB15, 0x03E0), 0x03E0);
}

TEST(Misc, SwapRB16MovesRedAndBlueAndKeepsGreen)
{
    EXPECT_EQ(Swap16(SwapRB16, 0xF800), 0x001F);
    EXPECT_EQ(Swap16(SwapRB16, 0x001F), 0xF800);
    EXPECT_EQ(Swap16(SwapRB16, 0x07E0), 0x07E0);
}

TEST(Misc, ByteSwapsExchangeBytesZeroAndTwoOfEveryPixel)
{
    std::vector<unsigned char> row24 = {1, 2, 3, 4, 5, 6};
    SwapRB24(row24.data(), row24.size());
    EXPECT_EQ(row24, (std::vector<unsigned char>{3, 2, 1, 6, 5, 4}));

    std::vector<unsigned char> row32 = {1, 2, 3, 4, 5, 6, 7, 8};
    SwapRB32(row32.data(), row32.size());
    EXPECT_EQ(row32, (std::vector<unsigned char>{3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST(Misc, PartialPixelsAndEmptyRowsAreLeftAlone)
{
    std::vector<unsigned char> row = {1, 2, 3, 4, 5};
    SwapRB32(row.data(), row.size());
    EXPECT_EQ(row, (std::vector<unsigned char>{3, 2, 1, 4, 5}));
    SwapRB24(row.data(), 2);
    SwapRB16(row.data(), 1);
    SwapRB15(nullptr, 0);
    EXPECT_EQ(row, (std::vector<unsigned char>{3, 2, 1, 4, 5}));
}

TEST(TTargaReverseColors, SwapsWholeRowsAndTwiceRestoresThePicture)
{
    const std::pair<int, void (*)(unsigned char*, std::size_t)> swaps[] = {
        {15, SwapRB15}, {16, SwapRB16}, {24, SwapRB24}, {32, SwapRB32}};
    for (const auto& [depth, swap] : swaps) {
        SCOPED_TRACE(depth);
        TTarga targa;
        eit::test::MakeStore(targa, depth, 3, 2);
        const int rowBytes = 3 * eit::test::FileBpp(depth);
        eit::test::FillRows(targa, rowBytes);
        const std::string before = eit::test::StoreRow(targa, 0, rowBytes) + eit::test::StoreRow(targa, 1, rowBytes);
        std::string swapped = before;
        swap(reinterpret_cast<unsigned char*>(swapped.data()), rowBytes);
        swap(reinterpret_cast<unsigned char*>(swapped.data()) + rowBytes, rowBytes);
        const auto header = targa.Header();

        targa.ReverseColors();
        EXPECT_EQ(eit::test::StoreRow(targa, 0, rowBytes) + eit::test::StoreRow(targa, 1, rowBytes), swapped);
        targa.ReverseColors();
        EXPECT_EQ(eit::test::StoreRow(targa, 0, rowBytes) + eit::test::StoreRow(targa, 1, rowBytes), before);
        EXPECT_EQ(targa.Header(), header);
    }
}

TEST(TTargaReverseColors, SwapsRedAndBlueOfA24BitPixel)
{
    TTarga targa;
    eit::test::MakeStore(targa, 24, 1, 1);
    uchar* pixel = targa.GetScanLine(0);
    pixel[0] = 0x10; // blue
    pixel[1] = 0x20;
    pixel[2] = 0x30; // red
    targa.ReverseColors();
    EXPECT_EQ(pixel[0], 0x30);
    EXPECT_EQ(pixel[1], 0x20);
    EXPECT_EQ(pixel[2], 0x10);
}

TEST(TTargaReverseColors, DoesNothingWithoutStoreOrForOtherDepths)
{
    TTarga targa;
    targa.ReverseColors();
    EXPECT_EQ(targa.Canvas(), nullptr);

    eit::test::MakeStore(targa, 8, 2, 1);
    targa.Canvas()->scanLine(0)[0] = 1;
    targa.Canvas()->scanLine(0)[2] = 3;
    targa.ReverseColors();
    EXPECT_EQ(targa.Canvas()->scanLine(0)[0], 1);
    EXPECT_EQ(targa.Canvas()->scanLine(0)[2], 3);
}
