// Reading COFF symbol tables: the global-only filter by storage class, inline and string-table
// names, auxiliary entries, and names shared by one address.
#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

namespace hookmeter::test {
namespace {

constexpr int8_t External = 2, Static = 3, ExternalDefinition = 5, Label = 6;

TEST(CoffLoader, GlobalOnlyKeepsStorageClassesTwoAndFive) {
    const Bytes image = CoffBuilder()
                            .Symbol("_ext", 0x100, External)
                            .Symbol("_static", 0x200, Static)
                            .Symbol("_extdef", 0x300, ExternalDefinition)
                            .Symbol("_label", 0x400, Label)
                            .Symbol("_neg", 0x500, -1)
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true), (Listing{{0x100, "_ext"}, {0x300, "_extdef"}}));
    EXPECT_EQ(Load(image, false), (Listing{{0x100, "_ext"},
                                           {0x200, "_static"},
                                           {0x300, "_extdef"},
                                           {0x400, "_label"},
                                           {0x500, "_neg"}}));
    EXPECT_EQ(TSymbolList(std::span<const uint8_t>(image), true).Capacity(), 5u);
}

TEST(CoffLoader, ReadsInlineNamesOfUpToEightCharactersWhole) {
    const Bytes image = CoffBuilder()
                            .Symbol("_exactly", 0x10) // 8 characters, no NUL in the entry
                            .Symbol("_a", 0x20)
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true), (Listing{{0x10, "_exactly"}, {0x20, "_a"}}));
}

TEST(CoffLoader, CutsStringTableNamesAtSixtyThreeCharacters) {
    const std::string seventy(70, 'n');
    const Bytes image = CoffBuilder()
                            .Symbol(seventy, 0x10)
                            .Symbol("_ninechar", 0x20)
                            .StringTableSymbol("_s", 0x30)
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true),
              (Listing{{0x10, std::string(63, 'n')}, {0x20, "_ninechar"}, {0x30, "_s"}}));
}

// Auxiliary entries look like global symbols here; they must never be entered.
TEST(CoffLoader, SkipsAuxiliaryEntriesByTheirCountInBothModes) {
    const Bytes image = CoffBuilder()
                            .Symbol(".text", 0x0, Static, {CoffEntry("_auxone", 0x40, External)})
                            .Symbol("_main", 0x80, External,
                                    {CoffEntry("_auxtwo", 0x44, External),
                                     CoffEntry("_auxthr", 0x48, ExternalDefinition)})
                            .Symbol("_end", 0x90, External)
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true), (Listing{{0x80, "_main"}, {0x90, "_end"}}));
    EXPECT_EQ(Load(image, false), (Listing{{0x0, ".text"}, {0x80, "_main"}, {0x90, "_end"}}));
    // The capacity counts every slot, auxiliary entries included.
    EXPECT_EQ(TSymbolList(std::span<const uint8_t>(image), false).Capacity(), 6u);
}

TEST(CoffLoader, AnAuxiliaryCountRunningPastTheTableEndsIt) {
    const CoffImage built =
        CoffBuilder()
            .Symbol("_first", 0x10)
            .Symbol("_last", 0x20, External, {CoffEntry("_aux", 0x30, External)})
            .Build();
    Bytes damaged = built.Data;
    damaged[built.SymbolTableOffset + 17] = 200; // "_first" claims 200 auxiliary entries
    EXPECT_EQ(Load(damaged, false), (Listing{{0x10, "_first"}}));
}

TEST(CoffLoader, JoinsNamesAtOneAddressInTableOrder) {
    const Bytes image = CoffBuilder()
                            .Symbol("_b", 0x40)
                            .Symbol("_first_of_three", 0x10)
                            .Symbol("_second", 0x10)
                            .Symbol("_local", 0x10, Static)
                            .Symbol("_third", 0x10)
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true),
              (Listing{{0x10, "_first_of_three - _second - _third"}, {0x40, "_b"}}));
    EXPECT_EQ(Load(image, false),
              (Listing{{0x10, "_first_of_three - _second - _local - _third"}, {0x40, "_b"}}));
}

TEST(CoffLoader, DoesNotRecogniseOtherVersionsTargetsOrByteOrders) {
    const Bytes image = CoffBuilder().Symbol("_main", 0x10).Build().Data;
    ASSERT_EQ(Load(image, true).size(), 1u);

    Bytes bigEndian = image;
    PutU16(bigEndian, 0, 0x00C2, true);
    PutU16(bigEndian, 20, 0x0099, true);
    Bytes otherVersion = image;
    PutU16(otherVersion, 0, 0x00C1);
    Bytes otherTarget = image;
    PutU16(otherTarget, 20, 0x0098);
    for (const Bytes& bytes : {bigEndian, otherVersion, otherTarget}) {
        const TSymbolList symbols(std::span<const uint8_t>(bytes), true);
        EXPECT_EQ(symbols.Count(), 0);
        EXPECT_EQ(symbols.Capacity(), 0u);
    }
}

} // namespace
} // namespace hookmeter::test
