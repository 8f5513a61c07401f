#include "BatchState.h"

#include <cstdlib>

namespace eit {

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
