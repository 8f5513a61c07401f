#include "DataPack.h"
#include "DirectoryPicker.h"
#include "FileError.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "ScriptedDialogs.h"
#include "TDirForm.h"
#include "TMainForm.h"
#include "ui_TDirForm.h"
#include "TestSupport.h"
#include "ui_TMainForm.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <new>
#include <optional>

namespace {

using eit::test::PackBuilder;
using eit::test::ScriptedDialogs;
using eit::test::ReadFile;
using eit::test::TempDir;
using eit::test::WriteFile;

// Every test starts as a first session: nothing remembered.
struct FreshSettings {
    FreshSettings() { QSettings().clear(); }
};

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() : SavedDir(eit::CurrentDirectory()), Form(Dialogs), ui(Form.Form())
    {
        eit::SetCurrentDirectory(Dir.Path());
        Form.State().ExtListPath = Dir.File("extlist.txt");
        WriteFile(Form.State().ExtListPath, "tim\n\n");
        Form.show();
    }
    ~MainFormTest() override { eit::SetCurrentDirectory(SavedDir); }

    QString Pack(const std::string& name)
    {
        WriteFile(Dir.File(name), PackBuilder().Entry(0, 1).Entry(9, 2).Bytes());
        return PathOf(name);
    }
    QString File(const std::string& name, std::string_view bytes = "")
    {
        WriteFile(Dir.File(name), bytes);
        return PathOf(name);
    }
    QString PathOf(const std::string& name) const { return QString::fromStdString(Dir.File(name)); }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void Add(const QStringList& files, int filter)
    {
        Dialogs.Opens.push_back({files, filter});
        Click(ui.BAddLog);
    }
    QStringList Entries() const
    {
        QStringList entries;
        for (int i = 0; i < ui.LogList->count(); ++i)
            entries << ui.LogList->item(i)->text();
        return entries;
    }
    // BSaveList, BRemLog, BClearAll, BProcess.
    std::vector<bool> ListButtons() const
    {
        return {ui.BSaveList->isEnabled(), ui.BRemLog->isEnabled(), ui.BClearAll->isEnabled(), ui.BProcess->isEnabled()};
    }
    // The next folder picker answers with out/, which exists.
    void PickOut()
    {
        Dialogs.Dirs.push_back(Dir.File("out"));
        std::filesystem::create_directories(Dir.File("out"));
    }
    QString Out(const QString& name) const { return PathOf("out/") + name; }
    // Drags paths over LogList and drops them there; false when the list
    // refused the drag.
    bool Drop(const std::vector<std::string>& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths)
            urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui.LogList->viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui.LogList->viewport(), &drop);
        return drop.isAccepted();
    }
    QString ExtListStatus(const std::string& list) const { return QString::fromStdString("Extension list: " + list); }

    FreshSettings Settings;
    std::string SavedDir;
    TempDir Dir;
    ScriptedDialogs Dialogs;
    TMainForm Form;
    Ui::TMainForm& ui;
};

const std::vector<bool> kAllOn{true, true, true, true};
const std::vector<bool> kAllOff{false, false, false, false};
const std::vector<std::pair<QString, QString>> kCompleted{{"Operation complete!", "Process status:"}};

// A name with a Latin-1 byte: not valid UTF-8, so no QString holds it.
const std::string kLatin1Name = "caf\xe9";

TEST_F(MainFormTest, WindowStartsAsItsFormDescribes)
{
    EXPECT_EQ(Form.windowTitle(), QStringLiteral("Extract\\Insert Tool"));
    EXPECT_EQ(Form.size(), QSize(688, 464));
    EXPECT_EQ(Form.minimumSize(), Form.maximumSize());
    EXPECT_EQ(ui.LogList->geometry(), QRect(0, 26, 688, 189));
    EXPECT_EQ(ui.LogList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(ui.GroupBox1->title(), QStringLiteral(" Process "));
    EXPECT_EQ(ui.Extracted->text(), QStringLiteral("Extracted: 0"));
    EXPECT_EQ(ui.SaveLog->text(), QStringLiteral("Save results"));
    EXPECT_EQ(ui.Stop->geometry(), QRect(612, 10, 71, 19));
    EXPECT_EQ(ui.ProcessDir->toolTip(), QStringLiteral("Process Directory"));

    const std::vector<QAbstractButton*> order{ui.BAddLog, ui.ProcessDir, ui.BSaveList, ui.BRemLog,
                                              ui.BClearAll, ui.BProcess, ui.BExit};
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(order[i]->x(), 1 + 23 * static_cast<int>(i));
        const QIcon icon = order[i]->icon();
        EXPECT_FALSE(icon.pixmap(16, 16, QIcon::Normal).isNull()) << i;
        if (order[i] != ui.BExit) {
            EXPECT_NE(icon.pixmap(16, 16, QIcon::Disabled).toImage(), icon.pixmap(16, 16, QIcon::Normal).toImage()) << i;
        }
    }
    EXPECT_TRUE(ui.BAddLog->isEnabled());
    EXPECT_TRUE(ui.ProcessDir->isEnabled());
    EXPECT_TRUE(ui.BExit->isEnabled());
    EXPECT_TRUE(ui.BExtList->isEnabled());
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_FALSE(ui.Stop->isEnabled());
    EXPECT_FALSE(ui.SaveLog->isEnabled());
    EXPECT_EQ(Form.State().ProcessingMode, 0);
    EXPECT_EQ(Form.State().StartDir, Dir.Path() == eit::CurrentDirectory() ? SavedDir : Form.State().StartDir);
    EXPECT_EQ(ui.CurrentMessage->text(), ExtListStatus(eit::DefaultExtListPath()));
}

TEST_F(MainFormTest, ProcessGroupPaintsNothingUnderItsControls)
{
    // Fusion draws a group box's frame line below its title, through the
    // row of controls at the top of " Process ".
    const QString savedStyle = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QGroupBox* box = ui.GroupBox1;
    const QList<QWidget*> controls = box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(controls.size(), 7);
    for (QWidget* control : controls)
        control->hide();
    const QImage image = box->grab().toImage();
    for (QWidget* control : controls)
        control->show();
    QApplication::setStyle(QStyleFactory::create(savedStyle));

    for (const QWidget* control : controls) {
        const QRect area = control->geometry();
        const QRgb background = image.pixel(area.topLeft());
        int marked = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                marked += image.pixel(x, y) != background;
        EXPECT_EQ(marked, 0) << control->objectName().toStdString();
    }
}

TEST_F(MainFormTest, RemoveTakesTheRowsSelectedInTheList)
{
    Add({File("1.log"), File("2.log"), File("3.log"), File("4.log")}, 3);
    ui.LogList->item(1)->setSelected(true);
    ui.LogList->item(2)->setSelected(true);
    Click(ui.BRemLog);
    EXPECT_EQ(Entries(), (QStringList{File("1.log"), File("4.log")}));
    EXPECT_EQ(ui.LogList->currentRow(), 1);

    ui.LogList->selectAll();
    Click(ui.BRemLog);
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_EQ(ui.LogList->currentRow(), -1);
}

// The real batch through the real widgets, against the driver.
TEST_F(MainFormTest, WindowAndBatchDriverWriteTheSameFiles)
{
    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    Dialogs.Dirs.push_back(Dir.File("win"));
    std::filesystem::create_directories(Dir.File("win"));
    std::vector<int> totals;
    QObject::connect(ui.Total, &QProgressBar::valueChanged, [&](int value) { totals.push_back(value); });
    Click(ui.BProcess);
    EXPECT_EQ(totals, (std::vector<int>{50, 0})); // 0 after the first file is no change
    EXPECT_EQ(ui.CurrentMessage->text(), QString());
    EXPECT_EQ(ui.Extracted->text(), QStringLiteral("Extracted: 4"));
    EXPECT_EQ(ui.Results->toPlainText(), QStringLiteral("Total 12288 bytes extracted."));
    EXPECT_TRUE(ui.SaveLog->isEnabled());
    EXPECT_FALSE(ui.Stop->isEnabled());
    EXPECT_TRUE(ui.BExtList->isEnabled());
    EXPECT_EQ(Dialogs.Messages, kCompleted);
    EXPECT_TRUE(Dialogs.Errors.empty());

    const std::string command = std::string(EIT_BATCH_DRIVER) + " --extlist " + Form.State().ExtListPath
        + " --output " + Dir.File("cli") + " " + Dir.File("a.bin") + " " + Dir.File("b.bin") + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(eit::test::ListTree(Dir.File("win")), eit::test::ListTree(Dir.File("cli")));
    std::string log = ReadFile(Dir.File("cli/result.log"));
    for (std::size_t at; (at = log.find(Dir.File("cli/"))) != std::string::npos;)
        log.replace(at, Dir.File("cli/").size(), Dir.File("win/"));
    EXPECT_EQ(ReadFile(Dir.File("win/result.log")), log);
    EXPECT_EQ(ReadFile(Dir.File("win/RAW/b_0009.raw")), ReadFile(Dir.File("cli/RAW/b_0009.raw")));
}

// The window's working folder follows a confirmed output folder, so the
// next batch's picker, and relative names, start there; a cancelled picker
// leaves it.
TEST_F(MainFormTest, WorkingFolderFollowsTheConfirmedOutputFolder)
{
    Add({Pack("a.bin")}, 1);
    const struct {
        std::optional<std::string> Picked;
        std::string After;
    } rows[] = {{std::nullopt, Dir.Path()}, {Dir.File("out"), Dir.File("out")}, {std::nullopt, Dir.File("out")}};
    std::filesystem::create_directories(Dir.File("out"));
    for (const auto& row : rows) {
        Dialogs.Dirs.push_back(row.Picked);
        Click(ui.BProcess);
        EXPECT_EQ(eit::CurrentDirectory(), row.After) << row.Picked.value_or("cancelled");
    }
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/result.log")));
}

TEST_F(MainFormTest, ClosingDuringABatchStopsItFirst)
{
    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    PickOut();
    bool closed = false;
    Form.State().ExtListPath = Dir.File("extlist.txt");
    auto& batch = Form.BatchRun();
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        if (!closed) {
            closed = true;
            Click(ui.BExit);
            EXPECT_TRUE(Form.isVisible()); // the batch unwinds first
        }
        batch.DispatchFile(mode, entry);
    };
    Click(ui.BProcess);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/TIM/b_0000.tim")));
}

TEST_F(MainFormTest, RelativeScanFolderStillOpensAfterTheBatchMoves)
{
    Pack("rel/a.bin");
    Dialogs.Scans.push_back({{QStringLiteral("rel"), 0}});
    Click(ui.ProcessDir);
    EXPECT_EQ(Entries(), QStringList{PathOf("rel/a.bin")});
    PickOut();
    Click(ui.BProcess);
    EXPECT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors.front().toStdString();
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/a_0000.tim")));
}

// The form's own results calls reach the model, which keeps the lines'
// bytes; typing into the pane tells the model, which then saves the pane's
// text: a byte the pane could not show is saved as the pane shows it.
TEST_F(MainFormTest, SavedResultsKeepTheBytesUntilThePaneIsTypedInto)
{
    Form.ClearResults();
    Form.AppendResult(kLatin1Name);
    Form.SetSaveLogEnabled(true);
    Dialogs.Saves.push_back(PathOf("res.txt"));
    Click(ui.SaveLog);
    EXPECT_EQ(ReadFile(Dir.File("res.txt")), kLatin1Name + "\r\n");
    EXPECT_EQ(Dialogs.Messages.back(), (std::pair<QString, QString>{"res.txt", "Operation status"}));
    EXPECT_FALSE(ui.SaveLog->isEnabled());

    ui.Results->appendPlainText(QStringLiteral("typed"));
    Form.AppendResult("second");
    Form.SetSaveLogEnabled(true);
    Dialogs.Saves.push_back(PathOf("res.txt"));
    Click(ui.SaveLog);
    EXPECT_EQ(ReadFile(Dir.File("res.txt")), "caf\xef\xbf\xbd\r\ntyped\r\nsecond\r\n");
}

TEST_F(MainFormTest, DirectoryPickerHandsBackTheBytesItOpenedAt)
{
    const std::string start = Dir.File(kLatin1Name);
    std::filesystem::create_directories(start + "/sub");
    const QString shown = QFile::decodeName(QByteArray::fromStdString(start));
    struct Case {
        QString Text;      // what the field holds when OK is pressed
        std::string Chosen;
    };
    const Case cases[] = {
        {shown, start},
        {shown + QStringLiteral("/sub"), start + "/sub"},
        {QStringLiteral("sub"), start + "/sub"},
        {QStringLiteral("sub/.."), start},
        {PathOf("out/new"), Dir.File("out/new")},
    };
    std::filesystem::create_directories(Dir.File("out/new"));
    for (const Case& c : cases) {
        TDirectoryPicker picker(QByteArray::fromStdString(start));
        auto* edit = picker.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), shown);
        edit->setText(c.Text);
        picker.accept();
        EXPECT_EQ(picker.result(), QDialog::Accepted) << c.Text.toStdString();
        EXPECT_EQ(picker.Directory().toStdString(), c.Chosen) << c.Text.toStdString();
    }
}

TEST_F(MainFormTest, ToolbarButtonsNameTheirActionAnswerTheirKeysAndStayCrisp)
{
    struct Case {
        QAbstractButton* Button;
        const char* Tip;
        QKeySequence Key;
    };
    const Case cases[] = {
        {ui.BAddLog, "Add files", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {ui.ProcessDir, "Process Directory", QKeySequence()},
        {ui.BSaveList, "Save list", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {ui.BRemLog, "Remove selected", QKeySequence(Qt::Key_Delete)},
        {ui.BClearAll, "Clear list", QKeySequence()},
        {ui.BProcess, "Process", QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {ui.BExit, "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {ui.BExtList, "Choose extension list", QKeySequence()},
        {ui.Stop, "", QKeySequence(Qt::Key_Escape)},
    };
    for (const Case& c : cases) {
        const std::string name = c.Button->objectName().toStdString();
        EXPECT_EQ(c.Button->toolTip(), QString::fromLatin1(c.Tip)) << name;
        EXPECT_EQ(c.Button->shortcut(), c.Key) << name;
        if (c.Button->parentWidget() != ui.ToolBar1)
            continue;
        // At 200% each picture comes from its own 32 x 32 drawing, pixel for
        // pixel the 16 x 16 one doubled: no blur from scaling.
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            const QIcon icon = c.Button->icon();
            const QImage small = icon.pixmap(QSize(16, 16), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage large = icon.pixmap(QSize(16, 16), 2.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
            EXPECT_EQ(large.size(), QSize(32, 32)) << name;
            EXPECT_EQ(large, small.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation)) << name << " " << mode;
        }
    }
    EXPECT_EQ(ui.BExtList->x(), 1 + 23 * 7);

    // A key clicks its button as the mouse would, after the button showed
    // itself pressed.
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    const auto press = [](QKeySequence key, const std::function<bool()>& done) {
        QTest::keySequence(QApplication::activeWindow(), key);
        return QTest::qWaitFor(done);
    };
    Dialogs.Opens.push_back({{Pack("a.bin"), Pack("b.bin")}, 1});
    EXPECT_TRUE(press(QKeySequence(Qt::CTRL | Qt::Key_O), [&] { return Entries().size() == 2; }));
    ui.LogList->item(0)->setSelected(true);
    EXPECT_TRUE(press(QKeySequence(Qt::Key_Delete), [&] { return Entries() == QStringList{PathOf("b.bin")}; }));
    Dialogs.Saves.push_back(PathOf("keys.lst"));
    EXPECT_TRUE(press(QKeySequence(Qt::CTRL | Qt::Key_S), [&] { return Dialogs.Saves.empty(); }));
    Dialogs.Dirs.push_back(std::nullopt);
    EXPECT_TRUE(press(QKeySequence(Qt::CTRL | Qt::Key_Return), [&] { return Dialogs.PickerStarts.size() == 1; }));
    Form.SetStopEnabled(true);
    EXPECT_TRUE(press(QKeySequence(Qt::Key_Escape), [&] { return Form.State().StopFlag == 1; }));
    EXPECT_TRUE(press(QKeySequence(Qt::CTRL | Qt::Key_Q), [&] { return !Form.isVisible(); }));
}

// Drags over the list ask the model what it takes; drops hand it the
// dropped names' bytes.
TEST_F(MainFormTest, DropsOnTheListReachTheModel)
{
    Pack("a.bin");
    Pack("b.BIN");
    File("note.txt");
    Pack("packs/" + kLatin1Name + ".bin");
    EXPECT_TRUE(Drop({Dir.File("a.bin"), Dir.File("b.BIN")}));
    EXPECT_EQ(Entries(), (QStringList{PathOf("a.bin"), PathOf("b.BIN")}));
    EXPECT_EQ(ListButtons(), kAllOn);

    EXPECT_TRUE(Drop({Dir.File("packs")}));
    ASSERT_EQ(Form.Model().InputCount(), 1);
    EXPECT_EQ(Form.Model().InputEntry(0), Dir.File("packs/" + kLatin1Name + ".bin"));
    EXPECT_TRUE(Form.State().ScannedList);

    EXPECT_FALSE(Drop({Dir.File("note.txt")}));
    EXPECT_FALSE(Drop({}));
    EXPECT_EQ(Entries().size(), 1);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormTest, NextSessionStartsWhereThisOneLeftOff)
{
    Add({File("logs/x.log")}, 3);
    Pack("packs/a.bin");
    Dialogs.Scans.push_back({{PathOf("packs"), 0}});
    Click(ui.ProcessDir);
    PickOut();
    Click(ui.BProcess);
    Dialogs.ExtLists.push_back(File("lists/mine.txt", "tim\n\n"));
    Click(ui.BExtList);

    std::filesystem::create_directories(Dir.File("elsewhere"));
    eit::SetCurrentDirectory(Dir.File("elsewhere"));
    ScriptedDialogs dialogs;
    TMainForm next(dialogs);
    next.show();
    EXPECT_EQ(next.State().ExtListPath, Dir.File("lists/mine.txt"));
    EXPECT_EQ(next.Form().CurrentMessage->text(), ExtListStatus(Dir.File("lists/mine.txt")));
    EXPECT_EQ(next.Model().FilterIndex(), 3);
    dialogs.Scans.push_back(std::nullopt);
    Click(next.Form().ProcessDir);
    EXPECT_EQ(next.DirForm()->ScanDir(), PathOf("packs"));

    dialogs.Opens.push_back({{PathOf("packs/a.bin")}, 1});
    Click(next.Form().BAddLog);
    EXPECT_EQ(dialogs.OpenStarts, (std::vector<std::pair<QString, int>>{{PathOf("logs"), 3}}));
    dialogs.Dirs.push_back(std::nullopt);
    Click(next.Form().BProcess);
    EXPECT_EQ(dialogs.PickerStarts, std::vector<std::string>{Dir.File("out")});
}

} // namespace
