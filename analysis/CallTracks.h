// The timeline's data: every call of every task by call depth, each task's run slices, its exits
// without enter, and the job's inconsistency notes, as tracks on one time axis. What grows with
// the trace lies in an unnamed temporary file (TChunkFile), 16 bytes a call plus 4 in its
// function's list of calls; memory holds a summary of each chunk of 256 records and of each part
// of 16 records in it, the levels above the chunks (together about a byte a call), and a cache of
// recently read chunks.
//
// Every question is answered by reading a number of records that grows with the pixels asked
// for, not with the calls: a level's node whose records and gaps are all narrower than a pixel
// is taken whole, as one run of calls, without reading them.
//
// Made by TCallTracksBuilder. The questions may be asked from one thread at a time (they share
// the cache).
#pragma once

#include "analysis/TrackFormat.h"
#include "base/ChunkFile.h"
#include "base/LargeBuffer.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace hookmeter {

using TRecordId = uint32_t;
inline constexpr TRecordId NoRecord = ~TRecordId{0};

enum class TTrackKind : uint8_t { Calls, Runs, Exits, Notes };

// One record as the questions give it.
struct TTrackCall {
    TRecordId Id = NoRecord;
    uint32_t Track = 0;
    uint64_t Enter = 0;
    uint64_t End = 0;       // the exit, or where the call was given up; the enter for a marker
    uint64_t Exclusive = 0; // of a completed call
    uint32_t Function = 0;  // index into Functions(); the exited function of a marker
    bool Cut = false;
};

// What to draw of a track: one call, or a run of neighbouring calls too narrow to draw one by
// one, from the first one's start to the last one's end.
struct TTrackBox {
    uint64_t Start = 0;
    uint64_t End = 0;
    uint32_t Count = 0;       // records in it
    bool Highlighted = false; // holds a record of a function the highlight asks for
    TTrackCall Call;          // when Count is 1: that record
};

// Which functions' calls to highlight, ready for the tracks it was made for.
class TTrackHighlight {
public:
    bool Function(uint32_t function) const {
        return function < Functions.size() && Functions[function];
    }

private:
    friend class TCallTracks;
    std::vector<bool> Functions;
    std::vector<std::vector<std::vector<bool>>> Nodes; // per call track and level
    std::vector<std::vector<bool>> Parts;              // per call track
};

class TCallTracks {
public:
    struct TTask {
        uint32_t Index = 0; // in the job's task table
        std::string Name;
        uint32_t Handle = 0;
        std::vector<uint32_t> CallTracks; // by call depth, outermost first
        uint32_t RunTrack = 0;
        uint32_t ExitTrack = 0;
    };
    struct TFunction {
        uint32_t Address = 0;
        std::string Name;
    };
    struct TTrackData {
        TTrackKind Kind = TTrackKind::Calls;
        uint32_t Task = 0; // index into Tasks()
        uint32_t Depth = 0;
        uint64_t Records = 0;             // hidden ones included
        std::vector<uint32_t> Chunks;     // the chunk number of each of its chunks
        std::vector<uint64_t> Bases;      // the start of each chunk's first record
        std::vector<uint64_t> RunsBefore; // run tracks: cycles of the runs before each chunk
        std::vector<std::vector<tracks::TNode>> Levels; // level 0: one node per chunk
        std::vector<tracks::TPart> Parts;               // PartsPerChunk per chunk
    };
    struct TFunctionCalls {
        std::vector<uint32_t> Chunks;      // file chunks of its record ids, in the order entered
        std::vector<uint64_t> FirstEnters; // the enter of the first call of each of them
        uint64_t Count = 0;
    };
    // The cycles inside a range.
    struct TRangeFigures {
        uint64_t From = 0;
        uint64_t To = 0;
        std::vector<uint64_t> TaskCycles;     // run cycles inside the range, by Tasks() index
        std::vector<uint64_t> FunctionCycles; // exclusive cycles inside the range, by function
    };

    // For the builder: everything it found, the file included.
    TCallTracks(std::unique_ptr<TChunkFile> file, uint64_t firstTSC, uint64_t lastTSC);
    ~TCallTracks();
    TCallTracks(const TCallTracks&) = delete;
    TCallTracks& operator=(const TCallTracks&) = delete;

    uint64_t FirstTSC() const { return First; }
    uint64_t LastTSC() const { return Last; }
    // In the order the tasks first ran.
    const std::vector<TTask>& Tasks() const { return TaskList; }
    const std::vector<TFunction>& Functions() const { return FunctionList; }
    // The function's index, or -1.
    int32_t FunctionOfAddress(uint32_t address) const;
    uint32_t TrackCount() const { return uint32_t(TrackList.size()); }
    const TTrackData& Track(uint32_t track) const { return TrackList[track]; }
    uint32_t NoteTrack() const { return Notes; }
    uint32_t TrackOf(TRecordId id) const { return TrackOfChunk[id / tracks::RecordsPerChunk]; }

    uint64_t Calls() const { return CallCount; }         // calls shown
    uint64_t HiddenCalls() const { return HiddenCount; } // calls left out: their time ran backwards
    uint64_t FileBytes() const { return File->Bytes(); }
    // A read of the file failed: some answers showed nothing where records were.
    bool ReadFailed() const { return ReadFailure; }
    // Chunks read from the file so far (for the benchmark).
    uint64_t ChunksRead() const { return ReadCount; }

    // The boxes of a track that reach into [from, to): records at least `merge` cycles long are
    // boxes of their own; shorter ones merge with neighbours less than `merge` cycles away. Each
    // record is in exactly one box; boxes never overlap and come in time order.
    void Boxes(uint32_t track, uint64_t from, uint64_t to, uint64_t merge,
               std::vector<TTrackBox>& boxes, const TTrackHighlight* highlight = nullptr) const;
    TTrackCall Call(TRecordId id) const;
    // The text of a note's record.
    std::string NoteText(const TTrackCall& note) const;
    // Run cycles of a task (Tasks() index) in [from, to).
    uint64_t RunCycles(uint32_t task, uint64_t from, uint64_t to) const;
    // The calls around a call, outermost first, ending with the call itself.
    std::vector<TTrackCall> PathOf(TRecordId id) const;

    // The first shown call of the function entered at `enterTSC` in the task (Tasks() index);
    // NoRecord when there is none.
    TRecordId FindCall(uint32_t function, uint32_t task, uint64_t enterTSC) const;
    // The next (or previous) shown call of the same function in the order they were entered,
    // which is time order; with `path` (functions from the outermost call, in one task), only
    // calls with that path count. NoRecord past the last.
    TRecordId NextCall(TRecordId id, bool forward, uint32_t pathTask = 0,
                       std::span<const uint32_t> path = {}) const;
    // The first call with the path (functions from the outermost call) in the task.
    TRecordId FirstCallOnPath(uint32_t task, std::span<const uint32_t> path) const;

    // Range figures: each task's run cycles in [from, to), and each function's exclusive cycles
    // there. A completed call inside the range counts whole; one that crosses an edge counts the
    // cycles it ran on its own inside the range (outside its callees, while its task ran), at most
    // its exclusive cycles. Reads every call in the range.
    TRangeFigures Figures(uint64_t from, uint64_t to) const;

    // Makes a highlight of the calls of the functions marked; reads their lists of calls.
    std::unique_ptr<TTrackHighlight> Highlight(const std::vector<bool>& functions) const;

private:
    friend class TCallTracksBuilder;

    // The chunk at this place in the file, from the cache.
    const char* CachedChunk(uint32_t fileChunk) const;
    const char* Chunk(uint32_t number) const { return CachedChunk(FileChunk[number]); }
    tracks::TRecord RecordAt(const TTrackData& track, uint64_t index) const;
    TTrackCall Decode(uint32_t track, uint64_t index, const tracks::TRecord& record) const;
    uint64_t StartOf(const TTrackData& track, uint64_t index, const tracks::TRecord& record) const;
    uint64_t LongValueOf(const std::vector<std::pair<uint32_t, uint64_t>>& values,
                         TRecordId id) const;
    TRecordId IdOf(const TTrackData& track, uint64_t index) const {
        return ChunkOf(track, index) * tracks::RecordsPerChunk +
               uint32_t(index % tracks::RecordsPerChunk);
    }
    static uint32_t ChunkOf(const TTrackData& track, uint64_t index) {
        return track.Chunks[index / tracks::RecordsPerChunk];
    }
    uint64_t IndexOf(TRecordId id) const {
        return uint64_t(IndexInTrack[id / tracks::RecordsPerChunk]) * tracks::RecordsPerChunk +
               id % tracks::RecordsPerChunk;
    }
    // The index of the last record that starts at or before `tsc`, or -1.
    int64_t LastStartingBy(const TTrackData& track, uint64_t tsc) const;
    // The shown call of the track that holds `tsc`, if any.
    TRecordId CallHolding(uint32_t track, uint64_t tsc) const;
    uint64_t RunsBefore(const TTrackData& track, uint64_t tsc) const;
    bool OnPath(TRecordId id, uint32_t pathTask, std::span<const uint32_t> path) const;
    // Where the id is in its function's list; -1 when it is not there.
    int64_t PlaceInList(const TFunctionCalls& calls, TRecordId id, uint64_t enter) const;
    TRecordId ListEntry(const TFunctionCalls& calls, uint64_t place) const;
    bool ReadChunks(uint32_t first, uint32_t count, void* out) const;

    std::unique_ptr<TChunkFile> File;
    uint64_t First;
    uint64_t Last;
    std::vector<TTask> TaskList;
    std::vector<TFunction> FunctionList;
    std::vector<TFunctionCalls> FunctionCallList;
    std::vector<TTrackData> TrackList;
    uint32_t Notes = 0;
    std::vector<uint32_t> TextChunks; // the notes' texts, one after the other
    // By the number a chunk got when it was started: its place in the file, its track and its
    // place in the track.
    std::vector<uint32_t> FileChunk;
    std::vector<uint32_t> TrackOfChunk;
    std::vector<uint32_t> IndexInTrack;
    // Starts, durations and exclusive cycles too long for a record, by record id.
    std::vector<std::pair<uint32_t, uint64_t>> LongStarts;
    std::vector<std::pair<uint32_t, uint64_t>> LongDurations;
    std::vector<std::pair<uint32_t, uint64_t>> LongExclusives;
    uint64_t CallCount = 0;
    uint64_t HiddenCount = 0;

    // Recently read chunks, by their place in the file: a line's tag is the place of the chunk
    // it holds. The lines are memory only once they are used.
    static constexpr uint32_t CacheLines = 8192;
    mutable std::unique_ptr<uint32_t[]> CacheTags;
    mutable TLargeBuffer CacheData;
    mutable bool ReadFailure = false;
    mutable uint64_t ReadCount = 0;
};

} // namespace hookmeter
