#include "ToolImages.h"

#include "Xpm.h"

#include <cstring>
#include <stdexcept>

namespace eit {

namespace {

HBITMAP CreatePictureBitmap(const XpmPicture& picture)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.Width;
    info.bmiHeader.biHeight = -picture.Height; // top row first, as the picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    // 0xAARRGGBB in memory order is B, G, R, A: what a 32-bit DIB holds.
    std::memcpy(bits, picture.Pixels.data(), picture.Pixels.size() * sizeof picture.Pixels.front());
    return bitmap;
}

} // namespace

bool LargePictures(int dpi)
{
    return dpi >= 144;
}

HIMAGELIST CreateToolImageList(const std::vector<std::string>& names, bool large)
{
    const int size = large ? 32 : 16;
    HIMAGELIST list = ::ImageList_Create(size, size, ILC_COLOR32, static_cast<int>(names.size()), 0);
    if (!list)
        throw std::runtime_error("Cannot create the toolbar's pictures");
    try {
        for (const std::string& name : names) {
            const XpmPicture picture = ToolPicture(large ? name + "@2x" : name);
            if (picture.Width != size || picture.Height != size)
                throw std::runtime_error("Bad picture " + name);
            HBITMAP bitmap = CreatePictureBitmap(picture);
            const int index = bitmap ? ::ImageList_Add(list, bitmap, nullptr) : -1;
            if (bitmap)
                ::DeleteObject(bitmap);
            if (index < 0)
                throw std::runtime_error("Cannot create the toolbar's pictures");
        }
    } catch (...) {
        ::ImageList_Destroy(list);
        throw;
    }
    return list;
}

} // namespace eit
