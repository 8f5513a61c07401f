// Extract\Insert Tool: program entry.

#include "Dialogs.h"
#include "Guard.h"
#include "TMainForm.h"

#include <QApplication>
#include <QIcon>

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
    // An error that escapes the window is shown without an owner: the
    // window is gone by then.
    RunGuarded(QtDialogs(), nullptr, [] {
        TMainForm mainForm(QtDialogs());
        // The form loads the resources; the icon is one of them.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/extract-insert-tool.png")));
        mainForm.setWindowIcon(QApplication::windowIcon());
        mainForm.show();
        QApplication::exec();
    });
    return 0;
}
