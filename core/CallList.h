// The call list: a header line, then one comma-separated line per event of the replay.
#pragma once

#include "base/OutputFile.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <cstdint>

namespace hookmeter {

class TCallListWriter final : public TReplayObserver {
public:
    // `tables` tells which cut frames have a function entry, and their names.
    TCallListWriter(TOutputFile& file, TEntryTables& tables) : File(file), Tables(tables) {}

    void WriteHeader();

    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override;
    void CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                  uint64_t cutTSC) override;
    void ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                          uint64_t exitTSC) override;
    void TaskEntered(const TaskEntry& task, uint64_t enterTSC) override;
    void TaskExited(const TaskEntry& task, uint64_t exitTSC) override;

    // The lines themselves.
    void WriteCompletedCall(uint32_t address, uint64_t enterTSC, uint64_t exitTSC,
                            uint64_t inclusive, uint64_t exclusive, const char* name);
    void WriteEnterWithoutExit(uint32_t address, uint64_t enterTSC, const char* name);
    void WriteExitWithoutEnter(uint32_t address, uint64_t exitTSC, const char* name);
    void WriteTaskEnter(uint32_t handle, uint64_t enterTSC, const char* name);
    void WriteTaskExit(uint32_t handle, uint64_t exitTSC, const char* name);

private:
    // "%08x,%15llu,%15llu,%15llu,%15llu,%s" followed by the suffix and "\n".
    void WriteLine(uint32_t address, uint64_t enterTSC, uint64_t exitTSC, uint64_t inclusive,
                   uint64_t exclusive, const char* name, const char* suffix);

    TOutputFile& File;
    TEntryTables& Tables;
};

} // namespace hookmeter
