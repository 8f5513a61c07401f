#pragma once

#include "DirFormModel.h"
#include "FileUtil.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// File names are byte strings; a QString is only their picture on screen, and
// a name that is not valid UTF-8 does not survive the round trip through it.
// The window keeps the bytes and converts only what the user typed.

// The text shown for a path's bytes.
inline QString ShownPath(const QByteArray& path)
{
    return QFile::decodeName(path);
}

// The bytes of a path text that started as the picture of original
// (eit::EditedPath over the texts' encoded bytes).
inline QByteArray EditedPath(const QByteArray& original, const QString& text)
{
    return QByteArray::fromStdString(eit::EditedPath(original.toStdString(),
                                                     QFile::encodeName(ShownPath(original)).toStdString(),
                                                     QFile::encodeName(text).toStdString()));
}
