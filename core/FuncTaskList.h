// TFuncTaskList: a fixed-capacity list of unsigned 32-bit keys in strictly ascending order, filled
// by the first pass. Its order is the order of the entry arrays built from it.
#pragma once

#include "base/KeyIndex.h"

#include <cstdint>
#include <memory>

namespace hookmeter {

class TFuncTaskList {
public:
    explicit TFuncTaskList(uint32_t capacity);

    // Stores the key if it is new and returns the number of keys afterwards. A list that is full
    // before the call returns Capacity without searching; the add that fills it returns Capacity
    // with its key stored.
    uint32_t Add(uint32_t key);
    // The slot that holds the key, or -1. For tests: the job finds entries through the tables'
    // hash indexes, which give the same index.
    int32_t IndexOf(uint32_t key) const;

    uint32_t Capacity() const { return Capacity_; }
    int32_t Count() const { return Count_; }
    uint32_t Item(int32_t index) const { return Items[index]; }

private:
    // The last slot whose key is <= key, or -1.
    int32_t LastNotAbove(uint32_t key) const;

    uint32_t Capacity_;
    std::unique_ptr<uint32_t[]> Items;
    int32_t Count_ = 0;
    TKeyIndex Stored; // the keys in Items, to answer "already present" without a search
};

} // namespace hookmeter
