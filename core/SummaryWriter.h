// The profile summary: the span of the trace, one row per function ordered by exclusive cycles,
// and, when the records named tasks, one row per task ordered by their cycles.
#pragma once

#include "base/OutputFile.h"
#include "core/Entries.h"

#include <cstdint>
#include <span>

namespace hookmeter {

struct TSummaryTotals {
    uint64_t FunctionValidCycles = 0; // sum of the functions' exclusive cycles
    uint64_t TaskValidCycles = 0;     // sum of the tasks' run slices
};

// Totals the sections and gives entries that were never measured a minimum of 0.
TSummaryTotals PrepareSummary(std::span<FunctionEntry> functions, std::span<TaskEntry> tasks);

// The exchange sort by TotalExcluCycles / SubTotalCycles, largest first, with its own order
// among equal keys.
void SortFunctionsByExclusive(std::span<FunctionEntry> functions);
void SortTasksByCycles(std::span<TaskEntry> tasks);

// Sorts the entries and writes the whole summary. The task section is written only when the
// tasks are more than the pre-set task 0.
void WriteProfileSummary(TOutputFile& file, std::span<FunctionEntry> functions,
                         std::span<TaskEntry> tasks, uint64_t firstTSC, uint64_t lastTSC,
                         const TSummaryTotals& totals);

} // namespace hookmeter
