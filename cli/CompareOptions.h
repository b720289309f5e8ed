// The options of hookmeter-cli --compare BASE NEW [--threshold PCT] [--min-calls N].
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hookmeter {

struct TCompareOptions {
    bool Requested = false; // --compare was given
    std::string BaseFileName;
    std::string NewFileName;
    std::optional<double> ThresholdPercent; // no gate without it
    std::optional<uint64_t> MinCalls;       // 1 when not given
};

// Takes arguments[i], and the values after it, when it is one of the options above; `i` then
// points at the last argument taken. Returns false, with `i` unchanged, for any other argument.
// A missing or bad value sets `error`.
bool TakeCompareOption(const std::vector<std::string>& arguments, size_t& i,
                       TCompareOptions& options, std::string& error);

// Why the options do not go together, or nothing.
std::optional<std::string> CheckCompareOptions(const TCompareOptions& options);

} // namespace hookmeter
