#include "analysis/PerfettoWriter.h"

#include "base/NumberFormat.h"
#include "base/TextEscape.h"

#include <charconv>

namespace hookmeter {
namespace {

// Field numbers of the messages written, from Perfetto's schema.
namespace TraceField {
constexpr uint32_t Packet = 1;
}
namespace PacketField {
constexpr uint32_t ClockSnapshot = 6;
constexpr uint32_t Timestamp = 8;
constexpr uint32_t SequenceId = 10; // trusted_packet_sequence_id
constexpr uint32_t TrackEvent = 11;
constexpr uint32_t InternedData = 12;
constexpr uint32_t SequenceFlags = 13;
constexpr uint32_t Defaults = 59; // trace_packet_defaults
constexpr uint32_t TrackDescriptor = 60;
} // namespace PacketField
namespace DefaultsField {
constexpr uint32_t TrackEventDefaults = 11;
constexpr uint32_t TimestampClockId = 58;
} // namespace DefaultsField
namespace EventDefaultsField {
constexpr uint32_t TrackUuid = 11;
}
namespace SnapshotField {
constexpr uint32_t Clocks = 1;
constexpr uint32_t PrimaryTraceClock = 2;
} // namespace SnapshotField
namespace ClockField {
constexpr uint32_t Id = 1;
constexpr uint32_t Timestamp = 2;
constexpr uint32_t IsIncremental = 3;
} // namespace ClockField
namespace EventField {
constexpr uint32_t DebugAnnotations = 4;
constexpr uint32_t Type = 9;
constexpr uint32_t NameIid = 10;
constexpr uint32_t Name = 23;
} // namespace EventField
namespace AnnotationField {
constexpr uint32_t NameIid = 1;
constexpr uint32_t UintValue = 3;
constexpr uint32_t StringValue = 6;
constexpr uint32_t StringValueIid = 17;
} // namespace AnnotationField
namespace InternedField {
constexpr uint32_t EventNames = 2;
constexpr uint32_t AnnotationNames = 3;
constexpr uint32_t AnnotationStrings = 29;
} // namespace InternedField
namespace EntryField { // of EventName, DebugAnnotationName and InternedString
constexpr uint32_t Iid = 1;
constexpr uint32_t Name = 2;
} // namespace EntryField
namespace DescriptorField {
constexpr uint32_t Uuid = 1;
constexpr uint32_t Process = 3;
constexpr uint32_t Thread = 4;
constexpr uint32_t SiblingOrderRank = 12;
constexpr uint32_t Description = 14;
constexpr uint32_t ThreadOrdering = 20;
} // namespace DescriptorField
namespace ProcessField {
constexpr uint32_t Pid = 1;
constexpr uint32_t Name = 6;
} // namespace ProcessField
namespace ThreadField {
constexpr uint32_t Pid = 1;
constexpr uint32_t Tid = 2;
constexpr uint32_t Name = 5;
} // namespace ThreadField

constexpr uint64_t IncrementalStateCleared = 1; // SEQ_INCREMENTAL_STATE_CLEARED
constexpr uint64_t NeedsIncrementalState = 2;   // SEQ_NEEDS_INCREMENTAL_STATE
constexpr char SliceBegin = 1;                  // TrackEvent.Type
constexpr char SliceEnd = 2;
constexpr char Instant = 3;
constexpr uint64_t BootTimeClock = 6;     // BUILTIN_CLOCK_BOOTTIME
constexpr uint64_t IncrementalClock = 64; // the first clock id a sequence may define
constexpr uint64_t ThreadOrderingExplicit = 1;
constexpr int64_t ProcessId = 1;

// The room a packet of the hot paths may take; every length in it fits one byte.
constexpr size_t HotPacketRoom = 112;

// Track uuids and sequence ids: 0 is neither.
uint64_t UuidOf(uint32_t track) {
    return uint64_t(track) + 1;
}

// The argument names and texts interned, each with its iid in its own dictionary. A function's
// address text takes its name's iid plus FixedTexts.
struct TInternedArgument {
    uint32_t Bit;
    uint32_t Dictionary;
    uint64_t Iid;
    std::string_view Text;
};
constexpr uint64_t InclusiveIid = 1, ExclusiveIid = 2, AddressIid = 3, CutIid = 4, StatusIid = 5;
constexpr uint64_t NoExitIid = 1, NoEnterIid = 2, FixedTexts = 2;

std::string Utf8Text(std::string_view text) {
    std::string utf8;
    AppendUtf8Text(utf8, text);
    return utf8;
}

char* PutUintAnnotation(char* out, uint64_t nameIid, uint64_t value) {
    *out++ = ShortTag(EventField::DebugAnnotations, WireType::Length);
    char* length = out++;
    *out++ = ShortTag(AnnotationField::NameIid, WireType::Varint);
    out = PutVarint(out, nameIid);
    *out++ = ShortTag(AnnotationField::UintValue, WireType::Varint);
    out = PutVarint(out, value);
    *length = char(out - length - 1);
    return out;
}

char* PutTextAnnotation(char* out, uint64_t nameIid, uint64_t textIid) {
    *out++ = ShortTag(EventField::DebugAnnotations, WireType::Length);
    char* length = out++;
    *out++ = ShortTag(AnnotationField::NameIid, WireType::Varint);
    out = PutVarint(out, nameIid);
    out = PutVarint(out, AnnotationField::StringValueIid << 3 | uint32_t(WireType::Varint));
    out = PutVarint(out, textIid);
    *length = char(out - length - 1);
    return out;
}

} // namespace

TPerfettoWriter::TPerfettoWriter(TOutputFile& file) : File(file) {}

void TPerfettoWriter::WritePacket(uint32_t track, uint64_t time, uint64_t flags) {
    TSequence& sequence = Sequences[track];
    Packet.Varint(PacketField::Timestamp, time - sequence.LastTime);
    Packet.Varint(PacketField::SequenceId, UuidOf(track));
    Packet.Varint(PacketField::SequenceFlags, flags);
    sequence.LastTime = time;
    LatestTime = time;
    char head[1 + MaxVarintBytes];
    head[0] = ShortTag(TraceField::Packet, WireType::Length);
    File.Write({head, size_t(PutVarint(head + 1, Packet.Size()) - head)});
    File.Write(Packet.View());
    Packet.Clear();
}

char* TPerfettoWriter::BeginEvent(THotPacket& packet, uint32_t track, uint64_t time, char type) {
    TSequence& sequence = Sequences[track];
    char* out = File.Reserve(HotPacketRoom);
    packet.Start = out;
    out += 2; // the packet's tag and length
    *out++ = ShortTag(PacketField::Timestamp, WireType::Varint);
    out = PutVarint(out, time - sequence.LastTime);
    *out++ = ShortTag(PacketField::SequenceId, WireType::Varint);
    out = PutVarint(out, UuidOf(track));
    *out++ = ShortTag(PacketField::SequenceFlags, WireType::Varint);
    *out++ = char(NeedsIncrementalState);
    *out++ = ShortTag(PacketField::TrackEvent, WireType::Length);
    packet.EventLength = out++;
    *out++ = ShortTag(EventField::Type, WireType::Varint);
    *out++ = type;
    sequence.LastTime = time;
    LatestTime = time;
    return out;
}

void TPerfettoWriter::EndEvent(const THotPacket& packet, char* end) {
    *packet.EventLength = char(end - packet.EventLength - 1);
    packet.Start[0] = ShortTag(TraceField::Packet, WireType::Length);
    packet.Start[1] = char(end - packet.Start - 2);
    File.Commit(end);
}

const TPerfettoWriter::TNameText& TPerfettoWriter::NameText(const TTimelineName& name) {
    TNameText& text = Names[name.Key];
    if (text.Iid == 0) {
        text.Offset = uint32_t(NamePool.size());
        AppendUtf8Text(NamePool, name.Name);
        text.Length = uint32_t(NamePool.size() - text.Offset);
        text.Iid = NextIid++;
    }
    return text;
}

void TPerfettoWriter::Intern(uint32_t track, const TTimelineName* name, bool address,
                             uint32_t arguments) {
    static constexpr TInternedArgument Fixed[] = {
        {InclusiveName, InternedField::AnnotationNames, InclusiveIid, TimelineArgument::Inclusive},
        {ExclusiveName, InternedField::AnnotationNames, ExclusiveIid, TimelineArgument::Exclusive},
        {AddressName, InternedField::AnnotationNames, AddressIid, TimelineArgument::Address},
        {CutName, InternedField::AnnotationNames, CutIid, TimelineArgument::Cut},
        {StatusName, InternedField::AnnotationNames, StatusIid, TimelineArgument::Status},
        {NoExitText, InternedField::AnnotationStrings, NoExitIid, TimelineArgument::NoExitRecord},
        {NoEnterText, InternedField::AnnotationStrings, NoEnterIid,
         TimelineArgument::NoEnterRecord},
    };
    TSequence& sequence = Sequences[track];
    Inner.Clear();
    auto add = [&](uint32_t dictionary, uint64_t iid, std::string_view text) {
        Entry.Clear();
        Entry.Varint(EntryField::Iid, iid);
        Entry.Bytes(EntryField::Name, text);
        Inner.Message(dictionary, Entry);
    };
    if (name != nullptr) {
        const TNameText& text = NameText(*name);
        uint32_t bit = 2 * name->Key;
        if (!Has(sequence, bit)) {
            add(InternedField::EventNames, text.Iid, TextOf(text));
            sequence.Names[bit / 64] |= uint64_t{1} << (bit % 64);
        }
        if (address && !Has(sequence, bit + 1)) {
            char hex[10] = {'0', 'x'};
            FormatHex8(hex + 2, name->Address);
            add(InternedField::AnnotationStrings, text.Iid + FixedTexts, {hex, sizeof hex});
            sequence.Names[(bit + 1) / 64] |= uint64_t{1} << ((bit + 1) % 64);
        }
    }
    for (const TInternedArgument& argument : Fixed)
        if (arguments & argument.Bit & ~sequence.Arguments)
            add(argument.Dictionary, argument.Iid, argument.Text);
    sequence.Arguments |= arguments;
    if (Inner.Size() == 0)
        return;
    Packet.Message(PacketField::InternedData, Inner);
    WritePacket(track, sequence.LastTime, NeedsIncrementalState);
}

void TPerfettoWriter::StartSequence(uint32_t track) {
    TSequence& sequence = Sequences[track];
    sequence.Names.assign((2 * size_t(Head.NameCount) + 63) / 64, 0);
    sequence.LastTime = LatestTime;
    // The defaults: this track, and the incremental clock.
    Inner.Clear();
    Inner.Varint(EventDefaultsField::TrackUuid, UuidOf(track));
    Entry.Clear();
    Entry.Varint(DefaultsField::TimestampClockId, IncrementalClock);
    Entry.Message(DefaultsField::TrackEventDefaults, Inner);
    Packet.Message(PacketField::Defaults, Entry);
    // The incremental clock starts at the boot-time clock's reading, which is the trace's clock.
    Entry.Clear();
    Inner.Clear();
    Inner.Varint(ClockField::Id, BootTimeClock);
    Inner.Varint(ClockField::Timestamp, LatestTime);
    Entry.Message(SnapshotField::Clocks, Inner);
    Inner.Clear();
    Inner.Varint(ClockField::Id, IncrementalClock);
    Inner.Varint(ClockField::Timestamp, LatestTime);
    Inner.Varint(ClockField::IsIncremental, 1);
    Entry.Message(SnapshotField::Clocks, Inner);
    Entry.Varint(SnapshotField::PrimaryTraceClock, BootTimeClock);
    Packet.Message(PacketField::ClockSnapshot, Entry);
    WritePacket(track, LatestTime, IncrementalStateCleared);
}

void TPerfettoWriter::Begin(const TTimelineHead& head) {
    Head = head;
    Sequences.resize(head.TrackCount);
    Names.assign(head.NameCount, {});
    StartSequence(0);
    // The tracks are sorted as the timeline sorts them.
    Inner.Clear();
    Inner.Varint(DescriptorField::Uuid, 0);
    Inner.Varint(DescriptorField::ThreadOrdering, ThreadOrderingExplicit);
    Packet.Message(PacketField::TrackDescriptor, Inner);
    WritePacket(0, LatestTime, NeedsIncrementalState);
    // The process, and what its times are.
    char number[64];
    std::string description = "Times are ";
    description += head.ClockHz >= 1 ? "nanoseconds" : "cycles";
    description += " from the first record (TSC ";
    description.append(number, FormatUnsigned(number, head.FirstTSC, 0));
    std::string name = Utf8Text(head.ProcessName);
    if (head.ClockHz >= 1) {
        double hz = 1e9 / (1e9 / head.ClockHz); // as the time conversion sees it
        description += ") at a clock of ";
        description.append(
            number,
            std::to_chars(number, number + sizeof number, hz, std::chars_format::fixed).ptr);
        description += " Hz.";
    } else {
        description += "): one cycle is shown as one nanosecond.";
        name += " (cycles: one cycle is shown as one nanosecond)";
    }
    Entry.Clear();
    Entry.Varint(ProcessField::Pid, ProcessId);
    Entry.Bytes(ProcessField::Name, name);
    Inner.Clear();
    Inner.Varint(DescriptorField::Uuid, UuidOf(0));
    Inner.Message(DescriptorField::Process, Entry);
    Inner.Bytes(DescriptorField::Description, description);
    Packet.Message(PacketField::TrackDescriptor, Inner);
    WritePacket(0, LatestTime, NeedsIncrementalState);
}

void TPerfettoWriter::TrackAdded(uint32_t track, std::string_view name, uint32_t sortIndex) {
    StartSequence(track);
    Entry.Clear();
    Entry.Varint(ThreadField::Pid, ProcessId);
    Entry.Varint(ThreadField::Tid, track);
    Entry.Bytes(ThreadField::Name, Utf8Text(name));
    Inner.Clear();
    Inner.Varint(DescriptorField::Uuid, UuidOf(track));
    Inner.Message(DescriptorField::Thread, Entry);
    Inner.Varint(DescriptorField::SiblingOrderRank, sortIndex);
    Packet.Message(PacketField::TrackDescriptor, Inner);
    WritePacket(track, LatestTime, NeedsIncrementalState);
}

void TPerfettoWriter::SliceBegun(uint32_t track, uint64_t time, const TTimelineName& name) {
    if (!Has(Sequences[track], 2 * name.Key))
        Intern(track, &name, false, 0);
    THotPacket packet;
    char* out = BeginEvent(packet, track, time, SliceBegin);
    *out++ = ShortTag(EventField::NameIid, WireType::Varint);
    out = PutVarint(out, Names[name.Key].Iid);
    EndEvent(packet, out);
}

void TPerfettoWriter::SliceEnded(uint32_t track, uint64_t time, const TTimelineName& name) {
    (void)name; // an end names nothing: it ends the slice its track began last
    SliceClosed(track, time);
}

void TPerfettoWriter::CallEnded(uint32_t track, uint64_t time, const TTimelineName& function,
                                uint64_t inclusive, uint64_t exclusive) {
    constexpr uint32_t Needed = InclusiveName | ExclusiveName | AddressName;
    const TSequence& sequence = Sequences[track];
    if ((sequence.Arguments & Needed) != Needed || !Has(sequence, 2 * function.Key + 1))
        Intern(track, &function, true, Needed);
    THotPacket packet;
    char* out = BeginEvent(packet, track, time, SliceEnd);
    out = PutUintAnnotation(out, InclusiveIid, inclusive);
    out = PutUintAnnotation(out, ExclusiveIid, exclusive);
    out = PutTextAnnotation(out, AddressIid, Names[function.Key].Iid + FixedTexts);
    EndEvent(packet, out);
}

void TPerfettoWriter::CallCut(uint32_t track, uint64_t time, const TTimelineName& function) {
    (void)function;
    constexpr uint32_t Needed = CutName | NoExitText;
    if ((Sequences[track].Arguments & Needed) != Needed)
        Intern(track, nullptr, false, Needed);
    THotPacket packet;
    char* out = BeginEvent(packet, track, time, SliceEnd);
    EndEvent(packet, PutTextAnnotation(out, CutIid, NoExitIid));
}

void TPerfettoWriter::ExitWithoutEnter(uint32_t track, uint64_t time,
                                       const TTimelineName& function) {
    constexpr uint32_t Needed = CutName | NoEnterText;
    const TSequence& sequence = Sequences[track];
    if ((sequence.Arguments & Needed) != Needed || !Has(sequence, 2 * function.Key))
        Intern(track, &function, false, Needed);
    THotPacket packet;
    char* out = BeginEvent(packet, track, time, Instant);
    *out++ = ShortTag(EventField::NameIid, WireType::Varint);
    out = PutVarint(out, Names[function.Key].Iid);
    EndEvent(packet, PutTextAnnotation(out, CutIid, NoEnterIid));
}

void TPerfettoWriter::Note(uint32_t track, uint64_t time, std::string_view line) {
    if ((Sequences[track].Arguments & StatusName) == 0)
        Intern(track, nullptr, false, StatusName);
    NoteText.clear();
    AppendUtf8Text(NoteText, line);
    Entry.Clear();
    Entry.Varint(AnnotationField::NameIid, StatusIid);
    Entry.Bytes(AnnotationField::StringValue, NoteText);
    Inner.Clear();
    Inner.Varint(EventField::Type, uint64_t(Instant));
    Inner.Bytes(EventField::Name, NoteText);
    Inner.Message(EventField::DebugAnnotations, Entry);
    Packet.Message(PacketField::TrackEvent, Inner);
    WritePacket(track, time, NeedsIncrementalState);
}

void TPerfettoWriter::SliceClosed(uint32_t track, uint64_t time) {
    THotPacket packet;
    EndEvent(packet, BeginEvent(packet, track, time, SliceEnd));
}

void TPerfettoWriter::End() {
    // Every packet is whole as it is written: nothing is left to close.
}

} // namespace hookmeter
