#include "analysis/Timeline.h"

#include "core/Entries.h"

namespace hookmeter {

TTimeline::TTimeline(TTimelineEncoder& encoder, TEntryTables& tables, std::string_view processName,
                     uint64_t firstTSC, double clockHz)
    : Encoder(encoder), Tables(tables), ProcessName(processName), FirstTSC(firstTSC),
      ClockHz(clockHz >= 1 ? clockHz : 0), NanosecondsPerCycle(clockHz >= 1 ? 1e9 / clockHz : 0),
      Names(size_t{tables.FunctionCount} + tables.TaskCount, TTimelineName{0, nullptr, 0}),
      TaskTracks(tables.TaskCount, 0), OpenSlices(FirstTaskTrack + tables.TaskCount, 0) {}

uint64_t TTimeline::TimeOf(uint64_t tsc) {
    uint64_t cycles = tsc > FirstTSC ? tsc - FirstTSC : 0;
    uint64_t time = cycles;
    if (NanosecondsPerCycle > 0) {
        if (cycles < (uint64_t{1} << 53)) { // exact in a double
            time = uint64_t(double(cycles) * NanosecondsPerCycle + 0.5);
        } else {
            long double nanoseconds = (long double)cycles * NanosecondsPerCycle + 0.5L;
            time = nanoseconds < 1.8e19L ? uint64_t(nanoseconds) : ~uint64_t{0}; // a slow clock
        }
    }
    if (time > LastTime)
        LastTime = time;
    return LastTime;
}

const TTimelineName& TTimeline::NameOf(const FunctionEntry& function) {
    TTimelineName& name = Names[Tables.IndexOf(function)];
    if (name.Name == nullptr)
        name = {uint32_t(Tables.IndexOf(function)), PrintableName(function.Name), function.Address};
    return name;
}

const TTimelineName& TTimeline::NameOf(const TaskEntry& task) {
    uint32_t key = Tables.FunctionCount + uint32_t(Tables.IndexOf(task));
    TTimelineName& name = Names[key];
    if (name.Name == nullptr)
        name = {key, PrintableName(task.Name), 0};
    return name;
}

uint32_t TTimeline::TrackOf(const TaskEntry& task) {
    uint32_t& track = TaskTracks[Tables.IndexOf(task)];
    if (track == 0) {
        track = NextTrack++;
        Encoder.TrackAdded(track, PrintableName(task.Name), track);
    }
    return track;
}

void TTimeline::BeginSlice(uint32_t track, uint64_t time, const TTimelineName& name) {
    Encoder.SliceBegun(track, time, name);
    ++OpenSlices[track];
}

bool TTimeline::EndSlice(uint32_t track) {
    if (OpenSlices[track] == 0)
        return false;
    --OpenSlices[track];
    return true;
}

void TTimeline::Begin(const TaskEntry& startTask) {
    Begun = true;
    Encoder.Begin({ProcessName, FirstTSC, ClockHz, Tables.FunctionCount + Tables.TaskCount,
                   uint32_t(OpenSlices.size())});
    Encoder.TrackAdded(CoreTrack, "DSP core", 0);
    Encoder.TrackAdded(NotesTrack, "notes", 1);
    TrackOf(startTask);
    uint64_t time = TimeOf(FirstTSC);
    BeginSlice(CoreTrack, time, NameOf(startTask));
    CoreTask = Tables.IndexOf(startTask);
    CoreStart = time;
}

void TTimeline::EndCoreSlice(uint64_t time) {
    if (CoreTask < 0)
        return;
    if (EndSlice(CoreTrack))
        Encoder.SliceEnded(CoreTrack, time, NameOf(Tables.TaskEntries()[CoreTask]));
    CoreTask = -1;
}

void TTimeline::Finish(uint64_t lastTSC) {
    if (Finished || !Begun)
        return;
    Finished = true;
    uint64_t time = TimeOf(lastTSC);
    EndCoreSlice(time);
    // Only a job cut short leaves calls open; end them so that every slice is closed.
    for (uint32_t track = 0; track < OpenSlices.size(); ++track)
        for (; OpenSlices[track] > 0; --OpenSlices[track])
            Encoder.SliceClosed(track, time);
    Encoder.End();
}

void TTimeline::FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
    const CallFrame& frame = stack.back();
    const FunctionEntry* function = Tables.FindFunction(frame.Address);
    if (function == nullptr)
        return; // no call-list line will ever name it
    uint32_t track = TrackOf(task);
    BeginSlice(track, TimeOf(frame.EnterTSC), NameOf(*function));
}

void TTimeline::CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                              std::span<const CallFrame> stack, uint64_t inclusive,
                              uint64_t exclusive) {
    uint32_t track = TrackOf(task);
    uint64_t time = TimeOf(stack.back().ExitTSC);
    if (EndSlice(track))
        Encoder.CallEnded(track, time, NameOf(function), inclusive, exclusive);
}

void TTimeline::CallsCut(const TaskEntry& task, std::span<const CallFrame> stack, uint64_t cutTSC) {
    uint32_t track = TrackOf(task);
    uint64_t time = TimeOf(cutTSC);
    for (auto frame = stack.rbegin(); frame != stack.rend(); ++frame) {
        const FunctionEntry* function = Tables.FindFunction(frame->Address);
        if (function != nullptr && EndSlice(track))
            Encoder.CallCut(track, time, NameOf(*function));
    }
}

void TTimeline::ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                                 uint64_t exitTSC) {
    uint32_t track = TrackOf(task);
    Encoder.ExitWithoutEnter(track, TimeOf(exitTSC), NameOf(function));
}

void TTimeline::TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
    uint64_t time = TimeOf(enterTSC);
    int64_t index = Tables.IndexOf(task);
    if (CoreTask == index && CoreStart == time)
        return; // the start task's own enter record: its slice is already open
    EndCoreSlice(time);
    TrackOf(task);
    BeginSlice(CoreTrack, time, NameOf(task));
    CoreTask = index;
    CoreStart = time;
}

void TTimeline::TaskExited(const TaskEntry& task, uint64_t exitTSC) {
    if (CoreTask == Tables.IndexOf(task))
        EndCoreSlice(TimeOf(exitTSC));
}

void TTimeline::InconsistencyNoted(uint64_t tsc, std::string_view line) {
    Encoder.Note(NotesTrack, TimeOf(tsc), line);
}

} // namespace hookmeter
