#include "Palette.h"

#include <algorithm>
#include <map>

namespace eit {

namespace {

std::map<std::string, std::vector<std::string>>& Pages()
{
    static std::map<std::string, std::vector<std::string>> pages;
    return pages;
}

} // namespace

void RegisterComponent(const std::string& page, const std::string& className)
{
    auto& classes = Pages()[page];
    if (std::find(classes.begin(), classes.end(), className) == classes.end())
        classes.push_back(className);
}

std::vector<std::string> PaletteClasses(const std::string& page)
{
    const auto it = Pages().find(page);
    return it == Pages().end() ? std::vector<std::string>{} : it->second;
}

} // namespace eit
