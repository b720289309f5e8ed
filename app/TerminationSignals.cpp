#include "app/TerminationSignals.h"

#include "ui/window/FormProfile.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace hookmeter {

namespace {

// The handler only writes a byte into this socket pair; the event loop reads it on the GUI thread.
int SignalSockets[2] = {-1, -1};

void NoteSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalSockets[1], &byte, 1);
}

void CloseWindows() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    qApp->setProperty(TerminatingProperty, true); // a running job is stopped, not waited for
    QApplication::closeAllWindows();
}

} // namespace

void CloseWindowsOnTerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalSockets) != 0)
        return;
    auto* notifier = new QSocketNotifier(SignalSockets[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [notifier] {
        notifier->setEnabled(false);
        CloseWindows();
    });
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace hookmeter
