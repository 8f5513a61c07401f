#include "TDirForm.h"

#include "ui_TDirForm.h"

#include "CollectFiles.h"
#include "ScriptedDialogs.h"
#include "Formats.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

using eit::test::ScriptedDialogs;

class DirFormTest : public testing::Test {
protected:
    ScriptedDialogs Dialogs;
    QString FilterText = QString::fromLatin1(eit::kInputFilter);
    TDirForm Form{Dialogs, [this] { return FilterText; }};
    Ui::TDirForm& ui = Form.Controls();

    // Every test starts with the form shown.
    void SetUp() override { Show(); }
    // Shows the form as the main window does, without a modal loop.
    void Show()
    {
        Form.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    }
};

TEST_F(DirFormTest, OkFollowsTheDirectoryText)
{
    EXPECT_FALSE(ui.BOk->isEnabled());
    QTest::keyClicks(ui.ScanDir, "d");
    EXPECT_TRUE(ui.BOk->isEnabled());
    QTest::keyClick(ui.ScanDir, Qt::Key_Backspace);
    EXPECT_FALSE(ui.BOk->isEnabled());
    QTest::keyClicks(ui.ScanDir, "/nowhere");
    QTest::mouseClick(ui.BOk, Qt::LeftButton);
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.ScanDir(), "/nowhere");
}

TEST_F(DirFormTest, ChoosingATypeSetsItsPositionAndMask)
{
    ASSERT_EQ(ui.Filter->count(), 3);
    EXPECT_EQ(ui.Filter->itemText(1), "Project list files (*.lst)");
    EXPECT_EQ(Form.FFileMask, "*.bin");
    ui.Filter->setFocus();
    QTest::keyClick(ui.Filter, Qt::Key_Down);
    EXPECT_EQ(Form.FTypeIndex, 1);
    EXPECT_EQ(Form.FFileMask, "*.lst");
    QTest::keyClick(ui.Filter, Qt::Key_Down);
    EXPECT_EQ(Form.FTypeIndex, 2);
    EXPECT_EQ(Form.FFileMask, "*.log");
}

TEST_F(DirFormTest, ShowingAgainKeepsTheTextAndStartsAtTheFirstType)
{
    QTest::keyClicks(ui.ScanDir, "/packs");
    ui.Filter->setCurrentIndex(2);
    QTest::mouseClick(ui.BCancel, Qt::LeftButton);
    EXPECT_EQ(Form.result(), QDialog::Rejected);

    FilterText += "|All files (*.*)|*.*";
    Show();
    EXPECT_EQ(Form.ScanDir(), "/packs");
    EXPECT_TRUE(ui.BOk->isEnabled());
    EXPECT_EQ(ui.Filter->count(), 4);
    EXPECT_EQ(ui.Filter->currentText(), "Data Packs (*.bin)");
    EXPECT_EQ(Form.FTypeIndex, 0);
    EXPECT_EQ(Form.FFileMask, "*.bin");
    EXPECT_EQ(Form.FFilterText, FilterText);
}

TEST_F(DirFormTest, FolderButtonTakesAConfirmedPickAndIgnoresACancelledOne)
{
    EXPECT_EQ(ui.CallDialog->focusPolicy(), Qt::NoFocus);
    QTest::keyClicks(ui.ScanDir, "/start");
    Dialogs.Dirs.push_back(std::nullopt);
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(Dialogs.PickerStarts.back(), "/start");
    EXPECT_EQ(Form.ScanDir(), "/start");

    ui.ScanDir->clear();
    Dialogs.Dirs.push_back("/elsewhere");
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(Dialogs.PickerStarts.back(), "");
    EXPECT_EQ(Form.ScanDir(), "/elsewhere");
    EXPECT_TRUE(ui.BOk->isEnabled());
}

TEST_F(DirFormTest, PickedFolderKeepsItsBytesUntilTheTextIsRetyped)
{
    const QByteArray picked("/data/caf\xe9");
    Dialogs.Dirs.push_back(picked.toStdString());
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(Form.ScanDirPath(), picked);
    Dialogs.Dirs.push_back(std::nullopt);
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(Dialogs.PickerStarts.back(), picked.toStdString()); // opened again where it was

    QTest::keyClicks(ui.ScanDir, "/sub");
    EXPECT_EQ(Form.ScanDirPath(), picked + "/sub");
    ui.ScanDir->setText(QStringLiteral("/elsewhere"));
    EXPECT_EQ(Form.ScanDirPath(), QByteArray("/elsewhere"));
}

TEST_F(DirFormTest, AFailingPickerIsReportedAndTheDialogStaysOpen)
{
    const struct {
        void (*Throw)();
        const char* Shown;
    } cases[] = {{[] { throw std::runtime_error("Cannot create directory /x"); }, "Cannot create directory /x"},
                 {[] { throw std::bad_alloc(); }, "Out of memory"},
                 {[] { throw "a text"; }, "Unexpected error"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shown);
        Dialogs.Errors.clear();
        Dialogs.OnPick = c.Throw;
        QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
        EXPECT_EQ(Dialogs.Errors, std::vector<QString>{c.Shown});
        EXPECT_TRUE(Form.isVisible());
    }
    // Still answering: the next pick is taken.
    Dialogs.OnPick = nullptr;
    Dialogs.Dirs.push_back("/picked");
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(ui.ScanDir->text(), QStringLiteral("/picked"));
}

TEST_F(DirFormTest, TabRunsFromOkThroughCancelAndTheDirectoryToTheType)
{
    QTest::keyClicks(ui.ScanDir, "x");
    ui.BOk->setFocus();
    const QWidget* expected[] = {ui.BCancel, ui.ScanDir, ui.Filter, ui.BOk};
    for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    EXPECT_EQ(Form.windowTitle(), "Directory to add");
    EXPECT_EQ(Form.size(), QSize(418, 53));
}

} // namespace
