// The COFF loader: version 0x00C2, target 0x0099, little-endian, 18-byte symbol entries followed
// by the string table.
#include "symbols/ByteView.h"
#include "symbols/SymbolList.h"
#include "symbols/TruncatedTable.h"

#include <algorithm>

namespace hookmeter {

namespace {

constexpr uint64_t EntrySize = 18;
constexpr size_t InlineNameLength = 8;
constexpr size_t StringTableNameLength = 63;
constexpr int8_t ExternalClass = 2;
constexpr int8_t ExternalDefinitionClass = 5;

bool IsGlobal(int8_t storageClass) {
    return storageClass == ExternalClass || storageClass == ExternalDefinitionClass;
}

} // namespace

uint32_t TSymbolList::LoadCoff(const TByteView& image) {
    const uint32_t tableOffset = image.U32(8);
    const uint32_t count = image.U32(12);
    const uint64_t tableSize = EntrySize * count;
    // A table that cannot lie inside the file is not read at all.
    const auto table = image.Slice(tableOffset, tableSize);
    if (count == 0)
        return 0;
    if (!table) {
        Problem_ = TruncatedTableProblem("symbol table", std::nullopt, tableOffset, tableSize,
                                         image.Size(), TableLoss::AllNames);
        return 0;
    }
    Capacity_ = count;
    // Name offsets count from the table's start, its own size field included.
    const uint64_t stringsOffset = tableOffset + tableSize;
    const TByteView strings = image.Tail(stringsOffset);
    // How far the string table must reach: its size field says so, and so does every name in it.
    uint64_t stringsNeeded = strings.Size() >= 4 ? strings.U32(0) : 0;

    std::vector<TFoundSymbol> found;
    found.reserve(count);
    for (uint64_t index = 0; index < count;) {
        const TByteView entry = *table->Slice(index * EntrySize, EntrySize);
        // Auxiliary entries belong to the entry before them and are never symbols of their own.
        index += 1 + uint64_t(entry.U8(17));
        if (GlobalOnly_ && !IsGlobal(int8_t(entry.U8(16))))
            continue;
        const auto name = entry.U32(0) != 0 ? entry.CString(0, InlineNameLength)
                                            : strings.CString(entry.U32(4), StringTableNameLength);
        if (!name) { // its name lies past the end of the file
            stringsNeeded = std::max(stringsNeeded, uint64_t(entry.U32(4)) + 1);
            continue;
        }
        found.push_back({entry.U32(8), *name});
    }
    if (stringsNeeded > strings.Size())
        Problem_ = TruncatedTableProblem("string table", std::nullopt, stringsOffset, stringsNeeded,
                                         image.Size(), TableLoss::SomeNames);
    EnterAll(found);
    return Capacity_;
}

} // namespace hookmeter
