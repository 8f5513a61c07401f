#pragma once

// The toolbar's pictures come as XPM text compiled into the program
// (resources/icons/*.xpm); this reads the simple form they use.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace eit {

// A picture as rows of 0xAARRGGBB pixels, top row first; a transparent pixel
// is 0 (so the pixels are already premultiplied by their alpha).
struct XpmPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
};

// Reads an XPM's strings ("w h colours chars", the colour lines with "c
// #RRGGBB" or "c None", then the rows). Throws std::runtime_error "Bad
// picture <name>" when the strings do not make a picture.
XpmPicture ReadXpm(const char* const* lines, std::size_t count, const std::string& name);

// One of the compiled-in pictures: name as its file is named without
// ".xpm" ("bin", "bin_disabled", "bin@2x"). Throws as ReadXpm does, and for
// a name it does not know.
XpmPicture ToolPicture(const std::string& name);

} // namespace eit
