// The toolbar pictures, compiled in from resources/icons.

#include "Xpm.h"

#include <iterator>

namespace eit {

namespace {

// The files declare their arrays static: each is this file's own.
#include "bin.xpm"
#include "bin@2x.xpm"
#include "bin_disabled.xpm"
#include "bin_disabled@2x.xpm"
#include "closed_folder.xpm"
#include "closed_folder@2x.xpm"
#include "closed_folder_disabled.xpm"
#include "closed_folder_disabled@2x.xpm"
#include "disk.xpm"
#include "disk@2x.xpm"
#include "disk_disabled.xpm"
#include "disk_disabled@2x.xpm"
#include "ext_list.xpm"
#include "ext_list@2x.xpm"
#include "ext_list_disabled.xpm"
#include "ext_list_disabled@2x.xpm"
#include "open_folder.xpm"
#include "open_folder@2x.xpm"
#include "open_folder_disabled.xpm"
#include "open_folder_disabled@2x.xpm"
#include "pen_sheet.xpm"
#include "pen_sheet@2x.xpm"
#include "window.xpm"
#include "window@2x.xpm"
#include "window_disabled.xpm"
#include "window_disabled@2x.xpm"

struct Entry {
    const char* Name;
    const char* const* Lines;
    std::size_t Count;
};

#define EIT_PICTURE(file, array) { file, array, std::size(array) }
const Entry kPictures[] = {
    EIT_PICTURE("bin", bin),
    EIT_PICTURE("bin@2x", bin_2x),
    EIT_PICTURE("bin_disabled", bin_disabled),
    EIT_PICTURE("bin_disabled@2x", bin_disabled_2x),
    EIT_PICTURE("closed_folder", closed_folder),
    EIT_PICTURE("closed_folder@2x", closed_folder_2x),
    EIT_PICTURE("closed_folder_disabled", closed_folder_disabled),
    EIT_PICTURE("closed_folder_disabled@2x", closed_folder_disabled_2x),
    EIT_PICTURE("disk", disk),
    EIT_PICTURE("disk@2x", disk_2x),
    EIT_PICTURE("disk_disabled", disk_disabled),
    EIT_PICTURE("disk_disabled@2x", disk_disabled_2x),
    EIT_PICTURE("ext_list", ext_list),
    EIT_PICTURE("ext_list@2x", ext_list_2x),
    EIT_PICTURE("ext_list_disabled", ext_list_disabled),
    EIT_PICTURE("ext_list_disabled@2x", ext_list_disabled_2x),
    EIT_PICTURE("open_folder", open_folder),
    EIT_PICTURE("open_folder@2x", open_folder_2x),
    EIT_PICTURE("open_folder_disabled", open_folder_disabled),
    EIT_PICTURE("open_folder_disabled@2x", open_folder_disabled_2x),
    EIT_PICTURE("pen_sheet", pen_sheet),
    EIT_PICTURE("pen_sheet@2x", pen_sheet_2x),
    EIT_PICTURE("window", window),
    EIT_PICTURE("window@2x", window_2x),
    EIT_PICTURE("window_disabled", window_disabled),
    EIT_PICTURE("window_disabled@2x", window_disabled_2x),
};
#undef EIT_PICTURE

} // namespace

XpmPicture ToolPicture(const std::string& name)
{
    for (const Entry& entry : kPictures)
        if (name == entry.Name)
            return ReadXpm(entry.Lines, entry.Count, name);
    throw std::runtime_error("Bad picture " + name);
}

} // namespace eit
