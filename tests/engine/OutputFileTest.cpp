// Report files: written under a temporary name, published whole, and written even when no
// writer thread can be started.
#include "engine/OutputFile.h"
#include "engine/WriteBehind.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
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

// Past its start, a file is handed to the disk and dropped from the cache a window at a time;
// what was written stays, whatever the sizes of the writes. A pipe is left alone.
TEST(OutputFile, WritingBehindKeepsEveryByte) {
    TTempDir dir;
    std::string text = Content(3 << 20);
    int descriptor = ::open(dir.File("big.csv").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(descriptor, 0);
    TWriteBehind behind(descriptor, 100 << 10, 64 << 10);
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 3 % 200003) {
        size_t size = std::min(step, text.size() - at);
        ASSERT_EQ(::write(descriptor, text.data() + at, size), ssize_t(size));
        EXPECT_TRUE(behind.Written(size));
    }
    ::close(descriptor);
    EXPECT_EQ(ReadFile(dir.File("big.csv")), text);

    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    TWriteBehind pipeBehind(pipe[1], 0, 1);
    ASSERT_EQ(::write(pipe[1], "abc", 3), 3);
    EXPECT_TRUE(pipeBehind.Written(3));
    ::close(pipe[0]);
    ::close(pipe[1]);
}

} // namespace
} // namespace hookmeter
