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
// Records are decoded into blocks of read attempts in the binary form, as the record spool holds
// them. Nearly every line is "0x", one to eight digits and a line feed: on a processor with
// AVX2, records of such lines are decoded with vector instructions, 64 bytes of text at a time;
// every other line, and every line elsewhere, is classified and combined eight bytes at a time.
#pragma once

#include "core/RawByteSource.h"

#include <cstddef>
#include <cstdint>

namespace hookmeter {

// Parses a line piece the way "0x%x" reads it: "0x" at the very start, then at least one
// hexadecimal digit. A number wider than 32 bits (more than eight digits after its leading
// zeros) fails: its record is damaged. Reads no byte past `length`.
bool ParseHexLine(const char* piece, size_t length, uint32_t& value);

class TTextRecordDecoder {
public:
    static constexpr size_t MaxLinePiece = 63;

    explicit TTextRecordDecoder(TRawByteSource& source);

    // Reads and drops the header line (one piece of it).
    void DropHeader();
    // Decodes up to `count` read attempts into `out`, 16 bytes each in the binary form, a
    // failed read as TBinaryRecordDecoder::FailedRead. Fewer only at the end of the text.
    size_t Decode(char* out, size_t count);

    // For tests: false reads every line the portable way, also where AVX2 is there.
    static void UseVectorInstructions(bool use);

private:
    enum class LineRead { Number, NoNumber, NoLine };
    // Consumes the next piece of a line and parses it. NoLine when no byte is left.
    LineRead ReadLine(uint32_t& value);
    // One read attempt the portable way; false at the end of the text.
    bool DecodeAttempt(char* out);

    TRawByteSource& Source;
    bool Vector;
};

} // namespace hookmeter
