#pragma once

#include <cstddef>
#include <cstdint>

namespace eit {

// A copy between files moves kCopyBlock bytes at a time through memory.
inline constexpr std::size_t kCopyBlock = std::size_t{1} << 18;

// Long copies go in chunks of kCopyChunk bytes, so that Stop and the window
// are looked at several times a second.
inline constexpr std::uint64_t kCopyChunk = std::uint64_t{8} << 20;

} // namespace eit
