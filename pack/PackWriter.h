#pragma once

#include "BatchState.h"
#include "Env.h"
#include "InsertPlan.h"
#include "PackCopier.h"
#include "SlotFiles.h"

#include <cstdint>

namespace eit {

// Writes the changed slots of the rebuilt pack and moves Progress by the
// bytes written, the copier's included, keeping the window alive. Each
// writing function returns false when Stop was pressed.
class PackWriter {
public:
    PackWriter(const BatchState& state, BatchView& view, AtomicFile& out, PackCopier& copier, std::uint64_t total);

    // Waits, keeping the window alive, until the copy has passed `bytes`.
    // False when Stop was pressed.
    bool WaitForCopy(std::uint64_t bytes);

    // Writes the first fileBytes bytes of file at offset, then zeros up to
    // count bytes.
    bool WriteFile(const ReadOnlyFile& file, std::uint64_t offset, std::uint64_t fileBytes, std::uint64_t count,
                   Buffers& buffers);

    bool WriteZeros(std::uint64_t offset, std::uint64_t count);

    void Advance(std::uint64_t bytes);

private:
    void Show();

    const BatchState& FState;
    BatchView& FView;
    AtomicFile& FOut;
    PackCopier& FCopier;
    const std::uint64_t FTotal;
    std::uint64_t FWritten = 0;
};

// Writes the planned pack into out, over the copy of the old pack that
// copier makes, each inserted slot read back right after it is written;
// false when Stop was pressed. Throws FileError: the errors of writing out,
// "Cannot open file %s" and that of NotHeld.
bool WritePack(const BatchState& state, BatchView& view, const ReadOnlyFile& source, const InsertPlan& plan,
               SlotFiles& files, AtomicFile& out, PackCopier& copier, Buffers& buffers);

} // namespace eit
