// Runs the GoogleTest cases inside a QApplication. Without a display the tests use the offscreen
// platform, also when the test list is read at build time. Its screen is made 1920 x 1200, as on
// a common desktop, and its windows get a frame, as a window manager gives them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>

// Under the thread sanitizer: Qt's libraries are not instrumented, so their own synchronisation
// (atomics, futex-based mutexes) is invisible and their internal threads (file system watchers,
// thread pools) would be reported. Accesses made from inside Qt are ignored; everything our code
// does itself, on the job's thread and the GUI thread, is still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libfontconfig.so.1\n";
}

namespace {

// Returns the configuration file to remove at the end; child processes (death tests) read it too.
QString UseDesktopSizedOffscreenScreen() {
    const QString config = QDir::temp().filePath(QStringLiteral("hookmeter-gui-test-screen-%1.json")
                                                     .arg(QCoreApplication::applicationPid()));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"windowFrameMargins": true, "screens": [{"name": "Desktop", "x": 0,
            "y": 0, "width": 1920, "height": 1200, "logicalDpiX": 96, "logicalDpiY": 96,
            "dpr": 1}]})") < 0)
        return {}; // the platform's own screen then
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    return config;
}

} // namespace

int main(int argc, char* argv[]) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    QString config;
    if (platform.isEmpty() || platform == "offscreen")
        config = UseDesktopSizedOffscreenScreen();
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!config.isEmpty())
        QFile::remove(config); // death tests' child processes have read it by now
    return result;
}
