#pragma once

#include "TTarga.h"

#include <string>

namespace eit::test {

// Bytes per pixel of a standard depth, as the file holds them.
inline int FileBpp(int depth)
{
    return depth / 8 + (depth % 8 != 0 ? 1 : 0);
}

// A component with a pixel store of the given depth and size.
inline void MakeStore(TTarga& targa, int depth, int width, int height)
{
    targa.SetDepth(static_cast<quint16>(depth));
    targa.SetWidth(static_cast<quint16>(width));
    targa.SetHeight(static_cast<quint16>(height));
}

// The first `bytes` bytes of store row k.
inline std::string StoreRow(const TTarga& targa, int k, int bytes)
{
    return std::string(reinterpret_cast<const char*>(targa.Canvas()->constScanLine(k)), static_cast<size_t>(bytes));
}

// Fills the first `bytes` bytes of every store row with a pattern that differs
// from row to row.
inline void FillRows(TTarga& targa, int bytes, int seed = 1)
{
    for (int k = 0; k < targa.Canvas()->height(); ++k)
        for (int i = 0; i < bytes; ++i)
            targa.Canvas()->scanLine(k)[i] = static_cast<uchar>(seed + 37 * k + 11 * i);
}

} // namespace eit::test
