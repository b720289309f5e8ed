// Runs observers on threads of their own, so that the outputs beyond the call list (timeline,
// call tree, distributions) work beside the replay and beside each other instead of after each
// record. The replay's events are copied once into blocks of thousands; each target's thread
// hands every block on in the same order, with each task's call stack rebuilt from the calls
// entered, so its observers see exactly what they would have seen on the replay's thread. A
// block is filled again once every thread is done with it, so memory is bounded by the blocks in
// flight.
//
// The observers may read the tables' names and indexes, which the replay does not change; they
// must not read the statistics before Finish. A failure of an observer (an exception) is thrown
// again on the replay's thread at the next block or at Finish, and nothing more is handed on.
#pragma once

#include "core/Entries.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hookmeter {

class TObserverThreads : public TReplayObserver {
public:
    // A thread for each target.
    TObserverThreads(TEntryTables& tables, uint32_t callStackSize,
                     std::vector<TReplayObserver*> targets);
    // Until Start, and when the threads cannot be started, events go straight to the targets.
    void Start();
    // Hands on what is queued and ends the threads; a failure then is dropped.
    ~TObserverThreads() override;
    TObserverThreads(const TObserverThreads&) = delete;
    TObserverThreads& operator=(const TObserverThreads&) = delete;

    // Returns once every event so far has reached the targets and `last` has run on the first
    // target's thread after them; rethrows a failure of an observer or of `last`. Events after
    // Finish go on to the targets directly. What the observers built is best turned into results
    // by `last`:
    // memory freed on the thread that allocated it is reused there (the C library keeps a heap
    // per thread), so the results do not add to what the observers held.
    void Finish(std::function<void()> last = nullptr);

    void FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) override;
    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override;
    void CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                  uint64_t cutTSC) override;
    void ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                          uint64_t exitTSC) override;
    void TaskEntered(const TaskEntry& task, uint64_t enterTSC) override;
    void TaskExited(const TaskEntry& task, uint64_t exitTSC) override;
    void SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) override;
    void InconsistencyNoted(uint64_t tsc, std::string_view line) override;

protected:
    // Starts a thread that runs `loop`; throws std::system_error when it cannot.
    virtual std::thread StartThread(std::function<void()> loop);

private:
    enum class TKind : uint8_t {
        FunctionEntered,
        CallCompleted,
        CallsCut,
        ExitWithoutEnter,
        TaskEntered,
        TaskExited,
        SliceCounted,
        InconsistencyNoted,
    };
    // One event, in 32 bytes. Task is a task index; Key is the entered address, the function
    // index, or the offset of a note's text in its block; Depth is the stack size or the note's
    // length; Value is a call's exclusive cycles or a slice's. A completed call's inclusive
    // cycles are its exit TSC less its enter TSC, which the rebuilt stack holds.
    struct alignas(32) TEvent {
        TKind Kind;
        uint32_t Task;
        uint32_t Key;
        uint32_t Depth;
        uint64_t TSC;
        uint64_t Value;
    };
    static_assert(sizeof(TEvent) == 32, "two 16-byte stores an event");
    struct TBlock {
        std::unique_ptr<TEvent[]> Events;
        uint32_t Count = 0;
        uint32_t Readers = 0; // threads yet to hand it on
        std::string Notes;    // the texts of the block's inconsistency notes
    };
    struct TWorker {
        TReplayObserver* Target;
        std::thread Thread;
        std::vector<TBlock*> Queued; // guarded by Lock: blocks to hand on, oldest first
        bool Busy = false;           // guarded by Lock: handing on a block or running `last`
        bool Sleeping = false;       // guarded by Lock: waiting on Wake
        std::condition_variable Wake;
        // The thread's copy of each task's call stack (entered addresses and times).
        std::vector<std::unique_ptr<CallFrame[]>> Stacks;
    };

    static constexpr uint32_t BlockEvents = 2048;
    static constexpr uint32_t BlockCount = 32;

    // Appends `event` to the filling block past the cache, handing the block over when full.
    void Put(const TEvent& event);
    // Passes the filling block to the threads and waits for a free one.
    void HandOver();
    // Queues the filling block for every thread, unless it is empty, and wakes the threads that
    // sleep; under Lock.
    void QueueFilling();
    void ThreadLoop(TWorker& worker);
    // Hands the block's events to the worker's target, rebuilding the call stacks.
    void Deliver(TWorker& worker, TBlock& block);
    CallFrame* StackOf(TWorker& worker, uint32_t task);
    bool AllDone() const;
    void StopThreads();
    void RethrowFailure();

    TEntryTables& Tables;
    uint32_t CallStackSize;
    std::vector<TWorker> Workers;
    TObserverFanOut Targets; // every target, for events that go to them directly
    TBlock Blocks[BlockCount];
    TBlock* Filling = nullptr;
    bool Direct = true; // no threads, or finished: events go to the targets as they come

    std::mutex Lock;
    std::condition_variable Freed; // the replay's thread waits for a block or for Finish
    bool Waiting = false;          // guarded by Lock: the replay's thread waits on Freed
    // Guarded by Lock.
    std::vector<TBlock*> Free;
    bool Stopping = false;
    std::function<void()> Last; // what Finish runs on the first thread once its queue is empty
    std::exception_ptr Failure;
    bool FailureThrown = false;
};

} // namespace hookmeter
