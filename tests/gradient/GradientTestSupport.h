#pragma once

#include <QApplication>

namespace eit::test {

// Widgets need a QApplication; the first call creates one for the rest of the
// process, on the offscreen platform unless another one is chosen.
inline void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gradient_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace eit::test
