// hookmeter_screenshot [--flame FLAME.png] [--timeline WHOLE.png ZOOMED.png] OUTPUT.png RAWFILE
//                      text|binary [EXEFILE]
// Opens the main window as a person would, processes RAWFILE with every output on into reports
// under build/screenshot/reports, waits for the job to end and saves a picture of the window with
// its results; with --flame, also one of the flame graph tab; with --timeline, two of the
// timeline tab: the whole trace, and the worst call of the function that takes the most time,
// shown with "Show worst call". File names are shown as they are
// given, so relative names keep the pictures free of this machine's folders. Used by
// scripts/screenshot.sh.
#include "ui/window/FormProfile.h"

#include <QAction>
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
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
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

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

bool Save(QWidget& form, const QString& path) {
    Settle();
    if (form.grab().save(path)) {
        std::printf("%s\n", qPrintable(path));
        return true;
    }
    std::fprintf(stderr, "hookmeter_screenshot: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    QString flame, timelineWhole, timelineZoomed;
    for (bool more = true; more;) {
        more = false;
        if (args.size() >= 2 && args[0] == "--flame") {
            flame = args[1];
            args = args.mid(2);
            more = true;
        } else if (args.size() >= 3 && args[0] == "--timeline") {
            timelineWhole = args[1];
            timelineZoomed = args[2];
            args = args.mid(3);
            more = true;
        }
    }
    if (args.size() < 3 || (args[2] != "text" && args[2] != "binary")) {
        std::fprintf(stderr,
                     "usage: hookmeter_screenshot [--flame FLAME.png] [--timeline WHOLE.png "
                     "ZOOMED.png] OUTPUT.png RAWFILE text|binary [EXEFILE]\n");
        return 2;
    }
    const QString output = args[0];
    const QString raw = args[1];
    const QString exe = args.size() > 3 ? args[3] : QString();

    QTemporaryDir settings; // leaves the real "profile.ini" alone
    const QString reports = QStringLiteral("build/screenshot/reports");
    QDir().mkpath(reports);
    const QString stem = reports + QLatin1Char('/') + QFileInfo(raw).completeBaseName();

    hookmeter::TFormProfile form(settings.path());
    form.resize(1270, 1000);
    form.show();
    Control<QRadioButton>(form, args[2] == "binary" ? "RadioButtonBinary" : "RadioButtonText")
        .setChecked(true);
    Control<QLineEdit>(form, "EditRawFile").setText(raw);
    Control<QLineEdit>(form, "EditDSPoutFile").setText(exe);
    Control<QLineEdit>(form, "EditCallListFile").setText(stem + "_call_list.csv");
    Control<QLineEdit>(form, "EditProfileFile").setText(stem + "_profile.csv");
    Control<QLineEdit>(form, "EditTimelineFile").setText(stem + "_timeline.pftrace");
    Control<QLineEdit>(form, "EditFoldedFile").setText(stem + "_folded.txt");
    Control<QLineEdit>(form, "EditStatsFile").setText(stem + "_stats.csv");
    for (const char* output : {"CheckBoxTimeline", "CheckBoxFolded", "CheckBoxStats"})
        Control<QCheckBox>(form, output).setChecked(true);
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
    Settle();
    // The worst call of the function that takes the most time.
    auto& functions = Control<QTableView>(form, "TableFunctions");
    functions.setCurrentIndex(functions.model()->index(0, 0));
    emit functions.activated(functions.currentIndex());
    if (!Save(form, output))
        return 1;
    if (!flame.isEmpty()) {
        Control<QTabWidget>(form, "TabsResults").setCurrentIndex(2);
        if (!Save(form, flame))
            return 1;
    }
    if (!timelineWhole.isEmpty()) {
        // The results get all the height the screen has, the status box a few lines.
        form.resize(form.width(), 1090);
        Settle();
        auto& splitter = Control<QSplitter>(form, "SplitterResults");
        splitter.setSizes({splitter.height() - 60, 60});
        auto& tabs = Control<QTabWidget>(form, "TabsResults");
        tabs.setCurrentWidget(&Control<QWidget>(form, "TimelineTab"));
        if (!Save(form, timelineWhole))
            return 1;
        tabs.setCurrentIndex(0);
        Control<QAction>(form, "ActionShowWorstCall").trigger();
        if (!Save(form, timelineZoomed))
            return 1;
    }
    form.close();
    return 0;
}
