// Extract\Insert Tool: program entry.

#include "Dialogs.h"
#include "TMainForm.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before the application object exists, so that it works
    // without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("extract-insert-tool %s\n", EIT_VERSION);
            return 0;
        }

    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(EIT_VERSION));
    try {
        TMainForm mainForm(QtDialogs());
        // The form loads the resources; the icon is one of them.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/extract-insert-tool.png")));
        mainForm.setWindowIcon(QApplication::windowIcon());
        mainForm.show();
        app.exec();
    } catch (const std::exception& e) {
        QMessageBox::information(nullptr, QStringLiteral("Extract\\Insert Tool"), QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
