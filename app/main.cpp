// Extract\Insert Tool: program entry.

#include "Dialogs.h"
#include "TMainForm.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        TMainForm mainForm(QtDialogs());
        mainForm.show();
        app.exec();
    } catch (const std::exception& e) {
        QMessageBox::information(nullptr, QStringLiteral("Extract\\Insert Tool"), QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
