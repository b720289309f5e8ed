// Runs observers on a thread of their own, so that the outputs beyond the call list (timeline,
// call tree, distributions) work beside the replay instead of after each record. The replay's
// events are copied into blocks of a few thousand; the thread hands them on in the same order,
// with each task's call stack rebuilt from the calls entered, so its observers see exactly what
// they would have seen on the replay's thread. Memory is bounded by the blocks in flight.
//
// The observers may read the tables' names and indexes, which the replay does not change; they
// must not read the statistics before Finish. A failure of an observer (an exception) is thrown
// again on the replay's thread at the next block or at Finish.
#pragma once

#include "engine/Entries.h"
#include "engine/ReplayObserver.h"
#include "engine/Tables.h"

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

class TObserverThread : public TReplayObserver {
public:
    TObserverThread(TProfileTables& tables, uint32_t callStackSize, TReplayObserver& target);
    // Until Start, and when no thread can be started, events go straight to the target.
    void Start();
    // Hands on what is queued and ends the thread; a failure then is dropped.
    ~TObserverThread() override;
    TObserverThread(const TObserverThread&) = delete;
    TObserverThread& operator=(const TObserverThread&) = delete;

    // Returns once every event so far has reached the target and `last` has run on the thread
    // after them; rethrows a failure of an observer or of `last`. Events after Finish go on to
    // the target directly. What the observers built is best turned into results by `last`:
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
    // Starts the thread that hands the events on; throws std::system_error when it cannot.
    virtual std::thread StartThread();

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
    // One event. Task is a task index; Key is the entered address, the function index, or the
    // offset of a note's text in its block; Depth is the stack size or the note's length.
    struct TEvent {
        TKind Kind;
        uint32_t Task;
        uint32_t Key;
        uint32_t Depth;
        uint64_t TSC;
        uint64_t Inclusive;
        uint64_t Exclusive;
    };
    struct TBlock {
        std::unique_ptr<TEvent[]> Events;
        uint32_t Count = 0;
        std::string Notes; // the texts of the block's inconsistency notes
    };

    static constexpr uint32_t BlockEvents = 2048;
    static constexpr uint32_t BlockCount = 4;

    uint32_t TaskIndex(const TaskEntry& task) const {
        return uint32_t(&task - Tables.TaskEntries().data());
    }
    // The next free event of the filling block, handing the block over when it is full.
    TEvent& Next(TKind kind, const TaskEntry* task);
    // Passes the filling block to the thread and waits for a free one.
    void HandOver();
    void ThreadLoop();
    // Hands the block's events to the target, rebuilding the call stacks.
    void Deliver(TBlock& block);
    CallFrame* StackOf(uint32_t task);
    void RethrowFailure();

    TProfileTables& Tables;
    uint32_t CallStackSize;
    TReplayObserver& Target;
    TBlock Blocks[BlockCount];
    TBlock* Filling = nullptr;
    bool Direct = true; // no thread, or finished: events go to the target as they come

    std::thread Thread;
    std::mutex Lock;
    std::condition_variable Changed;
    // Guarded by Lock: blocks waiting for the thread, oldest first, and blocks free to fill.
    std::vector<TBlock*> Queued;
    std::vector<TBlock*> Free;
    bool Busy = false; // the thread is delivering a block or running Finish's last task
    bool Stopping = false;
    std::function<void()> Last; // what Finish runs on the thread once the queue is empty
    std::exception_ptr Failure;
    bool FailureThrown = false;

    // The thread's copy of each task's call stack (entered addresses and times).
    std::vector<std::unique_ptr<CallFrame[]>> Stacks;
};

} // namespace hookmeter
