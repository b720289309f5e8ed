// TJobProgressBar: how far the running job has come (its phase, the share of the raw file or of
// the records done) and how long it has run. It reads the job's progress counters on a timer, so
// the job never waits for it.
#pragma once

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

    // Starts showing a job's counters; they must stay valid until Finish.
    void Watch(const TJobProgress& progress);
    // Stops reading the counters and shows how the job ended.
    void Finish(const QString& outcome);

    static QString PhaseText(JobPhase phase);

private:
    void Refresh();
    void ShowElapsed();

    const TJobProgress* Progress = nullptr;
    QElapsedTimer Clock;
    QTimer Timer;
    QProgressBar* Bar = nullptr;
    QLabel* Elapsed = nullptr;
};

} // namespace hookmeter
