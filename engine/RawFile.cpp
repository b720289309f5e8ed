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

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ParseHexLine(const char* piece, size_t length, uint32_t& value) {
    if (length < 3 || piece[0] != '0' || piece[1] != 'x')
        return false;
    uint32_t result = 0;
    size_t i = 2;
    for (; i < length; ++i) {
        int digit = HexDigitValue(piece[i]);
        if (digit < 0)
            break;
        result = result << 4 | uint32_t(digit);
    }
    if (i == 2)
        return false;
    value = result;
    return true;
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
    const char* piece;
    size_t length;
    NextLinePiece(piece, length);
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
    DecodeBinaryRecord(Buffer.get() + Pos, record);
    Pos += BinaryRecordSize;
    return ReadResult::Valid;
}

bool TRawFile::NextLinePiece(const char*& piece, size_t& length) {
    size_t have = Fill - Pos;
    const char* begin = Buffer.get() + Pos;
    const void* lineEnd = std::memchr(begin, '\n', have < MaxLinePiece ? have : MaxLinePiece);
    if (lineEnd == nullptr && have < MaxLinePiece) {
        have = Available(MaxLinePiece);
        if (have == 0)
            return false;
        begin = Buffer.get() + Pos;
        lineEnd = std::memchr(begin, '\n', have < MaxLinePiece ? have : MaxLinePiece);
    }
    if (lineEnd != nullptr)
        length = size_t(static_cast<const char*>(lineEnd) - begin) + 1;
    else
        length = have < MaxLinePiece ? have : MaxLinePiece;
    piece = begin;
    Pos += length;
    return true;
}

ReadResult TRawFile::ReadTextRecord(RawRecord& record) {
    uint32_t fields[3];
    for (int i = 0; i < 3; ++i) {
        const char* piece;
        size_t length;
        if (!NextLinePiece(piece, length))
            return i == 0 ? ReadResult::EndOfFile : ReadResult::Invalid;
        if (!ParseHexLine(piece, length, fields[i]))
            return ReadResult::Invalid;
    }
    record.Address = fields[0];
    record.Reserved = 0;
    record.TSC = uint64_t(fields[2]) << 32 | fields[1];
    return ReadResult::Valid;
}

} // namespace hookmeter
