#include "cli/CompareTable.h"

#include "base/NumberFormat.h"
#include "base/TextEscape.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace hookmeter {
namespace {

constexpr size_t ColumnCount = 7;
constexpr size_t WidestNameColumn = 40; // longer names push the rest of their row to the right
constexpr const char* ColumnGap = "  ";

using TTableRow = std::array<std::string, ColumnCount>;

std::string Decimal(uint64_t value) {
    char text[MaxDecimalDigits];
    return std::string(text, FormatUnsigned(text, value, 0));
}

std::string Hex8(uint32_t value) {
    char text[8];
    return std::string(text, FormatHex8(text, value));
}

std::string Fixed(double value, int decimals) {
    char text[64];
    return std::string(
        text,
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr);
}

std::string Shortest(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Percent(double value) {
    if (std::isinf(value))
        return "+inf%";
    std::string text = value > 0 ? "+" : "";
    text += Fixed(value, 2);
    text += '%';
    return text;
}

std::string Change(const TComparedRow& row) {
    if (!row.Before)
        return "new";
    if (!row.After)
        return "gone";
    return Percent(row.AverageChangePercent());
}

std::string TotalChange(const TComparedRow& row) {
    if (row.TotalChange() == 0)
        return "0";
    std::string text = row.TotalGrew() ? "+" : "-";
    text += Decimal(row.TotalChange());
    return text;
}

TTableRow TableRow(const TComparedRow& row) {
    auto side = [](bool present, uint64_t value) { return present ? Decimal(value) : "-"; };
    return {DisplayName(row),
            side(row.Before, row.CallsBefore),
            side(row.After, row.CallsAfter),
            side(row.Before, row.AverageBefore),
            side(row.After, row.AverageAfter),
            Change(row),
            TotalChange(row)};
}

void AppendTable(std::string& out, const TTableRow& header, const std::vector<TComparedRow>& rows) {
    std::vector<TTableRow> cells;
    cells.reserve(rows.size());
    for (const TComparedRow& row : rows)
        cells.push_back(TableRow(row));
    std::array<size_t, ColumnCount> widths{};
    for (size_t c = 0; c < ColumnCount; ++c) {
        widths[c] = header[c].size();
        for (const TTableRow& line : cells)
            widths[c] = std::max(widths[c], line[c].size());
    }
    widths[0] = std::max(header[0].size(), std::min(widths[0], WidestNameColumn));

    auto appendLine = [&](const TTableRow& line) {
        out += line[0];
        out.append(widths[0] - std::min(widths[0], line[0].size()), ' ');
        for (size_t c = 1; c < ColumnCount; ++c) {
            out += ColumnGap;
            out.append(widths[c] - line[c].size(), ' ');
            out += line[c];
        }
        out += '\n';
    };
    appendLine(header);
    for (const TTableRow& line : cells)
        appendLine(line);
}

std::string Counts(const std::vector<TComparedRow>& rows) {
    size_t both = 0, added = 0, gone = 0;
    for (const TComparedRow& row : rows)
        (row.Before && row.After ? both : row.Before ? gone : added) += 1;
    return Decimal(both) + " in both, " + Decimal(added) + " new, " + Decimal(gone) + " gone";
}

std::string FileLine(const char* label, const TComparedFile& file) {
    return std::string(label) + file.FileName + " (TotalCycles " +
           Decimal(file.Summary->TotalCycles) + ", function cycles " +
           Decimal(file.Summary->FunctionCycles) + ")\n";
}

std::string CallsText(uint64_t minCalls) {
    return Decimal(minCalls) + (minCalls == 1 ? " call" : " calls");
}

} // namespace

std::string DisplayName(const TComparedRow& row) {
    std::string shown;
    AppendVisibleText(shown, row.Name);
    if (row.Numbered)
        shown += " at " + Hex8(row.Address);
    return shown;
}

std::string FormatComparisonTable(const TComparison& comparison, const TComparedFile& before,
                                  const TComparedFile& after) {
    std::string out = FileLine("Before: ", before) + FileLine("After:  ", after);
    out += "\nFunctions by the change in total exclusive cycles (" + Counts(comparison.Functions) +
           "):\n";
    AppendTable(out,
                {"Function", "Calls before", "Calls after", "Avg excl before", "Avg excl after",
                 "Change", "Total excl change"},
                comparison.Functions);
    if (comparison.Tasks.empty())
        return out;
    out += "\nTasks by the change in total cycles (" + Counts(comparison.Tasks) + "):\n";
    AppendTable(out,
                {"Task", "Runs before", "Runs after", "Avg slice before", "Avg slice after",
                 "Change", "Total change"},
                comparison.Tasks);
    return out;
}

std::string FormatRegressions(const std::vector<const TComparedRow*>& regressions,
                              const TGate& gate) {
    std::string out;
    for (const TComparedRow* row : regressions)
        out += "!!!Average exclusive cycles grew by more than " + Shortest(gate.ThresholdPercent) +
               "%: " + DisplayName(*row) + ", " + Decimal(row->AverageBefore) + " -> " +
               Decimal(row->AverageAfter) + " (" + Percent(row->AverageChangePercent()) + ")!!!\n";
    return out;
}

std::string FormatGatePassed(const TGate& gate) {
    return "No function with at least " + CallsText(gate.MinCalls) +
           " in both runs grew its average exclusive cycles by more than " +
           Shortest(gate.ThresholdPercent) + "%.\n";
}

} // namespace hookmeter
