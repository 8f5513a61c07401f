#pragma once

#include "PackDirectory.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace eit {

// One piece of a rebuilt pack's data area. Pieces are written one after the
// other: each starts where the one before it ends.
struct PackWrite {
    enum class Source {
        Pack,   // Count bytes of the old pack from PackOffset
        File,   // the file of Slot (FileBytes bytes), then zeros up to Count
        Zero    // Count zero bytes
    };
    Source From = Source::Zero;
    std::uint64_t Offset = 0;       // in the new pack
    std::uint64_t Count = 0;
    std::uint64_t PackOffset = 0;   // Source::Pack
    int Slot = -1;                  // Source::File
    std::uint64_t FileBytes = 0;    // Source::File, at most Count

    bool operator==(const PackWrite&) const = default;
};

// How a pack is rebuilt: its new directory, its new length and the pieces
// of its data area from byte 65,536 to Length, in order.
struct InsertPlan {
    PackDirectory Directory;
    std::uint64_t Length = 0;
    std::vector<PackWrite> Writes;
    int Inserted = 0;   // slots that take a file
    int Moved = 0;      // of those, the ones placed at the end of the pack
};

// The size of the file each slot takes; 0 for a slot that keeps its data.
using SlotSizes = std::array<std::uint64_t, kPackSlots>;

// Plans the rebuild of a pack of packLength bytes with directory old when
// the slots with a size in sizes take files of those sizes, padded with zeros
// to whole 2048-byte sectors. Sizes of empty slots are ignored. Slots are
// placed in slot order: in place when they fit and share no sector with
// another slot, grown in place when they end at the data's end, otherwise
// appended at the data's end (the pack's length rounded up to a sector, then
// each appended slot's end). Every other byte of the old pack stays where it
// was; sectors a shrunk slot gives up become zeros, and so do the bytes
// between the old end and the first appended slot. Reads nothing.
// Throws FileError, naming packPath:
// "Data pack %s is damaged: slot %04X lies beyond its end" (an entry that
// reaches past the pack's last sector) and
// "Data pack %s cannot take the file of slot %04X: its sectors would not
// fit the directory's 32-bit numbers".
InsertPlan PlanInsert(const PackDirectory& old, std::uint64_t packLength, const SlotSizes& sizes,
                      const std::string& packPath);

// The whole 2048-byte sectors that hold `bytes` bytes.
std::uint64_t SectorsFor(std::uint64_t bytes);

} // namespace eit
