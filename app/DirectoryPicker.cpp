#include "DirectoryPicker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

TDirectoryPicker::TDirectoryPicker(const QString& dir, QWidget* parent)
    : QDialog(parent), FStart(dir), FEdit(new QLineEdit(QDir::toNativeSeparators(dir)))
{
    setWindowTitle(QStringLiteral("Select Directory"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* browse = new QToolButton;
    browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setToolTip(tr("Browse"));
    connect(browse, &QToolButton::clicked, this, &TDirectoryPicker::Browse);
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

QString TDirectoryPicker::Directory() const
{
    const QString text = QDir::fromNativeSeparators(FEdit->text().trimmed());
    return QDir::cleanPath(QDir(FStart).absoluteFilePath(text));
}

void TDirectoryPicker::Browse()
{
    const QString dir = QFileDialog::getExistingDirectory(this, windowTitle(), Directory());
    if (!dir.isEmpty())
        FEdit->setText(QDir::toNativeSeparators(dir));
}

void TDirectoryPicker::accept()
{
    if (FEdit->text().trimmed().isEmpty())
        return;
    const QString dir = Directory();
    const QFileInfo info(dir);
    if (info.isDir()) {
        QDialog::accept();
        return;
    }
    if (info.exists()) {
        QMessageBox::warning(this, windowTitle(), tr("%1 is a file, not a directory.").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    if (QMessageBox::question(this, windowTitle(), QStringLiteral("The specified directory does not exist. Create it?"))
        != QMessageBox::Yes)
        return;
    if (!QDir().mkpath(dir)) {
        QMessageBox::warning(this, windowTitle(), tr("Cannot create directory %1").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    QDialog::accept();
}
