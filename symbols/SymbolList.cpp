#include "symbols/SymbolList.h"

#include "symbols/ByteView.h"
#include "symbols/FileImage.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace hookmeter {

namespace {

constexpr uint16_t CoffVersion = 0x00C2;
constexpr uint16_t CoffTarget = 0x0099;
constexpr uint64_t CoffHeaderSize = 22;
constexpr std::string_view NameSeparator = " - ";
constexpr const char* UnknownFormatProblem =
    "The executable is neither a COFF file for the DSP (version 0x00C2, target 0x0099) nor an "
    "ELF file; no names were read from it.";

// A joined name must still fit the entry's signed 32-bit length.
bool FitsLength(uint64_t length) {
    return length <= uint64_t(std::numeric_limits<int32_t>::max());
}

SymbolEntry MakeEntry(uint32_t address, std::span<const std::string_view> names) {
    uint64_t length = 0;
    size_t used = 0;
    for (std::string_view name : names) {
        const uint64_t joined = length + (used ? NameSeparator.size() : 0) + name.size();
        if (!FitsLength(joined))
            break;
        length = joined;
        ++used;
    }
    SymbolEntry entry;
    entry.Address = address;
    entry.Length = int32_t(length);
    entry.Name = std::make_unique<char[]>(size_t(length) + 1);
    char* out = entry.Name.get();
    for (size_t i = 0; i < used; ++i) {
        if (i) {
            std::memcpy(out, NameSeparator.data(), NameSeparator.size());
            out += NameSeparator.size();
        }
        std::memcpy(out, names[i].data(), names[i].size());
        out += names[i].size();
    }
    *out = '\0';
    return entry;
}

} // namespace

TSymbolList::TSymbolList(const std::string& fileName, bool globalOnly) : GlobalOnly_(globalOnly) {
    const TFileImage image = ReadFileImage(fileName);
    Problem_ = image.Problem;
    if (!fileName.empty() && Problem_.empty()) // no executable given, or one that was not read
        Load(TByteView(image.Bytes));
}

TSymbolList::TSymbolList(std::span<const uint8_t> image, bool globalOnly)
    : GlobalOnly_(globalOnly) {
    Load(TByteView(image));
}

TSymbolList::TSymbolList(uint32_t capacity, bool globalOnly)
    : Capacity_(capacity), GlobalOnly_(globalOnly) {}

const SymbolEntry* TSymbolList::Find(uint32_t address) const {
    const auto above = std::upper_bound(
        Symbols.begin(), Symbols.end(), address,
        [](uint32_t wanted, const SymbolEntry& entry) { return wanted < entry.Address; });
    if (above == Symbols.begin() || std::prev(above)->Address != address)
        return nullptr;
    return &*std::prev(above);
}

int32_t TSymbolList::Add(uint32_t address, std::string_view name) {
    if (Symbols.size() >= Capacity_)
        return int32_t(Capacity_);
    const auto above = std::upper_bound(
        Symbols.begin(), Symbols.end(), address,
        [](uint32_t wanted, const SymbolEntry& entry) { return wanted < entry.Address; });
    if (above != Symbols.begin() && std::prev(above)->Address == address) {
        SymbolEntry& entry = *std::prev(above);
        const std::string_view names[] = {std::string_view(entry.Name.get(), size_t(entry.Length)),
                                          name};
        entry = MakeEntry(address, names);
    } else {
        const std::string_view names[] = {name};
        Symbols.insert(above, MakeEntry(address, names));
    }
    return Count();
}

uint32_t TSymbolList::Load(const TByteView& image) {
    if (image.Size() >= CoffHeaderSize && image.U16(0) == CoffVersion &&
        image.U16(20) == CoffTarget)
        return LoadCoff(image);
    if (image.U8(0) == 0x7F && image.U8(1) == 'E')
        return LoadElf(image);
    if (Problem_.empty())
        Problem_ = UnknownFormatProblem;
    return 0;
}

void TSymbolList::EnterAll(std::vector<TFoundSymbol>& found) {
    // A stable sort keeps symbols that share an address in table order, which is the order in
    // which Add would have joined their names.
    std::stable_sort(found.begin(), found.end(), [](const TFoundSymbol& a, const TFoundSymbol& b) {
        return a.Address < b.Address;
    });
    Symbols.reserve(found.size());
    std::vector<std::string_view> names;
    for (auto run = found.begin(); run != found.end();) {
        const auto runEnd = std::find_if(run, found.end(), [&](const TFoundSymbol& symbol) {
            return symbol.Address != run->Address;
        });
        names.clear();
        for (auto symbol = run; symbol != runEnd; ++symbol)
            names.push_back(symbol->Name);
        Symbols.push_back(MakeEntry(run->Address, names));
        run = runEnd;
    }
}

} // namespace hookmeter
