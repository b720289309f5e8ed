// Hookmeter's program entry: the main window and its event loop. The program takes no arguments.
#include "app/TerminationSignals.h"
#include "ui/common/ErrorBox.h"
#include "ui/window/FormProfile.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(hookmeter::ApplicationTitle));
    QApplication::setDesktopFileName(QStringLiteral("hookmeter"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("hookmeter")));
    // Caught before the window is made: a signal while it starts up closes it once it is shown.
    hookmeter::CloseWindowsOnTerminationSignals();
    try {
        hookmeter::TFormProfile formProfile;
        formProfile.show();
        QApplication::exec();
    } catch (...) {
        // Reading the settings failed, or something escaped the event loop: the error box, then
        // the end of the program.
        hookmeter::ShowErrorBox(nullptr, hookmeter::CurrentExceptionText());
    }
    return 0;
}
