// TProfile: one processing job. It turns a raw hook record file and the DSP executable's symbols
// into the call list and the profile summary, on a thread of its own, and reports every step
// and every inconsistency as status lines.
#pragma once

#include "engine/StatusChannel.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace hookmeter {

class TProfileJob;

class TProfile {
public:
    // Made suspended: nothing runs until Start.
    TProfile();
    // Waits for a running job before anything is freed.
    ~TProfile();
    TProfile(const TProfile&) = delete;
    TProfile& operator=(const TProfile&) = delete;

    // Runs the job's body once on a thread of its own. Set the parameters first.
    void Start();
    // Returns once the job's body has returned; at once when the job was never started.
    void WaitFor();

    // Parameters, set before Start and only read by the job.
    std::string RawDataFileName;
    int8_t RawDataFileType = 0; // 0 text form, 1 binary form, -1 none chosen (read as text)
    std::string DSPOutFileName;
    bool ParseGlobalSymbolOnly = true;
    std::string CallListFileName;
    std::string ProfileFileName;
    uint32_t CallStackSize = 256;
    TProcessButton* ProcessButton = nullptr; // may be none
    TStatusLines* StatusLines = nullptr;

private:
    void Execute();

    std::unique_ptr<TProfileJob> Job; // the working state; lives as long as the job object
    std::thread Thread;
};

} // namespace hookmeter
