// Jobs that meet faults: odd raw inputs, files that change under the job, a stop, colliding
// reports, counts that would wrap. None of them may look like a success.
#include "core/FirstPass.h"
#include "core/RawFile.h"
#include "job/Profile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace hookmeter {
namespace {

using test::BinaryTrace;
using test::Enter;
using test::Exit;
using test::RunJob;
using test::TaskIn;
using test::TextTrace;
using test::TTempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

const char* const Start = "Start profile data processing...";
const char* const Complete = "Profile data processing complete.";
const char* const Changed =
    "!!!Raw data file changed during processing, the reports are incomplete!!!";
const char* const StoppedLine = "!!!Processing stopped, the reports are not written!!!";

std::vector<std::string> FileNames(const TTempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A rotated trace with nested calls and a task switch: its replay wraps around the end.
std::vector<RawRecord> RotatedTrace() {
    return {Exit(0x300, 60),  Exit(0x200, 70), TaskIn(0x1000, 5), Enter(0x200, 10),
            Enter(0x300, 20), Exit(0x300, 40), Enter(0x300, 50)};
}

TEST(Faults, AFolderAsTheRawFileIsNotOpenedAndNothingIsWritten) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("raw"));
    for (RawForm fileType : {RawForm::Text, RawForm::Binary}) {
        test::TJobRun run = RunJob(dir, dir.File("raw"), fileType);
        EXPECT_EQ(run.Lines, (Lines{Start, "!!!Can not open raw data file!!!", Complete}));
        EXPECT_EQ(FileNames(dir), Lines{"raw"});
    }
}

TEST(Faults, AReadErrorIsNotTheEndOfTheFile) {
    // Reading /proc/self/mem at offset 0 fails with an I/O error.
    TTempDir dir;
    test::TJobRun run = RunJob(dir, "/proc/self/mem", RawForm::Binary);
    EXPECT_EQ(run.Lines, (Lines{Start, "!!!Can not read raw data file!!!", Complete}));
    EXPECT_TRUE(FileNames(dir).empty());
}

TEST(Faults, AStreamIsReplayedLikeTheFileItCameFrom) {
    for (RawForm fileType : {RawForm::Text, RawForm::Binary}) {
        TTempDir dir;
        std::string trace =
            fileType == RawForm::Binary ? BinaryTrace(RotatedTrace()) : TextTrace(RotatedTrace());
        WriteFile(dir.File("raw"), trace);
        test::TJobRun fromFile = RunJob(dir, dir.File("raw"), fileType);
        ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
        std::thread writer([&] { WriteFile(dir.File("fifo"), trace); });
        test::TJobRun fromStream = RunJob(dir, dir.File("fifo"), fileType);
        writer.join();
        EXPECT_EQ(fromStream.Lines, fromFile.Lines);
        EXPECT_EQ(fromStream.Lines[3], "Process 7 of 7 records.");
        EXPECT_EQ(fromStream.CallList, fromFile.CallList);
        EXPECT_EQ(fromStream.Profile, fromFile.Profile);
    }
}

// Runs a job on a binary trace and calls `change` on the raw file once the first pass is over.
test::TJobRun RunAndChange(const TTempDir& dir, const std::vector<RawRecord>& records,
                           const std::function<void(const std::string&)>& change) {
    WriteFile(dir.File("raw.bin"), BinaryTrace(records));
    test::TCollectedLines lines;
    lines.OnLine = [&](const std::string& line) {
        if (line.starts_with("Get "))
            change(dir.File("raw.bin"));
    };
    return RunJob(dir, dir.File("raw.bin"), RawForm::Binary, {}, &lines);
}

TEST(Faults, ARawFileThatShrinksOrIsReplacedMarksTheReportsIncomplete) {
    std::vector<RawRecord> records = RotatedTrace();
    std::vector<std::function<void(const std::string&)>> changes = {
        [](const std::string& raw) { std::filesystem::resize_file(raw, 3 * 16); },
        [&](const std::string& raw) {
            WriteFile(raw + ".new", BinaryTrace(records));
            std::filesystem::rename(raw + ".new", raw);
        },
    };
    for (const auto& change : changes) {
        TTempDir dir;
        test::TJobRun run = RunAndChange(dir, records, change);
        EXPECT_EQ(run.Lines[3], "Process 0 of 7 records.");
        EXPECT_EQ(run.Lines[4], Changed);
        EXPECT_EQ(run.Lines.back(), Complete);
        EXPECT_EQ(run.CallList, "Address ,EnterTSC       ,ExitTSC        ,InclusiveCycles,"
                                "ExclusiveCycles,FunctionName\n");
    }
}

TEST(Faults, RecordsAddedAfterTheFirstPassAreIgnored) {
    TTempDir dir;
    test::TJobRun plain = RunJob(
        dir, (WriteFile(dir.File("plain.bin"), BinaryTrace(RotatedTrace())), dir.File("plain.bin")),
        RawForm::Binary);
    test::TJobRun grown = RunAndChange(dir, RotatedTrace(), [](const std::string& raw) {
        std::ofstream(raw, std::ios::app | std::ios::binary)
            << BinaryTrace({Enter(0x400, 1), Exit(0x400, 2)});
    });
    EXPECT_EQ(grown.Lines, plain.Lines);
    EXPECT_EQ(grown.CallList, plain.CallList);
    EXPECT_EQ(grown.Profile, plain.Profile);
}

TEST(Faults, ReportsOnOneFileAreRefusedBeforeAnythingIsOpened) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::create_directory_symlink(dir.File("sub"), dir.File("link"));
    WriteFile(dir.File("raw.bin"), BinaryTrace(RotatedTrace()));
    std::vector<std::pair<std::string, std::string>> pairs = {
        {dir.File("sub/r.csv"), dir.File("sub/./r.csv")}, // neither exists yet
        {dir.File("sub/r.csv"), dir.File("link/r.csv")},
    };
    for (auto [callList, profile] : pairs) {
        test::TJobRun run =
            RunJob(dir, dir.File("missing.bin"), RawForm::Binary, [&](TJobParameters& job) {
                job.CallListFileName = callList;
                job.ProfileFileName = profile;
            });
        EXPECT_EQ(
            run.Lines,
            (Lines{Start, "!!!The call list and the profile summary can not be the same file!!!",
                   Complete}));
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("sub")));
    }
    WriteFile(dir.File("sub/r.csv"), "earlier");
    std::filesystem::create_hard_link(dir.File("sub/r.csv"), dir.File("hard.csv"));
    test::TJobRun run = RunJob(dir, dir.File("raw.bin"), RawForm::Binary, [&](TJobParameters& job) {
        job.CallListFileName = dir.File("hard.csv");
        job.ProfileFileName = dir.File("link/r.csv");
    });
    EXPECT_EQ(run.Lines[1], "!!!The call list and the profile summary can not be the same file!!!");
    EXPECT_EQ(test::ReadFile(dir.File("hard.csv")), "earlier");
}

TEST(Faults, AStoppedJobWritesNoReportAndKeepsTheEarlierOnes) {
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 600000; ++i)
        records.push_back(i % 2 ? Exit(0x40, 1000 + i) : Enter(0x40, 1000 + i));
    // Stopped from the job's own thread when a progress line shows that a pass runs; what the
    // progress says at that moment is checked too. The text is decoded on a thread of its own.
    struct TCase {
        std::string At;
        JobPhase Phase;
        uint64_t Total;
    };
    for (RawForm form : {RawForm::Binary, RawForm::Text}) {
        TTempDir dir;
        std::string raw = form == RawForm::Binary ? "raw.bin" : "raw.txt";
        std::string trace = form == RawForm::Binary ? BinaryTrace(records) : TextTrace(records);
        WriteFile(dir.File(raw), trace);
        for (const TCase& stopAt :
             {TCase{"Read 524288 records.", JobPhase::FirstPass, trace.size()},
              TCase{"Process 262144 of", JobPhase::Replay, 600000}}) {
            WriteFile(dir.File("calls.csv"), "earlier calls");
            WriteFile(dir.File("profile.csv"), "earlier profile");
            test::TCollectedLines lines;
            TJobParameters parameters = test::JobParameters(dir, dir.File(raw), form);
            TProfile job(parameters, &lines);
            bool sawProgress = false;
            lines.OnLine = [&](const std::string& line) {
                if (!line.starts_with(stopAt.At))
                    return;
                const TJobProgress& progress = job.Progress();
                sawProgress = progress.Phase == stopAt.Phase && progress.Total == stopAt.Total &&
                              progress.Done > 0 && progress.Done <= progress.Total;
                job.Stop();
            };
            job.Start();
            job.WaitFor();
            test::TJobRun run{lines.Lines(), test::ReadFile(dir.File("calls.csv")),
                              test::ReadFile(dir.File("profile.csv"))};
            EXPECT_TRUE(sawProgress) << stopAt.At << " " << raw;
            ASSERT_GE(run.Lines.size(), 2u);
            EXPECT_EQ(Lines(run.Lines.end() - 2, run.Lines.end()), (Lines{StoppedLine, Complete}));
            EXPECT_EQ(run.CallList, "earlier calls");
            EXPECT_EQ(run.Profile, "earlier profile");
            EXPECT_EQ(FileNames(dir), (Lines{"calls.csv", "profile.csv", raw}));
        }
    }
}

// Sets an environment variable for the life of the object.
class TEnvironment {
public:
    TEnvironment(const char* name, const char* value) : Name(name) {
        if (const char* earlier = std::getenv(name))
            Earlier = earlier;
        ::setenv(name, value, 1);
    }
    ~TEnvironment() {
        if (Earlier)
            ::setenv(Name, Earlier->c_str(), 1);
        else
            ::unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Earlier;
};

// Limits the size of every file the process writes, for the life of the object; a write past it
// fails instead of raising SIGXFSZ.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &Earlier);
        EarlierHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Earlier;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &Earlier);
        std::signal(SIGXFSZ, EarlierHandler);
    }

private:
    rlimit Earlier;
    void (*EarlierHandler)(int);
};

TEST(Faults, ATextTraceWhoseDecodedRecordsCannotBeSpooledEndsWithoutReports) {
    TTempDir dir;
    // More read attempts than the spool keeps in memory.
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 40000; ++i)
        records.push_back(i % 2 ? Exit(0x40, 1000 + i) : Enter(0x40, 1000 + i));
    WriteFile(dir.File("raw.txt"), TextTrace(records));
    // No file can be made in the temporary folder, or the disk fills up.
    for (int way = 0; way < 2; ++way) {
        WriteFile(dir.File("calls.csv"), "earlier calls");
        WriteFile(dir.File("profile.csv"), "earlier profile");
        test::TJobRun run;
        {
            std::optional<TEnvironment> temporaryFolder;
            std::optional<TFileSizeLimit> fullDisk;
            if (way == 0)
                temporaryFolder.emplace("TMPDIR", "/proc");
            else
                fullDisk.emplace(64 * 1024);
            run = RunJob(dir, dir.File("raw.txt"), RawForm::Text);
        }
        EXPECT_EQ(run.Lines,
                  (Lines{Start, "!!!Can not copy raw data to a temporary file!!!", Complete}))
            << way;
        EXPECT_EQ(run.CallList, "earlier calls");
        EXPECT_EQ(run.Profile, "earlier profile");
        EXPECT_EQ(FileNames(dir), (Lines{"calls.csv", "profile.csv", "raw.txt"}));
    }
}

TEST(Faults, ATextNumberWiderThanThirtyTwoBitsMakesItsRecordInvalid) {
    uint32_t value = 0;
    EXPECT_FALSE(ParseHexLine("0x100001000\n", 12, value));
    EXPECT_TRUE(ParseHexLine("0x000000001000\n", 15, value)); // leading zeros do not count
    EXPECT_EQ(value, 0x1000u);
    TTempDir dir;
    WriteFile(dir.File("raw.txt"), "header\n"
                                   "0x1000\n0x10\n0x100000000\n"    // TSC high of 33 bits
                                   "0x1000\n0x20\n0x000000000000\n" // 32 bits with zeros
                                   "0x1001\n0x30\n0x0\n");
    test::TJobRun run = RunJob(dir, dir.File("raw.txt"), RawForm::Text);
    EXPECT_EQ(run.Lines[1], "Read 2 valid records, 1 invalid records. Find 1 functions, 1 tasks.");
    EXPECT_NE(run.CallList.find("00001000,             32,             48,             16"),
              std::string::npos)
        << run.CallList;
}

TEST(Faults, AFirstPassStopsBeforeItsCountsWrap) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace(RotatedTrace()));
    TRawFile file;
    ASSERT_TRUE(file.Open(dir.File("raw.bin"), RawForm::Binary));
    TEntryTables tables;
    test::TCollectedLines lines;
    TStatusReporter status(&lines);
    TFirstPassResult result;
    result.ReadAttempts = 0xFFFFFFFFu - 3; // as if 2^32 - 4 records had been read
    ContinueScan(file, tables, status, result);
    EXPECT_EQ(result.End, FirstPassEnd::TooManyRecords);
    EXPECT_EQ(result.ReadAttempts, 0xFFFFFFFFu);
    EXPECT_TRUE(lines.Lines().empty()); // no line with a wrapped count
}

} // namespace
} // namespace hookmeter
