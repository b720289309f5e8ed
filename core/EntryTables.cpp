#include "core/EntryTables.h"

namespace hookmeter {

TEntryTables::TEntryTables() {
    TaskList.Add(0);
}

void TEntryTables::BuildFunctionEntries() {
    FunctionCount = uint32_t(FunctionList.Count());
    Functions.reset(new FunctionEntry[FunctionCount]());
    FunctionIndex = TKeyIndex(FunctionCount);
    for (uint32_t i = 0; i < FunctionCount; ++i) {
        FunctionEntry& entry = Functions[i];
        entry.Address = FunctionList.Item(int32_t(i));
        entry.MinIncluCycle = NoMinimum;
        entry.MinExcluCycle = NoMinimum;
        FunctionIndex.Insert(entry.Address, i);
    }
}

void TEntryTables::BuildTaskEntries(uint32_t callStackSize) {
    TaskCount = uint32_t(TaskList.Count());
    Tasks.reset(new TaskEntry[TaskCount]());
    TaskIndex = TKeyIndex(TaskCount);
    // Frames are written before they are read, so the stacks are left uninitialised.
    CallFrames.reset(new CallFrame[size_t(TaskCount) * callStackSize]);
    for (uint32_t i = 0; i < TaskCount; ++i) {
        TaskEntry& entry = Tasks[i];
        entry.Handle = TaskList.Item(int32_t(i));
        entry.MinimumCycles = NoMinimum;
        entry.CallStack = CallFrames.get() + size_t(i) * callStackSize;
        TaskIndex.Insert(entry.Handle, i);
    }
}

} // namespace hookmeter
