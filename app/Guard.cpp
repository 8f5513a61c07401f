#include "Guard.h"

void ShowHandlerError(TDialogs& dialogs, QWidget* owner, const QString& text) noexcept
{
    try {
        dialogs.ShowError(owner, text);
    } catch (...) {
        // The box itself failed (out of memory, a test's dialogs that refuse
        // it): the window goes on without it.
    }
}
