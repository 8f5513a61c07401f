#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace eit::test {

// Builds data pack bytes: slots not set stay empty. Each entry's sectors are
// filled with a pattern derived from its slot, so tests can tell them apart.
class PackBuilder {
public:
    // Places `sectors` sectors for slot at the next free sector.
    PackBuilder& Entry(int slot, std::uint32_t sectors);
    // Places `sectors` sectors of zeros for slot at the next free sector.
    PackBuilder& ZeroEntry(int slot, std::uint32_t sectors);
    // Writes a raw directory slot without adding data.
    PackBuilder& RawSlot(int slot, std::uint32_t startSector, std::uint32_t sectorCount);
    std::string Bytes() const;
    // Writes Bytes() to path, leaving the zero entries as holes of a sparse
    // file, so that large entries cost neither memory nor disk.
    void WriteSparse(const std::string& path) const;
    // The bytes the entry of slot holds in the pack.
    std::string EntryData(int slot) const;

private:
    struct Slot {
        std::uint32_t Start;
        std::uint32_t Count;
        enum { Pattern, Zeros, None } Data;
    };
    std::map<int, Slot> FSlots;
    std::uint32_t FNextSector = 0;
};

} // namespace eit::test

namespace eit {
using test::PackBuilder;
} // namespace eit
