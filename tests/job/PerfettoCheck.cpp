#include "PerfettoCheck.h"

#include <stdexcept>
#include <string_view>

namespace hookmeter::test {
namespace {

struct TFormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what) {
    throw TFormatError(what);
}

// One field of a message: its number and either a varint or a length-delimited payload.
struct TField {
    uint32_t Number;
    bool IsLength;
    uint64_t Value;
    std::string_view Bytes;
};

uint64_t ReadVarint(std::string_view& in) {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (in.empty())
            Fail("a varint runs past its message");
        unsigned char byte = (unsigned char)in[0];
        in.remove_prefix(1);
        if (shift == 63 && byte > 1)
            Fail("a varint beyond 64 bits");
        value |= uint64_t(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return value;
    }
    Fail("a varint of more than ten bytes");
}

// The fields of `message`, each checked against `varints` and `lengths`, the field numbers the
// message may hold with each wire type.
std::vector<TField> Fields(std::string_view message, const char* what,
                           std::initializer_list<uint32_t> varints,
                           std::initializer_list<uint32_t> lengths) {
    std::vector<TField> fields;
    while (!message.empty()) {
        uint64_t tag = ReadVarint(message);
        TField field{uint32_t(tag >> 3), false, 0, {}};
        uint32_t wire = uint32_t(tag & 7);
        auto known = [&](std::initializer_list<uint32_t> numbers) {
            for (uint32_t number : numbers)
                if (number == field.Number)
                    return true;
            return false;
        };
        if (wire == 0 && known(varints)) {
            field.Value = ReadVarint(message);
        } else if (wire == 2 && known(lengths)) {
            field.IsLength = true;
            uint64_t length = ReadVarint(message);
            if (length > message.size())
                Fail(std::string("a field runs past its ") + what);
            field.Bytes = message.substr(0, length);
            message.remove_prefix(length);
        } else {
            Fail(std::string(what) + " has field " + std::to_string(field.Number) +
                 " of wire type " + std::to_string(wire) + ", which the timeline never writes");
        }
        fields.push_back(field);
    }
    return fields;
}

bool ValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        size_t length = c < 0x80                 ? 1
                        : c >= 0xC2 && c <= 0xDF ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        unsigned char second = length > 1 ? (unsigned char)text[i + 1] : 0x80;
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
            (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F))
            return false;
        for (size_t k = 1; k < length; ++k)
            if (((unsigned char)text[i + k] & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

std::string Text(const TField& field) {
    if (!ValidUtf8(field.Bytes))
        Fail("a string that is not valid UTF-8");
    return std::string(field.Bytes);
}

constexpr uint64_t Cleared = 1, Needs = 2;
constexpr uint64_t BootTime = 6;

struct TClock {
    uint64_t Value = 0;  // the last timestamp read in this clock
    uint64_t Offset = 0; // trace time minus clock value
    bool Incremental = false;
};

struct TSequence {
    bool Valid = false; // incremental state cleared since the sequence began
    std::map<uint64_t, std::string> EventNames, AnnotationNames, AnnotationStrings;
    std::optional<uint64_t> ClockId, TrackUuid; // the defaults
    std::map<uint64_t, TClock> Clocks;          // sequence-scoped clocks
};

class TTraceReader {
public:
    TPerfettoTrace Trace;

    void Read(std::string_view bytes) {
        for (const TField& packet : Fields(bytes, "the trace", {}, {1})) {
            ++Trace.Packets;
            ReadPacket(packet.Bytes);
        }
        for (const auto& [track, open] : Open)
            if (!open.empty())
                Fail("track " + std::to_string(track) + " ends with " +
                     std::to_string(open.size()) + " open slices");
    }

private:
    void ReadPacket(std::string_view bytes) {
        // TracePacket: timestamp 8, timestamp_clock_id 58, sequence id 10, flags 13, track_event
        // 11, interned_data 12, clock_snapshot 6, trace_packet_defaults 59, track_descriptor 60.
        std::vector<TField> fields =
            Fields(bytes, "a packet", {8, 10, 13, 58}, {6, 11, 12, 59, 60});
        auto find = [&](uint32_t number) -> const TField* {
            const TField* found = nullptr;
            for (const TField& field : fields)
                if (field.Number == number) {
                    if (found != nullptr)
                        Fail("field " + std::to_string(number) + " twice in a packet");
                    found = &field;
                }
            return found;
        };
        const TField* sequenceId = find(10);
        if (sequenceId == nullptr || sequenceId->Value == 0)
            Fail("a packet without trusted_packet_sequence_id");
        TSequence& sequence = Sequences[sequenceId->Value];
        const TField* flagsField = find(13);
        uint64_t flags = flagsField ? flagsField->Value : 0;
        if (flags & Cleared) {
            sequence = TSequence{};
            sequence.Valid = true;
        }
        bool needs = flags & Needs;
        auto relyOnState = [&](const char* what) {
            if (!sequence.Valid)
                Fail(std::string(what) + " before the sequence's incremental state was cleared");
            if (!needs && !(flags & Cleared))
                Fail(std::string(what) + " in a packet without SEQ_NEEDS_INCREMENTAL_STATE");
        };
        if (const TField* defaults = find(59))
            ReadDefaults(defaults->Bytes, sequence);
        if (const TField* snapshot = find(6))
            ReadClockSnapshot(snapshot->Bytes, sequence);
        if (const TField* interned = find(12)) {
            relyOnState("interned data");
            ReadInterned(interned->Bytes, sequence);
        }
        std::optional<uint64_t> time;
        if (const TField* timestamp = find(8)) {
            const TField* clockField = find(58);
            uint64_t clock = clockField ? clockField->Value : BootTime;
            if (clockField == nullptr && sequence.ClockId) {
                relyOnState("a timestamp in the default clock");
                clock = *sequence.ClockId;
            }
            if (clock == BootTime) {
                time = timestamp->Value;
            } else {
                auto found = sequence.Clocks.find(clock);
                if (found == sequence.Clocks.end())
                    Fail("a timestamp in clock " + std::to_string(clock) +
                         ", which no snapshot of its sequence defines");
                TClock& c = found->second;
                c.Value = c.Incremental ? c.Value + timestamp->Value : timestamp->Value;
                time = c.Value + c.Offset;
            }
            if (time < LastTime[sequenceId->Value])
                Fail("time runs backwards on a sequence");
            LastTime[sequenceId->Value] = *time;
        }
        if (const TField* descriptor = find(60))
            ReadDescriptor(descriptor->Bytes);
        if (const TField* event = find(11)) {
            if (!time)
                Fail("a track event without timestamp");
            ReadEvent(event->Bytes, *time, sequence, relyOnState);
        }
    }

    void ReadDefaults(std::string_view bytes, TSequence& sequence) {
        for (const TField& field : Fields(bytes, "trace_packet_defaults", {58}, {11})) {
            if (field.Number == 58)
                sequence.ClockId = field.Value;
            else
                for (const TField& inner : Fields(field.Bytes, "track_event_defaults", {11}, {}))
                    sequence.TrackUuid = inner.Value;
        }
    }

    void ReadClockSnapshot(std::string_view bytes, TSequence& sequence) {
        std::map<uint64_t, std::pair<uint64_t, bool>> clocks; // id -> timestamp, incremental
        for (const TField& field : Fields(bytes, "clock_snapshot", {2}, {1})) {
            if (field.Number == 2) {
                if (field.Value != BootTime)
                    Fail("a primary trace clock other than boot time");
                continue;
            }
            uint64_t id = 0, timestamp = 0;
            bool incremental = false;
            for (const TField& inner : Fields(field.Bytes, "a clock", {1, 2, 3}, {})) {
                if (inner.Number == 1)
                    id = inner.Value;
                else if (inner.Number == 2)
                    timestamp = inner.Value;
                else
                    incremental = inner.Value != 0;
            }
            clocks[id] = {timestamp, incremental};
        }
        auto boot = clocks.find(BootTime);
        if (boot == clocks.end())
            Fail("a clock snapshot without the trace's clock");
        for (const auto& [id, clock] : clocks) {
            if (id == BootTime)
                continue;
            if (id < 64 || id > 127)
                Fail("a snapshot of clock " + std::to_string(id) + ", not a sequence's clock");
            sequence.Clocks[id] = {clock.first, boot->second.first - clock.first, clock.second};
        }
    }

    void ReadInterned(std::string_view bytes, TSequence& sequence) {
        for (const TField& field : Fields(bytes, "interned_data", {}, {2, 3, 29})) {
            uint64_t iid = 0;
            std::optional<std::string> text;
            for (const TField& inner : Fields(field.Bytes, "an interned entry", {1}, {2})) {
                if (inner.Number == 1)
                    iid = inner.Value;
                else
                    text = Text(inner);
            }
            if (iid == 0 || !text)
                Fail("an interned entry without iid or text");
            auto& dictionary = field.Number == 2   ? sequence.EventNames
                               : field.Number == 3 ? sequence.AnnotationNames
                                                   : sequence.AnnotationStrings;
            auto [at, added] = dictionary.emplace(iid, *text);
            if (!added && at->second != *text)
                Fail("iid " + std::to_string(iid) + " interned twice with different texts");
        }
    }

    void ReadDescriptor(std::string_view bytes) {
        uint64_t uuid = 0;
        bool hasUuid = false;
        TPerfettoThread thread;
        bool isThread = false, isProcess = false;
        std::string processName, description;
        int64_t rank = 0;
        bool explicitOrder = false;
        for (const TField& field : Fields(bytes, "a track descriptor", {1, 12, 20}, {3, 4, 14})) {
            switch (field.Number) {
            case 1:
                uuid = field.Value, hasUuid = true;
                break;
            case 12:
                rank = int64_t(field.Value);
                break;
            case 20:
                explicitOrder = field.Value == 1;
                break;
            case 14:
                description = Text(field);
                break;
            case 3:
                isProcess = true;
                for (const TField& inner : Fields(field.Bytes, "a process", {1}, {6}))
                    if (inner.Number == 6)
                        processName = Text(inner);
                break;
            case 4:
                isThread = true;
                for (const TField& inner : Fields(field.Bytes, "a thread", {1, 2}, {5})) {
                    if (inner.Number == 1)
                        thread.Pid = int64_t(inner.Value);
                    else if (inner.Number == 2)
                        thread.Tid = int64_t(inner.Value);
                    else
                        thread.Name = Text(inner);
                }
                break;
            }
        }
        if (!hasUuid)
            Fail("a track descriptor without uuid");
        if (uuid == 0) {
            Trace.ThreadsOrderedExplicitly = explicitOrder;
            return;
        }
        if (Described.count(uuid))
            Fail("track " + std::to_string(uuid) + " described twice");
        Described.insert({uuid, true});
        if (isProcess) {
            Trace.ProcessName = processName;
            Trace.ProcessDescription = description;
        }
        if (isThread) {
            thread.Rank = rank;
            Trace.Threads[uuid] = thread;
        }
    }

    template <typename TRely>
    void ReadEvent(std::string_view bytes, uint64_t time, TSequence& sequence, TRely& relyOnState) {
        // TrackEvent: type 9, name_iid 10, track_uuid 11, name 23, debug_annotations 4.
        TPerfettoEvent event{TPerfettoEvent::Kind::Instant, 0, time, {}, 0, {}};
        std::optional<uint64_t> type, track;
        for (const TField& field : Fields(bytes, "a track event", {9, 10, 11}, {4, 23})) {
            if (field.Number == 9) {
                type = field.Value;
            } else if (field.Number == 10) {
                relyOnState("an interned event name");
                auto name = sequence.EventNames.find(field.Value);
                if (name == sequence.EventNames.end())
                    Fail("event name iid " + std::to_string(field.Value) + " is not interned");
                event.Name = name->second;
            } else if (field.Number == 11) {
                track = field.Value;
            } else if (field.Number == 23) {
                event.Name = Text(field);
            } else {
                ReadAnnotation(field.Bytes, sequence, event, relyOnState);
            }
        }
        if (!track) {
            if (!sequence.TrackUuid)
                Fail("a track event without track");
            relyOnState("the default track");
            track = sequence.TrackUuid;
        }
        event.Track = *track;
        if (!Described.count(event.Track))
            Fail("an event on track " + std::to_string(event.Track) + " before its descriptor");
        std::vector<size_t>& open = Open[event.Track]; // indices into Events
        if (type == 1) {
            event.Type = TPerfettoEvent::Kind::Begin;
        } else if (type == 2) {
            event.Type = TPerfettoEvent::Kind::End;
            if (open.empty())
                Fail("an end without begin on track " + std::to_string(event.Track));
            if (!event.Name.empty())
                Fail("an end with a name");
            const TPerfettoEvent& begin = Trace.Events[open.back()];
            event.Name = begin.Name;
            event.BeginTime = begin.Time;
            open.pop_back();
        } else if (type != 3) {
            Fail("a track event of type " + (type ? std::to_string(*type) : "none"));
        }
        Trace.Events.push_back(event);
        if (event.Type == TPerfettoEvent::Kind::Begin)
            open.push_back(Trace.Events.size() - 1);
    }

    template <typename TRely>
    void ReadAnnotation(std::string_view bytes, TSequence& sequence, TPerfettoEvent& event,
                        TRely& relyOnState) {
        // DebugAnnotation: name_iid 1, uint_value 3, string_value 6, string_value_iid 17.
        std::optional<std::string> name, value;
        for (const TField& field : Fields(bytes, "a debug annotation", {1, 3, 17}, {6})) {
            auto resolve = [&](std::map<uint64_t, std::string>& dictionary, const char* what) {
                relyOnState(what);
                auto found = dictionary.find(field.Value);
                if (found == dictionary.end())
                    Fail(std::string(what) + " iid " + std::to_string(field.Value) +
                         " is not interned");
                return found->second;
            };
            if (field.Number == 1)
                name = resolve(sequence.AnnotationNames, "an annotation name");
            else if (field.Number == 3)
                value = std::to_string(field.Value);
            else if (field.Number == 6)
                value = Text(field);
            else
                value = resolve(sequence.AnnotationStrings, "an annotation text");
        }
        if (!name || !value)
            Fail("a debug annotation without name or value");
        if (!event.Args.emplace(*name, *value).second)
            Fail("argument " + *name + " twice");
    }

    std::map<uint64_t, TSequence> Sequences;
    std::map<uint64_t, uint64_t> LastTime;
    std::map<uint64_t, bool> Described;
    std::map<uint64_t, std::vector<size_t>> Open;
};

} // namespace

uint64_t TPerfettoTrace::TrackNamed(const std::string& name) const {
    for (const auto& [uuid, thread] : Threads)
        if (thread.Name == name)
            return uuid;
    return 0;
}

std::optional<TPerfettoTrace> ReadPerfettoTrace(const std::string& bytes, std::string* error) {
    TTraceReader reader;
    try {
        reader.Read(bytes);
    } catch (const TFormatError& failure) {
        if (error != nullptr)
            *error = std::string(failure.what()) + " (packet " +
                     std::to_string(reader.Trace.Packets) + ")";
        return std::nullopt;
    }
    return std::move(reader.Trace);
}

} // namespace hookmeter::test
