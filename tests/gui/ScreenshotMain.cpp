// hookmeter_screenshot OUTPUT.png RAWFILE text|binary [EXEFILE]
// Opens the main window as a person would, processes RAWFILE into reports in a scratch directory,
// waits for the job to end and saves a picture of the window. Used by scripts/screenshot.sh.
#include "ui/FormProfile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

template <typename Widget> Widget& Control(QObject& form, const char* name) {
    auto* widget = form.findChild<Widget*>(QString::fromLatin1(name));
    if (!widget) {
        std::fprintf(stderr, "hookmeter_screenshot: no control %s\n", name);
        std::exit(1);
    }
    return *widget;
}

bool JobEnded(QObject& form) {
    return Control<QPushButton>(form, "ButtonProcess").isEnabled() &&
           Control<QPlainTextEdit>(form, "MemoStatus")
               .toPlainText()
               .endsWith(QStringLiteral("Profile data processing complete."));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 4 || (args[3] != "text" && args[3] != "binary")) {
        std::fprintf(stderr,
                     "usage: hookmeter_screenshot OUTPUT.png RAWFILE text|binary [EXEFILE]\n");
        return 2;
    }
    const QString output = args[1];
    const QString raw = QFileInfo(args[2]).absoluteFilePath();
    const QString exe = args.size() > 4 ? QFileInfo(args[4]).absoluteFilePath() : QString();

    QTemporaryDir settings; // leaves the real "profile.ini" alone
    const QString reports = QDir::temp().filePath(QStringLiteral("hookmeter-screenshot"));
    QDir().mkpath(reports);
    const QString stem = QDir(reports).filePath(QFileInfo(raw).completeBaseName());

    hookmeter::TFormProfile form(settings.path());
    form.show();
    Control<QRadioButton>(form, args[3] == "binary" ? "RadioButtonBinary" : "RadioButtonText")
        .setChecked(true);
    Control<QLineEdit>(form, "EditRawFile").setText(raw);
    Control<QLineEdit>(form, "EditDSPoutFile").setText(exe);
    Control<QLineEdit>(form, "EditCallListFile").setText(stem + "_call_list.csv");
    Control<QLineEdit>(form, "EditProfileFile").setText(stem + "_profile.csv");
    Control<QPushButton>(form, "ButtonProcess").click();

    QElapsedTimer clock;
    clock.start();
    while (!JobEnded(form)) {
        if (clock.elapsed() > 120000) {
            std::fprintf(stderr, "hookmeter_screenshot: the job did not end\n");
            return 1;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QApplication::processEvents();
    if (!form.grab().save(output)) {
        std::fprintf(stderr, "hookmeter_screenshot: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    form.close();
    return 0;
}
