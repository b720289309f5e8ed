// TJobProgressBar: how far the running job has come (its phase, the share of the raw file or of
// the records done) and how long it has run, and then how it ended: done on a full bar, failed
// with its first "!!!" line and the reason, or stopped with the bar where it stopped. It reads the
// job's progress counters on a timer, so the job never waits for it.
#pragma once

#include "job/JobListener.h"
#include "job/JobProgress.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace hookmeter {

class TJobProgressBar final : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshMilliseconds = 100;

    explicit TJobProgressBar(QWidget* parent = nullptr);

    // Starts showing a job's counters; they must stay valid until Finish or StopWatching.
    void Watch(const TJobProgress& progress);
    // Stops reading the counters and shows how the job ended.
    void Finish(const TJobEnd& end);
    // Stops reading the counters and leaves the bar as it is.
    void StopWatching();

    static QString PhaseText(JobPhase phase);

private:
    void Refresh();
    void ShowElapsed();

    const TJobProgress* Progress = nullptr;
    JobPhase LastPhase = JobPhase::NotStarted; // as last shown
    bool LastCounted = false;                  // the bar showed a share of the phase
    QElapsedTimer Clock;
    QTimer Timer;
    QProgressBar* Bar = nullptr;
    QLabel* Elapsed = nullptr;
};

} // namespace hookmeter
