// Builds the timeline's data (TCallTracks) in the replay, as one more observer. Per task and call
// depth calls never overlap and end in the order they began, so each call is appended to the
// track of its task and depth when it ends, in the place it was given when it began; each
// function's list of calls gets the call's id when it begins. Full chunks go to the file as they
// fill, so memory holds one open chunk per track and per function.
//
// A task runs from its task enter (the start task from the first record) until its task exit,
// the next task enter, or the end of the trace.
#pragma once

#include "analysis/CallTracks.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace hookmeter {

class TCallTracksBuilder final : public TReplayObserver {
public:
    TCallTracksBuilder(TEntryTables& tables, uint32_t callStackSize, const TaskEntry& startTask,
                       uint64_t firstTSC);
    ~TCallTracksBuilder() override;

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

    // After the last event: the data, or none when its file could not be made or written.
    std::shared_ptr<TCallTracks> Finish(uint64_t lastTSC);

private:
    // A track being filled. Its open chunk's node and parts are made when the chunk is full,
    // from its records, which are then still in the cache.
    struct TOpenTrack {
        std::unique_ptr<tracks::TRecord[]> Records; // its open chunk, made with its first record
        uint32_t Filled = 0;
        uint32_t OpenChunk = tracks::NoChunk;
        uint64_t Placed = 0;  // records given a place
        uint64_t Base = 0;    // of the open chunk
        uint64_t LastEnd = 0; // where its last shown record ends
        uint64_t RunCycles = 0;
        // The open chunk's records whose start or duration does not fit: place, start, end.
        std::vector<std::array<uint64_t, 3>> Long;
    };
    // A function's list of calls being filled.
    struct TOpenList {
        std::unique_ptr<uint32_t[]> Ids; // of its open chunk
        uint32_t Filled = 0;
        uint32_t Chunks = 0; // written
    };
    // A call of a task's stack: its record id, or none when it is not recorded.
    struct TFrame {
        TRecordId Id = NoRecord;
        uint16_t Function = 0;
        uint32_t Track = 0;
    };
    struct TTaskState {
        uint32_t Slot; // index into the data's tasks, or NoTask until the task ran
        std::unique_ptr<TFrame[]> Frames;
        std::vector<uint32_t> Tracks; // of its calls, by depth
    };
    static constexpr uint32_t NoTask = ~uint32_t{0};

    uint32_t TaskSlot(uint32_t tableIndex); // made when missing
    uint32_t CallTrack(TTaskState& task, size_t depth);
    uint32_t NewTrack(TTrackKind kind, uint32_t task, uint32_t depth);
    // Gives the track's next record its place; NoRecord when the ids have run out.
    TRecordId Place(uint32_t track);
    // Appends the record with this id, its start and end; `record` holds the rest.
    void Append(uint32_t track, TRecordId id, uint64_t start, uint64_t end, tracks::TRecord record,
                bool shown);
    void CloseChunk(uint32_t track);
    void AddToList(uint32_t function, TRecordId id, uint64_t enter);
    void CloseList(uint32_t function);
    void EndCall(const TFrame& frame, uint64_t enter, uint64_t end, uint64_t exclusive, bool cut);
    // Places and appends a record of a marker track at `at`, not before the track's last one.
    void AddMarker(uint32_t track, uint64_t at, uint32_t durationField, uint32_t exclusiveField,
                   uint16_t function);
    void EndRun(uint64_t tsc);
    void WriteText(std::string_view text);
    // Checks the file after a write; false once it failed.
    bool Written();
    bool Working() const { return Data != nullptr; }

    TEntryTables& Tables;
    uint32_t CallStackSize;
    std::shared_ptr<TCallTracks> Data; // none once its file failed
    std::vector<TOpenTrack> Open;      // parallel to Data->TrackList
    std::vector<TOpenList> Lists;      // parallel to Data->FunctionCallList
    std::vector<TTaskState> Tasks;     // by task table index
    uint32_t Running;                  // Data->Tasks() index of the running task, or NoTask
    uint64_t RunStart;
    std::vector<char> OpenText; // the notes' texts not yet in the file
    uint64_t TextBytes = 0;
};

} // namespace hookmeter
