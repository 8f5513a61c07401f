#include "TDirForm.h"

#include "ui_TDirForm.h"

#include "CollectFiles.h"
#include "ScriptedDialogs.h"
#include "Formats.h"

#include <QApplication>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

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

TEST_F(DirFormTest, TypingReachesTheModelAndOkAccepts)
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
    EXPECT_EQ(Form.Model().Choice().Folder, "/nowhere");
}

TEST_F(DirFormTest, TypeListShowsTheModelsTypesAndTellsItTheChoice)
{
    ASSERT_EQ(ui.Filter->count(), 3);
    EXPECT_EQ(ui.Filter->itemText(1), "Project list files (*.lst)");
    EXPECT_EQ(ui.Filter->currentIndex(), 0);
    ui.Filter->setFocus();
    QTest::keyClick(ui.Filter, Qt::Key_Down);
    EXPECT_EQ(Form.Model().TypeIndex(), 1);
    EXPECT_EQ(Form.Model().FileMask(), "*.lst");

    QTest::mouseClick(ui.BCancel, Qt::LeftButton);
    EXPECT_EQ(Form.result(), QDialog::Rejected);
    Show(); // every showing starts at the first type
    EXPECT_EQ(ui.Filter->currentIndex(), 0);
    EXPECT_EQ(Form.Model().TypeIndex(), 0);
}

// The field hands the model what it shows for the picked bytes, so the
// bytes survive until the text is retyped.
TEST_F(DirFormTest, PickedFolderKeepsItsBytesThroughTheField)
{
    const QByteArray picked("/data/caf\xe9");
    Dialogs.Dirs.push_back(picked.toStdString());
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(ui.ScanDir->text(), QFile::decodeName(picked));
    EXPECT_EQ(Form.ScanDirPath(), picked);
    QTest::keyClicks(ui.ScanDir, "/sub");
    EXPECT_EQ(Form.ScanDirPath(), picked + "/sub");
    ui.ScanDir->setText(QStringLiteral("/elsewhere"));
    EXPECT_EQ(Form.ScanDirPath(), QByteArray("/elsewhere"));
}

TEST_F(DirFormTest, AFailingPickerIsReportedAndTheDialogStaysOpen)
{
    Dialogs.OnPick = [] { throw std::runtime_error("Cannot create directory /x"); };
    QTest::mouseClick(ui.CallDialog, Qt::LeftButton);
    EXPECT_EQ(Dialogs.Errors, std::vector<QString>{"Cannot create directory /x"});
    EXPECT_TRUE(Form.isVisible());
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
    EXPECT_EQ(ui.CallDialog->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Form.windowTitle(), "Directory to add");
    EXPECT_EQ(Form.size(), QSize(418, 53));
}

} // namespace
