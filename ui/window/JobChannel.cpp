#include "ui/window/JobChannel.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>

namespace hookmeter {

TJobChannel::TJobChannel(QPlainTextEdit* statusBox, QWidget* processButton, QObject* parent)
    : QObject(parent), StatusBox(statusBox), ProcessButton(processButton) {}

void TJobChannel::Append(std::string_view line) {
    Post({TCommand::TKind::AppendLine,
          QString::fromLocal8Bit(line.data(), qsizetype(line.size())),
          {}});
}

void TJobChannel::JobStarted() {
    Post({TCommand::TKind::Start, {}, {}});
}

void TJobChannel::JobEnded(const TJobEnd& end) {
    Post({TCommand::TKind::End, {}, end});
}

void TJobChannel::Post(TCommand command) {
    bool firstPending = false;
    {
        std::lock_guard lock(PendingLock);
        firstPending = Pending.empty();
        Pending.push_back(std::move(command));
    }
    // One delivery takes every command queued until it runs, so a delivery is asked for only when
    // the queue was empty. Asking by name keeps the queued call's data inside Qt, which hands it
    // to the GUI thread under its own lock.
    if (firstPending)
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void TJobChannel::Deliver() {
    std::vector<TCommand> commands;
    {
        std::lock_guard lock(PendingLock);
        commands.swap(Pending);
    }
    QStringList lines;
    for (TCommand& command : commands) {
        if (command.Kind == TCommand::TKind::AppendLine) {
            lines.append(std::move(command.Line));
            continue;
        }
        AppendLines(lines); // lines queued before the switch are shown before it happens
        lines.clear();
        const bool ended = command.Kind == TCommand::TKind::End;
        if (ProcessButton)
            ProcessButton->setEnabled(ended);
        if (ended)
            emit Ended(command.End);
    }
    AppendLines(lines);
}

void TJobChannel::AppendLines(const QStringList& lines) {
    if (lines.isEmpty() || !StatusBox)
        return;
    StatusBox->appendPlainText(lines.join(QLatin1Char('\n')));
    QScrollBar* scrollBar = StatusBox->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
}

} // namespace hookmeter
