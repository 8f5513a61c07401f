#include "BatchState.h"

#include "Env.h"
#include "FileUtil.h"

#include <algorithm>

namespace eit {

namespace {

bool IsScanBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string_view FirstWord(std::string_view text, std::size_t* end)
{
    std::size_t start = 0;
    while (start < text.size() && IsScanBlank(text[start]))
        ++start;
    std::size_t stop = start;
    while (stop < text.size() && !IsScanBlank(text[stop]))
        ++stop;
    if (end)
        *end = stop;
    return text.substr(start, stop - start);
}

bool IsLogMarker(std::string_view word)
{
    return std::any_of(LogMarkers.begin(), LogMarkers.end(), [&](const char* marker) { return word == marker; });
}

std::string OutputPathKey(const BatchState& state, std::string_view path)
{
    return state.OutputIgnoresCase ? AsciiUpper(path) : std::string(path);
}

bool MoveProgress(BatchView& view, int position, const std::function<void()>& alongside)
{
    if (position == view.ProgressPosition())
        return false;
    view.SetProgress(position);
    if (alongside)
        alongside();
    view.ProcessEvents();
    return true;
}

std::string DefaultExtListPath()
{
    const std::string configured = EIT_EXTLIST_PATH;
    if (!configured.empty())
        return configured;
#ifdef _WIN32
    return "C:\\Projects\\Kestrane\\extlist.txt";
#else
    return HomeFolder() + "/Projects/Kestrane/extlist.txt";
#endif
}

} // namespace eit
