#include "InsertPack.h"

#include "DataPack.h"

#include "FileError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <future>
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

// Two read buffers for one rebuild: its whole working memory. Left
// uninitialised, so that only the part small files use is ever touched.
struct Buffers {
    std::unique_ptr<char[]> A{new char[kBlock]};
    std::unique_ptr<char[]> B{new char[kBlock]};
};

// Whether file, padded with zeros, equals the length bytes at offset of pack.
template <class Pack>
bool EqualsPadded(const ReadOnlyFile& file, const Pack& pack, std::uint64_t offset, std::uint64_t length,
                  Buffers& buffers)
{
    // The file is read up to its size when opened: what it gains later
    // came after the comparison.
    const std::uint64_t size = file.Size();
    if (size > length)
        return false;
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kBlock));
        const std::size_t got = done < size ? file.ReadAt(done, buffers.A.get(), std::min<std::uint64_t>(want, size - done)) : 0;
        std::memset(buffers.A.get() + got, 0, want - got);
        if (pack.ReadAt(offset + done, buffers.B.get(), want) != want
            || std::memcmp(buffers.A.get(), buffers.B.get(), want) != 0)
            return false;
        done += want;
    }
    return true;
}

// Copies the whole old pack into the new one on a thread of its own. The
// new pack starts as that copy, and the copy is most of a rebuild's work:
// it goes on while the slots' files are compared, and the changed slots are
// written over the bytes it has passed.
class PackCopier {
public:
    PackCopier(const BatchState& state, const ReadOnlyFile& source, AtomicFile& out)
        : FState(state), FSource(source), FOut(out), FThread([this] { Run(); })
    {
    }
    ~PackCopier()
    {
        FCancel = true;
        FThread.join();
    }
    PackCopier(const PackCopier&) = delete;
    PackCopier& operator=(const PackCopier&) = delete;

    std::uint64_t Copied() const { return FCopied.load(); }

    // Waits a moment for the first `bytes` bytes to be copied; true once
    // they are or the copy has ended (stopped early, Copied() tells).
    // Throws what the copy threw.
    bool Wait(std::uint64_t bytes)
    {
        std::unique_lock lock(FMutex);
        const bool ready =
            FMoved.wait_for(lock, std::chrono::milliseconds(20), [&] { return FDone || FCopied.load() >= bytes; });
        if (FError)
            std::rethrow_exception(FError);
        return ready;
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
                std::lock_guard lock(FMutex);
                FCopied = done;
                FMoved.notify_one();
            }
        } catch (...) {
            std::lock_guard lock(FMutex);
            FError = std::current_exception();
        }
        std::lock_guard lock(FMutex);
        FDone = true;
        FMoved.notify_one();
    }

    const BatchState& FState;
    const ReadOnlyFile& FSource;
    AtomicFile& FOut;
    std::atomic<bool> FCancel{false};
    std::atomic<std::uint64_t> FCopied{0};
    std::mutex FMutex;
    std::condition_variable FMoved;
    std::exception_ptr FError;
    bool FDone = false;
    std::thread FThread; // last: it starts once everything above exists
};

// Writes the changed slots of the rebuilt pack and moves Progress by the
// bytes written, the copier's included.
class PackWriter {
public:
    PackWriter(const BatchState& state, BatchView& view, AtomicFile& out, PackCopier& copier, std::uint64_t total)
        : FState(state), FView(view), FOut(out), FCopier(copier), FTotal(total)
    {
    }

    // Waits, keeping the window alive, until the copy has passed `bytes`.
    // False when Stop was pressed.
    bool WaitForCopy(std::uint64_t bytes)
    {
        while (!FCopier.Wait(bytes)) {
            Show();
            if (FState.StopFlag.load())
                return false;
        }
        return FCopier.Copied() >= bytes;
    }

    bool WriteFile(const ReadOnlyFile& file, std::uint64_t offset, std::uint64_t fileBytes, std::uint64_t count,
                   Buffers& buffers)
    {
        for (std::uint64_t done = 0; done < count;) {
            if (FState.StopFlag.load())
                return false;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kBlock));
            const std::size_t got = done < fileBytes ? file.ReadAt(done, buffers.A.get(), std::min<std::uint64_t>(want, fileBytes - done)) : 0;
            std::memset(buffers.A.get() + got, 0, want - got);
            FOut.WriteAt(offset + done, buffers.A.get(), want);
            done += want;
            Advance(want);
        }
        return true;
    }

    bool WriteZeros(std::uint64_t offset, std::uint64_t count)
    {
        static const std::vector<char> zeros(kBlock);
        for (std::uint64_t done = 0; done < count;) {
            if (FState.StopFlag.load())
                return false;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kBlock));
            FOut.WriteAt(offset + done, zeros.data(), want);
            done += want;
            Advance(want);
        }
        return true;
    }

    void Advance(std::uint64_t bytes)
    {
        FWritten += bytes;
        Show();
    }

private:
    void Show()
    {
        const std::uint64_t written = FWritten + FCopier.Copied();
        const int percent = FTotal ? static_cast<int>(written * 100 / FTotal) : 100;
        if (percent != FView.ProgressPosition()) {
            FView.SetProgress(percent);
            FView.ProcessEvents();
        }
    }

    const BatchState& FState;
    BatchView& FView;
    AtomicFile& FOut;
    PackCopier& FCopier;
    const std::uint64_t FTotal;
    std::uint64_t FWritten = 0;
};

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The files a rebuild inserts, by slot, and the files found unchanged.
struct SlotFiles {
    struct ChangedFile {
        int Slot;
        std::string Path;
        // The file as it was compared, for the first KeptOpen() changed slots.
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

// Checks the pack's slot lines against its directory and returns how many
// there are: fewer than kPackSlots when the section ends early, at the end
// of the log or at a "#Format:" record, as the log of a stopped extraction
// does.
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

FileError NotHeld(const AtomicFile& out, const SlotFiles::ChangedFile& changed)
{
    return FileError("Rebuilt pack " + out.Path() + " does not hold file " + changed.Path + " at slot "
                     + SlotText(changed.Slot));
}

// Whether entry's bytes in out equal the file at path, padded, the file
// opened anew so that one replaced since it was compared shows. stamp, when
// given, gets the file's stamp from before the reading.
bool HoldsFile(const PackEntry& entry, const std::string& path, const AtomicFile& out, Buffers& buffers,
               FileStamp* stamp)
{
    const ReadOnlyFile file(path);
    if (stamp)
        *stamp = file.Stamp();
    return EqualsPadded(file, out, entry.Offset(), entry.Length(), buffers);
}

// Whether no two written pieces of plan share a byte, so that a slot read
// back right after its writing keeps those bytes to the end.
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

// Writes the planned pack into out, over the copy of the old pack that
// copier makes; false when Stop was pressed.
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

// The last look before the new pack is named: its directory as planned and
// each inserted slot holding its file as that file is now. Each slot was
// read back right after it was written; it is read again only when its
// file has changed since (or, were the plan at fault, when a later piece
// could have written over it).
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

// The original of a pack rebuilt in its own folder, kept as <pack>.bak: the
// first one holds the pack as it was before any rebuild. One made by this
// rebuild is removed again unless Keep() is called: until the new pack is
// named, the pack itself is the original. Should the pack be gone by then,
// the .bak stays, as the only original left.
class KeptOriginal {
public:
    explicit KeptOriginal(const std::string& packPath) : FPack(packPath), FPath(packPath + ".bak") {}
    ~KeptOriginal()
    {
        if (FMade && !FKept && KindOf(FPack) == FileKind::Regular)
            RemoveFile(FPath);
    }
    KeptOriginal(const KeptOriginal&) = delete;
    KeptOriginal& operator=(const KeptOriginal&) = delete;

    const std::string& Path() const { return FPath; }

    // Throws FileError unless the .bak is missing or a regular file.
    void CheckPlace() const
    {
        if (PathExists(FPath) && !IsPlainFile(FPath))
            throw FileError("Cannot keep the original of " + FPack + ": " + FPath + " is not a regular file");
    }

    // Makes the .bak from pack unless one is there: a second name of the
    // pack where the file system has them, otherwise a copy, given up when
    // Stop is pressed.
    void Make(const BatchState& state, const ReadOnlyFile& pack)
    {
        if (PathExists(FPath))
            return;
        if (LinkFile(FPack, FPath)) {
            FMade = true;
            return;
        }
        AtomicFile copy(FPath);
        copy.TakePermissionsOf(FPack);
        for (std::uint64_t done = 0; done < pack.Size(); done += kCopyChunk) {
            if (state.StopFlag.load())
                return;
            copy.CopyFrom(pack, done, std::min(pack.Size() - done, kCopyChunk));
        }
        copy.Sync();
        copy.Commit();
        FMade = true;
    }

    void Keep() { FKept = true; }

private:
    const std::string FPack;
    const std::string FPath;
    bool FMade = false;
    bool FKept = false;
};

// A pack path claimed in state.RebuiltPacks that is given up again unless
// Keep() is called, so that the claims name only the packs that were
// rebuilt.
class PackClaim {
public:
    PackClaim(BatchState& state, std::string path) : FState(state), FPath(std::move(path)) {}
    ~PackClaim()
    {
        if (!FKept && !FPath.empty())
            FState.RebuiltPacks.erase(FPath);
    }
    PackClaim(const PackClaim&) = delete;
    PackClaim& operator=(const PackClaim&) = delete;

    void Keep() { FKept = true; }

private:
    BatchState& FState;
    const std::string FPath;
    bool FKept = false;
};

// Runs work on a thread of its own while the window is kept alive. Throws
// what work threw.
void RunBeside(BatchView& view, const std::function<void()>& work)
{
    std::future<void> done = std::async(std::launch::async, work);
    do
        view.ProcessEvents();
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready);
    done.get();
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

std::int32_t InsertIntoPack(BatchState& state, BatchView& view, const ReadOnlyFile& source,
                            const std::string& targetPath, std::int32_t lineIndex)
{
    const std::string name = FileNamePart(targetPath);
    const PackDirectory directory = PackDirectory::Read(source);
    const int slots = CheckSlotLines(state, directory, source.Path(), lineIndex);
    const std::int32_t lastLine = lineIndex + slots - 1;

    // The copy of the old pack starts at once, unless nothing is to be
    // written, or the pack would be refused as a second one rebuilt at
    // targetPath, or the new pack cannot be created yet (the error then
    // comes where it would without the early start).
    const std::string targetKey = OutputPathKey(state, targetPath);
    const auto claimed = state.RebuiltPacks.find(targetKey);
    const bool clash = claimed != state.RebuiltPacks.end() && !SameFile(claimed->second, source.Path());
    std::optional<AtomicFile> out;
    if (!state.DryRun && !clash) {
        try {
            out.emplace(targetPath);
        } catch (const FileError&) {
        }
    }
    std::optional<PackCopier> copier;
    if (out)
        copier.emplace(state, source, *out);

    Buffers buffers;
    SlotFiles files;
    const bool compared = FindChangedFiles(state, view, source, directory, lineIndex, slots, files, buffers);
    if (!compared)
        return lastLine;
    if (files.Changed.empty()) {
        view.AppendResult(name + ": no file changed, pack left as it was");
        return lastLine;
    }
    const InsertPlan plan = PlanInsert(directory, source.Size(), files.Sizes, source.Path());
    const bool inPlace = SameFile(source.Path(), targetPath);
    KeptOriginal original(targetPath);
    if (inPlace)
        original.CheckPlace();
    PackClaim claim(state, claimed == state.RebuiltPacks.end() ? targetKey : std::string());
    if (clash)
        throw FileError("Packs " + claimed->second + " and " + source.Path() + " would be rebuilt as the same file "
                        + targetPath);
    state.RebuiltPacks.emplace(targetKey, source.Path());
    const std::string summary = name + ": " + Plural(plan.Inserted, "file", "files") + " inserted ("
        + std::to_string(plan.Moved) + " moved to the end), " + std::to_string(files.Kept) + " kept, pack "
        + GroupedNumber(source.Size()) + " -> " + GroupedNumber(plan.Length) + " bytes"
        + (inPlace ? ", original in " + FileNamePart(original.Path()) : "");
    if (state.DryRun) {
        claim.Keep();
        view.AppendResult(summary);
        return lastLine;
    }

    if (!out) {
        out.emplace(targetPath);
        copier.emplace(state, source, *out);
    }
    if (!WritePack(state, view, source, plan, files, *out, *copier, buffers)) {
        view.AppendResult(name + ": stopped, pack left as it was");
        return lastLine;
    }
    Verify(plan, files, *out, buffers);
    if (!out->TakePermissionsOf(targetPath))
        out->LimitPermissionsTo(source);
    // The original is kept and the new pack put on the disk before the pack
    // is replaced; both may take long, so the window goes on meanwhile.
    if (inPlace)
        RunBeside(view, [&] {
            original.Make(state, source);
            if (!state.StopFlag.load())
                out->Sync();
        });
    if (state.StopFlag.load()) {
        view.AppendResult(name + ": stopped, pack left as it was");
        return lastLine;
    }
    // Once the new pack has its name the original stays kept, also when
    // the name cannot be put on the disk.
    out->LeaveFolderUnsynced();
    out->Commit();
    original.Keep();
    claim.Keep();
    if (!SyncFolder(DirectoryPart(targetPath)))
        throw FileError::CannotCreate(targetPath);
    view.AppendResult(summary);
    return lastLine;
}

} // namespace eit
