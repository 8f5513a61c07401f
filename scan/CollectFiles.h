#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace eit {

// One type of an open-dialog filter text "Description|mask|Description|mask".
struct FilterPair {
    std::string Description;
    std::string Mask;
};

// The pairs of filter, in order. A pair's description runs up to the next
// "|", its mask from there up to the following "|" or the end of the text; a
// description with nothing after it has an empty mask.
std::vector<FilterPair> FilterPairs(std::string_view filter);
// The mask of the pair at position index (from 0) of filter; "" when filter
// has no such pair.
std::string FilterMask(std::string_view filter, int index);

// Appends to files the path of every entry matching mask in the tree below
// dir, depth first: the entries of each subfolder come before the entries of
// the folder itself, and the subfolders and the entries of one folder are
// each taken in name order, case-insensitively.
//
// Every path is dir exactly as given, the separator, the subfolder names
// joined by the separator and the entry's name ("x/" gives "x//a.bin").
// Folders whose names begin with "." and symbolic links to folders are not
// entered. Matching regular files and folders are listed, hidden ones and
// links to them included; FIFOs, sockets, devices and dangling links are
// not. A folder that cannot be read contributes nothing, the
// rest of the tree is still collected. Never throws except std::bad_alloc.
void CollectFiles(const std::string& dir, std::string_view mask, std::vector<std::string>& files);

} // namespace eit
