// libFuzzer target for the raw record reader alone. The first byte chooses the form (its low bit:
// binary or text); the rest is the raw file. The file is read once through, rewound, read again,
// and then read on around its end the way the replay wraps; in the text form, every sweep after
// the first reads the record spool. Every sweep must give the same records, consume the file, and
// end; the binary form must cut the file into 16-byte records.
#include "core/RawFile.h"
#include "core/RawRecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Aborts with the line of the failed check.
#define Require(condition) Check(condition, __LINE__)
void Check(bool condition, int line) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d of %s\n", line, __FILE__);
        std::abort();
    }
}

struct TRead {
    hookmeter::ReadResult Result;
    hookmeter::RawRecord Record;
    bool operator==(const TRead& other) const {
        if (Result != other.Result)
            return false;
        return Result != hookmeter::ReadResult::Valid ||
               (Record.Address == other.Record.Address && Record.TSC == other.Record.TSC &&
                Record.Reserved == other.Record.Reserved);
    }
};

// One scratch file per process, removed at exit.
const std::string& ScratchFile() {
    static const std::string path = [] {
        std::filesystem::path dir = std::filesystem::temp_directory_path();
        std::string name = (dir / ("hookmeter-raw-fuzz-" + std::to_string(getpid()))).string();
        std::atexit([] { std::remove(ScratchFile().c_str()); });
        return name;
    }();
    return path;
}

void WriteScratch(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(ScratchFile().c_str(), "wb");
    Require(file != nullptr);
    Require(size == 0 || std::fwrite(data, 1, size, file) == size);
    Require(std::fclose(file) == 0);
}

// Reads from the current position to the end of the file. Every read consumes at least one byte,
// so a file of `size` bytes gives at most size + 1 reads before its end.
std::vector<TRead> Sweep(hookmeter::TRawFile& file, size_t size) {
    std::vector<TRead> reads;
    for (;;) {
        TRead read{hookmeter::ReadResult::EndOfFile, {}};
        read.Result = file.ReadRecord(read.Record);
        if (read.Result == hookmeter::ReadResult::EndOfFile)
            break;
        if (read.Result == hookmeter::ReadResult::Valid)
            Require(hookmeter::IsValidRecord(read.Record));
        reads.push_back(read);
        Require(reads.size() <= size);
    }
    Require(file.AtEnd());
    // The end stays the end.
    hookmeter::RawRecord record;
    Require(file.ReadRecord(record) == hookmeter::ReadResult::EndOfFile);
    return reads;
}

void CheckBinaryLayout(const std::vector<TRead>& reads, const uint8_t* data, size_t size) {
    Require(reads.size() == (size + 15) / 16);
    for (size_t i = 0; i < reads.size(); ++i) {
        const uint8_t* bytes = data + 16 * i;
        if (16 * i + 16 > size) {
            Require(reads[i].Result == hookmeter::ReadResult::Invalid); // the partial tail
            continue;
        }
        auto word = [&](int at) {
            return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 |
                   uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 3]) << 24;
        };
        const hookmeter::RawRecord expected{word(0), word(4), uint64_t(word(12)) << 32 | word(8)};
        if (!hookmeter::IsValidRecord(expected)) {
            Require(reads[i].Result == hookmeter::ReadResult::Invalid);
            continue;
        }
        Require(reads[i] == (TRead{hookmeter::ReadResult::Valid, expected}));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool binary = (data[0] & 1) != 0;
    const uint8_t* raw = data + 1;
    const size_t rawSize = size - 1;
    WriteScratch(raw, rawSize);

    // One reader for every input, as a job reuses its buffer across opens.
    static hookmeter::TRawFile file;
    Require(
        file.Open(ScratchFile(), binary ? hookmeter::RawForm::Binary : hookmeter::RawForm::Text));
    Require(file.IsOpen());
    const std::vector<TRead> first = Sweep(file, rawSize);
    if (binary)
        CheckBinaryLayout(first, raw, rawSize);

    file.Rewind();
    Require(Sweep(file, rawSize) == first);

    // Around the end twice, as the replay does when it wraps.
    for (int lap = 0; lap < 2; ++lap) {
        file.Rewind();
        for (const TRead& expected : first) {
            TRead read{hookmeter::ReadResult::EndOfFile, {}};
            read.Result = file.ReadRecord(read.Record);
            Require(read == expected);
        }
        hookmeter::RawRecord record;
        Require(file.ReadRecord(record) == hookmeter::ReadResult::EndOfFile && file.AtEnd());
    }
    file.Close();
    Require(!file.IsOpen());
    return 0;
}
