#include "TDirForm.h"

#include "ui_TDirForm.h"

#include "Dialogs.h"
#include "Guard.h"
#include "PathText.h"
#include "ToolIcon.h"

#include <QFile>
#include <QSignalBlocker>
#include <QStyle>

TDirForm::TDirForm(TDialogs& dialogs, std::function<QString()> filterText, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TDirForm>())
    , FDialogs(dialogs)
    , FModel(*this, [source = std::move(filterText)] { return source ? source().toLocal8Bit().toStdString() : std::string(); })
{
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(418, 53);
    move(298, 293);

    // The program's own glyph comes with its resources; a library user
    // without them still gets a folder.
    const bool ownGlyph = QFile::exists(QStringLiteral(":/icons/closed_folder.xpm"));
    ui->CallDialog->setIcon(ownGlyph ? ToolIcon("closed_folder", true) : style()->standardIcon(QStyle::SP_DirClosedIcon));

    connect(ui->BOk, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(ui->BCancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(ui->ScanDir, &QLineEdit::textChanged, this,
            [this](const QString& text) { FModel.ScanDirChange(QFile::encodeName(text).toStdString()); });
    connect(ui->Filter, &QComboBox::currentIndexChanged, this, [this](int index) { FModel.FilterChange(index); });
    connect(ui->CallDialog, &QAbstractButton::clicked, this, [this] { FModel.CallDialogClick(); });
}

TDirForm::~TDirForm() = default;

QString TDirForm::ScanDir() const
{
    return ui->ScanDir->text();
}

QByteArray TDirForm::ScanDirPath() const
{
    return QByteArray::fromStdString(FModel.ScanDirPath());
}

void TDirForm::showEvent(QShowEvent* event)
{
    FModel.FormShow(FLastFolder);
    QDialog::showEvent(event);
}

void TDirForm::ShowTypes(const std::vector<std::string>& descriptions, int current)
{
    // Filling the list moves its selection; FilterChange is for the user's
    // picks.
    const QSignalBlocker blocker(ui->Filter);
    ui->Filter->clear();
    for (const std::string& description : descriptions)
        ui->Filter->addItem(QString::fromLocal8Bit(description));
    ui->Filter->setCurrentIndex(current);
}

std::string TDirForm::ShowFolder(const std::string& folder)
{
    ui->ScanDir->setText(ShownPath(QByteArray::fromStdString(folder)));
    return QFile::encodeName(ui->ScanDir->text()).toStdString();
}

void TDirForm::SetOkEnabled(bool enabled)
{
    ui->BOk->setEnabled(enabled);
}

bool TDirForm::AskDirectory(std::string& dir)
{
    QByteArray chosen = QByteArray::fromStdString(dir);
    if (!FDialogs.PickDirectory(this, chosen))
        return false;
    dir = chosen.toStdString();
    return true;
}

void TDirForm::ShowMessage(const std::string& text, const std::string& caption)
{
    ShowBox(FDialogs, parentWidget() ? parentWidget() : this, text, caption);
}
