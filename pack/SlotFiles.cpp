#include "SlotFiles.h"

#include "DataPack.h"
#include "FileError.h"

#include <string_view>

namespace eit {

namespace {

// Files found changed stay open until they are written, up to this many, so
// that a slot gets the bytes that were compared (its read-back then opens
// the file anew); far below the usual limit of 1024 open files per process.
constexpr int kKeptOpen = 512;

// kKeptOpen, or fewer where the process may open fewer files: the pack, the
// new pack, the log and the program's own files need room besides.
int KeptOpen()
{
    constexpr int kSpare = 64;
    return std::clamp(OpenFileLimit() - kSpare, 0, kKeptOpen);
}

} // namespace

int CheckSlotLines(const BatchState& state, const PackDirectory& directory, const std::string& pack,
                   std::int32_t lineIndex)
{
    const LineList& lines = state.ReplayLines;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const std::int64_t index = std::int64_t{lineIndex} + slot;
        if (index >= lines.Count())
            return slot;
        const std::string_view line = lines.Get(static_cast<std::int32_t>(index));
        const std::string_view word = FirstWord(line);
        if (word == LogMarkers[0])
            return slot;
        if (IsLogMarker(word) || (line == "NULL") != directory.Entry(slot).Empty())
            throw FileError("Result log " + state.ReplayFile + " does not match pack " + pack + " at slot "
                            + SlotText(slot));
    }
    return kPackSlots;
}

// Finds the slots among the first `slots` whose file differs from the
// slot's bytes. False when Stop was pressed meanwhile.
bool FindChangedFiles(const BatchState& state, BatchView& view, const ReadOnlyFile& source,
                      const PackDirectory& directory, std::int32_t lineIndex, int slots, SlotFiles& files,
                      Buffers& buffers)
{
    std::vector<std::string_view> paths;
    for (int slot = 0; slot < slots; ++slot)
        if (!directory.Entry(slot).Empty())
            paths.push_back(state.ReplayLines.Get(lineIndex + slot));
    // Most files are usually missing (only the edited ones are left): their
    // folders' listings say so at once.
    const std::vector<FileKind> kinds = KindsOf(paths);
    const int keep = KeptOpen();
    int open = 0;
    std::size_t next = 0;
    for (int slot = 0; slot < slots; ++slot) {
        if (state.StopFlag.load())
            return false;
        if (slot % (kPackSlots / 64) == 0)
            view.ProcessEvents();
        const PackEntry& entry = directory.Entry(slot);
        if (entry.Empty())
            continue;
        const std::string_view path = paths[next];
        // Only a file known to be gone keeps its slot: one the system will
        // not show may hold an edit, and the opening below refuses it.
        if (kinds[next++] == FileKind::Missing)
            continue;
        auto file = std::make_unique<ReadOnlyFile>(std::string(path));
        if (file->Size() == 0)
            throw FileError("Cannot insert empty file " + file->Path());
        if (SectorsFor(file->Size()) == entry.SectorCount
            && EqualsPadded(*file, source, entry.Offset(), entry.Length(), buffers)) {
            ++files.Kept;
            continue;
        }
        files.Sizes[static_cast<std::size_t>(slot)] = file->Size();
        files.Changed.push_back({slot, file->Path(), open++ < keep ? std::move(file) : nullptr, FileStamp{}});
    }
    return true;
}

} // namespace eit
