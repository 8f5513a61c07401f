#pragma once

#include "BatchState.h"
#include "FileUtil.h"

#include <cstdint>
#include <optional>
#include <string>

namespace eit {

// The source file named by a "#Source: " record of a replayed list, open for
// reading while the replay handles that record's line. Closed by Close() or
// by the destructor; never written through.
class SourceStream {
public:
    // Opens the existing regular file path for reading and returns true.
    // Returns false, with the stream closed, when path names a FIFO, socket
    // or device: such a file is never opened. Throws FileError "Cannot open
    // file %s" (a folder, no such file, no permission); the stream then
    // stays closed.
    bool Open(const std::string& path);
    void Close() noexcept { FFile.reset(); }

    bool IsOpen() const { return FFile.has_value(); }
    // The open file; only while IsOpen().
    const ReadOnlyFile& File() const { return *FFile; }

private:
    std::optional<ReadOnlyFile> FFile;
};

// The data pack handler of the list replay: called for a "#Source: " record
// that follows a "#Format: BIN" record, while source holds that pack open for
// reading. targetPath is TargetDir, the separator and the pack's file name;
// lineIndex is the index in state.ReplayLines of the line after the
// "#Source: " record, the first of the pack's 8192 slot lines. Rebuilds the
// pack at targetPath with the files those lines name (InsertIntoPack: what
// it checks, writes and throws) and returns the index of the pack's last
// slot line, lineIndex + 8191 unless the section ends early: the replay
// goes on after it.
std::int32_t ReplayPack(BatchState& state, BatchView& view, const ReadOnlyFile& source, const std::string& targetPath,
                        std::int32_t lineIndex);

} // namespace eit
