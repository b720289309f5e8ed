// TProfile: one processing job. It turns a raw hook record file and the DSP executable's symbols
// into the call list and the profile summary, on a thread of its own, and reports every step
// and every inconsistency as status lines.
#pragma once

#include "analysis/JobResults.h"
#include "base/StatusLines.h"
#include "job/JobProgress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace hookmeter {

class TProfileJob;

class TProfile {
public:
    // Made suspended: nothing runs until Start.
    TProfile();
    // Waits for a running job before anything is freed.
    ~TProfile();
    TProfile(const TProfile&) = delete;
    TProfile& operator=(const TProfile&) = delete;

    // Runs the job's body once on a thread of its own. Set the parameters first.
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

    // Parameters, set before Start and only read by the job.
    std::string RawDataFileName;
    int8_t RawDataFileType = 0; // 0 text form, 1 binary form, -1 none chosen (read as text)
    std::string DSPOutFileName;
    bool ParseGlobalSymbolOnly = true;
    std::string CallListFileName;
    std::string ProfileFileName;
    uint32_t CallStackSize = 256;
    TProcessButton* ProcessButton = nullptr; // may be none
    TStatusLines* StatusLines = nullptr;

    // Optional outputs, none when empty.
    std::string TimelineFileName; // Trace Event Format JSON
    std::string FoldedFileName;   // folded stacks for flame graphs
    std::string StatsFileName;    // distributions and worst calls, CSV
    double ClockHz = 0;           // DSP clock for real times in the timeline; 0: cycles
    bool CollectResults = false;  // keep the results in memory for Results()

private:
    void Execute();

    std::unique_ptr<TProfileJob> Job; // the working state; lives as long as the job object
    TJobProgress JobProgress;
    mutable std::mutex ResultsLock;
    std::shared_ptr<const TJobResults> FinishedResults; // guarded by ResultsLock
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> EndedByStop{false};
    std::thread Thread;
};

} // namespace hookmeter
