#include "job/JobOutputs.h"

#include "analysis/FoldedFile.h"
#include "analysis/PerfettoWriter.h"
#include "analysis/StatsFile.h"
#include "analysis/TimelineForm.h"
#include "analysis/TraceEventWriter.h"
#include "job/JobParameters.h"

#include <thread>

namespace hookmeter {

TJobOutputs::TJobOutputs(const TJobParameters& parameters, TEntryTables& tables,
                         uint32_t callStackSize, TOpenOutput openOutput)
    : Parameters(parameters), Tables(tables), CallStackSize(callStackSize),
      OpenOutput(std::move(openOutput)),
      TreeWanted(parameters.CollectResults || parameters.CollectTimeline ||
                 !parameters.FoldedFileName.empty() || !parameters.StatsFileName.empty()) {
    IsWanted = TreeWanted || !parameters.TimelineFileName.empty();
}

TJobOutputs::~TJobOutputs() {
    Threads.reset();
    if (!Timeline)
        return;
    // Ended early: the timeline is closed and written out whole, so that a name written directly
    // (a device, a link) holds a valid file; one under a temporary name is then discarded, as
    // the reports are.
    Timeline->Finish(0);
    TimelineFile.Finish();
}

TReplayObserver& TJobOutputs::Start(TCallListWriter& callList, TStatusReporter& status,
                                    const TaskEntry& startTask, uint64_t firstTSC) {
    if (!IsWanted)
        return callList;
    FanOut.Add(callList);
    if (TreeWanted) {
        Tree.emplace(Tables, CallStackSize);
        FirstThreadWork.Add(*Tree);
        Distributions.emplace(Tables, *Tree);
        FirstThreadWork.Add(*Distributions);
    }
    if (!Parameters.TimelineFileName.empty())
        StartTimeline(status, startTask, firstTSC);
    // The call tree with the distributions, and the timeline, each get a thread where the
    // machine has a core for each beside the replay's. Else they share one: more busy threads
    // than cores only take turns and wait for each other. The results are taken on the first
    // thread (see Finish).
    unsigned cores = std::thread::hardware_concurrency();
    bool ownThreads = cores >= 3;
    std::vector<TReplayObserver*> targets;
    if (TreeWanted)
        targets.push_back(&FirstThreadWork);
    if (Timeline) {
        if (TreeWanted && !ownThreads)
            FirstThreadWork.Add(*Timeline);
        else
            targets.push_back(&*Timeline);
    }
    // The window's timeline likewise, where a core is left for it.
    if (Parameters.CollectTimeline) {
        Tracks.emplace(Tables, CallStackSize, startTask, firstTSC);
        if (cores >= targets.size() + 2)
            targets.push_back(&*Tracks);
        else
            FirstThreadWork.Add(*Tracks);
    }
    if (!targets.empty()) {
        Threads.emplace(Tables, CallStackSize, std::move(targets));
        Threads->Start();
        FanOut.Add(*Threads);
    }
    return FanOut;
}

bool TJobOutputs::StartTimeline(TStatusReporter& status, const TaskEntry& startTask,
                                uint64_t firstTSC) {
    std::optional<TimelineForm> form = TimelineFormOf(Parameters.TimelineFileName);
    if (!form) {
        status.FormatStatusLine("!!!The timeline file name must end in %s!!!", TimelineEndings);
        return false;
    }
    if (!OpenOutput(TimelineFile, Parameters.TimelineFileName)) {
        status.AddStatusLine("!!!Can not open timeline file!!!");
        return false;
    }
    if (*form == TimelineForm::Perfetto)
        TimelineEncoder = std::make_unique<TPerfettoWriter>(TimelineFile);
    else
        TimelineEncoder = std::make_unique<TTraceEventWriter>(TimelineFile);
    Timeline.emplace(*TimelineEncoder, Tables, Parameters.RawDataFileName, firstTSC,
                     Parameters.ClockHz);
    Timeline->Begin(startTask);
    return true;
}

bool TJobOutputs::WriteFile(const std::string& fileName, const char* openFailure,
                            const char* writeFailure, TStatusReporter& status,
                            const std::function<void(TOutputFile&)>& write) {
    TOutputFile file;
    if (!OpenOutput(file, fileName)) {
        status.AddStatusLine(openFailure);
        return false;
    }
    write(file);
    if (!file.Close()) {
        status.AddStatusLine(writeFailure);
        return false;
    }
    return true;
}

std::shared_ptr<TJobResults> TJobOutputs::Finish(TStatusReporter& status, uint64_t firstTSC,
                                                 uint64_t lastTSC) {
    if (!IsWanted)
        return nullptr;
    std::shared_ptr<TJobResults> results;
    auto takeResults = [&] {
        if (!TreeWanted)
            return;
        results = std::make_shared<TJobResults>(
            Distributions->TakeResults(*Tree, firstTSC, lastTSC, Parameters.CollectResults));
        Distributions.reset();
        Tree.reset();
    };
    if (Threads)
        Threads->Finish(takeResults);
    else
        takeResults();
    if (Tracks) {
        // Every event has reached it: the threads are done.
        std::shared_ptr<TCallTracks> tracks = Tracks->Finish(lastTSC);
        Tracks.reset();
        if (!tracks)
            status.AddStatusLine("!!!Can not write the timeline's calls to a temporary file, the "
                                 "timeline is not shown!!!");
        else if (results)
            results->Tracks = std::move(tracks);
    }
    bool timelineWritten = false;
    if (Timeline) {
        Timeline->Finish(lastTSC);
        Timeline.reset();
        TimelineEncoder.reset();
        timelineWritten = TimelineFile.Close();
        if (!timelineWritten)
            status.AddStatusLine("!!!Can not write timeline file, the timeline is incomplete!!!");
    }
    if (!results)
        return nullptr;
    if (results->CallTree.Folded)
        status.FormatStatusLine("Calls deeper than %u or on paths beyond the first %u are counted "
                                "in their callers in the folded stacks and the call tree.",
                                TCallTreeBuilder::MaxDepth, TCallTreeBuilder::MaxNodes);
    if (timelineWritten)
        results->Files.push_back({"Timeline", Parameters.TimelineFileName});
    if (!Parameters.FoldedFileName.empty() &&
        WriteFile(Parameters.FoldedFileName, "!!!Can not open folded stacks file!!!",
                  "!!!Can not write folded stacks file, the folded stacks are incomplete!!!",
                  status, [&](TOutputFile& file) { WriteFoldedStacks(file, results->CallTree); }))
        results->Files.push_back({"Folded stacks", Parameters.FoldedFileName});
    if (!Parameters.StatsFileName.empty() &&
        WriteFile(Parameters.StatsFileName, "!!!Can not open statistics file!!!",
                  "!!!Can not write statistics file, the statistics are incomplete!!!", status,
                  [&](TOutputFile& file) { WriteStatsFile(file, *results); }))
        results->Files.push_back({"Statistics", Parameters.StatsFileName});
    return results;
}

} // namespace hookmeter
