// Everything one processing job is asked to do, set once before the job starts and only read by
// it. The limits and the default of the call-stack size live here; front ends ask for them.
#pragma once

#include "core/RawFile.h"

#include <cstdint>
#include <string>

namespace hookmeter {

struct TJobParameters {
    // Call-stack frames per task: the range a front end offers, and what it starts with.
    static constexpr uint32_t MinCallStackSize = 64;
    static constexpr uint32_t MaxCallStackSize = 8192;
    static constexpr uint32_t DefaultCallStackSize = 256;

    std::string RawDataFileName;
    RawForm RawDataFileType = RawForm::Text;
    std::string DSPOutFileName; // the executable whose symbols name functions and tasks
    bool ParseGlobalSymbolOnly = true;
    std::string CallListFileName;
    std::string ProfileFileName;
    uint32_t CallStackSize = DefaultCallStackSize;

    // Optional outputs, none when empty.
    std::string TimelineFileName; // Trace Event Format JSON
    std::string FoldedFileName;   // folded stacks for flame graphs
    std::string StatsFileName;    // distributions and worst calls, CSV
    double ClockHz = 0;           // DSP clock for real times in the timeline; 0: cycles
    bool CollectResults = false;  // keep the results in memory for TProfile::Results
    bool CollectTimeline = false; // and with them every call, for the window's timeline
};

} // namespace hookmeter
