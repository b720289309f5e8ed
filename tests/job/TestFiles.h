// Helpers for engine tests: temporary files, raw traces in both forms, a job runner.
#pragma once

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

// Collects status lines; an optional hook sees each line on the job's thread as it is appended.
class TCollectedLines : public TStatusLines {
public:
    void Append(std::string_view line) override;
    std::vector<std::string> Lines() const;
    std::function<void(const std::string&)> OnLine;

private:
    mutable std::mutex Lock;
    std::vector<std::string> Collected;
};

class TRecordedButton : public TProcessButton {
public:
    void SetEnabled(bool enabled) override;
    std::vector<bool> Changes() const;

private:
    mutable std::mutex Lock;
    std::vector<bool> Recorded;
};

struct TJobRun {
    std::vector<std::string> Lines;
    std::string CallList;
    std::string Profile;
};

// Runs one job on a raw file with the reports in `dir`; `configure` may change the parameters.
TJobRun RunJob(const TTempDir& dir, const std::string& rawFile, int8_t fileType,
               const std::function<void(TProfile&)>& configure = {},
               TCollectedLines* lines = nullptr);

} // namespace hookmeter::test
