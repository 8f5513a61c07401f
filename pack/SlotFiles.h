#pragma once

#include "BatchState.h"
#include "Env.h"
#include "InsertPlan.h"
#include "PackCopier.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace eit {

// The files a rebuild inserts, by slot, and the files found unchanged.
struct SlotFiles {
    struct ChangedFile {
        int Slot;
        std::string Path;
        // The file as it was compared, for as many changed slots as the
        // process may keep open; null for the others.
        std::unique_ptr<ReadOnlyFile> File;
        // The file as it was when its slot was read back.
        FileStamp Checked;
    };
    std::vector<ChangedFile> Changed; // in slot order
    SlotSizes Sizes{};
    int Kept = 0;

    ChangedFile& Of(int slot)
    {
        return *std::lower_bound(Changed.begin(), Changed.end(), slot,
                                 [](const ChangedFile& file, int s) { return file.Slot < s; });
    }
};

// Checks the pack's slot lines in state.ReplayLines from lineIndex against
// its directory and returns how many there are: fewer than kPackSlots when
// the section ends early, at the end of the log or at a "#Format:" record,
// as the log of a stopped extraction does. Throws FileError "Result log %s
// does not match pack %s at slot %04X" for a line that is "NULL" where the
// slot is not empty or the other way round, or that is a record of the log.
int CheckSlotLines(const BatchState& state, const PackDirectory& directory, const std::string& pack,
                   std::int32_t lineIndex);

// Fills files with the slots among the first `slots` whose file differs
// from the slot's bytes in source (a missing file keeps its slot; so does
// one equal to the slot's bytes, counted in files.Kept). False when Stop
// was pressed meanwhile. Keeps the window alive. Throws FileError "Cannot
// insert empty file %s" and "Cannot open file %s".
bool FindChangedFiles(const BatchState& state, BatchView& view, const ReadOnlyFile& source,
                      const PackDirectory& directory, std::int32_t lineIndex, int slots, SlotFiles& files,
                      Buffers& buffers);

} // namespace eit
