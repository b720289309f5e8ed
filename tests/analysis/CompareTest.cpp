#include "analysis/Compare.h"
#include "cli/CompareTable.h"
#include "core/SummaryFile.h"
#include "core/SummaryReader.h"
#include "core/SummaryWriter.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace hookmeter {
namespace {

constexpr uint64_t Max64 = std::numeric_limits<uint64_t>::max();

// What the job writes for these entries; the entries come back in the file's order.
std::string WrittenSummary(std::vector<FunctionEntry>& functions, std::vector<TaskEntry>& tasks) {
    test::TTempDir dir;
    TOutputFile file;
    EXPECT_TRUE(file.Open(dir.File("profile.csv")));
    TSummaryTotals totals = PrepareSummary(functions, tasks);
    WriteProfileSummary(file, functions, tasks, 1000, 1000 + (Max64 >> 1), totals);
    EXPECT_TRUE(file.Close());
    return test::ReadFile(dir.File("profile.csv"));
}

// Names as a symbol table can hold them: commas, line breaks, empty lines, control characters.
const char* const OddNames[] = {"plain",         "a,b,,c",       "two\nlines",
                                "empty\n\nline", "ends\n",       "cr\r",
                                "tab\tx",        " - joined - ", ""};

struct TEntries {
    std::vector<FunctionEntry> Functions;
    std::vector<TaskEntry> Tasks;
};

FunctionEntry Function(uint32_t address, const char* name, uint32_t calls, uint64_t exclusive) {
    FunctionEntry f{};
    f.Address = address;
    f.Name = name;
    f.ExecuteTimes = calls;
    f.TotalExcluCycles = f.TotalIncluCycles = f.MaxExcluCycle = f.MaxIncluCycle = exclusive;
    f.MinExcluCycle = f.MinIncluCycle = NoMinimum;
    return f;
}

TaskEntry Task(uint32_t handle, const char* name, uint32_t enters, uint64_t cycles) {
    TaskEntry t{};
    t.Handle = handle;
    t.Name = name;
    t.EnterTimes = enters;
    t.SubTotalCycles = t.MaximumCycles = cycles;
    t.MinimumCycles = NoMinimum;
    return t;
}

TEntries RandomEntries(std::mt19937_64& random, uint64_t largestTotal) {
    TEntries entries;
    std::uniform_int_distribution<uint64_t> total(0, largestTotal);
    for (uint32_t i = 0; i < 60; ++i) {
        const auto calls = uint32_t(random() % 3 == 0 ? random() % 3 : random());
        entries.Functions.push_back(Function(0x8000 + 4 * i, OddNames[i % std::size(OddNames)],
                                             calls, calls ? total(random) : 0));
    }
    entries.Tasks.push_back(Task(0, "main", 1, 0));
    for (uint32_t i = 1; i < 5; ++i)
        entries.Tasks.push_back(Task(0x100 * i, OddNames[i], uint32_t(random()), total(random)));
    return entries;
}

std::string WithCrLf(const std::string& text) {
    std::string converted;
    for (char c : text)
        converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return converted;
}

TEST(CompareSummaryReader, ReadsBackWhatTheJobWrites) {
    std::mt19937_64 random(7);
    // Totals small enough that the shares pin them down, then as large as they come.
    for (uint64_t largestTotal : {uint64_t{1000000}, Max64 / 64}) {
        TEntries entries = RandomEntries(random, largestTotal);
        const std::string text = WrittenSummary(entries.Functions, entries.Tasks);
        TSummaryReader parsed = ParseProfileSummary(text);
        ASSERT_EQ(parsed.Error(), "") << "line " << parsed.ErrorLine();
        const TParsedSummary& summary = parsed.Summary();
        EXPECT_EQ(summary.TotalCycles, Max64 >> 1);
        ASSERT_EQ(summary.Functions.size(), entries.Functions.size());
        for (size_t i = 0; i < entries.Functions.size(); ++i) {
            const FunctionEntry& f = entries.Functions[i];
            const TSummaryRow& row = summary.Functions[i];
            EXPECT_EQ(row.Address, f.Address);
            EXPECT_EQ(row.Name, f.Name);
            EXPECT_EQ(row.Calls, f.ExecuteTimes);
            const uint64_t average = f.ExecuteTimes ? f.TotalExcluCycles / f.ExecuteTimes : 0;
            EXPECT_EQ(row.AverageCycles, average);
            if (largestTotal * entries.Functions.size() < 100000000) {
                EXPECT_EQ(row.TotalCycles, f.TotalExcluCycles) << f.Name;
            }
            EXPECT_GE(row.TotalCycles, average * f.ExecuteTimes);
            EXPECT_LE(row.TotalCycles - average * f.ExecuteTimes,
                      std::max<uint64_t>(f.ExecuteTimes, 1) - 1);
        }
        ASSERT_EQ(summary.Tasks.size(), entries.Tasks.size());
        for (size_t i = 0; i < entries.Tasks.size(); ++i) {
            EXPECT_EQ(summary.Tasks[i].Name, entries.Tasks[i].Name);
            EXPECT_EQ(summary.Tasks[i].Calls, entries.Tasks[i].EnterTimes);
            EXPECT_EQ(summary.Tasks[i].TotalCycles, entries.Tasks[i].SubTotalCycles);
        }

        // The same summary with CRLF line ends, or handed over in pieces of any size.
        EXPECT_EQ(ParseProfileSummary(WithCrLf(text)).Summary(), summary);
        for (size_t piece : {1, 2, 3, 7, 64, 4093}) {
            TSummaryReader parser;
            for (size_t at = 0; at < text.size(); at += piece)
                parser.Feed(std::string_view(text).substr(at, piece));
            ASSERT_TRUE(parser.Finish()) << piece;
            EXPECT_EQ(parser.Summary(), summary) << piece;
        }
    }
}

TEST(CompareSummaryReader, FiguresUpTo64Bits) {
    std::vector<FunctionEntry> functions = {Function(0xfffffffc, "big", 0xffffffff, Max64),
                                            Function(0x10, "one call", 1, Max64 - 1)};
    std::vector<TaskEntry> tasks = {Task(0, "main", 0, 0), Task(4, "t", 1, Max64)};
    TSummaryReader parsed = ParseProfileSummary(WrittenSummary(functions, tasks));
    ASSERT_EQ(parsed.Error(), "");
    const TParsedSummary& summary = parsed.Summary();
    EXPECT_EQ(summary.Functions[0].AverageCycles, Max64 / 0xffffffff);
    EXPECT_EQ(summary.Functions[1].TotalCycles, Max64 - 1); // one call: the average is the total
    EXPECT_EQ(summary.Tasks[0].TotalCycles, Max64);
}

TEST(CompareSummaryReader, NamesTheLineWhereATextStopsBeingASummary) {
    const std::string span = "LastTSC=,9,FirstTSC=,1,TotalCycles=,8,\n";
    const std::string functions = "Functions,,ValidCycles=,8,Valid/Total=,100%\n";
    const std::string header = "Address ,ExecuteTimes,MinIncluCycle,MaxIncluCycle,"
                               "AverageIncluCycle,MinExcluCycle,MaxExcluCycle,"
                               "AverageExcluCycle,Percentage,Name\n";
    const std::string row = "00000010,           2,            1,            9,            4,  "
                            "              1,            7,            4,    1.00000000,f\n";
    const std::string tasks = "\nTasks,,ValidCycles=,8,Valid/Total=,100%\n";
    const std::string top = span + functions + header;
    struct TCase {
        std::string Text;
        uint64_t Line;
    };
    for (const TCase& bad : std::vector<TCase>{
             {"", 1},
             {"Address ,EnterTSC ,ExitTSC ,InclusiveCycles,ExclusiveCycles,FunctionName\n", 1},
             {"\x7f"
              "ELF\x01\x01\x01",
              1},
             {std::string(100000, 'x'), 1},
             {span + "Functions,,ValidCycles=,x,Valid/Total=,1%\n" + header, 2},
             {span + functions + "Address,ExecuteTimes\n", 3},
             {span + functions, 3},
             {top + row +
                  "00000020,           2,            1,            x,            4,  "
                  "              1,            7,            4,    1.00000000,g\n",
              5},
             {top + row + "00000020,           2,            1\n", 5},
             {top + "hello\n", 4},
             {top + row + row, 5},
             {top + "\n" + row, 4},
             {top + row + tasks, 7},
             {top + row + tasks + header, 7},
         }) {
        TSummaryReader parsed = ParseProfileSummary(bad.Text);
        EXPECT_EQ(parsed.ErrorLine(), bad.Line) << bad.Text.substr(0, 300);
        EXPECT_NE(parsed.Error(), "");
    }

    test::TTempDir dir;
    test::WriteFile(dir.File("calls.csv"), top + row + "00000020,garbage\n");
    TSummaryFile file = ReadProfileSummaryFile(dir.File("calls.csv"));
    EXPECT_FALSE(file.Summary);
    EXPECT_TRUE(file.Error.starts_with(dir.File("calls.csv") + ":5: ")) << file.Error;
    file = ReadProfileSummaryFile(dir.File("missing.csv"));
    EXPECT_FALSE(file.Summary);
    EXPECT_TRUE(file.Error.starts_with(dir.File("missing.csv") + ": ")) << file.Error;
    EXPECT_FALSE(ReadProfileSummaryFile(dir.File("")).Summary); // a directory
}

TSummaryRow Row(const char* name, uint32_t address, uint64_t total, uint64_t calls = 1,
                uint64_t average = 0) {
    return {address, name, calls, average ? average : total / calls, total};
}

// What became of the row with this total before: its total after, 0 when it is gone.
uint64_t AfterOf(const std::vector<TComparedRow>& rows, uint64_t totalBefore) {
    for (const TComparedRow& row : rows)
        if (row.Before && row.TotalBefore == totalBefore)
            return row.After ? row.TotalAfter : 0;
    return Max64;
}

bool IsNew(const std::vector<TComparedRow>& rows, uint64_t totalAfter) {
    return std::any_of(rows.begin(), rows.end(), [&](const TComparedRow& row) {
        return !row.Before && row.TotalAfter == totalAfter;
    });
}

TEST(Compare, MatchesByNameAndNumberedNamesByAddress) {
    TParsedSummary before, after;
    before.Functions = {Row("moved", 0x10, 100),        Row("?function #0", 0x20, 200),
                        Row("?function #1", 0x30, 300), Row("twin", 0x40, 400),
                        Row("twin", 0x50, 500),         Row("gone", 0x60, 600)};
    after.Functions = {Row("moved", 0x110, 1100),       Row("?function #0", 0x30, 1300),
                       Row("?function #1", 0x70, 1700), Row("twin", 0x50, 1500),
                       Row("twin", 0x90, 1400),         Row("new", 0xa0, 1600)};
    before.Tasks = {Row("main", 0, 10), Row("?task #1", 0x100, 20)};
    after.Tasks = {Row("?task #2", 0x100, 30), Row("main", 0, 40), Row("?task #1", 0x200, 50)};
    TComparison comparison = CompareSummaries(before, after);

    auto afterOf = [&](uint64_t totalBefore) { return AfterOf(comparison.Functions, totalBefore); };
    EXPECT_EQ(afterOf(100), 1100u);
    EXPECT_EQ(afterOf(300), 1300u);
    EXPECT_EQ(afterOf(200), 0u); // ?function #0 at 0x20 is gone, whatever its number
    EXPECT_EQ(afterOf(500), 1500u);
    EXPECT_EQ(afterOf(400), 1400u);
    EXPECT_EQ(afterOf(600), 0u);
    EXPECT_TRUE(IsNew(comparison.Functions, 1700));
    EXPECT_TRUE(IsNew(comparison.Functions, 1600));
    EXPECT_EQ(comparison.Functions.size(), 8u);
    EXPECT_EQ(AfterOf(comparison.Tasks, 10), 40u);
    EXPECT_EQ(AfterOf(comparison.Tasks, 20), 30u);
    EXPECT_TRUE(IsNew(comparison.Tasks, 50));

    for (const auto* rows : {&comparison.Functions, &comparison.Tasks})
        EXPECT_TRUE(std::is_sorted(rows->begin(), rows->end(), [](const auto& x, const auto& y) {
            return x.TotalChange() > y.TotalChange();
        }));
}

TEST(Compare, TheTableShowsEveryRowOnALineOfItsOwn) {
    TParsedSummary before, after;
    before.Functions = {Row("two\nlines", 0x10, 100), Row("gone", 0x20, 5)};
    after.Functions = {Row("two\nlines", 0x10, 150), Row("?function #0", 0x30, 7)};
    after.Tasks = {Row("main", 0, 10)};
    const std::string table = FormatComparisonTable(CompareSummaries(before, after),
                                                    {"base.csv", &before}, {"new.csv", &after});
    // two file lines, then an empty line, a title and a header before each section's rows
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2 + 3 + 3 + 3 + 1);
    EXPECT_NE(table.find("two\\x0alines"), std::string::npos) << table;
    EXPECT_NE(table.find("?function #0 at 00000030"), std::string::npos) << table;
    EXPECT_NE(table.find(" gone "), std::string::npos) << table;
    EXPECT_NE(table.find(" new "), std::string::npos) << table;
    EXPECT_NE(table.find("+50.00%  "), std::string::npos) << table;
}

TEST(Compare, TheGateTakesFunctionsThatGrewMoreThanTheThresholdWithEnoughCalls) {
    TParsedSummary before, after;
    before.Functions = {Row("by5", 0x10, 1000, 10),     Row("by6", 0x20, 1000, 10),
                        Row("fewBefore", 0x30, 100, 1), Row("fewAfter", 0x38, 200, 2),
                        Row("fromZero", 0x40, 0, 5),    Row("faster", 0x50, 2000, 10),
                        Row("gone", 0x60, 1, 1),        Row("huge", 0x70, Max64, 2, Max64 / 2 - 1)};
    after.Functions = {Row("by5", 0x10, 1050, 10),     Row("by6", 0x20, 1060, 10),
                       Row("fewBefore", 0x30, 400, 2), Row("fewAfter", 0x38, 200, 1),
                       Row("fromZero", 0x40, 5, 5),    Row("faster", 0x50, 1000, 10),
                       Row("new", 0x80, Max64, 1),     Row("huge", 0x70, Max64, 2, Max64 / 2)};
    const TComparison comparison = CompareSummaries(before, after);
    auto flagged = [&](double threshold, uint64_t minCalls) {
        std::vector<std::string> names;
        for (const TComparedRow* row : FindRegressions(comparison, {threshold, minCalls}))
            names.push_back(row->Name);
        std::sort(names.begin(), names.end());
        return names;
    };
    using TNames = std::vector<std::string>;
    EXPECT_EQ(flagged(5, 1), (TNames{"by6", "fewAfter", "fewBefore", "fromZero"}));
    EXPECT_EQ(flagged(5, 2), (TNames{"by6", "fromZero"}));
    EXPECT_EQ(flagged(5.9, 2), (TNames{"by6", "fromZero"}));
    EXPECT_EQ(flagged(6, 2), (TNames{"fromZero"}));
    EXPECT_EQ(flagged(0, 2), (TNames{"by5", "by6", "fromZero", "huge"}));
    EXPECT_EQ(flagged(1e-15, 2), (TNames{"by5", "by6", "fromZero"}));
}

} // namespace
} // namespace hookmeter
