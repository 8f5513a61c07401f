#pragma once

#include "BatchState.h"
#include "CopySizes.h"
#include "Env.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace eit {

// Two read buffers of kCopyBlock bytes for one rebuild: its whole working
// memory. Left uninitialised, so that only the part small files use is ever
// touched.
struct Buffers {
    std::unique_ptr<char[]> A{new char[kCopyBlock]};
    std::unique_ptr<char[]> B{new char[kCopyBlock]};
};

// Whether file, padded with zeros, equals the length bytes at offset of pack
// (a ReadOnlyFile or an AtomicFile read back). Throws the read errors of
// both.
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
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kCopyBlock));
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
// written over the bytes it has passed. The copy stops early when Stop is
// pressed or the copier is destroyed; the destructor waits for the thread.
class PackCopier {
public:
    PackCopier(const BatchState& state, const ReadOnlyFile& source, AtomicFile& out);
    ~PackCopier();
    PackCopier(const PackCopier&) = delete;
    PackCopier& operator=(const PackCopier&) = delete;

    std::uint64_t Copied() const { return FCopied.load(); }

    // Waits a moment for the first `bytes` bytes to be copied; true once
    // they are or the copy has ended (stopped early, Copied() tells).
    // Throws what the copy threw.
    bool Wait(std::uint64_t bytes);

private:
    void Run();

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

} // namespace eit
