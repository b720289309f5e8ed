#include "ui/window/JobControl.h"

#include "ui/window/JobChannel.h"
#include "ui/window/JobProgressBar.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace hookmeter {

TJobControl::TJobControl(QPlainTextEdit* statusBox, QPushButton* processButton,
                         QPushButton* stopButton, TJobProgressBar* progress, QObject* parent)
    : QObject(parent), ProcessButton(processButton), StopButton(stopButton), Progress(progress),
      Channel(new TJobChannel(statusBox, processButton, this)) {
    connect(Channel, &TJobChannel::Ended, this, &TJobControl::JobEnded);
}

TJobControl::~TJobControl() {
    if (Progress)
        Progress->StopWatching(); // reads the job's counters no more
    Job.reset();
}

void TJobControl::Start(TJobParameters parameters) {
    // A press that lands while a job runs (before the job has switched "Process" off) is ignored:
    // the GUI thread never waits for a job, and two jobs never run together.
    if (IsRunning)
        return;
    // The previous job has ended; the reaper collects its thread, so nothing here waits.
    if (Job)
        Reaper.Take(std::move(Job));
    Job = std::make_unique<TProfile>(std::move(parameters), Channel);
    try {
        Job->Start();
    } catch (...) {
        Job.reset(); // a job whose thread could not be made leaves the slot empty
        throw;
    }
    IsRunning = true;
    if (ProcessButton) {
        // A disabled button passes the keyboard focus on to the next control, where typing would
        // change the next job's options. The focus waits on the window instead, and comes back
        // when the job has ended.
        QWidget* window = ProcessButton->window();
        FocusWaits = window->focusWidget() == ProcessButton;
        if (FocusWaits)
            window->setFocus(Qt::OtherFocusReason);
        ProcessButton->setEnabled(false);
    }
    if (StopButton)
        StopButton->setEnabled(true);
    if (Progress)
        Progress->Watch(Job->Progress());
}

void TJobControl::Stop() {
    if (!IsRunning || !Job)
        return;
    if (StopButton)
        StopButton->setEnabled(false);
    Job->Stop();
}

std::shared_ptr<const TJobResults> TJobControl::Results() const {
    return Job && !IsRunning ? Job->Results() : nullptr;
}

void TJobControl::JobEnded(const TJobEnd& end) {
    if (!IsRunning || !Job)
        return;
    IsRunning = false;
    if (StopButton)
        StopButton->setEnabled(false);
    if (Progress)
        Progress->Finish(end);
    // Unless the user has put the focus elsewhere meanwhile.
    if (FocusWaits && ProcessButton &&
        ProcessButton->window()->focusWidget() == ProcessButton->window())
        ProcessButton->setFocus(Qt::OtherFocusReason);
    FocusWaits = false;
    emit Ended(end);
}

} // namespace hookmeter
