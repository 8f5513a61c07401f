#include "InsertPlan.h"

#include "DataPack.h"
#include "FileError.h"

#include <algorithm>
#include <limits>

namespace eit {

namespace {

constexpr std::uint64_t kMaxSector = std::numeric_limits<std::uint32_t>::max();

FileError TooLarge(const std::string& pack, int slot)
{
    return FileError("Data pack " + pack + " cannot take the file of slot " + SlotText(slot)
                     + ": its sectors would not fit the directory's 32-bit numbers");
}

// Marks the slots whose sector range overlaps that of another slot.
std::array<bool, kPackSlots> SharedSlots(const PackDirectory& directory)
{
    std::vector<int> order;
    for (int slot = 0; slot < kPackSlots; ++slot)
        if (!directory.Entry(slot).Empty())
            order.push_back(slot);
    auto start = [&](int slot) { return std::uint64_t{directory.Entry(slot).StartSector}; };
    auto end = [&](int slot) { return start(slot) + directory.Entry(slot).SectorCount; };
    std::sort(order.begin(), order.end(), [&](int a, int b) { return start(a) < start(b); });
    std::array<bool, kPackSlots> shared{};
    for (std::size_t i = 0; i < order.size(); ++i)
        for (std::size_t j = i + 1; j < order.size() && start(order[j]) < end(order[i]); ++j)
            shared[static_cast<std::size_t>(order[i])] = shared[static_cast<std::size_t>(order[j])] = true;
    return shared;
}

// Appends the old pack's bytes of [from, to) to the plan: its own bytes up
// to its old length, zeros after that.
void AddGap(InsertPlan& plan, std::uint64_t from, std::uint64_t to, std::uint64_t packLength)
{
    if (from < std::min(to, packLength))
        plan.Writes.push_back({PackWrite::Source::Pack, from, std::min(to, packLength) - from, from, -1, 0});
    from = std::max(from, packLength);
    if (from < to)
        plan.Writes.push_back({PackWrite::Source::Zero, from, to - from, 0, -1, 0});
}

} // namespace

std::uint64_t SectorsFor(std::uint64_t bytes)
{
    return (bytes + kPackSectorSize - 1) / kPackSectorSize;
}

InsertPlan PlanInsert(const PackDirectory& old, std::uint64_t packLength, const SlotSizes& sizes,
                      const std::string& packPath)
{
    const std::uint64_t dataEnd = std::max(SectorsFor(packLength) * kPackSectorSize, kPackDirectorySize);
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const PackEntry& entry = old.Entry(slot);
        if (!entry.Empty() && entry.Offset() + entry.Length() > dataEnd)
            throw FileError("Data pack " + packPath + " is damaged: slot " + SlotText(slot) + " lies beyond its end");
    }
    const std::array<bool, kPackSlots> shared = SharedSlots(old);

    InsertPlan plan;
    plan.Directory = old;
    std::vector<PackWrite> placed;
    std::uint64_t end = dataEnd;
    for (int slot = 0; slot < kPackSlots; ++slot) {
        const std::size_t s = static_cast<std::size_t>(slot);
        const PackEntry& entry = old.Entry(slot);
        if (entry.Empty() || sizes[s] == 0)
            continue;
        const std::uint64_t sectors = SectorsFor(sizes[s]);
        const std::uint64_t bytes = sectors * kPackSectorSize;
        PackEntry now = entry;
        PackWrite piece{PackWrite::Source::File, entry.Offset(), bytes, 0, slot, sizes[s]};
        if (!shared[s] && sectors <= entry.SectorCount) {
            piece.Count = entry.Length(); // the sectors it gives up become zeros
        } else if (!shared[s] && entry.Offset() + entry.Length() == end) {
            end = entry.Offset() + bytes;
        } else {
            const std::uint64_t start = (end - kPackDirectorySize) / kPackSectorSize;
            if (start > kMaxSector)
                throw TooLarge(packPath, slot);
            now.StartSector = static_cast<std::uint32_t>(start);
            piece.Offset = end;
            end += bytes;
            ++plan.Moved;
        }
        if (sectors > kMaxSector)
            throw TooLarge(packPath, slot);
        now.SectorCount = static_cast<std::uint32_t>(sectors);
        plan.Directory.SetEntry(slot, now);
        placed.push_back(piece);
        ++plan.Inserted;
    }
    plan.Length = std::max(packLength, end);

    std::sort(placed.begin(), placed.end(), [](const PackWrite& a, const PackWrite& b) { return a.Offset < b.Offset; });
    std::uint64_t at = kPackDirectorySize;
    for (const PackWrite& piece : placed) {
        AddGap(plan, at, piece.Offset, packLength);
        plan.Writes.push_back(piece);
        at = piece.Offset + piece.Count;
    }
    AddGap(plan, at, plan.Length, packLength);
    return plan;
}

} // namespace eit
