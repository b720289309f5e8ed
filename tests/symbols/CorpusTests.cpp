// The fuzzer's seed files are small valid executables of each kind the reader knows.
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace hookmeter::test {
namespace {

TEST(FuzzSeedCorpus, EverySeedIsReadWithSymbols) {
    size_t seeds = 0;
    for (const auto& file : std::filesystem::directory_iterator(HOOKMETER_FUZZ_CORPUS)) {
        const TSymbolList symbols(file.path().string(), false);
        EXPECT_GT(symbols.Count(), 0) << file.path();
        EXPECT_EQ(BrokenPromise(symbols), "") << file.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 3u);
}

} // namespace
} // namespace hookmeter::test
