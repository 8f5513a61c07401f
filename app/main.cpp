// Extract\Insert Tool: program entry.

#include "Dialogs.h"
#include "Guard.h"
#include "TMainForm.h"

#include <QApplication>
#include <QIcon>

#include "CommandLine.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const kHelp =
    "Usage: extract-insert-tool [OPTION]... [FILE|FOLDER]...\n"
    "Opens the Extract\\Insert Tool window. The FILEs and FOLDERs named are\n"
    "added to its input list as if dropped on it; the first FOLDER or FILE of a\n"
    "known type decides what: a FOLDER is scanned for data packs (*.bin) in its\n"
    "whole tree, as \"Directory to add\" does, and a FILE brings along every\n"
    "FILE named of its type (data packs *.bin, project lists *.lst or result\n"
    "logs *.log).\n"
    "\n"
    "  -h, --help                show this text\n"
    "      --version             show the program's version\n"
    "\n"
    "Qt's own options, among others:\n"
    "  -platform NAME            the window system (xcb, wayland, offscreen, ...)\n"
    "  -style NAME               the widget style (Fusion, Windows, ...)\n"
    "  -stylesheet FILE          a Qt style sheet for the window\n"
    "  -reverse                  lay the window out from right to left\n"
    "  -qwindowgeometry WxH+X+Y  the main window's size and place\n"
    "  -display DISPLAY          the X display to open (X11 only)\n"
    "\n"
    "The same batch runs without a window as extract-insert-batch.\n";

// Answers --help and --version, which need no window, before the
// application object exists: without a display it could not start. Returns
// the exit status, or -1 when the window is to open.
int AnswerWithoutWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h" || eit::IsSystemHelpRequest(arg)) {
            std::fputs(kHelp, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (arg == "--version") {
            std::printf("extract-insert-tool %s\n", EIT_VERSION);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int status = AnswerWithoutWindow(argc, argv); status >= 0)
        return status;

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
