#include "engine/RawFile.h"

#include <cstring>

namespace hookmeter {
namespace {

constexpr size_t BufferSize = size_t{1} << 20;
constexpr size_t MaxLinePiece = 63; // a line read takes at most 63 characters

uint32_t LoadLittleEndian32(const char* bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// The value of each hexadecimal digit character, -1 for every other byte.
struct THexDigits {
    int8_t Value[256];
    constexpr THexDigits() : Value{} {
        for (int c = 0; c < 256; ++c)
            Value[c] = -1;
        for (int c = '0'; c <= '9'; ++c)
            Value[c] = int8_t(c - '0');
        for (int c = 'a'; c <= 'f'; ++c)
            Value[c] = int8_t(c - 'a' + 10);
        for (int c = 'A'; c <= 'F'; ++c)
            Value[c] = int8_t(c - 'A' + 10);
    }
};
constexpr THexDigits HexDigits;

// Parses "0x" and at least one hexadecimal digit at the start of text[0, length); `stop` is
// where the parse ended, at the first byte that is not part of the number.
bool ParseHexPrefix(const char* text, size_t length, uint32_t& value, size_t& stop) {
    if (length < 3 || text[0] != '0' || text[1] != 'x') {
        stop = 0;
        return false;
    }
    uint32_t result = 0;
    size_t i = 2;
    for (int digit; i < length && (digit = HexDigits.Value[uint8_t(text[i])]) >= 0; ++i)
        result = result << 4 | uint32_t(digit);
    stop = i;
    if (i == 2)
        return false;
    value = result;
    return true;
}

} // namespace

bool ParseHexLine(const char* piece, size_t length, uint32_t& value) {
    size_t stop;
    return ParseHexPrefix(piece, length, value, stop);
}

TRawFile::TRawFile() = default;

TRawFile::~TRawFile() {
    Close();
}

bool TRawFile::Open(const std::string& fileName, int8_t fileType) {
    Close();
    Binary = fileType == 1;
    File = std::fopen(fileName.c_str(), "rb");
    if (File == nullptr)
        return false;
    std::setvbuf(File, nullptr, _IONBF, 0); // our own buffer holds the blocks
    if (!Buffer)
        Buffer.reset(new char[BufferSize]);
    Pos = Fill = 0;
    Exhausted = false;
    if (!Binary)
        DropHeader();
    return true;
}

void TRawFile::Close() {
    if (File != nullptr)
        std::fclose(File);
    File = nullptr;
}

void TRawFile::Rewind() {
    std::rewind(File);
    Pos = Fill = 0;
    Exhausted = false;
    if (!Binary)
        DropHeader();
}

void TRawFile::DropHeader() {
    uint32_t ignored;
    ReadHexLine(ignored);
}

size_t TRawFile::Available(size_t wanted) {
    size_t have = Fill - Pos;
    if (have >= wanted)
        return have;
    std::memmove(Buffer.get(), Buffer.get() + Pos, have);
    Pos = 0;
    Fill = have;
    while (Fill < wanted) {
        size_t got = std::fread(Buffer.get() + Fill, 1, BufferSize - Fill, File);
        if (got == 0) {
            Exhausted = true;
            break;
        }
        Fill += got;
    }
    return Fill - Pos;
}

void TRawFile::DecodeBinaryRecord(const char* bytes, RawRecord& record) {
    record.Address = LoadLittleEndian32(bytes);
    record.Reserved = LoadLittleEndian32(bytes + 4);
    record.TSC = uint64_t(LoadLittleEndian32(bytes + 12)) << 32 | LoadLittleEndian32(bytes + 8);
}

ReadResult TRawFile::ReadLastBinaryRecords(RawRecord& record) {
    size_t have = Available(BinaryRecordSize);
    if (have == 0)
        return ReadResult::EndOfFile;
    if (have < BinaryRecordSize) {
        Pos += have; // a partial record at the end is consumed as one failed read
        return ReadResult::Invalid;
    }
    return ReadBinaryRecord(record); // the buffer now holds the record whole
}

TRawFile::LineRead TRawFile::ReadHexLine(uint32_t& value) {
    size_t have = Fill - Pos;
    if (have < MaxLinePiece) {
        have = Available(MaxLinePiece);
        if (have == 0)
            return LineRead::NoLine;
    }
    size_t limit = have < MaxLinePiece ? have : MaxLinePiece;
    const char* line = Buffer.get() + Pos;
    size_t stop;
    bool parsed = ParseHexPrefix(line, limit, value, stop);
    // The number cannot run past the line feed, so the line ends at or after `stop`.
    const void* lineFeed = std::memchr(line + stop, '\n', limit - stop);
    Pos += lineFeed != nullptr ? size_t(static_cast<const char*>(lineFeed) - line) + 1 : limit;
    return parsed ? LineRead::Number : LineRead::NoNumber;
}

ReadResult TRawFile::ReadTextRecord(RawRecord& record) {
    uint32_t fields[3];
    for (int i = 0; i < 3; ++i) {
        switch (ReadHexLine(fields[i])) {
        case LineRead::NoLine:
            return i == 0 ? ReadResult::EndOfFile : ReadResult::Invalid;
        case LineRead::NoNumber:
            return ReadResult::Invalid;
        case LineRead::Number:
            break;
        }
    }
    record.Address = fields[0];
    record.Reserved = 0;
    record.TSC = uint64_t(fields[2]) << 32 | fields[1];
    return ReadResult::Valid;
}

} // namespace hookmeter
