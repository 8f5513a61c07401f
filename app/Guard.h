#pragma once

#include "Dialogs.h"

#include <QString>

#include <exception>
#include <new>
#include <string>
#include <utility>

class QWidget;

// Shows text through dialogs.ShowError in a box owned by owner (nullptr:
// no owner). A failure to show it is swallowed: there is no one left to
// tell.
void ShowHandlerError(TDialogs& dialogs, QWidget* owner, const QString& text) noexcept;
// Shows a box the window model asks for, owned by owner: an error (the
// caption eit::kWindowCaption) through ShowHandlerError, any other box
// through dialogs.Message.
void ShowBox(TDialogs& dialogs, QWidget* owner, const std::string& text, const std::string& caption);

// Runs handler where Qt calls our code: no exception may unwind through
// Qt's frames. An error's message (eit::FileError and every other
// std::exception) is shown as it is; std::bad_alloc shows "Out of memory" and
// anything else thrown "Unexpected error". Returns whether handler finished.
template <typename Handler>
bool RunGuarded(TDialogs& dialogs, QWidget* owner, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::bad_alloc&) {
        ShowHandlerError(dialogs, owner, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        // Turning the message into a QString may itself run out of memory.
        try {
            const QString text = QString::fromLocal8Bit(e.what());
            ShowHandlerError(dialogs, owner, text);
        } catch (...) {
            ShowHandlerError(dialogs, owner, QStringLiteral("Out of memory"));
        }
    } catch (...) {
        ShowHandlerError(dialogs, owner, QStringLiteral("Unexpected error"));
    }
    return false;
}
