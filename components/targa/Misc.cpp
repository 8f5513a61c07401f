#include "Misc.h"

#include "LittleEndian.h"

#include <cstdint>
#include <utility>

namespace {

// Applies swap to every 16-bit pixel of the row, last pixel first.
template <typename Swap>
void SwapEach16(unsigned char* row, std::size_t byteCount, Swap swap)
{
    for (std::size_t i = byteCount / 2; i-- > 0;)
        eit::EncodeLe16(row + 2 * i, swap(eit::DecodeLe16(row + 2 * i)));
}

// Exchanges bytes 0 and 2 of every pixelSize-byte pixel, last pixel first.
void SwapBytes02(unsigned char* row, std::size_t byteCount, std::size_t pixelSize)
{
    for (std::size_t i = byteCount / pixelSize; i-- > 0;)
        std::swap(row[pixelSize * i], row[pixelSize * i + 2]);
}

} // namespace

void SwapRB15(unsigned char* row, std::size_t byteCount)
{
    SwapEach16(row, byteCount, [](std::uint16_t v) {
        return static_cast<std::uint16_t>((v & 0x8000) | ((v & 0x001F) << 10) | (v & 0x03E0)
                                          | ((v >> 10) & 0x001F));
    });
}

void SwapRB16(unsigned char* row, std::size_t byteCount)
{
    SwapEach16(row, byteCount, [](std::uint16_t v) {
        return static_cast<std::uint16_t>(((v & 0x001F) << 11) | (v & 0x07E0) | (v >> 11));
    });
}

void SwapRB24(unsigned char* row, std::size_t byteCount)
{
    SwapBytes02(row, byteCount, 3);
}

void SwapRB32(unsigned char* row, std::size_t byteCount)
{
    SwapBytes02(row, byteCount, 4);
}
