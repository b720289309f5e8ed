// The timeline: a JSON trace in the Trace Event Format for trace viewers, written as the replay
// goes, with "B"/"E" duration events in time order. One process named after the raw file; a
// "DSP core" track with one slice per task run; a "notes" track with every inconsistency; one
// track per task (in the order the tasks first ran) with every call-list event of that task.
// Memory stays constant: only each track's count of open slices is kept.
#pragma once

#include "base/NumberFormat.h"
#include "base/OutputFile.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TTimelineWriter final : public TReplayObserver {
public:
    // Times count from `firstTSC`: in microseconds at `clockHz`, or, when it is below 1, one cycle
    // shown as one nanosecond.
    TTimelineWriter(TOutputFile& file, TEntryTables& tables, std::string_view processName,
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
    // Microseconds with three decimals.
    char* FormatMicroseconds(char* out, uint64_t nanoseconds);
    uint32_t TrackOf(const TaskEntry& task);
    // Writes `,{"ph":"B","pid":1,"tid":N,"ts":T,"name":"`, the JSON string content `jsonName`
    // and its closing quote; returns where the rest of the event goes, with room for `tailRoom`
    // (at most MaxEventHead) bytes, to be committed by the caller. Every "E" is named after its
    // "B": some viewers pair them by name.
    char* BeginEvent(char phase, uint32_t track, uint64_t time, std::string_view jsonName,
                     size_t tailRoom);
    // An event whose rest is `tail`.
    void WriteEvent(char phase, uint32_t track, uint64_t time, std::string_view jsonName,
                    std::string_view tail);
    void WriteTrackNames(uint32_t track, std::string_view jsonName, uint32_t sortIndex);
    // What the timeline shows of a function or task, read from its entry on first use only:
    // the replay goes on changing the entry's statistics, and the name and address do not
    // change.
    struct TEntityText {
        uint32_t NameOffset = 0; // the name as JSON string content, in NamePool
        uint32_t NameLength = 0;
        uint32_t Address = 0;
        bool Known = false;
    };
    const TEntityText& FunctionText(const FunctionEntry& function);
    std::string_view TaskName(const TaskEntry& task);
    // Keeps `name` as JSON string content in NamePool, for `text`.
    void Remember(TEntityText& text, const char* name);
    std::string_view NameOf(const TEntityText& text) const {
        return std::string_view(NamePool).substr(text.NameOffset, text.NameLength);
    }
    void EndCoreSlice(uint64_t time);

    TOutputFile& File;
    TEntryTables& Tables;
    std::string ProcessName;
    uint64_t FirstTSC;
    double NanosecondsPerCycle; // 0: one cycle is one nanosecond
    uint64_t LastTime = 0;
    std::vector<uint32_t> TaskTracks; // by task index; 0 until the task first runs
    std::vector<uint32_t> OpenSlices; // by track
    // `,{"ph":"B","pid":1,"tid":N,"ts":` and the same for "E", by track: the start of most events.
    struct TEventHead {
        char Text[40];
        size_t Length;
    };
    std::vector<TEventHead> EventHeads; // B and E of track 0, B and E of track 1...
    static size_t HeadIndex(char phase, uint32_t track) { return 2 * track + (phase == 'E'); }
    const TEventHead& HeadOf(char phase, uint32_t track) const {
        return EventHeads[HeadIndex(phase, track)];
    }
    struct TMicrosecondsText {
        uint64_t Value = 0;
        uint32_t Length = 0; // 0: none yet
        char Text[MaxDecimalDigits + 4] = {};
    } Microseconds;
    std::vector<TEntityText> Functions; // by function index
    std::vector<TEntityText> Tasks;     // by task index
    std::string NamePool;
    uint32_t NextTrack = FirstTaskTrack;
    int64_t CoreTask = -1; // the task whose core slice is open
    uint64_t CoreStart = 0;
    bool Begun = false;
    bool Finished = false;
};

} // namespace hookmeter
