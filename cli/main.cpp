// hookmeter-cli: runs one processing job headless and prints its status lines.
#include "cli/Options.h"
#include "cli/SymbolsCommand.h"
#include "engine/OutputNames.h"
#include "engine/Profile.h"

#include <cstdio>
#include <string>
#include <string_view>
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

int RunJob(const TCliOptions& options) {
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
    job.Start();
    job.WaitFor();
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
        std::puts("hookmeter-cli 1.1.1");
        return 0;
    case TCliOptions::Action::ListSymbols:
        return RunSymbolsCommand(options.DSPOutFileName, options.AllSymbols, stdout);
    case TCliOptions::Action::Process:
        break;
    }
    return RunJob(options);
}
