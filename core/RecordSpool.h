// The read attempts of a text trace, decoded once, for the passes that read the trace again:
// each attempt is one 16-byte record in the binary form, and a failed read is a record that is
// never valid (Address all ones). Read back in order through the binary decoder, they give the
// same attempts, valid and failed, as the text did.
//
// The first block of attempts (16,384 of them) stays in memory; a larger trace goes, a block at a
// time, into an unnamed temporary file in the system's temporary folder: 16 bytes per attempt.
#pragma once

#include "core/BinaryRecordDecoder.h"
#include "core/RawRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace hookmeter {

class TRecordSpool {
public:
    static constexpr size_t BlockSize = size_t{1} << 18;

    TRecordSpool();
    ~TRecordSpool();
    TRecordSpool(const TRecordSpool&) = delete;
    TRecordSpool& operator=(const TRecordSpool&) = delete;

    // Empty, ready for the first attempt.
    void Start();
    // Empty, without a file.
    void Clear();

    // False when the spool could not be written; it then takes nothing more.
    bool Add(const RawRecord& record) {
        TBinaryRecordDecoder::Encode(record, Block.get() + Used);
        Used += TBinaryRecordDecoder::RecordSize;
        return Used < BlockSize || WriteBlock();
    }
    bool AddFailedRead() { return Add(FailedRead); }
    // Writes what the block holds when the attempts go to a file. False when that fails.
    bool Finish();

    // After Finish: the attempts are in memory, in Bytes(), or in the file that TakeFile hands
    // over.
    bool InMemory() const { return File == nullptr; }
    const char* Bytes() const { return Block.get(); }
    uint64_t Size() const { return Written + Used; }
    std::FILE* TakeFile();

private:
    static constexpr RawRecord FailedRead{~uint32_t{0}, 0, ~uint64_t{0}};
    static_assert(!IsValidRecord(FailedRead));

    bool WriteBlock();

    std::unique_ptr<char[]> Block;
    size_t Used = 0;
    uint64_t Written = 0; // bytes in the file
    std::FILE* File = nullptr;
    bool Failed = false;
};

} // namespace hookmeter
