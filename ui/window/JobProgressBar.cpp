#include "ui/window/JobProgressBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace hookmeter {

namespace {

constexpr int BarSteps = 1000;

} // namespace

TJobProgressBar::TJobProgressBar(QWidget* parent) : QWidget(parent) {
    Bar = new QProgressBar(this);
    Bar->setObjectName(QStringLiteral("ProgressBarJob"));
    Bar->setRange(0, BarSteps);
    Bar->setValue(0);
    Bar->setFormat(tr("No job has run yet"));
    Bar->setTextVisible(true);
    Elapsed = new QLabel(this);
    Elapsed->setObjectName(QStringLiteral("LabelElapsed"));
    Elapsed->setMinimumWidth(Elapsed->fontMetrics().horizontalAdvance(QStringLiteral("00:00.0 ")));
    Elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(Bar, 1);
    row->addWidget(Elapsed);

    Timer.setInterval(RefreshMilliseconds);
    connect(&Timer, &QTimer::timeout, this, &TJobProgressBar::Refresh);
}

QString TJobProgressBar::PhaseText(JobPhase phase) {
    switch (phase) {
    case JobPhase::NotStarted:
        return tr("Starting");
    case JobPhase::FirstPass:
        return tr("Reading the raw file");
    case JobPhase::Naming:
        return tr("Reading the symbols");
    case JobPhase::Replay:
        return tr("Replaying the records");
    case JobPhase::Summary:
        return tr("Writing the outputs");
    case JobPhase::Finished:
        return tr("Finishing");
    }
    return {};
}

void TJobProgressBar::Watch(const TJobProgress& progress) {
    Progress = &progress;
    LastPhase = JobPhase::NotStarted;
    LastCounted = false;
    Bar->setToolTip({});
    Clock.start();
    Timer.start();
    Refresh();
}

void TJobProgressBar::StopWatching() {
    Timer.stop();
    Progress = nullptr;
}

void TJobProgressBar::Finish(const TJobEnd& end) {
    StopWatching();
    const bool busy = Bar->maximum() == 0;
    Bar->setRange(0, BarSteps);
    QString text;
    switch (end.Outcome) {
    case JobOutcome::Done:
        Bar->setValue(BarSteps);
        text = tr("Done");
        break;
    case JobOutcome::Failed: {
        text = tr("Failed: %1").arg(QString::fromLocal8Bit(end.FirstFailure));
        if (!end.FailureReason.empty())
            text += QStringLiteral(" (%1)").arg(
                end.FailedFile.empty()
                    ? QString::fromLocal8Bit(end.FailureReason)
                    : QString::fromLocal8Bit(end.FailedFile + ": " + end.FailureReason));
        break;
    }
    case JobOutcome::Stopped: {
        QString phase = PhaseText(LastPhase);
        phase[0] = phase[0].toLower();
        text = LastCounted
                   ? tr("Stopped while %1, at %2%").arg(phase).arg(Bar->value() * 100 / BarSteps)
                   : tr("Stopped while %1").arg(phase);
        break;
    }
    }
    // A bar that showed no share keeps none; a failed or stopped job's bar stays where it was.
    if (busy && end.Outcome != JobOutcome::Done)
        Bar->setValue(0);
    Bar->setFormat(text);
    Bar->setToolTip(text);
    ShowElapsed();
}

void TJobProgressBar::Refresh() {
    if (!Progress)
        return;
    const JobPhase phase = Progress->Phase.load(std::memory_order_relaxed);
    const uint64_t done = Progress->Done.load(std::memory_order_relaxed);
    const uint64_t total = Progress->Total.load(std::memory_order_relaxed);
    const bool counted = (phase == JobPhase::FirstPass || phase == JobPhase::Replay) && total > 0;
    if (phase != JobPhase::Finished) {
        LastPhase = phase;
        LastCounted = counted;
    }
    if (counted) {
        Bar->setRange(0, BarSteps);
        Bar->setValue(int(double(std::min(done, total)) / double(total) * BarSteps));
        Bar->setFormat(PhaseText(phase) + QStringLiteral(" %p%"));
    } else {
        Bar->setRange(0, 0); // busy, with no share to show
        Bar->setFormat(PhaseText(phase));
    }
    ShowElapsed();
}

void TJobProgressBar::ShowElapsed() {
    if (!Clock.isValid())
        return;
    const qint64 tenths = Clock.elapsed() / 100;
    Elapsed->setText(QStringLiteral("%1:%2.%3")
                         .arg(tenths / 600)
                         .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
                         .arg(tenths % 10));
}

} // namespace hookmeter
