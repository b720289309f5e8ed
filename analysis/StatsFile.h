// The distributions file: RFC 4180 CSV, one row per function with completed calls, then one row
// per task, plain numbers.
#pragma once

#include "analysis/JobResults.h"
#include "base/OutputFile.h"

namespace hookmeter {

void WriteStatsFile(TOutputFile& file, const TJobResults& results);

} // namespace hookmeter
