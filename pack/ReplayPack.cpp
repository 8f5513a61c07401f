#include "ReplayPack.h"

#include "InsertPack.h"

namespace eit {

bool SourceStream::Open(const std::string& path)
{
    Close();
    // A FIFO or device is passed over like a missing source rather than
    // refused with an error; ReadOnlyFile refuses one that appears meanwhile.
    if (KindOf(path) == FileKind::Special)
        return false;
    FFile.emplace(path);
    return true;
}

std::int32_t ReplayPack(BatchState& state, BatchView& view, const ReadOnlyFile& source, const std::string& targetPath,
                        std::int32_t lineIndex)
{
    return InsertIntoPack(state, view, source, targetPath, lineIndex);
}

} // namespace eit
