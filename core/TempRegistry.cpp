#include "TempRegistry.h"

#include <atomic>
#include <cstring>

namespace eit::temp_registry {

namespace {

// Far more than the files a run writes at once: the extraction's queue of
// files awaiting their names, the rebuilt pack and its backup, result.log.
constexpr int kPlaces = 64;
constexpr std::size_t kPathBytes = 4096;

enum State : int { kFree, kChanging, kHeld };

struct Place {
    std::atomic<int> State{kFree};
    char Path[kPathBytes];
};

Place gPlaces[kPlaces];

static_assert(std::atomic<int>::is_always_lock_free);

} // namespace

int Add(const std::string& path)
{
    if (path.size() >= kPathBytes)
        return -1;
    for (int k = 0; k < kPlaces; ++k) {
        int expected = kFree;
        if (gPlaces[k].State.compare_exchange_strong(expected, kChanging)) {
            std::memcpy(gPlaces[k].Path, path.c_str(), path.size() + 1);
            gPlaces[k].State.store(kHeld);
            return k;
        }
    }
    return -1;
}

void Drop(int& place)
{
    if (place >= 0)
        gPlaces[place].State.store(kFree);
    place = -1;
}

int Capacity()
{
    return kPlaces;
}

const char* At(int place)
{
    return gPlaces[place].State.load() == kHeld ? gPlaces[place].Path : nullptr;
}

} // namespace eit::temp_registry
