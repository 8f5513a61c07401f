#include "DirectoryPicker.h"

#include "Dialogs.h"
#include "Guard.h"
#include "PathText.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

TDirectoryPicker::TDirectoryPicker(const QByteArray& dir, QWidget* parent)
    : QDialog(parent)
    , FStart(QByteArray::fromStdString(eit::MakeAbsolute(dir.toStdString())))
    , FEdit(new QLineEdit(dir.isEmpty() ? QString() : QDir::toNativeSeparators(ShownPath(FStart))))
{
    setWindowTitle(QStringLiteral("Select Directory"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* browse = new QToolButton;
    browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setToolTip(tr("Browse"));
    connect(browse, &QToolButton::clicked, this, [this] { RunGuarded(QtDialogs(), this, [this] { Browse(); }); });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Directory:")));
    row->addWidget(FEdit, 1);
    row->addWidget(browse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &TDirectoryPicker::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TDirectoryPicker::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());
}

QByteArray TDirectoryPicker::Directory() const
{
    QByteArray path = EditedPath(FStart, FEdit->text().trimmed());
    if (!eit::IsAbsolute(path.toStdString()))
        path = QByteArray::fromStdString(eit::JoinPath(FStart.toStdString(), path.toStdString()));
    // Latin-1 maps every byte to one character and back, so cleaning the
    // path's picture there leaves the bytes of its names alone.
    return QDir::cleanPath(QString::fromLatin1(path)).toLatin1();
}

void TDirectoryPicker::Browse()
{
    const QString dir = QFileDialog::getExistingDirectory(this, windowTitle(), ShownPath(Directory()));
    if (!dir.isEmpty())
        FEdit->setText(QDir::toNativeSeparators(dir));
}

void TDirectoryPicker::accept()
{
    RunGuarded(QtDialogs(), this, [this] { AcceptIfUsable(); });
}

void TDirectoryPicker::AcceptIfUsable()
{
    if (FEdit->text().trimmed().isEmpty())
        return;
    const QByteArray dir = Directory();
    const std::string path = dir.toStdString();
    const QString shown = QDir::toNativeSeparators(ShownPath(dir));
    const eit::FileKind kind = eit::KindOf(path);
    if (kind == eit::FileKind::Directory) {
        QDialog::accept();
        return;
    }
    if (kind != eit::FileKind::Missing && kind != eit::FileKind::Unknown) {
        QMessageBox::warning(this, windowTitle(), tr("%1 is a file, not a directory.").arg(shown));
        return;
    }
    if (QMessageBox::question(this, windowTitle(), QStringLiteral("The specified directory does not exist. Create it?"))
        != QMessageBox::Yes)
        return;
    if (!eit::CreateDirectories(path)) {
        QMessageBox::warning(this, windowTitle(), tr("Cannot create directory %1").arg(shown));
        return;
    }
    QDialog::accept();
}
