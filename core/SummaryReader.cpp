#include "core/SummaryReader.h"

#include "core/SummaryFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace hookmeter {
namespace {

using summary::FiguresPerRow;

// The start of the task section's line, "Tasks,,".
bool StartsTaskSection(std::string_view line) {
    return line.starts_with(summary::TaskSectionTitle) &&
           line.substr(summary::TaskSectionTitle.size()).starts_with(",,");
}
constexpr std::string_view FunctionFields[FiguresPerRow] = {
    "Address",       "ExecuteTimes",  "MinIncluCycle",     "MaxIncluCycle", "AverageIncluCycle",
    "MinExcluCycle", "MaxExcluCycle", "AverageExcluCycle", "Percentage"};
constexpr std::string_view TaskFields[FiguresPerRow] = {
    "Address",       "EnterTimes",    "blank",         "blank",     "SubTotalCycles",
    "MinimumCycles", "MaximumCycles", "AverageCycles", "Percentage"};

// Header lines are short; a name can be long (symbols at one address are joined), but not this.
constexpr size_t LongestHeaderLine = 4096;
constexpr size_t LongestRowLine = size_t{64} << 20;

std::string_view SkipSpaces(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// Spaces, then decimal digits up to the end of the field.
bool ParseUnsigned(std::string_view field, uint64_t& value) {
    std::string_view digits = SkipSpaces(field);
    if (digits.empty() || digits[0] < '0' || digits[0] > '9')
        return false;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
}

bool ParseShare(std::string_view field, double& value) {
    std::string_view digits = SkipSpaces(field);
    if (digits.empty() || digits[0] < '0' || digits[0] > '9')
        return false;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::fixed);
    return error == std::errc() && end == digits.data() + digits.size() && std::isfinite(value);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool ParseAddress(std::string_view field, uint32_t& value) {
    if (field.size() != 8 || !std::all_of(field.begin(), field.end(), IsHexDigit))
        return false;
    std::from_chars(field.data(), field.data() + field.size(), value, 16);
    return true;
}

// A line that starts like a row: eight hexadecimal digits and a comma.
bool StartsLikeRow(std::string_view line) {
    return line.size() > 8 && line[8] == ',' &&
           std::all_of(line.begin(), line.begin() + 8, IsHexDigit);
}

// "<literal><number><literal><number>...": reads the numbers between the expected texts.
class TFixedLine {
public:
    explicit TFixedLine(std::string_view line) : Rest(line) {}
    bool Text(std::string_view expected) {
        if (!Rest.starts_with(expected))
            return false;
        Rest.remove_prefix(expected.size());
        return true;
    }
    bool Number(uint64_t& value) {
        auto [end, error] = std::from_chars(Rest.data(), Rest.data() + Rest.size(), value);
        if (error != std::errc() || Rest.empty() || Rest[0] < '0' || Rest[0] > '9')
            return false;
        Rest.remove_prefix(size_t(end - Rest.data()));
        return true;
    }
    bool AtEnd() const { return Rest.empty(); }

private:
    std::string_view Rest;
};

// "<Title>,,ValidCycles=,%llu,Valid/Total=,%u%"
bool ParseSectionLine(std::string_view line, std::string_view title, uint64_t& validCycles) {
    TFixedLine fixed(line);
    uint64_t percent = 0;
    return fixed.Text(title) && fixed.Text(summary::ValidCyclesKey) && fixed.Number(validCycles) &&
           fixed.Text(summary::ValidPercentKey) && fixed.Number(percent) &&
           fixed.Text(summary::SectionEnd) && fixed.AtEnd();
}

uint64_t SaturatingProduct(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<uint64_t>::max() : product;
}

uint64_t SaturatingSum(uint64_t a, uint64_t b) {
    uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

// A function row holds no total of its exclusive cycles, but two hints to it: the truncated
// average (total lies in [average × calls, average × calls + calls − 1]) and the share of the
// section's cycles, with eight decimals. The share, kept within the average's range, gives the
// total exactly for sections up to 10^8 cycles and within 5 × 10^-9 of the section beyond.
uint64_t EstimateTotal(uint64_t calls, uint64_t average, double share, uint64_t sectionCycles) {
    const long double fromShare = std::roundl((long double)share * (long double)sectionCycles);
    const long double beyond = 18446744073709551616.0L; // 2^64
    uint64_t estimate = fromShare >= beyond ? std::numeric_limits<uint64_t>::max()
                                            : uint64_t(std::max(fromShare, 0.0L));
    if (calls == 0)
        return estimate;
    const uint64_t low = SaturatingProduct(average, calls);
    return std::clamp(estimate, low, SaturatingSum(low, calls - 1));
}

} // namespace

bool TSummaryReader::Feed(std::string_view text) {
    while (FailedLine == 0) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            Partial.append(text);
            if (Partial.size() > LongestLine())
                Fail(LineNumber + 1, "the line is too long for a profile summary");
            break;
        }
        if (Partial.empty()) {
            TakeLine(text.substr(0, end));
        } else {
            Partial.append(text.substr(0, end));
            TakeLine(Partial);
            Partial.clear();
        }
        text.remove_prefix(end + 1);
    }
    return FailedLine == 0;
}

bool TSummaryReader::Finish() {
    if (FailedLine != 0)
        return false;
    if (!Partial.empty()) { // the last line has no line break
        TakeLine(Partial);
        Partial.clear();
        if (FailedLine != 0)
            return false;
    }
    if (PendingEmptyLine != 0) {
        if (!ContinueName(Parsed.Functions, {}))
            Fail(PendingEmptyLine, "an empty line among the function rows");
        return FailedLine == 0;
    }
    switch (State) {
    case TState::Span:
        Fail(1, LineNumber == 0 ? "the file is empty" : "no span line");
        break;
    case TState::FunctionSection:
        Fail(LineNumber + 1, "the file ends before the \"Functions\" line");
        break;
    case TState::FunctionHeader:
        Fail(LineNumber + 1, "the file ends before the function header");
        break;
    case TState::TaskHeader:
        Fail(LineNumber + 1, "the file ends before the task header");
        break;
    case TState::FunctionRows:
    case TState::TaskRows:
        break;
    }
    return FailedLine == 0;
}

void TSummaryReader::TakeLine(std::string_view line) {
    ++LineNumber;
    if (LineNumber == 1)
        CrLf = line.ends_with('\r');
    if (CrLf && line.ends_with('\r'))
        line.remove_suffix(1);

    switch (State) {
    case TState::Span: {
        TFixedLine fixed(line);
        uint64_t last = 0, first = 0;
        if (!(fixed.Text(summary::LastTSCKey) && fixed.Number(last) &&
              fixed.Text(summary::FirstTSCKey) && fixed.Number(first) &&
              fixed.Text(summary::TotalCyclesKey) && fixed.Number(Parsed.TotalCycles) &&
              fixed.Text(summary::SpanEnd) && fixed.AtEnd()))
            return Fail(LineNumber, "the first line is not \"LastTSC=,N,FirstTSC=,N,"
                                    "TotalCycles=,N,\"");
        State = TState::FunctionSection;
        return;
    }
    case TState::FunctionSection:
        if (!ParseSectionLine(line, summary::FunctionSectionTitle, Parsed.FunctionCycles))
            return Fail(LineNumber, "the second line is not \"Functions,,ValidCycles=,N,"
                                    "Valid/Total=,N%\"");
        State = TState::FunctionHeader;
        return;
    case TState::FunctionHeader:
        if (line != summary::FunctionHeader)
            return Fail(LineNumber, "the third line is not the function header");
        State = TState::FunctionRows;
        return;
    case TState::FunctionRows:
        if (PendingEmptyLine != 0) {
            if (StartsTaskSection(line)) {
                if (!ParseSectionLine(line, summary::TaskSectionTitle, Parsed.TaskCycles))
                    return Fail(LineNumber, "not a \"Tasks,,ValidCycles=,N,Valid/Total=,N%\" line");
                PendingEmptyLine = 0;
                SectionAddresses.clear();
                State = TState::TaskHeader;
                return;
            }
            // The empty line was a line break in the previous name.
            if (!ContinueName(Parsed.Functions, {}))
                return Fail(PendingEmptyLine, "an empty line that no \"Tasks\" line follows");
            PendingEmptyLine = 0;
        }
        if (line.empty()) {
            PendingEmptyLine = LineNumber;
            return;
        }
        if (!ContinueName(Parsed.Functions, line))
            TakeRow(line, Parsed.Functions, false);
        return;
    case TState::TaskHeader:
        if (line != summary::TaskHeader)
            return Fail(LineNumber, "the line after the \"Tasks\" line is not the task header");
        State = TState::TaskRows;
        return;
    case TState::TaskRows:
        if (!ContinueName(Parsed.Tasks, line))
            TakeRow(line, Parsed.Tasks, true);
        return;
    }
}

// Names are written as they are, so a name with a line break goes on over the following lines.
// Such a line cannot start like a row: any line that does is read as one.
bool TSummaryReader::ContinueName(std::vector<TSummaryRow>& rows, std::string_view line) {
    if (rows.empty() || StartsLikeRow(line))
        return false;
    rows.back().Name += '\n';
    rows.back().Name += line;
    return true;
}

bool TSummaryReader::TakeRow(std::string_view line, std::vector<TSummaryRow>& rows, bool taskRow) {
    const std::string_view* names = taskRow ? TaskFields : FunctionFields;
    const char* kind = taskRow ? "task row" : "function row";
    std::string_view fields[FiguresPerRow];
    std::string_view rest = line;
    for (size_t i = 0; i < FiguresPerRow; ++i) {
        const size_t comma = rest.find(',');
        if (comma == std::string_view::npos) {
            Fail(LineNumber, std::string("not a ") + kind + ": it ends before its " +
                                 std::string(names[i]) + " field");
            return false;
        }
        fields[i] = rest.substr(0, comma);
        rest.remove_prefix(comma + 1);
    }
    auto bad = [&](size_t field, const char* what) {
        Fail(LineNumber, std::string("not a ") + kind + ": its " + std::string(names[field]) +
                             " field is not " + what);
        return false;
    };

    TSummaryRow row;
    if (!ParseAddress(fields[0], row.Address))
        return bad(0, "eight hexadecimal digits");
    uint64_t figures[FiguresPerRow] = {};
    for (size_t i = 1; i + 1 < FiguresPerRow; ++i) {
        if (taskRow && (i == 2 || i == 3)) {
            if (!SkipSpaces(fields[i]).empty())
                return bad(i, "blank");
        } else if (!ParseUnsigned(fields[i], figures[i])) {
            return bad(i, "a number from 0 to 18446744073709551615");
        }
    }
    double share = 0;
    if (!ParseShare(fields[8], share))
        return bad(8, "a fraction such as 0.25000000");
    if (!SectionAddresses.insert(row.Address).second) {
        Fail(LineNumber,
             std::string("a second ") + kind + " for the address " + std::string(fields[0]));
        return false;
    }
    row.Name = rest;
    row.Calls = figures[1];
    if (taskRow) {
        row.TotalCycles = figures[4];
        row.AverageCycles = figures[7];
    } else {
        row.AverageCycles = figures[7];
        row.TotalCycles = EstimateTotal(row.Calls, row.AverageCycles, share, Parsed.FunctionCycles);
    }
    rows.push_back(std::move(row));
    return true;
}

size_t TSummaryReader::LongestLine() const {
    const bool rows = State == TState::FunctionRows || State == TState::TaskRows;
    return rows ? LongestRowLine : LongestHeaderLine;
}

void TSummaryReader::Fail(uint64_t line, std::string reason) {
    if (FailedLine != 0)
        return;
    FailedLine = line;
    Reason = std::move(reason);
}

TSummaryReader ParseProfileSummary(std::string_view text) {
    TSummaryReader parser;
    parser.Feed(text);
    parser.Finish();
    return parser;
}

} // namespace hookmeter
