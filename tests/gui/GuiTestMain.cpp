// Runs the GoogleTest cases inside a QApplication. Without a display the tests use the offscreen
// platform, also when the test list is read at build time.
#include <gtest/gtest.h>

#include <QApplication>

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

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
