// The binary form of raw records: 16 bytes each, little-endian, with no header and no trailer.
//
//   offset 0: Address   offset 4: Reserved   offset 8: TSC low 32 bits   offset 12: TSC high
#pragma once

#include "core/RawByteSource.h"
#include "core/RawRecord.h"

#include <cstddef>
#include <cstdint>

namespace hookmeter {

class TBinaryRecordDecoder {
public:
    static constexpr size_t RecordSize = 16;
    // A read attempt that failed, where attempts are kept in the binary form: a record that is
    // never valid.
    static constexpr RawRecord FailedRead{~uint32_t{0}, 0, ~uint64_t{0}};
    static_assert(!IsValidRecord(FailedRead));

    explicit TBinaryRecordDecoder(TRawByteSource& source) : Source(source) {}

    ReadResult Read(RawRecord& record) {
        if (Source.Buffered() < RecordSize)
            return ReadLast(record);
        Decode(Source.Data(), record);
        Source.Consume(RecordSize);
        return IsValidRecord(record) ? ReadResult::Valid : ReadResult::Invalid;
    }

    static void Decode(const char* bytes, RawRecord& record) {
        record.Address = Load32(bytes);
        record.Reserved = Load32(bytes + 4);
        record.TSC = uint64_t(Load32(bytes + 12)) << 32 | Load32(bytes + 8);
    }
    static void Encode(const RawRecord& record, char* bytes) {
        Store32(bytes, record.Address);
        Store32(bytes + 4, record.Reserved);
        Store32(bytes + 8, uint32_t(record.TSC));
        Store32(bytes + 12, uint32_t(record.TSC >> 32));
    }

private:
    // A record that the buffer does not hold whole: refills, or meets the end of the data.
    ReadResult ReadLast(RawRecord& record);

    static uint32_t Load32(const char* bytes) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    static void Store32(char* bytes, uint32_t value) {
        auto* b = reinterpret_cast<unsigned char*>(bytes);
        b[0] = uint8_t(value);
        b[1] = uint8_t(value >> 8);
        b[2] = uint8_t(value >> 16);
        b[3] = uint8_t(value >> 24);
    }

    TRawByteSource& Source;
};

} // namespace hookmeter
