// Memory that runs out while a job builds its tables: the job reports it, closes its files,
// still ends with its closing line and enables "Process" again.
#include "engine/Profile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
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
    test::TRecordedButton button;
    {
        TProfile job; // its key lists are allocated here, before the limit
        job.RawDataFileName = dir.File("raw.bin");
        job.RawDataFileType = 1;
        job.CallListFileName = dir.File("calls.csv");
        job.ProfileFileName = dir.File("profile.csv");
        job.CallStackSize = 8192; // 2.75 MiB of frames for the 11 tasks
        job.StatusLines = &lines;
        job.ProcessButton = &button;
        FailAbove = 2 << 20; // the 1 MiB read buffer is still granted
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
    EXPECT_EQ(button.Changes(), (std::vector<bool>{false, true}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("calls.csv")));
    EXPECT_EQ(OpenFileCount(), openFiles);
}

} // namespace
} // namespace hookmeter
