#include "Faults.h"

#include "Env.h"

#include <mutex>

namespace eit {

namespace faults {

std::atomic<bool> gPlanned{false};

namespace {

std::mutex gMutex;
FaultPlan gPlan;
int gWrites = 0;
std::uint64_t gBytes = 0;
std::atomic<std::uint64_t> gFolderSyncs{0};

} // namespace

bool WriteFailsSlow(std::size_t size)
{
    std::lock_guard lock(gMutex);
    ++gWrites;
    gBytes += size;
    return gWrites == gPlan.FailWriteNumber || (gPlan.NoSpaceAfterBytes > 0 && gBytes > gPlan.NoSpaceAfterBytes);
}

bool PlannedSlow(bool FaultPlan::*failure)
{
    std::lock_guard lock(gMutex);
    return gPlan.*failure;
}

bool FolderSyncFails()
{
    gFolderSyncs.fetch_add(1, std::memory_order_relaxed);
    return Planned(&FaultPlan::FailFolderSync);
}

} // namespace faults

void SetFaultPlan(const FaultPlan& plan)
{
    std::lock_guard lock(faults::gMutex);
    faults::gPlan = plan;
    faults::gWrites = 0;
    faults::gBytes = 0;
    faults::gPlanned.store(true);
}

void ClearFaultPlan()
{
    std::lock_guard lock(faults::gMutex);
    faults::gPlan = FaultPlan();
    faults::gPlanned.store(false);
}

std::uint64_t FolderSyncs()
{
    return faults::gFolderSyncs.load(std::memory_order_relaxed);
}

} // namespace eit
