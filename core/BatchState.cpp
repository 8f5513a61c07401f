#include "BatchState.h"

#include <cstdlib>

namespace eit {

std::uint8_t FilterModeAt(int position)
{
    return position >= 1 && position <= 3 ? FilterModes[static_cast<std::size_t>(position - 1)] : 0;
}

std::string FormatNameAt(int position)
{
    return position >= 1 && position <= 3 ? FormatNames[static_cast<std::size_t>(position - 1)] : "";
}

std::string DefaultExtListPath()
{
    const std::string configured = EIT_EXTLIST_PATH;
    if (!configured.empty())
        return configured;
#ifdef _WIN32
    return "C:\\Projects\\Kestrane\\extlist.txt";
#else
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Projects/Kestrane/extlist.txt";
#endif
}

} // namespace eit
