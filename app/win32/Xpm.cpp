#include "Xpm.h"

#include <map>
#include <sstream>

namespace eit {

namespace {

bool ReadColour(const std::string& spec, std::uint32_t& pixel)
{
    if (spec == "None" || spec == "none") {
        pixel = 0;
        return true;
    }
    if (spec.size() != 7 || spec[0] != '#')
        return false;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < spec.size(); ++i) {
        const char c = spec[i];
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
    }
    pixel = 0xFF000000u | rgb;
    return true;
}

} // namespace

XpmPicture ReadXpm(const char* const* lines, std::size_t count, const std::string& name)
{
    const std::runtime_error bad("Bad picture " + name);
    if (count == 0)
        throw bad;
    XpmPicture picture;
    int colours = 0;
    int chars = 0;
    std::istringstream header(lines[0]);
    if (!(header >> picture.Width >> picture.Height >> colours >> chars) || picture.Width <= 0
        || picture.Height <= 0 || colours <= 0 || chars <= 0
        || count < 1 + static_cast<std::size_t>(colours) + static_cast<std::size_t>(picture.Height))
        throw bad;
    const auto width = static_cast<std::size_t>(picture.Width);
    const auto keySize = static_cast<std::size_t>(chars);

    std::map<std::string, std::uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const std::string line = lines[i];
        if (line.size() < keySize)
            throw bad;
        std::istringstream rest(line.substr(keySize));
        std::string kind;
        std::string spec;
        std::uint32_t pixel = 0;
        if (!(rest >> kind >> spec) || kind != "c" || !ReadColour(spec, pixel))
            throw bad;
        palette[line.substr(0, keySize)] = pixel;
    }

    picture.Pixels.reserve(width * static_cast<std::size_t>(picture.Height));
    for (int y = 0; y < picture.Height; ++y) {
        const std::string row = lines[1 + colours + y];
        if (row.size() != width * keySize)
            throw bad;
        for (std::size_t x = 0; x < width; ++x) {
            const auto found = palette.find(row.substr(x * keySize, keySize));
            if (found == palette.end())
                throw bad;
            picture.Pixels.push_back(found->second);
        }
    }
    return picture;
}

} // namespace eit
