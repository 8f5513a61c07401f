// Extract\Insert Tool: program entry.

#include "Dialogs.h"
#include "Guard.h"
#include "TMainForm.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Answered before the application object exists, so that it works
    // without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("extract-insert-tool %s\n", EIT_VERSION);
            return 0;
        }

    QApplication app(argc, argv); // takes Qt's own options out of argv
    QApplication::setApplicationVersion(QStringLiteral(EIT_VERSION));
    QApplication::setOrganizationName(QStringLiteral("extract-insert-tool"));
    QApplication::setApplicationName(QStringLiteral("extract-insert-tool"));
    // An error that escapes the window is shown without an owner: the
    // window is gone by then.
    RunGuarded(QtDialogs(), nullptr, [&] {
        TMainForm mainForm(QtDialogs());
        // The form loads the resources; the icon is one of them.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/extract-insert-tool.png")));
        mainForm.setWindowIcon(QApplication::windowIcon());
        mainForm.show();
        // Files named on the command line, as if dropped on the list.
        mainForm.AddPaths(std::vector<std::string>(argv + 1, argv + argc));
        QApplication::exec();
    });
    return 0;
}
