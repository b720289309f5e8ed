// Report files: written under a temporary name, published whole, and written even when no
// writer thread can be started.
#include "base/OutputFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace hookmeter {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

size_t EntryCount(const TTempDir& dir) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File("")))
        ++count;
    return count;
}

std::string Content(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = char('a' + i % 23);
    return text;
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(OutputFile, AReportReplacesTheEarlierOneOnlyWhenPublished) {
    TTempDir dir;
    std::string report = dir.File("report.csv");
    WriteFile(report, "earlier");
    ::chmod(report.c_str(), 0640);
    std::string text = Content(3 << 20); // more than both buffers
    TOutputFile file;
    ASSERT_TRUE(file.Open(report));
    file.Write(text);
    EXPECT_EQ(ReadFile(report), "earlier");
    file.Discard();
    EXPECT_EQ(ReadFile(report), "earlier");
    EXPECT_EQ(EntryCount(dir), 1u); // the temporary file is gone

    ASSERT_TRUE(file.Open(report));
    file.Write(text);
    EXPECT_TRUE(file.Finish());
    EXPECT_EQ(ReadFile(report), "earlier");
    EXPECT_TRUE(file.Publish());
    EXPECT_EQ(ReadFile(report), text);
    EXPECT_EQ(ModeOf(report), 0640u); // a replaced report keeps its permissions
    EXPECT_EQ(EntryCount(dir), 1u);

    mode_t previous = ::umask(027); // a new report gets what fopen would give it
    ASSERT_TRUE(file.Open(dir.File("new.csv")));
    ::umask(previous);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ModeOf(dir.File("new.csv")), 0640u);
    EXPECT_FALSE(file.Open("")); // as fopen("", "w")
}

class TNoThreadOutputFile : public TOutputFile {
protected:
    std::thread StartWriter() override {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
};

TEST(OutputFile, WithoutAWriterThreadTheReportIsWrittenAllTheSame) {
    TTempDir dir;
    std::string text = Content(5 << 20);
    TNoThreadOutputFile file;
    ASSERT_TRUE(file.Open(dir.File("report.csv")));
    file.Write(text);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadFile(dir.File("report.csv")), text);
}

// A large file is written past the page cache (or behind it) in blocks that the file shapes for
// that: every byte stays where it belongs, whatever the pieces it was written in, with and
// without a writer thread. A pipe is written as any file.
TEST(OutputFile, ALargeFileKeepsEveryByte) {
    class TSmallLargeFile : public TOutputFile {
    public:
        explicit TSmallLargeFile(bool thread) : TOutputFile(100 << 10), Thread(thread) {}

    protected:
        std::thread StartWriter() override {
            if (!Thread)
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            return TOutputFile::StartWriter();
        }
        bool Thread;
    };
    TTempDir dir;
    std::string text = Content(5 << 20);
    for (bool thread : {true, false}) {
        TSmallLargeFile file(thread);
        ASSERT_TRUE(file.Open(dir.File("big.csv")));
        for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 7 % 9973 + 1) {
            size_t size = std::min(step, text.size() - at);
            if (size <= TOutputFile::ReserveLimit) {
                char* out = file.Reserve(size);
                std::memcpy(out, text.data() + at, size);
                file.Commit(out + size);
            } else {
                file.Write({text.data() + at, size});
            }
        }
        EXPECT_TRUE(file.Close());
        EXPECT_EQ(ReadFile(dir.File("big.csv")), text) << (thread ? "thread" : "no thread");
    }

    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    TBlockWriter writer(pipe[1], 0, 1);
    EXPECT_TRUE(writer.Write("abc", 3));
    char read[3];
    EXPECT_EQ(::read(pipe[0], read, 3), 3);
    ::close(pipe[0]);
    ::close(pipe[1]);
}

} // namespace
} // namespace hookmeter
