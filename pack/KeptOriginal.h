#pragma once

#include "BatchState.h"
#include "Env.h"
#include "FileError.h"
#include "PackCopier.h"

#include <algorithm>
#include <string>

namespace eit {

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

} // namespace eit
