#include "analysis/Timeline.h"

#include "base/NumberFormat.h"
#include "base/TextEscape.h"
#include "core/Entries.h"

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

} // namespace

TTimelineWriter::TTimelineWriter(TOutputFile& file, TEntryTables& tables,
                                 std::string_view processName, uint64_t firstTSC, double clockHz)
    : File(file), Tables(tables), ProcessName(JsonText(processName)), FirstTSC(firstTSC),
      NanosecondsPerCycle(clockHz >= 1 ? 1e9 / clockHz : 0), TaskTracks(tables.TaskCount, 0),
      OpenSlices(FirstTaskTrack + tables.TaskCount, 0), EventHeads(2 * OpenSlices.size()),
      Functions(tables.FunctionCount), Tasks(tables.TaskCount) {
    for (uint32_t track = 0; track < OpenSlices.size(); ++track)
        for (char phase : {'B', 'E'}) {
            TEventHead& head = EventHeads[HeadIndex(phase, track)];
            char* out = Append(head.Text, ",\n{\"ph\":\"");
            *out++ = phase;
            out = Append(out, "\",\"pid\":1,\"tid\":");
            out = FormatUnsigned(out, track, 0);
            out = Append(out, ",\"ts\":");
            head.Length = size_t(out - head.Text);
        }
}

char* TTimelineWriter::FormatMicroseconds(char* out, uint64_t nanoseconds) {
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

uint64_t TTimelineWriter::TimeOf(uint64_t tsc) {
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

void TTimelineWriter::Remember(TEntityText& text, const char* name) {
    text.NameOffset = uint32_t(NamePool.size());
    AppendJsonString(NamePool, PrintableName(name));
    text.NameLength = uint32_t(NamePool.size() - text.NameOffset);
    text.Known = true;
}

const TTimelineWriter::TEntityText& TTimelineWriter::FunctionText(const FunctionEntry& function) {
    TEntityText& text = Functions[Tables.IndexOf(function)];
    if (!text.Known) {
        text.Address = function.Address;
        Remember(text, function.Name);
    }
    return text;
}

std::string_view TTimelineWriter::TaskName(const TaskEntry& task) {
    TEntityText& text = Tasks[Tables.IndexOf(task)];
    if (!text.Known)
        Remember(text, task.Name);
    return NameOf(text);
}

char* TTimelineWriter::BeginEvent(char phase, uint32_t track, uint64_t time,
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

void TTimelineWriter::WriteEvent(char phase, uint32_t track, uint64_t time,
                                 std::string_view jsonName, std::string_view tail) {
    if (tail.size() <= MaxEventHead) {
        File.Commit(Append(BeginEvent(phase, track, time, jsonName, tail.size()), tail));
        return;
    }
    File.Commit(BeginEvent(phase, track, time, jsonName, 0));
    File.Write(tail);
}

void TTimelineWriter::WriteTrackNames(uint32_t track, std::string_view jsonName,
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

uint32_t TTimelineWriter::TrackOf(const TaskEntry& task) {
    uint32_t& track = TaskTracks[Tables.IndexOf(task)];
    if (track == 0) {
        track = NextTrack++;
        WriteTrackNames(track, TaskName(task), track);
    }
    return track;
}

void TTimelineWriter::Begin(const TaskEntry& startTask) {
    Begun = true;
    File.Write("{\"traceEvents\":[\n{\"ph\":\"M\",\"pid\":1,\"tid\":0,\"name\":\"process_name\","
               "\"args\":{\"name\":\"");
    File.Write(ProcessName);
    File.Write("\"}}");
    WriteTrackNames(CoreTrack, "DSP core", 0);
    WriteTrackNames(NotesTrack, "notes", 1);
    TrackOf(startTask);
    uint64_t time = TimeOf(FirstTSC);
    WriteEvent('B', CoreTrack, time, TaskName(startTask), "}");
    ++OpenSlices[CoreTrack];
    CoreTask = Tables.IndexOf(startTask);
    CoreStart = time;
}

void TTimelineWriter::EndCoreSlice(uint64_t time) {
    if (CoreTask < 0)
        return;
    WriteEvent('E', CoreTrack, time, TaskName(Tables.TaskEntries()[CoreTask]), "}");
    --OpenSlices[CoreTrack];
    CoreTask = -1;
}

void TTimelineWriter::Finish(uint64_t lastTSC) {
    if (Finished || !Begun)
        return;
    Finished = true;
    uint64_t time = TimeOf(lastTSC);
    EndCoreSlice(time);
    // Only a job cut short leaves calls open; end them so that every "B" has its "E".
    for (uint32_t track = 0; track < OpenSlices.size(); ++track)
        for (; OpenSlices[track] > 0; --OpenSlices[track]) {
            const TEventHead& head = HeadOf('E', track);
            char* out = Append(File.Reserve(MaxEventHead), {head.Text, head.Length});
            out = FormatMicroseconds(out, time);
            out = Append(out, "}");
            File.Commit(out);
        }
    File.Write("\n],\n\"displayTimeUnit\":\"ns\",\n\"otherData\":{\"rawFile\":\"");
    File.Write(ProcessName);
    char text[160];
    char* out = text;
    out = Append(out, "\",\"firstTSC\":\"");
    out = FormatUnsigned(out, FirstTSC, 0);
    if (NanosecondsPerCycle > 0) {
        out = Append(out, "\",\"timeUnit\":\"microseconds at clockHz\",\"clockHz\":\"");
        out = std::to_chars(out, text + sizeof text, 1e9 / NanosecondsPerCycle,
                            std::chars_format::fixed)
                  .ptr;
    } else {
        out = Append(out, "\",\"timeUnit\":\"cycles: one cycle is shown as one nanosecond");
    }
    out = Append(out, "\"}}\n");
    File.Write({text, size_t(out - text)});
}

void TTimelineWriter::FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
    const CallFrame& frame = stack.back();
    const FunctionEntry* function = Tables.FindFunction(frame.Address);
    if (function == nullptr)
        return; // no call-list line will ever name it
    uint32_t track = TrackOf(task);
    WriteEvent('B', track, TimeOf(frame.EnterTSC), NameOf(FunctionText(*function)), "}");
    ++OpenSlices[track];
}

void TTimelineWriter::CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                                    std::span<const CallFrame> stack, uint64_t inclusive,
                                    uint64_t exclusive) {
    uint32_t track = TrackOf(task);
    const TEntityText& text = FunctionText(function);
    constexpr size_t ArgsRoom = 64 + 2 * MaxDecimalDigits;
    char* out = BeginEvent('E', track, TimeOf(stack.back().ExitTSC), NameOf(text), ArgsRoom);
    out = Append(out, ",\"args\":{\"incl\":");
    out = FormatUnsigned(out, inclusive, 0);
    out = Append(out, ",\"excl\":");
    out = FormatUnsigned(out, exclusive, 0);
    out = Append(out, ",\"addr\":\"0x");
    out = FormatHex8(out, text.Address);
    File.Commit(Append(out, "\"}}"));
    if (OpenSlices[track] > 0)
        --OpenSlices[track];
}

void TTimelineWriter::CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                               uint64_t cutTSC) {
    uint32_t track = TrackOf(task);
    uint64_t time = TimeOf(cutTSC);
    for (auto frame = stack.rbegin(); frame != stack.rend(); ++frame) {
        const FunctionEntry* function = Tables.FindFunction(frame->Address);
        if (function == nullptr)
            continue;
        WriteEvent('E', track, time, NameOf(FunctionText(*function)),
                   ",\"args\":{\"cut\":\"no exit record\"}}");
        if (OpenSlices[track] > 0)
            --OpenSlices[track];
    }
}

void TTimelineWriter::ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                                       uint64_t exitTSC) {
    WriteEvent('i', TrackOf(task), TimeOf(exitTSC), NameOf(FunctionText(function)),
               ",\"args\":{\"cut\":\"no enter record\"}}");
}

void TTimelineWriter::TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
    uint64_t time = TimeOf(enterTSC);
    int64_t index = Tables.IndexOf(task);
    if (CoreTask == index && CoreStart == time)
        return; // the start task's own enter record: its slice is already open
    EndCoreSlice(time);
    TrackOf(task);
    WriteEvent('B', CoreTrack, time, TaskName(task), "}");
    ++OpenSlices[CoreTrack];
    CoreTask = index;
    CoreStart = time;
}

void TTimelineWriter::TaskExited(const TaskEntry& task, uint64_t exitTSC) {
    if (CoreTask == Tables.IndexOf(task))
        EndCoreSlice(TimeOf(exitTSC));
}

void TTimelineWriter::InconsistencyNoted(uint64_t tsc, std::string_view line) {
    std::string json = JsonText(line);
    WriteEvent('i', NotesTrack, TimeOf(tsc), json, ",\"args\":{\"status\":\"" + json + "\"}}");
}

} // namespace hookmeter
