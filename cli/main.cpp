// hookmeter-cli: runs one processing job headless and prints its status lines.
#include "cli/CompareCommand.h"
#include "cli/Options.h"
#include "cli/SymbolsCommand.h"
#include "hookmeter/Version.h"
#include "job/OutputNames.h"
#include "job/Profile.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace hookmeter {
namespace {

// Prints each status line as the job appends it and remembers whether one reported a failure.
class TStdoutStatusLines : public TStatusLines {
public:
    explicit TStdoutStatusLines(bool quiet) : Quiet(quiet) {}

    void Append(std::string_view line) override {
        if (line.size() >= 6 && line.starts_with("!!!") && line.ends_with("!!!"))
            FailureReported = true;
        if (Quiet)
            return;
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    bool FailureReported = false;

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

int RunJob(const TCliOptions& options, TStopOnSignal& stopOnSignal) {
    TOutputNames derived = DeriveOutputNames(options.RawDataFileName);
    TStdoutStatusLines statusLines(options.Quiet);
    TProfile job;
    job.RawDataFileName = options.RawDataFileName;
    job.RawDataFileType = options.RawDataFileType;
    job.DSPOutFileName = options.DSPOutFileName;
    job.ParseGlobalSymbolOnly = !options.AllSymbols;
    job.CallListFileName =
        options.CallListFileName.empty() ? derived.CallListFileName : options.CallListFileName;
    job.ProfileFileName =
        options.ProfileFileName.empty() ? derived.ProfileFileName : options.ProfileFileName;
    job.CallStackSize = options.CallStackSize;
    job.TimelineFileName = options.TimelineFileName;
    job.FoldedFileName = options.FoldedFileName;
    job.StatsFileName = options.StatsFileName;
    job.ClockHz = options.ClockHz;
    job.StatusLines = &statusLines;
    stopOnSignal.Watch(job);
    job.Start();
    job.WaitFor();
    stopOnSignal.Release();
    if (job.Stopped())
        return 128 + stopOnSignal.Received();
    return statusLines.FailureReported ? 1 : 0;
}

} // namespace
} // namespace hookmeter

int main(int argc, char** argv) {
    using namespace hookmeter;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    TParsedOptions parsed = ParseOptions(arguments);
    if (!parsed.Options) {
        std::fprintf(stderr, "hookmeter-cli: %s\n\n%s", parsed.Error.c_str(), UsageText);
        return 2;
    }
    const TCliOptions& options = *parsed.Options;
    switch (options.Command) {
    case TCliOptions::Action::Help:
        std::fputs(UsageText, stdout);
        return 0;
    case TCliOptions::Action::Version:
        std::printf("hookmeter-cli %s\n", ProgramVersion);
        return 0;
    case TCliOptions::Action::ListSymbols:
        return RunSymbolsCommand(options.DSPOutFileName, options.AllSymbols, stdout);
    case TCliOptions::Action::Compare:
        return RunCompareCommand(options.Compare, stdout, stderr);
    case TCliOptions::Action::Process:
        break;
    }
    // Never destroyed: its detached thread waits for signals until the program ends.
    static TStopOnSignal* const stopOnSignal = new TStopOnSignal;
    return RunJob(options, *stopOnSignal);
}
