// hookmeter-cli --compare as CI runs it: exit status and messages, on the sample trace's summary
// against a copy with one function made slower.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

namespace hookmeter {
namespace {

struct TCliRun {
    int ExitStatus;
    std::string Out;
    std::string Err;
};

TCliRun RunCli(const test::TTempDir& dir, const std::string& arguments) {
    const std::string command =
        "cd '" + dir.File("") + "' && '" + HOOKMETER_CLI + "' " + arguments + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFile(dir.File("out.txt")),
            test::ReadFile(dir.File("err.txt"))};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::string JoinedFields(const std::vector<std::string>& fields) {
    std::string row;
    for (const std::string& field : fields)
        row += (row.empty() ? "" : ",") + field;
    return row;
}

// The fields of a function row; the name is the last one.
std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields;
    std::istringstream in(row);
    for (std::string field; fields.size() < 9 && std::getline(in, field, ',');)
        fields.push_back(field);
    std::string name;
    std::getline(in, name, '\0');
    fields.push_back(name);
    return fields;
}

TEST(CompareCommand, GatesOnASummaryWithOneFunctionMadeSlower) {
    test::TTempDir dir;
    const std::string summary =
        test::RunJob(
            dir, HOOKMETER_EXAMPLES_DIR "/sample_trace.bin", RawForm::Binary,
            [](TJobParameters& job) { job.DSPOutFileName = HOOKMETER_EXAMPLES_DIR "/sample.out"; })
            .Profile;
    std::vector<std::string> lines = Lines(summary);
    const auto fib = std::find_if(lines.begin(), lines.end(),
                                  [](const std::string& line) { return line.ends_with(",fib"); });
    ASSERT_NE(fib, lines.end()) << summary;
    const size_t fibLine = size_t(fib - lines.begin()) + 1;
    std::vector<std::string> fields = Fields(*fib);
    const uint64_t calls = std::stoull(fields[1]);
    const uint64_t average = std::stoull(fields[7]);
    ASSERT_GE(average, 50u); // 20% more is then at least 19% more after truncation
    fields[7] = std::to_string(average + average / 5);
    *fib = JoinedFields(fields);
    test::WriteFile(dir.File("base.csv"), summary);
    test::WriteFile(dir.File("slower.csv"), Joined(lines));

    TCliRun same = RunCli(dir, "--compare base.csv base.csv --threshold 0");
    EXPECT_EQ(same.ExitStatus, 0) << same.Err;
    EXPECT_NE(same.Out.find("fib "), std::string::npos) << same.Out;

    const std::string compare = "--compare base.csv slower.csv ";
    TCliRun over = RunCli(dir, compare + "--threshold 10");
    EXPECT_EQ(over.ExitStatus, 1);
    EXPECT_EQ(Lines(over.Err).size(), 1u) << over.Err;
    EXPECT_TRUE(over.Err.starts_with("!!!") && over.Err.ends_with("!!!\n")) << over.Err;
    EXPECT_NE(over.Err.find(": fib, "), std::string::npos) << over.Err;
    EXPECT_EQ(Lines(over.Out).front(), "Before: base.csv (TotalCycles " + Fields(lines[0])[5] +
                                           ", function cycles " + Fields(lines[1])[3] + ")");

    for (const std::string& passing :
         {std::string("--threshold 25"), "--threshold 10 --min-calls " + std::to_string(calls + 1),
          std::string()}) {
        TCliRun run = RunCli(dir, compare + passing);
        EXPECT_EQ(run.ExitStatus, 0) << passing << "\n" << run.Err;
        EXPECT_EQ(run.Err, "") << passing;
    }

    fields[1] = "many"; // a row that stops making sense
    *fib = JoinedFields(fields);
    test::WriteFile(dir.File("broken.csv"), Joined(lines));
    TCliRun broken = RunCli(dir, "--compare base.csv broken.csv --threshold 10");
    EXPECT_EQ(broken.ExitStatus, 2);
    EXPECT_NE(broken.Err.find("broken.csv:" + std::to_string(fibLine) + ": "), std::string::npos)
        << broken.Err;
    EXPECT_EQ(RunCli(dir, "--compare base.csv missing.csv").ExitStatus, 2);
    EXPECT_EQ(RunCli(dir, "--compare base.csv").ExitStatus, 2);
}

} // namespace
} // namespace hookmeter
