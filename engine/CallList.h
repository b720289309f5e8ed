// The call list: a header line, then one comma-separated line per event of the replay.
#pragma once

#include "engine/OutputFile.h"

#include <cstdint>

namespace hookmeter {

class TCallListWriter {
public:
    explicit TCallListWriter(TOutputFile& file) : File(file) {}

    void WriteHeader();
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
};

} // namespace hookmeter
