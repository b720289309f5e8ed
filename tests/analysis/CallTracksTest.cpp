// The window's timeline data, checked against the call list of the same job on random traces
// (several tasks, deep nesting, calls cut by exits that do not match, long gaps, rotated
// buffers): the calls it gives for a range, the boxes it merges them into, the range figures,
// and its temporary file.
#include "analysis/CallTracks.h"
#include "TestFiles.h"
#include "job/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace hookmeter;
using namespace hookmeter::test;

namespace {

constexpr uint32_t FunctionBase = 0x800000;
constexpr uint32_t TaskBase = 0x10000;

// A call as the trace's maker knows it: where it ran, and where it ended or was cut.
struct TMadeCall {
    uint32_t Task = 0; // handle
    uint32_t Depth = 0;
    uint64_t Enter = 0;
    uint64_t End = 0;
    uint32_t Function = 0;
    bool Cut = false;
};

struct TRandomTrace {
    std::vector<RawRecord> Records;      // rotated, as a ring buffer is dumped
    std::map<uint64_t, TMadeCall> Calls; // by enter TSC, which no two records share
};

TRandomTrace MakeTrace(uint32_t seed, size_t recordCount) {
    std::mt19937_64 random(seed);
    const auto below = [&](uint64_t bound) { return random() % bound; };
    constexpr uint32_t Tasks = 3, Functions = 24, MaxDepth = 40;
    TRandomTrace trace;
    std::vector<RawRecord> records;
    std::vector<std::vector<uint64_t>> stacks(Tasks); // enter TSCs
    uint32_t current = 0;
    uint64_t tsc = 5000;
    const auto emit = [&](uint32_t address) {
        tsc += 1 + below(30);
        if (below(3000) == 0)
            tsc += 5'000'000'000; // a call longer than 32 bits of cycles, and a gap reported
        records.push_back({address, 0, tsc});
    };
    const auto cutAll = [&](uint64_t at) {
        for (uint64_t enter : stacks[current]) {
            trace.Calls[enter].End = at;
            trace.Calls[enter].Cut = true;
        }
        stacks[current].clear();
    };
    // A loop of short calls at one depth, then a pause: runs of calls with gaps between.
    const auto loop = [&](uint64_t calls) {
        uint32_t function = FunctionBase + uint32_t(below(Functions)) * 0x40;
        for (; calls > 0 && records.size() + 4 < recordCount; --calls) {
            emit(function | FunctionEnter);
            uint64_t enter = tsc;
            emit(function | FunctionExit);
            trace.Calls[enter] = {TaskBase + current * 0x100,
                                  uint32_t(stacks[current].size()),
                                  enter,
                                  tsc,
                                  function,
                                  false};
        }
        tsc += 500 + below(1000);
    };
    emit((TaskBase + current * 0x100) | TaskEnter);
    for (int i = 0; i < 6; ++i)
        loop(64); // as many as a chunk of the data holds
    while (records.size() + 2 < recordCount) {
        std::vector<uint64_t>& stack = stacks[current];
        uint64_t roll = below(1000);
        if (roll < 10) {
            emit((TaskBase + current * 0x100) | TaskExit);
            current = uint32_t(current + 1 + below(Tasks - 1)) % Tasks;
            emit((TaskBase + current * 0x100) | TaskEnter);
        } else if (roll < 15) {
            // An exit that does not match the top call (or comes on an empty stack).
            uint32_t top = stack.empty() ? ~0u : trace.Calls[stack.back()].Function;
            uint32_t function = FunctionBase + uint32_t(below(Functions)) * 0x40;
            if (function == top)
                function = FunctionBase + (function - FunctionBase + 0x40) % (Functions * 0x40);
            emit(function | FunctionExit);
            cutAll(tsc);
        } else if (roll < 17 && stack.size() < MaxDepth) {
            loop(50 + below(150));
        } else if (stack.empty() || (stack.size() < MaxDepth && roll < 540)) {
            uint32_t function = FunctionBase + uint32_t(below(Functions)) * 0x40;
            emit(function | FunctionEnter);
            trace.Calls[tsc] = {
                TaskBase + current * 0x100, uint32_t(stack.size()), tsc, 0, function, false};
            stack.push_back(tsc);
        } else {
            emit(trace.Calls[stack.back()].Function | FunctionExit);
            trace.Calls[stack.back()].End = tsc;
            stack.pop_back();
        }
    }
    emit((TaskBase + current * 0x100) | TaskExit); // no call is entered at the last TSC
    for (current = 0; current < Tasks; ++current)
        cutAll(tsc);
    size_t rotation = size_t(below(records.size()));
    std::rotate(records.begin(), records.begin() + ptrdiff_t(rotation), records.end());
    trace.Records = std::move(records);
    return trace;
}

// One call-list line of a call.
struct TListedCall {
    uint64_t Exit = 0;
    uint64_t Exclusive = 0;
    bool Cut = false;
};

struct TJobOutput {
    std::string CallList;
    std::shared_ptr<const TJobResults> Results;
};

TJobOutput RunTimelineJob(const TTempDir& dir, const std::vector<RawRecord>& records) {
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    TJobParameters parameters;
    parameters.RawDataFileName = dir.File("raw.bin");
    parameters.RawDataFileType = RawForm::Binary;
    parameters.CallListFileName = dir.File("calls.csv");
    parameters.ProfileFileName = dir.File("profile.csv");
    parameters.CollectResults = true;
    parameters.CollectTimeline = true;
    TJobOutput output;
    {
        TProfile job(std::move(parameters));
        job.Start();
        job.WaitFor();
        output.Results = job.Results();
    }
    output.CallList = ReadFile(dir.File("calls.csv"));
    return output;
}

// The completed and cut calls of a call list by enter TSC; `runs` gets each task's run
// intervals from its task lines.
std::map<uint64_t, TListedCall>
ListedCalls(const std::string& callList,
            std::map<uint32_t, std::vector<std::pair<uint64_t, uint64_t>>>& runs) {
    std::map<uint64_t, TListedCall> calls;
    std::istringstream lines(callList);
    std::string line;
    std::getline(lines, line); // the header
    uint32_t running = ~0u;
    uint64_t runStart = 0;
    while (std::getline(lines, line)) {
        uint32_t address = uint32_t(std::stoul(line.substr(0, 8), nullptr, 16));
        uint64_t enter = std::stoull(line.substr(9, 15));
        uint64_t exit = std::stoull(line.substr(25, 15));
        uint64_t exclusive = std::stoull(line.substr(57, 15));
        if (line.ends_with(" (task enter)")) {
            if (running != ~0u)
                runs[running].push_back({runStart, enter});
            running = address;
            runStart = enter;
        } else if (line.ends_with(" (task exit)")) {
            if (running == address)
                runs[running].push_back({runStart, exit});
            running = ~0u;
        } else if (line.ends_with(" (enter without exit)")) {
            calls[enter] = {0, 0, true};
        } else if (!line.ends_with(" (exit without enter)")) {
            calls[enter] = {exit, exclusive, false};
        }
    }
    return calls;
}

uint64_t Overlap(uint64_t a, uint64_t b, uint64_t from, uint64_t to) {
    a = std::max(a, from);
    b = std::min(b, to);
    return b > a ? b - a : 0;
}

class CallTracksTest : public testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override {
        Trace = MakeTrace(GetParam(), 60000);
        Output = RunTimelineJob(Dir, Trace.Records);
        ASSERT_TRUE(Output.Results);
        ASSERT_TRUE(Output.Results->Tracks);
        Tracks = Output.Results->Tracks.get();
        Listed = ListedCalls(Output.CallList, Runs);
        ASSERT_EQ(Listed.size(), Trace.Calls.size());
    }

    // The calls of a track in time order, ending where the call list says.
    const std::vector<TMadeCall>& MadeCalls(uint32_t task, uint32_t depth) {
        if (ByTrack.empty())
            for (const auto& [enter, call] : Trace.Calls) {
                TMadeCall listed = call;
                if (!Listed.at(enter).Cut)
                    listed.End = Listed.at(enter).Exit;
                ByTrack[{call.Task, call.Depth}].push_back(listed);
            }
        return ByTrack[{task, depth}];
    }

    uint64_t RunInside(uint32_t task, uint64_t a, uint64_t b, uint64_t from, uint64_t to) const {
        uint64_t cycles = 0;
        auto runs = Runs.find(task);
        if (runs != Runs.end())
            for (auto [start, end] : runs->second)
                cycles += Overlap(std::max(a, start), std::min(b, end), from, to);
        return cycles;
    }

    // A few ranges: the whole trace and random pieces of it.
    std::vector<std::pair<uint64_t, uint64_t>> Ranges() const {
        std::mt19937_64 random(GetParam() * 7 + 1);
        uint64_t first = Tracks->FirstTSC(), last = Tracks->LastTSC();
        std::vector<std::pair<uint64_t, uint64_t>> ranges{{first, last + 1}};
        for (int i = 0; i < 6; ++i) {
            uint64_t a = first + random() % (last - first), b = first + random() % (last - first);
            if (i % 2 == 0) // a short one
                b = a + 1 + random() % 2000;
            ranges.push_back({std::min(a, b), std::max(a, b) + 1});
        }
        return ranges;
    }

    TTempDir Dir;
    TRandomTrace Trace;
    TJobOutput Output;
    const TCallTracks* Tracks = nullptr;
    std::map<uint64_t, TListedCall> Listed;
    std::map<uint32_t, std::vector<std::pair<uint64_t, uint64_t>>> Runs;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<TMadeCall>> ByTrack;
};

TEST_P(CallTracksTest, EveryCallOfARangeIsTheCallListsCall) {
    for (auto [from, to] : Ranges()) {
        std::vector<std::tuple<uint32_t, uint32_t, uint64_t, uint64_t, uint64_t, uint32_t, bool>>
            given, expected;
        for (const TCallTracks::TTask& task : Tracks->Tasks())
            for (uint32_t track : task.CallTracks) {
                std::vector<TTrackBox> boxes;
                Tracks->Boxes(track, from, to, 1, boxes);
                for (const TTrackBox& box : boxes) {
                    ASSERT_EQ(box.Count, 1u);
                    const TTrackCall& call = box.Call;
                    EXPECT_EQ(box.Start, call.Enter);
                    EXPECT_EQ(box.End, call.End);
                    given.emplace_back(task.Handle, Tracks->Track(track).Depth, call.Enter,
                                       call.End, call.Exclusive,
                                       Tracks->Functions()[call.Function].Address, call.Cut);
                }
            }
        for (const auto& [enter, made] : Trace.Calls) {
            const TListedCall& listed = Listed.at(enter);
            ASSERT_EQ(listed.Cut, made.Cut) << enter;
            uint64_t end = listed.Cut ? made.End : listed.Exit;
            if (enter < to && end >= from)
                expected.emplace_back(made.Task, made.Depth, enter, end, listed.Exclusive,
                                      made.Function, made.Cut);
        }
        std::sort(given.begin(), given.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(given, expected) << "range " << from << " to " << to;
    }
}

TEST_P(CallTracksTest, MergedBoxesHoldExactlyTheCallsTheyCount) {
    uint64_t span = Tracks->LastTSC() - Tracks->FirstTSC();
    for (uint64_t merge : {span / 1600, span / 97, uint64_t(40), uint64_t(333)})
        for (auto [from, to] : Ranges())
            for (const TCallTracks::TTask& task : Tracks->Tasks())
                for (uint32_t track : task.CallTracks) {
                    const std::vector<TMadeCall>& calls =
                        MadeCalls(task.Handle, Tracks->Track(track).Depth);
                    std::vector<TTrackBox> boxes;
                    Tracks->Boxes(track, from, to, merge, boxes);
                    size_t next = 0; // the first call not yet in a box
                    for (size_t i = 0; i < boxes.size(); ++i) {
                        const TTrackBox& box = boxes[i];
                        if (i > 0) {
                            ASSERT_LE(boxes[i - 1].End, box.Start);
                        }
                        while (next < calls.size() && calls[next].Enter < box.Start) {
                            // Left out only when outside the range.
                            ASSERT_FALSE(calls[next].Enter < to && calls[next].End >= from)
                                << calls[next].Enter;
                            ++next;
                        }
                        ASSERT_LT(next, calls.size());
                        ASSERT_EQ(calls[next].Enter, box.Start);
                        size_t last = next + box.Count - 1;
                        ASSERT_LT(last, calls.size());
                        EXPECT_EQ(calls[last].End, box.End);
                        EXPECT_TRUE(last + 1 == calls.size() || calls[last + 1].Enter > box.End);
                        if (box.Count == 1) {
                            EXPECT_EQ(box.Call.Enter, box.Start);
                        } else {
                            for (size_t j = next; j <= last; ++j) {
                                ASSERT_LT(calls[j].End - calls[j].Enter, merge);
                                if (j > next) {
                                    ASSERT_LT(calls[j].Enter - calls[j - 1].End, merge);
                                }
                            }
                        }
                        next = last + 1;
                    }
                    for (; next < calls.size(); ++next)
                        ASSERT_FALSE(calls[next].Enter < to && calls[next].End >= from);
                }
}

TEST_P(CallTracksTest, RangeFiguresAreTheCallListsCyclesInTheRange) {
    for (auto [from, to] : Ranges()) {
        TCallTracks::TRangeFigures figures = Tracks->Figures(from, to);
        std::map<uint32_t, uint64_t> expected, given; // by address or handle
        for (const auto& [enter, made] : Trace.Calls) {
            const TListedCall& listed = Listed.at(enter);
            if (listed.Cut || enter >= to || listed.Exit < from)
                continue;
            if (enter >= from && listed.Exit <= to) {
                expected[made.Function] += listed.Exclusive;
                continue;
            }
            // Across an edge: its own run cycles inside, less its callees'.
            uint64_t own = RunInside(made.Task, enter, listed.Exit, from, to);
            for (const TMadeCall& callee : MadeCalls(made.Task, made.Depth + 1))
                if (callee.Enter > enter && callee.Enter < listed.Exit)
                    own -= RunInside(made.Task, callee.Enter, callee.End, from, to);
            expected[made.Function] += std::min(own, listed.Exclusive);
        }
        for (size_t f = 0; f < figures.FunctionCycles.size(); ++f)
            if (figures.FunctionCycles[f] != 0)
                given[Tracks->Functions()[f].Address] = figures.FunctionCycles[f];
        std::erase_if(expected, [](const auto& entry) { return entry.second == 0; });
        EXPECT_EQ(given, expected) << "range " << from << " to " << to;

        for (size_t t = 0; t < Tracks->Tasks().size(); ++t) {
            uint32_t handle = Tracks->Tasks()[t].Handle;
            EXPECT_EQ(figures.TaskCycles[t], RunInside(handle, 0, ~uint64_t{0}, from, to))
                << handle;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RandomTraces, CallTracksTest, testing::Values(1u, 2u, 3u));

// Descriptors of this process open on the timeline's temporary files.
int OpenTimelineFiles() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        count += target.find("hookmeter-timeline-") != std::string::npos;
    }
    return count;
}

TEST(CallTracksFileTest, IsUnnamedAndGoesWithItsJob) {
    TTempDir dir;
    TRandomTrace trace = MakeTrace(4, 20000);
    const std::string tmp = dir.File("tmp");
    std::filesystem::create_directories(tmp);
    const char* oldTmp = std::getenv("TMPDIR");
    std::string kept = oldTmp != nullptr ? oldTmp : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    {
        TJobOutput output = RunTimelineJob(dir, trace.Records);
        ASSERT_TRUE(output.Results && output.Results->Tracks);
        EXPECT_GT(output.Results->Tracks->FileBytes(), 0u);
        EXPECT_EQ(OpenTimelineFiles(), 1);
        EXPECT_TRUE(std::filesystem::is_empty(tmp)); // unlinked at once
    }
    EXPECT_EQ(OpenTimelineFiles(), 0);
    if (oldTmp != nullptr)
        ::setenv("TMPDIR", kept.c_str(), 1);
    else
        ::unsetenv("TMPDIR");

    // Without the window's flag the results have none.
    TJobParameters parameters;
    parameters.RawDataFileName = dir.File("raw.bin");
    parameters.RawDataFileType = RawForm::Binary;
    parameters.CallListFileName = dir.File("calls.csv");
    parameters.ProfileFileName = dir.File("profile.csv");
    parameters.CollectResults = true;
    TProfile job(std::move(parameters));
    job.Start();
    job.WaitFor();
    ASSERT_TRUE(job.Results());
    EXPECT_FALSE(job.Results()->Tracks);
}

} // namespace
