// TJobReaper destroys finished jobs away from the GUI thread. Destroying a job joins its thread;
// even a job that has made its last call into the window may not have returned yet, so the window
// hands it over here and never waits. A thread of the reaper's own runs only while it has jobs to
// destroy.
#pragma once

#include "job/Profile.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hookmeter {

class TJobReaper {
public:
    TJobReaper() = default;
    // Waits until every job handed over has been destroyed.
    ~TJobReaper();
    TJobReaper(const TJobReaper&) = delete;
    TJobReaper& operator=(const TJobReaper&) = delete;

    // Takes a job to destroy; returns without waiting for it.
    void Take(std::unique_ptr<TProfile> job);
    // Waits until the jobs handed over so far have been destroyed.
    void WaitIdle();

private:
    void DestroyJobs();

    std::mutex Lock;
    std::condition_variable Idle;
    std::vector<std::unique_ptr<TProfile>> Jobs;
    bool Busy = false; // the worker has jobs to destroy
    std::thread Worker;
};

} // namespace hookmeter
