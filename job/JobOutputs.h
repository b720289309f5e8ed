// The job's optional outputs beyond the two reports: the timeline, the folded stacks, the
// distributions file and the results kept in memory, the window's timeline among them. They watch
// the same replay as the call list, on a thread beside it (two where the machine has the cores);
// when none is asked for, the call list is the replay's only observer.
#pragma once

#include "analysis/CallTracksBuilder.h"
#include "analysis/CallTree.h"
#include "analysis/Distributions.h"
#include "analysis/JobResults.h"
#include "analysis/Timeline.h"
#include "analysis/TimelineEncoder.h"
#include "base/OutputFile.h"
#include "base/StatusReporter.h"
#include "core/CallList.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"
#include "job/JobParameters.h"
#include "job/ObserverThreads.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace hookmeter {

class TJobOutputs {
public:
    // Opens an output file, with the same checks as the reports.
    using TOpenOutput = std::function<bool(TOutputFile&, const std::string&)>;

    TJobOutputs(const TJobParameters& parameters, TEntryTables& tables, uint32_t callStackSize,
                TOpenOutput openOutput);
    // Closes the timeline as a valid file of its form also when the job ends early.
    ~TJobOutputs();

    // Opens the timeline in the form its name asks for and sets up the observers; returns the
    // observer for the replay.
    TReplayObserver& Start(TCallListWriter& callList, TStatusReporter& status,
                           const TaskEntry& startTask, uint64_t firstTSC);
    // After the replay and its final flush: finishes and writes every output, and returns the
    // results (none when neither they, the folded stacks nor the statistics were wanted). Call
    // before the summary reorders the tables.
    std::shared_ptr<TJobResults> Finish(TStatusReporter& status, uint64_t firstTSC,
                                        uint64_t lastTSC);

private:
    // Writes one output file; false after a failure, which is reported.
    bool WriteFile(const std::string& fileName, const char* openFailure, const char* writeFailure,
                   TStatusReporter& status, const std::function<void(TOutputFile&)>& write);

    const TJobParameters& Parameters;
    TEntryTables& Tables;
    uint32_t CallStackSize;
    TOpenOutput OpenOutput;
    bool IsWanted;
    bool TreeWanted; // the call tree and distributions: for results, folded stacks, statistics

    TObserverFanOut FanOut; // the call list, then the threads below
    // The call tree and the distributions, and the timeline when it has no thread of its own.
    TObserverFanOut FirstThreadWork;
    std::optional<TCallTreeBuilder> Tree;
    std::optional<TDistributionCollector> Distributions;
    // Opens the timeline file and starts the timeline; false after a failure, which is reported.
    bool StartTimeline(TStatusReporter& status, const TaskEntry& startTask, uint64_t firstTSC);

    TOutputFile TimelineFile;
    std::unique_ptr<TTimelineEncoder> TimelineEncoder;
    std::optional<TTimeline> Timeline;
    std::optional<TCallTracksBuilder> Tracks; // the window's timeline
    std::optional<TObserverThreads> Threads;  // last: ended before the observers they feed
};

} // namespace hookmeter
