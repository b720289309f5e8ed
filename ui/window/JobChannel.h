// TJobChannel carries a job's two kinds of call (append a status line, switch "Process") from the
// job's thread to the GUI thread. The job only queues a command and returns: it never waits for the
// window, so the GUI thread may block on the job (joining it) without a deadlock. The GUI thread
// carries the commands out in the order the job made them.
#pragma once

#include "base/StatusLines.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <mutex>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace hookmeter {

class TJobChannel final : public QObject, public TStatusLines, public TProcessButton {
    Q_OBJECT
public:
    // Lives on the GUI thread, like the two widgets it drives.
    TJobChannel(QPlainTextEdit* statusBox, QWidget* processButton, QObject* parent = nullptr);

    // Called on the job's thread.
    void Append(std::string_view line) override;
    void SetEnabled(bool enabled) override;

signals:
    // On the GUI thread, right after "Process" was switched as the job asked: off when the job
    // begins its work, on when it has completed it.
    void ProcessSwitched(bool enabled);

private:
    struct TCommand {
        enum class TKind { AppendLine, Enable, Disable } Kind;
        QString Line;
    };

    void Post(TCommand command);
    // Runs on the GUI thread: carries out every command queued so far.
    Q_INVOKABLE void Deliver();
    void AppendLines(const QStringList& lines);

    QPointer<QPlainTextEdit> StatusBox;
    QPointer<QWidget> ProcessButton;

    std::mutex PendingLock; // held only to add or take commands, never while waiting
    std::vector<TCommand> Pending;
};

} // namespace hookmeter
