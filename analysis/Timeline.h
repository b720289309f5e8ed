// The timeline of a job, written as the replay goes: one process named after the raw file; a
// "DSP core" track with one slice per task run; a "notes" track with every inconsistency; one
// track per task (in the order the tasks first ran) with every call-list event of that task: a
// completed call is a slice with its inclusive and exclusive cycles and its address, a call the
// job gave up without its exit a slice cut where it was given up, an exit without enter an
// instant. Times count in nanoseconds from the first record and never run backwards: an event
// whose TSC is below an earlier one is shown at the latest time already written. What the file
// looks like is its writer's business (TTimelineEncoder). Memory stays constant: each
// track's count of open slices and each entry's name are kept.
#pragma once

#include "analysis/TimelineEncoder.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TTimeline final : public TReplayObserver {
public:
    // Times count from `firstTSC`: in nanoseconds at `clockHz`, or, when it is below 1, one cycle
    // shown as one nanosecond.
    TTimeline(TTimelineEncoder& encoder, TEntryTables& tables, std::string_view processName,
              uint64_t firstTSC, double clockHz);

    // Starts the file; `startTask` runs from the first record on.
    void Begin(const TaskEntry& startTask);
    // Ends every open slice at `lastTSC` and ends the file; later calls do nothing.
    void Finish(uint64_t lastTSC);

    void FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) override;
    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override;
    void CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                  uint64_t cutTSC) override;
    void ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                          uint64_t exitTSC) override;
    void TaskEntered(const TaskEntry& task, uint64_t enterTSC) override;
    void TaskExited(const TaskEntry& task, uint64_t exitTSC) override;
    void InconsistencyNoted(uint64_t tsc, std::string_view line) override;

    static constexpr uint32_t CoreTrack = 1;
    static constexpr uint32_t NotesTrack = 2;
    static constexpr uint32_t FirstTaskTrack = 3;

private:
    // Nanoseconds since the first record; never earlier than an event already written.
    uint64_t TimeOf(uint64_t tsc);
    // The task's track, added on its first use.
    uint32_t TrackOf(const TaskEntry& task);
    // An entry's name, kept from its first event on: the entries themselves lie in lines of
    // memory that the replay writes on another thread.
    const TTimelineName& NameOf(const FunctionEntry& function);
    const TTimelineName& NameOf(const TaskEntry& task);
    void BeginSlice(uint32_t track, uint64_t time, const TTimelineName& name);
    // Counts the end of a slice on `track`; false when none is open there.
    bool EndSlice(uint32_t track);
    void EndCoreSlice(uint64_t time);

    TTimelineEncoder& Encoder;
    TEntryTables& Tables;
    std::string ProcessName;
    uint64_t FirstTSC;
    double ClockHz;
    double NanosecondsPerCycle; // 0: one cycle is one nanosecond
    uint64_t LastTime = 0;
    std::vector<TTimelineName> Names; // by key: functions, then tasks; Name null until first used
    std::vector<uint32_t> TaskTracks; // by task index; 0 until the task first runs
    std::vector<uint32_t> OpenSlices; // by track
    uint32_t NextTrack = FirstTaskTrack;
    int64_t CoreTask = -1; // the task whose core slice is open
    uint64_t CoreStart = 0;
    bool Begun = false;
    bool Finished = false;
};

} // namespace hookmeter
