#include "cli/CompareCommand.h"

#include "cli/CompareTable.h"
#include "core/SummaryFile.h"

#include <string>

namespace hookmeter {
namespace {

void Print(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

} // namespace

int RunCompareCommand(const TCompareOptions& options, std::FILE* out, std::FILE* err) {
    TSummaryFile before = ReadProfileSummaryFile(options.BaseFileName);
    TSummaryFile after =
        before.Summary ? ReadProfileSummaryFile(options.NewFileName) : TSummaryFile{};
    for (const TSummaryFile* file : {&before, &after}) {
        if (!file->Error.empty()) {
            Print(err, "hookmeter-cli: " + file->Error + "\n");
            return 2;
        }
    }
    const TComparison comparison = CompareSummaries(*before.Summary, *after.Summary);
    Print(out, FormatComparisonTable(comparison, {options.BaseFileName, &*before.Summary},
                                     {options.NewFileName, &*after.Summary}));
    if (!options.ThresholdPercent)
        return 0;
    const TGate gate{*options.ThresholdPercent, options.MinCalls.value_or(1)};
    const std::vector<const TComparedRow*> regressions = FindRegressions(comparison, gate);
    if (regressions.empty()) {
        Print(out, "\n");
        Print(out, FormatGatePassed(gate));
        return 0;
    }
    Print(err, FormatRegressions(regressions, gate));
    return 1;
}

} // namespace hookmeter
