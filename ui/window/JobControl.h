// TJobControl: the window's run control. It starts one job at a time, lets the user stop it,
// shows its progress, and tells the window when the job's end has been shown, with the job's
// results. The GUI thread never waits for a job: a finished job is destroyed by the reaper, and a
// press that lands while a job runs is ignored.
#pragma once

#include "job/JobListener.h"
#include "job/Profile.h"
#include "ui/window/JobReaper.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace hookmeter {

class TJobChannel;
class TJobProgressBar;

class TJobControl final : public QObject {
    Q_OBJECT
public:
    // The widgets are the window's: the status box gets the job's lines, "Process" is off while a
    // job runs and "Stop" on, and the progress bar follows the job.
    TJobControl(QPlainTextEdit* statusBox, QPushButton* processButton, QPushButton* stopButton,
                TJobProgressBar* progress, QObject* parent = nullptr);
    // Waits for a running job; its queued lines never hold it up.
    ~TJobControl() override;

    // From the start of a job until its end has been shown.
    bool Running() const { return IsRunning; }
    // Starts a job unless one runs. Throws when its thread cannot be made; no job runs then.
    void Start(TJobParameters parameters);
    // Asks the running job to stop at its next block of records.
    void Stop();
    // What the last job found, once it has ended; none before.
    std::shared_ptr<const TJobResults> Results() const;

signals:
    // On the GUI thread, once the job's last line is shown and "Process" is on again.
    void Ended(const hookmeter::TJobEnd& end);

private:
    void JobEnded(const TJobEnd& end);

    QPointer<QPushButton> ProcessButton;
    QPointer<QPushButton> StopButton;
    QPointer<TJobProgressBar> Progress;
    TJobChannel* Channel = nullptr; // a child: outlives the job, which is destroyed first
    TJobReaper Reaper;              // destroys earlier jobs away from the GUI thread; outlives Job
    std::unique_ptr<TProfile> Job;
    bool IsRunning = false;
    bool FocusWaits = false; // "Process" had the focus when the job started
};

} // namespace hookmeter
