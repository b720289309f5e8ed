// The text form of raw records: a header line that is never a record, then three lines per
// record, each "0x" and hexadecimal digits: Address, TSC low 32 bits, TSC high 32 bits.
//
// A line is read the way a 64-byte line buffer and "0x%x" read it. One read takes at most 63
// characters, up to and including the line feed, so a longer line is consumed in pieces that
// count as lines of their own. A piece holds a number when it begins with "0x" and at least one
// hexadecimal digit; what follows the digits is ignored (a carriage return, trailing words). A
// line without a number fails its record at once, and the next record starts at the line after
// it.
//
// Digits are classified and combined eight bytes at a time; a line of one to eight digits and a
// line end, the form of nearly every line, takes no branch per character.
#pragma once

#include "core/RawByteSource.h"
#include "core/RawRecord.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hookmeter {

// Parses a line piece the way "0x%x" reads it: "0x" at the very start, then at least one
// hexadecimal digit. A number wider than 32 bits (more than eight digits after its leading
// zeros) fails: its record is damaged. Reads no byte past `length`.
bool ParseHexLine(const char* piece, size_t length, uint32_t& value);

namespace detail {

inline constexpr uint64_t EachByte = 0x0101010101010101u;
inline constexpr uint64_t HighBits = 0x8080808080808080u;

// Eight bytes, the first one lowest.
inline uint64_t LoadWord(const char* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// The high bit of each byte of `word` that is not a hexadecimal digit. The comparisons run on
// the low seven bits, where adding a constant cannot carry into the next byte; a byte with its
// high bit set is never a digit.
inline uint64_t NonHexBytes(uint64_t word) {
    uint64_t low = word & ~HighBits;
    uint64_t digit = (low + EachByte * (0x80 - '0')) & ~(low + EachByte * (0x7F - '9'));
    uint64_t folded = low | EachByte * 0x20; // 'A'..'F' to 'a'..'f'
    uint64_t letter = (folded + EachByte * (0x80 - 'a')) & ~(folded + EachByte * (0x7F - 'f'));
    return ~((digit | letter) & ~word) & HighBits;
}

// The number spelt by the first `digits` (1 to 8) bytes of `word`, which are hexadecimal
// digits, the first one the most significant.
inline uint32_t HexValue(uint64_t word, size_t digits) {
    // '0'..'9' keep their low four bits; letters add 9, and only they have bit 6 set.
    uint64_t nibbles = (word & EachByte * 0x0F) + ((word >> 6) & EachByte) * 9;
    nibbles <<= 8 * (8 - digits); // drops what follows the digits; the last digit is now byte 7
    nibbles = ((nibbles << 4) | (nibbles >> 8)) & 0x00FF00FF00FF00FFu;
    nibbles = ((nibbles << 8) | (nibbles >> 16)) & 0x0000FFFF0000FFFFu;
    nibbles = ((nibbles << 16) | (nibbles >> 32)) & 0x00000000FFFFFFFFu;
    return uint32_t(nibbles);
}

} // namespace detail

class TTextRecordDecoder {
public:
    static constexpr size_t MaxLinePiece = 63;

    explicit TTextRecordDecoder(TRawByteSource& source) : Source(source) {}

    // Reads and drops the header line (one piece of it).
    void DropHeader();

    ReadResult Read(RawRecord& record) {
        uint32_t address, low, high;
        size_t first, second, third;
        const char* text = Source.Data();
        if (Source.Buffered() >= ShortRecordBytes && (first = ShortLine(text, address)) != 0 &&
            (second = ShortLine(text + first, low)) != 0 &&
            (third = ShortLine(text + first + second, high)) != 0) {
            Source.Consume(first + second + third);
            record.Address = address;
            record.Reserved = 0;
            record.TSC = uint64_t(high) << 32 | low;
            return IsValidRecord(record) ? ReadResult::Valid : ReadResult::Invalid;
        }
        return ReadLineByLine(record);
    }

private:
    // Three short lines and the bytes ShortLine looks at past them.
    static constexpr size_t ShortRecordBytes = 48;

    // The length of the line at `text` when it is "0x", one to eight hexadecimal digits and a
    // line end ("\n" or "\r\n"), with its number in `value`; 0 for any other line, which
    // ReadLine then reads. Looks at 12 bytes at most.
    static size_t ShortLine(const char* text, uint32_t& value) {
        if (text[0] != '0' || text[1] != 'x')
            return 0;
        uint64_t word = detail::LoadWord(text + 2);
        uint64_t stops = detail::NonHexBytes(word);
        size_t digits = stops != 0 ? size_t(std::countr_zero(stops)) / 8 : 8;
        size_t end = 2 + digits;
        size_t length;
        if (text[end] == '\n')
            length = end + 1;
        else if (text[end] == '\r' && text[end + 1] == '\n')
            length = end + 2;
        else
            return 0;
        if (digits == 0)
            return 0;
        value = detail::HexValue(word, digits);
        return length;
    }

    enum class LineRead { Number, NoNumber, NoLine };
    // Consumes the next piece of a line and parses it. NoLine when no byte is left.
    LineRead ReadLine(uint32_t& value);
    ReadResult ReadLineByLine(RawRecord& record);

    TRawByteSource& Source;
};

} // namespace hookmeter
