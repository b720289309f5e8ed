// hookmeter-cli --compare BASE NEW [--threshold PCT] [--min-calls N]: a table of what changed
// between two profile summaries and, with a threshold, a gate for CI.
#pragma once

#include "cli/CompareOptions.h"

#include <cstdio>

namespace hookmeter {

// Prints the table to `out`; with a threshold, either the line that the gate passed to `out` or
// one "!!!" line per function over it to `err`. Returns the exit status: 0, 1 when a function is
// over the threshold, 2 when a file is not a readable profile summary (reported on `err`).
int RunCompareCommand(const TCompareOptions& options, std::FILE* out, std::FILE* err);

} // namespace hookmeter
