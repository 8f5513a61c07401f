#include "InsertVerify.h"

#include "DataPack.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace eit {

FileError NotHeld(const AtomicFile& out, const SlotFiles::ChangedFile& changed)
{
    return FileError("Rebuilt pack " + out.Path() + " does not hold file " + changed.Path + " at slot "
                     + SlotText(changed.Slot));
}

bool HoldsFile(const PackEntry& entry, const std::string& path, const AtomicFile& out, Buffers& buffers,
               FileStamp* stamp)
{
    const ReadOnlyFile file(path);
    if (stamp)
        *stamp = file.Stamp();
    return EqualsPadded(file, out, entry.Offset(), entry.Length(), buffers);
}

bool PiecesApart(const InsertPlan& plan)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const PackWrite& piece : plan.Writes)
        if (piece.From != PackWrite::Source::Pack)
            ranges.emplace_back(piece.Offset, piece.Offset + piece.Count);
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second)
            return false;
    return true;
}

void Verify(const InsertPlan& plan, const SlotFiles& files, const AtomicFile& out, Buffers& buffers)
{
    PackDirectory::Bytes bytes;
    const bool whole = out.ReadAt(0, bytes.data(), bytes.size()) == bytes.size();
    const PackDirectory written = PackDirectory::Decode(bytes);
    const bool apart = PiecesApart(plan);
    for (const SlotFiles::ChangedFile& changed : files.Changed) {
        const PackEntry& entry = written.Entry(changed.Slot);
        if (!whole || !(entry == plan.Directory.Entry(changed.Slot)))
            throw NotHeld(out, changed);
        FileStamp now;
        const bool same = apart && StampOf(changed.Path, now) && now == changed.Checked;
        if (!same && !HoldsFile(entry, changed.Path, out, buffers, nullptr))
            throw NotHeld(out, changed);
    }
}

} // namespace eit
