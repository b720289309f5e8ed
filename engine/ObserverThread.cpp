#include "engine/ObserverThread.h"

#include <system_error>

namespace hookmeter {

TObserverThread::TObserverThread(TProfileTables& tables, uint32_t callStackSize,
                                 TReplayObserver& target)
    : Tables(tables), CallStackSize(callStackSize), Target(target), Stacks(tables.TaskCount) {
    for (TBlock& block : Blocks) {
        block.Events.reset(new TEvent[BlockEvents]);
        Free.push_back(&block);
    }
    Queued.reserve(BlockCount);
    Filling = Free.back();
    Free.pop_back();
}

void TObserverThread::Start() {
    try {
        Thread = StartThread();
        Direct = false;
    } catch (const std::system_error&) {
        // The replay's thread hands the events on itself.
    }
}

TObserverThread::~TObserverThread() {
    if (!Thread.joinable())
        return;
    {
        std::lock_guard guard(Lock);
        if (Filling->Count != 0)
            Queued.push_back(Filling);
        Stopping = true;
    }
    Changed.notify_all();
    Thread.join();
}

std::thread TObserverThread::StartThread() {
    return std::thread(&TObserverThread::ThreadLoop, this);
}

void TObserverThread::RethrowFailure() {
    // The failure stays: nothing more is handed on.
    if (Failure && !FailureThrown) {
        FailureThrown = true;
        std::rethrow_exception(Failure);
    }
}

void TObserverThread::HandOver() {
    std::unique_lock guard(Lock);
    Queued.push_back(Filling);
    Changed.notify_all();
    Changed.wait(guard, [&] { return !Free.empty(); });
    Filling = Free.back();
    Free.pop_back();
    RethrowFailure();
}

void TObserverThread::Finish(std::function<void()> last) {
    if (Direct) {
        if (last)
            last();
        return;
    }
    std::unique_lock guard(Lock);
    if (Filling->Count != 0)
        Queued.push_back(Filling);
    Last = std::move(last);
    Changed.notify_all();
    Changed.wait(guard, [&] { return Queued.empty() && !Busy && !Last; });
    Direct = true;
    RethrowFailure();
}

void TObserverThread::ThreadLoop() {
    std::unique_lock guard(Lock);
    for (;;) {
        Changed.wait(guard, [&] { return !Queued.empty() || Last || Stopping; });
        TBlock* block = nullptr;
        std::function<void()> last;
        if (!Queued.empty()) {
            block = Queued.front();
            Queued.erase(Queued.begin());
        } else if (Last) {
            last = std::move(Last);
            Last = nullptr;
        } else {
            return;
        }
        Busy = true;
        bool failed = Failure != nullptr;
        guard.unlock();
        std::exception_ptr failure;
        if (!failed) {
            try {
                if (block)
                    Deliver(*block);
                else
                    last();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (block) {
            block->Count = 0;
            block->Notes.clear();
        }
        last = nullptr;
        guard.lock();
        if (failure)
            Failure = failure;
        Busy = false;
        if (block)
            Free.push_back(block);
        Changed.notify_all();
    }
}

CallFrame* TObserverThread::StackOf(uint32_t task) {
    std::unique_ptr<CallFrame[]>& stack = Stacks[task];
    if (!stack)
        stack.reset(new CallFrame[CallStackSize]);
    return stack.get();
}

void TObserverThread::Deliver(TBlock& block) {
    std::span<TaskEntry> tasks = Tables.TaskEntries();
    std::span<FunctionEntry> functions = Tables.FunctionEntries();
    for (uint32_t i = 0; i < block.Count; ++i) {
        const TEvent& event = block.Events[i];
        TaskEntry& task = tasks[event.Task];
        switch (event.Kind) {
        case TKind::FunctionEntered: {
            CallFrame* stack = StackOf(event.Task);
            stack[event.Depth - 1] = CallFrame{event.Key, 0, event.TSC, 0};
            Target.FunctionEntered(task, {stack, event.Depth});
            break;
        }
        case TKind::CallCompleted: {
            CallFrame* stack = StackOf(event.Task);
            stack[event.Depth - 1].ExitTSC = event.TSC;
            Target.CallCompleted(task, functions[event.Key], {stack, event.Depth}, event.Inclusive,
                                 event.Exclusive);
            break;
        }
        case TKind::CallsCut:
            Target.CallsCut(task, {StackOf(event.Task), event.Depth}, event.TSC);
            break;
        case TKind::ExitWithoutEnter:
            Target.ExitWithoutEnter(task, functions[event.Key], event.TSC);
            break;
        case TKind::TaskEntered:
            Target.TaskEntered(task, event.TSC);
            break;
        case TKind::TaskExited:
            Target.TaskExited(task, event.TSC);
            break;
        case TKind::SliceCounted:
            Target.SliceCounted(task, event.TSC, event.Inclusive);
            break;
        case TKind::InconsistencyNoted:
            Target.InconsistencyNoted(event.TSC,
                                      std::string_view(block.Notes).substr(event.Key, event.Depth));
            break;
        }
    }
}

TObserverThread::TEvent& TObserverThread::Next(TKind kind, const TaskEntry* task) {
    if (Filling->Count == BlockEvents)
        HandOver();
    TEvent& event = Filling->Events[Filling->Count++];
    event.Kind = kind;
    event.Task = task != nullptr ? TaskIndex(*task) : 0;
    return event;
}

void TObserverThread::FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
    if (Direct)
        return Target.FunctionEntered(task, stack);
    TEvent& event = Next(TKind::FunctionEntered, &task);
    event.Key = stack.back().Address;
    event.Depth = uint32_t(stack.size());
    event.TSC = stack.back().EnterTSC;
}

void TObserverThread::CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                                    std::span<const CallFrame> stack, uint64_t inclusive,
                                    uint64_t exclusive) {
    if (Direct)
        return Target.CallCompleted(task, function, stack, inclusive, exclusive);
    TEvent& event = Next(TKind::CallCompleted, &task);
    event.Key = uint32_t(&function - Tables.FunctionEntries().data());
    event.Depth = uint32_t(stack.size());
    event.TSC = stack.back().ExitTSC;
    event.Inclusive = inclusive;
    event.Exclusive = exclusive;
}

void TObserverThread::CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                               uint64_t cutTSC) {
    if (Direct)
        return Target.CallsCut(task, stack, cutTSC);
    TEvent& event = Next(TKind::CallsCut, &task);
    event.Depth = uint32_t(stack.size());
    event.TSC = cutTSC;
}

void TObserverThread::ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                                       uint64_t exitTSC) {
    if (Direct)
        return Target.ExitWithoutEnter(task, function, exitTSC);
    TEvent& event = Next(TKind::ExitWithoutEnter, &task);
    event.Key = uint32_t(&function - Tables.FunctionEntries().data());
    event.TSC = exitTSC;
}

void TObserverThread::TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
    if (Direct)
        return Target.TaskEntered(task, enterTSC);
    Next(TKind::TaskEntered, &task).TSC = enterTSC;
}

void TObserverThread::TaskExited(const TaskEntry& task, uint64_t exitTSC) {
    if (Direct)
        return Target.TaskExited(task, exitTSC);
    Next(TKind::TaskExited, &task).TSC = exitTSC;
}

void TObserverThread::SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) {
    if (Direct)
        return Target.SliceCounted(task, startTSC, cycles);
    TEvent& event = Next(TKind::SliceCounted, &task);
    event.TSC = startTSC;
    event.Inclusive = cycles;
}

void TObserverThread::InconsistencyNoted(uint64_t tsc, std::string_view line) {
    if (Direct)
        return Target.InconsistencyNoted(tsc, line);
    TEvent& event = Next(TKind::InconsistencyNoted, nullptr);
    event.Key = uint32_t(Filling->Notes.size());
    event.Depth = uint32_t(line.size());
    event.TSC = tsc;
    Filling->Notes.append(line);
}

} // namespace hookmeter
