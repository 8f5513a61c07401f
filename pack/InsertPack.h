#pragma once

#include "BatchState.h"
#include "FileUtil.h"
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

// 536936448 -> "536,936,448".
std::string GroupedNumber(std::uint64_t value);

// Rebuilds the pack `source` at targetPath from the files that the slot
// lines state.ReplayLines[lineIndex..lineIndex+8191] name, appends one line
// about it to the view's results and returns the index of the last slot
// line. The lines may end early, at the end of the log or at a "#Format:"
// record, as the log of a stopped extraction does: the slots without a line
// keep their data, and the index returned is that of the last line there is
// (lineIndex - 1 when there is none).
//
// Before anything is written, every slot line is checked against the pack:
// a line is "NULL" exactly for an empty slot, and no slot line is a record
// of the log. A non-empty slot whose file is missing keeps its data; so
// does one whose file, padded with zeros to whole sectors, equals the
// slot's bytes ("kept" in the results line counts those files). Every other
// slot's file is inserted as PlanInsert places it.
//
// The new pack is written to an unnamed file in targetPath's folder, read
// back and compared with the files, and only then named targetPath, with
// the permissions of the file it replaces (where none stood, those of a new
// file less what the source denies to others). When targetPath is the
// source itself, the original is first kept as targetPath + ".bak" unless a
// regular file stands there already (the results line then ends ",
// original in <pack name>.bak"); the source is then replaced in one step.
// A .bak this rebuild made is removed when it fails or stops. Without a
// changed slot nothing is written. With state.DryRun the results line is the
// same and nothing is written. StopFlag is observed between slots, between
// copied chunks and last before the pack is named: a stopped rebuild leaves
// nothing behind. Progress follows the bytes written; the window is kept
// alive while the original is kept and the new pack flushed.
// state.RebuiltPacks gains targetPath once the pack is named (in a dry run,
// once it would be).
//
// Throws FileError, nothing written: "Result log %s does not match pack %s
// at slot %04X", "Cannot insert empty file %s", "Cannot open file %s" (a
// slot's file that is a folder, cannot be read, or cannot be looked at),
// "Data pack %s is shorter than its 65536-byte directory", the errors of
// PlanInsert, "Cannot keep the original of %s: %s.bak is not a regular
// file" (a folder, link, device... in the place of the .bak), "Packs %s and
// %s would be rebuilt as the same file %s" (a second pack of the batch
// rebuilt at a targetPath of the same OutputPathKey), "Rebuilt pack %s does not hold file %s
// at slot %04X" (a file changed while it was inserted), and the errors of
// writing targetPath and its .bak.
std::int32_t InsertIntoPack(BatchState& state, BatchView& view, const ReadOnlyFile& source,
                            const std::string& targetPath, std::int32_t lineIndex);

} // namespace eit
