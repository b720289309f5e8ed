// The function and task tables: key lists and the entry arrays parallel to them.
#pragma once

#include "base/KeyIndex.h"
#include "core/Entries.h"
#include "core/FuncTaskList.h"

#include <cstdint>
#include <memory>
#include <span>

namespace hookmeter {

inline constexpr uint32_t MaxFunctions = 0x10000;
inline constexpr uint32_t MaxTasks = 1024;

class TEntryTables {
public:
    TEntryTables(); // the task list starts holding handle 0

    // Entry arrays, built once after the first pass; each task gets callStackSize frames.
    void BuildFunctionEntries();
    void BuildTaskEntries(uint32_t callStackSize);

    // The entry for a key, or none when the key is not in its table. The hash indexes give the
    // same index as IndexOf on the key lists.
    FunctionEntry* FindFunction(uint32_t key) {
        int32_t index = FunctionIndex.Find(key);
        return index < 0 ? nullptr : &Functions[index];
    }
    TaskEntry* FindTask(uint32_t key) {
        int32_t index = TaskIndex.Find(key);
        return index < 0 ? nullptr : &Tasks[index];
    }

    std::span<FunctionEntry> FunctionEntries() { return {Functions.get(), FunctionCount}; }
    std::span<TaskEntry> TaskEntries() { return {Tasks.get(), TaskCount}; }
    // The index of an entry of these tables.
    uint32_t IndexOf(const FunctionEntry& function) const {
        return uint32_t(&function - Functions.get());
    }
    uint32_t IndexOf(const TaskEntry& task) const { return uint32_t(&task - Tasks.get()); }

    TFuncTaskList FunctionList{MaxFunctions};
    TFuncTaskList TaskList{MaxTasks};
    uint32_t FunctionCount = 0;
    uint32_t TaskCount = 1;

private:
    std::unique_ptr<FunctionEntry[]> Functions;
    std::unique_ptr<TaskEntry[]> Tasks;
    std::unique_ptr<CallFrame[]> CallFrames; // every task's stack, one after the other
    TKeyIndex FunctionIndex{0};
    TKeyIndex TaskIndex{0};
};

} // namespace hookmeter
