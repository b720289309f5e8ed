// Number formatting for the reports, without printf but byte-identical to the printf
// conversions the reports are defined by: "%08x", and "%Nu" / "%Nllu" (right-aligned in N
// characters with spaces, wider numbers printed in full). Each function writes at `out` and
// returns the position after the last character written.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace hookmeter {

inline constexpr size_t MaxDecimalDigits = 20; // 18446744073709551615

namespace detail {

inline constexpr char DigitPairs[] = "00010203040506070809"
                                     "10111213141516171819"
                                     "20212223242526272829"
                                     "30313233343536373839"
                                     "40414243444546474849"
                                     "50515253545556575859"
                                     "60616263646566676869"
                                     "70717273747576777879"
                                     "80818283848586878889"
                                     "90919293949596979899";

inline constexpr auto PowersOfTen = [] {
    std::array<uint64_t, MaxDecimalDigits> powers{};
    uint64_t power = 1;
    for (uint64_t& entry : powers) {
        entry = power;
        power *= 10; // wraps once the table is full
    }
    return powers;
}();

inline int CountDigits(uint64_t value) {
    value |= 1; // the same digits, and at least one
    // log10(2) ~ 1233 / 4096: a guess from the bit count (at most 19), short by at most one.
    int guess = (int(std::bit_width(value)) * 1233) >> 12;
    return guess + (value >= PowersOfTen[guess] ? 1 : 0);
}

} // namespace detail

// The digits of hexadecimal numbers, lower case, then upper case.
inline constexpr char HexDigits[] = "0123456789abcdef0123456789ABCDEF";
// The digit of the low four bits of `value`.
inline constexpr char LowerHexDigit(unsigned value) {
    return HexDigits[value & 0xF];
}
inline constexpr char UpperHexDigit(unsigned value) {
    return HexDigits[16 + (value & 0xF)];
}

// "%08x"
inline char* FormatHex8(char* out, uint32_t value) {
    for (int i = 7; i >= 0; --i) {
        out[i] = LowerHexDigit(value);
        value >>= 4;
    }
    return out + 8;
}

// "%<width>llu"
inline char* FormatUnsigned(char* out, uint64_t value, int width) {
    int digits = detail::CountDigits(value);
    for (int i = digits; i < width; ++i)
        *out++ = ' ';
    char* end = out + digits;
    char* p = end;
    while (value >= 100) {
        unsigned pair = unsigned(value % 100) * 2;
        value /= 100;
        p -= 2;
        p[0] = detail::DigitPairs[pair];
        p[1] = detail::DigitPairs[pair + 1];
    }
    if (value >= 10) {
        unsigned pair = unsigned(value) * 2;
        p[-2] = detail::DigitPairs[pair];
        p[-1] = detail::DigitPairs[pair + 1];
    } else {
        p[-1] = char('0' + value);
    }
    return end;
}

} // namespace hookmeter
