#include "TMainForm.h"

#include "Dialogs.h"
#include "FileUtil.h"
#include "Formats.h"
#include "Guard.h"
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
#include <QUrl>

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

QString FromPath(const std::string& path)
{
    return ShownPath(QByteArray::fromStdString(path));
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

// A dialog's filters in Qt's form: "Data Packs (*.bin);;...".
QString QtFilter(const std::vector<eit::DialogFilter>& filters)
{
    QStringList parts;
    for (const eit::DialogFilter& filter : filters) {
        const QString description = FromText(filter.Description);
        parts << (description.contains(QLatin1Char('(')) ? description
                                                         : description + QStringLiteral(" (%1)").arg(FromText(filter.Mask)));
    }
    return parts.join(QStringLiteral(";;"));
}

} // namespace

TMainForm::TMainForm(TDialogs& dialogs, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TMainForm>()), FDialogs(dialogs), FModel(*this, FSettings)
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

    ConnectClick(ui->BAddLog, &eit::MainWindowModel::BAddLogClick);
    ConnectClick(ui->ProcessDir, &eit::MainWindowModel::ProcessDirClick);
    ConnectClick(ui->BSaveList, &eit::MainWindowModel::BSaveListClick);
    ConnectClick(ui->BRemLog, &eit::MainWindowModel::BRemLogClick);
    ConnectClick(ui->BClearAll, &eit::MainWindowModel::BClearAllClick);
    ConnectClick(ui->BProcess, &eit::MainWindowModel::BProcessClick);
    ConnectClick(ui->BExit, &eit::MainWindowModel::BExitClick);
    ConnectClick(ui->SaveLog, &eit::MainWindowModel::SaveLogClick);
    ConnectClick(ui->Stop, &eit::MainWindowModel::StopClick);
    ConnectClick(ui->BExtList, &eit::MainWindowModel::BExtListClick);
    connect(ui->Results, &QPlainTextEdit::textChanged, this, [this] {
        if (!FModel.WritingResults())
            FModel.ResultsEdited();
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
    FModel.Start();
}

TMainForm::~TMainForm() = default;

void TMainForm::ConnectClick(QAbstractButton* button, void (eit::MainWindowModel::*handler)())
{
    connect(button, &QAbstractButton::clicked, this, [this, handler] { (FModel.*handler)(); });
}

QAbstractButton* TMainForm::Button(eit::MainButton button) const
{
    switch (button) {
    case eit::MainButton::AddLog: return ui->BAddLog;
    case eit::MainButton::SaveList: return ui->BSaveList;
    case eit::MainButton::RemLog: return ui->BRemLog;
    case eit::MainButton::ClearAll: return ui->BClearAll;
    case eit::MainButton::Process: return ui->BProcess;
    case eit::MainButton::ProcessDir: return ui->ProcessDir;
    case eit::MainButton::Exit: return ui->BExit;
    case eit::MainButton::ExtList: return ui->BExtList;
    case eit::MainButton::SaveLog: return ui->SaveLog;
    case eit::MainButton::Stop: return ui->Stop;
    }
    return nullptr;
}

void TMainForm::ShowEntries(const std::vector<std::string>& entries)
{
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string& entry : entries)
        shown << FromPath(entry);
    ui->LogList->clear();
    ui->LogList->addItems(shown);
}

std::vector<int> TMainForm::SelectedRows() const
{
    std::vector<int> rows;
    for (int i = 0; i < ui->LogList->count(); ++i)
        if (ui->LogList->item(i)->isSelected())
            rows.push_back(i);
    return rows;
}

void TMainForm::SetCurrentRow(int row)
{
    ui->LogList->setCurrentRow(row, QItemSelectionModel::NoUpdate);
}

void TMainForm::SetEnabled(eit::MainButton button, bool enabled)
{
    Button(button)->setEnabled(enabled);
}

bool TMainForm::IsEnabled(eit::MainButton button) const
{
    return Button(button)->isEnabled();
}

void TMainForm::SetStatus(const std::string& text)
{
    ui->CurrentMessage->setText(FromText(text));
}

void TMainForm::SetExtracted(const std::string& caption)
{
    ui->Extracted->setText(FromText(caption));
}

void TMainForm::SetProgress(int position)
{
    ui->Progress->setValue(position);
}

void TMainForm::SetTotal(int position)
{
    ui->Total->setValue(position);
}

void TMainForm::ClearResults()
{
    if (FModel.WritingResults())
        ui->Results->clear();
    else
        FModel.ClearResults();
}

void TMainForm::AppendResult(const std::string& line)
{
    if (FModel.WritingResults())
        ui->Results->appendPlainText(FromText(line));
    else
        FModel.AppendResult(line);
}

std::string TMainForm::ResultsText() const
{
    return ToText(ui->Results->toPlainText());
}

void TMainForm::FocusResults()
{
    ui->Results->setFocus();
}

bool TMainForm::AskOpenFiles(const std::vector<eit::DialogFilter>& filters, std::vector<std::string>& files,
                             int& filterIndex, std::string& dir)
{
    QStringList chosen;
    QString folder = FromPath(dir);
    if (!FDialogs.OpenFiles(this, QtFilter(filters), chosen, filterIndex, folder))
        return false;
    dir = ToPath(folder);
    files.clear();
    for (const QString& file : chosen)
        files.push_back(ToPath(file));
    return true;
}

bool TMainForm::AskOpenFile(const std::string& title, const std::vector<eit::DialogFilter>& filters, std::string& file)
{
    QString chosen = FromPath(file);
    if (!FDialogs.OpenFile(this, FromText(title), QtFilter(filters), chosen))
        return false;
    file = ToPath(chosen);
    return true;
}

bool TMainForm::AskSaveFile(const std::string& title, const std::vector<eit::DialogFilter>& filters,
                            const std::string& defaultSuffix, std::string& file)
{
    QString chosen;
    if (!FDialogs.SaveFile(this, FromText(title), QtFilter(filters), FromText(defaultSuffix), chosen))
        return false;
    file = ToPath(chosen);
    return true;
}

bool TMainForm::AskDirectory(std::string& dir)
{
    QByteArray chosen = QByteArray::fromStdString(dir);
    if (!FDialogs.PickDirectory(this, chosen))
        return false;
    dir = chosen.toStdString();
    eit::SetCurrentDirectory(dir);
    return true;
}

bool TMainForm::AskScan(eit::ScanChoice& choice)
{
    FDirForm->SetLastFolder(choice.Folder);
    if (!FDialogs.ExecModal(*FDirForm))
        return false;
    choice = FDirForm->Model().Choice();
    return true;
}

void TMainForm::ShowMessage(const std::string& text, const std::string& caption)
{
    ShowBox(FDialogs, this, text, caption);
}

void TMainForm::PumpEvents()
{
    QCoreApplication::processEvents();
}

void TMainForm::CloseWindow()
{
    close();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->LogList && watched != ui->LogList->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (eit::MainWindowModel::CanTake(DroppedPaths(drag->mimeData())))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::vector<std::string> paths = DroppedPaths(drop->mimeData());
        if (!eit::MainWindowModel::CanTake(paths)) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        FModel.AddPaths(paths);
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FModel.CloseRequested())
        event->accept();
    else
        event->ignore();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FCentred && screen()) {
        FCentred = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
}
