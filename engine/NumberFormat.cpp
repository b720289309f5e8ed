#include "engine/NumberFormat.h"

#include <cstring>

namespace hookmeter {
namespace {

constexpr char HexDigits[] = "0123456789abcdef";

constexpr char DigitPairs[] = "00010203040506070809"
                              "10111213141516171819"
                              "20212223242526272829"
                              "30313233343536373839"
                              "40414243444546474849"
                              "50515253545556575859"
                              "60616263646566676869"
                              "70717273747576777879"
                              "80818283848586878889"
                              "90919293949596979899";

} // namespace

char* FormatHex8(char* out, uint32_t value) {
    for (int i = 7; i >= 0; --i) {
        out[i] = HexDigits[value & 0xF];
        value >>= 4;
    }
    return out + 8;
}

char* FormatUnsigned(char* out, uint64_t value, int width) {
    char digits[MaxDecimalDigits];
    char* end = digits + MaxDecimalDigits;
    char* p = end;
    while (value >= 100) {
        unsigned pair = unsigned(value % 100) * 2;
        value /= 100;
        p -= 2;
        p[0] = DigitPairs[pair];
        p[1] = DigitPairs[pair + 1];
    }
    if (value >= 10) {
        unsigned pair = unsigned(value) * 2;
        p -= 2;
        p[0] = DigitPairs[pair];
        p[1] = DigitPairs[pair + 1];
    } else {
        *--p = char('0' + value);
    }
    size_t length = size_t(end - p);
    if (width > 0 && size_t(width) > length) {
        size_t padding = size_t(width) - length;
        std::memset(out, ' ', padding);
        out += padding;
    }
    std::memcpy(out, p, length);
    return out + length;
}

} // namespace hookmeter
