#include "PackWriter.h"

#include "InsertVerify.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace eit {

PackWriter::PackWriter(const BatchState& state, BatchView& view, AtomicFile& out, PackCopier& copier,
                       std::uint64_t total)
    : FState(state), FView(view), FOut(out), FCopier(copier), FTotal(total)
{
}

bool PackWriter::WaitForCopy(std::uint64_t bytes)
{
    while (!FCopier.Wait(bytes)) {
        Show();
        if (FState.StopFlag.load())
            return false;
    }
    return FCopier.Copied() >= bytes;
}

bool PackWriter::WriteFile(const ReadOnlyFile& file, std::uint64_t offset, std::uint64_t fileBytes,
                           std::uint64_t count, Buffers& buffers)
{
    for (std::uint64_t done = 0; done < count;) {
        if (FState.StopFlag.load())
            return false;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kCopyBlock));
        const std::size_t got = done < fileBytes ? file.ReadAt(done, buffers.A.get(), std::min<std::uint64_t>(want, fileBytes - done)) : 0;
        std::memset(buffers.A.get() + got, 0, want - got);
        FOut.WriteAt(offset + done, buffers.A.get(), want);
        done += want;
        Advance(want);
    }
    return true;
}

bool PackWriter::WriteZeros(std::uint64_t offset, std::uint64_t count)
{
    static const std::vector<char> zeros(kCopyBlock);
    for (std::uint64_t done = 0; done < count;) {
        if (FState.StopFlag.load())
            return false;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kCopyBlock));
        FOut.WriteAt(offset + done, zeros.data(), want);
        done += want;
        Advance(want);
    }
    return true;
}

void PackWriter::Advance(std::uint64_t bytes)
{
    FWritten += bytes;
    Show();
}

void PackWriter::Show()
{
    const std::uint64_t written = FWritten + FCopier.Copied();
    MoveProgress(FView, FTotal ? static_cast<int>(written * 100 / FTotal) : 100);
}

bool WritePack(const BatchState& state, BatchView& view, const ReadOnlyFile& source, const InsertPlan& plan,
               SlotFiles& files, AtomicFile& out, PackCopier& copier, Buffers& buffers)
{
    const std::uint64_t length = source.Size();
    // The old pack's bytes are all in place once copied: only the other
    // pieces are written, those past the old end first, as they need not
    // wait for the copy.
    std::vector<const PackWrite*> pieces;
    std::uint64_t total = length + kPackDirectorySize;
    for (const PackWrite& piece : plan.Writes)
        if (piece.From != PackWrite::Source::Pack) {
            pieces.push_back(&piece);
            total += piece.Count;
        }
    std::stable_partition(pieces.begin(), pieces.end(), [&](const PackWrite* piece) { return piece->Offset >= length; });
    PackWriter writer(state, view, out, copier, total);
    for (const PackWrite* piece : pieces) {
        if (piece->Offset < length && !writer.WaitForCopy(std::min(piece->Offset + piece->Count, length)))
            return false;
        bool done = false;
        if (piece->From == PackWrite::Source::File) {
            // The verification opens the file anew, so a file replaced since
            // it was compared is caught there.
            SlotFiles::ChangedFile& changed = files.Of(piece->Slot);
            std::unique_ptr<ReadOnlyFile> file = std::move(changed.File);
            if (!file)
                file = std::make_unique<ReadOnlyFile>(changed.Path);
            done = writer.WriteFile(*file, piece->Offset, piece->FileBytes, piece->Count, buffers);
            // Read back while the copy goes on, not after it.
            if (done && !HoldsFile(plan.Directory.Entry(piece->Slot), changed.Path, out, buffers, &changed.Checked))
                throw NotHeld(out, changed);
        } else {
            done = writer.WriteZeros(piece->Offset, piece->Count);
        }
        if (!done)
            return false;
    }
    if (!writer.WaitForCopy(length))
        return false;
    const PackDirectory::Bytes directory = plan.Directory.Encode();
    out.WriteAt(0, directory.data(), directory.size());
    writer.Advance(directory.size());
    return true;
}

} // namespace eit
