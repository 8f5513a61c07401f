#include "ReplayPack.h"

#include "FileError.h"

#include <fcntl.h>
#include <unistd.h>

namespace eit {

void SourceStream::Open(const std::string& path)
{
    Close();
    // O_RDWR fails with EISDIR for a directory, so a folder named as a
    // source is refused like a read-only file.
    const int handle = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (handle < 0)
        throw FileError::CannotOpen(path);
    FHandle = handle;
    FPath = path;
}

void SourceStream::Close() noexcept
{
    if (FHandle >= 0)
        ::close(FHandle);
    FHandle = -1;
    FPath.clear();
}

std::int32_t ReplayPack([[maybe_unused]] BatchState& state, [[maybe_unused]] SourceStream& source,
                        [[maybe_unused]] const std::string& targetPath, std::int32_t lineIndex)
{
    return lineIndex;
}

} // namespace eit
