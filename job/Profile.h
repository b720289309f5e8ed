// TProfile: one processing job. It turns a raw hook record file and the DSP executable's symbols
// into the call list and the profile summary, on a thread of its own, and reports every step
// and every inconsistency as status lines.
#pragma once

#include "analysis/JobResults.h"
#include "job/JobListener.h"
#include "job/JobParameters.h"
#include "job/JobProgress.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace hookmeter {

class TJobPipeline;

class TProfile {
public:
    // Made suspended: nothing runs until Start. The listener, when there is one, must outlive the
    // job's thread.
    explicit TProfile(TJobParameters parameters, TJobListener* listener = nullptr);
    // Waits for a running job before anything is freed.
    ~TProfile();
    TProfile(const TProfile&) = delete;
    TProfile& operator=(const TProfile&) = delete;

    const TJobParameters& Parameters() const { return JobParameters; }
    // Runs the job's body once on a thread of its own.
    void Start();
    // Returns once the job's body has returned; at once when the job was never started.
    void WaitFor();
    // Asks a running job to stop at its next block of records; safe from any thread. The job
    // then writes no report and leaves earlier reports untouched.
    void Stop();
    // True once the job's body has ended because Stop asked it to.
    bool Stopped() const { return EndedByStop.load(); }
    // Readable from any thread while the job runs.
    const TJobProgress& Progress() const { return JobProgress; }
    // What the job found; set once its body has returned (none before, or when CollectResults
    // was off and no output needed it).
    std::shared_ptr<const TJobResults> Results() const;

private:
    void Execute();

    const TJobParameters JobParameters;
    TJobListener* Listener;
    std::unique_ptr<TJobPipeline> Pipeline; // the working state; lives as long as the job object
    TJobProgress JobProgress;
    mutable std::mutex ResultsLock;
    std::shared_ptr<const TJobResults> FinishedResults; // guarded by ResultsLock
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> EndedByStop{false};
    std::thread Thread;
};

} // namespace hookmeter
