// What the call-stack replay tells its outputs. The replay keeps the stacks and the statistics;
// every output (the call list, the timeline, the folded stacks, the distributions) watches these
// events and decides alone what to write. Events come in time order: the call list gets them on
// the replay's thread, the other outputs on threads of their own (job/ObserverThreads), which
// rebuild the same stacks from a copy of the events.
#pragma once

#include "core/Entries.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace hookmeter {

class TReplayObserver {
public:
    virtual ~TReplayObserver() = default;

    // A call was pushed on the task's stack; `stack` ends with its new frame. The call whose
    // enter overflows the stack is never announced.
    virtual void FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
        (void)task, (void)stack;
    }
    // A call returned. `stack` still holds its frame on top, with ExitTSC set.
    virtual void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                               std::span<const CallFrame> stack, uint64_t inclusive,
                               uint64_t exclusive) {
        (void)task, (void)function, (void)stack, (void)inclusive, (void)exclusive;
    }
    // The task's open calls were given up at `cutTSC` (no exit record will come for them);
    // `stack` lists them outermost first. A frame whose address has no function entry (the
    // table was full) is part of the stack but of no report.
    virtual void CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                          uint64_t cutTSC) {
        (void)task, (void)stack, (void)cutTSC;
    }
    // A function exit that has no enter on the task's stack.
    virtual void ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                                  uint64_t exitTSC) {
        (void)task, (void)function, (void)exitTSC;
    }
    virtual void TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
        (void)task, (void)enterTSC;
    }
    // A task exit record for `task`, whichever task is current.
    virtual void TaskExited(const TaskEntry& task, uint64_t exitTSC) { (void)task, (void)exitTSC; }
    // A run slice of the task was added to its statistics, from `startTSC` for `cycles`.
    virtual void SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) {
        (void)task, (void)startTSC, (void)cycles;
    }
    // An inconsistency of the records, reported as `line` in the status lines, at `tsc`.
    virtual void InconsistencyNoted(uint64_t tsc, std::string_view line) { (void)tsc, (void)line; }
};

// Hands every event to each of several observers, in the order they were added.
class TObserverFanOut final : public TReplayObserver {
public:
    void Add(TReplayObserver& observer) { Observers.push_back(&observer); }

    void FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) override {
        for (TReplayObserver* o : Observers)
            o->FunctionEntered(task, stack);
    }
    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override {
        for (TReplayObserver* o : Observers)
            o->CallCompleted(task, function, stack, inclusive, exclusive);
    }
    void CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                  uint64_t cutTSC) override {
        for (TReplayObserver* o : Observers)
            o->CallsCut(task, stack, cutTSC);
    }
    void ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                          uint64_t exitTSC) override {
        for (TReplayObserver* o : Observers)
            o->ExitWithoutEnter(task, function, exitTSC);
    }
    void TaskEntered(const TaskEntry& task, uint64_t enterTSC) override {
        for (TReplayObserver* o : Observers)
            o->TaskEntered(task, enterTSC);
    }
    void TaskExited(const TaskEntry& task, uint64_t exitTSC) override {
        for (TReplayObserver* o : Observers)
            o->TaskExited(task, exitTSC);
    }
    void SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) override {
        for (TReplayObserver* o : Observers)
            o->SliceCounted(task, startTSC, cycles);
    }
    void InconsistencyNoted(uint64_t tsc, std::string_view line) override {
        for (TReplayObserver* o : Observers)
            o->InconsistencyNoted(tsc, line);
    }

private:
    std::vector<TReplayObserver*> Observers;
};

} // namespace hookmeter
