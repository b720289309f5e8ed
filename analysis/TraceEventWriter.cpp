#include "analysis/TraceEventWriter.h"

#include "base/NumberFormat.h"
#include "base/TextEscape.h"

#include <array>
#include <charconv>
#include <cstring>

namespace hookmeter {
namespace {

constexpr size_t MaxEventHead = 160; // the longest fixed part of an event

char* Append(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// ".000" to ".999", four characters each.
constexpr auto Fractions = [] {
    std::array<char, 4000> text{};
    for (unsigned i = 0; i < 1000; ++i) {
        text[4 * i] = '.';
        text[4 * i + 1] = char('0' + i / 100);
        text[4 * i + 2] = char('0' + i / 10 % 10);
        text[4 * i + 3] = char('0' + i % 10);
    }
    return text;
}();

std::string JsonText(std::string_view text) {
    std::string json;
    AppendJsonString(json, text);
    return json;
}

// The fixed parts of the events with arguments, spelled out so that they copy fast; the checks
// hold them to the argument names.
constexpr std::string_view InclusiveHead = ",\"args\":{\"incl\":";
constexpr std::string_view ExclusiveHead = ",\"excl\":";
constexpr std::string_view AddressHead = ",\"addr\":\"0x";
constexpr std::string_view CutNoExit = ",\"args\":{\"cut\":\"no exit record\"}}";
constexpr std::string_view CutNoEnter = ",\"args\":{\"cut\":\"no enter record\"}}";
constexpr std::string_view StatusHead = ",\"args\":{\"status\":\"";
static_assert(InclusiveHead.substr(10, 4) == TimelineArgument::Inclusive);
static_assert(ExclusiveHead.substr(2, 4) == TimelineArgument::Exclusive);
static_assert(AddressHead.substr(2, 4) == TimelineArgument::Address);
static_assert(CutNoExit.substr(10, 3) == TimelineArgument::Cut &&
              CutNoExit.substr(16, 14) == TimelineArgument::NoExitRecord);
static_assert(CutNoEnter.substr(10, 3) == TimelineArgument::Cut &&
              CutNoEnter.substr(16, 15) == TimelineArgument::NoEnterRecord);
static_assert(StatusHead.substr(10, 6) == TimelineArgument::Status);

} // namespace

TTraceEventWriter::TTraceEventWriter(TOutputFile& file) : File(file) {}

char* TTraceEventWriter::FormatMicroseconds(char* out, uint64_t nanoseconds) {
    // Events come in time order, many within the same microsecond: its digits are kept.
    uint64_t microseconds = nanoseconds / 1000;
    if (microseconds != Microseconds.Value || Microseconds.Length == 0) {
        Microseconds.Value = microseconds;
        Microseconds.Length =
            uint32_t(FormatUnsigned(Microseconds.Text, microseconds, 0) - Microseconds.Text);
    }
    std::memcpy(out, Microseconds.Text, sizeof Microseconds.Text); // a fixed size copies fast
    out += Microseconds.Length;
    std::memcpy(out, &Fractions[4 * (nanoseconds % 1000)], 4);
    return out + 4;
}

std::string_view TTraceEventWriter::JsonName(const TTimelineName& name) {
    TNameText& text = Names[name.Key];
    if (!text.Known) {
        text.Offset = uint32_t(NamePool.size());
        AppendJsonString(NamePool, name.Name);
        text.Length = uint32_t(NamePool.size() - text.Offset);
        text.Known = true;
    }
    return std::string_view(NamePool).substr(text.Offset, text.Length);
}

char* TTraceEventWriter::BeginEvent(char phase, uint32_t track, uint64_t time,
                                    std::string_view jsonName, size_t tailRoom) {
    size_t size = MaxEventHead + jsonName.size() + tailRoom;
    bool whole = size <= TOutputFile::ReserveLimit;
    char* out = File.Reserve(whole ? size : MaxEventHead);
    if (phase == 'B' || phase == 'E') {
        const TEventHead& head = HeadOf(phase, track);
        std::memcpy(out, head.Text, sizeof head.Text); // a fixed size copies fast
        out += head.Length;
    } else {
        out = Append(out, ",\n{\"ph\":\"");
        *out++ = phase;
        out = Append(out, "\",\"s\":\"t\",\"pid\":1,\"tid\":");
        out = FormatUnsigned(out, track, 0);
        out = Append(out, ",\"ts\":");
    }
    out = FormatMicroseconds(out, time);
    out = Append(out, ",\"name\":\"");
    if (whole) {
        out = Append(out, jsonName);
        *out++ = '"';
        return out;
    }
    File.Commit(out);
    File.Write(jsonName);
    File.Write("\"");
    return File.Reserve(tailRoom);
}

void TTraceEventWriter::WriteEvent(char phase, uint32_t track, uint64_t time,
                                   std::string_view jsonName, std::string_view tail) {
    if (tail.size() <= MaxEventHead) {
        File.Commit(Append(BeginEvent(phase, track, time, jsonName, tail.size()), tail));
        return;
    }
    File.Commit(BeginEvent(phase, track, time, jsonName, 0));
    File.Write(tail);
}

void TTraceEventWriter::WriteTrackNames(uint32_t track, std::string_view jsonName,
                                        uint32_t sortIndex) {
    char* out = File.Reserve(MaxEventHead);
    out = Append(out, ",\n{\"ph\":\"M\",\"pid\":1,\"tid\":");
    out = FormatUnsigned(out, track, 0);
    out = Append(out, ",\"name\":\"thread_name\",\"args\":{\"name\":\"");
    File.Commit(out);
    File.Write(jsonName);
    out = File.Reserve(MaxEventHead);
    out = Append(out, "\"}},\n{\"ph\":\"M\",\"pid\":1,\"tid\":");
    out = FormatUnsigned(out, track, 0);
    out = Append(out, ",\"name\":\"thread_sort_index\",\"args\":{\"sort_index\":");
    out = FormatUnsigned(out, sortIndex, 0);
    out = Append(out, "}}");
    File.Commit(out);
}

void TTraceEventWriter::Begin(const TTimelineHead& head) {
    ProcessName = JsonText(head.ProcessName);
    FirstTSC = head.FirstTSC;
    ClockHz = head.ClockHz;
    Names.assign(head.NameCount, {});
    EventHeads.resize(2 * size_t(head.TrackCount));
    for (uint32_t track = 0; track < head.TrackCount; ++track)
        for (char phase : {'B', 'E'}) {
            TEventHead& eventHead = EventHeads[HeadIndex(phase, track)];
            char* out = Append(eventHead.Text, ",\n{\"ph\":\"");
            *out++ = phase;
            out = Append(out, "\",\"pid\":1,\"tid\":");
            out = FormatUnsigned(out, track, 0);
            out = Append(out, ",\"ts\":");
            eventHead.Length = size_t(out - eventHead.Text);
        }
    File.Write("{\"traceEvents\":[\n{\"ph\":\"M\",\"pid\":1,\"tid\":0,\"name\":\"process_name\","
               "\"args\":{\"name\":\"");
    File.Write(ProcessName);
    File.Write("\"}}");
}

void TTraceEventWriter::TrackAdded(uint32_t track, std::string_view name, uint32_t sortIndex) {
    WriteTrackNames(track, JsonText(name), sortIndex);
}

void TTraceEventWriter::SliceBegun(uint32_t track, uint64_t time, const TTimelineName& name) {
    WriteEvent('B', track, time, JsonName(name), "}");
}

void TTraceEventWriter::SliceEnded(uint32_t track, uint64_t time, const TTimelineName& name) {
    WriteEvent('E', track, time, JsonName(name), "}");
}

void TTraceEventWriter::CallEnded(uint32_t track, uint64_t time, const TTimelineName& function,
                                  uint64_t inclusive, uint64_t exclusive) {
    constexpr size_t ArgsRoom = 64 + 2 * MaxDecimalDigits;
    char* out = BeginEvent('E', track, time, JsonName(function), ArgsRoom);
    out = Append(out, InclusiveHead);
    out = FormatUnsigned(out, inclusive, 0);
    out = Append(out, ExclusiveHead);
    out = FormatUnsigned(out, exclusive, 0);
    out = Append(out, AddressHead);
    out = FormatHex8(out, function.Address);
    File.Commit(Append(out, "\"}}"));
}

void TTraceEventWriter::CallCut(uint32_t track, uint64_t time, const TTimelineName& function) {
    WriteEvent('E', track, time, JsonName(function), CutNoExit);
}

void TTraceEventWriter::ExitWithoutEnter(uint32_t track, uint64_t time,
                                         const TTimelineName& function) {
    WriteEvent('i', track, time, JsonName(function), CutNoEnter);
}

void TTraceEventWriter::Note(uint32_t track, uint64_t time, std::string_view line) {
    std::string json = JsonText(line);
    WriteEvent('i', track, time, json, std::string(StatusHead) + json + "\"}}");
}

void TTraceEventWriter::SliceClosed(uint32_t track, uint64_t time) {
    const TEventHead& head = HeadOf('E', track);
    char* out = Append(File.Reserve(MaxEventHead), {head.Text, head.Length});
    out = FormatMicroseconds(out, time);
    out = Append(out, "}");
    File.Commit(out);
}

void TTraceEventWriter::End() {
    File.Write("\n],\n\"displayTimeUnit\":\"ns\",\n\"otherData\":{\"rawFile\":\"");
    File.Write(ProcessName);
    char text[160];
    char* out = text;
    out = Append(out, "\",\"firstTSC\":\"");
    out = FormatUnsigned(out, FirstTSC, 0);
    if (ClockHz >= 1) {
        out = Append(out, "\",\"timeUnit\":\"microseconds at clockHz\",\"clockHz\":\"");
        // The rate as the time conversion sees it, through the nanoseconds per cycle.
        double hz = 1e9 / (1e9 / ClockHz);
        out = std::to_chars(out, text + sizeof text, hz, std::chars_format::fixed).ptr;
    } else {
        out = Append(out, "\",\"timeUnit\":\"cycles: one cycle is shown as one nanosecond");
    }
    out = Append(out, "\"}}\n");
    File.Write({text, size_t(out - text)});
}

} // namespace hookmeter
