// The call-stack replay: fed one record at a time in time order, it keeps one call stack per
// task, gathers every function's and task's statistics, reports each inconsistency of the
// records as a status line, and tells its observer (the outputs) what happened.
#pragma once

#include "base/StatusReporter.h"
#include "core/EntryTables.h"
#include "core/RawRecord.h"
#include "core/ReplayObserver.h"

#include <cstdint>

namespace hookmeter {

class TReplay {
public:
    // `startTask` runs from `firstTSC` on; the tables' entry arrays are built.
    TReplay(TEntryTables& tables, uint32_t callStackSize, TReplayObserver& observer,
            TStatusReporter& status, TaskEntry& startTask, uint64_t firstTSC);

    // True: go on with the next record; false: a call stack overflowed and the replay stops.
    // The caller moves LastTSC on after every true.
    bool ProcessRecord(const RawRecord& record);
    // Gives up the task's open calls at `cutTSC` ("enter without exit") and empties its stack.
    void FlushCallStack(TaskEntry& task, uint64_t cutTSC);

    TaskEntry* CurrentTask;
    uint64_t LastTSC;
    uint32_t ExitWithoutEnter = 0;
    uint32_t EnterWithoutExit = 0;

private:
    bool EnterFunction(const RawRecord& record);
    void ExitFunction(const RawRecord& record);
    void EnterTask(const RawRecord& record);
    void ExitTask(const RawRecord& record);
    const char* NameOfKey(RecordKind kind, uint32_t key);
    void AddSlice(TaskEntry& task, uint64_t startTSC, uint64_t cycles);
    // Reports an inconsistency found at `tsc` as a status line and to the observer.
    void NoteInconsistency(uint64_t tsc, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    TEntryTables& Tables;
    uint32_t CallStackSize;
    TReplayObserver& Observer;
    TStatusReporter& Status;
};

} // namespace hookmeter
