#include "InsertPack.h"

#include "DataPack.h"

#include "FileError.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>

namespace eit {

namespace {

constexpr std::uint64_t kMaxSector = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kBlock = std::size_t{1} << 18;
// Unchanged ranges are copied in the kernel in chunks of this size, so Stop
// and the window are looked at several times a second.
constexpr std::uint64_t kCopyChunk = std::uint64_t{8} << 20;
// Files found changed stay open until they are written, up to this many, so
// that they are not opened twice; far below the usual limit of 1024 open
// files per process.
constexpr int kKeptOpen = 512;

std::uint64_t SectorsFor(std::uint64_t bytes)
{
    return (bytes + kPackSectorSize - 1) / kPackSectorSize;
}

FileError TooLarge(const std::string& pack, int slot)
{
    return FileError("Data pack " + pack + " cannot take the file of slot " + SlotText(slot)
                     + ": its sectors would not fit the directory's 32-bit numbers");
}

// Marks the slots whose sector range overlaps that of another slot.
std::array<bool, kPackSlots> SharedSlots(const PackDirectory& directory)
{
    std::vector<int> order;
    for (int slot = 0; slot < kPackSlots; ++slot)
        if (!directory.Entry(slot).Empty())
            order.push_back(slot);
    auto start = [&](int slot) { return std::uint64_t{directory.Entry(slot).StartSector}; };
    auto end = [&](int slot) { return start(slot) + directory.Entry(slot).SectorCount; };
    std::sort(order.begin(), order.end(), [&](int a, int b) { return start(a) < start(b); });
    std::array<bool, kPackSlots> shared{};
    for (std::size_t i = 0; i < order.size(); ++i)
        for (std::size_t j = i + 1; j < order.size() && start(order[j]) < end(order[i]); ++j)
            shared[static_cast<std::size_t>(order[i])] = shared[static_cast<std::size_t>(order[j])] = true;
    return shared;
}

// Appends the old pack's bytes of [from, to) to the plan: its own bytes up
// to its old length, zeros after that.
void AddGap(InsertPlan& plan, std::uint64_t from, std::uint64_t to, std::uint64_t packLength)
{
    if (from < std::min(to, packLength))
        plan.Writes.push_back({PackWrite::Source::Pack, from, std::min(to, packLength) - from, from, -1, 0});
    from = std::max(from, packLength);
    if (from < to)
        plan.Writes.push_back({PackWrite::Source::Zero, from, to - from, 0, -1, 0});
}

bool IsLogRecord(const std::string& line)
{
    const std::size_t start = line.find_first_not_of(" \t\v\f");
    if (start == std::string::npos)
        return false;
    const std::size_t stop = line.find_first_of(" \t\v\f", start);
    const std::string_view word = std::string_view(line).substr(start, stop - start); // npos - start: to the end
    return std::any_of(LogMarkers.begin(), LogMarkers.end(), [&](const char* marker) { return word == marker; });
}

// Two read buffers for one rebuild: its whole working memory.
struct Buffers {
    std::vector<char> A = std::vector<char>(kBlock);
    std::vector<char> B = std::vector<char>(kBlock);
};

// Whether file, padded with zeros, equals the length bytes at offset of pack.
template <class Pack>
bool EqualsPadded(const ReadOnlyFile& file, const Pack& pack, std::uint64_t offset, std::uint64_t length,
                  Buffers& buffers)
{
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kBlock));
        const std::size_t got = file.ReadAt(done, buffers.A.data(), want);
        std::fill(buffers.A.begin() + static_cast<std::ptrdiff_t>(got), buffers.A.begin() + static_cast<std::ptrdiff_t>(want), 0);
        if (pack.ReadAt(offset + done, buffers.B.data(), want) != want
            || std::memcmp(buffers.A.data(), buffers.B.data(), want) != 0)
            return false;
        done += want;
    }
    char beyond;
    return file.ReadAt(length, &beyond, 1) == 0;
}

// Writes the rebuilt pack and moves Progress by the bytes written.
class PackWriter {
public:
    PackWriter(const BatchState& state, BatchView& view, AtomicFile& out, std::uint64_t total)
        : FState(state), FView(view), FOut(out), FTotal(total)
    {
    }

    // False when Stop was pressed before the bytes were all written.
    bool Copy(const ReadOnlyFile& pack, std::uint64_t offset, std::uint64_t count)
    {
        for (std::uint64_t done = 0; done < count;) {
            if (FState.StopFlag.load())
                return false;
            const std::uint64_t chunk = std::min(count - done, kCopyChunk);
            FOut.CopyFrom(pack, offset + done, chunk);
            done += chunk;
            Advance(chunk);
        }
        return true;
    }

    bool WriteFile(const ReadOnlyFile& file, std::uint64_t fileBytes, std::uint64_t count, Buffers& buffers)
    {
        for (std::uint64_t done = 0; done < count;) {
            if (FState.StopFlag.load())
                return false;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kBlock));
            std::size_t got = done < fileBytes ? file.ReadAt(done, buffers.A.data(), std::min<std::uint64_t>(want, fileBytes - done)) : 0;
            std::fill(buffers.A.begin() + static_cast<std::ptrdiff_t>(got), buffers.A.begin() + static_cast<std::ptrdiff_t>(want), 0);
            FOut.Write(buffers.A.data(), want);
            done += want;
            Advance(want);
        }
        return true;
    }

    bool WriteZeros(std::uint64_t count)
    {
        static const std::vector<char> zeros(kBlock);
        for (std::uint64_t done = 0; done < count;) {
            if (FState.StopFlag.load())
                return false;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kBlock));
            FOut.Write(zeros.data(), want);
            done += want;
            Advance(want);
        }
        return true;
    }

    void Advance(std::uint64_t bytes)
    {
        FWritten += bytes;
        const int percent = FTotal ? static_cast<int>(FWritten * 100 / FTotal) : 100;
        if (percent != FView.ProgressPosition()) {
            FView.SetProgress(percent);
            FView.ProcessEvents();
        }
    }

private:
    const BatchState& FState;
    BatchView& FView;
    AtomicFile& FOut;
    const std::uint64_t FTotal;
    std::uint64_t FWritten = 0;
};

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The files a rebuild inserts, by slot, and the files found unchanged.
struct SlotFiles {
    std::array<std::string, kPackSlots> Paths;
    SlotSizes Sizes{};
    // The file as it was compared, for the first kKeptOpen changed slots.
    std::array<std::unique_ptr<ReadOnlyFile>, kPackSlots> Open;
    int Kept = 0;
};

void CheckSlotLines(const BatchState& state, const PackDirectory& directory, const std::string& pack,
                    std::int32_t lineIndex)
{
    const LineList& lines = state.ReplayLines;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const std::int64_t index = std::int64_t{lineIndex} + slot;
        const bool fits = index < lines.Count() && !IsLogRecord(lines.Get(static_cast<std::int32_t>(index)));
        if (!fits || (lines.Get(static_cast<std::int32_t>(index)) == "NULL") != directory.Entry(slot).Empty())
            throw FileError("Result log " + state.ReplayFile + " does not match pack " + pack + " at slot "
                            + SlotText(slot));
    }
}

// Finds the slots whose file differs from the slot's bytes. nullopt when
// Stop was pressed meanwhile.
std::optional<SlotFiles> FindChangedFiles(const BatchState& state, BatchView& view, const ReadOnlyFile& source,
                                          const PackDirectory& directory, std::int32_t lineIndex, Buffers& buffers)
{
    SlotFiles files;
    int open = 0;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        if (state.StopFlag.load())
            return std::nullopt;
        if (slot % (kPackSlots / 64) == 0)
            view.ProcessEvents();
        const PackEntry& entry = directory.Entry(slot);
        if (entry.Empty())
            continue;
        const std::string& path = state.ReplayLines.Get(lineIndex + slot);
        if (KindOf(path) == FileKind::Missing)
            continue;
        auto file = std::make_unique<ReadOnlyFile>(path);
        if (file->Size() == 0)
            throw FileError("Cannot insert empty file " + path);
        if (SectorsFor(file->Size()) == entry.SectorCount
            && EqualsPadded(*file, source, entry.Offset(), entry.Length(), buffers)) {
            ++files.Kept;
            continue;
        }
        const std::size_t s = static_cast<std::size_t>(slot);
        files.Paths[s] = path;
        files.Sizes[s] = file->Size();
        if (open++ < kKeptOpen)
            files.Open[s] = std::move(file);
    }
    return files;
}

// Writes the planned pack into out; false when Stop was pressed.
bool WritePack(const BatchState& state, BatchView& view, const ReadOnlyFile& source, const InsertPlan& plan,
               SlotFiles& files, AtomicFile& out, Buffers& buffers)
{
    PackWriter writer(state, view, out, plan.Length);
    const PackDirectory::Bytes directory = plan.Directory.Encode();
    out.Write(directory.data(), directory.size());
    writer.Advance(directory.size());
    for (const PackWrite& piece : plan.Writes) {
        bool done = false;
        switch (piece.From) {
        case PackWrite::Source::Pack:
            done = writer.Copy(source, piece.PackOffset, piece.Count);
            break;
        case PackWrite::Source::File: {
            // The verification opens the file anew, so a file replaced since
            // it was compared is caught there.
            std::unique_ptr<ReadOnlyFile> file = std::move(files.Open[static_cast<std::size_t>(piece.Slot)]);
            if (!file)
                file = std::make_unique<ReadOnlyFile>(files.Paths[static_cast<std::size_t>(piece.Slot)]);
            done = writer.WriteFile(*file, piece.FileBytes, piece.Count, buffers);
            break;
        }
        case PackWrite::Source::Zero:
            done = writer.WriteZeros(piece.Count);
            break;
        }
        if (!done)
            return false;
    }
    return true;
}

// Reads the new pack back: its directory as planned, each inserted slot
// holding its file as that file is now.
void Verify(const InsertPlan& plan, const SlotFiles& files, const AtomicFile& out, Buffers& buffers)
{
    PackDirectory::Bytes bytes;
    const bool whole = out.ReadAt(0, bytes.data(), bytes.size()) == bytes.size();
    const PackDirectory written = PackDirectory::Decode(bytes);
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const std::string& path = files.Paths[static_cast<std::size_t>(slot)];
        if (path.empty())
            continue;
        const PackEntry& entry = written.Entry(slot);
        if (!whole || !(entry == plan.Directory.Entry(slot))
            || !EqualsPadded(ReadOnlyFile(path), out, entry.Offset(), entry.Length(), buffers))
            throw FileError("Rebuilt pack " + out.Path() + " does not hold file " + path + " at slot "
                            + SlotText(slot));
    }
}

// Keeps the pack at path as path.bak unless a .bak is there already: the
// first one holds the pack as it was before any rebuild.
void KeepFirstBackup(const ReadOnlyFile& pack, const std::string& path)
{
    const std::string backup = path + ".bak";
    if (PathExists(backup) || LinkFile(path, backup))
        return;
    AtomicFile copy(backup);
    copy.CopyFrom(pack, 0, pack.Size());
    copy.Sync();
    copy.Commit();
}

} // namespace

InsertPlan PlanInsert(const PackDirectory& old, std::uint64_t packLength, const SlotSizes& sizes,
                      const std::string& packPath)
{
    const std::uint64_t dataEnd = std::max(SectorsFor(packLength) * kPackSectorSize, kPackDirectorySize);
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const PackEntry& entry = old.Entry(slot);
        if (!entry.Empty() && entry.Offset() + entry.Length() > dataEnd)
            throw FileError("Data pack " + packPath + " is damaged: slot " + SlotText(slot) + " lies beyond its end");
    }
    const std::array<bool, kPackSlots> shared = SharedSlots(old);

    InsertPlan plan;
    plan.Directory = old;
    std::vector<PackWrite> placed;
    std::uint64_t end = dataEnd;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const std::size_t s = static_cast<std::size_t>(slot);
        const PackEntry& entry = old.Entry(slot);
        if (entry.Empty() || sizes[s] == 0)
            continue;
        const std::uint64_t sectors = SectorsFor(sizes[s]);
        const std::uint64_t bytes = sectors * kPackSectorSize;
        PackEntry now = entry;
        PackWrite piece{PackWrite::Source::File, entry.Offset(), bytes, 0, slot, sizes[s]};
        if (!shared[s] && sectors <= entry.SectorCount) {
            piece.Count = entry.Length(); // the sectors it gives up become zeros
        } else if (!shared[s] && entry.Offset() + entry.Length() == end) {
            end = entry.Offset() + bytes;
        } else {
            const std::uint64_t start = (end - kPackDirectorySize) / kPackSectorSize;
            if (start > kMaxSector)
                throw TooLarge(packPath, slot);
            now.StartSector = static_cast<std::uint32_t>(start);
            piece.Offset = end;
            end += bytes;
            ++plan.Moved;
        }
        if (sectors > kMaxSector)
            throw TooLarge(packPath, slot);
        now.SectorCount = static_cast<std::uint32_t>(sectors);
        plan.Directory.SetEntry(slot, now);
        placed.push_back(piece);
        ++plan.Inserted;
    }
    plan.Length = std::max(packLength, end);

    std::sort(placed.begin(), placed.end(), [](const PackWrite& a, const PackWrite& b) { return a.Offset < b.Offset; });
    std::uint64_t at = kPackDirectorySize;
    for (const PackWrite& piece : placed) {
        AddGap(plan, at, piece.Offset, packLength);
        plan.Writes.push_back(piece);
        at = piece.Offset + piece.Count;
    }
    AddGap(plan, at, plan.Length, packLength);
    return plan;
}

std::string GroupedNumber(std::uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

void InsertIntoPack(BatchState& state, BatchView& view, const ReadOnlyFile& source, const std::string& targetPath,
                    std::int32_t lineIndex)
{
    const std::string name = FileNamePart(targetPath);
    const PackDirectory directory = PackDirectory::Read(source);
    CheckSlotLines(state, directory, source.Path(), lineIndex);

    Buffers buffers;
    std::optional<SlotFiles> files = FindChangedFiles(state, view, source, directory, lineIndex, buffers);
    if (!files)
        return;
    const bool changed = std::any_of(files->Sizes.begin(), files->Sizes.end(), [](std::uint64_t size) { return size != 0; });
    if (!changed) {
        view.AppendResult(name + ": no file changed, pack left as it was");
        return;
    }
    const InsertPlan plan = PlanInsert(directory, source.Size(), files->Sizes, source.Path());
    const auto [first, isNew] = state.RebuiltPacks.emplace(targetPath, source.Path());
    if (!isNew && !SameFile(first->second, source.Path()))
        throw FileError("Packs " + first->second + " and " + source.Path() + " would be rebuilt as the same file "
                        + targetPath);
    const std::string summary = name + ": " + Plural(plan.Inserted, "file", "files") + " inserted ("
        + std::to_string(plan.Moved) + " moved to the end), " + std::to_string(files->Kept) + " kept, pack "
        + GroupedNumber(source.Size()) + " -> " + GroupedNumber(plan.Length) + " bytes";
    if (state.DryRun) {
        view.AppendResult(summary);
        return;
    }

    AtomicFile out(targetPath);
    if (!WritePack(state, view, source, plan, *files, out, buffers)) {
        view.AppendResult(name + ": stopped, pack left as it was");
        return;
    }
    Verify(plan, *files, out, buffers);
    if (SameFile(source.Path(), targetPath)) {
        KeepFirstBackup(source, targetPath);
        out.Sync();
    }
    out.Commit();
    view.AppendResult(summary);
}

} // namespace eit
