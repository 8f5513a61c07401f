#pragma once

// The failures a test planned with SetFaultPlan(), asked for by the system
// calls of EnvPosix.cpp and EnvWindows.cpp. Each answer costs one relaxed
// atomic load while no plan is set.

#include <atomic>
#include <cstddef>

namespace eit::faults {

extern std::atomic<bool> gPlanned;

bool WriteFailsSlow(std::size_t size);
bool ReadFailsSlow();
bool SyncFailsSlow();
bool RenameFailsSlow();
bool FolderSyncFailsSlow();
bool NoUnnamedTemporariesSlow();

// Whether the write of size bytes about to be made fails; counts it.
inline bool WriteFails(std::size_t size)
{
    return gPlanned.load(std::memory_order_relaxed) && WriteFailsSlow(size);
}
inline bool ReadFails()
{
    return gPlanned.load(std::memory_order_relaxed) && ReadFailsSlow();
}
inline bool SyncFails()
{
    return gPlanned.load(std::memory_order_relaxed) && SyncFailsSlow();
}
inline bool RenameFails()
{
    return gPlanned.load(std::memory_order_relaxed) && RenameFailsSlow();
}
// Also counts the folder flush for FolderSyncs().
bool FolderSyncFails();
inline bool NoUnnamedTemporaries()
{
    return gPlanned.load(std::memory_order_relaxed) && NoUnnamedTemporariesSlow();
}

} // namespace eit::faults
