#include "ReplayPack.h"

#include "FileError.h"
#include "FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace eit {

bool SourceStream::Open(const std::string& path)
{
    Close();
    // Opening a device for writing can act on it (a tape rewinds); look at
    // the type first, and open non-blocking in case it changed meanwhile.
    if (KindOf(path) == FileKind::Special)
        return false;
    // O_RDWR fails with EISDIR for a directory, so a folder named as a
    // source is refused like a read-only file.
    const int handle = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        throw FileError::CannotOpen(path);
    struct stat st;
    if (::fstat(handle, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(handle);
        return false;
    }
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(handle);
        throw FileError::CannotOpen(path);
    }
    FHandle = handle;
    FPath = path;
    return true;
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
