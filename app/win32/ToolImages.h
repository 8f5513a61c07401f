#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace eit {

// An image list of the toolbar pictures named (as ToolPicture names them,
// without "@2x"), in that order: the 16 x 16 ones, or the 32 x 32 ones when
// large. Throws std::runtime_error when a picture is missing or the list
// cannot be made. The caller destroys it.
HIMAGELIST CreateToolImageList(const std::vector<std::string>& names, bool large);

// Whether dpi calls for the 32 x 32 pictures.
bool LargePictures(int dpi);

} // namespace eit
