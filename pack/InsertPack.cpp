#include "InsertPack.h"

#include "DataPack.h"
#include "FileError.h"
#include "InsertVerify.h"
#include "KeptOriginal.h"
#include "PackCopier.h"
#include "PackWriter.h"
#include "SlotFiles.h"

#include <chrono>
#include <functional>
#include <future>
#include <optional>

namespace eit {

namespace {

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

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
