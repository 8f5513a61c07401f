#pragma once

#include "BatchState.h"
#include "ReplayPack.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace eit {

// A handler that takes every pack source of a replay in place of its
// format's replay handler; it has the shape and contract of ReplayPack.
using ReplayPackFn = std::function<std::int32_t(BatchState& state, BatchView& view, const ReadOnlyFile& source,
                                                const std::string& targetPath, std::int32_t lineIndex)>;

// Replays one result log or project list, fileName, line by line into
// state.ReplayLines. Recognises the records "#Format: ", "#Source: " and
// "#Target" by their first word (whole and case-sensitive), shortens such a
// line in memory to what follows its marker, keeps the last format in
// state.ReplayMode (and fileName in state.ReplayFile), and opens every
// existing source for reading until the end of its line. A source that
// follows a pack format's record goes to that format's replay handler (to
// packHandler when one is given) with TargetDir/name and the index of the
// next line. Sources that do not exist, and FIFOs, sockets and devices, are
// passed over. Reports every source it opens or passes over through
// view.ReportReplayStep. Counts every source handed to a pack handler in
// state.ReplayedPacks. A file that ends with no "#Format: " record having
// named a pack format adds NoPackRecordLine(fileName) to the results and
// fileName to state.FilesWithoutPacks, unless it was stopped. Shows "Processing <name>..." for the file
// and for each source, moves Total to the share of lines reached and
// Progress by one per line, and pumps events once per line. Stops before the
// next line once StopFlag is set. Never writes to the replayed file; a
// source changes only through the pack handler. Throws FileError "Cannot
// open file %s" when fileName cannot be read or an existing source cannot be
// opened for reading, and whatever the pack handler throws.
void ReplayLog(BatchState& state, BatchView& view, const std::string& fileName,
               const ReplayPackFn& packHandler = {});

// "<fileName>: no "#Format: BIN" record, nothing rebuilt".
std::string NoPackRecordLine(const std::string& fileName);

// Reads files, in order, as ReplayLog reads them and throws FileError "Pack
// %s is named twice in the replay (%s, %s); replay one log at a time" when
// two "#Source: " records that a replay would hand to a pack handler (an
// existing regular file after a pack format's record) name one file, by the
// same path or by two; the message names the pack as the first record does
// and the files holding the two records (one file twice when it holds both).
// A file that cannot be read is passed over: its replay reports it.
void CheckPacksNamedOnce(const std::vector<std::string>& files);

} // namespace eit
