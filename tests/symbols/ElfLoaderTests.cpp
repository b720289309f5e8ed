// Reading 32-bit ELF symbol tables: binding filter, the null symbol, both byte orders, which
// string table names the symbols, and entry sizes larger than the part that is read.
#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

namespace hookmeter::test {
namespace {

using enum ElfSection;

ElfBuilder ThreeBindings(bool bigEndian = false) {
    ElfBuilder builder(bigEndian);
    builder.Symbol("main", 0x8000)
        .Symbol("helper", 0x8040, Local)
        .Symbol("hook", 0x8080, Weak)
        .Symbol("task_idle", 0x80c0)
        .Symbol("alias_of_main", 0x8000);
    return builder;
}

TEST(ElfLoader, GlobalOnlyKeepsGlobalBindingButNotLocalOrWeak) {
    const Bytes image = ThreeBindings().Build().Data;
    EXPECT_EQ(Load(image, true),
              (Listing{{0x8000, "main - alias_of_main"}, {0x80c0, "task_idle"}}));
}

TEST(ElfLoader, AllSymbolsIncludesLocalWeakAndTheNullSymbol) {
    const Bytes image = ThreeBindings().Build().Data;
    EXPECT_EQ(Load(image, false), (Listing{{0x0, ""},
                                           {0x8000, "main - alias_of_main"},
                                           {0x8040, "helper"},
                                           {0x8080, "hook"},
                                           {0x80c0, "task_idle"}}));
    // The null symbol's empty name comes first in a join at address 0.
    const Bytes atZero = ElfBuilder().Symbol("_reset", 0).Build().Data;
    EXPECT_EQ(Load(atZero, false), (Listing{{0x0, " - _reset"}}));
    EXPECT_EQ(Load(atZero, true), (Listing{{0x0, "_reset"}}));
}

TEST(ElfLoader, CapacityIsTheSymbolTableSizeOverItsEntrySize) {
    const Bytes image = ThreeBindings().Build().Data;
    EXPECT_EQ(TSymbolList(std::span<const uint8_t>(image), true).Capacity(), 6u);
}

TEST(ElfLoader, BigEndianGivesTheSameSymbolsAsLittleEndian) {
    const Bytes little = ThreeBindings(false).Build().Data;
    const Bytes big = ThreeBindings(true).Build().Data;
    ASSERT_NE(little, big);
    EXPECT_EQ(Load(big, true), Load(little, true));
    EXPECT_EQ(Load(big, false), Load(little, false));
    EXPECT_EQ(Load(big, false).size(), 5u);
    // Byte 5 decides: the big-endian image read as little-endian finds no sensible table.
    Bytes misread = big;
    misread[5] = 1;
    EXPECT_NE(Load(misread, false), Load(little, false));
}

TEST(ElfLoader, CutsNamesAtSixtyThreeCharacters) {
    const Bytes image = ElfBuilder()
                            .Symbol(std::string(70, 'x'), 0x10)
                            .Symbol(std::string(63, 'y'), 0x20)
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true),
              (Listing{{0x10, std::string(63, 'x')}, {0x20, std::string(63, 'y')}}));
}

TEST(ElfLoader, StepsThroughEntriesLargerThanTheirReadPart) {
    const Bytes image = ThreeBindings().SymbolEntrySize(24).Build().Data;
    EXPECT_EQ(Load(image, false), Load(ThreeBindings().Build().Data, false));
    EXPECT_EQ(TSymbolList(std::span<const uint8_t>(image), true).Capacity(), 6u);
}

// A dynamically linked executable keeps .dynstr before .symtab; the symbol table's link says
// which string table holds its names.
TEST(ElfLoader, TakesNamesFromTheStringTableTheSymbolTableLinksTo) {
    const Bytes image = ThreeBindings()
                            .Order({SectionNames, DecoyStringTable, SymbolTable, StringTable})
                            .Build()
                            .Data;
    EXPECT_EQ(Load(image, true),
              (Listing{{0x8000, "main - alias_of_main"}, {0x80c0, "task_idle"}}));
}

// Without a usable link, the last string table (other than the section names) seen before the
// scan knows both tables names the symbols.
TEST(ElfLoader, WithoutALinkTakesTheStringTableFoundByTheScan) {
    // String table first: the scan stops at the symbol table, the decoy after it is not seen.
    const Bytes stringsFirst =
        ThreeBindings()
            .Order({StringTable, SymbolTable, DecoyStringTable, SectionNames})
            .LinkStringTable(false)
            .Build()
            .Data;
    EXPECT_EQ(Load(stringsFirst, true),
              (Listing{{0x8000, "main - alias_of_main"}, {0x80c0, "task_idle"}}));

    // The section names come first and are passed over; the scan ends at the string table.
    const Bytes namesFirst = ThreeBindings()
                                 .Order({SectionNames, SymbolTable, StringTable, DecoyStringTable})
                                 .LinkStringTable(false)
                                 .Build()
                                 .Data;
    EXPECT_EQ(Load(namesFirst, true),
              (Listing{{0x8000, "main - alias_of_main"}, {0x80c0, "task_idle"}}));

    // A decoy before the symbol table is what the scan finds when nothing links the right one.
    const Bytes decoyFirst = ThreeBindings()
                                 .Order({DecoyStringTable, SymbolTable, StringTable, SectionNames})
                                 .LinkStringTable(false)
                                 .Build()
                                 .Data;
    EXPECT_EQ(Load(decoyFirst, true),
              (Listing{{0x8000, "MAIN - ALIAS_OF_MAIN"}, {0x80c0, "TASK_IDLE"}}));
}

TEST(ElfLoader, FallsBackToTheScanWhenTheLinkNamesNoStringTableInsideTheFile) {
    const ElfImage built =
        ThreeBindings().Order({DecoyStringTable, SymbolTable, StringTable, SectionNames}).Build();
    const Listing decoyNames{{0x8000, "MAIN - ALIAS_OF_MAIN"}, {0x80c0, "TASK_IDLE"}};
    const size_t link = built.SymbolTableHeaderOffset + elf::ShLink;

    Bytes toItself = built.Data;
    PutU32(toItself, link, 2); // the symbol table, not a string table
    EXPECT_EQ(Load(toItself, true), decoyNames);

    Bytes pastTheLastSection = built.Data;
    PutU32(pastTheLastSection, link, 5);
    EXPECT_EQ(Load(pastTheLastSection, true), decoyNames);

    Bytes linkedTableOutside = built.Data;
    PutU32(linkedTableOutside, built.StringTableHeaderOffset + elf::ShSize, 0x10000);
    EXPECT_EQ(Load(linkedTableOutside, true), decoyNames);
}

} // namespace
} // namespace hookmeter::test
