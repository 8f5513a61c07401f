#pragma once

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

// The bytes of a path text that started as the picture of original: original
// itself while the text still shows it, original followed by the encoded rest
// when the text only goes on below it, otherwise the encoded text.
inline QByteArray EditedPath(const QByteArray& original, const QString& text)
{
    const QString shown = ShownPath(original);
    if (text == shown)
        return original;
    if (!original.isEmpty() && text.startsWith(shown)
        && (original.endsWith(eit::kPathSep) || text.at(shown.size()) == QLatin1Char(eit::kPathSep)))
        return original + QFile::encodeName(text.mid(shown.size()));
    return QFile::encodeName(text);
}
