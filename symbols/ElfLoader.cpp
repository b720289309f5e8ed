// The 32-bit ELF loader, for either byte order: the section header table leads to the symbol
// table and to the string table that holds its names.
#include "symbols/ByteView.h"
#include "symbols/SymbolList.h"
#include "symbols/TruncatedTable.h"

#include <optional>
#include <string>

namespace hookmeter {

namespace {

constexpr uint64_t ElfHeaderSize = 52;
constexpr uint8_t BigEndianEncoding = 2;
constexpr uint64_t SectionHeaderSize = 40; // the part of a section header that is read
constexpr uint64_t SymbolEntrySize = 16;   // the part of a symbol entry that is read
constexpr uint32_t SymbolTableType = 2;
constexpr uint32_t StringTableType = 3;
constexpr uint8_t GlobalBinding = 1;
constexpr const char* NoSymbolTableProblem =
    "The executable has no symbol table (it may have been stripped); no names were read from it.";
constexpr size_t NameLength = 63;

struct TSectionHeader {
    uint32_t Type;
    uint32_t Offset;
    uint32_t Size;
    uint32_t Link;
    uint32_t EntrySize;
};

// The section header table, each header checked to lie inside the file.
class TSectionHeaders {
public:
    // None when the file has no usable table; problem says so when the table reaches past the
    // end of the file.
    static std::optional<TSectionHeaders> Locate(const TByteView& image, std::string& problem) {
        const uint32_t tableOffset = image.U32(32);
        const uint16_t entrySize = image.U16(46);
        const uint16_t count = image.U16(48);
        if (entrySize < SectionHeaderSize || count == 0)
            return std::nullopt;
        const uint64_t tableSize = uint64_t(entrySize) * count;
        const auto table = image.Slice(tableOffset, tableSize);
        if (!table) {
            problem = TruncatedTableProblem("section header table", std::nullopt, tableOffset,
                                            tableSize, image.Size(), TableLoss::AllNames);
            return std::nullopt;
        }
        return TSectionHeaders(*table, entrySize, count);
    }

    uint16_t Count() const { return Count_; }
    // The header at index; all zero for an index at or past Count.
    TSectionHeader operator[](uint32_t index) const {
        const TByteView header =
            Table.Slice(uint64_t(index) * EntrySize, SectionHeaderSize).value_or(TByteView());
        return {header.U32(4), header.U32(16), header.U32(20), header.U32(24), header.U32(36)};
    }

private:
    TSectionHeaders(TByteView table, uint16_t entrySize, uint16_t count)
        : Table(table), EntrySize(entrySize), Count_(count) {}

    TByteView Table;
    uint16_t EntrySize;
    uint16_t Count_;
};

struct TScannedTables {
    std::optional<uint32_t> SymbolTable; // section indexes
    std::optional<uint32_t> StringTable;
};

// Walks the section headers in order: a symbol-table section is remembered as the symbol table, a
// string-table section other than the section names as the string table, a later one replacing an
// earlier one of its kind; the walk ends once both are known with non-zero file offsets.
TScannedTables ScanSections(const TSectionHeaders& sections, uint16_t sectionNamesIndex) {
    TScannedTables found;
    uint32_t symbolTableOffset = 0;
    uint32_t stringTableOffset = 0;
    for (uint32_t index = 0; index < sections.Count(); ++index) {
        const TSectionHeader section = sections[index];
        if (section.Type == SymbolTableType) {
            found.SymbolTable = index;
            symbolTableOffset = section.Offset;
        } else if (section.Type == StringTableType && index != sectionNamesIndex) {
            found.StringTable = index;
            stringTableOffset = section.Offset;
        }
        if (symbolTableOffset != 0 && stringTableOffset != 0)
            break;
    }
    return found;
}

struct TStringTable {
    TByteView Table;
    std::optional<uint32_t> CutSection; // a string table that reaches past the end of the file
};

// The string table that names the symbols: the one the symbol table links to (sh_link) when that
// is a string table lying inside the file, otherwise the one the scan found, as far as it lies
// inside the file. Empty when there is none. A linked or a used string table that reaches past the
// end of the file is named as cut.
TStringTable LocateStringTable(const TByteView& image, const TSectionHeaders& sections,
                               const TSectionHeader& symbolTable,
                               std::optional<uint32_t> scannedStringTable) {
    TStringTable found;
    if (symbolTable.Link < sections.Count()) {
        const TSectionHeader linked = sections[symbolTable.Link];
        if (linked.Type == StringTableType) {
            if (const auto table = image.Slice(linked.Offset, linked.Size)) {
                found.Table = *table;
                return found;
            }
            found.CutSection = symbolTable.Link;
        }
    }
    if (!scannedStringTable)
        return found;
    const TSectionHeader scanned = sections[*scannedStringTable];
    const TByteView tail = image.Tail(scanned.Offset);
    const auto whole = tail.Slice(0, scanned.Size);
    found.Table = whole.value_or(tail);
    if (!whole && !found.CutSection)
        found.CutSection = *scannedStringTable;
    return found;
}

} // namespace

uint32_t TSymbolList::LoadElf(const TByteView& file) {
    if (file.Size() < ElfHeaderSize)
        return 0;
    const TByteView image = file.InByteOrder(file.U8(5) == BigEndianEncoding);
    const auto sections = TSectionHeaders::Locate(image, Problem_);
    if (!sections)
        return 0;
    const TScannedTables scanned = ScanSections(*sections, image.U16(50));
    if (!scanned.SymbolTable) {
        Problem_ = NoSymbolTableProblem;
        return 0;
    }

    const TSectionHeader symbolSection = (*sections)[*scanned.SymbolTable];
    if (symbolSection.EntrySize < SymbolEntrySize)
        return 0;
    const uint32_t capacity = symbolSection.Size / symbolSection.EntrySize;
    const auto table = image.Slice(symbolSection.Offset, symbolSection.Size);
    if (capacity == 0)
        return 0;
    if (!table) {
        Problem_ = TruncatedTableProblem("symbol table", *scanned.SymbolTable, symbolSection.Offset,
                                         symbolSection.Size, image.Size(), TableLoss::AllNames);
        return 0;
    }
    Capacity_ = capacity;
    const TStringTable stringTable =
        LocateStringTable(image, *sections, symbolSection, scanned.StringTable);
    const TByteView& strings = stringTable.Table;
    if (stringTable.CutSection) {
        const TSectionHeader cut = (*sections)[*stringTable.CutSection];
        Problem_ = TruncatedTableProblem("string table", *stringTable.CutSection, cut.Offset,
                                         cut.Size, image.Size(), TableLoss::SomeNames);
    }

    std::vector<TFoundSymbol> found;
    found.reserve(capacity);
    for (uint64_t index = 0; index < capacity; ++index) {
        const TByteView entry = *table->Slice(index * symbolSection.EntrySize, SymbolEntrySize);
        if (GlobalOnly_ && (entry.U8(12) >> 4) != GlobalBinding)
            continue;
        const auto name = strings.CString(entry.U32(0), NameLength);
        if (!name) // its name lies outside the string table
            continue;
        found.push_back({entry.U32(4), *name});
    }
    EnterAll(found);
    return Capacity_;
}

} // namespace hookmeter
