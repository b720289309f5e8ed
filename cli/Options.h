// The command line of hookmeter-cli.
#pragma once

#include "cli/CompareOptions.h"
#include "job/JobParameters.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hookmeter {

struct TCliOptions {
    enum class Action { Process, ListSymbols, Compare, Help, Version };
    Action Command = Action::Process;
    // The job's parameters as given; the report names are empty unless given, and --exe also
    // names the executable of --symbols.
    TJobParameters Job;
    bool Quiet = false;
    TCompareOptions Compare;
};

struct TParsedOptions {
    std::optional<TCliOptions> Options;
    std::string Error; // why the command line is not usable, when Options is empty
};

TParsedOptions ParseOptions(const std::vector<std::string>& arguments);

std::string UsageText();

} // namespace hookmeter
