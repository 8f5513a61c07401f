#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QWidget;

// Every modal dialog the windows open goes through this interface: Qt's own
// dialogs in the program, a scripted answer in the tests.
class TDialogs {
public:
    virtual ~TDialogs() = default;

    // The open dialog "Select file..." (SelectLog). filterIndex is the
    // chosen filter position counted from 1, in and out; dir is the folder
    // it opens in (empty: the working directory), in, and the folder it was
    // left in, out. On OK, files holds the chosen files in the dialog's order.
    virtual bool OpenFiles(QWidget* owner, const QString& filter, QStringList& files, int& filterIndex,
                           QString& dir) = 0;
    // An open dialog for one existing file, opened at file (its folder, with
    // the file chosen); on OK, file receives the chosen file.
    virtual bool OpenFile(QWidget* owner, const QString& title, const QString& filter, QString& file) = 0;
    // A save dialog with an overwrite prompt; file receives the chosen name
    // (with defaultSuffix added when it has none).
    virtual bool SaveFile(QWidget* owner, const QString& title, const QString& filter,
                          const QString& defaultSuffix, QString& file) = 0;
    // "Select Directory", opened at dir (a path's bytes). A name that does
    // not exist yet is accepted after "The specified directory does not
    // exist. Create it?" and then created with its parents. On OK, dir
    // receives the directory's bytes; a directory the user kept comes back
    // with the bytes it came in with.
    virtual bool PickDirectory(QWidget* owner, QByteArray& dir) = 0;
    // An information box with one OK button, owned by owner.
    virtual void Message(QWidget* owner, const QString& text, const QString& caption) = 0;
    // An error's message, in a box owned by owner.
    virtual void ShowError(QWidget* owner, const QString& text) { Message(owner, text, QStringLiteral("Extract\\Insert Tool")); }
    // Shows a form modally; true when it closed with OK.
    virtual bool ExecModal(class QDialog& form) = 0;
};

// The dialogs of the running program.
TDialogs& QtDialogs();
