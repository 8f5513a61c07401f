#include "DirFormModel.h"

#include "FileUtil.h"
#include "Formats.h"
#include "Guarded.h"
#include "RecordingSkin.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

using eit::test::RecordingDirSkin;
using Strings = std::vector<std::string>;

class DirFormModelTest : public testing::Test {
protected:
    RecordingDirSkin Skin;
    std::string FilterText = eit::kInputFilter;
    eit::DirFormModel Form{Skin, [this] { return FilterText; }};

    // Every test starts with the dialog shown.
    void SetUp() override { Form.FormShow(); }
    // The user types text into the field.
    void Type(const std::string& text)
    {
        Skin.Field = text;
        Form.ScanDirChange(text);
    }
};

TEST_F(DirFormModelTest, OkFollowsTheDirectoryText)
{
    EXPECT_FALSE(Skin.OkEnabled);
    EXPECT_FALSE(Form.OkEnabled());
    Type("d");
    EXPECT_TRUE(Skin.OkEnabled);
    Type("");
    EXPECT_FALSE(Skin.OkEnabled);
    Type("/nowhere");
    EXPECT_TRUE(Form.OkEnabled());
    EXPECT_EQ(Form.ScanDir(), "/nowhere");
    EXPECT_EQ(Form.Choice().Folder, "/nowhere");
}

TEST_F(DirFormModelTest, ChoosingATypeSetsItsPositionAndMask)
{
    ASSERT_EQ(Skin.Types.size(), 3u);
    EXPECT_EQ(Skin.Types[1], "Project list files (*.lst)");
    EXPECT_EQ(Skin.Type, 0);
    EXPECT_EQ(Form.FileMask(), "*.bin");
    const struct {
        int Index;
        const char* Mask;
    } rows[] = {{1, "*.lst"}, {2, "*.log"}, {0, "*.bin"}};
    for (const auto& row : rows) {
        Form.FilterChange(row.Index);
        EXPECT_EQ(Form.TypeIndex(), row.Index);
        EXPECT_EQ(Form.FileMask(), row.Mask);
        EXPECT_EQ(Form.Choice().TypeIndex, row.Index);
        EXPECT_EQ(Form.Choice().Mask, row.Mask);
    }
}

TEST_F(DirFormModelTest, ShowingAgainKeepsTheTextAndStartsAtTheFirstType)
{
    Type("/packs");
    Form.FilterChange(2);

    FilterText += "|All files (*.*)|*.*";
    Skin = RecordingDirSkin(); // a dialog made afresh
    Form.FormShow("/remembered");
    EXPECT_EQ(Form.ScanDir(), "/packs");
    EXPECT_EQ(Skin.Field, "/packs");
    EXPECT_TRUE(Form.OkEnabled());
    EXPECT_TRUE(Skin.OkEnabled);
    EXPECT_EQ(Skin.Types.size(), 4u);
    EXPECT_EQ(Skin.Types.back(), "All files (*.*)");
    EXPECT_EQ(Skin.Type, 0);
    EXPECT_EQ(Form.TypeIndex(), 0);
    EXPECT_EQ(Form.FileMask(), "*.bin");
    EXPECT_EQ(Form.FilterText(), FilterText);
}

TEST_F(DirFormModelTest, FirstShowingStartsAtTheLastScannedFolderWithItsBytes)
{
    RecordingDirSkin skin;
    eit::DirFormModel form(skin, [] { return std::string(eit::kInputFilter); });
    form.FormShow("/data/caf\xe9");
    EXPECT_EQ(skin.Field, "/data/caf\xef\xbf\xbd");
    EXPECT_TRUE(skin.OkEnabled);
    EXPECT_EQ(form.ScanDirPath(), "/data/caf\xe9");

    form.ScanDirChange("/typed");
    form.FormShow("/data/caf\xe9"); // later showings keep the field
    EXPECT_EQ(form.ScanDirPath(), "/typed");
}

TEST_F(DirFormModelTest, FolderButtonTakesAConfirmedPickAndIgnoresACancelledOne)
{
    Type("/start");
    Skin.Dirs.push_back(std::nullopt);
    Form.CallDialogClick();
    EXPECT_EQ(Skin.PickerStarts.back(), "/start");
    EXPECT_EQ(Form.ScanDir(), "/start");

    Type("");
    Skin.Dirs.push_back("/elsewhere");
    Form.CallDialogClick();
    EXPECT_EQ(Skin.PickerStarts.back(), "");
    EXPECT_EQ(Skin.Field, "/elsewhere");
    EXPECT_EQ(Form.ScanDir(), "/elsewhere");
    EXPECT_TRUE(Skin.OkEnabled);
}

TEST_F(DirFormModelTest, PickedFolderKeepsItsBytesUntilTheTextIsRetyped)
{
    const std::string picked("/data/caf\xe9");
    Skin.Dirs.push_back(picked);
    Form.CallDialogClick();
    EXPECT_EQ(Form.ScanDirPath(), picked);
    Skin.Dirs.push_back(std::nullopt);
    Form.CallDialogClick();
    EXPECT_EQ(Skin.PickerStarts.back(), picked); // opened again where it was

    const std::string sub = std::string(1, eit::kPathSep) + "sub";
    Type(Skin.Field + sub);
    EXPECT_EQ(Form.ScanDirPath(), picked + sub);
    Type("/elsewhere");
    EXPECT_EQ(Form.ScanDirPath(), "/elsewhere");
}

TEST(EditedPathTest, KeepsTheOriginalBytesWhileTheTextShowsThemOrGoesOnBelowThem)
{
    const std::string sep(1, eit::kPathSep);
    const std::string original = sep + "caf\xe9";
    const std::string shown = sep + "caf\xef\xbf\xbd";
    const struct {
        std::string Original;
        std::string Text;
        std::string Path;
    } rows[] = {
        {original, shown, original},
        {original, shown + sep + "sub", original + sep + "sub"},
        {original, shown + "x", shown + "x"},           // another name, not below it
        {original + sep, shown + sep + "sub", original + sep + "sub"},
        {original, "other", "other"},
        {"", "typed", "typed"},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        const std::string originalText = row.Original.empty() ? "" : eit::test::FieldText(row.Original);
        EXPECT_EQ(eit::EditedPath(row.Original, originalText, row.Text), row.Path) << row.Text;
    }
}

TEST_F(DirFormModelTest, AFailingPickerIsReportedAndTheDialogStillAnswers)
{
    const struct {
        void (*Throw)();
        const char* Shown;
    } cases[] = {{[] { throw std::runtime_error("Cannot create directory /x"); }, "Cannot create directory /x"},
                 {[] { throw std::bad_alloc(); }, "Out of memory"},
                 {[] { throw "a text"; }, "Unexpected error"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shown);
        Skin.Messages.clear();
        Skin.OnPick = c.Throw;
        Form.CallDialogClick();
        EXPECT_EQ(Skin.Messages, (std::vector<std::pair<std::string, std::string>>{{c.Shown, eit::kWindowCaption}}));
    }
    // Still answering: the next pick is taken.
    Skin.OnPick = nullptr;
    Skin.Dirs.push_back("/picked");
    Form.CallDialogClick();
    EXPECT_EQ(Form.ScanDir(), "/picked");
}

} // namespace
