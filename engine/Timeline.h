// The timeline: a JSON trace in the Trace Event Format for trace viewers, written as the replay
// goes, with "B"/"E" duration events in time order. One process named after the raw file; a
// "DSP core" track with one slice per task run; a "notes" track with every inconsistency; one
// track per task (in the order the tasks first ran) with every call-list event of that task.
// Memory stays constant: only each track's count of open slices is kept.
#pragma once

#include "engine/OutputFile.h"
#include "engine/ReplayObserver.h"
#include "engine/Tables.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TTimelineWriter final : public TReplayObserver {
public:
    // Times count from `firstTSC`: in microseconds at `clockHz`, or, when it is below 1, one cycle
    // shown as one nanosecond.
    TTimelineWriter(TOutputFile& file, TProfileTables& tables, std::string_view processName,
                    uint64_t firstTSC, double clockHz);

    // Writes the file's head; `startTask` runs from the first record on.
    void Begin(const TaskEntry& startTask);
    // Ends every open slice at `lastTSC` and closes the JSON text; later calls do nothing.
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

private:
    static constexpr uint32_t CoreTrack = 1;
    static constexpr uint32_t NotesTrack = 2;
    static constexpr uint32_t FirstTaskTrack = 3;

    // Nanoseconds since the first record; never earlier than an event already written.
    uint64_t TimeOf(uint64_t tsc);
    uint32_t TrackOf(const TaskEntry& task);
    // `,{"ph":"B","pid":1,"tid":N,"ts":T,"name":"`, the name and `tail`, which closes the name's
    // quote and the event.
    void WriteEvent(char phase, uint32_t track, uint64_t time, std::string_view jsonName,
                    std::string_view tail);
    void WriteTrackNames(uint32_t track, std::string_view jsonName, uint32_t sortIndex);
    std::string_view FunctionName(const FunctionEntry& function);
    std::string_view TaskName(const TaskEntry& task);
    std::string_view CachedName(std::vector<uint64_t>& cache, size_t index, const char* name);
    void EndCoreSlice(uint64_t time);

    TOutputFile& File;
    TProfileTables& Tables;
    std::string ProcessName;
    uint64_t FirstTSC;
    double NanosecondsPerCycle; // 0: one cycle is one nanosecond
    uint64_t LastTime = 0;
    std::vector<uint32_t> TaskTracks;    // by task index; 0 until the task first runs
    std::vector<uint32_t> OpenSlices;    // by track
    std::vector<uint64_t> FunctionNames; // offset << 32 | length in NamePool; ~0 until needed
    std::vector<uint64_t> TaskNames;
    std::string NamePool; // names as JSON string content
    uint32_t NextTrack = FirstTaskTrack;
    int64_t CoreTask = -1; // the task whose core slice is open
    uint64_t CoreStart = 0;
    bool Begun = false;
    bool Finished = false;
};

} // namespace hookmeter
