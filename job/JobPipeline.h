// The working state of one processing job and the pipeline that fills it: first pass, tables,
// naming, replay with the call list, end-of-run report and profile summary.
#pragma once

#include "analysis/JobResults.h"
#include "base/OutputFile.h"
#include "base/StatusReporter.h"
#include "core/EntryTables.h"
#include "core/Naming.h"
#include "core/RawFile.h"
#include "job/JobParameters.h"
#include "job/JobProgress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace hookmeter {

class TReplay;

class TJobPipeline {
public:
    TJobPipeline() = default;

    enum class Outcome {
        Ended,   // the pipeline ran to its end or ended at a failure it reported
        Stopped, // `stop` was set: no report was written
    };

    // Runs the whole pipeline with the job's parameters; every file it opens is closed again
    // when it returns, also by an exception, and a report that is not complete by then is
    // removed. `stop` is looked at between the steps and before every block of records.
    Outcome Run(const TJobParameters& parameters, TStatusReporter& status, TJobProgress& progress,
                const std::atomic<bool>& stop);

    // What the job found, when its parameters asked for more than the two reports.
    std::shared_ptr<TJobResults> Results;
    // When the job's first failure was a file that could not be opened: the file and the
    // system's reason (TJobEnd).
    std::string FailedFile;
    std::string FailureReason;

private:
    struct TReplayEnd {
        uint32_t Processed = 0;
        RawFileProblem Problem = RawFileProblem::None; // why the replay ended early, if it did
    };

    TaskEntry& ChooseStartTask();
    // Opens an output report unless its path names one of the job's input files.
    bool OpenReport(TOutputFile& report, const std::string& fileName,
                    const TJobParameters& parameters, const TStatusReporter& status);
    // Keeps why a file could not be opened, when its line will be the job's first failure.
    void NoteOpenFailure(const TStatusReporter& status, const std::string& fileName,
                         std::string reason);
    // A raw file whose records are all invalid: says which form was used, and whether the other
    // one reads it.
    void ReportNoValidRecord(const TJobParameters& parameters, TStatusReporter& status);
    // Finds the record with the earliest TSC and replays every valid record from there,
    // wrapping around the end of the file.
    TReplayEnd ReplayRecords(TReplay& replay, TStatusReporter& status, TJobProgress& progress);
    void ReportEndOfRun(const TReplay& replay, TStatusReporter& status);
    Outcome StopWithoutReports(TStatusReporter& status);

    TRawFile RawFile;
    TOutputFile CallListFile;
    TOutputFile ProfileFile;
    TEntryTables Tables;
    TNames Names;
    uint32_t ValidRecords = 0;
    uint64_t FirstTSC = ~uint64_t{0};
    uint64_t LastTSC = 0;
    RawRecord FirstTaskRecord{~uint32_t{0}, 0, ~uint64_t{0}};
};

} // namespace hookmeter
