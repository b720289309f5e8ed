#include "cli/CompareOptions.h"

#include <charconv>
#include <cmath>

namespace hookmeter {
namespace {

// "5", "2.5", "0" or "5%"
std::optional<double> ParsePercent(std::string text) {
    if (text.ends_with('%'))
        text.pop_back();
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

std::optional<uint64_t> ParseCount(const std::string& text) {
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

bool TakeCompareOption(const std::vector<std::string>& arguments, size_t& i,
                       TCompareOptions& options, std::string& error) {
    const std::string& option = arguments[i];
    const size_t values = option == "--compare" ? 2 : 1;
    if (option != "--compare" && option != "--threshold" && option != "--min-calls")
        return false;
    if (arguments.size() - i - 1 < values) {
        error = option == "--compare"     ? "--compare needs two profile summaries, BASE and NEW"
                : option == "--threshold" ? "--threshold needs a percentage"
                                          : "--min-calls needs a number";
        i = arguments.size() - 1;
        return true;
    }
    const std::string& value = arguments[i + 1];
    if (option == "--compare") {
        options.Requested = true;
        options.BaseFileName = value;
        options.NewFileName = arguments[i + 2];
    } else if (option == "--threshold") {
        options.ThresholdPercent = ParsePercent(value);
        if (!options.ThresholdPercent)
            error = "--threshold must be a percentage of 0 or more, such as 5 or 2.5, not '" +
                    value + "'";
    } else {
        options.MinCalls = ParseCount(value);
        if (!options.MinCalls)
            error = "--min-calls must be a whole number, not '" + value + "'";
    }
    i += values;
    return true;
}

std::optional<std::string> CheckCompareOptions(const TCompareOptions& options) {
    if (!options.Requested && (options.ThresholdPercent || options.MinCalls))
        return "--threshold and --min-calls go with --compare";
    return std::nullopt;
}

} // namespace hookmeter
