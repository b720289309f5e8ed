// The symbol list itself: ordering, merging of names at one address, exact lookup, and that
// loading a whole table gives exactly what adding its symbols one by one gives.
#include "symbols/SymbolList.h"

#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>

namespace hookmeter::test {
namespace {

TEST(SymbolListAdd, KeepsAddressesAscendingUnsignedAndReturnsTheCount) {
    TSymbolList symbols(10);
    EXPECT_EQ(symbols.Add(0x80000000u, "high"), 1);
    EXPECT_EQ(symbols.Add(8, "eight"), 2);
    EXPECT_EQ(symbols.Add(0, "zero"), 3);
    EXPECT_EQ(symbols.Add(4, "four"), 4);
    EXPECT_EQ(ListOf(symbols),
              (Listing{{0, "zero"}, {4, "four"}, {8, "eight"}, {0x80000000u, "high"}}));
    EXPECT_EQ(BrokenPromise(symbols), "");
}

TEST(SymbolListAdd, JoinsNamesAtOneAddressInTheOrderAdded) {
    TSymbolList symbols(10);
    symbols.Add(0x100, "first");
    symbols.Add(0x200, "other");
    EXPECT_EQ(symbols.Add(0x100, "second"), 2);
    EXPECT_EQ(symbols.Add(0x100, "third"), 2);
    const SymbolEntry* entry = symbols.Find(0x100);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->Name.get(), "first - second - third");
    EXPECT_EQ(entry->Length, 22);
    EXPECT_STREQ(symbols.Find(0x200)->Name.get(), "other");
}

TEST(SymbolListAdd, AFullListEntersNothingAndReturnsItsCapacity) {
    TSymbolList symbols(2);
    symbols.Add(4, "a");
    EXPECT_EQ(symbols.Add(8, "b"), 2);
    EXPECT_EQ(symbols.Add(12, "c"), 2);
    EXPECT_EQ(symbols.Add(4, "again"), 2); // not even merged
    EXPECT_EQ(ListOf(symbols), (Listing{{4, "a"}, {8, "b"}}));

    TSymbolList none(0u);
    EXPECT_EQ(none.Add(4, "a"), 0);
    EXPECT_EQ(none.Count(), 0);
}

TEST(SymbolListFind, MatchesExactAddressesOnly) {
    TSymbolList symbols(4);
    EXPECT_EQ(symbols.Find(0), nullptr); // empty list
    symbols.Add(0x1000, "low");
    symbols.Add(0x2000, "high");
    EXPECT_STREQ(symbols.Find(0x1000)->Name.get(), "low");
    EXPECT_STREQ(symbols.Find(0x2000)->Name.get(), "high");
    EXPECT_EQ(symbols.Find(0x1004), nullptr); // inside "low", not at its start
    EXPECT_EQ(symbols.Find(0x0ffc), nullptr); // below every symbol
    EXPECT_EQ(symbols.Find(0x2004), nullptr); // above every symbol
}

// Random tables with many shared addresses, loaded whole and symbol by symbol.
TEST(SymbolListLoad, GivesExactlyWhatAddingEachSymbolInTableOrderGives) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 20; ++round) {
        ElfBuilder builder;
        std::vector<std::pair<uint32_t, std::string>> table{{0, ""}}; // the null symbol
        const int count = 1 + int(random() % 300);
        for (int i = 0; i < count; ++i) {
            const uint32_t address = (random() % 64) * 4 + (random() % 8 == 0 ? 0x80000000u : 0);
            std::string name = std::to_string(random() % 1000);
            name.insert(0, 1, 's');
            builder.Symbol(name, address, random() % 3 == 0 ? Local : Global);
            table.emplace_back(address, name);
        }
        const TSymbolList loaded(std::span<const uint8_t>(builder.Build().Data), false);
        TSymbolList added(uint32_t(table.size()), false);
        for (const auto& [address, name] : table)
            added.Add(address, name);
        EXPECT_EQ(ListOf(loaded), ListOf(added)) << "round " << round;
        EXPECT_EQ(loaded.Capacity(), table.size());
        EXPECT_EQ(BrokenPromise(loaded), "");
    }
}

// 200,000 symbols in descending address order, the worst order for inserting one by one, with
// every tenth address shared by the next symbol. Read from a file, the way a job reads it.
TEST(SymbolListLoad, ReadsALargeTableQuickly) {
    constexpr uint32_t SymbolCount = 200000;
    ElfBuilder builder;
    for (uint32_t i = 0; i < SymbolCount; ++i) {
        const uint32_t slot = SymbolCount - i - (i % 10 == 1 ? 0 : 1);
        builder.Symbol("function_" + std::to_string(i), 0x10000000u + slot * 4);
    }
    const std::string path = WorkPath("out");
    WriteFile(path, builder.Build().Data);

    const auto start = std::chrono::steady_clock::now();
    const TSymbolList symbols(path, true);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("read %u symbols in %.3f s\n", SymbolCount, elapsed.count());

    EXPECT_EQ(symbols.Capacity(), SymbolCount + 1);
    EXPECT_EQ(symbols.Count(), int32_t(SymbolCount - SymbolCount / 10));
    EXPECT_STREQ(symbols.Find(0x10000000u + (SymbolCount - 1) * 4)->Name.get(),
                 "function_0 - function_1");
    EXPECT_EQ(BrokenPromise(symbols), "");
    // Inserting one by one takes minutes here; sorting once takes well under a second.
    EXPECT_LT(elapsed.count(), 10.0);
}

} // namespace
} // namespace hookmeter::test
