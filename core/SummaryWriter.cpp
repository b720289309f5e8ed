#include "core/SummaryWriter.h"

#include "base/NumberFormat.h"
#include "core/ExchangeSortOrder.h"
#include "core/SummaryFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace hookmeter {
namespace {

constexpr size_t MaxLineFigures = 512; // the numeric part of any summary line fits in this

template <typename Entry, typename KeyOf> void ExchangeSort(std::span<Entry> entries, KeyOf keyOf) {
    std::vector<uint64_t> keys(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        keys[i] = keyOf(entries[i]);
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (uint32_t index : ExchangeSortOrder(keys))
        sorted.push_back(entries[index]);
    std::copy(sorted.begin(), sorted.end(), entries.begin());
}

uint64_t Average(uint64_t total, uint32_t count) {
    return count == 0 ? 0 : total / count;
}

// Valid/Total: the share of the trace's span that a section accounts for, in whole percent.
uint32_t ValidPercent(uint64_t validCycles, uint64_t totalCycles) {
    return totalCycles == 0 ? 0 : uint32_t(validCycles * 100 / totalCycles);
}

// "%.8f" of part / whole; a section without valid cycles prints 0.
char* FormatFraction(char* out, uint64_t part, uint64_t whole) {
    double fraction = whole == 0 ? 0.0 : double(part) / double(whole);
    return std::to_chars(out, out + 64, fraction, std::chars_format::fixed, 8).ptr;
}

char* Append(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

void WriteLine(TOutputFile& file, std::string_view line) {
    file.Write(line);
    file.Write("\n");
}

void WriteName(TOutputFile& file, const char* name) {
    file.Write(",");
    file.Write(PrintableName(name));
    file.Write("\n");
}

void WriteSectionLine(TOutputFile& file, std::string_view title, uint64_t validCycles,
                      uint64_t totalCycles) {
    char* out = file.Reserve(MaxLineFigures);
    out = Append(out, title);
    out = Append(out, summary::ValidCyclesKey);
    out = FormatUnsigned(out, validCycles, 0);
    out = Append(out, summary::ValidPercentKey);
    out = FormatUnsigned(out, ValidPercent(validCycles, totalCycles), 0);
    out = Append(out, summary::SectionEnd);
    *out++ = '\n';
    file.Commit(out);
}

void WriteFunctionRow(TOutputFile& file, const FunctionEntry& f, uint64_t validCycles) {
    char* out = file.Reserve(MaxLineFigures);
    out = FormatHex8(out, f.Address);
    *out++ = ',';
    out = FormatUnsigned(out, f.ExecuteTimes, 12);
    *out++ = ',';
    out = FormatUnsigned(out, f.MinIncluCycle, 13);
    *out++ = ',';
    out = FormatUnsigned(out, f.MaxIncluCycle, 13);
    *out++ = ',';
    out = FormatUnsigned(out, Average(f.TotalIncluCycles, f.ExecuteTimes), 13);
    out = Append(out, ",    ");
    out = FormatUnsigned(out, f.MinExcluCycle, 13);
    *out++ = ',';
    out = FormatUnsigned(out, f.MaxExcluCycle, 13);
    *out++ = ',';
    out = FormatUnsigned(out, Average(f.TotalExcluCycles, f.ExecuteTimes), 13);
    out = Append(out, ",    ");
    out = FormatFraction(out, f.TotalExcluCycles, validCycles);
    file.Commit(out);
    WriteName(file, f.Name);
}

void WriteTaskRow(TOutputFile& file, const TaskEntry& t, uint64_t validCycles) {
    char* out = file.Reserve(MaxLineFigures);
    out = FormatHex8(out, t.Handle);
    *out++ = ',';
    out = FormatUnsigned(out, t.EnterTimes, 12);
    out = Append(out, ",             ,             ,");
    out = FormatUnsigned(out, t.SubTotalCycles, 17);
    *out++ = ',';
    out = FormatUnsigned(out, t.MinimumCycles, 13);
    *out++ = ',';
    out = FormatUnsigned(out, t.MaximumCycles, 13);
    *out++ = ',';
    out = FormatUnsigned(out, Average(t.SubTotalCycles, t.EnterTimes), 13);
    out = Append(out, ",    ");
    out = FormatFraction(out, t.SubTotalCycles, validCycles);
    file.Commit(out);
    WriteName(file, t.Name);
}

} // namespace

TSummaryTotals PrepareSummary(std::span<FunctionEntry> functions, std::span<TaskEntry> tasks) {
    TSummaryTotals totals;
    for (FunctionEntry& f : functions) {
        totals.FunctionValidCycles += f.TotalExcluCycles;
        if (f.MaxExcluCycle < f.MinExcluCycle)
            f.MinExcluCycle = f.MaxExcluCycle;
        if (f.MaxIncluCycle < f.MinIncluCycle)
            f.MinIncluCycle = f.MaxIncluCycle;
    }
    for (TaskEntry& t : tasks) {
        totals.TaskValidCycles += t.SubTotalCycles;
        if (t.MaximumCycles < t.MinimumCycles)
            t.MinimumCycles = t.MaximumCycles;
    }
    return totals;
}

void SortFunctionsByExclusive(std::span<FunctionEntry> functions) {
    ExchangeSort(functions, [](const FunctionEntry& f) { return f.TotalExcluCycles; });
}

void SortTasksByCycles(std::span<TaskEntry> tasks) {
    ExchangeSort(tasks, [](const TaskEntry& t) { return t.SubTotalCycles; });
}

void WriteProfileSummary(TOutputFile& file, std::span<FunctionEntry> functions,
                         std::span<TaskEntry> tasks, uint64_t firstTSC, uint64_t lastTSC,
                         const TSummaryTotals& totals) {
    SortFunctionsByExclusive(functions);
    uint64_t totalCycles = lastTSC - firstTSC;
    char* out = file.Reserve(MaxLineFigures);
    out = Append(out, summary::LastTSCKey);
    out = FormatUnsigned(out, lastTSC, 0);
    out = Append(out, summary::FirstTSCKey);
    out = FormatUnsigned(out, firstTSC, 0);
    out = Append(out, summary::TotalCyclesKey);
    out = FormatUnsigned(out, totalCycles, 0);
    out = Append(out, summary::SpanEnd);
    *out++ = '\n';
    file.Commit(out);
    WriteSectionLine(file, summary::FunctionSectionTitle, totals.FunctionValidCycles, totalCycles);
    WriteLine(file, summary::FunctionHeader);
    for (const FunctionEntry& f : functions)
        WriteFunctionRow(file, f, totals.FunctionValidCycles);

    if (tasks.size() <= 1)
        return;
    file.Write("\n");
    WriteSectionLine(file, summary::TaskSectionTitle, totals.TaskValidCycles, totalCycles);
    WriteLine(file, summary::TaskHeader);
    SortTasksByCycles(tasks);
    for (const TaskEntry& t : tasks)
        WriteTaskRow(file, t, totals.TaskValidCycles);
}

} // namespace hookmeter
