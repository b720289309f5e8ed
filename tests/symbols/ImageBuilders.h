// Small builders of COFF and 32-bit ELF images holding just what the symbol reader looks at,
// plus the places of their tables so that tests can damage them on purpose.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hookmeter::test {

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& bytes, size_t offset, uint16_t value, bool bigEndian = false);
void PutU32(Bytes& bytes, size_t offset, uint32_t value, bool bigEndian = false);

// --- COFF (version 0x00C2, target 0x0099) ---

using CoffEntryBytes = std::array<uint8_t, 18>;

// The 18 bytes of one symbol entry; a name longer than 8 characters needs stringOffset.
CoffEntryBytes CoffEntry(const std::string& inlineName, uint32_t value, int8_t storageClass,
                         uint8_t auxCount = 0, uint32_t stringOffset = 0);

struct CoffImage {
    Bytes Data;
    uint32_t SymbolTableOffset;
    uint32_t StringTableOffset;
};

class CoffBuilder {
public:
    // Names of up to 8 characters are stored in the entry, longer ones in the string table.
    CoffBuilder& Symbol(const std::string& name, uint32_t value, int8_t storageClass = 2,
                        std::vector<CoffEntryBytes> auxEntries = {});
    // A symbol whose name is kept in the string table however short it is.
    CoffBuilder& StringTableSymbol(const std::string& name, uint32_t value,
                                   int8_t storageClass = 2);
    CoffImage Build() const;

private:
    struct Entry {
        std::string Name;
        uint32_t Value;
        int8_t StorageClass;
        bool InStringTable;
        std::vector<CoffEntryBytes> Aux;
    };
    std::vector<Entry> Entries;
};

// --- ELF (32-bit, either byte order) ---

enum ElfBinding : uint8_t { Local = 0, Global = 1, Weak = 2 };

// The sections that can be placed, in any order, after the null section.
enum class ElfSection {
    SymbolTable,
    StringTable,      // the names of the symbols
    SectionNames,     // e_shstrndx points here
    DecoyStringTable, // same offsets as the string table, every name upper-cased
};

struct ElfImage {
    Bytes Data;
    uint32_t SectionHeadersOffset;
    uint32_t SymbolTableHeaderOffset; // the symbol table's section header
    uint32_t StringTableHeaderOffset;
    uint32_t SymbolTableOffset;
    uint32_t StringTableOffset;
    uint32_t StringTableSize;
};

// Header fields at their offsets, to patch images.
namespace elf {
inline constexpr size_t ShOff = 32, ShEntSize = 46, ShNum = 48, ShStrNdx = 50;
inline constexpr size_t ShType = 4, ShOffset = 16, ShSize = 20, ShLink = 24, ShEntSizeField = 36;
inline constexpr size_t StName = 0, StValue = 4, StInfo = 12;
} // namespace elf

class ElfBuilder {
public:
    explicit ElfBuilder(bool bigEndian = false);
    // The null symbol at index 0 is always there.
    ElfBuilder& Symbol(const std::string& name, uint32_t value, ElfBinding binding = Global);
    ElfBuilder& Order(std::vector<ElfSection> sections);
    // Whether the symbol table's sh_link names its string table (otherwise it is 0).
    ElfBuilder& LinkStringTable(bool link);
    ElfBuilder& SymbolEntrySize(uint32_t size);
    ElfImage Build() const;

private:
    struct Entry {
        std::string Name;
        uint32_t Value;
        ElfBinding Binding;
    };
    bool BigEndian;
    bool Link = true;
    uint32_t EntrySize = 16;
    std::vector<Entry> Entries;
    std::vector<ElfSection> Sections = {ElfSection::SymbolTable, ElfSection::StringTable,
                                        ElfSection::SectionNames};
};

} // namespace hookmeter::test
