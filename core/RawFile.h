// Reading raw hook records from a file in the text or the binary form, in large blocks.
//
// Binary form: 16-byte little-endian records (Address, Reserved, TSC low, TSC high).
// Text form: one header line, then three lines per record, each "0x" and hexadecimal digits:
// Address, TSC low, TSC high. Lines are consumed in pieces of at most 63 characters.
//
// A regular file is read in place. Anything else that can be read as a stream (a pipe, a FIFO, a
// character device) is copied, while the first pass reads it, into an unnamed temporary file in
// the system's temporary folder, and every later pass reads that copy.
#pragma once

#include "core/RawRecord.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace hookmeter {

// The two forms of a raw record file.
enum class RawForm : uint8_t { Text, Binary };

enum class ReadResult {
    Valid,     // a whole record was read and it is valid
    Invalid,   // a broken, partial or invalid record was consumed
    EndOfFile, // no data of a new record came: the end, or one of the problems below
};

// Why the records ended before the end of the file's data.
enum class RawFileProblem {
    None,
    ReadError,    // reading the file failed
    RewindFailed, // the file could not be positioned at its start again
    Changed,      // the file was replaced or lost data since its content was fixed
    SpoolFailed,  // the copy of a stream could not be written
    Stopped,      // the stop flag was set
};

class TRawFile {
public:
    TRawFile();
    ~TRawFile();
    TRawFile(const TRawFile&) = delete;
    TRawFile& operator=(const TRawFile&) = delete;

    // The text form's header line is dropped. Fails for a folder, for what cannot be read, and
    // for a stream when no temporary copy can be made.
    bool Open(const std::string& fileName, RawForm form);
    void Close();
    bool IsOpen() const { return File != nullptr; }
    // The file's size when it was opened; 0 for a stream or when it is not known.
    uint64_t KnownSize() const { return SizeAtOpen; }

    // Checked before every block read: once it is set, the records end with Stopped.
    void SetStopFlag(const std::atomic<bool>* stop) { StopFlag = stop; }
    // Receives the number of bytes read so far after every block read; none: nothing is told.
    void SetBytesReadCounter(std::atomic<uint64_t>* counter) { BytesReadCounter = counter; }

    ReadResult ReadRecord(RawRecord& record) {
        ReadResult result = Binary ? ReadBinaryRecord(record) : ReadTextRecord(record);
        if (result == ReadResult::Valid && !IsValidRecord(record))
            return ReadResult::Invalid;
        return result;
    }
    // Called once the first pass has read what it needs: from then on only the bytes the file
    // holds now are read (later growth is ignored), and a file that is replaced or shrinks is
    // reported as Changed. A stream's copy takes the stream's place. False with a problem set.
    bool FixContent();
    // Back to the first record: the start of the file, after the header line in the text form.
    // False with a problem set when the file cannot be rewound or has changed.
    bool Rewind();
    // True when every byte of the file has been consumed.
    bool AtEnd() const { return Exhausted && Pos == Fill; }
    // None when the last EndOfFile was the true end of the data.
    RawFileProblem Problem() const { return CurrentProblem; }

private:
    ReadResult ReadBinaryRecord(RawRecord& record) {
        if (Fill - Pos < BinaryRecordSize)
            return ReadLastBinaryRecords(record);
        DecodeBinaryRecord(Buffer.get() + Pos, record);
        Pos += BinaryRecordSize;
        return ReadResult::Valid;
    }
    // A binary record that the buffer does not hold whole: refills, or meets the end of the file.
    ReadResult ReadLastBinaryRecords(RawRecord& record);
    static void DecodeBinaryRecord(const char* bytes, RawRecord& record);
    ReadResult ReadTextRecord(RawRecord& record);
    enum class LineRead { Number, NoNumber, NoLine };
    // Consumes the next piece of a line (at most 63 characters, up to and including its line
    // feed) and parses it the way "0x%x" does. NoLine when no byte is left.
    LineRead ReadHexLine(uint32_t& value);
    // Makes at least `wanted` bytes available from Pos on, unless the file ends first.
    size_t Available(size_t wanted);
    // Reads the next block into the buffer; false at the end of the data or on a problem.
    bool ReadBlock();
    void EndWith(RawFileProblem problem);
    // True when the path still names the file that was opened and it has lost no byte.
    bool StillTheSameFile() const;
    void DropHeader();

    static constexpr size_t BinaryRecordSize = 16;
    std::string FileName;
    std::FILE* File = nullptr;
    std::FILE* Spool = nullptr; // the copy of a stream, written during the first pass
    bool Binary = false;
    std::unique_ptr<char[]> Buffer;
    size_t Pos = 0;
    size_t Fill = 0;
    bool Exhausted = false;        // the file had no more bytes to give
    uint64_t Offset = 0;           // bytes read from the file since the last rewind
    uint64_t Limit = ~uint64_t{0}; // bytes of the file to read; fixed after the first pass
    uint64_t SizeAtOpen = 0;
    bool Fixed = false;
    uint64_t Device = 0; // identity of the regular file that was opened
    uint64_t Inode = 0;
    RawFileProblem CurrentProblem = RawFileProblem::None;
    const std::atomic<bool>* StopFlag = nullptr;
    std::atomic<uint64_t>* BytesReadCounter = nullptr;
};

// Parses a text line piece the way "0x%x" reads it: "0x" at the very start, then at least one
// hexadecimal digit; what follows the digits is ignored. A number wider than 32 bits (more than
// eight digits after its leading zeros) fails: its record is damaged.
bool ParseHexLine(const char* piece, size_t length, uint32_t& value);

} // namespace hookmeter
