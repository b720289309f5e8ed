// Reads a profile summary back: the trace's span, the function rows and the task rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace hookmeter {

// One function or task row, with the figures a comparison needs.
struct TSummaryRow {
    uint32_t Address = 0; // function address or task handle
    std::string Name;
    uint64_t Calls = 0;         // completed calls of a function, switch-ins of a task
    uint64_t AverageCycles = 0; // average exclusive cycles of a function, average slice of a task
    uint64_t TotalCycles = 0;   // exclusive cycles of all calls of a function, all slices of a task

    friend bool operator==(const TSummaryRow&, const TSummaryRow&) = default;
};

struct TParsedSummary {
    uint64_t TotalCycles = 0;
    uint64_t FunctionCycles = 0; // the function section's ValidCycles
    uint64_t TaskCycles = 0;     // the task section's ValidCycles
    std::vector<TSummaryRow> Functions;
    std::vector<TSummaryRow> Tasks; // empty when the summary has no task section

    friend bool operator==(const TParsedSummary&, const TParsedSummary&) = default;
};

// Takes a summary in pieces of any size (lines may span pieces) and stops at the first line that
// does not belong in a summary. Lines end with "\n", or all of them with "\r\n".
class TSummaryReader {
public:
    // False once the text stopped making sense; later pieces are ignored.
    bool Feed(std::string_view text);
    // Call after the last piece. False when the summary is incomplete or does not make sense.
    bool Finish();

    const TParsedSummary& Summary() const { return Parsed; }
    TParsedSummary TakeSummary() { return std::move(Parsed); }
    uint64_t ErrorLine() const { return FailedLine; } // 1-based
    const std::string& Error() const { return Reason; }

private:
    enum class TState { Span, FunctionSection, FunctionHeader, FunctionRows, TaskHeader, TaskRows };

    void TakeLine(std::string_view line);
    bool TakeRow(std::string_view line, std::vector<TSummaryRow>& rows, bool taskRow);
    bool ContinueName(std::vector<TSummaryRow>& rows, std::string_view line);
    size_t LongestLine() const;
    void Fail(uint64_t line, std::string reason);

    TParsedSummary Parsed;
    TState State = TState::Span;
    std::string Partial; // the start of a line that the next piece continues
    uint64_t LineNumber = 0;
    bool CrLf = false;
    uint64_t PendingEmptyLine = 0; // an empty line among the function rows, not yet placed
    std::unordered_set<uint32_t> SectionAddresses; // the addresses of the current section
    uint64_t FailedLine = 0;
    std::string Reason;
};

// The whole summary at once.
TSummaryReader ParseProfileSummary(std::string_view text);

} // namespace hookmeter
