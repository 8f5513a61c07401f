#include "PackBuilder.h"

#include "PackDirectory.h"
#include "TestSupport.h"

#include <stdexcept>

namespace eit::test {

namespace {

std::string Pattern(int slot, std::uint32_t sectors)
{
    std::string data(std::size_t{sectors} * 2048, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(slot) * 13) & 0xff);
    return data;
}

} // namespace

PackBuilder& PackBuilder::Entry(int slot, std::uint32_t sectors)
{
    FSlots[slot] = {FNextSector, sectors, Slot::Pattern};
    FNextSector += sectors;
    return *this;
}

PackBuilder& PackBuilder::ZeroEntry(int slot, std::uint32_t sectors)
{
    FSlots[slot] = {FNextSector, sectors, Slot::Zeros};
    FNextSector += sectors;
    return *this;
}

PackBuilder& PackBuilder::RawSlot(int slot, std::uint32_t startSector, std::uint32_t sectorCount)
{
    FSlots[slot] = {startSector, sectorCount, Slot::None};
    return *this;
}

std::string PackBuilder::Bytes() const
{
    std::string bytes(kPackDirectorySize + std::size_t{FNextSector} * kPackSectorSize, '\0');
    PackDirectory directory;
    for (const auto& [slot, s] : FSlots)
        directory.SetEntry(slot, {s.Start, s.Count});
    const PackDirectory::Bytes encoded = directory.Encode();
    bytes.replace(0, encoded.size(), reinterpret_cast<const char*>(encoded.data()), encoded.size());
    for (const auto& [slot, s] : FSlots) {
        if (s.Data == Slot::Pattern)
            bytes.replace(65536 + std::size_t{s.Start} * 2048, std::size_t{s.Count} * 2048, Pattern(slot, s.Count));
    }
    return bytes;
}

void PackBuilder::WriteSparse(const std::string& path) const
{
    PackBuilder directory;
    for (const auto& [slot, s] : FSlots)
        directory.RawSlot(slot, s.Start, s.Count);
    WriteFile(path, directory.Bytes().substr(0, kPackDirectorySize));
    bool written = true;
    for (const auto& [slot, s] : FSlots)
        if (s.Data == Slot::Pattern)
            written = written && WriteAt(path, kPackDirectorySize + std::uint64_t{s.Start} * kPackSectorSize, Pattern(slot, s.Count));
    written = written && ResizeSparse(path, kPackDirectorySize + std::uint64_t{FNextSector} * kPackSectorSize);
    if (!written)
        throw std::runtime_error("cannot write " + path);
}

std::string PackBuilder::EntryData(int slot) const
{
    const Slot& s = FSlots.at(slot);
    return s.Data == Slot::Zeros ? std::string(std::size_t{s.Count} * 2048, '\0') : Pattern(slot, s.Count);
}

} // namespace eit::test
