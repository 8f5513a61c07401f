#include "CollectFiles.h"

#include "FileUtil.h"

#include <algorithm>

namespace eit {

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive name order; names that differ only in case keep a fixed
// byte order, so a listing never depends on the order readdir returns them in.
bool NameLess(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = LowerAscii(a[i]);
        const char y = LowerAscii(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

void Collect(const std::string& dir, std::string_view mask, std::vector<std::string>& files)
{
    std::vector<std::string> folders;
    std::vector<std::string> matches;
    // The whole folder is read and closed before descending, so the depth
    // of the tree never costs more than one open folder handle.
    std::vector<FolderEntry> entries;
    if (!ListFolder(dir, entries))
        return;
    for (FolderEntry& entry : entries) {
        // Links to folders are never entered, so a link loop cannot make the
        // walk endless. FIFOs, sockets and devices would hang or harm the
        // batch that opens them, and a dangling link names nothing: only
        // files and folders (a folder matching the mask is listed like a
        // file), and links to either, are listed.
        const bool enter = entry.Kind == EntryKind::Folder && !entry.Link && !entry.Hidden;
        const bool list = entry.Kind != EntryKind::Other && MatchesMask(entry.Name, mask);
        if (enter)
            folders.push_back(entry.Name);
        if (list)
            matches.push_back(std::move(entry.Name));
    }

    std::sort(folders.begin(), folders.end(), NameLess);
    std::sort(matches.begin(), matches.end(), NameLess);
    std::string path = dir;
    path += kPathSep;
    const std::size_t stem = path.size();
    for (const std::string& name : folders) {
        path.resize(stem);
        path += name;
        Collect(path, mask, files);
    }
    for (const std::string& name : matches) {
        path.resize(stem);
        path += name;
        files.push_back(path);
    }
}

} // namespace

std::vector<FilterPair> FilterPairs(std::string_view filter)
{
    std::vector<FilterPair> pairs;
    std::size_t pos = 0;
    while (pos < filter.size()) {
        FilterPair pair;
        const std::size_t bar = filter.find('|', pos);
        if (bar == std::string_view::npos) {
            pair.Description = filter.substr(pos);
            pos = filter.size();
        } else {
            pair.Description = filter.substr(pos, bar - pos);
            const std::size_t end = std::min(filter.find('|', bar + 1), filter.size());
            pair.Mask = filter.substr(bar + 1, end - bar - 1);
            pos = end + 1;
        }
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

std::string FilterMask(std::string_view filter, int index)
{
    const std::vector<FilterPair> pairs = FilterPairs(filter);
    if (index < 0 || static_cast<std::size_t>(index) >= pairs.size())
        return {};
    return pairs[static_cast<std::size_t>(index)].Mask;
}

void CollectFiles(const std::string& dir, std::string_view mask, std::vector<std::string>& files)
{
    Collect(dir, mask, files);
}

} // namespace eit
