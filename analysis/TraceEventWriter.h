// The timeline as JSON in the Trace Event Format, for trace viewers: "B"/"E" duration events in
// time order, "i" instants, and "M" metadata that names the process and the tracks (threads of
// process 1, tid = track, in the timeline's order). Times are microseconds with three decimals.
// Names and texts are JSON strings made by AppendJsonString. "otherData" at the end holds the raw
// file's name, the first TSC and the time unit.
#pragma once

#include "analysis/TimelineEncoder.h"
#include "base/NumberFormat.h"
#include "base/OutputFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TTraceEventWriter final : public TTimelineEncoder {
public:
    explicit TTraceEventWriter(TOutputFile& file);

    void Begin(const TTimelineHead& head) override;
    void TrackAdded(uint32_t track, std::string_view name, uint32_t sortIndex) override;
    void SliceBegun(uint32_t track, uint64_t time, const TTimelineName& name) override;
    void SliceEnded(uint32_t track, uint64_t time, const TTimelineName& name) override;
    void CallEnded(uint32_t track, uint64_t time, const TTimelineName& function, uint64_t inclusive,
                   uint64_t exclusive) override;
    void CallCut(uint32_t track, uint64_t time, const TTimelineName& function) override;
    void ExitWithoutEnter(uint32_t track, uint64_t time, const TTimelineName& function) override;
    void Note(uint32_t track, uint64_t time, std::string_view line) override;
    void SliceClosed(uint32_t track, uint64_t time) override;
    void End() override;

private:
    // Microseconds with three decimals.
    char* FormatMicroseconds(char* out, uint64_t nanoseconds);
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
    // The name as JSON string content, made on its first use only.
    std::string_view JsonName(const TTimelineName& name);

    TOutputFile& File;
    std::string ProcessName; // as JSON string content
    uint64_t FirstTSC = 0;
    double ClockHz = 0;
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
    struct TNameText {
        uint32_t Offset = 0; // in NamePool
        uint32_t Length = 0;
        bool Known = false;
    };
    std::vector<TNameText> Names; // by key
    std::string NamePool;
};

} // namespace hookmeter
