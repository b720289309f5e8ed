#include "cli/Options.h"

#include "analysis/TimelineForm.h"

#include <charconv>
#include <cmath>

namespace hookmeter {

std::string UsageText() {
    const std::string stackSizes = std::to_string(TJobParameters::MinCallStackSize) + ".." +
                                   std::to_string(TJobParameters::MaxCallStackSize) + ", default " +
                                   std::to_string(TJobParameters::DefaultCallStackSize);
    return "usage: hookmeter-cli [options] RAWFILE\n"
           "       hookmeter-cli --symbols EXE [--all-symbols]\n"
           "       hookmeter-cli --compare BASE NEW [--threshold PCT] [--min-calls N]\n"
           "\n"
           "Replays the raw hook records of RAWFILE and writes the call list and the profile "
           "summary.\n"
           "\n"
           "  --binary            RAWFILE is in the binary form (default: the text form)\n"
           "  --text              RAWFILE is in the text form\n"
           "  --exe FILE          the DSP executable (.out) whose symbols name functions and "
           "tasks\n"
           "  --all-symbols       read every symbol, not only the global ones\n"
           "  --call-list FILE    default: RAWFILE without its last four characters, plus "
           "\"_call_list.csv\"\n"
           "  --profile FILE      default: RAWFILE without its last four characters, plus "
           "\"_profile.csv\"\n"
           "  --stack-size N      call-stack frames per task, " +
           stackSizes +
           "\n"
           "  --quiet             print no status lines\n"
           "  --timeline FILE     also write a timeline for trace viewers, in the form its name "
           "ends in:\n"
           "                      .pftrace or .perfetto-trace: a Perfetto trace, for the Perfetto "
           "UI\n"
           "                      (ui.perfetto.dev) and its trace processor, at any trace length\n"
           "                      .json: Trace Event Format JSON, for the Perfetto UI, "
           "chrome://tracing\n"
           "                      and speedscope (several times larger)\n"
           "  --folded FILE       also write folded stacks for flame graphs\n"
           "  --stats FILE        also write percentiles and worst calls per function and task "
           "(CSV)\n"
           "  --clock-hz HZ       DSP clock, e.g. 600e6: timeline times as real time, not "
           "cycles\n"
           "  --symbols EXE       list the symbols of EXE as a job holds them: address, tab, name\n"
           "  --compare BASE NEW  compare two profile summaries, before and after a change\n"
           "  --threshold PCT     with --compare: exit 1 when a function's average exclusive "
           "cycles\n"
           "                      grew by more than PCT percent\n"
           "  --min-calls N       with --threshold: only functions with at least N calls in both\n"
           "                      summaries count, default 1\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 when the job ran without a \"!!!\" line, 1 when it reported one (a file "
           "could\n"
           "not be opened, read or written...), 2 for a usage error, 130 or 143 when SIGINT or "
           "SIGTERM\n"
           "stopped it (no report is written then). --compare: 0, or 1 when a function is over "
           "the\n"
           "threshold; 2 when BASE or NEW is not a readable profile summary.\n";
}

namespace {

std::optional<uint32_t> ParseStackSize(const std::string& text) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() ||
        value < TJobParameters::MinCallStackSize || value > TJobParameters::MaxCallStackSize)
        return std::nullopt;
    return value;
}

std::optional<double> ParseClockHz(const std::string& text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < 1)
        return std::nullopt;
    return value;
}

TParsedOptions Fail(std::string error) {
    return {std::nullopt, std::move(error)};
}

} // namespace

TParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
    TCliOptions options;
    TJobParameters& job = options.Job;
    std::vector<std::string> positional;
    bool listSymbols = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string compareError;
        if (TakeCompareOption(arguments, i, options.Compare, compareError)) {
            if (!compareError.empty())
                return Fail(compareError);
            continue;
        }
        auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        if (argument == "--help" || argument == "-h") {
            options.Command = TCliOptions::Action::Help;
            return {options, {}};
        } else if (argument == "--version") {
            options.Command = TCliOptions::Action::Version;
            return {options, {}};
        } else if (argument == "--binary") {
            job.RawDataFileType = RawForm::Binary;
        } else if (argument == "--text") {
            job.RawDataFileType = RawForm::Text;
        } else if (argument == "--all-symbols") {
            job.ParseGlobalSymbolOnly = false;
        } else if (argument == "--quiet") {
            options.Quiet = true;
        } else if (argument == "--exe" || argument == "--symbols") {
            if (!value(job.DSPOutFileName))
                return Fail(argument + " needs a file name");
            listSymbols = listSymbols || argument == "--symbols";
        } else if (argument == "--call-list") {
            if (!value(job.CallListFileName))
                return Fail("--call-list needs a file name");
        } else if (argument == "--profile") {
            if (!value(job.ProfileFileName))
                return Fail("--profile needs a file name");
        } else if (argument == "--timeline") {
            if (!value(job.TimelineFileName))
                return Fail("--timeline needs a file name");
            if (!TimelineFormOf(job.TimelineFileName))
                return Fail("--timeline: the file name must end in " +
                            std::string(TimelineEndings) + ", not '" + job.TimelineFileName + "'");
        } else if (argument == "--folded") {
            if (!value(job.FoldedFileName))
                return Fail("--folded needs a file name");
        } else if (argument == "--stats") {
            if (!value(job.StatsFileName))
                return Fail("--stats needs a file name");
        } else if (argument == "--clock-hz") {
            std::string text;
            if (!value(text))
                return Fail("--clock-hz needs a frequency");
            std::optional<double> hz = ParseClockHz(text);
            if (!hz)
                return Fail("--clock-hz must be a number of cycles per second, at least 1, not '" +
                            text + "'");
            job.ClockHz = *hz;
        } else if (argument == "--stack-size") {
            std::string text;
            if (!value(text))
                return Fail("--stack-size needs a number");
            std::optional<uint32_t> size = ParseStackSize(text);
            if (!size)
                return Fail("--stack-size must be a whole number from " +
                            std::to_string(TJobParameters::MinCallStackSize) + " to " +
                            std::to_string(TJobParameters::MaxCallStackSize) + ", not '" + text +
                            "'");
            job.CallStackSize = *size;
        } else if (argument == "--") {
            positional.insert(positional.end(), arguments.begin() + i + 1, arguments.end());
            break;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return Fail("unknown option '" + argument + "'");
        } else {
            positional.push_back(argument);
        }
    }
    if (std::optional<std::string> error = CheckCompareOptions(options.Compare))
        return Fail(*error);
    if (options.Compare.Requested) {
        if (listSymbols || !positional.empty())
            return Fail("--compare takes neither a raw record file nor --symbols");
        options.Command = TCliOptions::Action::Compare;
        return {options, {}};
    }
    if (listSymbols) {
        if (!positional.empty())
            return Fail("--symbols takes no raw record file");
        options.Command = TCliOptions::Action::ListSymbols;
        return {options, {}};
    }
    if (positional.empty())
        return Fail("no raw record file given");
    if (positional.size() > 1)
        return Fail("more than one raw record file given");
    job.RawDataFileName = positional[0];
    return {options, {}};
}

} // namespace hookmeter
