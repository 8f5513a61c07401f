#include "PackCopier.h"

#include <algorithm>
#include <chrono>

namespace eit {

PackCopier::PackCopier(const BatchState& state, const ReadOnlyFile& source, AtomicFile& out)
    : FState(state), FSource(source), FOut(out), FThread([this] { Run(); })
{
}

PackCopier::~PackCopier()
{
    FCancel = true;
    FThread.join();
}

bool PackCopier::Wait(std::uint64_t bytes)
{
    std::unique_lock lock(FMutex);
    const bool ready =
        FMoved.wait_for(lock, std::chrono::milliseconds(20), [&] { return FDone || FCopied.load() >= bytes; });
    if (FError)
        std::rethrow_exception(FError);
    return ready;
}

void PackCopier::Run()
{
    try {
        const std::uint64_t size = FSource.Size();
        // Stop is looked at between chunks, as it is between slots.
        for (std::uint64_t done = 0; done < size && !FCancel && !FState.StopFlag.load();) {
            const std::uint64_t chunk = std::min(size - done, kCopyChunk);
            FOut.CopyFrom(FSource, done, chunk);
            done += chunk;
            std::lock_guard lock(FMutex);
            FCopied = done;
            FMoved.notify_one();
        }
    } catch (...) {
        std::lock_guard lock(FMutex);
        FError = std::current_exception();
    }
    std::lock_guard lock(FMutex);
    FDone = true;
    FMoved.notify_one();
}

} // namespace eit
