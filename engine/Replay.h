// The call-stack replay: fed one record at a time in time order, it keeps one call stack per
// task, writes the call list, gathers every function's and task's statistics and reports each
// inconsistency of the records as a status line.
#pragma once

#include "engine/CallList.h"
#include "engine/RawRecord.h"
#include "engine/StatusReporter.h"
#include "engine/Tables.h"

#include <cstdint>

namespace hookmeter {

class TReplay {
public:
    // `startTask` runs from `firstTSC` on; the tables' entry arrays are built.
    TReplay(TProfileTables& tables, uint32_t callStackSize, TCallListWriter& callList,
            TStatusReporter& status, TaskEntry& startTask, uint64_t firstTSC);

    // True: go on with the next record; false: a call stack overflowed and the replay stops.
    // The caller moves LastTSC on after every true.
    bool ProcessRecord(const RawRecord& record);
    // Writes the task's open calls as "enter without exit" and empties its stack.
    void FlushCallStack(TaskEntry& task);

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

    TProfileTables& Tables;
    uint32_t CallStackSize;
    TCallListWriter& CallList;
    TStatusReporter& Status;
};

} // namespace hookmeter
