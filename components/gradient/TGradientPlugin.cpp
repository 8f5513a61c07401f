#include "TGradientPlugin.h"

#include "Palette.h"
#include "TGradient.h"

#include <QIcon>

TGradientPlugin::TGradientPlugin(QObject* parent) : QObject(parent) {}

QString TGradientPlugin::name() const
{
    return QStringLiteral("TGradient");
}

QString TGradientPlugin::group() const
{
    return QString::fromLatin1(eit::kPalettePage);
}

QString TGradientPlugin::toolTip() const
{
    return QStringLiteral("Four-corner colour gradient");
}

QString TGradientPlugin::whatsThis() const
{
    return QStringLiteral("Fills its area with a gradient between the colours of its four corners.");
}

QString TGradientPlugin::includeFile() const
{
    return QStringLiteral("TGradient.h");
}

QIcon TGradientPlugin::icon() const
{
    return {};
}

bool TGradientPlugin::isContainer() const
{
    return false;
}

QWidget* TGradientPlugin::createWidget(QWidget* parent)
{
    return new TGradient(parent);
}

QString TGradientPlugin::domXml() const
{
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"TGradient\" name=\"Gradient\">\n"
        "  <property name=\"geometry\">\n"
        "   <rect><x>0</x><y>0</y><width>100</width><height>100</height></rect>\n"
        "  </property>\n"
        " </widget>\n"
        "</ui>\n");
}
