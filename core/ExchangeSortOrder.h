// The order of the summary's exchange sort, computed in O(n log n).
//
// The sort the reports are defined by is
//     for i in 0..n-1: for j in i+1..n-1: if key[i] < key[j]: swap(i, j)
// It puts larger keys first, but its order among equal keys is neither stable nor reversed, and
// it is quadratic. ExchangeSortOrder gives exactly its result without the quadratic cost.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hookmeter {

// order[k] is the input index of the element that the exchange sort leaves at position k.
std::vector<uint32_t> ExchangeSortOrder(std::span<const uint64_t> keys);

} // namespace hookmeter
