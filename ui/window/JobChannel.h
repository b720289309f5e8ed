// TJobChannel carries what a job tells its front end (its start, its status lines, its end) from
// the job's thread to the GUI thread. The job only queues a command and returns: it never waits
// for the window, so the GUI thread may block on the job (joining it) without a deadlock. The GUI
// thread carries the commands out in the order the job made them.
#pragma once

#include "job/JobListener.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <mutex>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace hookmeter {

class TJobChannel final : public QObject, public TJobListener {
    Q_OBJECT
public:
    // Lives on the GUI thread, like the two widgets it drives: the status box gets the lines, and
    // "Process" is off from the job's start to its end.
    TJobChannel(QPlainTextEdit* statusBox, QWidget* processButton, QObject* parent = nullptr);

    // Called on the job's thread.
    void Append(std::string_view line) override;
    void JobStarted() override;
    void JobEnded(const TJobEnd& end) override;

signals:
    // On the GUI thread, once every line before it is shown and "Process" is on again.
    void Ended(const hookmeter::TJobEnd& end);

private:
    struct TCommand {
        enum class TKind { AppendLine, Start, End } Kind;
        QString Line;
        TJobEnd End;
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
