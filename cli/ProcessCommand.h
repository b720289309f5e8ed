// hookmeter-cli [options] RAWFILE: runs one processing job headless and prints its status lines.
#pragma once

#include "cli/Options.h"

namespace hookmeter {

// Runs the job of `options` on this thread's behalf. SIGINT and SIGTERM stop it at its next block
// of records. Returns the exit status: 0, 1 when the job reported a "!!!" line, 128 + the signal
// that stopped it.
int RunProcessCommand(const TCliOptions& options);

} // namespace hookmeter
