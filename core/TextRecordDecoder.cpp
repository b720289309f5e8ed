#include "core/TextRecordDecoder.h"

#include "core/BinaryRecordDecoder.h"
#include "core/RawRecord.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define HOOKMETER_VECTOR_RECORDS 1
#endif

namespace hookmeter {
namespace {

constexpr uint64_t EachByte = 0x0101010101010101u;
constexpr uint64_t HighBits = 0x8080808080808080u;
constexpr uint16_t Prefix = '0' | 'x' << 8; // "0x" as two bytes read little-endian

// Bytes the portable reader of three short lines looks at.
constexpr size_t ShortRecordBytes = 48;

uint64_t FromLittleEndian(uint64_t word) {
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// Eight bytes, the first one lowest.
uint64_t LoadWord(const char* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return FromLittleEndian(word);
}

// Up to eight bytes, the first one lowest; the missing ones read as 0, which is not a digit.
uint64_t LoadUpTo(const char* bytes, size_t count) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, count);
    return FromLittleEndian(word);
}

uint16_t LoadPrefix(const char* bytes) {
    return uint16_t(uint8_t(bytes[0]) | uint8_t(bytes[1]) << 8);
}

// The high bit of each byte of `word` that is not a hexadecimal digit. The comparisons run on
// the low seven bits, where adding a constant cannot carry into the next byte; a byte with its
// high bit set is never a digit.
uint64_t NonHexBytes(uint64_t word) {
    uint64_t low = word & ~HighBits;
    uint64_t digit = (low + EachByte * (0x80 - '0')) & ~(low + EachByte * (0x7F - '9'));
    uint64_t folded = low | EachByte * 0x20; // 'A'..'F' to 'a'..'f'
    uint64_t letter = (folded + EachByte * (0x80 - 'a')) & ~(folded + EachByte * (0x7F - 'f'));
    return ~((digit | letter) & ~word) & HighBits;
}

// The number spelt by the first `digits` (1 to 8) bytes of `word`, which are hexadecimal
// digits, the first one the most significant.
uint32_t HexValue(uint64_t word, size_t digits) {
    // '0'..'9' keep their low four bits; letters add 9, and only they have bit 6 set.
    uint64_t nibbles = (word & EachByte * 0x0F) + ((word >> 6) & EachByte) * 9;
    nibbles <<= 8 * (8 - digits); // drops what follows the digits; the last digit is now byte 7
    nibbles = ((nibbles << 4) | (nibbles >> 8)) & 0x00FF00FF00FF00FFu;
    nibbles = ((nibbles << 8) | (nibbles >> 16)) & 0x0000FFFF0000FFFFu;
    nibbles = ((nibbles << 16) | (nibbles >> 32)) & 0x00000000FFFFFFFFu;
    return uint32_t(nibbles);
}

// The length of the line at `text` when it is "0x", one to eight hexadecimal digits and a line
// end ("\n" or "\r\n"), with its number in `value`; 0 for any other line. Looks at 12 bytes.
size_t ShortLine(const char* text, uint32_t& value) {
    uint64_t word = LoadWord(text + 2);
    size_t digits = size_t(std::countr_zero(NonHexBytes(word))) / 8; // 8 when all are digits
    size_t length = 3 + digits + (text[2 + digits] == '\r' ? 1 : 0);
    if (LoadPrefix(text) != Prefix || digits == 0 || text[length - 1] != '\n')
        return 0;
    value = HexValue(word, digits);
    return length;
}

void PutRecord(char* out, uint32_t address, uint32_t low, uint32_t high) {
    TBinaryRecordDecoder::Encode({address, 0, uint64_t(high) << 32 | low}, out);
}

#ifdef HOOKMETER_VECTOR_RECORDS

#define HOOKMETER_AVX2 __attribute__((target("avx2")))

// For 0 to 8 digits that end a group of eight bytes: the bytes that hold them.
alignas(16) constexpr uint64_t DigitBytes[9] = {
    0,
    0xFF00000000000000u,
    0xFFFF000000000000u,
    0xFFFFFF0000000000u,
    0xFFFFFFFF00000000u,
    0xFFFFFFFFFF000000u,
    0xFFFFFFFFFFFF0000u,
    0xFFFFFFFFFFFFFF00u,
    0xFFFFFFFFFFFFFFFFu,
};

// A byte is a hexadecimal digit when its high four bits allow its low four bits: 3 allows 0 to
// 9 (a digit), 4 and 6 allow 1 to 6 (a letter). A letter adds 9 to its low four bits.
alignas(32) constexpr uint8_t HighFourBits[32] = {0, 0, 0, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
alignas(32) constexpr uint8_t LowFourBits[32] = {1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0,
                                                 1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0};
alignas(32) constexpr uint8_t LetterValue[32] = {0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                 0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0};

HOOKMETER_AVX2 __m256i LoadTable(const uint8_t (&table)[32]) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(table));
}

HOOKMETER_AVX2 __m128i LoadEight(const void* bytes) {
    return _mm_loadl_epi64(static_cast<const __m128i*>(bytes));
}

HOOKMETER_AVX2 __m256i ThreeGroups(__m128i first, __m128i second, __m128i third) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(first, second)), third,
                                   1);
}

// The record of three lines that end at `stop1`, `stop2` and `stop3` after 1 to 8 digits each,
// written at `out` in the binary form. Each line is read as the group of eight bytes before
// its end, where the bytes in front of the digits count as zeros. False, with nothing written,
// when a digit is not a hexadecimal one.
HOOKMETER_AVX2 bool PutShortRecord(const char* text, size_t stop1, size_t digits1, size_t stop2,
                                   size_t digits2, size_t stop3, size_t digits3, char* out) {
    __m256i bytes = ThreeGroups(LoadEight(text + stop1 - 8), LoadEight(text + stop2 - 8),
                                LoadEight(text + stop3 - 8));
    __m256i keep = ThreeGroups(LoadEight(&DigitBytes[digits1]), LoadEight(&DigitBytes[digits2]),
                               LoadEight(&DigitBytes[digits3]));
    const __m256i four = _mm256_set1_epi8(0x0F);
    __m256i low = _mm256_and_si256(bytes, four);
    __m256i high = _mm256_and_si256(_mm256_srli_epi16(bytes, 4), four);
    __m256i allowed = _mm256_and_si256(_mm256_shuffle_epi8(LoadTable(HighFourBits), high),
                                       _mm256_shuffle_epi8(LoadTable(LowFourBits), low));
    __m256i wrong = _mm256_and_si256(_mm256_cmpeq_epi8(allowed, _mm256_setzero_si256()), keep);
    if (!_mm256_testz_si256(wrong, wrong))
        return false;
    __m256i nibbles = _mm256_and_si256(
        _mm256_add_epi8(low, _mm256_shuffle_epi8(LoadTable(LetterValue), high)), keep);
    __m256i pairs = _mm256_maddubs_epi16(nibbles, _mm256_set1_epi16(0x0110)); // 16 * a + b
    __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010100));  // 256 * a + b
    __m256i numbers = _mm256_add_epi64(_mm256_slli_epi64(quads, 16), _mm256_srli_epi64(quads, 32));
    // Address, Reserved 0, TSC low, TSC high: the numbers sit in dwords 0, 2 and 4.
    __m256i record =
        _mm256_permutevar8x32_epi32(numbers, _mm256_setr_epi32(0, 1, 2, 4, 0, 0, 0, 0));
    record = _mm256_and_si256(record, _mm256_setr_epi32(-1, 0, -1, -1, 0, 0, 0, 0));
    static_assert(std::endian::native == std::endian::little);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(record));
    return true;
}

// Decodes records of short lines ("0x", one to eight digits, "\n") from `text` on, at most
// `count` of them, into `out`, as long as whole ones fit in the `have` bytes. Returns the bytes
// they took and adds their number to `written`. Looks at 8 bytes before `text` too.
HOOKMETER_AVX2 size_t DecodeShortRecords(const char* text, size_t have, char* out, size_t count,
                                         size_t& written) {
    const __m256i lineFeed = _mm256_set1_epi8('\n');
    size_t used = 0;
    size_t records = 0;
    // A window of 64 bytes from the next record on: its line feeds make one mask.
    while (have - used >= 64 && records < count) {
        const char* window = text + used;
        __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window));
        __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 32));
        uint64_t lineFeeds =
            uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(head, lineFeed)))) |
            uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(tail, lineFeed)))) << 32;
        size_t start = 0;
        for (; records < count; ++records) {
            size_t end1 = size_t(std::countr_zero(lineFeeds));
            lineFeeds &= lineFeeds - 1;
            size_t end2 = size_t(std::countr_zero(lineFeeds));
            lineFeeds &= lineFeeds - 1;
            size_t end3 = size_t(std::countr_zero(lineFeeds));
            lineFeeds &= lineFeeds - 1;
            if (end3 >= 64)
                break; // the record goes on past the window
            size_t digits1 = end1 - start - 2;
            size_t digits2 = end2 - end1 - 3;
            size_t digits3 = end3 - end2 - 3;
            if (((digits1 - 1) | (digits2 - 1) | (digits3 - 1)) >= 8 ||
                ((LoadPrefix(window + start) ^ Prefix) | (LoadPrefix(window + end1 + 1) ^ Prefix) |
                 (LoadPrefix(window + end2 + 1) ^ Prefix)) != 0 ||
                !PutShortRecord(window, end1, digits1, end2, digits2, end3, digits3,
                                out + 16 * records))
                break;
            start = end3 + 1;
        }
        if (start == 0)
            break; // a record of other lines, or a longer one
        used += start;
    }
    written += records;
    return used;
}

bool VectorRecordsAvailable() {
    return __builtin_cpu_supports("avx2");
}

#else

bool VectorRecordsAvailable() {
    return false;
}

#endif

std::atomic<bool> VectorRecordsAllowed{true};

} // namespace

bool ParseHexLine(const char* piece, size_t length, uint32_t& value) {
    if (length < 3 || LoadPrefix(piece) != Prefix)
        return false;
    const char* digits = piece + 2;
    size_t room = length - 2;
    size_t count = 0;
    for (;;) {
        uint64_t stops = NonHexBytes(LoadUpTo(digits + count, std::min(room - count, size_t{8})));
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
    value = HexValue(LoadUpTo(digits + count - last, last), last);
    return true;
}

TTextRecordDecoder::TTextRecordDecoder(TRawByteSource& source)
    : Source(source),
      Vector(VectorRecordsAllowed.load(std::memory_order_relaxed) && VectorRecordsAvailable()) {}

void TTextRecordDecoder::UseVectorInstructions(bool use) {
    VectorRecordsAllowed.store(use, std::memory_order_relaxed);
}

void TTextRecordDecoder::DropHeader() {
    uint32_t ignored;
    ReadLine(ignored);
}

size_t TTextRecordDecoder::Decode(char* out, size_t count) {
    size_t written = 0;
    while (written < count) {
#ifdef HOOKMETER_VECTOR_RECORDS
        if (Vector) {
            Source.Consume(DecodeShortRecords(Source.Data(), Source.Buffered(), out + 16 * written,
                                              count - written, written));
            if (written == count)
                break;
        }
#endif
        if (!DecodeAttempt(out + 16 * written))
            break;
        ++written;
    }
    return written;
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

bool TTextRecordDecoder::DecodeAttempt(char* out) {
    uint32_t fields[3];
    const char* text = Source.Data();
    size_t first, second, third;
    if (Source.Buffered() >= ShortRecordBytes && (first = ShortLine(text, fields[0])) != 0 &&
        (second = ShortLine(text + first, fields[1])) != 0 &&
        (third = ShortLine(text + first + second, fields[2])) != 0) {
        Source.Consume(first + second + third);
    } else {
        for (int i = 0; i < 3; ++i) {
            LineRead read = ReadLine(fields[i]);
            if (read == LineRead::NoLine && i == 0)
                return false;
            if (read != LineRead::Number) {
                TBinaryRecordDecoder::Encode(TBinaryRecordDecoder::FailedRead, out);
                return true;
            }
        }
    }
    PutRecord(out, fields[0], fields[1], fields[2]);
    return true;
}

} // namespace hookmeter
