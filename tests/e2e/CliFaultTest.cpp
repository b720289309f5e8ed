// hookmeter-cli under faults that only a whole process shows (signals, no thread to be had, a
// report the user may not write), and what it says about outputs on one file and a raw file read
// in the wrong form.
#include "tests/job/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace hookmeter {
namespace {

using test::BinaryTrace;
using test::Enter;
using test::Exit;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

struct TCliRun {
    int ExitStatus = -1; // -1: ended by a signal
    std::string Output;
};

// Starts hookmeter-cli with `arguments`; `inChild` runs in the child before it becomes the
// command, `whileRunning` in the test while the command runs.
TCliRun RunCli(const std::vector<std::string>& arguments, const std::function<void()>& inChild = {},
               const std::function<void(pid_t)>& whileRunning = {}) {
    int output[2];
    if (::pipe(output) != 0)
        return {};
    std::vector<char*> argv{const_cast<char*>(HOOKMETER_CLI)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::close(output[0]);
        ::close(output[1]);
        if (inChild)
            inChild();
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(output[1]);
    if (whileRunning)
        whileRunning(child);
    TCliRun run;
    char block[4096];
    for (ssize_t got; (got = ::read(output[0], block, sizeof block)) > 0;)
        run.Output.append(block, size_t(got));
    ::close(output[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(CliFaults, ASignalStopsTheJobAndLeavesTheEarlierReports) {
    // The raw file is an endless stream: only the signal can end the job.
    std::string block;
    {
        std::vector<RawRecord> records;
        for (uint64_t i = 0; i < 4096; ++i)
            records.push_back(i % 2 ? Exit(0x40, 100 + i) : Enter(0x40, 100 + i));
        block = BinaryTrace(records);
    }
    ::signal(SIGPIPE, SIG_IGN);
    for (auto [signal, expectedExit] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        TTempDir dir;
        ASSERT_EQ(::mkfifo(dir.File("raw.bin").c_str(), 0600), 0);
        WriteFile(dir.File("calls.csv"), "earlier calls");
        WriteFile(dir.File("profile.csv"), "earlier profile");
        TCliRun run =
            RunCli({"--binary", "--call-list", dir.File("calls.csv"), "--profile",
                    dir.File("profile.csv"), dir.File("raw.bin")},
                   {}, [&](pid_t child) {
                       int fifo = ::open(dir.File("raw.bin").c_str(), O_WRONLY);
                       for (int written = 0;; ++written) {
                           if (written == 64)
                               ::kill(child, signal);
                           if (::write(fifo, block.data(), block.size()) < 0 || written > 100000)
                               break;
                       }
                       ::close(fifo);
                   });
        EXPECT_EQ(run.ExitStatus, expectedExit) << run.Output;
        EXPECT_TRUE(EndsWith(run.Output, "!!!Processing stopped, the reports are not written!!!\n"
                                         "Profile data processing complete.\n"))
            << run.Output;
        EXPECT_EQ(ReadFile(dir.File("calls.csv")), "earlier calls");
        EXPECT_EQ(ReadFile(dir.File("profile.csv")), "earlier profile");
        size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File("")))
            ++entries;
        EXPECT_EQ(entries, 3u); // no temporary file is left
    }
    ::signal(SIGPIPE, SIG_DFL);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HOOKMETER_SANITIZED 1
#endif

TEST(CliFaults, WhenNoThreadCanBeStartedTheJobFailsWithALine) {
#ifdef HOOKMETER_SANITIZED
    GTEST_SKIP() << "sanitizers need more address space than the limit leaves";
#endif
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)}));
    // A thread's stack is as large as the stack limit, and no such stack fits in the address
    // space the child is left.
    TCliRun run = RunCli({"--binary", "--call-list", dir.File("calls.csv"), "--profile",
                          dir.File("profile.csv"), dir.File("raw.bin")},
                         [] {
                             rlimit stack{size_t(1) << 30, size_t(1) << 30};
                             rlimit space{size_t(300) << 20, size_t(300) << 20};
                             ::setrlimit(RLIMIT_STACK, &stack);
                             ::setrlimit(RLIMIT_AS, &space);
                         });
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Output, "!!!Can not start a thread to process the profile data!!!\n"
                          "Profile data processing complete.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("calls.csv")));
}

TEST(CliFaults, AReadOnlyReportStaysAnOpenFailure) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)}));
    WriteFile(dir.File("profile.csv"), "earlier profile");
    ::chmod(dir.File("profile.csv").c_str(), 0444);
    // The folder takes new files: only the report itself is read-only. Run as a plain user,
    // since the superuser may write anything.
    ::chmod(dir.File("").c_str(), 0777);
    TCliRun run = RunCli({"--binary", "--call-list", dir.File("calls.csv"), "--profile",
                          dir.File("profile.csv"), dir.File("raw.bin")},
                         [] {
                             if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                                 ::_exit(126);
                         });
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_TRUE(EndsWith(run.Output, "!!!Can not open file to output final profile result!!!\n"
                                     "Profile data processing complete.\n"))
        << run.Output;
    EXPECT_EQ(ReadFile(dir.File("profile.csv")), "earlier profile");
}

// An optional output on the path of another output: refused before anything is opened, with one
// line naming both, and exit 1; no output is written.
// (--timeline takes a name ending in .json or .pftrace.)
TEST(CliFaults, OutputsOnOneFileAreRefusedAndNothingIsWritten) {
    TTempDir dir;
    WriteFile(dir.File("raw.bin"), BinaryTrace({Enter(0x40, 5), Exit(0x40, 6)}));
    const std::vector<std::string> common = {"--binary", "--call-list", dir.File("c.json"),
                                             "--profile", dir.File("p.csv")};
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--timeline", dir.File("c.json")}, "call list and the timeline"},
        {{"--timeline", dir.File("d.json"), "--stats", dir.File("d.json"), "--folded",
          dir.File("d.json")},
         "timeline and the folded stacks"}};
    for (const auto& [outputs, roles] : cases) {
        std::vector<std::string> arguments = common;
        arguments.insert(arguments.end(), outputs.begin(), outputs.end());
        arguments.push_back(dir.File("raw.bin"));
        const TCliRun run = RunCli(arguments);
        EXPECT_EQ(run.ExitStatus, 1);
        EXPECT_EQ(run.Output,
                  "Start profile data processing...\n!!!The " + roles +
                      " can not be the same file!!!\nProfile data processing complete.\n");
        for (const char* output : {"c.json", "p.csv", "d.json"})
            EXPECT_FALSE(std::filesystem::exists(dir.File(output))) << output;
    }
}

// A raw file that gives no valid record says which form was used, and that the other one reads
// it; the job still ends well.
TEST(CliFaults, ATraceReadInTheWrongFormSaysWhichFormReadsIt) {
    TTempDir dir;
    const std::string examples = HOOKMETER_EXAMPLES_DIR;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--binary", examples + "/sample_trace.txt"},
         "The raw data file holds no valid record in the binary form; read in the text form, its "
         "first records are valid.\n"},
        {{"--text", examples + "/sample_trace.bin"},
         "The raw data file holds no valid record in the text form; read in the binary form, its "
         "first records are valid.\n"}};
    for (auto [arguments, line] : cases) {
        arguments.insert(arguments.begin(),
                         {"--call-list", dir.File("c.csv"), "--profile", dir.File("p.csv")});
        const TCliRun run = RunCli(arguments);
        EXPECT_EQ(run.ExitStatus, 0);
        EXPECT_NE(run.Output.find(" tasks.\n" + line), std::string::npos) << run.Output;
    }
}

} // namespace
} // namespace hookmeter
