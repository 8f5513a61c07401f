#pragma once

#include "BatchState.h"

#include <cstdint>
#include <string>

namespace eit {

// The source file named by a "#Source: " record of a replayed list, open for
// reading and writing while the replay handles that record's line. Closed by
// Close() or by the destructor; never truncated and never written by the
// replay itself.
class SourceStream {
public:
    SourceStream() = default;
    ~SourceStream() { Close(); }
    SourceStream(const SourceStream&) = delete;
    SourceStream& operator=(const SourceStream&) = delete;

    // Opens the existing file path for reading and writing, keeping its
    // content, and returns true. Returns false, with the stream closed, when
    // path names a FIFO, socket or device: such a file is never opened for
    // writing. Throws FileError "Cannot open file %s" (read-only file, a
    // directory, no such file); the stream then stays closed.
    bool Open(const std::string& path);
    void Close() noexcept;

    bool IsOpen() const { return FHandle >= 0; }
    int Handle() const { return FHandle; }
    const std::string& Path() const { return FPath; }

private:
    int FHandle = -1;
    std::string FPath;
};

// The data pack handler of the list replay: called for a "#Source: " record
// that follows a "#Format: BIN" record, while source holds that pack open for
// reading and writing. targetPath is TargetDir, the separator and the pack's
// file name; lineIndex is the index in state.ReplayLines of the line after
// the "#Source: " record. Returns the index of the last line it consumed: the
// replay goes on with the line after it. Re-inserting edited files into the
// pack belongs here; for now there is nothing to insert and it returns
// lineIndex, so the replay passes over that line.
std::int32_t ReplayPack(BatchState& state, SourceStream& source, const std::string& targetPath,
                        std::int32_t lineIndex);

} // namespace eit
