// Executables are untrusted: damaged, truncated or absurd files give what can be read soundly,
// or an empty list, and never a read outside the file, a huge allocation, or a crash.
#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace hookmeter::test {
namespace {

TSymbolList FromBytes(const Bytes& bytes, bool globalOnly = false) {
    return TSymbolList(std::span<const uint8_t>(bytes), globalOnly);
}

void ExpectEmpty(const Bytes& bytes, const char* what) {
    for (bool globalOnly : {true, false}) {
        const TSymbolList symbols = FromBytes(bytes, globalOnly);
        EXPECT_EQ(symbols.Count(), 0) << what;
        EXPECT_EQ(symbols.Capacity(), 0u) << what;
    }
}

CoffImage SampleCoff() {
    return CoffBuilder()
        .Symbol("_main", 0x100)
        .Symbol("_a_long_function_name", 0x200)
        .Symbol("_tail", 0x300)
        .Build();
}

ElfImage SampleElf(bool bigEndian = false) {
    return ElfBuilder(bigEndian)
        .Symbol("main", 0x100)
        .Symbol("helper", 0x200, Local)
        .Symbol("tail", 0x300)
        .Build();
}

TEST(UnreadableFile, GivesAnEmptyList) {
    for (const std::string& name :
         {std::string(), WorkPath("missing"), std::string(HOOKMETER_TEST_WORK_DIR)}) {
        const TSymbolList symbols(name, false);
        EXPECT_EQ(symbols.Count(), 0) << name;
        EXPECT_EQ(symbols.Capacity(), 0u) << name;
    }
    const std::string empty = WorkPath("empty");
    WriteFile(empty, {});
    EXPECT_EQ(TSymbolList(empty, false).Count(), 0);
}

TEST(UnrecognisedFile, GivesAnEmptyList) {
    ExpectEmpty({}, "no bytes");
    ExpectEmpty({0x7F}, "one byte");
    ExpectEmpty(Bytes(64, 'x'), "text");
    Bytes shortCoff = SampleCoff().Data;
    shortCoff.resize(21);
    ExpectEmpty(shortCoff, "COFF header cut short");
    Bytes shortElf = SampleElf().Data;
    shortElf.resize(51);
    ExpectEmpty(shortElf, "ELF header cut short");
}

// Every prefix of a valid image: a cut through the header or a table gives nothing; a cut
// through the COFF string table keeps the symbols whose names start before it.
TEST(TruncatedFile, GivesWhatLiesInsideOrNothing) {
    const CoffImage coff = SampleCoff();
    for (size_t size = 0; size < coff.Data.size(); ++size) {
        const Bytes cut(coff.Data.begin(), coff.Data.begin() + std::ptrdiff_t(size));
        const TSymbolList symbols = FromBytes(cut);
        EXPECT_EQ(BrokenPromise(symbols), "") << size;
        if (size < coff.StringTableOffset)
            EXPECT_EQ(symbols.Count(), 0) << size;
        else
            EXPECT_EQ(symbols.Capacity(), 3u) << size;
    }
    // The long name is the string table's only one: cut in its middle it ends at the cut.
    const Bytes cutInName(coff.Data.begin(), coff.Data.begin() + coff.StringTableOffset + 4 + 10);
    EXPECT_EQ(ListOf(FromBytes(cutInName)),
              (Listing{{0x100, "_main"}, {0x200, "_a_long_fu"}, {0x300, "_tail"}}));
    const Bytes cutBeforeName(coff.Data.begin(), coff.Data.begin() + coff.StringTableOffset + 4);
    EXPECT_EQ(ListOf(FromBytes(cutBeforeName)), (Listing{{0x100, "_main"}, {0x300, "_tail"}}));

    for (bool bigEndian : {false, true}) {
        const ElfImage elf = SampleElf(bigEndian);
        const size_t end = elf.SectionHeadersOffset + 40 * 4;
        ASSERT_EQ(end, elf.Data.size());
        for (size_t size = 0; size < elf.Data.size(); ++size) {
            const Bytes cut(elf.Data.begin(), elf.Data.begin() + std::ptrdiff_t(size));
            const TSymbolList symbols = FromBytes(cut);
            EXPECT_EQ(BrokenPromise(symbols), "") << size;
            EXPECT_EQ(symbols.Count(), 0) << size; // the section headers come last
        }
    }
}

TEST(AbsurdCoffHeader, GivesAnEmptyListAtOnce) {
    const CoffImage coff = SampleCoff();
    const auto start = std::chrono::steady_clock::now();
    const uint32_t oneTooMany = uint32_t((coff.Data.size() - coff.SymbolTableOffset) / 18 + 1);
    for (uint32_t count : {0u, oneTooMany, 0x0FFFFFFFu, 0xFFFFFFFFu}) {
        Bytes bytes = coff.Data;
        PutU32(bytes, 12, count);
        ExpectEmpty(bytes, "symbol count");
    }
    for (uint32_t offset : {uint32_t(coff.Data.size()), 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        Bytes bytes = coff.Data;
        PutU32(bytes, 8, offset);
        ExpectEmpty(bytes, "symbol table offset");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(DamagedCoffNames, SkipOrEndAtTheEndOfTheFile) {
    const CoffImage coff = SampleCoff();
    const size_t longNameEntry = coff.SymbolTableOffset + 18;
    const uint32_t stringTableSize = uint32_t(coff.Data.size() - coff.StringTableOffset);

    for (uint32_t offset : {stringTableSize, stringTableSize + 100, 0xFFFFFFFFu}) {
        Bytes bytes = coff.Data;
        PutU32(bytes, longNameEntry + 4, offset);
        EXPECT_EQ(ListOf(FromBytes(bytes)), (Listing{{0x100, "_main"}, {0x300, "_tail"}}))
            << offset;
    }
    Bytes noNul = coff.Data;
    noNul.pop_back(); // the last name loses its terminator
    EXPECT_EQ(ListOf(FromBytes(noNul)),
              (Listing{{0x100, "_main"}, {0x200, "_a_long_function_name"}, {0x300, "_tail"}}));
    noNul.resize(noNul.size() - 5);
    EXPECT_EQ(ListOf(FromBytes(noNul)),
              (Listing{{0x100, "_main"}, {0x200, "_a_long_function"}, {0x300, "_tail"}}));
}

TEST(AbsurdElfSectionHeaders, GiveAnEmptyList) {
    for (bool bigEndian : {false, true}) {
        const ElfImage elf = SampleElf(bigEndian);
        const auto patched16 = [&](size_t offset, uint16_t value) {
            Bytes bytes = elf.Data;
            PutU16(bytes, offset, value, bigEndian);
            return bytes;
        };
        const auto patched32 = [&](size_t offset, uint32_t value) {
            Bytes bytes = elf.Data;
            PutU32(bytes, offset, value, bigEndian);
            return bytes;
        };
        ExpectEmpty(patched16(elf::ShEntSize, 0), "section header size 0");
        ExpectEmpty(patched16(elf::ShEntSize, 39), "section header size below 40");
        ExpectEmpty(patched16(elf::ShEntSize, 0xFFFF), "section header size huge");
        ExpectEmpty(patched16(elf::ShNum, 0), "no sections");
        ExpectEmpty(patched16(elf::ShNum, 0xFFFF), "too many sections");
        ExpectEmpty(patched32(elf::ShOff, uint32_t(elf.Data.size())), "headers past the end");
        ExpectEmpty(patched32(elf::ShOff, 0xFFFFFFFFu), "headers far past the end");
    }
}

TEST(AbsurdElfSymbolTable, GivesAnEmptyList) {
    for (bool bigEndian : {false, true}) {
        const ElfImage elf = SampleElf(bigEndian);
        const auto patched = [&](size_t field, uint32_t value) {
            Bytes bytes = elf.Data;
            PutU32(bytes, elf.SymbolTableHeaderOffset + field, value, bigEndian);
            return bytes;
        };
        ExpectEmpty(patched(elf::ShEntSizeField, 0), "symbol entry size 0");
        ExpectEmpty(patched(elf::ShEntSizeField, 8), "symbol entry size below 16");
        ExpectEmpty(patched(elf::ShEntSizeField, 0xFFFFFFFFu), "symbol entry size huge");
        ExpectEmpty(patched(elf::ShSize, 0), "symbol table size 0");
        ExpectEmpty(patched(elf::ShSize, 0xFFFFFFF0u), "symbol table size huge");
        ExpectEmpty(patched(elf::ShOffset, uint32_t(elf.Data.size()) - 8), "table past the end");
        ExpectEmpty(patched(elf::ShOffset, 0xFFFFFFFFu), "table far past the end");
        ExpectEmpty(patched(elf::ShType, 11), "no symbol table section");
    }
}

TEST(DamagedElfNames, SkipOrEndAtTheEndOfTheStringTable) {
    for (bool bigEndian : {false, true}) {
        const ElfImage elf = SampleElf(bigEndian);
        const size_t mainEntry = elf.SymbolTableOffset + 16;

        for (uint32_t offset : {elf.StringTableSize, 0xFFFFFFFFu}) {
            Bytes bytes = elf.Data;
            PutU32(bytes, mainEntry + elf::StName, offset, bigEndian);
            EXPECT_EQ(ListOf(FromBytes(bytes, true)), (Listing{{0x300, "tail"}})) << offset;
        }
        // "tail" is the table's last name; without its NUL it ends with the table.
        Bytes noNul = elf.Data;
        noNul[elf.StringTableOffset + elf.StringTableSize - 1] = 'x';
        EXPECT_EQ(ListOf(FromBytes(noNul, true)), (Listing{{0x100, "main"}, {0x300, "tailx"}}));
        // A string table that is not there names nothing.
        Bytes noStrings = elf.Data;
        PutU32(noStrings, elf.StringTableHeaderOffset + elf::ShType, 1, bigEndian);
        EXPECT_EQ(ListOf(FromBytes(noStrings, true)), Listing{});
        EXPECT_EQ(FromBytes(noStrings, true).Capacity(), 4u);
    }
}

// Any one byte of a small image set to a few values: the list keeps its promises.
TEST(CorruptedByte, NeverBreaksTheList) {
    std::vector<Bytes> images{SampleCoff().Data, SampleElf(false).Data, SampleElf(true).Data};
    for (const Bytes& image : images) {
        for (size_t at = 0; at < image.size(); ++at) {
            for (uint8_t value : {uint8_t(0), uint8_t(1), uint8_t(0x7F), uint8_t(0xFF)}) {
                Bytes bytes = image;
                bytes[at] = value;
                for (bool globalOnly : {true, false}) {
                    const TSymbolList symbols = FromBytes(bytes, globalOnly);
                    ASSERT_EQ(BrokenPromise(symbols), "") << "byte " << at << " = " << int(value);
                }
            }
        }
    }
}

} // namespace
} // namespace hookmeter::test
