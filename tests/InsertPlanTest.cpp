#include "FileError.h"
#include "InsertPack.h"
#include "InsertPlan.h"
#include "PackDirectory.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace eit {
namespace {

// The placement rules on directories that no test pack could hold.
TEST(InsertPlan, PlacesBeyondTheOldEndAndChecksTheSectorNumbers)
{
    PackDirectory old;
    old.SetEntry(0, {0, 1});
    old.SetEntry(1, {1, 2});
    SlotSizes sizes{};
    sizes[1] = 2048;      // smaller: in place, the second sector zeroed
    sizes[0] = 4097;      // grown, not at the end: moved
    // A pack ending in the middle of a sector: the new data starts on the
    // next whole sector, zeros between.
    const std::uint64_t length = kPackDirectorySize + 3 * 2048 + 100;
    const InsertPlan plan = PlanInsert(old, length, sizes, "p.bin");
    using W = PackWrite;
    EXPECT_EQ(plan.Writes, (std::vector<W>{
                               {W::Source::Pack, 65536, 2048, 65536, -1, 0},
                               {W::Source::File, 65536 + 2048, 4096, 0, 1, 2048},
                               {W::Source::Pack, 65536 + 3 * 2048, 100, 65536 + 3 * 2048, -1, 0},
                               {W::Source::Zero, length, 2048 - 100, 0, -1, 0},
                               {W::Source::File, 65536 + 4 * 2048, 3 * 2048, 0, 0, 4097},
                           }));
    EXPECT_EQ(plan.Directory.Entry(0), (PackEntry{4, 3}));
    EXPECT_EQ(plan.Directory.Entry(1), (PackEntry{1, 1}));
    EXPECT_EQ(plan.Length, kPackDirectorySize + 7 * 2048);
    EXPECT_EQ(plan.Moved, 1);

    const auto message = [](const PackDirectory& directory, std::uint64_t length, const SlotSizes& s) {
        return test::ErrorOf([&] { PlanInsert(directory, length, s, "p.bin"); }, "");
    };
    const std::string tooLarge = ": its sectors would not fit the directory's 32-bit numbers";
    PackDirectory high;
    high.SetEntry(0, {0, 1});
    high.SetEntry(1, {0xFFFFFFF0u, 16});   // its data ends at sector 2^32
    SlotSizes grow{};
    grow[0] = 4096;
    EXPECT_EQ(message(high, kPackDirectorySize + (std::uint64_t{1} << 32) * 2048, grow),
              "Data pack p.bin cannot take the file of slot 0000" + tooLarge);
    SlotSizes huge{};
    huge[1] = (std::uint64_t{1} << 32) * 2048;
    EXPECT_EQ(message(old, kPackDirectorySize + 3 * 2048, huge), "Data pack p.bin cannot take the file of slot 0001" + tooLarge);
    EXPECT_EQ(message(old, kPackDirectorySize + 2 * 2048, sizes), "Data pack p.bin is damaged: slot 0001 lies beyond its end");
}

TEST(InsertPlan, GroupedNumberPutsACommaBetweenThousands)
{
    const struct {
        std::uint64_t Value;
        const char* Text;
    } rows[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {65536, "65,536"},
        {100000, "100,000"},
        {536936448, "536,936,448"},
        {18446744073709551615u, "18,446,744,073,709,551,615"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(GroupedNumber(row.Value), row.Text) << row.Value;
}

} // namespace
} // namespace eit
