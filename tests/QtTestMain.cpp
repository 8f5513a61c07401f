// main() of the test programs that drive widgets: one QApplication for the
// whole run, on the offscreen platform unless QT_QPA_PLATFORM names another.
// What the windows remember goes to a folder of the run's own, never to the
// user's settings.

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setOrganizationName(QStringLiteral("extract-insert-tool-tests"));
    QApplication::setApplicationName(QStringLiteral("gui-tests"));
    const QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    return RUN_ALL_TESTS();
}
