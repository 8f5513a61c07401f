#include "Env.h"
#include "FileError.h"
#include "InsertPlan.h"
#include "InsertVerify.h"
#include "PackCopier.h"
#include "SlotFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace eit {
namespace {

TEST(InsertVerify, PiecesApartWhenNoTwoWrittenPiecesShareAByte)
{
    using W = PackWrite;
    const struct {
        const char* Name;
        std::vector<W> Writes;
        bool Apart;
    } rows[] = {
        {"none", {}, true},
        {"end to end", {{W::Source::File, 0, 10, 0, 0, 5}, {W::Source::Zero, 10, 5, 0, -1, 0}}, true},
        {"out of order", {{W::Source::Zero, 20, 5, 0, -1, 0}, {W::Source::File, 0, 20, 0, 1, 20}}, true},
        {"one byte shared", {{W::Source::File, 0, 11, 0, 0, 5}, {W::Source::Zero, 10, 5, 0, -1, 0}}, false},
        {"one inside another", {{W::Source::File, 0, 100, 0, 0, 5}, {W::Source::File, 50, 10, 0, 1, 10}}, false},
        // The old pack's own bytes are copied, not written.
        {"over a copied range", {{W::Source::Pack, 0, 100, 0, -1, 0}, {W::Source::File, 50, 10, 0, 1, 10}}, true},
    };
    for (const auto& row : rows) {
        InsertPlan plan;
        plan.Writes = row.Writes;
        EXPECT_EQ(PiecesApart(plan), row.Apart) << row.Name;
    }
}

// Tests of all the error paths follow.

// A rebuilt pack of one slot, read back as it would be before it is named.
TEST(InsertVerify, VerifyRefusesASlotThatDoesNotHoldItsFile)
{
    const struct {
        const char* Name;
        bool StampKnown;      // the slot was read back right after its writing
        bool DataSpoilt;      // a byte of the slot differs afterwards
        bool DirectorySpoilt; // the written directory differs from the plan
        bool Refused;
    } rows[] = {
        {"as written", true, false, false, false},
        {"read again, unchanged", false, false, false, false},
        {"read again, a byte differs", false, true, false, true},
        {"directory differs", true, false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TempDir dir;
        const std::string edited = dir.File("EDITED.TIM");
        WriteFile(edited, "new bytes of slot 0");
        PackDirectory old;
        old.SetEntry(0, {0, 1});
        SlotSizes sizes{};
        sizes[0] = 19;
        const InsertPlan plan = PlanInsert(old, kPackDirectorySize + kPackSectorSize, sizes, "p.bin");

        AtomicFile out(dir.File("NEW.BIN"));
        PackDirectory::Bytes directory = plan.Directory.Encode();
        if (row.DirectorySpoilt)
            directory[4] ^= 1;
        out.WriteAt(0, directory.data(), directory.size());
        std::string slot = ReadFile(edited);
        slot.resize(kPackSectorSize, '\0');
        out.WriteAt(kPackDirectorySize, slot.data(), slot.size());

        Buffers buffers;
        SlotFiles files;
        files.Changed.push_back({0, edited, nullptr, FileStamp{}});
        ASSERT_TRUE(HoldsFile(plan.Directory.Entry(0), edited, out, buffers, &files.Changed[0].Checked));
        if (!row.StampKnown)
            files.Changed[0].Checked = FileStamp{};
        if (row.DataSpoilt)
            out.WriteAt(kPackDirectorySize + 3, "X", 1);

        EXPECT_EQ(test::ErrorOf([&] { Verify(plan, files, out, buffers); }, ""),
                  row.Refused ? "Rebuilt pack " + out.Path() + " does not hold file " + edited + " at slot 0000"
                              : "");
    }
}

} // namespace
} // namespace eit
