#include "Formats.h"

#include <gtest/gtest.h>

#include <string_view>

namespace eit {
namespace {

TEST(InputTypes, GiveTheOpenDialogsFilterAndTheBatchTables)
{
    EXPECT_EQ(std::string_view(kInputFilter),
              "Data Packs (*.bin)|*.bin|Project list files (*.lst)|*.lst|Log files (*.log)|*.log");
    // Position k + 1 of the open dialog: its mode, its "#Format: " name, and
    // what the batch runs its files through (a list type has no handlers).
    const struct {
        std::uint8_t Mode;
        const char* Name;
        ExtractFn Extract;
        ReplayFn Replay;
    } expected[] = {{kModeExtract, "BIN", ExtractPack, ReplayPack},
                    {kModeReplayList, "", nullptr, nullptr},
                    {kModeReplayLogs, "", nullptr, nullptr}};
    ASSERT_EQ(FilterModes.size(), std::size(expected));
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(FilterModes[k], expected[k].Mode);
        EXPECT_EQ(FilterModeAt(k + 1), expected[k].Mode);
        EXPECT_STREQ(FormatNames[k], expected[k].Name);
        EXPECT_EQ(FormatNameAt(k + 1), expected[k].Name);
        const InputType* type = InputTypeOfMode(expected[k].Mode);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->Extract, expected[k].Extract);
        EXPECT_EQ(type->Replay, expected[k].Replay);
    }
    for (const int outside : {0, 4, -1}) {
        EXPECT_EQ(FilterModeAt(outside), 0);
        EXPECT_EQ(FormatNameAt(outside), "");
    }
    for (const std::uint8_t mode : {0, 4, 11})
        EXPECT_EQ(InputTypeOfMode(mode), nullptr);
}

TEST(InputTypes, OnlyAPackFormatsExactNameGivesAReplayMode)
{
    EXPECT_EQ(ModeOfFormatName("BIN"), kModeExtract);
    for (const char* name : {"", "bin", "BIN ", "LST", "*.bin"})
        EXPECT_EQ(ModeOfFormatName(name), kReplayNoFormat) << name;
}

} // namespace
} // namespace eit
