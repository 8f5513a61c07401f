#include "ExtensionList.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "PackSurvey.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

namespace eit {
namespace {

using test::ErrorOf;

const std::string kHint = "\nGive the extension list with --extlist FILE, or write one with --make-extlist PACK.";

class ExtensionListTest : public ::testing::Test {
protected:
    std::string Pack(const std::string& name, const PackBuilder& builder)
    {
        WriteFile(Dir.File(name), builder.Bytes());
        return Dir.File(name);
    }

    TempDir Dir;
};

TEST_F(ExtensionListTest, AFolderOfListsGivesEachPackTheListOfItsBaseName)
{
    WriteFile(Dir.File("one.txt"), "tim\r\n");
    std::filesystem::create_directory(Dir.File("lists"));
    const struct {
        std::string List;
        std::string Pack;
        std::string Expected;
    } rows[] = {
        {Dir.File("one.txt"), "/in/DATA.BIN", Dir.File("one.txt")},
        {Dir.File("lists"), test::NativePath("/in/DATA.BIN"), Dir.File("lists/DATA.txt")},
        {Dir.File("lists"), test::NativePath("/in/a.b.bin"), Dir.File("lists/a.txt")},
        {Dir.File("lists") + eit::kPathSep, test::NativePath("/in/noext"), Dir.File("lists/noext.txt")},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExtensionListOf(row.List, row.Pack), row.Expected) << row.List << " " << row.Pack;
}

TEST_F(ExtensionListTest, AUtf8MarkIsNoPartOfTheFirstLineAndUtf16IsRefused)
{
    const std::string list = Dir.File("extlist.txt");
    const std::string utf16 = "Extension list " + list + " is UTF-16 text; save it as UTF-8";
    using Lines = std::vector<std::string>;
    const struct {
        const char* Name;
        std::string Bytes;
        std::optional<Lines> Expected; // nullopt: refused as UTF-16
    } rows[] = {
        {"plain", "tim\r\nraw\r\n", Lines{"tim", "raw"}},
        {"UTF-8 mark", "\xEF\xBB\xBFtim\r\n\r\n", Lines{"tim", ""}},
        {"mark before an empty line", "\xEF\xBB\xBF\r\ntim", Lines{"", "tim"}},
        {"mark alone", "\xEF\xBB\xBF", Lines{}},
        {"mark and a zero byte", std::string("\xEF\xBB\xBF\0tim", 7), Lines{}},
        {"mark past the start", "tim\r\n\xEF\xBB\xBFraw", Lines{"tim", "\xEF\xBB\xBFraw"}},
        {"zero bytes after UTF-8 text", std::string("tim\r\nraw\r\n\0\0\0", 13), Lines{"tim", "raw"}},
        {"one zero byte after a line", std::string("tim\0", 4), Lines{"tim"}},
        {"UTF-16 LE with its mark", std::string("\xFF\xFEt\0i\0m\0\r\0\n\0", 12), std::nullopt},
        {"UTF-16 BE with its mark", std::string("\xFE\xFF\0t\0i\0m", 8), std::nullopt},
        {"UTF-16 LE", std::string("t\0i\0m\0\r\0\n\0\r\0\n\0", 14), std::nullopt},
        {"UTF-16 BE", std::string("\0t\0i\0m\0\r\0\n", 10), std::nullopt},
    };
    for (const auto& row : rows) {
        WriteFile(list, row.Bytes);
        if (row.Expected)
            EXPECT_EQ(LoadExtensionList(list).Items(), *row.Expected) << row.Name;
        else
            EXPECT_EQ(ErrorOf([&] { LoadExtensionList(list); }), utf16) << row.Name;
    }
}

// The batch's check before anything is written: per list, the pack that
// needs the most lines of it is named.
TEST_F(ExtensionListTest, CheckNamesTheListAndThePackThatDoNotFit)
{
    const std::string small = Pack("small.bin", PackBuilder().Entry(0, 1));
    const std::string big = Pack("big.bin", PackBuilder().Entry(0, 1).Entry(5, 1).Entry(9, 1));
    const std::string lists = Dir.File("lists");
    const std::string one = Dir.File("one.txt");
    WriteFile(one, "tim\r\ntim\r\n");
    WriteFile(Dir.File("lists/small.txt"), "tim\r\n");
    WriteFile(Dir.File("lists/big.txt"), "a\r\nb\r\n");
    const auto tooShort = [](const std::string& list, int lines, const std::string& pack, int needed) {
        return "List index out of bounds (" + std::to_string(lines) + ")\n" + list + " has " + std::to_string(lines)
            + " lines, " + pack + " needs " + std::to_string(needed) + "; make a starter list with --make-extlist";
    };
    const struct {
        const char* Name;
        std::string List;
        std::vector<std::string> Packs;
        std::string Expected;
    } rows[] = {
        {"one list, the bigger pack named", one, {small, big}, tooShort(one, 2, big, 3)},
        {"one list that fits", one, {small}, "no error"},
        {"a list per pack", lists, {small, big}, tooShort(Dir.File("lists/big.txt"), 2, big, 3)},
        {"the packs after one that cannot be read", lists, {small, Dir.File("other.bin"), big}, "no error"},
        {"a folder's list missing", lists, {Pack("DATA.BIN", PackBuilder())},
         "Cannot open file " + Dir.File("lists/DATA.txt") + kHint},
        {"one list missing", Dir.File("none.txt"), {Pack("empty.bin", PackBuilder())},
         "Cannot open file " + Dir.File("none.txt") + kHint},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ErrorOf([&] { CheckExtensionList(row.List, row.Packs); }), row.Expected) << row.Name;
}

TEST_F(ExtensionListTest, AStarterListGoesIntoAFolderAsThePacksList)
{
    const std::string pack = Pack("in/DATA.BIN", PackBuilder().Entry(0, 1).Entry(3, 1));
    const std::string folder = Dir.File("new/lists");
    const std::string written = WriteStarterList(pack, folder);
    EXPECT_EQ(written, ExtensionListOf(folder, pack));
    EXPECT_EQ(ReadFile(Dir.File("new/lists/DATA.txt")), MakeExtensionList(SurveyPack(pack)));

    EXPECT_EQ(ErrorOf([&] { WriteStarterList(Dir.File("in/NONE.BIN"), Dir.File("other")); }),
              "Cannot open file " + Dir.File("in/NONE.BIN"));
    const std::string notAPack = Pack("in/NOTAPACK.BIN", PackBuilder().RawSlot(0, 0, 1));
    EXPECT_EQ(ErrorOf([&] { WriteStarterList(notAPack, Dir.File("other")); }), "Stream read error: " + notAPack);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("other"))); // nothing to write, no folder
}

} // namespace
} // namespace eit
