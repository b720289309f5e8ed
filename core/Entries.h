// Per-function and per-task statistics, kept in arrays parallel to the key lists.
#pragma once

#include <cstdint>

namespace hookmeter {

inline constexpr uint64_t NoMinimum = ~uint64_t{0}; // a running minimum starts at all ones

// A name for reports and status lines: a key its table does not hold prints as "(null)", as
// printf would print a missing name.
inline const char* PrintableName(const char* name) {
    return name != nullptr ? name : "(null)";
}

// One frame of a task's call stack.
struct CallFrame {
    uint32_t Address;     // the called function
    uint64_t ExcluCycles; // exclusive cycles credited to this call so far
    uint64_t EnterTSC;
    uint64_t ExitTSC;
};

struct FunctionEntry {
    uint32_t Address;
    uint32_t ExecuteTimes; // completed calls
    uint64_t TotalIncluCycles;
    uint64_t MinIncluCycle;
    uint64_t MaxIncluCycle;
    uint64_t TotalExcluCycles;
    uint64_t MinExcluCycle;
    uint64_t MaxExcluCycle;
    const char* Name; // not owned: points into the symbol list or a block of numbered names
};

struct TaskEntry {
    uint32_t Handle;
    uint32_t EnterTimes; // switch-ins, plus 1 for the task that runs at the start
    uint64_t SubTotalCycles;
    uint64_t MinimumCycles;
    uint64_t MaximumCycles;
    uint64_t EnterTSC;    // TSC of the latest switch-in
    CallFrame* CallStack; // CallStackSize frames, owned by the job
    int32_t StackDepth;
    int32_t MaxStackDepth;
    const char* Name; // not owned, like FunctionEntry::Name
};

} // namespace hookmeter
