#pragma once

#include <cstddef>

// Red/blue exchanges over one row of pixels, in place. Each takes the row's
// first byte and its length in bytes; pixels are little-endian and a trailing
// part of a pixel (byteCount not a multiple of the pixel size) is left alone.

// 15 bits: bit 15 attribute, bits 10-14 red, 5-9 green, 0-4 blue.
void SwapRB15(unsigned char* row, std::size_t byteCount);
// 16 bits: bits 11-15 red, 5-10 green, 0-4 blue.
void SwapRB16(unsigned char* row, std::size_t byteCount);
// 24 bits: bytes blue, green, red.
void SwapRB24(unsigned char* row, std::size_t byteCount);
// 32 bits: bytes blue, green, red, alpha.
void SwapRB32(unsigned char* row, std::size_t byteCount);
