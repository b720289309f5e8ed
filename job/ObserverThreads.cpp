#include "job/ObserverThreads.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <system_error>

namespace hookmeter {

TObserverThreads::TObserverThreads(TEntryTables& tables, uint32_t callStackSize,
                                   std::vector<TReplayObserver*> targets)
    : Tables(tables), CallStackSize(callStackSize), Workers(targets.size()) {
    for (size_t i = 0; i < targets.size(); ++i) {
        Workers[i].Target = targets[i];
        Workers[i].Stacks.resize(tables.TaskCount);
        Workers[i].Queued.reserve(BlockCount);
        Targets.Add(*targets[i]);
    }
    for (TBlock& block : Blocks) {
        block.Events.reset(new TEvent[BlockEvents]);
        Free.push_back(&block);
    }
    Filling = Free.back();
    Free.pop_back();
}

void TObserverThreads::Start() {
    try {
        for (TWorker& worker : Workers)
            worker.Thread = StartThread([this, &worker] { ThreadLoop(worker); });
        Direct = false;
    } catch (const std::system_error&) {
        StopThreads(); // the replay's thread hands the events on itself
    }
}

TObserverThreads::~TObserverThreads() {
    {
        std::lock_guard guard(Lock);
        if (!Direct)
            QueueFilling();
    }
    StopThreads();
}

std::thread TObserverThreads::StartThread(std::function<void()> loop) {
    return std::thread(std::move(loop));
}

void TObserverThreads::StopThreads() {
    {
        std::lock_guard guard(Lock);
        Stopping = true;
        for (TWorker& worker : Workers)
            worker.Wake.notify_one();
    }
    for (TWorker& worker : Workers)
        if (worker.Thread.joinable())
            worker.Thread.join();
}

void TObserverThreads::RethrowFailure() {
    // The failure stays: nothing more is handed on.
    if (Failure && !FailureThrown) {
        FailureThrown = true;
        std::rethrow_exception(Failure);
    }
}

void TObserverThreads::QueueFilling() {
#if defined(__SSE2__)
    _mm_sfence(); // the streamed events are seen before the block is
#endif
    if (Filling != nullptr && Filling->Count != 0) {
        Filling->Readers = uint32_t(Workers.size());
        for (TWorker& worker : Workers)
            worker.Queued.push_back(Filling);
        Filling = nullptr;
    }
    for (TWorker& worker : Workers)
        if (worker.Sleeping && !worker.Queued.empty())
            worker.Wake.notify_one();
}

void TObserverThreads::HandOver() {
    std::unique_lock guard(Lock);
    QueueFilling();
    if (Free.empty()) {
        Waiting = true;
        Freed.wait(guard, [&] { return !Free.empty(); });
        Waiting = false;
    }
    Filling = Free.back();
    Free.pop_back();
    RethrowFailure();
}

bool TObserverThreads::AllDone() const {
    for (const TWorker& worker : Workers)
        if (!worker.Queued.empty() || worker.Busy)
            return false;
    return !Last;
}

void TObserverThreads::Finish(std::function<void()> last) {
    if (Direct) {
        if (last)
            last();
        return;
    }
    std::unique_lock guard(Lock);
    Last = std::move(last);
    QueueFilling();
    Workers.front().Wake.notify_one(); // for `last`
    Waiting = true;
    Freed.wait(guard, [&] { return AllDone(); });
    Waiting = false;
    Direct = true;
    RethrowFailure();
}

void TObserverThreads::ThreadLoop(TWorker& worker) {
    bool first = &worker == &Workers.front();
    std::unique_lock guard(Lock);
    for (;;) {
        worker.Sleeping = true;
        worker.Wake.wait(guard,
                         [&] { return !worker.Queued.empty() || (first && Last) || Stopping; });
        worker.Sleeping = false;
        TBlock* block = nullptr;
        std::function<void()> last;
        if (!worker.Queued.empty()) {
            block = worker.Queued.front();
            worker.Queued.erase(worker.Queued.begin());
        } else if (first && Last) {
            last = std::move(Last);
            Last = nullptr;
        } else {
            return;
        }
        worker.Busy = true;
        bool failed = Failure != nullptr;
        guard.unlock();
        std::exception_ptr failure;
        if (!failed) {
            try {
                if (block)
                    Deliver(worker, *block);
                else
                    last();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        last = nullptr;
        guard.lock();
        if (failure && !Failure)
            Failure = failure;
        worker.Busy = false;
        if (block && --block->Readers == 0) {
            block->Count = 0;
            block->Notes.clear();
            Free.push_back(block);
        }
        if (Waiting)
            Freed.notify_one();
    }
}

CallFrame* TObserverThreads::StackOf(TWorker& worker, uint32_t task) {
    std::unique_ptr<CallFrame[]>& stack = worker.Stacks[task];
    if (!stack)
        stack.reset(new CallFrame[CallStackSize]);
    return stack.get();
}

void TObserverThreads::Deliver(TWorker& worker, TBlock& block) {
    TReplayObserver& target = *worker.Target;
    std::span<TaskEntry> tasks = Tables.TaskEntries();
    std::span<FunctionEntry> functions = Tables.FunctionEntries();
    for (uint32_t i = 0; i < block.Count; ++i) {
        const TEvent& event = block.Events[i];
        TaskEntry& task = tasks[event.Task];
        switch (event.Kind) {
        case TKind::FunctionEntered: {
            CallFrame* stack = StackOf(worker, event.Task);
            stack[event.Depth - 1] = CallFrame{event.Key, 0, event.TSC, 0};
            target.FunctionEntered(task, {stack, event.Depth});
            break;
        }
        case TKind::CallCompleted: {
            CallFrame* stack = StackOf(worker, event.Task);
            CallFrame& top = stack[event.Depth - 1];
            top.ExitTSC = event.TSC;
            target.CallCompleted(task, functions[event.Key], {stack, event.Depth},
                                 top.ExitTSC - top.EnterTSC, event.Value);
            break;
        }
        case TKind::CallsCut:
            target.CallsCut(task, {StackOf(worker, event.Task), event.Depth}, event.TSC);
            break;
        case TKind::ExitWithoutEnter:
            target.ExitWithoutEnter(task, functions[event.Key], event.TSC);
            break;
        case TKind::TaskEntered:
            target.TaskEntered(task, event.TSC);
            break;
        case TKind::TaskExited:
            target.TaskExited(task, event.TSC);
            break;
        case TKind::SliceCounted:
            target.SliceCounted(task, event.TSC, event.Value);
            break;
        case TKind::InconsistencyNoted:
            target.InconsistencyNoted(event.TSC,
                                      std::string_view(block.Notes).substr(event.Key, event.Depth));
            break;
        }
    }
}

void TObserverThreads::Put(const TEvent& event) {
    if (Filling->Count == BlockEvents)
        HandOver();
    // Streamed past this core's cache: the events are read on another core, and a block written
    // through the cache would be fetched back from there each time it is filled again.
    TEvent* out = &Filling->Events[Filling->Count++];
#if defined(__SSE2__)
    const auto* in = reinterpret_cast<const __m128i*>(&event);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(in));
    _mm_stream_si128(reinterpret_cast<__m128i*>(out) + 1, _mm_loadu_si128(in + 1));
#else
    *out = event;
#endif
}

void TObserverThreads::FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
    if (Direct)
        return Targets.FunctionEntered(task, stack);
    Put({TKind::FunctionEntered, uint32_t(Tables.IndexOf(task)), stack.back().Address,
         uint32_t(stack.size()), stack.back().EnterTSC, 0});
}

void TObserverThreads::CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                                     std::span<const CallFrame> stack, uint64_t inclusive,
                                     uint64_t exclusive) {
    if (Direct)
        return Targets.CallCompleted(task, function, stack, inclusive, exclusive);
    Put({TKind::CallCompleted, uint32_t(Tables.IndexOf(task)), uint32_t(Tables.IndexOf(function)),
         uint32_t(stack.size()), stack.back().ExitTSC, exclusive});
    (void)inclusive; // the thread takes it from the stack
}

void TObserverThreads::CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                                uint64_t cutTSC) {
    if (Direct)
        return Targets.CallsCut(task, stack, cutTSC);
    Put({TKind::CallsCut, uint32_t(Tables.IndexOf(task)), 0, uint32_t(stack.size()), cutTSC, 0});
}

void TObserverThreads::ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                                        uint64_t exitTSC) {
    if (Direct)
        return Targets.ExitWithoutEnter(task, function, exitTSC);
    Put({TKind::ExitWithoutEnter, uint32_t(Tables.IndexOf(task)),
         uint32_t(Tables.IndexOf(function)), 0, exitTSC, 0});
}

void TObserverThreads::TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
    if (Direct)
        return Targets.TaskEntered(task, enterTSC);
    Put({TKind::TaskEntered, uint32_t(Tables.IndexOf(task)), 0, 0, enterTSC, 0});
}

void TObserverThreads::TaskExited(const TaskEntry& task, uint64_t exitTSC) {
    if (Direct)
        return Targets.TaskExited(task, exitTSC);
    Put({TKind::TaskExited, uint32_t(Tables.IndexOf(task)), 0, 0, exitTSC, 0});
}

void TObserverThreads::SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) {
    if (Direct)
        return Targets.SliceCounted(task, startTSC, cycles);
    Put({TKind::SliceCounted, uint32_t(Tables.IndexOf(task)), 0, 0, startTSC, cycles});
}

void TObserverThreads::InconsistencyNoted(uint64_t tsc, std::string_view line) {
    if (Direct)
        return Targets.InconsistencyNoted(tsc, line);
    if (Filling->Count == BlockEvents)
        HandOver(); // the note's text goes with its event's block
    Put({TKind::InconsistencyNoted, 0, uint32_t(Filling->Notes.size()), uint32_t(line.size()), tsc,
         0});
    Filling->Notes.append(line);
}

} // namespace hookmeter
