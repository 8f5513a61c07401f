#pragma once

// The names of the temporary files that uncommitted AtomicFiles hold, kept
// where the last moments of a process can reach them: a fixed table changed
// without locks or allocation, which a signal handler may read. Used by the
// implementations of Env.h only.

#include <string>

namespace eit::temp_registry {

// Records path and returns its place, or -1 when the table is full or path
// too long for it (that temporary then cannot be removed at the end).
int Add(const std::string& path);
// Forgets the name at place (nothing for -1) and sets place to -1.
void Drop(int& place);
// How many places the table has.
int Capacity();
// The name held at place, or nullptr. Async-signal-safe; a name dropped
// and replaced at that very moment may come out torn.
const char* At(int place);

} // namespace eit::temp_registry
