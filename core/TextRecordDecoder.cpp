#include "core/TextRecordDecoder.h"

#include <algorithm>

namespace hookmeter {
namespace {

// Up to eight bytes, the first one lowest; the missing ones read as 0, which is not a digit.
uint64_t LoadUpTo(const char* bytes, size_t count) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, count);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

} // namespace

bool ParseHexLine(const char* piece, size_t length, uint32_t& value) {
    if (length < 3 || piece[0] != '0' || piece[1] != 'x')
        return false;
    const char* digits = piece + 2;
    size_t room = length - 2;
    size_t count = 0;
    for (;;) {
        uint64_t stops =
            detail::NonHexBytes(LoadUpTo(digits + count, std::min(room - count, size_t{8})));
        if (stops != 0) {
            count += size_t(std::countr_zero(stops)) / 8;
            break;
        }
        count += 8;
    }
    if (count == 0)
        return false;
    // More than eight digits: the number is wider than 32 bits unless the extra ones are
    // leading zeros.
    for (size_t i = 0; i + 8 < count; ++i)
        if (digits[i] != '0')
            return false;
    size_t last = std::min(count, size_t{8});
    value = detail::HexValue(LoadUpTo(digits + count - last, last), last);
    return true;
}

void TTextRecordDecoder::DropHeader() {
    uint32_t ignored;
    ReadLine(ignored);
}

TTextRecordDecoder::LineRead TTextRecordDecoder::ReadLine(uint32_t& value) {
    size_t have = Source.Buffered();
    if (have >= ShortRecordBytes) {
        if (size_t length = ShortLine(Source.Data(), value); length != 0) {
            Source.Consume(length);
            return LineRead::Number;
        }
    }
    if (have < MaxLinePiece) {
        have = Source.Available(MaxLinePiece);
        if (have == 0)
            return LineRead::NoLine;
    }
    size_t limit = std::min(have, MaxLinePiece);
    const char* line = Source.Data();
    const void* lineFeed = std::memchr(line, '\n', limit);
    size_t piece =
        lineFeed != nullptr ? size_t(static_cast<const char*>(lineFeed) - line) + 1 : limit;
    bool parsed = ParseHexLine(line, piece, value);
    Source.Consume(piece);
    return parsed ? LineRead::Number : LineRead::NoNumber;
}

ReadResult TTextRecordDecoder::ReadLineByLine(RawRecord& record) {
    uint32_t fields[3];
    for (int i = 0; i < 3; ++i) {
        switch (ReadLine(fields[i])) {
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
    return IsValidRecord(record) ? ReadResult::Valid : ReadResult::Invalid;
}

} // namespace hookmeter
