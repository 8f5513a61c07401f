#pragma once

#include <array>
#include <cstdint>

namespace eit {

class ReadOnlyFile;

// A data pack: a directory of 8192 slots of 8 bytes (little-endian start
// sector and sector count), then the data area in 2048-byte sectors.
inline constexpr int kPackSlots = 8192;
inline constexpr std::uint64_t kPackDirectorySize = 65536;
inline constexpr std::uint64_t kPackSectorSize = 2048;

struct PackEntry {
    std::uint32_t StartSector = 0;
    std::uint32_t SectorCount = 0;   // 0 marks an empty slot

    bool Empty() const { return SectorCount == 0; }
    // Where the entry's bytes start in the pack and how many there are; 64-bit,
    // so entries beyond 4 GiB are reached.
    std::uint64_t Offset() const { return kPackDirectorySize + std::uint64_t{StartSector} * kPackSectorSize; }
    std::uint64_t Length() const { return std::uint64_t{SectorCount} * kPackSectorSize; }
    // Whether the entry's bytes lie wholly within a pack of packSize bytes.
    bool FitsIn(std::uint64_t packSize) const { return Offset() <= packSize && Length() <= packSize - Offset(); }

    bool operator==(const PackEntry&) const = default;
};

// The 65,536-byte directory at the start of a data pack, decoded.
class PackDirectory {
public:
    using Bytes = std::array<unsigned char, kPackDirectorySize>;

    // A directory of empty slots.
    PackDirectory() = default;

    // The directory at the start of pack. Throws FileError "Data pack <path>
    // is shorter than its 65536-byte directory" and "Stream read error: <path>"
    // when the system reports a read failure.
    static PackDirectory Read(const ReadOnlyFile& pack);
    static PackDirectory Decode(const Bytes& bytes);
    Bytes Encode() const;

    // slot must lie in 0..kPackSlots-1.
    const PackEntry& Entry(int slot) const { return FEntries[static_cast<std::size_t>(slot)]; }
    void SetEntry(int slot, PackEntry entry) { FEntries[static_cast<std::size_t>(slot)] = entry; }

    // The slots that hold an entry: the lines an extension list needs.
    int UsedSlots() const;
    // The bytes all entries hold together (a range shared by two slots
    // counts twice: it is copied twice).
    std::uint64_t DataBytes() const;
    // Whether every entry lies wholly within a pack of packSize bytes.
    bool FitsIn(std::uint64_t packSize) const;

private:
    std::array<PackEntry, kPackSlots> FEntries{};
};

} // namespace eit
