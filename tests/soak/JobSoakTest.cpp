// Many jobs in one process, as a window that stays open all day runs them: after the first few,
// each job gives back everything it took. Memory, open files and threads after job 1,000 are
// those after job 10, and the last job writes the reports of the first.
#include "job/Profile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace hookmeter {
namespace {

struct TProcessFootprint {
    long RssKiB = 0;
    long OpenFiles = 0;
    long Threads = 0;
};

long StatusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(name + ":", 0) == 0)
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
    return -1;
}

TProcessFootprint Footprint() {
    TProcessFootprint footprint;
    footprint.RssKiB = StatusField("VmRSS");
    footprint.Threads = StatusField("Threads");
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++footprint.OpenFiles;
    return footprint;
}

TEST(JobSoak, AThousandJobsInOneProcessHoldNoMoreThanTen) {
    if (!std::filesystem::exists("/proc/self/status"))
        GTEST_SKIP() << "no /proc";
    test::TTempDir dir;
    // The first quarter of the sample trace: 16,384 records of four tasks and a dozen functions.
    const std::string trace = test::ReadFile(HOOKMETER_SAMPLE_TRACE).substr(0, 16384 * 16);
    test::WriteFile(dir.File("trace.bin"), trace);
    test::TCollectedLines firstLines;
    const auto runJob = [&](test::TCollectedLines* lines) {
        return test::RunJob(
            dir, dir.File("trace.bin"), RawForm::Binary,
            [](TJobParameters& job) { job.DSPOutFileName = HOOKMETER_SAMPLE_EXECUTABLE; }, lines);
    };
    const test::TJobRun first = runJob(&firstLines);
    ASSERT_EQ(first.Lines.back(), "Profile data processing complete.");
    ASSERT_GT(first.CallList.size(), 500000u); // a trace of some size, with names

    TProcessFootprint afterTen;
    test::TJobRun last;
    for (int job = 2; job <= 1000; ++job) {
        last = runJob(nullptr);
        if (job == 10)
            afterTen = Footprint();
    }
    const TProcessFootprint afterThousand = Footprint();
    EXPECT_EQ(afterThousand.OpenFiles, afterTen.OpenFiles);
    EXPECT_EQ(afterThousand.Threads, afterTen.Threads);
    // The allocator may keep a little more or less in hand from one job to the next.
    EXPECT_LE(std::labs(afterThousand.RssKiB - afterTen.RssKiB), 1024)
        << afterTen.RssKiB << " KiB after job 10, " << afterThousand.RssKiB
        << " KiB after job 1,000";
    EXPECT_EQ(last.Lines, first.Lines);
    EXPECT_EQ(last.CallList, first.CallList);
    EXPECT_EQ(last.Profile, first.Profile);
    std::printf("after job 10: %ld KiB, %ld files, %ld threads; after job 1,000: %ld KiB, %ld "
                "files, %ld threads\n",
                afterTen.RssKiB, afterTen.OpenFiles, afterTen.Threads, afterThousand.RssKiB,
                afterThousand.OpenFiles, afterThousand.Threads);
}

} // namespace
} // namespace hookmeter
