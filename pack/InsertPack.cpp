#include "InsertPack.h"

#include "DataPack.h"

#include "FileError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

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
        Show(0);
    }

    // Shows the bytes written so far and `more` written elsewhere.
    void Show(std::uint64_t more)
    {
        const int percent = FTotal ? static_cast<int>((FWritten + more) * 100 / FTotal) : 100;
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

// Copies the whole old pack into the new one on a thread of its own. The
// new pack starts as that copy, and the copy is most of a rebuild's work:
// it goes on while the slots' files are compared, and the changed slots are
// written over it afterwards.
class PackCopier {
public:
    PackCopier(const BatchState& state, const ReadOnlyFile& source, AtomicFile& out)
        : FState(state), FSource(source), FOut(out), FThread([this] { Run(); })
    {
    }
    ~PackCopier() { Cancel(); }
    PackCopier(const PackCopier&) = delete;
    PackCopier& operator=(const PackCopier&) = delete;

    // Ends the copy after the chunk under way.
    void Cancel()
    {
        FCancel = true;
        if (FThread.joinable())
            FThread.join();
    }

    std::uint64_t Copied() const { return FCopied.load(); }

    // Waits a moment for the copy to end; true when it has ended, complete
    // or stopped. Throws what the copy threw.
    bool Wait()
    {
        {
            std::unique_lock lock(FMutex);
            if (!FEnded.wait_for(lock, std::chrono::milliseconds(20), [this] { return FDone; }))
                return false;
        }
        if (FThread.joinable())
            FThread.join();
        if (FError)
            std::rethrow_exception(FError);
        return true;
    }

private:
    void Run()
    {
        try {
            const std::uint64_t size = FSource.Size();
            // Stop is looked at between chunks, as it is between slots.
            for (std::uint64_t done = 0; done < size && !FCancel && !FState.StopFlag.load();) {
                const std::uint64_t chunk = std::min(size - done, kCopyChunk);
                FOut.CopyFrom(FSource, done, chunk);
                done += chunk;
                FCopied += chunk;
            }
        } catch (...) {
            FError = std::current_exception();
        }
        std::lock_guard lock(FMutex);
        FDone = true;
        FEnded.notify_one();
    }

    const BatchState& FState;
    const ReadOnlyFile& FSource;
    AtomicFile& FOut;
    std::atomic<bool> FCancel{false};
    std::atomic<std::uint64_t> FCopied{0};
    std::exception_ptr FError;
    std::mutex FMutex;
    std::condition_variable FEnded;
    bool FDone = false;
    std::thread FThread; // last: it starts once everything above exists
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
    std::vector<std::string> paths;
    for (int slot = 0; slot < kPackSlots; ++slot)
        if (!directory.Entry(slot).Empty())
            paths.push_back(state.ReplayLines.Get(lineIndex + slot));
    // Most files are usually missing (only the edited ones are left): their
    // folders' listings say so at once.
    const std::vector<FileKind> kinds = KindsOf(paths);
    SlotFiles files;
    int open = 0;
    std::size_t next = 0;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        if (state.StopFlag.load())
            return std::nullopt;
        if (slot % (kPackSlots / 64) == 0)
            view.ProcessEvents();
        const PackEntry& entry = directory.Entry(slot);
        if (entry.Empty())
            continue;
        const std::string& path = paths[next];
        if (kinds[next++] == FileKind::Missing)
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

// Writes the planned pack into out, over the copy of the old pack that
// copier makes; false when Stop was pressed.
bool WritePack(const BatchState& state, BatchView& view, const ReadOnlyFile& source, const InsertPlan& plan,
               SlotFiles& files, AtomicFile& out, PackCopier& copier, Buffers& buffers)
{
    std::uint64_t total = source.Size() + kPackDirectorySize;
    for (const PackWrite& piece : plan.Writes)
        if (piece.From != PackWrite::Source::Pack)
            total += piece.Count;
    PackWriter writer(state, view, out, total);
    while (!copier.Wait()) {
        writer.Show(copier.Copied());
        if (state.StopFlag.load())
            return false;
    }
    if (copier.Copied() < source.Size())
        return false; // stopped
    writer.Advance(source.Size());
    std::uint64_t at = source.Size();
    for (const PackWrite& piece : plan.Writes) {
        // The old pack's bytes are all in place: only the rest is written.
        if (piece.From == PackWrite::Source::Pack)
            continue;
        if (piece.Offset != at)
            out.Seek(piece.Offset);
        bool done = false;
        if (piece.From == PackWrite::Source::File) {
            // The verification opens the file anew, so a file replaced since
            // it was compared is caught there.
            std::unique_ptr<ReadOnlyFile> file = std::move(files.Open[static_cast<std::size_t>(piece.Slot)]);
            if (!file)
                file = std::make_unique<ReadOnlyFile>(files.Paths[static_cast<std::size_t>(piece.Slot)]);
            done = writer.WriteFile(*file, piece.FileBytes, piece.Count, buffers);
        } else {
            done = writer.WriteZeros(piece.Count);
        }
        if (!done)
            return false;
        at = piece.Offset + piece.Count;
    }
    const PackDirectory::Bytes directory = plan.Directory.Encode();
    out.Seek(0);
    out.Write(directory.data(), directory.size());
    writer.Advance(directory.size());
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

    // The copy of the old pack starts at once, unless nothing is to be
    // written, or the pack would be refused as a second one rebuilt at
    // targetPath, or the new pack cannot be created yet (the error then
    // comes where it would without the early start).
    const auto claimed = state.RebuiltPacks.find(targetPath);
    std::optional<AtomicFile> out;
    if (!state.DryRun && (claimed == state.RebuiltPacks.end() || SameFile(claimed->second, source.Path()))) {
        try {
            out.emplace(targetPath);
        } catch (const FileError&) {
        }
    }
    std::optional<PackCopier> copier;
    if (out)
        copier.emplace(state, source, *out);

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

    if (!out) {
        out.emplace(targetPath);
        copier.emplace(state, source, *out);
    }
    if (!WritePack(state, view, source, plan, *files, *out, *copier, buffers)) {
        view.AppendResult(name + ": stopped, pack left as it was");
        return;
    }
    Verify(plan, *files, *out, buffers);
    if (SameFile(source.Path(), targetPath)) {
        KeepFirstBackup(source, targetPath);
        out->Sync();
    }
    out->Commit();
    view.AppendResult(summary);
}

} // namespace eit
