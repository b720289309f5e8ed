#include "core/FuncTaskList.h"

#include <cstring>

namespace hookmeter {

TFuncTaskList::TFuncTaskList(uint32_t capacity)
    : Capacity_(capacity), Items(new uint32_t[capacity]()), Stored(capacity) {}

int32_t TFuncTaskList::LastNotAbove(uint32_t key) const {
    int32_t lo = 0;
    int32_t hi = Count_ - 1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (Items[mid] <= key)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return hi;
}

uint32_t TFuncTaskList::Add(uint32_t key) {
    if (uint32_t(Count_) >= Capacity_) {
        Count_ = int32_t(Capacity_);
        return Capacity_;
    }
    if (Stored.Find(key) >= 0)
        return uint32_t(Count_);
    int32_t at = LastNotAbove(key) + 1;
    std::memmove(&Items[at + 1], &Items[at], size_t(Count_ - at) * sizeof(uint32_t));
    Items[at] = key;
    Stored.Insert(key, 0);
    return uint32_t(++Count_);
}

int32_t TFuncTaskList::IndexOf(uint32_t key) const {
    int32_t slot = LastNotAbove(key);
    return slot >= 0 && Items[slot] == key ? slot : -1;
}

} // namespace hookmeter
