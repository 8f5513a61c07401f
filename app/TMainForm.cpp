#include "TMainForm.h"

#include "Dialogs.h"
#include "FileError.h"
#include "FileUtil.h"
#include "Formats.h"
#include "Guard.h"
#include "LineList.h"
#include "CollectFiles.h"
#include "PackSurvey.h"
#include "PathText.h"
#include "TDirForm.h"
#include "ToolIcon.h"
#include "TTarga.h"
#include "TextObject.h"
#include "ui_TDirForm.h"
#include "ui_TMainForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScreen>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTextDocument>
#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace {

QString FromText(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToText(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

std::string ToPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Each LogList entry keeps its path's bytes here; its text only shows them.
constexpr int kEntryPathRole = Qt::UserRole;

// Where the window keeps what it remembers between sessions.
const QString kExtListKey = QStringLiteral("ExtensionList");
const QString kOpenDirKey = QStringLiteral("OpenFolder");
const QString kOpenFilterKey = QStringLiteral("OpenFilter");
const QString kOutputDirKey = QStringLiteral("OutputFolder");
const QString kScanDirKey = QStringLiteral("ScanFolder");

// The open dialog's filter position (from 1) whose mask names path's type;
// 0 when none does.
int FilterOfFile(const std::string& path)
{
    const std::vector<eit::FilterPair> pairs = eit::FilterPairs(eit::kInputFilter);
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (eit::MatchesMask(eit::FileNamePart(path), pairs[i].Mask))
            return static_cast<int>(i) + 1;
    return 0;
}

std::vector<std::string> DroppedPaths(const QMimeData* data)
{
    std::vector<std::string> paths;
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                paths.push_back(ToPath(url.toLocalFile()));
    return paths;
}

bool CanTake(const std::vector<std::string>& paths)
{
    return std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        return FilterOfFile(path) != 0 || eit::KindOf(path) == eit::FileKind::Directory;
    });
}

// The open dialog's filter in Qt's form: "Data Packs (*.bin);;...".
QString QtFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << (parts[i].contains(QLatin1Char('(')) ? parts[i] : parts[i] + QStringLiteral(" (%1)").arg(parts[i + 1]));
    return filters.join(QStringLiteral(";;"));
}

} // namespace

TMainForm::TMainForm(TDialogs& dialogs, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TMainForm>()), FDialogs(dialogs), FBatch(FState, *this)
{
    Q_INIT_RESOURCE(resources); // the pictures live in a static library
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(688, 464);

    ui->BAddLog->setIcon(ToolIcon("open_folder", true));
    ui->BSaveList->setIcon(ToolIcon("disk", true));
    ui->BRemLog->setIcon(ToolIcon("bin", true));
    ui->BClearAll->setIcon(ToolIcon("bin", true));
    ui->BProcess->setIcon(ToolIcon("window", true));
    ui->ProcessDir->setIcon(ToolIcon("closed_folder", true));
    ui->BExit->setIcon(ToolIcon("pen_sheet", false));
    ui->BExtList->setIcon(ToolIcon("ext_list", true));

    ConnectClick(ui->BAddLog, &TMainForm::BAddLogClick);
    ConnectClick(ui->ProcessDir, &TMainForm::ProcessDirClick);
    ConnectClick(ui->BSaveList, &TMainForm::BSaveListClick);
    ConnectClick(ui->BRemLog, &TMainForm::BRemLogClick);
    ConnectClick(ui->BClearAll, &TMainForm::BClearAllClick);
    ConnectClick(ui->BProcess, &TMainForm::BProcessClick);
    ConnectClick(ui->BExit, &TMainForm::BExitClick);
    ConnectClick(ui->SaveLog, &TMainForm::SaveLogClick);
    ConnectClick(ui->Stop, &TMainForm::StopClick);
    ConnectClick(ui->BExtList, &TMainForm::BExtListClick);
    // Once the user edits the results, "Save results" saves what they see.
    connect(ui->Results, &QPlainTextEdit::textChanged, this, [this] {
        if (!FWritingResults) {
            FResultsOurs = false;
            FResultLines.clear();
        }
    });
    // Set here, not in the form: a caption set later would clear it.
    ui->Stop->setShortcut(QKeySequence(Qt::Key_Escape));

    // Drops land on the viewport; a test may hand them to the list itself.
    ui->LogList->setAcceptDrops(true);
    ui->LogList->viewport()->setAcceptDrops(true);
    ui->LogList->installEventFilter(this);
    ui->LogList->viewport()->installEventFilter(this);

    // The components the form carries for its users; the tool itself does
    // not call them.
    FTextObject = new TTextObject(this);
    FTextObject->TextStyle = TTextObject::IniStyle;
    FTextObject->AsciiZ = true;
    FTextObject->ClearBounds = true;
    FTextObject->LinuxFormat = true;
    FTextObject->TextAlign = 1;
    FTarga = new TTarga(this);
    FTarga->SetWidth(256);
    FTarga->SetHeight(256);
    FTarga->SetDepth(32);

    FDirForm = new TDirForm(FDialogs, [] { return QString::fromLatin1(eit::kInputFilter); }, this);
    FormCreate();

    const QSettings settings;
    if (const QByteArray list = settings.value(kExtListKey).toByteArray(); !list.isEmpty())
        FState.ExtListPath = list.toStdString();
    FSelectLogDir = settings.value(kOpenDirKey).toString();
    if (const int filter = settings.value(kOpenFilterKey, 1).toInt(); eit::FilterModeAt(filter) != 0)
        FSelectLogFilterIndex = filter;
    FDirForm->Controls().ScanDir->setText(ShownPath(settings.value(kScanDirKey).toByteArray()));
    ShowExtListStatus();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

void TMainForm::FormCreate()
{
    FBatch.FileHandler = [this](std::uint8_t mode, const std::string& entry) { FBatch.DispatchFile(mode, entry); };
    FState.ResultLog.Clear();
    FState.ReplayLines.Clear();
    FState.StartDir = eit::CurrentDirectory();
    FBatch.ProgressHandler = [this](int value) { FBatch.ShowProgress(value); };
}

void TMainForm::FormDestroy()
{
    FState.ResultLog.Clear();
    FState.ReplayLines.Clear();
}

template <typename Handler>
void TMainForm::Guarded(Handler&& handler)
{
    RunGuarded(FDialogs, this, std::forward<Handler>(handler));
    if (FCloseRequested && !FBatch.Running())
        close();
}

void TMainForm::ConnectClick(QAbstractButton* button, void (TMainForm::*handler)())
{
    connect(button, &QAbstractButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
}

void TMainForm::SetListButtons(bool enabled)
{
    ui->BClearAll->setEnabled(enabled);
    ui->BRemLog->setEnabled(enabled);
    ui->BProcess->setEnabled(enabled);
    ui->BSaveList->setEnabled(enabled);
}

void TMainForm::HoldListButtons()
{
    ui->BRemLog->setEnabled(false);
    ui->BProcess->setEnabled(false);
    ui->BSaveList->setEnabled(false);
}

void TMainForm::EnableListButtonsIfFilled()
{
    if (ui->LogList->count() > 0)
        SetListButtons(true);
}

void TMainForm::AddEntries(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        const QByteArray bytes = QByteArray::fromStdString(path);
        auto* item = new QListWidgetItem(ShownPath(bytes));
        item->setData(kEntryPathRole, bytes);
        ui->LogList->addItem(item);
    }
}

std::string TMainForm::EntryPath(int row) const
{
    const QListWidgetItem* item = ui->LogList->item(row);
    if (!item)
        throw eit::FileError::ListIndex(row);
    const QVariant bytes = item->data(kEntryPathRole);
    return bytes.isValid() ? bytes.toByteArray().toStdString() : ToPath(item->text());
}

void TMainForm::BeginAdding()
{
    if (FState.ScannedList) {
        ui->LogList->clear();
        FState.ScannedList = false;
    }
    HoldListButtons();
}

void TMainForm::BAddLogClick()
{
    BeginAdding();
    QStringList files;
    int filterIndex = FSelectLogFilterIndex;
    std::vector<std::string> paths;
    if (FDialogs.OpenFiles(this, QtFilter(QString::fromLatin1(eit::kInputFilter)), files, filterIndex, FSelectLogDir)) {
        QSettings().setValue(kOpenDirKey, FSelectLogDir);
        for (const QString& file : files)
            paths.push_back(ToPath(file));
    }
    AddSelection(paths, filterIndex);
}

void TMainForm::AddSelection(const std::vector<std::string>& files, int filterIndex)
{
    // Even when the project list cannot be read, the buttons end up matching
    // what the list still holds.
    try {
        if (!files.empty()) {
            FSelectLogFilterIndex = filterIndex;
            QSettings().setValue(kOpenFilterKey, filterIndex);
            const std::uint8_t mode = eit::FilterModeAt(filterIndex);
            if (mode != FState.ProcessingMode)
                ui->LogList->clear(); // the list never mixes files of different modes
            FState.ProcessingMode = mode;
            if (mode == eit::kModeReplayList) {
                eit::LineList lines;
                lines.LoadFromFile(files.front());
                ui->LogList->clear();
                AddEntries(lines.Items());
            } else {
                AddEntries(files);
            }
        }
    } catch (...) {
        EnableListButtonsIfFilled();
        throw;
    }
    EnableListButtonsIfFilled();
}

void TMainForm::AddPaths(const std::vector<std::string>& paths)
{
    Guarded([&] {
        for (const std::string& path : paths) {
            const std::string absolute = eit::MakeAbsolute(path);
            if (eit::KindOf(absolute) == eit::FileKind::Directory) {
                HoldListButtons();
                ScanFolder(absolute, eit::FilterMask(eit::kInputFilter, 0), 0);
                EnableListButtonsIfFilled();
                return;
            }
            if (const int filter = FilterOfFile(path); filter != 0) {
                std::vector<std::string> files;
                for (const std::string& other : paths)
                    if (FilterOfFile(other) == filter && eit::KindOf(other) != eit::FileKind::Directory)
                        files.push_back(eit::MakeAbsolute(other));
                BeginAdding();
                AddSelection(files, filter);
                return;
            }
        }
    });
}

void TMainForm::BRemLogClick()
{
    QListWidget* list = ui->LogList;
    for (int i = list->count() - 1; i >= 0; --i)
        if (list->item(i)->isSelected())
            delete list->takeItem(i);
    if (list->count() > 0) {
        list->setCurrentRow(list->count() - 1, QItemSelectionModel::NoUpdate);
    } else {
        SetListButtons(false);
        list->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    }
}

void TMainForm::BClearAllClick()
{
    ui->LogList->clear();
    SetListButtons(false);
}

void TMainForm::BSaveListClick()
{
    QString file;
    if (!FDialogs.SaveFile(this, QStringLiteral("Select file..."), QStringLiteral("Project list files (*.lst)"),
                           QStringLiteral("lst"), file))
        return;
    eit::LineList lines;
    lines.Reserve(static_cast<std::size_t>(ui->LogList->count()));
    for (int i = 0; i < ui->LogList->count(); ++i)
        lines.Add(EntryPath(i));
    lines.SaveToFile(ToPath(file));
}

void TMainForm::SaveLogClick()
{
    QString file;
    if (!FDialogs.SaveFile(this, QStringLiteral("Select target..."), QStringLiteral("Text files (*.txt)"),
                           QStringLiteral("txt"), file))
        return;
    eit::LineList lines;
    const QString text = ui->Results->toPlainText();
    if (FResultsOurs) {
        for (const std::string& line : FResultLines)
            lines.Add(line);
    } else if (!text.isEmpty()) {
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines.Add(ToText(line));
    }
    const std::string path = ToPath(file);
    lines.SaveToFile(path);
    FDialogs.Message(this, ShownPath(QByteArray::fromStdString(eit::FileNamePart(path))), QStringLiteral("Operation status"));
    ui->SaveLog->setEnabled(false);
}

void TMainForm::BExitClick()
{
    close();
}

void TMainForm::BProcessClick()
{
    // A missing or short extension list is named before the output folder
    // is asked for, not after the first packs were written.
    if (!FBatch.Running() && FState.ProcessingMode == eit::kModeExtract && ui->LogList->count() > 0) {
        std::vector<std::string> packs;
        for (int i = 0; i < ui->LogList->count(); ++i)
            packs.push_back(EntryPath(i));
        eit::CheckExtensionList(FState.ExtListPath, packs);
    }
    // The list was checked for this batch: it cannot change under it.
    const bool wasRunning = FBatch.Running();
    ui->BExtList->setEnabled(false);
    const auto enableAgain = qScopeGuard([this, wasRunning] { ui->BExtList->setEnabled(!wasRunning); });
    FBatch.BProcessClick();
}

void TMainForm::StopClick()
{
    FBatch.StopClick();
}

void TMainForm::ProcessDirClick()
{
    HoldListButtons();
    if (FDirForm && FDialogs.ExecModal(*FDirForm)) {
        // The batch moves the working directory to the output folder, so a
        // relative folder is anchored here, where the user typed it.
        std::string root = FDirForm->ScanDirPath().toStdString();
        if (!root.empty())
            root = eit::MakeAbsolute(root);
        QSettings().setValue(kScanDirKey, QByteArray::fromStdString(root));
        ScanFolder(root, ToPath(FDirForm->FFileMask), FDirForm->FTypeIndex);
    }
    EnableListButtonsIfFilled();
}

void TMainForm::ScanFolder(const std::string& root, const std::string& mask, int typeIndex)
{
    ui->LogList->clear();
    FState.ScannedList = false;
    FState.ScanRoot = root;
    std::vector<std::string> files;
    eit::CollectFiles(root, mask, files);
    AddEntries(files);
    FState.ProcessingMode = eit::FilterModeAt(typeIndex + 1);
    // The scan's types are the open dialog's, in its order: the batch names
    // the list's format from that position, so it follows the scanned type.
    FSelectLogFilterIndex = typeIndex + 1;
    FState.ScannedList = ui->LogList->count() > 0;
}

void TMainForm::BExtListClick()
{
    QString file = ShownPath(QByteArray::fromStdString(FState.ExtListPath));
    if (!FDialogs.OpenFile(this, QStringLiteral("Select extension list..."),
                           QStringLiteral("Extension lists (*.txt);;All files (*)"), file))
        return;
    FState.ExtListPath = ToPath(file);
    QSettings().setValue(kExtListKey, QByteArray::fromStdString(FState.ExtListPath));
    if (!FBatch.Running())
        ShowExtListStatus();
}

void TMainForm::ShowExtListStatus()
{
    ui->CurrentMessage->setText(QStringLiteral("Extension list: ") + ShownPath(QByteArray::fromStdString(FState.ExtListPath)));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->LogList && watched != ui->LogList->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (CanTake(DroppedPaths(drag->mimeData())))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::vector<std::string> paths = DroppedPaths(drop->mimeData());
        if (!CanTake(paths)) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        AddPaths(paths);
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FBatch.Running()) {
        // Closing from inside the batch's event pump: let the batch stop at
        // its next slot and unwind first; Guarded() closes the window then.
        FCloseRequested = true;
        FState.StopFlag = 1;
        event->ignore();
        return;
    }
    event->accept();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FCentred && screen()) {
        FCentred = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
}

int TMainForm::InputCount() const
{
    return ui->LogList->count();
}

std::string TMainForm::InputEntry(int index) const
{
    return EntryPath(index);
}

void TMainForm::SetStatus(const std::string& text)
{
    ui->CurrentMessage->setText(FromText(text));
}

int TMainForm::ProgressPosition() const
{
    return ui->Progress->value();
}

void TMainForm::SetProgress(int position)
{
    ui->Progress->setValue(position);
}

int TMainForm::TotalPosition() const
{
    return ui->Total->value();
}

void TMainForm::SetTotal(int position)
{
    ui->Total->setValue(position);
}

void TMainForm::SetExtracted(const std::string& caption)
{
    ui->Extracted->setText(FromText(caption));
}

void TMainForm::ClearResults()
{
    const QScopedValueRollback writing(FWritingResults, true);
    ui->Results->clear();
    FResultLines.clear();
    FResultsOurs = true;
}

void TMainForm::AppendResult(const std::string& line)
{
    const QScopedValueRollback writing(FWritingResults, true);
    ui->Results->appendPlainText(FromText(line));
    if (FResultsOurs)
        FResultLines.push_back(line);
}

int TMainForm::ResultLineCount() const
{
    return ui->Results->document()->isEmpty() ? 0 : ui->Results->blockCount();
}

void TMainForm::FocusResults()
{
    ui->Results->setFocus();
}

void TMainForm::SetStopEnabled(bool enabled)
{
    ui->Stop->setEnabled(enabled);
}

void TMainForm::SetSaveLogEnabled(bool enabled)
{
    ui->SaveLog->setEnabled(enabled);
}

bool TMainForm::PickDirectory(std::string& dir)
{
    // The working directory follows the output folder within a session; a
    // new session starts where the last one put its output.
    QSettings settings;
    QByteArray chosen = settings.value(kOutputDirKey).toByteArray();
    if (chosen.isEmpty() || eit::KindOf(chosen.toStdString()) != eit::FileKind::Directory)
        chosen = QByteArray::fromStdString(dir);
    if (!FDialogs.PickDirectory(this, chosen))
        return false;
    dir = chosen.toStdString();
    settings.setValue(kOutputDirKey, chosen);
    eit::SetCurrentDirectory(dir); // a failure is harmless: the batch writes below dir as it is
    return true;
}

void TMainForm::ShowMessage(const std::string& text, const std::string& caption)
{
    if (!FCloseRequested)
        FDialogs.Message(this, FromText(text), FromText(caption));
}

void TMainForm::ProcessEvents()
{
    QCoreApplication::processEvents();
}
