#include "DataPack.h"

#include "BackgroundCommitter.h"
#include "CopySizes.h"
#include "ExtensionList.h"
#include "FileError.h"
#include "FileUtil.h"
#include "LineList.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace eit {

std::string PackBaseName(const std::string& p)
{
    const std::string name = FileNamePart(p);
    return name.substr(0, name.find('.'));
}

namespace {

std::string HexNumber(int value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

bool HasParentStep(std::string_view relative)
{
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t stop = relative.find(kPathSep, start);
        if (stop == std::string_view::npos)
            stop = relative.size();
        if (relative.substr(start, stop - start) == "..")
            return true;
        start = stop + 1;
    }
    return false;
}

// The Progress bar of one pack: the share of the pack's entry bytes copied
// so far, or of its slots passed when its entries hold no bytes. Sets the
// bar and the Extracted caption and pumps events only when the position
// changes.
class PackProgress {
public:
    PackProgress(BatchState& state, BatchView& view, std::uint64_t totalBytes)
        : FState(state), FView(view), FTotal(totalBytes)
    {
    }

    // Shows the position while the current entry is copied, with
    // entryBytes of it done. False once Stop was requested (possibly from
    // inside the pump this call ran).
    bool Copying(std::uint64_t entryBytes)
    {
        if (FTotal > 0)
            Show(BytePosition(FDone + entryBytes));
        return FState.StopFlag.load() == 0;
    }

    // Shows the position after slot, whose entry held `bytes`.
    void SlotDone(int slot, std::uint64_t bytes)
    {
        FDone += bytes;
        Show(FTotal > 0 ? BytePosition(FDone) : slot * 100 / kPackSlots);
    }

private:
    void Show(int position)
    {
        MoveProgress(FView, position,
                     [&] { FView.SetExtracted("Extracted: " + std::to_string(FState.ExtractedFiles)); });
    }

    // The bar stops at 99 within a pack, as the slot count does.
    int BytePosition(std::uint64_t done) const
    {
        return static_cast<int>(std::min<std::uint64_t>(99, done * 100 / FTotal));
    }

    BatchState& FState;
    BatchView& FView;
    const std::uint64_t FTotal;
    std::uint64_t FDone = 0;
};

// The extension list at listPath, with the lines a pack of `used` non-empty
// slots will use checked before anything is written.
LineList LoadExtensions(const std::string& listPath, int used)
{
    LineList extensions = LoadExtensionList(listPath);
    const int count = std::min(used, extensions.Count());
    for (int line = 0; line < count; ++line) {
        const std::string_view ext = extensions.Get(line);
        if (!IsFileExtension(ext))
            throw FileError("Extension list " + listPath + " line " + std::to_string(line + 1) + ": \""
                                + std::string(ext) + "\" cannot be a file extension",
                            FileErrorKind::BadContent, listPath);
    }
    return extensions;
}

// Names the non-empty slots of one pack, in slot order, each with the next
// line of the extension list.
class SlotNames {
public:
    SlotNames(const std::string& p, const LineList& extensions, const std::string& listPath, int used)
        : FPackPath(p), FExtensions(extensions), FListPath(listPath), FUsed(used)
    {
    }

    // Throws ExtensionListTooShort's FileError when the list has no line
    // left for slot.
    std::string Next(int slot)
    {
        if (FNextLine >= FExtensions.Count())
            throw ExtensionListTooShort(FListPath, FExtensions.Count(), FPackPath, FUsed);
        return OutputName(FPackPath, slot, FExtensions.Get(FNextLine++));
    }

private:
    const std::string& FPackPath;
    const LineList& FExtensions;
    const std::string& FListPath;
    const int FUsed;
    int FNextLine = 0;
};

// Writes the entries of one pack to their output files.
class SlotWriter {
public:
    SlotWriter(const BatchState& state, const ReadOnlyFile& pack) : FState(state), FPack(pack) {}

    // Copies entry to the output file of relative name `name` and returns
    // that file's path; the file gets its name in the background. Reports
    // each copied chunk to progress; when that asks to stop before the
    // entry is complete, the file is discarded and nullopt returned.
    std::optional<std::string> Write(const std::string& name, const PackEntry& entry, PackProgress& progress)
    {
        std::string path = OutputPathFor(FState, FPack.Path(), name);
        // Slots of one extension share a folder: create it once per run of them.
        if (std::string dir = DirectoryPart(path); dir != FLastDir) {
            CreateOutputFolders(FState, path);
            FLastDir = std::move(dir);
        }
        AtomicFile out(path);
        out.LeaveFolderUnsynced();
        if (!entry.FitsIn(FPack.Size()))
            throw FileError::StreamRead(FPack.Path());
        for (std::uint64_t done = 0; done < entry.Length();) {
            const std::uint64_t chunk = std::min(kCopyChunk, entry.Length() - done);
            out.CopyFrom(FPack, entry.Offset() + done, chunk);
            done += chunk;
            if (done < entry.Length() && !progress.Copying(done))
                return std::nullopt;
        }
        FCommitter.Push(std::move(out));
        NoteFolder(path);
        return path;
    }

    BackgroundCommitter& Committer() { return FCommitter; }

    // Puts the names of the files named so far on the disk, one flush per
    // folder. Throws FileError "Cannot create file %s" with the last file
    // of a folder that cannot be flushed.
    void SyncFolders()
    {
        for (const auto& [folder, lastFile] : FFolders)
            if (!SyncFolder(folder))
                throw FileError::CannotCreate(lastFile);
    }

private:
    const BatchState& FState;
    const ReadOnlyFile& FPack;
    void NoteFolder(const std::string& path)
    {
        std::string folder = DirectoryPart(path);
        const auto known = std::find_if(FFolders.begin(), FFolders.end(),
                                        [&](const auto& entry) { return entry.first == folder; });
        if (known == FFolders.end())
            FFolders.emplace_back(std::move(folder), path);
        else
            known->second = path;
    }

    std::string FLastDir;
    // Each output folder with the last file given a name in it.
    std::vector<std::pair<std::string, std::string>> FFolders;
    BackgroundCommitter FCommitter;
};

// Copies every non-empty slot of pack to its own file and logs every slot,
// until the pack ends or Stop is pressed.
void CopySlots(const ReadOnlyFile& pack, const PackDirectory& directory, SlotNames& names, BatchState& state,
               BatchView& view)
{
    PackProgress progress(state, view, directory.DataBytes());
    SlotWriter writer(state, pack);
    BackgroundCommitter& committer = writer.Committer();
    try {
        for (int slot = 0; slot < kPackSlots; ++slot) {
            committer.Check();
            if (state.StopFlag.load())
                break;
            const PackEntry& entry = directory.Entry(slot);
            if (entry.Empty()) {
                state.ResultLog.Add("NULL");
            } else {
                const std::optional<std::string> path = writer.Write(names.Next(slot), entry, progress);
                if (!path)
                    break; // stopped inside the entry: it leaves no file and no line
                state.ResultLog.Add(*path);
                state.ExtractedBytes += static_cast<std::int64_t>(entry.Length());
                ++state.ExtractedFiles;
            }
            progress.SlotDone(slot, entry.Length());
        }
    } catch (...) {
        // A queued file belongs to an earlier slot: its failure came first.
        committer.Finish();
        throw;
    }
    committer.Finish();
    writer.SyncFolders();
}

} // namespace

int HexDigitsFor(std::uint32_t count)
{
    int digits = 2;
    std::uint64_t limit = 255;
    while (limit < count) {
        digits += 2;
        limit = limit * 256 + 255;
    }
    return digits;
}

std::string SlotText(int slot)
{
    static const int kDigits = HexDigitsFor(kPackSlots);
    return HexNumber(slot, kDigits);
}

std::string OutputName(const std::string& p, int slot, std::string_view ext)
{
    const std::string e(ext.empty() ? "raw" : ext);
    return AsciiUpper(e) + kPathSep + PackBaseName(p) + "_" + SlotText(slot) + "." + e;
}

bool IsFileExtension(std::string_view ext)
{
    // Windows drops a trailing space or dot from a name, so the file on disk
    // would not be the one the result log names.
    if (!ext.empty() && (ext.back() == ' ' || ext.back() == '.'))
        return false;
    for (const char c : ext) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || std::string_view("<>:\"|?*\\/").find(c) != std::string_view::npos)
            return false;
    }
    // Device names that Windows reserves in every folder; an extension folder
    // of that name could never be created there.
    static const std::array<std::string_view, 22> kReserved{
        "CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    const std::string upper = AsciiUpper(ext);
    return std::find(kReserved.begin(), kReserved.end(), upper) == kReserved.end();
}

LineList LoadCheckedExtensionList(const std::string& listPath, int used)
{
    return LoadExtensions(listPath, used);
}

std::string OutputPathFor(const BatchState& state, const std::string& p, const std::string& r)
{
    std::string path;
    const std::string& root = state.ScanRoot;
    const bool mirrored = state.ScannedList && !root.empty() && p.size() > root.size()
        && p.compare(0, root.size(), root) == 0
        && (p[root.size()] == kPathSep || root.back() == kPathSep)
        && !HasParentStep(std::string_view(p).substr(root.size()));
    if (mirrored)
        path = DirectoryPart(state.TargetDir + p.substr(root.size())) + r;
    else
        path = JoinPath(state.TargetDir, r);
    return path;
}

void CreateOutputFolders(const BatchState& state, const std::string& path)
{
    const std::string dir = DirectoryPart(path);
    const bool created = dir.starts_with(state.TargetDir)
        ? CreateFoldersBelow(state.TargetDir, std::string_view(dir).substr(state.TargetDir.size()))
        : CreateDirectories(dir);
    if (!created)
        throw FileError::CannotCreate(path);
}

std::string MakeOutputPath(const BatchState& state, const std::string& p, const std::string& r)
{
    std::string path = OutputPathFor(state, p, r);
    CreateOutputFolders(state, path);
    return path;
}

void ExtractPack(const std::string& p, BatchState& state, BatchView& view)
{
    const ReadOnlyFile pack(p);
    view.SetStatus("Processing " + FileNamePart(p) + "...");
    view.ProcessEvents();
    const PackDirectory directory = PackDirectory::Read(pack);
    const std::string listPath = ExtensionListOf(state.ExtListPath, p);
    const int used = directory.UsedSlots();
    const LineList extensions = LoadExtensions(listPath, used);
    if (extensions.Count() > used)
        view.AppendWarning(ExtensionListTooLong(listPath, extensions.Count(), p, used));
    SlotNames names(p, extensions, listPath, used);
    CopySlots(pack, directory, names, state, view);
}

} // namespace eit
