#pragma once

// The failures a test planned with SetFaultPlan(), asked for by the system
// calls of EnvPosix.cpp and EnvWindows.cpp. Each answer costs one relaxed
// atomic load while no plan is set.

#include "Env.h"

#include <atomic>
#include <cstddef>

namespace eit::faults {

extern std::atomic<bool> gPlanned;

bool WriteFailsSlow(std::size_t size);
// The planned answer of one of FaultPlan's yes-or-no failures.
bool PlannedSlow(bool FaultPlan::*failure);

inline bool Planned(bool FaultPlan::*failure)
{
    return gPlanned.load(std::memory_order_relaxed) && PlannedSlow(failure);
}

// Whether the write of size bytes about to be made fails; counts it.
inline bool WriteFails(std::size_t size)
{
    return gPlanned.load(std::memory_order_relaxed) && WriteFailsSlow(size);
}
inline bool ReadFails() { return Planned(&FaultPlan::FailRead); }
inline bool SyncFails() { return Planned(&FaultPlan::FailSync); }
inline bool RenameFails() { return Planned(&FaultPlan::FailRename); }
inline bool NoUnnamedTemporaries() { return Planned(&FaultPlan::NoUnnamedTemporaries); }
// Also counts the folder flush for FolderSyncs().
bool FolderSyncFails();

} // namespace eit::faults
