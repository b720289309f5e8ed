#include "cli/ProcessCommand.h"

#include "job/OutputNames.h"
#include "job/Profile.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <string_view>
#include <system_error>
#include <thread>

namespace hookmeter {
namespace {

// Prints each status line as the job appends it, and keeps how the job ended.
class TStdoutListener final : public TJobListener {
public:
    explicit TStdoutListener(bool quiet) : Quiet(quiet) {}

    void Append(std::string_view line) override {
        if (Quiet)
            return;
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    void JobEnded(const TJobEnd& end) override { End = end; }

    TJobEnd End{JobOutcome::Failed, {}, {}, {}}; // a job that never ended did not succeed

private:
    bool Quiet;
};

// SIGINT and SIGTERM stop the running job at its next block of records. The signals are blocked
// in every thread and taken by one waiting thread, so nothing runs in a signal handler. A second
// signal ends the program at once.
class TStopOnSignal {
public:
    TStopOnSignal() {
        sigemptyset(&Signals);
        sigaddset(&Signals, SIGINT);
        sigaddset(&Signals, SIGTERM);
        // Blocked before any thread starts: the job's threads inherit the mask.
        pthread_sigmask(SIG_BLOCK, &Signals, &Previous);
        try {
            std::thread(&TStopOnSignal::Wait, this).detach();
        } catch (const std::system_error&) {
            pthread_sigmask(SIG_SETMASK, &Previous, nullptr); // the signals end the program
        }
    }
    // Lets the signals reach `job` until Release.
    void Watch(TProfile& job) {
        std::lock_guard guard(Lock);
        Job = &job;
    }
    void Release() {
        std::lock_guard guard(Lock);
        Job = nullptr;
    }
    // The signal that stopped the job, or 0.
    int Received() const { return Signal.load(); }

private:
    void Wait() {
        for (;;) {
            int signal = 0;
            if (sigwait(&Signals, &signal) != 0)
                continue;
            if (Signal.exchange(signal) != 0)
                std::_Exit(128 + signal);
            std::lock_guard guard(Lock);
            if (Job != nullptr)
                Job->Stop();
        }
    }

    sigset_t Signals;
    sigset_t Previous;
    std::mutex Lock;
    TProfile* Job = nullptr; // guarded by Lock
    std::atomic<int> Signal{0};
};

} // namespace

int RunProcessCommand(const TCliOptions& options) {
    // Never destroyed: its detached thread waits for signals until the program ends.
    static TStopOnSignal* const stopOnSignal = new TStopOnSignal;

    TJobParameters parameters = options.Job;
    const TOutputNames derived = DeriveOutputNames(parameters.RawDataFileName);
    if (parameters.CallListFileName.empty())
        parameters.CallListFileName = derived.CallListFileName;
    if (parameters.ProfileFileName.empty())
        parameters.ProfileFileName = derived.ProfileFileName;

    TStdoutListener listener(options.Quiet);
    TProfile job(std::move(parameters), &listener);
    stopOnSignal->Watch(job);
    job.Start();
    job.WaitFor();
    stopOnSignal->Release();
    // The status lines stay as they are; why a file could not be opened goes to standard error.
    if (const TJobEnd& end = listener.End; !end.FailureReason.empty()) {
        if (end.FailedFile.empty())
            std::fprintf(stderr, "hookmeter-cli: %s\n", end.FailureReason.c_str());
        else
            std::fprintf(stderr, "hookmeter-cli: %s: %s\n", end.FailedFile.c_str(),
                         end.FailureReason.c_str());
    }
    switch (listener.End.Outcome) {
    case JobOutcome::Done:
        return 0;
    case JobOutcome::Stopped:
        return 128 + stopOnSignal->Received();
    case JobOutcome::Failed:
        break;
    }
    return 1;
}

} // namespace hookmeter
