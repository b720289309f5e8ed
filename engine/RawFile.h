// Reading raw hook records from a file in the text or the binary form, in large blocks.
//
// Binary form: 16-byte little-endian records (Address, Reserved, TSC low, TSC high).
// Text form: one header line, then three lines per record, each "0x" and hexadecimal digits:
// Address, TSC low, TSC high. Lines are consumed in pieces of at most 63 characters.
#pragma once

#include "engine/RawRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace hookmeter {

enum class ReadResult {
    Valid,     // a whole record was read and it is valid
    Invalid,   // a broken, partial or invalid record was consumed
    EndOfFile, // the end of the file came before any data of a new record
};

class TRawFile {
public:
    TRawFile();
    ~TRawFile();
    TRawFile(const TRawFile&) = delete;
    TRawFile& operator=(const TRawFile&) = delete;

    // Binary form when fileType is 1, text form for any other value; the text form's header
    // line is dropped.
    bool Open(const std::string& fileName, int8_t fileType);
    void Close();
    bool IsOpen() const { return File != nullptr; }

    ReadResult ReadRecord(RawRecord& record) {
        ReadResult result = Binary ? ReadBinaryRecord(record) : ReadTextRecord(record);
        if (result == ReadResult::Valid && !IsValidRecord(record))
            return ReadResult::Invalid;
        return result;
    }
    // Back to the first record: the start of the file, after the header line in the text form.
    void Rewind();
    // True when every byte of the file has been consumed.
    bool AtEnd() const { return Exhausted && Pos == Fill; }

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
    void DropHeader();

    static constexpr size_t BinaryRecordSize = 16;
    std::FILE* File = nullptr;
    bool Binary = false;
    std::unique_ptr<char[]> Buffer;
    size_t Pos = 0;
    size_t Fill = 0;
    bool Exhausted = false; // the file had no more bytes to give
};

// Parses a text line piece the way "0x%x" reads it: "0x" at the very start, then at least one
// hexadecimal digit; what follows the digits is ignored. Keeps the low 32 bits of longer numbers.
bool ParseHexLine(const char* piece, size_t length, uint32_t& value);

} // namespace hookmeter
