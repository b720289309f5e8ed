// Compares two profile summaries of the same program: before (BASE) and after (NEW) a change.
#pragma once

#include "core/SummaryReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hookmeter {

// One function or task, as it was before and after. A row in one summary only is gone or new.
struct TComparedRow {
    std::string Name; // as in NEW, or in BASE when gone
    uint32_t Address = 0;
    bool Numbered = false; // a "?function #N" or "?task #N" name, matched by address
    bool Before = false;   // the row is in BASE
    bool After = false;    // the row is in NEW
    uint64_t CallsBefore = 0, CallsAfter = 0;
    uint64_t AverageBefore = 0, AverageAfter = 0;
    uint64_t TotalBefore = 0, TotalAfter = 0;

    bool TotalGrew() const { return TotalAfter > TotalBefore; }
    uint64_t TotalChange() const { // its size; TotalGrew gives the direction
        return TotalGrew() ? TotalAfter - TotalBefore : TotalBefore - TotalAfter;
    }
    // The change of the average in percent of the average before; infinite when that was 0 and
    // the average grew.
    double AverageChangePercent() const;
};

struct TComparison {
    std::vector<TComparedRow> Functions; // by the size of TotalChange, largest first
    std::vector<TComparedRow> Tasks;     // the same
};

// Functions and tasks are matched by name; a numbered name is not stable between runs, so those
// are matched by address with a numbered name of the other run. Where one name is on several
// rows, rows at the same address pair first, then the others in address order.
TComparison CompareSummaries(const TParsedSummary& before, const TParsedSummary& after);

struct TGate {
    double ThresholdPercent = 0;
    uint64_t MinCalls = 1;
};

// The functions with at least MinCalls calls in both runs whose average exclusive cycles grew by
// more than ThresholdPercent, in the order of the comparison.
std::vector<const TComparedRow*> FindRegressions(const TComparison& comparison, const TGate& gate);

} // namespace hookmeter
