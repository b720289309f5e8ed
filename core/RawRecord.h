// One raw hook record as the DSP's entry/exit hooks write it.
#pragma once

#include <cstdint>

namespace hookmeter {

enum RecordKind : uint32_t {
    FunctionEnter = 0,
    FunctionExit = 1,
    TaskEnter = 2,
    TaskExit = 3,
};

struct RawRecord {
    uint32_t Address;  // bits 31..2: function address or task handle; bits 1..0: the kind
    uint32_t Reserved; // present in the binary form only; never interpreted
    uint64_t TSC;      // the DSP's time-stamp counter when the record was written
};
static_assert(sizeof(RawRecord) == 16, "RawRecord mirrors the 16-byte binary record");

inline constexpr uint32_t KeyOf(uint32_t address) {
    return address & ~uint32_t{3};
}
inline constexpr RecordKind KindOf(uint32_t address) {
    return RecordKind(address & 3);
}

// The outcome of one attempt to read a record.
enum class ReadResult {
    Valid,     // a whole record was read and it is valid
    Invalid,   // a broken, partial or invalid record was consumed
    EndOfFile, // no data of a new record came: the end, or a problem of the raw file
};

// A record is valid unless its address is all ones or any of the four top bits of its TSC is set.
inline constexpr bool IsValidRecord(const RawRecord& record) {
    return record.Address != 0xFFFFFFFFu && (record.TSC >> 60) == 0;
}

} // namespace hookmeter
