#include "TDirForm.h"

#include "ui_TDirForm.h"

#include "CollectFiles.h"
#include "Dialogs.h"
#include "Guard.h"
#include "PathText.h"
#include "ToolIcon.h"

#include <QFile>
#include <QSignalBlocker>
#include <QStyle>

template <typename Handler>
void TDirForm::Guarded(Handler&& handler)
{
    RunGuarded(FDialogs, parentWidget() ? parentWidget() : this, std::forward<Handler>(handler));
}

TDirForm::TDirForm(TDialogs& dialogs, std::function<QString()> filterText, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDirForm>()), FDialogs(dialogs), FFilterSource(std::move(filterText))
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
    connect(ui->ScanDir, &QLineEdit::textChanged, this, [this] { Guarded([this] { ScanDirChange(); }); });
    connect(ui->Filter, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { FilterChange(); }); });
    connect(ui->CallDialog, &QAbstractButton::clicked, this, [this] { Guarded([this] { CallDialogClick(); }); });
}

TDirForm::~TDirForm() = default;

QString TDirForm::ScanDir() const
{
    return ui->ScanDir->text();
}

QByteArray TDirForm::ScanDirPath() const
{
    return EditedPath(FPickedDir, ui->ScanDir->text());
}

void TDirForm::showEvent(QShowEvent* event)
{
    Guarded([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TDirForm::FormShow()
{
    FFilterText = FFilterSource ? FFilterSource() : QString();
    // Filling the list moves its selection; FilterChange is for the user's
    // picks, the first type is set explicitly below.
    const QSignalBlocker blocker(ui->Filter);
    ui->Filter->clear();
    const std::vector<eit::FilterPair> pairs = eit::FilterPairs(FFilterText.toLocal8Bit().toStdString());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        ui->Filter->addItem(QString::fromLocal8Bit(pairs[i].Description));
        if (i == 0)
            FFileMask = QString::fromLocal8Bit(pairs[i].Mask);
    }
    if (ui->Filter->count() > 0) {
        ui->Filter->setCurrentIndex(0);
        FTypeIndex = 0;
    }
}

void TDirForm::ScanDirChange()
{
    const bool hasText = !ui->ScanDir->text().isEmpty();
    if (hasText != ui->BOk->isEnabled())
        ui->BOk->setEnabled(hasText);
}

void TDirForm::FilterChange()
{
    FTypeIndex = ui->Filter->currentIndex();
    FFileMask = QString::fromLocal8Bit(eit::FilterMask(FFilterText.toLocal8Bit().toStdString(), FTypeIndex));
}

void TDirForm::CallDialogClick()
{
    QByteArray dir = ScanDirPath();
    if (FDialogs.PickDirectory(this, dir)) {
        FPickedDir = dir;
        ui->ScanDir->setText(ShownPath(dir));
    }
}
