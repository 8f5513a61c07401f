#include "PackDirectory.h"

#include "Env.h"
#include "FileError.h"

namespace eit {

namespace {

std::uint32_t ReadLe32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

void WriteLe32(unsigned char* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

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
        directory.FEntries[slot] = {ReadLe32(&bytes[slot * 8]), ReadLe32(&bytes[slot * 8 + 4])};
    return directory;
}

PackDirectory::Bytes PackDirectory::Encode() const
{
    Bytes bytes;
    for (std::size_t slot = 0; slot < kPackSlots; ++slot) {
        WriteLe32(&bytes[slot * 8], FEntries[slot].StartSector);
        WriteLe32(&bytes[slot * 8 + 4], FEntries[slot].SectorCount);
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

} // namespace eit
