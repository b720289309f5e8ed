// The texts of hookmeter-cli --compare: the table of changes and the verdict of the gate.
#pragma once

#include "analysis/Compare.h"

#include <string>
#include <vector>

namespace hookmeter {

struct TComparedFile {
    std::string FileName;
    const TParsedSummary* Summary;
};

// The two files, then the functions and, when a summary has them, the tasks: one row each with
// name, calls before and after, average exclusive cycles before and after, their change in
// percent and the change of the total exclusive cycles, in the order of the comparison.
std::string FormatComparisonTable(const TComparison& comparison, const TComparedFile& before,
                                  const TComparedFile& after);

// One "!!!...!!!" line per regression.
std::string FormatRegressions(const std::vector<const TComparedRow*>& regressions,
                              const TGate& gate);

// The line that says the gate passed.
std::string FormatGatePassed(const TGate& gate);

// A name as the table shows it: control characters as \xNN, a numbered name with its address.
std::string DisplayName(const TComparedRow& row);

} // namespace hookmeter
