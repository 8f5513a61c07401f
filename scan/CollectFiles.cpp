#include "CollectFiles.h"

#include "FileUtil.h"

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// A real folder, not a link to one: links are never followed, so a link
// loop cannot make the walk endless.
bool IsFolder(DIR* folder, const dirent* entry)
{
#ifdef _DIRENT_HAVE_D_TYPE
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
#endif
    struct stat st;
    return ::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Whether a matching entry goes into the list: regular files, folders (a
// folder matching the mask is listed like a file) and links to either.
// FIFOs, sockets and devices would hang or harm the batch that opens them,
// and a dangling link names nothing.
bool IsListable(DIR* folder, const dirent* entry)
{
#ifdef _DIRENT_HAVE_D_TYPE
    if (entry->d_type == DT_REG || entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
        return false;
#endif
    struct stat st;
    return ::fstatat(::dirfd(folder), entry->d_name, &st, 0) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
}

void Collect(const std::string& dir, std::string_view mask, std::vector<std::string>& files)
{
    std::vector<std::string> folders;
    std::vector<std::string> matches;
    // The whole folder is read and closed before descending, so the depth
    // of the tree never costs more than one open folder handle.
    if (DIR* folder = ::opendir(dir.c_str())) {
        while (const dirent* entry = ::readdir(folder)) {
            const char* name = entry->d_name;
            if (IsDotOrDotDot(name))
                continue;
            if (name[0] != '.' && IsFolder(folder, entry))
                folders.emplace_back(name);
            if (MatchesMask(name, mask) && IsListable(folder, entry))
                matches.emplace_back(name);
        }
        ::closedir(folder);
    } else {
        return;
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

bool MatchesMask(std::string_view name, std::string_view mask)
{
    // Greedy match that backtracks only to the most recent "*": linear in
    // practice, and never exponential however many stars the mask holds.
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || LowerAscii(mask[m]) == LowerAscii(name[n])) && mask[m] != '*') {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

void CollectFiles(const std::string& dir, std::string_view mask, std::vector<std::string>& files)
{
    Collect(dir, mask, files);
}

} // namespace eit
