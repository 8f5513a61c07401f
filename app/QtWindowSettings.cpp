#include "QtWindowSettings.h"

#include "MainWindowModel.h"

#include <QFile>
#include <QSettings>

std::string QtWindowSettings::Read(const std::string& key) const
{
    return QSettings().value(QString::fromStdString(key)).toByteArray().toStdString();
}

void QtWindowSettings::Write(const std::string& key, const std::string& value)
{
    const QByteArray bytes = QByteArray::fromStdString(value);
    QVariant stored = bytes;
    if (key == eit::kOpenFilterKey)
        stored = bytes.toInt();
    else if (key == eit::kOpenFolderKey)
        stored = QFile::decodeName(bytes);
    QSettings().setValue(QString::fromStdString(key), stored);
}
