#include "job/Profile.h"

#include "base/StatusReporter.h"
#include "job/JobPipeline.h"

#include <exception>
#include <new>
#include <system_error>

namespace hookmeter {

TProfile::TProfile() : Job(std::make_unique<TProfileJob>()) {}

TProfile::~TProfile() {
    WaitFor();
}

void TProfile::Start() {
    if (Thread.joinable())
        return;
    try {
        Thread = std::thread(&TProfile::Execute, this);
    } catch (const std::system_error&) {
        // Nothing has run: no file was opened and the button was never touched.
        TStatusReporter status(StatusLines);
        status.AddStatusLine("!!!Can not start a thread to process the profile data!!!");
        status.AddStatusLine("Profile data processing complete.");
        JobProgress.Phase = JobPhase::Finished;
    }
}

void TProfile::WaitFor() {
    if (Thread.joinable() && Thread.get_id() != std::this_thread::get_id())
        Thread.join();
}

std::shared_ptr<const TJobResults> TProfile::Results() const {
    std::lock_guard guard(ResultsLock);
    return FinishedResults;
}

void TProfile::Stop() {
    StopRequested.store(true);
}

void TProfile::Execute() {
    TStatusReporter status(StatusLines);
    if (ProcessButton != nullptr)
        ProcessButton->SetEnabled(false);
    status.AddStatusLine("Start profile data processing...");
    try {
        if (Job->Run(*this, status, JobProgress, StopRequested) == TProfileJob::Outcome::Stopped)
            EndedByStop = true;
    } catch (const std::bad_alloc&) {
        status.AddStatusLine("!!!Not enough memory to process the profile data!!!");
    } catch (const std::exception& error) {
        status.FormatStatusLine("!!!Profile data processing failed: %s!!!", error.what());
    }
    {
        std::lock_guard guard(ResultsLock);
        FinishedResults = Job->Results;
    }
    JobProgress.Phase = JobPhase::Finished;
    status.AddStatusLine("Profile data processing complete.");
    if (ProcessButton != nullptr)
        ProcessButton->SetEnabled(true);
}

} // namespace hookmeter
