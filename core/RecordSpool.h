// The read attempts of a text trace, decoded once, for the passes that read the trace again:
// each attempt is one 16-byte record in the binary form, a failed read a record that is never
// valid (TBinaryRecordDecoder::FailedRead). Read back in order through the binary decoder, they
// give the same attempts, valid and failed, as the text did.
//
// A trace whose attempts come in one block stays in memory; a larger one goes into an unnamed
// temporary file in the system's temporary folder: 16 bytes per attempt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace hookmeter {

class TRecordSpool {
public:
    // The most that the first block of attempts may hold.
    static constexpr size_t MemoryBytes = size_t{1} << 16;

    TRecordSpool();
    ~TRecordSpool();
    TRecordSpool(const TRecordSpool&) = delete;
    TRecordSpool& operator=(const TRecordSpool&) = delete;

    // Empty, ready for the first block.
    void Start();
    // Empty, without a file.
    void Clear();

    // Appends a block of attempts. False when the spool could not be written; it then takes
    // nothing more.
    bool Add(const char* attempts, size_t size);

    // The attempts are in memory, in Bytes(), or in the file that TakeFile hands over.
    bool InMemory() const { return File == nullptr; }
    const char* Bytes() const { return Memory.get(); }
    uint64_t Size() const { return File != nullptr ? Written : Held; }
    std::FILE* TakeFile();

private:
    bool Write(const char* bytes, size_t size);

    std::unique_ptr<char[]> Memory; // the first block, until a second one comes
    size_t Held = 0;
    uint64_t Written = 0; // bytes in the file
    std::FILE* File = nullptr;
    bool Failed = false;
};

} // namespace hookmeter
