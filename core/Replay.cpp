#include "core/Replay.h"

#include <cstdarg>

namespace hookmeter {
namespace {

constexpr uint32_t LongInterval = 0xA00000; // a gap above this many cycles is reported

void TakeMinimum(uint64_t& minimum, uint64_t value) {
    if (value < minimum)
        minimum = value;
}

void TakeMaximum(uint64_t& maximum, uint64_t value) {
    if (value > maximum)
        maximum = value;
}

} // namespace

TReplay::TReplay(TEntryTables& tables, uint32_t callStackSize, TReplayObserver& observer,
                 TStatusReporter& status, TaskEntry& startTask, uint64_t firstTSC)
    : CurrentTask(&startTask), LastTSC(firstTSC), Tables(tables), CallStackSize(callStackSize),
      Observer(observer), Status(status) {}

void TReplay::AddSlice(TaskEntry& task, uint64_t startTSC, uint64_t cycles) {
    task.SubTotalCycles += cycles;
    TakeMinimum(task.MinimumCycles, cycles);
    TakeMaximum(task.MaximumCycles, cycles);
    Observer.SliceCounted(task, startTSC, cycles);
}

void TReplay::NoteInconsistency(uint64_t tsc, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string_view line = Status.VFormatStatusLine(format, args);
    va_end(args);
    Observer.InconsistencyNoted(tsc, line);
}

const char* TReplay::NameOfKey(RecordKind kind, uint32_t key) {
    if (kind == FunctionEnter || kind == FunctionExit) {
        const FunctionEntry* function = Tables.FindFunction(key);
        return function != nullptr ? function->Name : nullptr;
    }
    const TaskEntry* task = Tables.FindTask(key);
    return task != nullptr ? task->Name : nullptr;
}

bool TReplay::ProcessRecord(const RawRecord& record) {
    RecordKind kind = KindOf(record.Address);
    uint32_t key = KeyOf(record.Address);
    if (record.TSC < LastTSC) {
        NoteInconsistency(LastTSC,
                          "TSC of current record %s (0x%08x) at 0x%llx less than TSC of last "
                          "record 0x%llx (-%u)!",
                          PrintableName(NameOfKey(kind, key)), key, (unsigned long long)record.TSC,
                          (unsigned long long)LastTSC, uint32_t(LastTSC - record.TSC));
        FlushCallStack(*CurrentTask, LastTSC);
        if (kind == FunctionEnter || kind == FunctionExit)
            return true; // a function record from the past is dropped
    } else {
        uint32_t gap = uint32_t(record.TSC - LastTSC);
        if (gap > LongInterval)
            NoteInconsistency(record.TSC,
                              "Interval between current record 0x%llx and last record 0x%llx is "
                              "%u!",
                              (unsigned long long)record.TSC, (unsigned long long)LastTSC, gap);
    }
    switch (kind) {
    case FunctionEnter:
        return EnterFunction(record);
    case FunctionExit:
        ExitFunction(record);
        break;
    case TaskEnter:
        EnterTask(record);
        break;
    case TaskExit:
        ExitTask(record);
        break;
    }
    return true;
}

bool TReplay::EnterFunction(const RawRecord& record) {
    TaskEntry& task = *CurrentTask;
    int32_t depth = task.StackDepth;
    CallFrame& frame = task.CallStack[depth];
    frame.Address = KeyOf(record.Address);
    frame.EnterTSC = record.TSC;
    frame.ExcluCycles = 0;
    if (depth >= 1)
        task.CallStack[depth - 1].ExcluCycles += record.TSC - LastTSC;
    if (uint32_t(depth) + 1 < CallStackSize) {
        task.StackDepth = depth + 1;
        if (task.MaxStackDepth < depth + 1)
            task.MaxStackDepth = depth + 1;
        Observer.FunctionEntered(task, {task.CallStack, size_t(depth) + 1});
        return true;
    }
    NoteInconsistency(record.TSC, "Too deep function call stack! If this is expected, you may "
                                  "need enlarge the function call stack size.");
    FlushCallStack(task, record.TSC);
    return false;
}

void TReplay::ExitFunction(const RawRecord& record) {
    uint32_t address = KeyOf(record.Address);
    FunctionEntry* function = Tables.FindFunction(address);
    if (function == nullptr)
        return;
    TaskEntry& task = *CurrentTask;
    if (task.StackDepth == 0) {
        Observer.ExitWithoutEnter(task, *function, record.TSC);
        ++ExitWithoutEnter;
        return;
    }
    CallFrame& top = task.CallStack[task.StackDepth - 1];
    if (top.Address != address) {
        Observer.ExitWithoutEnter(task, *function, record.TSC);
        NoteInconsistency(
            record.TSC,
            "Exit record at 0x%llx of function %s with Address 0x%08x does not match enter "
            "record of function %s with Address 0x%08x at call stack %d of task %s with handle "
            "0x%08x!",
            (unsigned long long)record.TSC, PrintableName(function->Name), address,
            PrintableName(NameOfKey(FunctionEnter, top.Address)), top.Address, task.StackDepth - 1,
            PrintableName(task.Name), task.Handle);
        ++ExitWithoutEnter;
        FlushCallStack(task, record.TSC);
        return;
    }
    top.ExitTSC = record.TSC;
    uint64_t inclusive = record.TSC - top.EnterTSC;
    uint64_t exclusive = top.ExcluCycles + (record.TSC - LastTSC);
    Observer.CallCompleted(task, *function, {task.CallStack, size_t(task.StackDepth)}, inclusive,
                           exclusive);
    ++function->ExecuteTimes;
    function->TotalIncluCycles += inclusive;
    function->TotalExcluCycles += exclusive;
    TakeMinimum(function->MinExcluCycle, exclusive);
    TakeMaximum(function->MaxExcluCycle, exclusive);
    TakeMinimum(function->MinIncluCycle, inclusive);
    TakeMaximum(function->MaxIncluCycle, inclusive);
    --task.StackDepth;
}

void TReplay::EnterTask(const RawRecord& record) {
    uint32_t handle = KeyOf(record.Address);
    TaskEntry* task = Tables.FindTask(handle);
    if (task == nullptr)
        return;
    Observer.TaskEntered(*task, record.TSC);
    CurrentTask = task;
    task->EnterTSC = record.TSC;
    ++task->EnterTimes;
}

void TReplay::ExitTask(const RawRecord& record) {
    uint32_t handle = KeyOf(record.Address);
    TaskEntry* exiting = Tables.FindTask(handle);
    if (exiting == nullptr)
        return;
    Observer.TaskExited(*exiting, record.TSC);
    TaskEntry& task = *CurrentTask;
    if (handle != task.Handle) {
        NoteInconsistency(record.TSC,
                          "Current task %s with handle 0x%08x does not match task %s with handle "
                          "0x%08x in task exit record!",
                          PrintableName(task.Name), task.Handle, PrintableName(exiting->Name),
                          handle);
        return;
    }
    if (task.StackDepth >= 1 && record.TSC > LastTSC)
        task.CallStack[task.StackDepth - 1].ExcluCycles += record.TSC - LastTSC;
    if (task.EnterTSC > record.TSC) {
        NoteInconsistency(record.TSC,
                          "Task %s with handle 0x%08x exit TSC 0x%llx less than enter TSC 0x%llx "
                          "(-%llu)!",
                          PrintableName(task.Name), task.Handle, (unsigned long long)record.TSC,
                          (unsigned long long)task.EnterTSC,
                          (unsigned long long)(task.EnterTSC - record.TSC));
        return;
    }
    AddSlice(task, task.EnterTSC, record.TSC - task.EnterTSC);
}

void TReplay::FlushCallStack(TaskEntry& task, uint64_t cutTSC) {
    int32_t depth = task.StackDepth;
    EnterWithoutExit += uint32_t(depth);
    if (depth >= 1) {
        uint64_t topEnter = task.CallStack[depth - 1].EnterTSC;
        if (topEnter > task.EnterTSC)
            AddSlice(task, task.EnterTSC, topEnter - task.EnterTSC);
    }
    if (depth >= 1)
        Observer.CallsCut(task, {task.CallStack, size_t(depth)}, cutTSC);
    task.StackDepth = 0;
}

} // namespace hookmeter
