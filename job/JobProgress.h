// How far a running job has come, for a progress bar. The job's thread writes these counters as
// it goes; any other thread may read them at any time.
#pragma once

#include <atomic>
#include <cstdint>

namespace hookmeter {

enum class JobPhase : uint8_t {
    NotStarted,
    FirstPass, // Done and Total count bytes of the raw file (Total 0 when its size is unknown)
    Naming,    // reading the executable's symbols
    Replay,    // Done and Total count valid records
    Summary,   // writing the profile summary and the other outputs
    Finished,
};

struct TJobProgress {
    std::atomic<JobPhase> Phase{JobPhase::NotStarted};
    std::atomic<uint64_t> Done{0};
    std::atomic<uint64_t> Total{0};
};

} // namespace hookmeter
