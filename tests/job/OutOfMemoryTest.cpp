// Memory that runs out while a job builds its tables: the job reports it, closes its files,
// still ends with its closing line and enables "Process" again.
#include "job/Profile.h"

#include "JsonCheck.h"
#include "PerfettoCheck.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>

namespace {

// Allocations above this size fail while a test asks for it.
std::atomic<size_t> FailAbove{0};

void* Allocate(size_t size) {
    size_t limit = FailAbove.load();
    if (limit != 0 && size > limit)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept {
    std::free(memory);
}

namespace hookmeter {
namespace {

size_t OpenFileCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(OutOfMemory, FailingToAllocateTheCallStacksIsReportedAndTheJobEnds) {
    test::TTempDir dir;
    std::vector<RawRecord> records = {test::Enter(0x40, 1), test::Exit(0x40, 2)};
    for (uint32_t task = 1; task <= 10; ++task)
        records.push_back(test::TaskIn(task * 0x100, 2 + task));
    test::WriteFile(dir.File("raw.bin"), test::BinaryTrace(records));
    size_t openFiles = OpenFileCount();
    test::TCollectedLines lines;
    {
        TJobParameters parameters = test::JobParameters(dir, dir.File("raw.bin"), RawForm::Binary);
        parameters.CallStackSize = 8192; // 2.75 MiB of frames for the 11 tasks
        TProfile job(std::move(parameters),
                     &lines); // its key lists are allocated here, before the limit
        FailAbove = 2 << 20;  // the 1 MiB read buffer is still granted
        job.Start();
        job.WaitFor();
        FailAbove = 0;
    }
    EXPECT_EQ(lines.Lines(),
              (std::vector<std::string>{
                  "Start profile data processing...",
                  "Read 12 valid records, 0 invalid records. Find 1 functions, 11 tasks.",
                  "!!!Not enough memory to process the profile data!!!",
                  "Profile data processing complete."}));
    EXPECT_EQ(lines.Events(), (std::vector<std::string>{"started", "ended"}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("calls.csv")));
    EXPECT_EQ(OpenFileCount(), openFiles);
}

TEST(OutOfMemory, ATimelineCutShortByAFailureIsValidAndBalanced) {
    for (const char* name : {"timeline.json", "timeline.pftrace"}) {
        test::TTempDir dir;
        // Task 1 opens two calls; a long gap is reported (from then on large allocations fail);
        // task 2's first call then needs its call-path frames, which fails mid-replay.
        test::WriteFile(
            dir.File("raw.bin"),
            test::BinaryTrace({test::TaskIn(0x100, 1), test::Enter(0x40, 2), test::Enter(0x80, 3),
                               test::TaskIn(0x200, 20000000), test::Enter(0x40, 20000001),
                               test::Exit(0x40, 20000002)}));
        // Through a link that leads nowhere yet the timeline is written directly, so what the
        // job leaves of it stays.
        std::string kept = dir.File(std::string("kept-") + name);
        std::filesystem::create_symlink(kept, dir.File(name));
        test::TCollectedLines lines;
        lines.OnLine = [](const std::string& line) {
            if (line.starts_with("Interval"))
                FailAbove = 16 << 10;
        };
        {
            TJobParameters parameters =
                test::JobParameters(dir, dir.File("raw.bin"), RawForm::Binary);
            parameters.TimelineFileName = dir.File(name);
            parameters.CallStackSize = 8192; // 32 KiB of call-path frames for a task
            TProfile job(std::move(parameters), &lines);
            job.Start();
            job.WaitFor();
            FailAbove = 0;
        }
        std::vector<std::string> status = lines.Lines();
        ASSERT_GE(status.size(), 2u);
        EXPECT_EQ(status[status.size() - 2], "!!!Not enough memory to process the profile data!!!");
        // An unfinished timeline is valid, and nothing is left behind.
        for (const auto& entry : std::filesystem::directory_iterator(dir.File("")))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << "left behind: " << entry.path();
        ASSERT_TRUE(std::filesystem::exists(kept));
        std::string text = test::ReadFile(kept), error;
        std::map<std::string, int> open; // by track
        if (std::string_view(name).ends_with(".pftrace")) {
            // The reader fails on an end without begin and on slices left open.
            EXPECT_TRUE(test::ReadPerfettoTrace(text, &error)) << error;
            continue;
        }
        auto timeline = test::ParseJson(text, &error);
        ASSERT_TRUE(timeline) << error;
        for (const test::TJsonValue& event : timeline->Find("traceEvents")->Items) {
            std::string phase = event.Find("ph")->Text, track = event.Find("tid")->Text;
            open[track] += phase == "B" ? 1 : phase == "E" ? -1 : 0;
            EXPECT_GE(open[track], 0) << "an E before its B on track " << track;
        }
        EXPECT_EQ(open["3"], 0); // task 1's two calls were ended
        for (const auto& [track, count] : open)
            EXPECT_EQ(count, 0) << "track " << track;
    }
}

} // namespace
} // namespace hookmeter
