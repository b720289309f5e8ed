#include "core/Replay.h"
#include "core/CallList.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

namespace hookmeter {
namespace {

using test::Enter;
using test::Exit;
using test::TaskIn;
using test::TaskOut;

constexpr uint32_t F = 0x8000;
constexpr uint32_t G = 0x8100;
constexpr uint32_t H = 0x8200;
constexpr uint32_t T1 = 0x1000;
constexpr uint32_t T2 = 0x2000;

// A call-list line as printf would write it.
std::string Line(uint32_t address, uint64_t enter, uint64_t exit, uint64_t inclusive,
                 uint64_t exclusive, const std::string& nameAndSuffix) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "%08x,%15" PRIu64 ",%15" PRIu64 ",%15" PRIu64 ",%15" PRIu64 ",%s\n", address,
                  enter, exit, inclusive, exclusive, nameAndSuffix.c_str());
    return text;
}

class ReplayTest : public ::testing::Test {
protected:
    // Functions F, G, H and tasks 0, T1, T2, named "f", "g", "h", "main", "t1", "t2".
    void Start(uint32_t startHandle, uint64_t firstTSC, uint32_t callStackSize = 256) {
        for (uint32_t function : {F, G, H})
            tables.FunctionCount = tables.FunctionList.Add(function);
        for (uint32_t task : {T1, T2})
            tables.TaskCount = tables.TaskList.Add(task);
        tables.BuildFunctionEntries();
        tables.BuildTaskEntries(callStackSize);
        const char* functionNames[] = {"f", "g", "h"};
        const char* taskNames[] = {"main", "t1", "t2"};
        for (int i = 0; i < 3; ++i) {
            tables.FunctionEntries()[i].Name = functionNames[i];
            tables.TaskEntries()[i].Name = taskNames[i];
        }
        ASSERT_TRUE(file.Open(dir.File("calls.csv")));
        TaskEntry& start = *tables.FindTask(startHandle);
        start.EnterTSC = firstTSC;
        start.EnterTimes = 1;
        replay = std::make_unique<TReplay>(tables, callStackSize, writer, status, start, firstTSC);
    }

    // Feeds records the way the job does; false when the replay stopped.
    bool Feed(const std::vector<RawRecord>& records) {
        for (const RawRecord& record : records) {
            if (!replay->ProcessRecord(record))
                return false;
            replay->LastTSC = record.TSC;
        }
        return true;
    }

    std::string CallList() {
        file.Close();
        return test::ReadFile(dir.File("calls.csv"));
    }

    FunctionEntry& Function(uint32_t address) { return *tables.FindFunction(address); }
    TaskEntry& Task(uint32_t handle) { return *tables.FindTask(handle); }

    test::TTempDir dir;
    TEntryTables tables;
    test::TCollectedLines lines;
    TStatusReporter status{&lines};
    TOutputFile file;
    TCallListWriter writer{file, tables};
    std::unique_ptr<TReplay> replay;
};

TEST_F(ReplayTest, WorkedExampleGivesItsLinesAndFigures) {
    Start(T1, 100);
    ASSERT_TRUE(
        Feed({TaskIn(T1, 100), Enter(F, 110), Enter(G, 130), TaskOut(T1, 150), TaskIn(T2, 160),
              TaskOut(T2, 200), TaskIn(T1, 210), Exit(G, 215), Exit(F, 240)}));
    EXPECT_EQ(CallList(), Line(T1, 100, 0, 0, 0, "t1 (task enter)") +
                              Line(T1, 0, 150, 0, 0, "t1 (task exit)") +
                              Line(T2, 160, 0, 0, 0, "t2 (task enter)") +
                              Line(T2, 0, 200, 0, 0, "t2 (task exit)") +
                              Line(T1, 210, 0, 0, 0, "t1 (task enter)") +
                              Line(G, 130, 215, 85, 25, "g") + Line(F, 110, 240, 130, 45, "f"));
    EXPECT_TRUE(lines.Lines().empty());
    const FunctionEntry& f = Function(F);
    EXPECT_EQ(f.ExecuteTimes, 1u);
    EXPECT_EQ(f.MinExcluCycle, 45u);
    EXPECT_EQ(f.MaxExcluCycle, 45u);
    EXPECT_EQ(f.TotalIncluCycles, 130u);
    EXPECT_EQ(Task(T1).EnterTimes, 3u);
    EXPECT_EQ(Task(T1).SubTotalCycles, 50u);
    EXPECT_EQ(Task(T1).MaxStackDepth, 2);
    EXPECT_EQ(Task(T2).SubTotalCycles, 40u);
    EXPECT_EQ(Task(T2).MinimumCycles, 40u);
}

TEST_F(ReplayTest, ExclusiveCyclesLeaveOutCallees) {
    Start(0, 0);
    ASSERT_TRUE(
        Feed({Enter(F, 0), Enter(G, 10), Enter(H, 15), Exit(H, 18), Exit(G, 30), Exit(F, 100)}));
    EXPECT_EQ(Function(H).TotalExcluCycles, 3u);
    EXPECT_EQ(Function(G).TotalExcluCycles, 5u + 12u);
    EXPECT_EQ(Function(F).TotalExcluCycles, 10u + 70u);
    EXPECT_EQ(Function(F).TotalIncluCycles, 100u);
    EXPECT_EQ(replay->ExitWithoutEnter + replay->EnterWithoutExit, 0u);
}

TEST_F(ReplayTest, AStackHoldsOneFrameLessThanItsSize) {
    Start(0, 0);
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 255; ++i)
        records.push_back(Enter(i % 2 ? G : F, i));
    ASSERT_TRUE(Feed(records));
    EXPECT_EQ(Task(0).MaxStackDepth, 255);
    EXPECT_FALSE(replay->ProcessRecord(Enter(H, 255)));
    EXPECT_EQ(lines.Lines(),
              std::vector<std::string>{"Too deep function call stack! If this is expected, you "
                                       "may need enlarge the function call stack size."});
    EXPECT_EQ(replay->EnterWithoutExit, 255u);
    EXPECT_EQ(Task(0).StackDepth, 0);
    std::string expected;
    for (uint64_t i = 0; i < 255; ++i)
        expected += Line(i % 2 ? G : F, i, 0, 0, 0,
                         i % 2 ? "g (enter without exit)" : "f (enter without exit)");
    EXPECT_EQ(CallList(), expected);
}

TEST_F(ReplayTest, AnExitNotOnTopGivesUpTheWholeStack) {
    Start(0, 100);
    ASSERT_TRUE(Feed({Enter(F, 100), Enter(G, 110), Exit(F, 120)}));
    EXPECT_EQ(CallList(), Line(F, 0, 120, 0, 0, "f (exit without enter)") +
                              Line(F, 100, 0, 0, 0, "f (enter without exit)") +
                              Line(G, 110, 0, 0, 0, "g (enter without exit)"));
    EXPECT_EQ(lines.Lines(),
              std::vector<std::string>{
                  "Exit record at 0x78 of function f with Address 0x00008000 does not match "
                  "enter record of function g with Address 0x00008100 at call stack 1 of task "
                  "main with handle 0x00000000!"});
    EXPECT_EQ(replay->ExitWithoutEnter, 1u);
    EXPECT_EQ(replay->EnterWithoutExit, 2u);
    EXPECT_EQ(Function(F).ExecuteTimes, 0u);
    EXPECT_EQ(Function(G).ExecuteTimes, 0u);
    // The flush counts the slice up to the top frame's enter.
    EXPECT_EQ(Task(0).SubTotalCycles, 10u);
}

TEST_F(ReplayTest, AnExitOnAnEmptyStackIsCountedAndListed) {
    Start(0, 50);
    ASSERT_TRUE(Feed({Exit(F, 50)}));
    EXPECT_EQ(CallList(), Line(F, 0, 50, 0, 0, "f (exit without enter)"));
    EXPECT_EQ(replay->ExitWithoutEnter, 1u);
    EXPECT_TRUE(lines.Lines().empty());
}

TEST_F(ReplayTest, RecordsForKeysOutsideTheTablesAreIgnoredButEntersArePushed) {
    Start(0, 0);
    const uint32_t unknown = 0x9000;
    ASSERT_TRUE(Feed({Exit(unknown, 1), TaskIn(0x7700, 2), TaskOut(0x7700, 3), Enter(F, 4),
                      Enter(unknown, 5), Exit(unknown, 6)}));
    // The unknown exit was ignored, so the unknown enter is still on top and has no line.
    EXPECT_EQ(Task(0).StackDepth, 2);
    replay->FlushCallStack(Task(0), replay->LastTSC);
    EXPECT_EQ(replay->EnterWithoutExit, 2u);
    EXPECT_EQ(CallList(), Line(F, 4, 0, 0, 0, "f (enter without exit)"));
}

TEST_F(ReplayTest, ABackwardTSCFlushesTheStackAndDropsFunctionRecords) {
    Start(0, 100);
    ASSERT_TRUE(Feed({Enter(F, 100), Enter(G, 200), Exit(G, 199)}));
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{"TSC of current record g (0x00008100) at "
                                                      "0xc7 less than TSC of last record 0xc8 "
                                                      "(-1)!"});
    EXPECT_EQ(Task(0).StackDepth, 0);
    EXPECT_EQ(Function(G).ExecuteTimes, 0u);
    EXPECT_EQ(replay->EnterWithoutExit, 2u);
    EXPECT_EQ(replay->ExitWithoutEnter, 0u);
}

TEST_F(ReplayTest, ABackwardTaskRecordIsStillHandled) {
    Start(0, 100);
    ASSERT_TRUE(Feed({Enter(F, 100), TaskIn(T1, 90)}));
    EXPECT_EQ(lines.Lines().size(), 1u);
    EXPECT_EQ(lines.Lines()[0], "TSC of current record t1 (0x00001000) at 0x5a less than TSC of "
                                "last record 0x64 (-10)!");
    EXPECT_EQ(replay->CurrentTask, &Task(T1));
    EXPECT_EQ(Task(T1).EnterTimes, 1u);
    EXPECT_EQ(CallList(), Line(F, 100, 0, 0, 0, "f (enter without exit)") +
                              Line(T1, 90, 0, 0, 0, "t1 (task enter)"));
}

TEST_F(ReplayTest, AnEqualTSCIsAccepted) {
    Start(0, 100);
    ASSERT_TRUE(Feed({Enter(F, 100), Exit(F, 100)}));
    EXPECT_TRUE(lines.Lines().empty());
    EXPECT_EQ(Function(F).ExecuteTimes, 1u);
    EXPECT_EQ(Function(F).MinIncluCycle, 0u);
}

TEST_F(ReplayTest, OnlyGapsAboveTenMebicyclesAreReported) {
    Start(0, 0);
    ASSERT_TRUE(Feed({Enter(F, 0), Exit(F, 10485760), Enter(F, 2 * 10485760 + 1)}));
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{"Interval between current record "
                                                      "0x1400001 and last record 0xa00000 is "
                                                      "10485761!"});
    // The gap is judged by its low 32 bits: 2^32 + 5 cycles look like 5.
    ASSERT_TRUE(Feed({Exit(F, 2 * 10485760 + 1 + (uint64_t{1} << 32) + 5)}));
    EXPECT_EQ(lines.Lines().size(), 1u);
}

TEST_F(ReplayTest, ATaskExitForAnotherTaskOnlyReportsIt) {
    Start(T1, 0);
    ASSERT_TRUE(Feed({Enter(F, 0), TaskOut(T2, 10)}));
    EXPECT_EQ(lines.Lines(),
              std::vector<std::string>{"Current task t1 with handle 0x00001000 does not match "
                                       "task t2 with handle 0x00002000 in task exit record!"});
    EXPECT_EQ(Task(T2).SubTotalCycles, 0u);
    EXPECT_EQ(Task(T1).SubTotalCycles, 0u);
    EXPECT_EQ(Task(T1).StackDepth, 1);
    EXPECT_EQ(CallList(), Line(T2, 0, 10, 0, 0, "t2 (task exit)"));
}

TEST_F(ReplayTest, ATaskExitBeforeItsEnterIsReportedAndNotCounted) {
    Start(0, 0);
    ASSERT_TRUE(Feed({TaskIn(T1, 500), TaskOut(T1, 200)}));
    EXPECT_EQ(lines.Lines(),
              (std::vector<std::string>{"TSC of current record t1 (0x00001000) at 0xc8 less than "
                                        "TSC of last record 0x1f4 (-300)!",
                                        "Task t1 with handle 0x00001000 exit TSC 0xc8 less than "
                                        "enter TSC 0x1f4 (-300)!"}));
    EXPECT_EQ(Task(T1).SubTotalCycles, 0u);
    EXPECT_EQ(Task(T1).MaximumCycles, 0u);
    EXPECT_EQ(CallList(),
              Line(T1, 500, 0, 0, 0, "t1 (task enter)") + Line(T1, 0, 200, 0, 0, "t1 (task exit)"));
}

TEST_F(ReplayTest, ATaskExitAtItsEnterTSCCountsASliceOfZero) {
    Start(0, 0);
    ASSERT_TRUE(Feed({TaskIn(T1, 10), TaskOut(T1, 10)}));
    EXPECT_EQ(Task(T1).MinimumCycles, 0u);
    EXPECT_EQ(Task(T1).MaximumCycles, 0u);
    EXPECT_TRUE(lines.Lines().empty());
}

TEST_F(ReplayTest, ATaskExitCreditsTheTopFrameAndATaskEnterCreditsNobody) {
    Start(T1, 0);
    ASSERT_TRUE(
        Feed({Enter(F, 0), TaskOut(T1, 30), TaskIn(T2, 40), TaskIn(T1, 100), Exit(F, 110)}));
    EXPECT_EQ(Function(F).TotalExcluCycles, 30u + 10u);
    EXPECT_EQ(Function(F).TotalIncluCycles, 110u);
    EXPECT_EQ(Task(T1).SubTotalCycles, 30u);
}

TEST_F(ReplayTest, FlushingCountsThePartialSliceUpToTheTopFrame) {
    Start(T1, 10);
    ASSERT_TRUE(Feed({Enter(F, 10), Enter(G, 25)}));
    replay->FlushCallStack(Task(T1), replay->LastTSC);
    EXPECT_EQ(Task(T1).SubTotalCycles, 15u);
    EXPECT_EQ(Task(T1).EnterTimes, 1u);
    EXPECT_EQ(Task(T1).MaxStackDepth, 2);
    EXPECT_EQ(replay->EnterWithoutExit, 2u);
}

TEST_F(ReplayTest, ASmallStackOverflowsAtItsSizeLessOne) {
    Start(0, 0, 64);
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 63; ++i)
        records.push_back(Enter(F, i));
    ASSERT_TRUE(Feed(records));
    EXPECT_FALSE(replay->ProcessRecord(Enter(F, 63)));
    EXPECT_EQ(replay->EnterWithoutExit, 63u);
    EXPECT_EQ(Task(0).MaxStackDepth, 63);
}

} // namespace
} // namespace hookmeter
