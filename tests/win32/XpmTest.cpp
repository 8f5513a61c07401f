#include "Xpm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct XpmCase {
    const char* Name;
    std::vector<const char*> Lines;
    int Width;
    int Height;
    std::vector<std::uint32_t> Pixels; // empty: "Bad picture" expected
};

class XpmTest : public ::testing::TestWithParam<XpmCase> {};

TEST_P(XpmTest, ReadsPixelsOrNamesTheBadPicture)
{
    const XpmCase& c = GetParam();
    if (c.Pixels.empty()) {
        try {
            eit::ReadXpm(c.Lines.data(), c.Lines.size(), c.Name);
            FAIL() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string("Bad picture ") + c.Name, e.what());
        }
        return;
    }
    const eit::XpmPicture picture = eit::ReadXpm(c.Lines.data(), c.Lines.size(), c.Name);
    EXPECT_EQ(c.Width, picture.Width);
    EXPECT_EQ(c.Height, picture.Height);
    EXPECT_EQ(c.Pixels, picture.Pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, XpmTest,
    ::testing::Values(
        XpmCase{"one", {"2 1 2 1", ". c None", "k c #102030", ".k"}, 2, 1, {0u, 0xFF102030u}},
        XpmCase{"two", {"1 2 2 2", "ab c #ffffff", "cd c #A0a0A0", "cd", "ab"}, 1, 2, {0xFFA0A0A0u, 0xFFFFFFFFu}},
        XpmCase{"short", {"2 2 1 1", ". c None", ".."}, 0, 0, {}},
        XpmCase{"header", {"x 2 1 1", ". c None", "..", ".."}, 0, 0, {}},
        XpmCase{"colour", {"1 1 1 1", ". c red", "."}, 0, 0, {}},
        XpmCase{"key", {"1 1 1 1", ". c None", "x"}, 0, 0, {}},
        XpmCase{"row", {"2 1 1 1", ". c None", "..."}, 0, 0, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ToolPictureTest, EveryToolbarPictureReadsAtItsSize)
{
    for (const char* name : {"bin", "closed_folder", "disk", "ext_list", "open_folder", "pen_sheet", "window",
                             "bin_disabled", "closed_folder_disabled", "disk_disabled", "ext_list_disabled",
                             "open_folder_disabled", "window_disabled"}) {
        for (const auto& [suffix, size] : {std::pair{"", 16}, std::pair{"@2x", 32}}) {
            const eit::XpmPicture picture = eit::ToolPicture(std::string(name) + suffix);
            EXPECT_EQ(size, picture.Width) << name << suffix;
            EXPECT_EQ(size, picture.Height) << name << suffix;
        }
    }
    EXPECT_THROW(eit::ToolPicture("nothing"), std::runtime_error);
}

} // namespace
