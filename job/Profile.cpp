#include "job/Profile.h"

#include "base/StatusReporter.h"
#include "job/JobPipeline.h"

#include <exception>
#include <new>
#include <system_error>

namespace hookmeter {

TProfile::TProfile(TJobParameters parameters, TJobListener* listener)
    : JobParameters(std::move(parameters)), Listener(listener),
      Pipeline(std::make_unique<TJobPipeline>()) {}

TProfile::~TProfile() {
    WaitFor();
}

void TProfile::Start() {
    if (Thread.joinable())
        return;
    try {
        Thread = std::thread(&TProfile::Execute, this);
    } catch (const std::system_error&) {
        // Nothing has run and no file was opened.
        TStatusReporter status(Listener);
        if (Listener != nullptr)
            Listener->JobStarted();
        status.AddStatusLine("!!!Can not start a thread to process the profile data!!!");
        status.AddStatusLine("Profile data processing complete.");
        JobProgress.Phase = JobPhase::Finished;
        if (Listener != nullptr)
            Listener->JobEnded({JobOutcome::Failed, status.FirstFailure(), {}, {}});
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
    TStatusReporter status(Listener);
    if (Listener != nullptr)
        Listener->JobStarted();
    status.AddStatusLine("Start profile data processing...");
    try {
        if (Pipeline->Run(JobParameters, status, JobProgress, StopRequested) ==
            TJobPipeline::Outcome::Stopped)
            EndedByStop = true;
    } catch (const std::bad_alloc&) {
        status.AddStatusLine("!!!Not enough memory to process the profile data!!!");
    } catch (const std::exception& error) {
        status.FormatStatusLine("!!!Profile data processing failed: %s!!!", error.what());
    }
    {
        std::lock_guard guard(ResultsLock);
        FinishedResults = Pipeline->Results;
    }
    JobProgress.Phase = JobPhase::Finished;
    status.AddStatusLine("Profile data processing complete.");
    if (Listener == nullptr)
        return;
    TJobEnd end;
    end.FirstFailure = status.FirstFailure();
    end.FailedFile = Pipeline->FailedFile;
    end.FailureReason = Pipeline->FailureReason;
    end.Outcome = EndedByStop                ? JobOutcome::Stopped
                  : end.FirstFailure.empty() ? JobOutcome::Done
                                             : JobOutcome::Failed;
    Listener->JobEnded(end);
}

} // namespace hookmeter
