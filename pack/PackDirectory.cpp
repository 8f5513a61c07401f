#include "PackDirectory.h"

#include "Env.h"
#include "FileError.h"
#include "LittleEndian.h"

namespace eit {

PackDirectory PackDirectory::Read(const ReadOnlyFile& pack)
{
    Bytes bytes;
    if (pack.ReadAt(0, bytes.data(), bytes.size()) < bytes.size())
        throw FileError("Data pack " + pack.Path() + " is shorter than its 65536-byte directory",
                        FileErrorKind::ReadPastEnd, pack.Path());
    return Decode(bytes);
}

PackDirectory PackDirectory::Decode(const Bytes& bytes)
{
    PackDirectory directory;
    for (std::size_t slot = 0; slot < kPackSlots; ++slot)
        directory.FEntries[slot] = {DecodeLe32(&bytes[slot * 8]), DecodeLe32(&bytes[slot * 8 + 4])};
    return directory;
}

PackDirectory::Bytes PackDirectory::Encode() const
{
    Bytes bytes;
    for (std::size_t slot = 0; slot < kPackSlots; ++slot) {
        EncodeLe32(&bytes[slot * 8], FEntries[slot].StartSector);
        EncodeLe32(&bytes[slot * 8 + 4], FEntries[slot].SectorCount);
    }
    return bytes;
}

int PackDirectory::UsedSlots() const
{
    int used = 0;
    for (const PackEntry& entry : FEntries)
        used += !entry.Empty();
    return used;
}

std::uint64_t PackDirectory::DataBytes() const
{
    std::uint64_t bytes = 0;
    for (const PackEntry& entry : FEntries)
        bytes += entry.Length();
    return bytes;
}

bool PackDirectory::FitsIn(std::uint64_t packSize) const
{
    for (const PackEntry& entry : FEntries)
        if (!entry.Empty() && !entry.FitsIn(packSize))
            return false;
    return true;
}

} // namespace eit
