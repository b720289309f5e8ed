// What a timeline file is made of, as the timeline (TTimeline) hands it to the writer of one file
// form: tracks, the slices and instants on them, and the notes. The timeline decides what exists,
// its times, names and arguments and the order; a writer only encodes. Calls come in time order
// (no time is below an earlier one), a track is added before its first event, and every slice
// ends on the track it began on, inner slices before outer ones.
#pragma once

#include <cstdint>
#include <string_view>

namespace hookmeter {

// What the file says of the whole timeline.
struct TTimelineHead {
    std::string_view ProcessName; // the raw file's name, its bytes as they are
    uint64_t FirstTSC;            // time 0
    double ClockHz;               // below 1: times are cycles, one shown as one nanosecond
    uint32_t NameCount;           // every TTimelineName::Key is below it
    uint32_t TrackCount;          // every track is below it; track 0 is the process itself
};

// A function or task that names slices. Key tells it apart for the timeline's life, so that a
// writer may keep what it made of the name; Name and Address never change for one Key.
struct TTimelineName {
    uint32_t Key;
    const char* Name; // as the reports print it: bytes, not necessarily UTF-8
    uint32_t Address; // a function's address; 0 for a task
};

// The arguments' names and texts, the same in every form.
namespace TimelineArgument {
inline constexpr std::string_view Inclusive = "incl"; // a completed call's inclusive cycles
inline constexpr std::string_view Exclusive = "excl"; // and its exclusive cycles
inline constexpr std::string_view Address = "addr";   // "0x" and eight hex digits
inline constexpr std::string_view Cut = "cut";        // why a call is shown cut
inline constexpr std::string_view NoExitRecord = "no exit record";
inline constexpr std::string_view NoEnterRecord = "no enter record";
inline constexpr std::string_view Status = "status"; // a note's status line
} // namespace TimelineArgument

class TTimelineEncoder {
public:
    virtual ~TTimelineEncoder() = default;

    // First of all.
    virtual void Begin(const TTimelineHead& head) = 0;
    // A track with its name (bytes as they are) and its place among the tracks, lowest first.
    virtual void TrackAdded(uint32_t track, std::string_view name, uint32_t sortIndex) = 0;
    virtual void SliceBegun(uint32_t track, uint64_t time, const TTimelineName& name) = 0;
    // The end of a slice that has no arguments (a task's run on the core).
    virtual void SliceEnded(uint32_t track, uint64_t time, const TTimelineName& name) = 0;
    // The end of a completed call.
    virtual void CallEnded(uint32_t track, uint64_t time, const TTimelineName& function,
                           uint64_t inclusive, uint64_t exclusive) = 0;
    // The end of a call given up without its exit: "cut" is "no exit record".
    virtual void CallCut(uint32_t track, uint64_t time, const TTimelineName& function) = 0;
    // An instant for an exit without enter: "cut" is "no enter record".
    virtual void ExitWithoutEnter(uint32_t track, uint64_t time, const TTimelineName& function) = 0;
    // An instant named after a status line, with the line as its "status".
    virtual void Note(uint32_t track, uint64_t time, std::string_view line) = 0;
    // The end of a slice still open when the timeline closes, without name or arguments.
    virtual void SliceClosed(uint32_t track, uint64_t time) = 0;
    // Last of all.
    virtual void End() = 0;
};

} // namespace hookmeter
