// The optional outputs of a job (timeline, folded stacks, distributions, results), each checked
// against the call list of the same run.
#include "analysis/LogHistogram.h"
#include "base/TextEscape.h"
#include "job/Profile.h"

#include "JsonCheck.h"
#include "PerfettoCheck.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

namespace hookmeter {
namespace {

using test::BinaryTrace;
using test::Enter;
using test::Exit;
using test::TaskIn;
using test::TaskOut;
using test::TJsonValue;
using test::TTempDir;
using test::WriteFile;

const std::vector<RawRecord> WorkedExample = {
    TaskIn(0x1000, 100),  Enter(0x8000, 110),  Enter(0x8100, 130),
    TaskOut(0x1000, 150), TaskIn(0x2000, 160), TaskOut(0x2000, 200),
    TaskIn(0x1000, 210),  Exit(0x8100, 215),   Exit(0x8000, 240)};

// A random trace: a few tasks, nested calls with gaps from 0 to millions of cycles, now and
// then an exit that does not match and a task switch; time never goes backwards.
std::vector<RawRecord> RandomTrace(uint32_t seed, size_t count) {
    std::mt19937_64 random(seed);
    auto below = [&](uint64_t bound) { return random() % bound; };
    std::vector<RawRecord> records;
    std::map<uint32_t, std::vector<uint32_t>> stacks;
    uint32_t task = 0x1000;
    uint64_t tsc = 1000;
    records.push_back(TaskIn(task, tsc));
    while (records.size() < count) {
        tsc += below(4) == 0 ? below(uint64_t{1} << (5 + below(20))) : below(50);
        std::vector<uint32_t>& stack = stacks[task];
        uint64_t roll = below(100);
        if (roll < 3) {
            records.push_back(TaskOut(task, tsc));
            task = 0x1000 + 0x100 * uint32_t(below(3));
            tsc += below(10);
            records.push_back(TaskIn(task, tsc));
        } else if (roll < 5 && !stack.empty()) {
            records.push_back(Exit(0x9000, tsc)); // matches no enter
            stack.clear();
        } else if (stack.empty() || (stack.size() < 12 && roll < 55)) {
            stack.push_back(0x8000 + 0x40 * uint32_t(below(6)));
            records.push_back(Enter(stack.back(), tsc));
        } else {
            records.push_back(Exit(stack.back(), tsc));
            stack.pop_back();
        }
    }
    records.push_back(Enter(0x9000, tsc)); // the exit-only function gets a name
    return records;
}

struct TOutputs {
    std::vector<std::string> Lines;
    std::string CallList, Profile, Timeline, Folded, Stats;
    std::shared_ptr<const TJobResults> Results;
};

TOutputs RunWithOutputs(const std::vector<RawRecord>& records,
                        const std::function<void(TJobParameters&)>& configure = {}) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    test::TCollectedLines lines;
    TOutputs run;
    std::string timelineFile;
    {
        TJobParameters parameters = test::JobParameters(dir, dir.File("raw.bin"), RawForm::Binary);
        parameters.TimelineFileName = dir.File("timeline.json");
        parameters.FoldedFileName = dir.File("folded.txt");
        parameters.StatsFileName = dir.File("stats.csv");
        if (configure)
            configure(parameters);
        timelineFile = parameters.TimelineFileName;
        TProfile job(std::move(parameters), &lines);
        job.Start();
        job.WaitFor();
        run.Results = job.Results();
    }
    run.Lines = lines.Lines();
    run.CallList = test::ReadFile(dir.File("calls.csv"));
    run.Profile = test::ReadFile(dir.File("profile.csv"));
    run.Timeline = timelineFile.empty() ? "" : test::ReadFile(timelineFile);
    run.Folded = test::ReadFile(dir.File("folded.txt"));
    run.Stats = test::ReadFile(dir.File("stats.csv"));
    return run;
}

std::vector<RawRecord> SampleTrace() {
    std::string bytes = test::ReadFile(HOOKMETER_EXAMPLES_DIR "/sample_trace.bin");
    std::vector<RawRecord> records(bytes.size() / 16);
    for (size_t i = 0; i < records.size(); ++i) {
        auto word = [&](size_t at) {
            uint32_t value = 0;
            for (int b = 3; b >= 0; --b)
                value = value << 8 | (unsigned char)bytes[i * 16 + at + size_t(b)];
            return value;
        };
        records[i] = {word(0), word(4), uint64_t(word(12)) << 32 | word(8)};
    }
    return records;
}

void UseSampleExecutable(TJobParameters& job) {
    job.DSPOutFileName = HOOKMETER_EXAMPLES_DIR "/sample.out";
}

struct TCallLine {
    enum Kind { Completed, NoExit, NoEnter, TaskEnter, TaskExit } Type;
    uint64_t Enter, Exit, Inclusive, Exclusive;
    std::string Address, Name;
};

std::vector<TCallLine> ParseCallList(const std::string& text) {
    std::vector<TCallLine> lines;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        TCallLine call{};
        call.Address = line.substr(0, 8);
        call.Enter = std::stoull(line.substr(9, 15));
        call.Exit = std::stoull(line.substr(25, 15));
        call.Inclusive = std::stoull(line.substr(41, 15));
        call.Exclusive = std::stoull(line.substr(57, 15));
        call.Name = line.substr(73);
        call.Type = TCallLine::Completed;
        for (auto [suffix, kind] : {std::pair{" (enter without exit)", TCallLine::NoExit},
                                    {" (exit without enter)", TCallLine::NoEnter},
                                    {" (task enter)", TCallLine::TaskEnter},
                                    {" (task exit)", TCallLine::TaskExit}})
            if (call.Name.ends_with(suffix)) {
                call.Name.resize(call.Name.size() - std::string(suffix).size());
                call.Type = kind;
            }
        lines.push_back(call);
    }
    return lines;
}

// "12.345" microseconds as nanoseconds.
uint64_t Nanoseconds(const TJsonValue& ts) {
    size_t dot = ts.Text.find('.');
    return std::stoull(ts.Text.substr(0, dot)) * 1000 + std::stoull(ts.Text.substr(dot + 1));
}

// Checks the timeline's nesting and gives its call events in the call list's terms: "C" for a
// completed call, "X" for a call without exit, "N" for an exit without enter; with times as
// TSCs when one cycle is one nanosecond.
struct TTimelineEvents {
    std::vector<std::string> Calls;
    std::vector<std::string> Notes;
    std::map<std::string, std::string> ThreadNames; // tid -> name
    const TJsonValue* Root = nullptr;
};

std::unique_ptr<TJsonValue> ReadTimeline(const std::string& text, TTimelineEvents& events) {
    std::string error;
    std::unique_ptr<TJsonValue> root = test::ParseJson(text, &error);
    EXPECT_TRUE(root) << error;
    if (!root)
        return root;
    const TJsonValue* list = root->Find("traceEvents");
    const TJsonValue* firstTSC = root->Find("otherData")->Find("firstTSC");
    uint64_t first = std::stoull(firstTSC->Text);
    struct TOpen {
        std::string Name;
        uint64_t Time;
    };
    std::map<std::string, std::vector<TOpen>> open; // by tid
    uint64_t last = 0;
    for (const TJsonValue& event : list->Items) {
        std::string phase = event.Find("ph")->Text;
        std::string tid = event.Find("tid")->Text;
        const TJsonValue* nameValue = event.Find("name");
        std::string name = nameValue ? nameValue->Text : "";
        const TJsonValue* args = event.Find("args");
        if (phase == "M") {
            if (name == "thread_name")
                events.ThreadNames[tid] = args->Find("name")->Text;
            continue;
        }
        uint64_t time = Nanoseconds(*event.Find("ts"));
        EXPECT_GE(time, last) << "events out of time order";
        last = time;
        if (phase == "B") {
            open[tid].push_back({name, time});
        } else if (phase == "E") {
            EXPECT_FALSE(open[tid].empty()) << "E without B on track " << tid;
            if (open[tid].empty())
                continue;
            TOpen begin = open[tid].back();
            open[tid].pop_back();
            EXPECT_EQ(begin.Name, name);
            if (tid == "1")
                continue; // the DSP core
            if (const TJsonValue* inclusive = args->Find("incl"))
                events.Calls.push_back("C " + args->Find("addr")->Text.substr(2) + " " +
                                       std::to_string(begin.Time + first) + " " +
                                       std::to_string(time + first) + " " + inclusive->Text + " " +
                                       args->Find("excl")->Text + " " + name);
            else
                events.Calls.push_back("X " + std::to_string(begin.Time + first) + " " + name +
                                       " " + args->Find("cut")->Text);
        } else if (phase == "i") {
            if (tid == "2")
                events.Notes.push_back(args->Find("status")->Text);
            else
                events.Calls.push_back("N " + std::to_string(time + first) + " " + name + " " +
                                       args->Find("cut")->Text);
        }
    }
    for (const auto& [tid, stack] : open)
        EXPECT_TRUE(stack.empty()) << "track " << tid << " ends with open slices";
    return root;
}

// Makes the job write its timeline as a Perfetto trace instead.
void AsPerfetto(TJobParameters& job) {
    job.TimelineFileName.replace(job.TimelineFileName.size() - 5, 5, ".pftrace");
}

// The same as ReadTimeline for a Perfetto trace, whose first TSC is in the process's
// description; also checks that every event carries exactly its arguments.
std::optional<test::TPerfettoTrace> ReadPerfettoTimeline(const std::string& bytes,
                                                         TTimelineEvents& events) {
    std::string error;
    std::optional<test::TPerfettoTrace> trace = test::ReadPerfettoTrace(bytes, &error);
    EXPECT_TRUE(trace) << error;
    if (!trace)
        return trace;
    size_t at = trace->ProcessDescription.find("(TSC ");
    EXPECT_NE(at, std::string::npos) << trace->ProcessDescription;
    uint64_t first = std::stoull(trace->ProcessDescription.substr(at + 5));
    std::map<uint64_t, std::string> tids; // by track uuid
    for (const auto& [uuid, thread] : trace->Threads) {
        tids[uuid] = std::to_string(thread.Tid);
        events.ThreadNames[tids[uuid]] = thread.Name;
        EXPECT_EQ(thread.Pid, 1);
    }
    uint64_t last = 0;
    for (const test::TPerfettoEvent& event : trace->Events) {
        EXPECT_GE(event.Time, last) << "events out of time order";
        last = event.Time;
        const std::string& tid = tids[event.Track];
        auto arg = [&](const char* name) {
            auto found = event.Args.find(name);
            return found == event.Args.end() ? std::string("<none>") : found->second;
        };
        auto time = [&](uint64_t nanoseconds) { return std::to_string(nanoseconds + first); };
        size_t arguments = 1;
        if (event.Type == test::TPerfettoEvent::Kind::Begin || tid == "1") {
            arguments = 0;
        } else if (event.Type == test::TPerfettoEvent::Kind::End && event.Args.count("incl")) {
            events.Calls.push_back("C " + arg("addr").substr(2) + " " + time(event.BeginTime) +
                                   " " + time(event.Time) + " " + arg("incl") + " " + arg("excl") +
                                   " " + event.Name);
            arguments = 3;
        } else if (event.Type == test::TPerfettoEvent::Kind::End) {
            events.Calls.push_back("X " + time(event.BeginTime) + " " + event.Name + " " +
                                   arg("cut"));
        } else if (tid == "2") {
            events.Notes.push_back(arg("status"));
            EXPECT_EQ(event.Name, arg("status"));
        } else {
            events.Calls.push_back("N " + time(event.Time) + " " + event.Name + " " + arg("cut"));
        }
        EXPECT_EQ(event.Args.size(), arguments) << event.Name;
    }
    return trace;
}

// Reads a timeline of either form; false when it is not valid.
bool ReadEvents(const std::string& timeline, bool perfetto, TTimelineEvents& events) {
    return perfetto ? ReadPerfettoTimeline(timeline, events).has_value()
                    : ReadTimeline(timeline, events) != nullptr;
}

std::vector<std::string> CallListEvents(const std::string& callList) {
    std::vector<std::string> events;
    for (const TCallLine& line : ParseCallList(callList)) {
        if (line.Type == TCallLine::Completed)
            events.push_back("C " + line.Address + " " + std::to_string(line.Enter) + " " +
                             std::to_string(line.Exit) + " " + std::to_string(line.Inclusive) +
                             " " + std::to_string(line.Exclusive) + " " + line.Name);
        else if (line.Type == TCallLine::NoExit)
            events.push_back("X " + std::to_string(line.Enter) + " " + line.Name +
                             " no exit record");
        else if (line.Type == TCallLine::NoEnter)
            events.push_back("N " + std::to_string(line.Exit) + " " + line.Name +
                             " no enter record");
    }
    return events;
}

std::vector<std::vector<RawRecord>> Traces() {
    std::vector<std::vector<RawRecord>> traces = {WorkedExample};
    for (uint32_t seed = 1; seed <= 4; ++seed)
        traces.push_back(RandomTrace(seed, 3000));
    // A ring buffer that wrapped: the earliest record is in the middle of the file.
    std::vector<RawRecord> rotated = RandomTrace(5, 3000);
    std::rotate(rotated.begin(), rotated.begin() + 1700, rotated.end());
    traces.push_back(rotated);
    return traces;
}

TEST(Timeline, EachCallListLineHasOneCounterpartAndEveryTrackIsBalanced) {
    std::vector<std::pair<std::vector<RawRecord>, std::function<void(TJobParameters&)>>> runs;
    for (auto& trace : Traces())
        runs.emplace_back(trace, nullptr);
    runs.emplace_back(SampleTrace(), UseSampleExecutable);
    // The replay ends early: the stack overflows.
    std::vector<RawRecord> deep = {TaskIn(0x1000, 1)};
    for (uint64_t i = 0; i < 70; ++i)
        deep.push_back(Enter(0x8000 + 0x40 * uint32_t(i % 3), 2 + i));
    runs.emplace_back(deep, [](TJobParameters& job) { job.CallStackSize = 64; });
    for (bool perfetto : {false, true})
        for (auto& [trace, configure] : runs) {
            TOutputs run = RunWithOutputs(trace, [&](TJobParameters& job) {
                if (configure)
                    configure(job);
                if (perfetto)
                    AsPerfetto(job);
            });
            TTimelineEvents events;
            ASSERT_TRUE(ReadEvents(run.Timeline, perfetto, events));
            std::vector<std::string> expected = CallListEvents(run.CallList);
            std::sort(expected.begin(), expected.end());
            std::sort(events.Calls.begin(), events.Calls.end());
            std::vector<std::string> missing, extra;
            std::set_difference(expected.begin(), expected.end(), events.Calls.begin(),
                                events.Calls.end(), std::back_inserter(missing));
            std::set_difference(events.Calls.begin(), events.Calls.end(), expected.begin(),
                                expected.end(), std::back_inserter(extra));
            EXPECT_EQ(missing, std::vector<std::string>{}) << (perfetto ? "Perfetto" : "JSON");
            EXPECT_EQ(extra, std::vector<std::string>{}) << (perfetto ? "Perfetto" : "JSON");
            EXPECT_EQ(events.ThreadNames["1"], "DSP core");
            EXPECT_EQ(events.ThreadNames["2"], "notes");
        }
}

TEST(Timeline, EveryInconsistencyIsANoteWithItsStatusLine) {
    for (bool perfetto : {false, true}) {
        // A gap, a TSC going back, an exit that matches no enter, a task exit of another task.
        TOutputs run =
            RunWithOutputs({TaskIn(0x1000, 100), Enter(0x8000, 110), Enter(0x8100, 20000000),
                            Exit(0x8000, 20000010), Enter(0x8000, 20000020), Exit(0x8000, 90),
                            TaskOut(0x2000, 20000030)},
                           [&](TJobParameters& job) {
                               if (perfetto)
                                   AsPerfetto(job);
                           });
        TTimelineEvents events;
        ASSERT_TRUE(ReadEvents(run.Timeline, perfetto, events));
        std::vector<std::string> inconsistencies(run.Lines.begin() + 3,
                                                 run.Lines.begin() + 3 + events.Notes.size());
        EXPECT_EQ(events.Notes.size(), 5u); // the last record comes long after the one before
        EXPECT_EQ(events.Notes, inconsistencies);
        EXPECT_TRUE(run.Lines[3 + events.Notes.size()].starts_with("Process "));
    }
}

TEST(Timeline, ClockHzGivesTimeFromTheFirstRecordAndCyclesSaySo) {
    TOutputs run = RunWithOutputs(WorkedExample, [](TJobParameters& job) { job.ClockHz = 2e9; });
    // f leaves at TSC 240, 140 cycles after the first record: 70 ns at 2 GHz.
    EXPECT_NE(run.Timeline.find("\"ph\":\"E\",\"pid\":1,\"tid\":3,\"ts\":0.070,"),
              std::string::npos);
    TTimelineEvents events;
    std::unique_ptr<TJsonValue> root = ReadTimeline(run.Timeline, events);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Find("otherData")->Find("clockHz")->Text, "2000000000");

    for (double clockHz : {2e9, 0.0}) {
        TOutputs perfetto = RunWithOutputs(WorkedExample, [&](TJobParameters& job) {
            job.ClockHz = clockHz;
            AsPerfetto(job);
        });
        std::optional<test::TPerfettoTrace> trace = test::ReadPerfettoTrace(perfetto.Timeline);
        ASSERT_TRUE(trace);
        uint64_t task = trace->TrackNamed("?task #1");
        auto f = std::find_if(trace->Events.begin(), trace->Events.end(), [&](auto& event) {
            return event.Track == task && event.Type == test::TPerfettoEvent::Kind::End &&
                   event.Name == "?function #0";
        });
        ASSERT_NE(f, trace->Events.end());
        EXPECT_EQ(f->BeginTime, clockHz > 0 ? 5u : 10u);
        EXPECT_EQ(f->Time, clockHz > 0 ? 70u : 140u);
        const std::string cycles = " (cycles: one cycle is shown as one nanosecond)";
        EXPECT_EQ(trace->ProcessName.ends_with(cycles), clockHz == 0) << trace->ProcessName;
        EXPECT_EQ(trace->ProcessDescription.find("2000000000") != std::string::npos, clockHz > 0);
        // The tracks keep the timeline's order: the core, the notes, then the tasks.
        EXPECT_TRUE(trace->ThreadsOrderedExplicitly);
        for (const auto& [uuid, thread] : trace->Threads)
            EXPECT_EQ(thread.Rank, thread.Tid < 3 ? thread.Tid - 1 : thread.Tid) << thread.Name;
    }
}

// Undoes the mapping of bytes that are not UTF-8: "\xNN" is the byte, "\\" a backslash.
std::string Unmapped(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (text[i] == '\\' && text[i + 1] == 'x') {
            bytes += char(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

TEST(TimelineText, AnyBytesGiveValidTextThatMapsBackToThemInBothForms) {
    std::mt19937 random(7);
    const std::string odd[] = {"\\",
                               "\"",
                               "\n",
                               "\x7f",
                               "\xc3\xa9",
                               "\xe2\x82\xac",
                               "\xf0\x9f\x98\x80",
                               "\xc0\xaf",
                               "\xed\xa0\x80",
                               "\xf4\x90\x80\x80",
                               "\\x41",
                               "\xff"};
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (int part = int(random() % 8); part > 0; --part)
            bytes += random() % 2 ? odd[random() % std::size(odd)]
                                  : std::string(1, char(random() % 256));
        std::string json = "\"";
        AppendJsonString(json, bytes);
        json += "\"";
        std::string error;
        std::unique_ptr<TJsonValue> value = test::ParseJson(json, &error);
        ASSERT_TRUE(value) << error << " in " << json;
        EXPECT_EQ(Unmapped(value->Text), bytes) << json;
        // The Perfetto trace's strings are the very text the JSON gives.
        std::string utf8;
        AppendUtf8Text(utf8, bytes);
        EXPECT_EQ(utf8, value->Text) << json;
    }
    // Through a whole job: the process is named after a raw file with odd bytes.
    TTempDir dir;
    std::string rawName = dir.File("trace\xff\xfe;\"\\\x01.bin");
    WriteFile(rawName, BinaryTrace(WorkedExample));
    TOutputs run =
        RunWithOutputs(WorkedExample, [&](TJobParameters& job) { job.RawDataFileName = rawName; });
    TTimelineEvents events;
    std::unique_ptr<TJsonValue> root = ReadTimeline(run.Timeline, events);
    ASSERT_TRUE(root);
    EXPECT_EQ(Unmapped(root->Find("traceEvents")->Items[0].Find("args")->Find("name")->Text),
              rawName);
    TOutputs perfetto = RunWithOutputs(WorkedExample, [&](TJobParameters& job) {
        job.RawDataFileName = rawName;
        AsPerfetto(job);
    });
    std::optional<test::TPerfettoTrace> trace = test::ReadPerfettoTrace(perfetto.Timeline);
    ASSERT_TRUE(trace); // which checks that every string is valid UTF-8
    const std::string cycles = " (cycles: one cycle is shown as one nanosecond)";
    EXPECT_EQ(Unmapped(trace->ProcessName.substr(0, trace->ProcessName.size() - cycles.size())),
              rawName);
}

TEST(FoldedStacks, TheLinesOfAFunctionAddUpToItsExclusiveCyclesInTheCallList) {
    std::vector<std::pair<std::vector<RawRecord>, std::function<void(TJobParameters&)>>> runs;
    for (auto& trace : Traces())
        runs.emplace_back(trace, nullptr);
    runs.emplace_back(SampleTrace(), UseSampleExecutable);
    for (auto& [trace, configure] : runs) {
        TOutputs run = RunWithOutputs(trace, configure);
        std::map<std::string, uint64_t> expected, folded;
        for (const TCallLine& line : ParseCallList(run.CallList))
            if (line.Type == TCallLine::Completed && line.Exclusive > 0)
                expected[line.Name] += line.Exclusive;
        std::istringstream in(run.Folded);
        std::set<std::string> paths;
        for (std::string line; std::getline(in, line);) {
            size_t space = line.rfind(' ');
            std::string path = line.substr(0, space);
            EXPECT_TRUE(paths.insert(path).second) << "path twice: " << path;
            folded[path.substr(path.rfind(';') + 1)] += std::stoull(line.substr(space + 1));
        }
        EXPECT_EQ(folded, expected);
    }
}

// Nearest rank: the smallest value with at least `percent` % of the values at or below it.
uint64_t ExactPercentile(std::vector<uint64_t> values, uint32_t percent) {
    std::sort(values.begin(), values.end());
    size_t rank = std::max<size_t>(1, (values.size() * percent + 99) / 100);
    return values[rank - 1];
}

void ExpectClose(uint64_t approximate, uint64_t exact, const std::string& what) {
    uint64_t error = approximate > exact ? approximate - exact : exact - approximate;
    EXPECT_LE(error, std::max<uint64_t>(1, exact / 100))
        << what << ": " << approximate << " for " << exact;
}

TEST(LogHistogram, PercentilesAreWithinOnePercentOrOneCycleOfTheExactOnes) {
    std::mt19937_64 random(11);
    for (int round = 0; round < 300; ++round) {
        size_t count = 1 + random() % (round < 200 ? 50 : 5000); // small ones stay sparse
        int shift = int(random() % 64);
        std::vector<uint64_t> values;
        TLogHistogram histogram;
        for (size_t i = 0; i < count; ++i) {
            uint64_t value = random() >> shift >> (random() % (64 - shift));
            values.push_back(value);
            histogram.Add(value);
        }
        for (uint32_t percent : {1u, 50u, 90u, 99u, 100u})
            ExpectClose(histogram.Percentile(percent), ExactPercentile(values, percent),
                        std::to_string(percent) + " %");
    }
}

TEST(LogHistogram, CountsBeyondSixteenBitsAreKept) {
    for (uint32_t heavy : {65535u, 65536u, 200000u}) {
        std::vector<uint64_t> values;
        TLogHistogram histogram;
        for (uint32_t i = 0; i < 2 * heavy + 7; ++i) {
            values.push_back(i % 2 == 0 ? 100 : i < 14 ? 3 : 5000);
            histogram.Add(values.back());
        }
        for (uint32_t percent : {1u, 50u, 51u, 99u})
            ExpectClose(histogram.Percentile(percent), ExactPercentile(values, percent),
                        std::to_string(heavy) + " of each, " + std::to_string(percent) + " %");
    }
}

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

std::vector<std::vector<std::string>> StatsRows(const std::string& stats) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(stats);
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(line.ends_with("\r"));
        line.pop_back();
        rows.push_back(SplitCsv(line));
        EXPECT_EQ(rows.back().size(), 19u) << line;
    }
    return rows;
}

TEST(Stats, FiguresMatchTheCallListAndTheWorstCallIsItsLargestRow) {
    // Also a function called often, its shortest calls last: they count at the job's end too.
    std::vector<RawRecord> busy;
    for (uint64_t call = 0, tsc = 1; call < 2000; ++call) {
        busy.push_back(Enter(0x8000, tsc += 3));
        busy.push_back(Enter(0x8040, tsc += 2));
        busy.push_back(Exit(0x8040, tsc += (2000 - call) * 7));
        busy.push_back(Exit(0x8000, tsc += 5));
    }
    std::vector<std::vector<RawRecord>> traces = Traces();
    traces.push_back(busy);
    for (auto& trace : traces) {
        TOutputs run = RunWithOutputs(trace);
        std::map<std::string, std::vector<TCallLine>> calls;
        for (const TCallLine& line : ParseCallList(run.CallList))
            if (line.Type == TCallLine::Completed)
                calls[line.Name].push_back(line);
        std::vector<std::vector<std::string>> rows = StatsRows(run.Stats);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0][0] + "," + rows[0][18], "Kind,WorstPath");
        size_t functionRows = 0;
        for (const auto& row : rows) {
            if (row[0] != "function")
                continue;
            ++functionRows;
            const std::vector<TCallLine>& lines = calls[row[2]];
            ASSERT_FALSE(lines.empty()) << row[2];
            EXPECT_EQ(row[1], "0x" + lines[0].Address);
            EXPECT_EQ(std::stoull(row[3]), lines.size());
            for (int column : {4, 10}) {
                std::vector<uint64_t> values;
                uint64_t total = 0;
                for (const TCallLine& line : lines) {
                    values.push_back(column == 4 ? line.Inclusive : line.Exclusive);
                    total += values.back();
                }
                EXPECT_EQ(std::stoull(row[column]),
                          *std::min_element(values.begin(), values.end()));
                ExpectClose(std::stoull(row[column + 1]), ExactPercentile(values, 50), row[2]);
                ExpectClose(std::stoull(row[column + 2]), ExactPercentile(values, 90), row[2]);
                ExpectClose(std::stoull(row[column + 3]), ExactPercentile(values, 99), row[2]);
                EXPECT_EQ(std::stoull(row[column + 4]),
                          *std::max_element(values.begin(), values.end()));
                EXPECT_EQ(std::stoull(row[column + 5]), total / values.size());
            }
            auto worst = std::max_element(lines.begin(), lines.end(), [](auto& a, auto& b) {
                return a.Inclusive < b.Inclusive; // the first of equals stays
            });
            EXPECT_EQ(std::stoull(row[16]), worst->Enter) << row[2];
            EXPECT_TRUE(row[18].starts_with(row[17] + ";")) << row[18];
            EXPECT_TRUE(row[18].ends_with(";" + row[2])) << row[18];
        }
        EXPECT_EQ(functionRows, calls.size());
    }
    // The worked example in full: g's worst call was reached through f in T1.
    std::vector<std::vector<std::string>> rows = StatsRows(RunWithOutputs(WorkedExample).Stats);
    ASSERT_EQ(rows.size(), 6u);
    auto join = [](const std::vector<std::string>& row) {
        std::string text;
        for (const std::string& field : row)
            text += field + ",";
        return text;
    };
    EXPECT_EQ(join(rows[2]), "function,0x00008100,?function #1,1,85,85,85,85,85,85,25,25,25,25,25,"
                             "25,130,?task #1,?task #1;?function #0;?function #1,");
    EXPECT_EQ(join(rows[4]), "task,0x00001000,?task #1,3,50,50,50,50,50,16,,,,,,,100,?task #1,,");
    EXPECT_EQ(join(rows[3]), "task,0x00000000,main,0,0,0,0,0,0,0,,,,,,,,main,,");
}

TEST(Stats, AMeanBeyondADoublesPrecisionIsExact) {
    // One call of 2^59 + 1 cycles, which a double would round to 2^59.
    std::vector<std::vector<std::string>> rows = StatsRows(
        RunWithOutputs({TaskIn(0x1000, 1), Enter(0x8000, 2), Exit(0x8000, 3 + (1ull << 59))})
            .Stats);
    auto function = std::find_if(rows.begin(), rows.end(),
                                 [](const auto& row) { return row[0] == "function"; });
    ASSERT_NE(function, rows.end());
    EXPECT_EQ((*function)[8], "576460752303423489"); // InclMax
    EXPECT_EQ((*function)[9], "576460752303423489"); // InclMean
}

TEST(FoldedStacks, PathsBeyondTheTreeAreCountedInTheirCallersAndReportedOnce) {
    std::vector<RawRecord> wide; // 300 x 300 distinct paths of two calls
    uint64_t tsc = 1;
    for (uint32_t outer = 0; outer < 300; ++outer)
        for (uint32_t inner = 0; inner < 300; ++inner) {
            wide.push_back(Enter(0x10000 + outer * 0x40, tsc += 3));
            wide.push_back(Enter(0x10000 + inner * 0x40, tsc += 5));
            wide.push_back(Exit(0x10000 + inner * 0x40, tsc += 7));
            wide.push_back(Exit(0x10000 + outer * 0x40, tsc += 11));
        }
    std::vector<RawRecord> deep; // a recursion 2,000 calls deep
    for (int depth = 0; depth < 2000; ++depth)
        deep.push_back(Enter(0x8000, tsc++));
    for (int depth = 0; depth < 2000; ++depth)
        deep.push_back(Exit(0x8000, tsc += 2));
    for (const auto& records : {wide, deep}) {
        TOutputs run =
            RunWithOutputs(records, [](TJobParameters& job) { job.CallStackSize = 4096; });
        EXPECT_EQ(std::count_if(run.Lines.begin(), run.Lines.end(),
                                [](const std::string& line) {
                                    return line.starts_with("Calls deeper than 256 or on paths "
                                                            "beyond the first 65536 are counted");
                                }),
                  1);
        uint64_t expected = 0, folded = 0;
        for (const TCallLine& line : ParseCallList(run.CallList))
            expected += line.Type == TCallLine::Completed ? line.Exclusive : 0;
        std::istringstream in(run.Folded);
        size_t lines = 0;
        for (std::string line; std::getline(in, line); ++lines) {
            folded += std::stoull(line.substr(line.rfind(' ') + 1));
            EXPECT_LE(std::count(line.begin(), line.end(), ';'), 256);
        }
        EXPECT_EQ(folded, expected);
        EXPECT_LT(lines, 65536u);
        ASSERT_TRUE(run.Results);
        EXPECT_TRUE(run.Results->CallTree.Folded);
        // In the tree, the folded calls' cycles are kept apart from their caller's own.
        uint64_t self = 0, beyond = 0;
        for (const TCallTreeNode& node : run.Results->CallTree.Nodes) {
            self += node.SelfCycles;
            beyond += node.FoldedCycles;
        }
        EXPECT_EQ(self + beyond, expected);
        EXPECT_GT(beyond, 0u);
    }
    // Every call of the recursion has 3 exclusive cycles; the 1,744 calls below the 256th are
    // folded into the node of the 256th, which keeps its own 3.
    TOutputs run = RunWithOutputs(deep, [](TJobParameters& job) { job.CallStackSize = 4096; });
    ASSERT_TRUE(run.Results);
    std::vector<TCallTreeNode> withFolded;
    for (const TCallTreeNode& node : run.Results->CallTree.Nodes)
        if (node.FoldedCycles != 0)
            withFolded.push_back(node);
    ASSERT_EQ(withFolded.size(), 1u);
    EXPECT_EQ(withFolded[0].SelfCycles, 3u);
    EXPECT_EQ(withFolded[0].FoldedCycles, 3u * 1744);
}

TEST(Results, KeptForTheWindowWhenAskedForAndNoneForThePlainJob) {
    auto onlyResults = [](TJobParameters& job) {
        job.TimelineFileName = job.FoldedFileName = job.StatsFileName = "";
        job.CollectResults = true;
    };
    TOutputs run = RunWithOutputs(SampleTrace(), [&](TJobParameters& job) {
        UseSampleExecutable(job);
        onlyResults(job);
    });
    ASSERT_TRUE(run.Results);
    EXPECT_TRUE(run.Timeline.empty());
    uint64_t exclusive = 0;
    for (const TFunctionResult& function : run.Results->Functions)
        exclusive += function.TotalExclusive;
    const TCallTree& tree = run.Results->CallTree;
    EXPECT_FALSE(tree.Folded);
    EXPECT_EQ(tree.Nodes[0].TotalCycles, exclusive);
    ASSERT_EQ(run.Results->Files.size(), 2u);
    EXPECT_EQ(run.Results->Files[0].Role, "Call list");

    TOutputs all = RunWithOutputs(WorkedExample);
    ASSERT_TRUE(all.Results);
    EXPECT_EQ(all.Results->Files.size(), 5u);
    TOutputs plain = RunWithOutputs(WorkedExample, [](TJobParameters& job) {
        job.TimelineFileName = job.FoldedFileName = job.StatsFileName = "";
    });
    EXPECT_FALSE(plain.Results);
    EXPECT_EQ(plain.CallList, all.CallList);
    EXPECT_EQ(plain.Profile, all.Profile);
    EXPECT_EQ(plain.Lines, all.Lines);
}

} // namespace
} // namespace hookmeter
