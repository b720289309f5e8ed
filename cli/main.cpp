// hookmeter-cli: reads the command line and hands it to its command.
#include "cli/CompareCommand.h"
#include "cli/Options.h"
#include "cli/ProcessCommand.h"
#include "cli/SymbolsCommand.h"
#include "hookmeter/Version.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace hookmeter;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const TParsedOptions parsed = ParseOptions(arguments);
    if (!parsed.Options) {
        std::fprintf(stderr, "hookmeter-cli: %s\n\n%s", parsed.Error.c_str(), UsageText().c_str());
        return 2;
    }
    const TCliOptions& options = *parsed.Options;
    switch (options.Command) {
    case TCliOptions::Action::Help:
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    case TCliOptions::Action::Version:
        std::printf("hookmeter-cli %s\n", ProgramVersion);
        return 0;
    case TCliOptions::Action::ListSymbols:
        return RunSymbolsCommand(options.Job.DSPOutFileName, !options.Job.ParseGlobalSymbolOnly,
                                 stdout);
    case TCliOptions::Action::Compare:
        return RunCompareCommand(options.Compare, stdout, stderr);
    case TCliOptions::Action::Process:
        break;
    }
    return RunProcessCommand(options);
}
