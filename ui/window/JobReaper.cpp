#include "ui/window/JobReaper.h"

namespace hookmeter {

TJobReaper::~TJobReaper() {
    WaitIdle();
    std::lock_guard lock(Lock);
    if (Worker.joinable())
        Worker.join(); // it has left its loop: joining only collects it
}

void TJobReaper::Take(std::unique_ptr<TProfile> job) {
    std::lock_guard lock(Lock);
    Jobs.push_back(std::move(job));
    if (Busy)
        return; // the running worker takes it
    // A worker that is no longer busy has left its loop; joining it only collects it.
    if (Worker.joinable())
        Worker.join();
    Busy = true;
    Worker = std::thread(&TJobReaper::DestroyJobs, this);
}

void TJobReaper::WaitIdle() {
    std::unique_lock lock(Lock);
    Idle.wait(lock, [this] { return !Busy; });
}

void TJobReaper::DestroyJobs() {
    for (;;) {
        std::unique_ptr<TProfile> job;
        {
            std::lock_guard lock(Lock);
            if (Jobs.empty()) {
                Busy = false;
                Idle.notify_all();
                return;
            }
            job = std::move(Jobs.back());
            Jobs.pop_back();
        }
        job.reset(); // waits for the job's thread, then frees the job
    }
}

} // namespace hookmeter
