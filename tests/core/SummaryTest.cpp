#include "core/SummaryWriter.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace hookmeter {
namespace {

constexpr char FunctionHeader[] =
    "Address ,ExecuteTimes,MinIncluCycle,MaxIncluCycle,AverageIncluCycle,MinExcluCycle,"
    "MaxExcluCycle,AverageExcluCycle,Percentage,Name\n";
constexpr char TaskHeader[] = "Address   ,EnterTimes,             ,             ,SubTotalCycles   "
                              ",MinimumCycles,MaximumCycles,AverageCycles    ,Percentage,Name\n";

FunctionEntry Function(uint32_t address, const char* name, uint32_t calls = 0,
                       uint64_t exclusive = 0, uint64_t inclusive = 0) {
    FunctionEntry f{};
    f.Address = address;
    f.Name = name;
    f.ExecuteTimes = calls;
    f.TotalExcluCycles = exclusive;
    f.TotalIncluCycles = inclusive;
    f.MinExcluCycle = f.MinIncluCycle = calls ? 1 : NoMinimum;
    f.MaxExcluCycle = calls ? exclusive : 0;
    f.MaxIncluCycle = calls ? inclusive : 0;
    return f;
}

TaskEntry Task(uint32_t handle, const char* name, uint32_t enters = 0, uint64_t cycles = 0) {
    TaskEntry t{};
    t.Handle = handle;
    t.Name = name;
    t.EnterTimes = enters;
    t.SubTotalCycles = cycles;
    t.MinimumCycles = enters ? cycles : NoMinimum;
    t.MaximumCycles = enters ? cycles : 0;
    return t;
}

// A function row as printf writes it.
std::string Row(const FunctionEntry& f, double percentage) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "%08x,%12u,%13" PRIu64 ",%13" PRIu64 ",%13" PRIu64 ",    %13" PRIu64 ",%13" PRIu64
                  ",%13" PRIu64 ",    %.8f,%s\n",
                  f.Address, f.ExecuteTimes, f.MinIncluCycle, f.MaxIncluCycle,
                  f.ExecuteTimes ? f.TotalIncluCycles / f.ExecuteTimes : 0, f.MinExcluCycle,
                  f.MaxExcluCycle, f.ExecuteTimes ? f.TotalExcluCycles / f.ExecuteTimes : 0,
                  percentage, f.Name);
    return text;
}

std::string Row(const TaskEntry& t, double percentage) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "%08x,%12u,             ,             ,%17" PRIu64 ",%13" PRIu64 ",%13" PRIu64
                  ",%13" PRIu64 ",    %.8f,%s\n",
                  t.Handle, t.EnterTimes, t.SubTotalCycles, t.MinimumCycles, t.MaximumCycles,
                  t.EnterTimes ? t.SubTotalCycles / t.EnterTimes : 0, percentage, t.Name);
    return text;
}

std::string Summary(std::vector<FunctionEntry>& functions, std::vector<TaskEntry>& tasks,
                    uint64_t firstTSC, uint64_t lastTSC) {
    test::TTempDir dir;
    TOutputFile file;
    EXPECT_TRUE(file.Open(dir.File("profile.csv")));
    TSummaryTotals totals = PrepareSummary(functions, tasks);
    WriteProfileSummary(file, functions, tasks, firstTSC, lastTSC, totals);
    EXPECT_TRUE(file.Close());
    return test::ReadFile(dir.File("profile.csv"));
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    return lines;
}

TEST(Summary, WorkedExample) {
    std::vector<FunctionEntry> functions = {Function(0x8000, "f", 1, 45, 130),
                                            Function(0x8100, "g", 1, 25, 85)};
    functions[0].MinExcluCycle = 45;
    functions[0].MinIncluCycle = 130;
    functions[1].MinExcluCycle = 25;
    functions[1].MinIncluCycle = 85;
    std::vector<TaskEntry> tasks = {Task(0, "main"), Task(0x1000, "T1", 3, 50),
                                    Task(0x2000, "T2", 1, 40)};
    std::string text = Summary(functions, tasks, 100, 240);
    EXPECT_EQ(text, std::string("LastTSC=,240,FirstTSC=,100,TotalCycles=,140,\n"
                                "Functions,,ValidCycles=,70,Valid/Total=,50%\n") +
                        FunctionHeader + Row(functions[0], 45.0 / 70) +
                        Row(functions[1], 25.0 / 70) +
                        "\nTasks,,ValidCycles=,90,Valid/Total=,64%\n" + TaskHeader +
                        Row(tasks[0], 50.0 / 90) + Row(tasks[1], 40.0 / 90) + Row(tasks[2], 0.0));
    EXPECT_NE(text.find("    0.64285714,f\n"), std::string::npos);
    EXPECT_NE(text.find("           16,    0.55555556,T1\n"), std::string::npos);
}

TEST(Summary, EntriesNeverMeasuredPrintZeroMinima) {
    std::vector<FunctionEntry> functions = {Function(0x10, "open"),
                                            Function(0x20, "done", 2, 7, 9)};
    std::vector<TaskEntry> tasks = {Task(0, "main")};
    std::vector<std::string> lines = SplitLines(Summary(functions, tasks, 0, 14));
    ASSERT_EQ(lines.size(), 5u); // no task section with the pre-set task alone
    EXPECT_EQ(lines[3], "00000020,           2,            1,            9,          "
                        "  4,                1,            7,            3,    1.00000000,done\n");
    EXPECT_EQ(lines[4], "00000010,           0,            0,            0,          "
                        "  0,                0,            0,            0,    0.00000000,open\n");
    EXPECT_EQ(lines[1], "Functions,,ValidCycles=,7,Valid/Total=,50%\n");
}

TEST(Summary, ValidOverTotalIsTruncated) {
    std::vector<FunctionEntry> functions = {Function(0x10, "a", 1, 2)};
    std::vector<TaskEntry> tasks = {Task(0, "main")};
    EXPECT_EQ(SplitLines(Summary(functions, tasks, 0, 3))[1],
              "Functions,,ValidCycles=,2,Valid/Total=,66%\n");
}

TEST(Summary, AnEmptySpanOrEmptySectionPrintsZerosNeverNan) {
    std::vector<FunctionEntry> functions = {Function(0x10, "a"), Function(0x20, "b")};
    std::vector<TaskEntry> tasks = {Task(0, "main"), Task(0x100, "t", 1, 0)};
    std::string text = Summary(functions, tasks, 77, 77);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    std::vector<std::string> lines = SplitLines(text);
    EXPECT_EQ(lines[0], "LastTSC=,77,FirstTSC=,77,TotalCycles=,0,\n");
    EXPECT_EQ(lines[1], "Functions,,ValidCycles=,0,Valid/Total=,0%\n");
    EXPECT_EQ(lines[3].substr(lines[3].size() - 17), "    0.00000000,a\n");
    EXPECT_EQ(lines[6], "Tasks,,ValidCycles=,0,Valid/Total=,0%\n");
}

TEST(Summary, OneTaskBesidesThePresetTaskWritesBothRows) {
    std::vector<FunctionEntry> functions;
    std::vector<TaskEntry> tasks = {Task(0, "main", 1, 10), Task(0x100, "t", 2, 30)};
    std::vector<std::string> lines = SplitLines(Summary(functions, tasks, 0, 40));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3], "\n");
    EXPECT_EQ(lines[4], "Tasks,,ValidCycles=,40,Valid/Total=,100%\n");
    EXPECT_EQ(lines[5], TaskHeader);
    EXPECT_EQ(lines[6], Row(tasks[0], 0.75));
    EXPECT_EQ(lines[6].substr(0, 8), "00000100");
    EXPECT_EQ(lines[7].substr(0, 8), "00000000");
}

TEST(Summary, EqualKeysFollowTheExchangeSort) {
    // Addresses in ascending order with exclusive cycles A = 2, B = 1, C = 1, D = 3.
    std::vector<FunctionEntry> functions = {Function(0xA0, "A", 1, 2), Function(0xB0, "B", 1, 1),
                                            Function(0xC0, "C", 1, 1), Function(0xD0, "D", 1, 3)};
    std::vector<TaskEntry> tasks = {Task(0, "main")};
    std::vector<std::string> lines = SplitLines(Summary(functions, tasks, 0, 10));
    std::string order;
    for (size_t i = 3; i < lines.size(); ++i)
        order += lines[i][lines[i].size() - 2];
    EXPECT_EQ(order, "DACB");
}

TEST(Summary, WideNumbersArePrintedInFull) {
    std::vector<FunctionEntry> functions = {Function(0x10, "big", 1, UINT64_MAX / 2, UINT64_MAX)};
    functions[0].MinIncluCycle = UINT64_MAX;
    std::vector<TaskEntry> tasks = {Task(0, "main")};
    std::vector<std::string> lines = SplitLines(Summary(functions, tasks, 1, 0));
    EXPECT_EQ(lines[0], "LastTSC=,0,FirstTSC=,1,TotalCycles=,18446744073709551615,\n");
    EXPECT_EQ(lines[3], Row(functions[0], 1.0));
}

} // namespace
} // namespace hookmeter
