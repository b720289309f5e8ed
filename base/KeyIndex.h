// Open-addressing hash tables over 32-bit keys: a faster path to answers the sorted key lists
// give by binary search. They never change those answers.
#pragma once

#include <cstdint>
#include <memory>

namespace hookmeter {

// Maps keys to small values (slot numbers). Holds at most `capacity` keys.
class TKeyIndex {
public:
    explicit TKeyIndex(uint32_t capacity);

    // Stores key -> value; a key that is present keeps its first value.
    void Insert(uint32_t key, uint32_t value);
    // The value stored for key, or -1.
    int32_t Find(uint32_t key) const {
        for (uint32_t slot = Hash(key);; slot = (slot + 1) & Mask) {
            uint64_t entry = Slots[slot];
            if (entry == Empty)
                return -1;
            if (uint32_t(entry) == key)
                return int32_t(entry >> 32);
        }
    }

private:
    static constexpr uint64_t Empty = ~uint64_t{0}; // a value of all ones is never stored
    uint32_t Hash(uint32_t key) const { return (key * 0x9E3779B1u) >> Shift & Mask; }

    std::unique_ptr<uint64_t[]> Slots; // value << 32 | key
    uint32_t Mask;
    uint32_t Shift;
};

} // namespace hookmeter
