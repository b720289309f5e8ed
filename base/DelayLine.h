// A fixed number of items on their way somewhere, each leaving as a later one comes in: work
// that misses the cache is started (prefetched) when its item comes in and done when it leaves,
// so that the misses overlap with the work in between. An empty place holds a default item.
#pragma once

#include <array>
#include <cstddef>

namespace hookmeter {

template <typename T, size_t Length> class TDelayLine {
public:
    // Puts `item` in and returns the one that came in Length items before.
    T Exchange(const T& item) {
        T oldest = Items[Next];
        Items[Next] = item;
        Next = (Next + 1) % Length;
        return oldest;
    }
    // The item that leaves `steps` items from now (0: at the next Exchange).
    const T& Ahead(size_t steps) const { return Items[(Next + steps) % Length]; }
    // Hands every item to `leave`, oldest first, and empties the line.
    template <typename F> void Drain(F leave) {
        for (size_t i = 0; i < Length; ++i)
            leave(Items[(Next + i) % Length]);
        Items = {};
        Next = 0;
    }

private:
    std::array<T, Length> Items{};
    size_t Next = 0;
};

} // namespace hookmeter
