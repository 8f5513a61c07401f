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
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_FALSE(ui.Stop->isEnabled());
    EXPECT_FALSE(ui.SaveLog->isEnabled());
    EXPECT_EQ(Form.State().ProcessingMode, 0);
    EXPECT_EQ(Form.State().StartDir, Dir.Path() == eit::CurrentDirectory() ? SavedDir : Form.State().StartDir);
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

TEST_F(MainFormTest, ListButtonsFollowTheList)
{
    Add({}, 1); // cancelled with an empty list
    EXPECT_EQ(ListButtons(), kAllOff);

    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    EXPECT_EQ(ListButtons(), kAllOn);
    EXPECT_EQ(Form.State().ProcessingMode, 1);

    Add({}, 1); // cancelled with entries: all four on again
    EXPECT_EQ(ListButtons(), kAllOn);

    Click(ui.BClearAll);
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_EQ(Form.State().ProcessingMode, 1);
}

TEST_F(MainFormTest, ChangingTheFilterStartsANewList)
{
    Add({Pack("a.bin")}, 1);
    Add({File("x.log"), File("y.log")}, 3);
    EXPECT_EQ(Entries(), (QStringList{File("x.log"), File("y.log")}));
    EXPECT_EQ(Form.State().ProcessingMode, 2);
    Add({File("z.log")}, 3);
    EXPECT_EQ(Entries().size(), 3);
}

TEST_F(MainFormTest, ProjectListReplacesTheListAndSavesBack)
{
    Add({File("p.log")}, 3);
    const QString list = File("list.lst", "one\r\ntwo with blanks\nthree");
    Add({list}, 2);
    EXPECT_EQ(Entries(), (QStringList{"one", "two with blanks", "three"}));
    EXPECT_EQ(Form.State().ProcessingMode, 3);
    Add({list}, 2); // replaces again, even in mode 3
    EXPECT_EQ(Entries().size(), 3);

    Dialogs.Saves.push_back(PathOf("saved.lst"));
    Click(ui.BSaveList);
    EXPECT_EQ(ReadFile(Dir.File("saved.lst")), "one\r\ntwo with blanks\r\nthree\r\n");
    Click(ui.BClearAll);
    Add({PathOf("saved.lst")}, 2);
    EXPECT_EQ(Entries(), (QStringList{"one", "two with blanks", "three"}));
}

TEST_F(MainFormTest, RemovesTheSelectedEntries)
{
    Add({File("1.log"), File("2.log"), File("3.log"), File("4.log")}, 3);
    ui.LogList->item(1)->setSelected(true);
    ui.LogList->item(2)->setSelected(true);
    Click(ui.BRemLog);
    EXPECT_EQ(Entries(), (QStringList{File("1.log"), File("4.log")}));
    EXPECT_EQ(ui.LogList->currentRow(), 1);

    ui.LogList->clearSelection();
    Click(ui.BRemLog); // nothing selected: nothing goes
    EXPECT_EQ(Entries().size(), 2);

    ui.LogList->selectAll();
    Click(ui.BRemLog);
    EXPECT_EQ(ListButtons(), kAllOff);
    EXPECT_EQ(ui.LogList->currentRow(), -1);
}

TEST_F(MainFormTest, BatchOfThreePacksFromTheWindow)
{
    Add({Pack("a.bin"), Pack("b.bin"), Pack("c.bin")}, 1);
    PickOut();
    // After each file Total shows the share done before it: 0, 33, 66; then 0.
    std::vector<int> totals;
    std::vector<QString> statuses;
    auto& batch = Form.BatchRun();
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        batch.DispatchFile(mode, entry);
        statuses.push_back(ui.CurrentMessage->text());
    };
    QObject::connect(ui.Total, &QProgressBar::valueChanged, [&](int value) { totals.push_back(value); });
    Click(ui.BProcess);

    EXPECT_EQ(Dialogs.PickerStarts, std::vector<std::string>{Dir.Path()});
    EXPECT_EQ(totals, (std::vector<int>{33, 66, 0})); // 0 after the first file is no change
    EXPECT_EQ(ui.Total->value(), 0);
    EXPECT_EQ(statuses, (std::vector<QString>{"Processing a.bin...", "Processing b.bin...", "Processing c.bin..."}));
    EXPECT_EQ(ui.CurrentMessage->text(), QString());
    EXPECT_EQ(ui.Extracted->text(), QStringLiteral("Extracted: 6")); // stays until the next batch
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/result.log")));
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/c_0000.tim")));
    EXPECT_EQ(ui.Results->toPlainText(), QStringLiteral("Total 18432 bytes extracted."));
    EXPECT_TRUE(ui.SaveLog->isEnabled());
    EXPECT_FALSE(ui.Stop->isEnabled());
    EXPECT_EQ(Dialogs.Messages, kCompleted);
    EXPECT_TRUE(Dialogs.Errors.empty());

    // The results pane is saved with CR LF, and the box names only the file.
    Dialogs.Saves.push_back(PathOf("notes/res.txt"));
    std::filesystem::create_directories(Dir.File("notes"));
    ui.Results->appendPlainText(QStringLiteral("typed"));
    Click(ui.SaveLog);
    EXPECT_EQ(ReadFile(Dir.File("notes/res.txt")), "Total 18432 bytes extracted.\r\ntyped\r\n");
    EXPECT_EQ(Dialogs.Messages.back(), (std::pair<QString, QString>{"res.txt", "Operation status"}));
    EXPECT_FALSE(ui.SaveLog->isEnabled());
}

TEST_F(MainFormTest, WindowAndBatchDriverWriteTheSameFiles)
{
    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    Dialogs.Dirs.push_back(Dir.File("win"));
    std::filesystem::create_directories(Dir.File("win"));
    Click(ui.BProcess);

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

// A replayed log that names no pack format says so in the results pane.
TEST_F(MainFormTest, ReplayedLogNamingNoPackSaysSoInTheResults)
{
    Add({File("r.log", "#Format: bin\r\n")}, 3);
    PickOut();
    Click(ui.BProcess);
    EXPECT_EQ(ui.Results->toPlainText(),
              PathOf("r.log") + QStringLiteral(": no \"#Format: BIN\" record, nothing rebuilt"));
    EXPECT_TRUE(ui.SaveLog->isEnabled());
    EXPECT_EQ(Dialogs.Messages, kCompleted);
}

TEST_F(MainFormTest, CancelledPickerStillCompletes)
{
    Add({Pack("a.bin")}, 1);
    ui.Results->setPlainText(QStringLiteral("old text"));
    Dialogs.Dirs.push_back(std::nullopt);
    Click(ui.BProcess);
    EXPECT_TRUE(ui.Results->toPlainText().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(Dir.File("result.log")));
    EXPECT_EQ(Dialogs.Messages.size(), 1u);
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

TEST_F(MainFormTest, ClickInsideARunningBatchIsIgnoredButTheListStaysLive)
{
    Add({Pack("a.bin"), Pack("b.bin")}, 1);
    PickOut();
    auto& batch = Form.BatchRun();
    bool once = false;
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        if (!once) {
            once = true;
            Click(ui.BProcess);  // would empty ResultLog under us
            Add({Pack("c.bin")}, 1);
        }
        batch.DispatchFile(mode, entry);
    };
    Click(ui.BProcess);
    EXPECT_EQ(Dialogs.PickerStarts.size(), 1u);
    EXPECT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/c_0000.tim")));
    EXPECT_EQ(Form.State().ResultLog.Count(), 3 * (2 + 8192));
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
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/TIM/a_0000.tim")));
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_EQ(eit::test::ListTree(Dir.File("out")), "result.log\n"); // nothing half-written
}

TEST_F(MainFormTest, StopClickedWhileALargeEntryIsCopiedDiscardsIt)
{
    PackBuilder().Entry(0, 1).ZeroEntry(1, 12 * 1024).WriteSparse(Dir.File("big.bin"));
    Add({PathOf("big.bin"), Pack("after.bin")}, 1);
    PickOut();
    // The first move of the bar comes while slot 1 is copied; the click is
    // queued so that the pump that follows the move delivers it.
    bool queued = false;
    int logLinesAtClick = -1;
    bool listButtonDuringBatch = true;
    QObject::connect(ui.Progress, &QProgressBar::valueChanged, &Form, [&](int value) {
        if (value > 0 && !queued) {
            queued = true;
            QMetaObject::invokeMethod(&Form, [&] {
                logLinesAtClick = Form.State().ResultLog.Count();
                listButtonDuringBatch = ui.BExtList->isEnabled();
                Click(ui.Stop);
            }, Qt::QueuedConnection);
        }
    });
    Click(ui.BProcess);

    EXPECT_EQ(logLinesAtClick, 3); // "#Format", "#Source", slot 0
    EXPECT_FALSE(listButtonDuringBatch); // the checked list cannot change under the batch
    EXPECT_TRUE(ui.BExtList->isEnabled());
    EXPECT_EQ(eit::test::ListTree(Dir.File("out")), "TIM/big_0000.tim\nresult.log\n");
    EXPECT_EQ(ReadFile(Dir.File("out/result.log")),
              "#Format: BIN\r\n#Source: " + Dir.File("big.bin") + "\r\n" + Dir.File("out/TIM/big_0000.tim") + "\r\n");
    EXPECT_FALSE(ui.Stop->isEnabled());
    EXPECT_EQ(Dialogs.Messages, kCompleted);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormTest, ScanFillsTheListUntilFilesAreAddedAgain)
{
    Pack("packs/a.bin");
    Pack("packs/sub/b.BIN");
    Pack("packs/sub/deep/c.bin");
    File("packs/sub/x.log");
    Add({PathOf("packs/sub/x.log")}, 3); // the open dialog last showed log files
    Dialogs.Scans.push_back({{PathOf("packs"), 0}});
    Click(ui.ProcessDir);
    EXPECT_EQ(Entries(), (QStringList{PathOf("packs/sub/deep/c.bin"), PathOf("packs/sub/b.BIN"), PathOf("packs/a.bin")}));
    EXPECT_EQ(Form.State().ProcessingMode, 1);
    EXPECT_TRUE(Form.State().ScannedList);
    EXPECT_EQ(Form.State().ScanRoot, Dir.File("packs"));
    EXPECT_EQ(ListButtons(), kAllOn);

    // Extraction mirrors the scanned folders below the output folder.
    PickOut();
    Click(ui.BProcess);
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/sub/deep/TIM/c_0000.tim")));
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/sub/TIM/b_0000.tim")));
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/a_0000.tim")));
    // The log names the packs' format, so that a replay finds them again.
    EXPECT_EQ(eit::test::ReadFile(Dir.File("out/result.log")).substr(0, 14), "#Format: BIN\r\n");

    Dialogs.Scans.push_back(std::nullopt); // cancelled: nothing changes
    Click(ui.ProcessDir);
    EXPECT_EQ(Entries().size(), 3);
    EXPECT_EQ(ListButtons(), kAllOn);

    Add({}, 1); // the scanned list goes even when the dialog is cancelled
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_FALSE(Form.State().ScannedList);
    EXPECT_EQ(ListButtons(), (std::vector<bool>{false, false, true, false}));
}

TEST_F(MainFormTest, ScanTypeSetsTheModeAndAnEmptyScanEmptiesTheList)
{
    File("logs/one.LOG");
    Dialogs.Scans.push_back({{PathOf("logs"), 2}});
    Click(ui.ProcessDir);
    EXPECT_EQ(Entries(), QStringList{PathOf("logs/one.LOG")});
    EXPECT_EQ(Form.State().ProcessingMode, 2);

    Dialogs.Scans.push_back({{PathOf("nowhere"), 1}});
    Click(ui.ProcessDir);
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(Form.State().ProcessingMode, 3);
    EXPECT_FALSE(Form.State().ScannedList);
    EXPECT_EQ(ListButtons(), (std::vector<bool>{false, false, true, false}));
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

TEST_F(MainFormTest, ScannedPackWithALatin1NameIsExtracted)
{
    const std::string pack = "packs/" + kLatin1Name + ".bin";
    Pack(pack);
    Dialogs.Scans.push_back({{PathOf("packs"), 0}});
    Click(ui.ProcessDir);
    ASSERT_EQ(ui.LogList->count(), 1);
    EXPECT_EQ(Form.InputEntry(0), Dir.File(pack));

    PickOut();
    Click(ui.BProcess);
    EXPECT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors.front().toStdString();
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/" + kLatin1Name + "_0000.tim")));
    EXPECT_NE(ReadFile(Dir.File("out/result.log")).find("#Source: " + Dir.File(pack) + "\r\n"), std::string::npos);
}

TEST_F(MainFormTest, ProjectListWithLatin1BytesSavesBackByteIdentical)
{
    const std::string list = "/data/" + kLatin1Name + ".bin\r\nna\xefve.log\r\nplain\r\n";
    Add({File("list.lst", list)}, 2);
    ASSERT_EQ(ui.LogList->count(), 3);
    EXPECT_EQ(Form.InputEntry(0), "/data/" + kLatin1Name + ".bin"); // what the batch and the replay get
    Dialogs.Saves.push_back(PathOf("saved.lst"));
    Click(ui.BSaveList);
    EXPECT_EQ(ReadFile(Dir.File("saved.lst")), list);
}

TEST_F(MainFormTest, SavedResultsKeepTheBytesTheBatchAppended)
{
    struct Case {
        const char* Name;
        const char* Typed; // typed into the pane between the two lines, or null
        std::string Saved;
    };
    const Case cases[] = {
        {"untouched pane", nullptr, kLatin1Name + "\r\nsecond\r\n"},
        {"typed into", "typed", "caf\xef\xbf\xbd\r\ntyped\r\nsecond\r\n"},
    };
    for (const Case& c : cases) {
        Form.ClearResults();
        Form.AppendResult(kLatin1Name);
        if (c.Typed)
            ui.Results->appendPlainText(QString::fromLatin1(c.Typed));
        Form.AppendResult("second");
        Form.SetSaveLogEnabled(true);
        Dialogs.Saves.push_back(PathOf("res.txt"));
        Click(ui.SaveLog);
        EXPECT_EQ(ReadFile(Dir.File("res.txt")), c.Saved) << c.Name;
    }
}

TEST_F(MainFormTest, OutputFolderWithALatin1NameKeptInThePicker)
{
    Add({Pack("a.bin")}, 1);
    std::filesystem::create_directories(Dir.File(kLatin1Name));
    eit::SetCurrentDirectory(Dir.File(kLatin1Name));
    Dialogs.Dirs.push_back(""); // confirmed as opened
    Click(ui.BProcess);
    EXPECT_EQ(Dialogs.PickerStarts, std::vector<std::string>{Dir.File(kLatin1Name)});
    EXPECT_TRUE(std::filesystem::exists(Dir.File(kLatin1Name + "/result.log")));
    EXPECT_TRUE(std::filesystem::exists(Dir.File(kLatin1Name + "/TIM/a_0000.tim")));
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

TEST_F(MainFormTest, CancelledPickerAfterABatchRepeatsNoTotal)
{
    Add({Pack("a.bin")}, 1);
    PickOut();
    Click(ui.BProcess);
    EXPECT_EQ(ui.Results->toPlainText(), QStringLiteral("Total 6144 bytes extracted."));
    Dialogs.Saves.push_back(PathOf("res.txt"));
    Click(ui.SaveLog);
    ASSERT_FALSE(ui.SaveLog->isEnabled());

    Dialogs.Dirs.push_back(std::nullopt);
    Click(ui.BProcess);
    EXPECT_EQ(ui.Results->toPlainText(), QString());
    EXPECT_FALSE(ui.SaveLog->isEnabled());
    EXPECT_EQ(Form.State().ExtractedBytes, 0);
    EXPECT_EQ(Dialogs.Messages.back().first, QStringLiteral("Operation complete!"));
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

TEST_F(MainFormTest, DroppedFilesAreAddedAsTheOpenDialogAddsThem)
{
    Pack("a.bin");
    Pack("b.BIN");
    File("x.log");
    File("y.log");
    File("note.txt");
    File("p.lst", "one\r\ntwo\r\n");
    Pack("packs/sub/c.bin");
    Pack("packs/d.bin");
    File("packs/z.log");
    struct Case {
        const char* Name;
        std::vector<std::string> Before; // dropped first
        std::vector<std::string> Dropped;
        QStringList Entries;
        int Mode;
        bool Scanned;
    };
    const auto at = [this](std::initializer_list<const char*> names) {
        std::vector<std::string> paths;
        for (const char* name : names)
            paths.push_back(Dir.File(name));
        return paths;
    };
    const Case cases[] = {
        {"packs", {}, at({"a.bin", "b.BIN"}), {PathOf("a.bin"), PathOf("b.BIN")}, 1, false},
        {"more packs append", at({"a.bin"}), at({"b.BIN"}), {PathOf("a.bin"), PathOf("b.BIN")}, 1, false},
        {"a new mode empties the list", at({"a.bin"}), at({"x.log"}), {PathOf("x.log")}, 2, false},
        {"the first known type decides", {}, at({"note.txt", "x.log", "a.bin", "y.log"}), {PathOf("x.log"), PathOf("y.log")}, 2, false},
        {"a project list gives its lines", at({"x.log"}), at({"p.lst", "x.log"}), {"one", "two"}, 3, false},
        {"a folder is scanned for packs", at({"x.log"}), at({"packs", "a.bin"}), {PathOf("packs/sub/c.bin"), PathOf("packs/d.bin")}, 1, true},
        {"files replace a scanned list", at({"packs"}), at({"a.bin"}), {PathOf("a.bin")}, 1, false},
    };
    for (const Case& c : cases) {
        ui.LogList->clear();
        Form.State().ProcessingMode = 0;
        Form.State().ScannedList = false;
        if (!c.Before.empty()) {
            ASSERT_TRUE(Drop(c.Before)) << c.Name;
        }
        ASSERT_TRUE(Drop(c.Dropped)) << c.Name;
        EXPECT_EQ(Entries(), c.Entries) << c.Name;
        EXPECT_EQ(Form.State().ProcessingMode, c.Mode) << c.Name;
        EXPECT_EQ(Form.State().ScannedList, c.Scanned) << c.Name;
        EXPECT_EQ(ListButtons(), kAllOn) << c.Name;
    }
    // The "#Format: " records follow the type of what was dropped.
    Drop(at({"x.log"}));
    Drop(at({"a.bin"}));
    EXPECT_EQ(Form.FilterIndex(), 1);

    EXPECT_FALSE(Drop(at({"note.txt"})));
    EXPECT_FALSE(Drop({}));
    EXPECT_EQ(Entries(), QStringList{PathOf("a.bin")});
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormTest, CommandLineNamesAreTakenFromTheWorkingDirectory)
{
    Pack("a.bin");
    Pack("b.bin");
    Form.AddPaths({"a.bin", "--unknown", "b.bin", "x.log"});
    EXPECT_EQ(Entries(), (QStringList{PathOf("a.bin"), PathOf("b.bin")}));
    EXPECT_EQ(Form.State().ProcessingMode, 1);
    EXPECT_EQ(ListButtons(), kAllOn);
}

TEST_F(MainFormTest, FinalCountStaysUntilTheNextBatchStarts)
{
    Add({Pack("a.bin")}, 1);
    PickOut();
    Click(ui.BProcess);
    EXPECT_EQ(ui.Extracted->text(), QStringLiteral("Extracted: 2"));

    QStringList seen;
    auto& batch = Form.BatchRun();
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) {
        seen << ui.Extracted->text();
        batch.DispatchFile(mode, entry);
    };
    Dialogs.Dirs.push_back(Dir.File("out"));
    Click(ui.BProcess);
    EXPECT_EQ(seen, QStringList{"Extracted: 0"});
    EXPECT_EQ(ui.Extracted->text(), QStringLiteral("Extracted: 2"));
}

TEST_F(MainFormTest, ChosenExtensionListShowsInTheStatusLine)
{
    EXPECT_EQ(ui.CurrentMessage->text(), ExtListStatus(eit::DefaultExtListPath()));
    Dialogs.ExtLists.push_back(QString()); // cancelled
    Click(ui.BExtList);
    EXPECT_EQ(Form.State().ExtListPath, Dir.File("extlist.txt"));

    const QString chosen = File("lists/mine.txt", "tim\n\n");
    Dialogs.ExtLists.push_back(chosen);
    Click(ui.BExtList);
    EXPECT_EQ(Dialogs.ExtListStarts, (std::vector<QString>{PathOf("extlist.txt"), PathOf("extlist.txt")}));
    EXPECT_EQ(Form.State().ExtListPath, Dir.File("lists/mine.txt"));
    EXPECT_EQ(ui.CurrentMessage->text(), ExtListStatus(Dir.File("lists/mine.txt")));

    // The batch uses it, and leaves the line empty as a finished batch does.
    Add({Pack("a.bin")}, 1);
    PickOut();
    Click(ui.BProcess);
    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/a_0000.tim")));
    EXPECT_EQ(ui.CurrentMessage->text(), QString());
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
    EXPECT_EQ(next.DirForm()->ScanDir(), PathOf("packs"));
    EXPECT_EQ(next.FilterIndex(), 3);

    dialogs.Opens.push_back({{PathOf("packs/a.bin")}, 1});
    Click(next.Form().BAddLog);
    EXPECT_EQ(dialogs.OpenStarts, (std::vector<std::pair<QString, int>>{{PathOf("logs"), 3}}));
    dialogs.Dirs.push_back(std::nullopt);
    Click(next.Form().BProcess);
    EXPECT_EQ(dialogs.PickerStarts, std::vector<std::string>{Dir.File("out")});
}

// Tests of all the error paths follow.

TEST_F(MainFormTest, RememberedOutputFolderDeletedMeanwhileIsNotOffered)
{
    Add({Pack("a.bin")}, 1);
    PickOut();
    Click(ui.BProcess);
    ASSERT_EQ(Dialogs.PickerStarts, std::vector<std::string>{Dir.Path()});

    std::filesystem::create_directories(Dir.File("elsewhere"));
    eit::SetCurrentDirectory(Dir.File("elsewhere"));
    std::filesystem::remove_all(eit::test::FsPath(Dir.File("out")));
    Dialogs.Dirs.push_back(std::nullopt);
    Click(ui.BProcess);
    EXPECT_EQ(Dialogs.PickerStarts, (std::vector<std::string>{Dir.Path(), Dir.File("elsewhere")}));
}

TEST_F(MainFormTest, ErrorOnTheSecondPackIsShownAndTheWindowStaysUsable)
{
    Add({Pack("a.bin"), PathOf("gone.bin"), Pack("c.bin")}, 1);
    PickOut();
    Click(ui.BProcess);
    EXPECT_EQ(Dialogs.Errors, std::vector<QString>{QString::fromStdString("Cannot open file " + Dir.File("gone.bin"))});
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_TRUE(std::filesystem::exists(Dir.File("out/TIM/a_0000.tim")));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/TIM/c_0000.tim")));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/result.log")));
    EXPECT_FALSE(Form.BatchRun().Running());
    // At rest, as after a finished batch, with the list as it was.
    EXPECT_FALSE(ui.Stop->isEnabled());
    EXPECT_EQ(ui.Progress->value(), 0);
    EXPECT_EQ(ui.Total->value(), 0);
    EXPECT_EQ(ui.CurrentMessage->text(), QString());
    EXPECT_EQ(ui.Extracted->text(), QStringLiteral("Extracted: 2"));
    EXPECT_EQ(Entries().size(), 3);

    Click(ui.BClearAll); // still answers
    EXPECT_EQ(ListButtons(), kAllOff);
}

TEST_F(MainFormTest, WhateverAHandlerThrowsIsShownAndTheWindowStaysUsable)
{
    Add({Pack("a.bin")}, 1);
    const struct {
        void (*Throw)();
        const char* Shown;
    } cases[] = {{[] { throw eit::FileError("Cannot create file /x/TIM/a_0000.tim"); },
                  "Cannot create file /x/TIM/a_0000.tim"},
                 {[] { throw std::bad_alloc(); }, "Out of memory"},
                 {[] { throw 42; }, "Unexpected error"}};
    auto& batch = Form.BatchRun();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shown);
        Dialogs.Errors.clear();
        Dialogs.Dirs.push_back(Dir.Path());
        batch.FileHandler = [&](std::uint8_t, const std::string&) { c.Throw(); };
        Click(ui.BProcess);
        EXPECT_EQ(Dialogs.Errors, std::vector<QString>{c.Shown});
        EXPECT_FALSE(batch.Running());
        EXPECT_FALSE(ui.Stop->isEnabled());
        EXPECT_EQ(ui.Total->value(), 0);
    }
    EXPECT_TRUE(Dialogs.Messages.empty());

    // The next batch runs to its end.
    batch.FileHandler = [&](std::uint8_t mode, const std::string& entry) { batch.DispatchFile(mode, entry); };
    Dialogs.Dirs.push_back(Dir.Path());
    Click(ui.BProcess);
    EXPECT_TRUE(std::filesystem::exists(Dir.File("TIM/a_0000.tim")));
    EXPECT_EQ(Dialogs.Messages, kCompleted);
}

TEST_F(MainFormTest, ProjectListThatCannotBeReadIsNamed)
{
    Add({PathOf("none.lst")}, 2);
    EXPECT_EQ(Dialogs.Errors, std::vector<QString>{QString::fromStdString("Cannot open file " + Dir.File("none.lst"))});
    EXPECT_EQ(ListButtons(), (std::vector<bool>{false, false, false, false}));

    // A list already in mode 3 stays, and so do its buttons.
    Add({File("good.lst", "one\r\ntwo\r\n")}, 2);
    Add({PathOf("gone.lst")}, 2);
    EXPECT_EQ(Dialogs.Errors.size(), 2u);
    EXPECT_EQ(Entries(), (QStringList{"one", "two"}));
    EXPECT_EQ(ListButtons(), kAllOn);
}

TEST_F(MainFormTest, ExtensionListIsCheckedBeforeTheOutputFolderIsAsked)
{
    // What extracting the pack would say about the list, if anything.
    const auto extractionError = [this](const std::string& pack, const std::string& list) {
        eit::BatchState state;
        state.ExtListPath = list;
        state.TargetDir = Dir.File("probe");
        eit::QuietBatchView view;
        return QString::fromStdString(eit::test::ErrorOf([&] { eit::ExtractPack(pack, state, view); }, ""));
    };
    struct Case {
        const char* Name;
        const char* List; // null: missing
        bool PickerAsked;
    };
    const Case cases[] = {
        {"missing list", nullptr, false},
        {"empty list", "", false},
        {"one line short of the bigger pack", "tim\ntim\n", false},
        {"enough lines", "tim\n\ntim\n", true},
    };
    WriteFile(Dir.File("small.bin"), PackBuilder().Entry(0, 1).Bytes());
    WriteFile(Dir.File("big.bin"), PackBuilder().Entry(0, 1).Entry(5, 1).Entry(9, 1).Bytes());
    Add({PathOf("small.bin"), PathOf("big.bin")}, 1);
    for (const Case& c : cases) {
        const std::string list = Dir.File(std::string("lists/") + c.Name + ".txt");
        if (c.List)
            WriteFile(list, c.List);
        Form.State().ExtListPath = list;
        Dialogs.Errors.clear();
        Dialogs.PickerStarts.clear();
        if (c.PickerAsked)
            Dialogs.Dirs.push_back(std::nullopt);
        Click(ui.BProcess);
        const QString expected = extractionError(Dir.File("big.bin"), list);
        EXPECT_EQ(Dialogs.Errors, expected.isEmpty() ? std::vector<QString>{} : std::vector<QString>{expected}) << c.Name;
        EXPECT_EQ(Dialogs.PickerStarts.size(), c.PickerAsked ? 1u : 0u) << c.Name;
    }
    EXPECT_EQ(Dialogs.Messages.size(), 1u); // only the batch that ran completed
}

} // namespace
