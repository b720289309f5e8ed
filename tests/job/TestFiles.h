// Helpers for engine tests: temporary files, raw traces in both forms, a job runner.
#pragma once

#include "core/RawFile.h"
#include "core/RawRecord.h"
#include "job/Profile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace hookmeter::test {

// A fresh directory, removed with everything in it when the object goes.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    std::string File(const std::string& name) const { return (Path / name).string(); }

private:
    std::filesystem::path Path;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

// Raw records in the binary form (Reserved 0) and the text form (with a header line).
std::string BinaryTrace(const std::vector<RawRecord>& records);
std::string TextTrace(const std::vector<RawRecord>& records,
                      const std::string& header = "raw hook records");

RawRecord Enter(uint32_t function, uint64_t tsc);
RawRecord Exit(uint32_t function, uint64_t tsc);
RawRecord TaskIn(uint32_t handle, uint64_t tsc);
RawRecord TaskOut(uint32_t handle, uint64_t tsc);

// Collects status lines and the job's start and end; an optional hook sees each line on the job's
// thread as it is appended.
class TCollectedLines : public TJobListener {
public:
    void Append(std::string_view line) override;
    void JobStarted() override;
    void JobEnded(const TJobEnd& end) override;
    std::vector<std::string> Lines() const;
    // "started" and "ended", in the order they came.
    std::vector<std::string> Events() const;
    // How the job ended; Failed until it has.
    TJobEnd End() const;
    std::function<void(const std::string&)> OnLine;

private:
    mutable std::mutex Lock;
    std::vector<std::string> Collected;
    std::vector<std::string> Happened;
    TJobEnd Ended{JobOutcome::Failed, {}, {}, {}};
};

struct TJobRun {
    std::vector<std::string> Lines;
    std::string CallList;
    std::string Profile;
};

// A job's parameters for a raw file, with the reports "calls.csv" and "profile.csv" in `dir`.
TJobParameters JobParameters(const TTempDir& dir, const std::string& rawFile, RawForm form);

// Runs one job on a raw file with the reports in `dir`; `configure` may change the parameters.
TJobRun RunJob(const TTempDir& dir, const std::string& rawFile, RawForm form,
               const std::function<void(TJobParameters&)>& configure = {},
               TCollectedLines* lines = nullptr);

} // namespace hookmeter::test
