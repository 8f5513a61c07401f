#pragma once

#include "BatchState.h"
#include "FileUtil.h"
#include "InsertPlan.h"
#include "PackDirectory.h"

#include <cstdint>
#include <string>

namespace eit {

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
