#include "Guard.h"

#include "Guarded.h"

void ShowHandlerError(TDialogs& dialogs, QWidget* owner, const QString& text) noexcept
{
    try {
        dialogs.ShowError(owner, text);
    } catch (...) {
        // The box itself failed (out of memory, a test's dialogs that refuse
        // it): the window goes on without it.
    }
}

void ShowBox(TDialogs& dialogs, QWidget* owner, const std::string& text, const std::string& caption)
{
    const QString shown = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    if (caption == eit::kWindowCaption)
        ShowHandlerError(dialogs, owner, shown);
    else
        dialogs.Message(owner, shown, QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size())));
}
