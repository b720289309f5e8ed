// Hookmeter's program entry: the main window and its event loop. The program takes no arguments.
#include "ui/ErrorBox.h"
#include "ui/FormProfile.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(hookmeter::ApplicationTitle));
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
