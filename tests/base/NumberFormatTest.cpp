#include "base/NumberFormat.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace hookmeter {
namespace {

std::string Unsigned(uint64_t value, int width) {
    char out[64];
    return std::string(out, FormatUnsigned(out, value, width));
}

std::string Printf(uint64_t value, int width) {
    char out[64];
    std::snprintf(out, sizeof out, "%*" PRIu64, width, value);
    return out;
}

std::vector<uint64_t> InterestingValues() {
    std::vector<uint64_t> values = {
        0, 1, 9, 10, 11, 99, 100, 101, UINT32_MAX, UINT64_MAX, UINT64_MAX - 1};
    for (uint64_t power = 1; power <= UINT64_MAX / 10; power *= 10) {
        values.push_back(power - 1);
        values.push_back(power);
        values.push_back(power * 10 - 1);
    }
    std::mt19937_64 random(42);
    for (int i = 0; i < 20000; ++i)
        values.push_back(random() >> (random() % 64));
    return values;
}

TEST(NumberFormat, UnsignedMatchesPrintfForEveryWidthTheReportsUse) {
    for (uint64_t value : InterestingValues())
        for (int width : {0, 12, 13, 15, 17})
            ASSERT_EQ(Unsigned(value, width), Printf(value, width)) << value << " width " << width;
}

TEST(NumberFormat, NumbersWiderThanTheirFieldArePrintedInFull) {
    EXPECT_EQ(Unsigned(UINT64_MAX, 15), "18446744073709551615");
    EXPECT_EQ(Unsigned(1234567890123456ull, 15), "1234567890123456");
    EXPECT_EQ(Unsigned(123456789012345ull, 15), "123456789012345");
    EXPECT_EQ(Unsigned(7, 15), "              7");
}

TEST(NumberFormat, Hex8MatchesPrintf) {
    std::mt19937 random(3);
    std::vector<uint32_t> values = {0, 1, 0xF, 0x10, 0xABCDEF, 0x80000000u, UINT32_MAX};
    for (int i = 0; i < 10000; ++i)
        values.push_back(random());
    for (uint32_t value : values) {
        char ours[8];
        char theirs[16];
        FormatHex8(ours, value);
        std::snprintf(theirs, sizeof theirs, "%08x", value);
        ASSERT_EQ(std::string(ours, 8), theirs);
    }
}

// The summary prints fractions with to_chars; it must agree with "%.8f".
TEST(NumberFormat, FixedEightDecimalsMatchesPrintf) {
    std::mt19937_64 random(5);
    std::vector<double> values = {
        0.0,         1.0,         0.5,         0.125, 0.64285714285,
        0.000000005, 0.000000015, 0.999999995, 1e20,  18446744073709551615.0};
    for (int i = 0; i < 20000; ++i) {
        uint64_t part = random() >> (random() % 64);
        uint64_t whole = part + (random() >> (random() % 64)) + 1;
        values.push_back(double(part) / double(whole));
    }
    for (double value : values) {
        char ours[400];
        char theirs[400];
        *std::to_chars(ours, ours + sizeof ours, value, std::chars_format::fixed, 8).ptr = '\0';
        std::snprintf(theirs, sizeof theirs, "%.8f", value);
        ASSERT_STREQ(ours, theirs) << value;
    }
}

} // namespace
} // namespace hookmeter
