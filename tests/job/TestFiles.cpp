#include "TestFiles.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace hookmeter::test {

TTempDir::TTempDir() {
    static std::atomic<int> counter{0};
    Path = std::filesystem::temp_directory_path() /
           ("hookmeter-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string BinaryTrace(const std::vector<RawRecord>& records) {
    std::string bytes;
    for (const RawRecord& record : records) {
        uint32_t words[4] = {record.Address, record.Reserved, uint32_t(record.TSC),
                             uint32_t(record.TSC >> 32)};
        for (uint32_t word : words)
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(char(word >> shift));
    }
    return bytes;
}

std::string TextTrace(const std::vector<RawRecord>& records, const std::string& header) {
    std::string text = header + "\n";
    char line[64];
    for (const RawRecord& record : records) {
        std::snprintf(line, sizeof line, "0x%x\n0x%x\n0x%x\n", record.Address, uint32_t(record.TSC),
                      uint32_t(record.TSC >> 32));
        text += line;
    }
    return text;
}

RawRecord Enter(uint32_t function, uint64_t tsc) {
    return {function | 0, 0, tsc};
}
RawRecord Exit(uint32_t function, uint64_t tsc) {
    return {function | 1, 0, tsc};
}
RawRecord TaskIn(uint32_t handle, uint64_t tsc) {
    return {handle | 2, 0, tsc};
}
RawRecord TaskOut(uint32_t handle, uint64_t tsc) {
    return {handle | 3, 0, tsc};
}

void TCollectedLines::Append(std::string_view line) {
    std::string copy(line);
    {
        std::lock_guard guard(Lock);
        Collected.push_back(copy);
    }
    if (OnLine)
        OnLine(copy);
}

std::vector<std::string> TCollectedLines::Lines() const {
    std::lock_guard guard(Lock);
    return Collected;
}

void TCollectedLines::JobStarted() {
    std::lock_guard guard(Lock);
    Happened.push_back("started");
}

void TCollectedLines::JobEnded(const TJobEnd& end) {
    std::lock_guard guard(Lock);
    Happened.push_back("ended");
    Ended = end;
}

std::vector<std::string> TCollectedLines::Events() const {
    std::lock_guard guard(Lock);
    return Happened;
}

TJobEnd TCollectedLines::End() const {
    std::lock_guard guard(Lock);
    return Ended;
}

TJobParameters JobParameters(const TTempDir& dir, const std::string& rawFile, RawForm form) {
    TJobParameters parameters;
    parameters.RawDataFileName = rawFile;
    parameters.RawDataFileType = form;
    parameters.CallListFileName = dir.File("calls.csv");
    parameters.ProfileFileName = dir.File("profile.csv");
    return parameters;
}

TJobRun RunJob(const TTempDir& dir, const std::string& rawFile, RawForm form,
               const std::function<void(TJobParameters&)>& configure, TCollectedLines* lines) {
    TCollectedLines ownLines;
    TCollectedLines& status = lines != nullptr ? *lines : ownLines;
    {
        TJobParameters parameters = JobParameters(dir, rawFile, form);
        if (configure)
            configure(parameters);
        TProfile job(std::move(parameters), &status);
        job.Start();
        job.WaitFor();
    }
    return {status.Lines(), ReadFile(dir.File("calls.csv")), ReadFile(dir.File("profile.csv"))};
}

} // namespace hookmeter::test
