#pragma once

#include <QIcon>

// The toolbar picture name (":/icons/<name>.xpm") at 16 x 16 and, for screens
// scaled to 200%, at 32 x 32 (<name>@2x.xpm); with hasDisabled also its grey
// versions (<name>_disabled.xpm) for the disabled state.
QIcon ToolIcon(const char* name, bool hasDisabled);
