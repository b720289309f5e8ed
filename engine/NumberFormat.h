// Number formatting for the reports, without printf but byte-identical to the printf
// conversions the reports are defined by: "%08x", and "%Nu" / "%Nllu" (right-aligned in N
// characters with spaces, wider numbers printed in full). Each function writes at `out` and
// returns the position after the last character written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hookmeter {

inline constexpr size_t MaxDecimalDigits = 20; // 18446744073709551615

// "%08x"
char* FormatHex8(char* out, uint32_t value);

// "%<width>llu"; width at most 32.
char* FormatUnsigned(char* out, uint64_t value, int width);

} // namespace hookmeter
