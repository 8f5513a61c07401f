#include "Dialogs.h"

#include "DirectoryPicker.h"
#include "FileUtil.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

class TQtDialogs final : public TDialogs {
public:
    bool OpenFiles(QWidget* owner, const QString& filter, QStringList& files, int& filterIndex, QString& dir) override
    {
        QFileDialog dialog(owner, QStringLiteral("Select file..."));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        const QStringList filters = filter.split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        if (filterIndex >= 1 && filterIndex <= filters.size())
            dialog.selectNameFilter(filters[filterIndex - 1]);
        dialog.setDirectory(dir.isEmpty() ? FromPath(eit::CurrentDirectory()) : dir);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        files = dialog.selectedFiles();
        filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
        dir = dialog.directory().absolutePath();
        return true;
    }

    bool OpenFile(QWidget* owner, const QString& title, const QString& filter, QString& file) override
    {
        QFileDialog dialog(owner, title);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(filter.split(QStringLiteral(";;")));
        if (!file.isEmpty()) {
            dialog.setDirectory(FromPath(eit::DirectoryPart(eit::MakeAbsolute(QFile::encodeName(file).toStdString()))));
            dialog.selectFile(file);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        file = dialog.selectedFiles().first();
        return true;
    }

    bool SaveFile(QWidget* owner, const QString& title, const QString& filter, const QString& defaultSuffix,
                  QString& file) override
    {
        QFileDialog dialog(owner, title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        file = dialog.selectedFiles().first();
        return true;
    }

    bool PickDirectory(QWidget* owner, QByteArray& dir) override
    {
        TDirectoryPicker picker(dir, owner);
        if (picker.exec() != QDialog::Accepted)
            return false;
        dir = picker.Directory();
        return true;
    }

    void Message(QWidget* owner, const QString& text, const QString& caption) override
    {
        QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
        box.exec();
    }

    void ShowError(QWidget* owner, const QString& text) override
    {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Extract\\Insert Tool"), text, QMessageBox::Ok, owner);
        box.exec();
    }

    bool ExecModal(QDialog& form) override { return form.exec() == QDialog::Accepted; }
};

} // namespace

TDialogs& QtDialogs()
{
    static TQtDialogs dialogs;
    return dialogs;
}
