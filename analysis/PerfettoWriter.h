// The timeline as a Perfetto trace: a Trace message of TracePackets with TrackEvents, written
// packet by packet (Perfetto's protos/perfetto/trace/perfetto_trace.proto holds the schema; only
// the fields below are written).
//
// Each track is a thread of process 1 (tid = track, sorted as the timeline sorts them), and each
// track has a packet sequence of its own (trusted_packet_sequence_id = track + 1) whose default
// track it is, so that its events name no track. A sequence starts with a packet that clears its
// incremental state, sets its defaults (the track, and clock 64 for timestamps) and takes a clock
// snapshot that makes clock 64 an incremental clock equal to the boot-time clock at that moment:
// every later packet on the sequence gives its timestamp as the nanoseconds since the one before
// and says that it needs that state. Then the track's descriptor, then its events. Event names
// (functions and tasks), argument names and the fixed argument texts (the cut reasons and each
// function's address "0x%08x") are interned on a sequence, in a packet of their own before the
// first event that uses them; notes carry their status line as a string. Names and texts are
// made valid UTF-8 by AppendUtf8Text, the same text a JSON reader gets from the JSON form.
//
// A completed call takes a begin and an end packet, the end with its inclusive and exclusive
// cycles and the address. Nothing is allocated per event; what was written is a valid trace
// after every packet.
#pragma once

#include "analysis/ProtoMessage.h"
#include "analysis/TimelineEncoder.h"
#include "base/OutputFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TPerfettoWriter final : public TTimelineEncoder {
public:
    explicit TPerfettoWriter(TOutputFile& file);

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
    // What a sequence has interned: argument names and texts, one bit each.
    enum TArgument : uint32_t {
        InclusiveName = 1u << 0,
        ExclusiveName = 1u << 1,
        AddressName = 1u << 2,
        CutName = 1u << 3,
        StatusName = 1u << 4,
        NoExitText = 1u << 5,
        NoEnterText = 1u << 6,
    };
    struct TSequence {
        uint64_t LastTime = 0; // of the last packet written on it
        uint32_t Arguments = 0;
        // Two bits by name key: the name, and the address text.
        std::vector<uint64_t> Names;
    };
    struct TNameText {
        uint32_t Offset = 0; // the name as valid UTF-8, in NamePool
        uint32_t Length = 0;
        uint32_t Iid = 0; // 0: none yet
    };
    // Where a packet of the hot paths is being written.
    struct THotPacket {
        char* Start;
        char* EventLength;
    };

    static bool Has(const TSequence& sequence, uint32_t bit) {
        return sequence.Names[bit / 64] >> (bit % 64) & 1;
    }
    // Starts a packet with a track event of `type` at `time` on the track's sequence; returns
    // where the event's other fields go.
    char* BeginEvent(THotPacket& packet, uint32_t track, uint64_t time, char type);
    void EndEvent(const THotPacket& packet, char* end);
    // Interns on the track's sequence, in a packet before the next event, what that event refers
    // to and the sequence lacks: the name (and, with `address`, the address text) of `name`
    // when given, and the `arguments`.
    void Intern(uint32_t track, const TTimelineName* name, bool address, uint32_t arguments);
    const TNameText& NameText(const TTimelineName& name);
    std::string_view TextOf(const TNameText& text) const {
        return std::string_view(NamePool).substr(text.Offset, text.Length);
    }
    // The first packets of the track's sequence.
    void StartSequence(uint32_t track);
    // Writes Packet, completed with its time, the track's sequence and `flags`.
    void WritePacket(uint32_t track, uint64_t time, uint64_t flags);

    TOutputFile& File;
    TTimelineHead Head{};
    std::string ProcessName; // valid UTF-8
    uint64_t LatestTime = 0;
    std::vector<TSequence> Sequences; // by track
    std::vector<TNameText> Names;     // by key
    std::string NamePool;
    std::string NoteText;
    uint32_t NextIid = 1;
    // Messages of the packets written outside the hot paths, kept for their memory.
    TProtoMessage Packet, Inner, Entry, Item;
};

} // namespace hookmeter
