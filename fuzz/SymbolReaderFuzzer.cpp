// libFuzzer target for the executable symbol reader: any bytes, read in both modes, must give a
// list that keeps its promises, without a sanitizer finding on the way.
#include "symbols/SymbolList.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckList(const hookmeter::TSymbolList& symbols) {
    Require(symbols.Count() >= 0 && uint32_t(symbols.Count()) <= symbols.Capacity());
    const auto entries = symbols.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const hookmeter::SymbolEntry& entry = entries[i];
        Require(i == 0 || entries[i - 1].Address < entry.Address);
        Require(entry.Name && entry.Length >= 0);
        Require(std::strlen(entry.Name.get()) == size_t(entry.Length));
        Require(symbols.Find(entry.Address) == &entry);
        // Lookups are exact: the address just above an entry finds nothing unless it is one.
        const uint32_t above = entry.Address + 1;
        const bool aboveIsEntry = i + 1 < entries.size() && entries[i + 1].Address == above;
        Require(above == 0 || aboveIsEntry || symbols.Find(above) == nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> image(data, size);
    for (bool globalOnly : {true, false})
        CheckList(hookmeter::TSymbolList(image, globalOnly));
    return 0;
}
