#include "job/ObserverThreads.h"
#include "base/StatusReporter.h"
#include "core/Replay.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace hookmeter {
namespace {

// Every event as text, with what an observer may read of the stack.
class TRecorder final : public TReplayObserver {
public:
    void FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) override {
        Add("enter", task, stack, stack.back().EnterTSC);
    }
    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override {
        Add("completed " + std::to_string(function.Address) + " " + std::to_string(inclusive) +
                " " + std::to_string(exclusive) + " " + std::to_string(stack.back().EnterTSC),
            task, stack, stack.back().ExitTSC);
    }
    void CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                  uint64_t cutTSC) override {
        Add("cut", task, stack, cutTSC);
    }
    void ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                          uint64_t exitTSC) override {
        Add("no enter " + std::to_string(function.Address), task, {}, exitTSC);
    }
    void TaskEntered(const TaskEntry& task, uint64_t enterTSC) override {
        Add("task in", task, {}, enterTSC);
    }
    void TaskExited(const TaskEntry& task, uint64_t exitTSC) override {
        Add("task out", task, {}, exitTSC);
    }
    void SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) override {
        Add("slice " + std::to_string(cycles), task, {}, startTSC);
    }
    void InconsistencyNoted(uint64_t tsc, std::string_view line) override {
        Events.push_back("note " + std::to_string(tsc) + " " + std::string(line));
        if (Events.size() == FailAt)
            throw std::runtime_error("observer failed");
    }

    std::vector<std::string> Events;
    size_t FailAt = 0;

private:
    void Add(const std::string& what, const TaskEntry& task, std::span<const CallFrame> stack,
             uint64_t tsc) {
        std::string text =
            what + " task " + std::to_string(task.Handle) + " at " + std::to_string(tsc) + " stack";
        for (const CallFrame& frame : stack) {
            text += ' ';
            text += std::to_string(frame.Address);
            text += '@';
            text += std::to_string(frame.EnterTSC);
        }
        Events.push_back(text);
        if (Events.size() == FailAt)
            throw std::runtime_error("observer failed");
    }
};

// The second thread cannot be started.
class TOneThreadOnly final : public TObserverThreads {
public:
    using TObserverThreads::TObserverThreads;

protected:
    std::thread StartThread(std::function<void()> loop) override {
        if (++Started == 2)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        return TObserverThreads::StartThread(std::move(loop));
    }

public:
    int StartsTried() const { return Started; }

private:
    int Started = 0;
};

constexpr uint32_t StackSize = 16; // small, so that some stacks overflow

// Three functions and two tasks; a random trace with every kind of inconsistency.
struct TRandomReplay {
    TRandomReplay() {
        for (uint32_t function : {0x8000u, 0x8100u, 0x8200u})
            tables.FunctionCount = tables.FunctionList.Add(function);
        for (uint32_t task : {0x1000u, 0x2000u})
            tables.TaskCount = tables.TaskList.Add(task);
        tables.BuildFunctionEntries();
        tables.BuildTaskEntries(StackSize);
        for (FunctionEntry& function : tables.FunctionEntries())
            function.Name = "f";
        for (TaskEntry& task : tables.TaskEntries())
            task.Name = "t";
    }

    // Replays 20,000 records (a few thousand events per block) to `observer`.
    void Run(TReplayObserver& observer) {
        test::TCollectedLines lines;
        TStatusReporter status(&lines);
        TReplay replay(tables, StackSize, observer, status, tables.TaskEntries()[0], 1);
        std::mt19937 random(7);
        uint64_t tsc = 1;
        for (int i = 0; i < 20000; ++i) {
            uint32_t function = 0x8000 + 0x100 * uint32_t(random() % 3);
            uint32_t task = random() % 2 ? 0x1000 : 0x2000;
            tsc += random() % 50 == 0 ? uint64_t(-40) : random() % 40; // now and then back
            switch (random() % 8) {
            case 0:
                replay.ProcessRecord(test::TaskIn(task, tsc));
                break;
            case 1:
                replay.ProcessRecord(test::TaskOut(task, tsc));
                break;
            case 2:
            case 3:
            case 4:
                replay.ProcessRecord(test::Enter(function, tsc));
                break;
            default:
                replay.ProcessRecord(test::Exit(function, tsc));
            }
            replay.LastTSC = tsc;
        }
        for (TaskEntry& task : tables.TaskEntries())
            replay.FlushCallStack(task, replay.LastTSC);
    }

    TEntryTables tables;
};

TEST(ObserverThreads, HandOnEveryEventInOrderWithTheSameStacks) {
    TRecorder direct;
    TRandomReplay().Run(direct);
    ASSERT_GT(direct.Events.size(), 15000u);

    TRecorder first, second;
    TRandomReplay replay;
    {
        TObserverThreads threads(replay.tables, StackSize, {&first, &second});
        threads.Start();
        replay.Run(threads);
        threads.Finish();
        EXPECT_EQ(first.Events, direct.Events);
        EXPECT_EQ(second.Events, direct.Events);
    }

    // The first thread starts, the second cannot: the replay's thread hands every event to both
    // targets itself, and the thread that did start gets nothing twice.
    TRecorder firstWithout, secondWithout;
    TRandomReplay replayWithoutThreads;
    TOneThreadOnly threads(replayWithoutThreads.tables, StackSize, {&firstWithout, &secondWithout});
    threads.Start();
    EXPECT_EQ(threads.StartsTried(), 2);
    replayWithoutThreads.Run(threads);
    threads.Finish();
    EXPECT_EQ(firstWithout.Events, direct.Events);
    EXPECT_EQ(secondWithout.Events, direct.Events);
}

TEST(ObserverThreads, AnObserversFailureIsThrownOnTheReplaysThread) {
    for (size_t failAt : {size_t{100}, size_t{15000}}) {
        TRecorder failing, other;
        failing.FailAt = failAt;
        TRandomReplay replay;
        TObserverThreads threads(replay.tables, StackSize, {&other, &failing});
        threads.Start();
        EXPECT_THROW(
            {
                replay.Run(threads);
                threads.Finish();
            },
            std::runtime_error);
        EXPECT_EQ(failing.Events.size(), failAt); // nothing was handed on after the failure
    }
}

} // namespace
} // namespace hookmeter
