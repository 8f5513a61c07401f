#include "ToolIcon.h"

#include <QPixmap>

QIcon ToolIcon(const char* name, bool hasDisabled)
{
    QIcon icon;
    for (const char* size : {"", "@2x"}) {
        const auto file = [&](const char* state) {
            return QStringLiteral(":/icons/%1%2%3.xpm").arg(QLatin1String(name), QLatin1String(state), QLatin1String(size));
        };
        icon.addPixmap(QPixmap(file("")), QIcon::Normal);
        if (hasDisabled)
            icon.addPixmap(QPixmap(file("_disabled")), QIcon::Disabled);
    }
    return icon;
}
