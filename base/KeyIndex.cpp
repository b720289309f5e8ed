#include "base/KeyIndex.h"

#include <algorithm>

namespace hookmeter {

TKeyIndex::TKeyIndex(uint32_t capacity) {
    // At most half full, so that probes stay short and an empty slot always exists.
    uint32_t bits = 4;
    while ((uint64_t{1} << bits) < uint64_t{capacity} * 2)
        ++bits;
    Slots.reset(new uint64_t[size_t{1} << bits]);
    std::fill_n(Slots.get(), size_t{1} << bits, Empty);
    Mask = (uint32_t{1} << bits) - 1;
    Shift = 32 - bits;
}

void TKeyIndex::Insert(uint32_t key, uint32_t value) {
    for (uint32_t slot = Hash(key);; slot = (slot + 1) & Mask) {
        uint64_t& entry = Slots[slot];
        if (entry == Empty) {
            entry = uint64_t(value) << 32 | key;
            return;
        }
        if (uint32_t(entry) == key)
            return;
    }
}

} // namespace hookmeter
