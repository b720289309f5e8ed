// Whole jobs through TProfile: status lines, both reports, and the failure paths.
#include "base/StatusReporter.h"
#include "job/Profile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace hookmeter {
namespace {

using test::BinaryTrace;
using test::Enter;
using test::Exit;
using test::RunJob;
using test::TaskIn;
using test::TaskOut;
using test::TextTrace;
using test::TTempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

const char* const Start = "Start profile data processing...";
const char* const Complete = "Profile data processing complete.";
const char* const NoNames = "Get 0 function names, 0 task names from .out file.";

std::vector<std::string> CallListLines(const std::string& callList) {
    std::vector<std::string> lines;
    size_t begin = callList.find('\n') + 1; // after the header
    while (begin < callList.size()) {
        size_t end = callList.find('\n', begin);
        lines.push_back(callList.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

TEST(ProfileJob, AMissingRawFileGivesThreeLinesAndNoReports) {
    TTempDir dir;
    test::TCollectedLines lines;
    test::TJobRun run = RunJob(dir, dir.File("missing.bin"), RawForm::Binary, {}, &lines);
    EXPECT_EQ(run.Lines, (Lines{Start, "!!!Can not open raw data file!!!", Complete}));
    EXPECT_EQ(lines.Events(), (std::vector<std::string>{"started", "ended"}));
    EXPECT_EQ(lines.End().Outcome, JobOutcome::Failed);
    EXPECT_EQ(lines.End().FirstFailure, "!!!Can not open raw data file!!!");
    EXPECT_FALSE(std::filesystem::exists(dir.File("calls.csv")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("profile.csv")));
}

TEST(ProfileJob, AllParametersEmptyStillRunsAndReports) {
    test::TCollectedLines lines;
    {
        TProfile job(TJobParameters{}, &lines);
        job.Start();
    } // destroying a running job waits for it
    EXPECT_EQ(lines.Lines(), (Lines{Start, "!!!Can not open raw data file!!!", Complete}));
}

TEST(ProfileJob, WorkedExampleFromATextTrace) {
    TTempDir dir;
    WriteFile(dir.File("raw.txt"),
              TextTrace({TaskIn(0x1000, 100), Enter(0x8000, 110), Enter(0x8100, 130),
                         TaskOut(0x1000, 150), TaskIn(0x2000, 160), TaskOut(0x2000, 200),
                         TaskIn(0x1000, 210), Exit(0x8100, 215), Exit(0x8000, 240)}));
    test::TJobRun run = RunJob(dir, dir.File("raw.txt"), RawForm::Text);
    EXPECT_EQ(run.Lines,
              (Lines{Start, "Read 9 valid records, 0 invalid records. Find 2 functions, 3 tasks.",
                     NoNames, "Process 9 of 9 records.",
                     "Task main (0x00000000) maximum call stack depth= 0.",
                     "Task ?task #1 (0x00001000) maximum call stack depth= 2.",
                     "Task ?task #2 (0x00002000) maximum call stack depth= 0.", Complete}));
    EXPECT_EQ(CallListLines(run.CallList).back(),
              "00008000,            110,            240,            130,             45,"
              "?function #0");
    EXPECT_NE(run.Profile.find("00001000,           3,             ,             ,"
                               "               50,           50,           50,           16,"
                               "    0.55555556,?task #1\n"),
              std::string::npos);
}

TEST(ProfileJob, ARotatedTraceIsReplayedFromItsEarliestRecordAndWraps) {
    // A circular buffer stored from an arbitrary point: the earliest record is the third.
    std::vector<RawRecord> records = {Exit(0x300, 60),  Exit(0x200, 70),      Enter(0x200, 10),
                                      Enter(0x300, 20), {0xFFFFFFFFu, 0, 30}, Exit(0x300, 40)};
    records.push_back(Enter(0x300, 50));
    for (RawForm fileType : {RawForm::Text, RawForm::Binary}) {
        TTempDir dir;
        WriteFile(dir.File("raw"),
                  fileType == RawForm::Binary ? BinaryTrace(records) : TextTrace(records));
        test::TJobRun run = RunJob(dir, dir.File("raw"), fileType);
        EXPECT_EQ(run.Lines[1], "Read 6 valid records, 1 invalid records. Find 2 functions, 1 "
                                "tasks.");
        EXPECT_EQ(run.Lines[3], "Process 6 of 6 records.");
        std::vector<std::string> calls = CallListLines(run.CallList);
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0], "00000300,             20,             40,             20,"
                            "             20,?function #1");
        EXPECT_EQ(calls[1], "00000300,             50,             60,             10,"
                            "             10,?function #1");
        EXPECT_EQ(calls[2], "00000200,             10,             70,             60,"
                            "             30,?function #0");
        EXPECT_NE(run.Profile.find("LastTSC=,70,FirstTSC=,10,TotalCycles=,60,\n"),
                  std::string::npos);
    }
}

TEST(ProfileJob, ATinyRotatedTextTraceWrapsToo) {
    TTempDir dir;
    // Smaller than one line read: the whole file is in memory once its header is dropped, and
    // the sweep after the wrap starts with an invalid record.
    WriteFile(dir.File("raw.txt"), "h\n0xffffffff\n0x0\n0x0\n0x1\n0x9\n0x0\n0x0\n0x5\n0x0\n");
    test::TJobRun run = RunJob(dir, dir.File("raw.txt"), RawForm::Text);
    EXPECT_EQ(run.Lines[3], "Process 2 of 2 records.");
    EXPECT_EQ(CallListLines(run.CallList),
              Lines{"00000000,              5,              9,              4,              4,"
                    "?function #0"});
}

TEST(ProfileJob, OneValidRecordIsReplayedAlone) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({{0xFFFFFFFFu, 0, 1}, Enter(0x40, 5)}));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary);
    EXPECT_EQ(run.Lines[3], "Process 1 of 1 records.");
    EXPECT_EQ(run.Lines[4], "1 function enter without exit record!");
    EXPECT_EQ(CallListLines(run.CallList),
              Lines{"00000040,              5,              0,              0,              0,"
                    "?function #0 (enter without exit)"});
}

TEST(ProfileJob, NoValidRecordSkipsTheReplayAndStillWritesBothReports) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({{0xFFFFFFFFu, 0, 1}}) + "abc");
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary);
    EXPECT_EQ(run.Lines, (Lines{Start,
                                "Read 0 valid records, 2 invalid records. Find 0 functions, 1 "
                                "tasks.",
                                "The raw data file holds no valid record in the binary form.",
                                NoNames, "Process 0 of 0 records.",
                                "Task main (0x00000000) maximum call stack depth= 0.", Complete}));
    EXPECT_EQ(run.CallList, "Address ,EnterTSC       ,ExitTSC        ,InclusiveCycles,"
                            "ExclusiveCycles,FunctionName\n");
    EXPECT_EQ(run.Profile.substr(0, run.Profile.find("Address")),
              "LastTSC=,18446744073709551615,FirstTSC=,18446744073709551615,TotalCycles=,0,\n"
              "Functions,,ValidCycles=,0,Valid/Total=,0%\n");
}

TEST(ProfileJob, TheStartTaskIsTheOneOfTheEarliestTaskRecord) {
    TTempDir dir;
    // The earliest task record is an exit of 0x500: 0x500 runs from the first TSC, so its exit
    // matches and closes a slice of 10.
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 10), Exit(0x40, 15), TaskOut(0x500, 20),
                                                TaskIn(0x600, 25)}));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary);
    EXPECT_NE(run.Profile.find("00000500,           1,             ,             ,"
                               "               10,           10,           10,           10,"),
              std::string::npos)
        << run.Profile;
    for (const std::string& line : run.Lines)
        EXPECT_FALSE(line.starts_with("Current task")) << line;
}

TEST(ProfileJob, AnUnwritableCallListEndsThePipelineAfterNaming) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)}));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary, [&](TJobParameters& job) {
        job.CallListFileName = dir.File("no-such-dir/calls.csv");
    });
    EXPECT_EQ(
        run.Lines,
        (Lines{Start, "Read 2 valid records, 0 invalid records. Find 1 functions, 1 tasks.",
               NoNames, "!!!Can not open file to list all function/task calls!!!", Complete}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("profile.csv")));
}

TEST(ProfileJob, AnUnwritableProfileIsReportedAfterTheCallList) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)}));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary,
                               [&](TJobParameters& job) { job.ProfileFileName = dir.File("."); });
    EXPECT_EQ(run.Lines[run.Lines.size() - 2],
              "!!!Can not open file to output final profile result!!!");
    EXPECT_EQ(CallListLines(run.CallList).size(), 1u);
}

TEST(ProfileJob, AFullDiskIsReportedForEachReport) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)}));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary, [](TJobParameters& job) {
        job.CallListFileName = "/dev/full";
        job.ProfileFileName = "/dev/full";
    });
    EXPECT_EQ(run.Lines, (Lines{Start,
                                "Read 2 valid records, 0 invalid records. Find 1 functions, 1 "
                                "tasks.",
                                NoNames, "Process 2 of 2 records.",
                                "!!!Can not write file to list all function/task calls, the call "
                                "list is incomplete!!!",
                                "Task main (0x00000000) maximum call stack depth= 1.",
                                "!!!Can not write file to output final profile result, the "
                                "profile summary is incomplete!!!",
                                Complete}));
}

// Every output on an input, or on an output before it, by another spelling or a link: one line
// names both, before anything is opened; nothing is written and the inputs stay as they were.
TEST(ProfileJob, AnOutputOnAnInputOrOnAnotherOutputIsRefusedBeforeAnythingIsOpened) {
    TTempDir dir;
    const std::string trace = BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)});
    WriteFile(dir.File("raw.bin"), trace);
    WriteFile(dir.File("program.out"), "not an executable");
    std::filesystem::create_symlink(dir.File("raw.bin"), dir.File("raw-link.csv"));
    std::filesystem::create_hard_link(dir.File("program.out"), dir.File("program-link.csv"));
    struct TRole {
        const char* Name;
        std::string TJobParameters::*Path;
        std::string Same; // another name of the file the role's own path names
    };
    const TRole inputs[] = {
        {"raw data file", &TJobParameters::RawDataFileName, dir.File("raw-link.csv")},
        {"executable", &TJobParameters::DSPOutFileName, dir.File("program-link.csv")}};
    const TRole outputs[] = {
        {"call list", &TJobParameters::CallListFileName, dir.File("./out/a")},
        {"profile summary", &TJobParameters::ProfileFileName, dir.File("out/../out/a")},
        {"timeline", &TJobParameters::TimelineFileName, dir.File("out//a")},
        {"folded stacks", &TJobParameters::FoldedFileName, dir.File("out/./a")},
        {"statistics", &TJobParameters::StatsFileName, dir.File("out/a")}};
    std::filesystem::create_directory(dir.File("out"));
    std::vector<std::pair<const TRole*, const TRole*>> pairs;
    for (const TRole& output : outputs) {
        for (const TRole& input : inputs)
            pairs.push_back({&input, &output});
        for (const TRole* earlier = outputs; earlier != &output; ++earlier)
            pairs.push_back({earlier, &output});
    }
    for (const auto& [first, second] : pairs) {
        test::TJobRun run =
            RunJob(dir, dir.File("raw.bin"), RawForm::Binary, [&](TJobParameters& job) {
                job.DSPOutFileName = dir.File("program.out");
                job.CallListFileName = dir.File("calls.csv");
                job.ProfileFileName = dir.File("profile.csv");
                job.*(second->Path) = first->Same;
                if (first->Path != &TJobParameters::RawDataFileName &&
                    first->Path != &TJobParameters::DSPOutFileName)
                    job.*(first->Path) = dir.File("out/a");
            });
        EXPECT_EQ(run.Lines, (Lines{Start,
                                    std::string("!!!The ") + first->Name + " and the " +
                                        second->Name + " can not be the same file!!!",
                                    Complete}));
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("calls.csv")));
        EXPECT_EQ(test::ReadFile(dir.File("raw.bin")), trace);
        EXPECT_EQ(test::ReadFile(dir.File("program.out")), "not an executable");
    }
}

TEST(ProfileJob, AFileThatLosesItsRecordsDuringTheReplayStillEnds) {
    TTempDir dir;
    // More records than one read block holds; the third comes after a long gap, and its warning
    // is the moment the file is emptied behind the job's back.
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 70000; ++i) {
        uint64_t tsc = i < 2 ? 10 + i : 0x2000000 + i;
        records.push_back(i % 2 ? Exit(0x40, tsc) : Enter(0x40, tsc));
    }
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    test::TCollectedLines lines;
    lines.OnLine = [&](const std::string& line) {
        if (line.starts_with("Interval"))
            std::filesystem::resize_file(dir.File("raw.bin"), 0);
    };
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary, {}, &lines);
    EXPECT_EQ(run.Lines.back(), Complete);
    EXPECT_NE(std::find(run.Lines.begin(), run.Lines.end(), "Process 65536 of 70000 records."),
              run.Lines.end());
}

// Random records of a few functions and tasks, a few of them invalid, stored rotated.
std::vector<RawRecord> RandomRecords(std::mt19937& random, size_t count) {
    auto pick = [&](uint32_t below) { return uint32_t(random() % below); };
    std::vector<RawRecord> records;
    uint64_t tsc = uint64_t(pick(0x10000)) << 32 | pick(0xFFFFFFFFu); // wide numbers
    for (size_t i = 0; i < count; ++i) {
        tsc += 1 + pick(50);
        uint32_t kind = pick(100);
        uint32_t reserved = pick(0xFFFFFFFFu);
        if (kind < 2)
            records.push_back({0xFFFFFFFFu, reserved, tsc});
        else if (kind < 4)
            records.push_back({0x8000, reserved, tsc | uint64_t{1} << 62});
        else if (kind < 10)
            records.push_back({(1 + pick(3)) << 12 | (2 + pick(2)), reserved, tsc});
        else
            records.push_back({(0x8000 + 4 * pick(20)) | pick(2), reserved, tsc});
    }
    std::rotate(records.begin(), records.begin() + pick(uint32_t(count)), records.end());
    return records;
}

struct TDamagedText {
    std::string Text;
    uint32_t LinesWithoutRecord = 0; // failed reads that the binary form does not have
};

// The records in the text form, every line written in one of the ways that give the same number,
// an invalid record sometimes with a broken last line instead, and here and there lines between
// the records that hold no number.
TDamagedText DamagedText(const std::vector<RawRecord>& records, std::mt19937& random) {
    auto numberLine = [&](uint32_t value) {
        char digits[16];
        std::snprintf(digits, sizeof digits, random() % 2 ? "%x" : "%X", value);
        const char* endings[] = {"\n", "\r\n", " (a note)\n", "\t\n"};
        return "0x" + std::string(random() % 4 == 0 ? random() % 6 : 0, '0') + digits +
               endings[random() % 8 < 5 ? 0 : 1 + random() % 3];
    };
    const char* broken[] = {"\n", "\r\n", "0X12\n", " 0x12\n", "0x\n", "-- a note --\n"};
    TDamagedText damaged{"raw hook records\n"};
    for (const RawRecord& record : records) {
        if (random() % 32 == 0) {
            damaged.Text += broken[random() % 6];
            damaged.LinesWithoutRecord += 1;
        } else if (random() % 64 == 0) {
            damaged.Text += std::string(100, '#') + "\n"; // read in two pieces
            damaged.LinesWithoutRecord += 2;
        }
        damaged.Text += numberLine(record.Address) + numberLine(uint32_t(record.TSC));
        if (!IsValidRecord(record) && random() % 2)
            damaged.Text += "0xZZ\n";
        else
            damaged.Text += numberLine(uint32_t(record.TSC >> 32));
    }
    damaged.Text += "0x8000\n0x5\n"; // cut short by the end, as the binary form below
    return damaged;
}

// The line of the first pass's counts with `more` invalid records.
std::string WithMoreInvalid(const std::string& line, uint32_t more) {
    size_t end = line.find(" invalid records");
    if (end == std::string::npos)
        return line;
    size_t start = line.rfind(' ', end - 1) + 1;
    return line.substr(0, start) + std::to_string(std::stoul(line.substr(start)) + more) +
           line.substr(end);
}

TEST(ProfileJob, TheTextFormGivesTheReportsOfTheBinaryFormWhateverLinesItHolds) {
    // A small trace, and one larger than a read block and than the spool's memory.
    for (size_t count : {300, 40000}) {
        std::mt19937 random{unsigned(count)};
        std::vector<RawRecord> records = RandomRecords(random, count);
        TDamagedText text = DamagedText(records, random);
        TTempDir dir;
        WriteFile(dir.File("raw.bin"), BinaryTrace(records) + "12345");
        WriteFile(dir.File("raw.txt"), text.Text);
        test::TJobRun binary = RunJob(dir, dir.File("raw.bin"), RawForm::Binary);
        test::TJobRun fromText = RunJob(dir, dir.File("raw.txt"), RawForm::Text);
        Lines expected;
        for (const std::string& line : binary.Lines)
            expected.push_back(WithMoreInvalid(line, text.LinesWithoutRecord));
        EXPECT_EQ(fromText.Lines, expected) << count;
        EXPECT_EQ(fromText.CallList, binary.CallList) << count;
        EXPECT_EQ(fromText.Profile, binary.Profile) << count;
        // The same text from a pipe is spooled as it is read.
        ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
        std::thread writer([&] { WriteFile(dir.File("fifo"), text.Text); });
        test::TJobRun fromPipe = RunJob(dir, dir.File("fifo"), RawForm::Text);
        writer.join();
        EXPECT_EQ(fromPipe.Lines, fromText.Lines);
        EXPECT_EQ(fromPipe.CallList, fromText.CallList);
        EXPECT_EQ(fromPipe.Profile, fromText.Profile);
    }
}

TEST(ProfileJob, ProgressLinesComeAtTheirStrides) {
    TTempDir dir;
    // 600,000 valid records, the earliest at the very end: the search passes 524,287 others.
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 599999; ++i)
        records.push_back(i % 2 ? Exit(0x40, 1000 + i) : Enter(0x40, 1000 + i));
    records.push_back(Enter(0x80, 10));
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary);
    Lines expectedStart = {
        Start,
        "Read 524288 records. Find 1 functions, 1 task...",
        "Read 600000 valid records, 0 invalid records. Find 2 functions, 1 tasks.",
        NoNames,
        "Searching for first valid record...",
        "Process 262144 of 600000 records...",
        "Process 524288 of 600000 records...",
        "Process 600000 of 600000 records.",
    };
    ASSERT_GE(run.Lines.size(), expectedStart.size());
    EXPECT_EQ(Lines(run.Lines.begin(), run.Lines.begin() + expectedStart.size()), expectedStart);
}

TEST(ProfileJob, TooManyFunctionsEndsTheFirstPassAndTheJobGoesOn) {
    TTempDir dir;
    std::vector<RawRecord> records;
    for (uint32_t i = 0; i < 65537; ++i)
        records.push_back(Enter(0x1000 + i * 4, 100 + i));
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary,
                               [](TJobParameters& job) { job.CallStackSize = 8192; });
    EXPECT_EQ(run.Lines[1], "Too many functions! Function number >=65536.");
    EXPECT_EQ(run.Lines[2], "Get 0 function names, 0 task names from .out file.");
    // 65,536 records were counted; the stack of 8,191 frames overflows on the 8,192nd enter.
    EXPECT_EQ(run.Lines[3], "Too deep function call stack! If this is expected, you may need "
                            "enlarge the function call stack size.");
    EXPECT_EQ(run.Lines[4], "Process 8192 of 65536 records.");
    EXPECT_EQ(run.Lines[5], "8191 function enter without exit record!");
}

TEST(ProfileJob, TooManyTasksEndsTheFirstPass) {
    TTempDir dir;
    std::vector<RawRecord> records;
    for (uint32_t i = 1; i <= 1024; ++i)
        records.push_back(TaskIn(i * 4, i));
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary);
    EXPECT_EQ(run.Lines[1], "Too many tasks! Task number >=1024.");
    EXPECT_EQ(run.Lines[3], "Process 1023 of 1023 records.");
}

TEST(StatusReporter, LinesLongerThanTheMessageBufferArriveWhole) {
    test::TCollectedLines lines;
    TStatusReporter status(&lines);
    std::string name(5000, 'n');
    name += "\xE2\x82\xAC"; // a multi-byte character right at the end
    status.FormatStatusLine("Task %s (0x%08x) maximum call stack depth= %d.", name.c_str(), 16u, 3);
    status.FormatStatusLine("short %d", 1);
    EXPECT_EQ(lines.Lines(),
              (Lines{"Task " + name + " (0x00000010) maximum call stack depth= 3.", "short 1"}));
}

} // namespace
} // namespace hookmeter
