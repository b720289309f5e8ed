// TSymbolList: the symbol table of a DSP executable (COFF version 0x00C2 for target 0x0099, or
// 32-bit ELF of either byte order), held as one entry per address in ascending address order.
//
// The executable is untrusted input. Whatever it holds, reading it never looks past the bytes
// actually read and never allocates more than the file's size can justify; a file that cannot be
// opened, is not recognised, or whose symbol table cannot lie inside it gives an empty list.
// Where a user could not otherwise tell why names are missing (a file that is missing, cannot be
// read, is not a regular file, is too large, is neither COFF nor ELF, has no symbol table, or has
// a table that reaches past its end), Problem says why; an empty file name gives no problem.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TByteView;

struct SymbolEntry {
    uint32_t Address = 0;
    int32_t Length = 0;           // characters of Name, without the terminating NUL
    std::unique_ptr<char[]> Name; // NUL-terminated, owned by the list, never moves while it lives
};

class TSymbolList {
public:
    // Reads the executable; globalOnly keeps only global symbols (COFF storage classes 2 and 5,
    // ELF binding 1).
    TSymbolList(const std::string& fileName, bool globalOnly);
    // Reads an executable image that is already in memory; the bytes are not kept.
    TSymbolList(std::span<const uint8_t> image, bool globalOnly);
    // An empty list with room for capacity symbols, filled by Add.
    explicit TSymbolList(uint32_t capacity, bool globalOnly = true);

    TSymbolList(const TSymbolList&) = delete;
    TSymbolList& operator=(const TSymbolList&) = delete;

    // The entry whose address is exactly the one given, or none.
    const SymbolEntry* Find(uint32_t address) const;

    // Enters one symbol and returns the count afterwards. A symbol at an address already present
    // is appended to that entry's name after " - " (the entry's old text is freed); a full list
    // returns Capacity and enters nothing. The name is taken whole.
    int32_t Add(uint32_t address, std::string_view name);

    // The number of entries of the file's symbol table (COFF auxiliary entries included); 0 for a
    // file that was not read.
    uint32_t Capacity() const { return Capacity_; }
    int32_t Count() const { return int32_t(Symbols.size()); }
    std::span<const SymbolEntry> Entries() const { return Symbols; }
    // One line saying why names could not be read, as a status line; empty when there is none.
    const std::string& Problem() const { return Problem_; }

private:
    // One symbol as a loader found it; the name points into the file's bytes.
    struct TFoundSymbol {
        uint32_t Address;
        std::string_view Name;
    };

    // Recognises the format and runs its loader; returns Capacity, 0 for an unrecognised file.
    uint32_t Load(const TByteView& image);
    uint32_t LoadCoff(const TByteView& image);
    uint32_t LoadElf(const TByteView& image);
    // Fills the still empty list from symbols given in symbol-table order, with one sort instead
    // of one insertion each. The result is exactly that of calling Add for each in that order.
    void EnterAll(std::vector<TFoundSymbol>& found);

    uint32_t Capacity_ = 0;
    std::vector<SymbolEntry> Symbols; // ascending, unsigned, unique addresses
    bool GlobalOnly_;
    std::string Problem_;
};

} // namespace hookmeter
