// The command line of hookmeter-cli.
#pragma once

#include "cli/CompareOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hookmeter {

struct TCliOptions {
    enum class Action { Process, ListSymbols, Compare, Help, Version };
    Action Command = Action::Process;
    std::string RawDataFileName;
    int8_t RawDataFileType = 0;
    std::string DSPOutFileName;
    bool AllSymbols = false;
    std::string CallListFileName; // empty: derived from the raw file name
    std::string ProfileFileName;  // empty: derived from the raw file name
    uint32_t CallStackSize = 256;
    bool Quiet = false;
    std::string TimelineFileName; // empty: no timeline
    std::string FoldedFileName;   // empty: no folded stacks
    std::string StatsFileName;    // empty: no distributions file
    double ClockHz = 0;           // 0: timeline times in cycles
    TCompareOptions Compare;
};

struct TParsedOptions {
    std::optional<TCliOptions> Options;
    std::string Error; // why the command line is not usable, when Options is empty
};

TParsedOptions ParseOptions(const std::vector<std::string>& arguments);

extern const char* const UsageText;

} // namespace hookmeter
