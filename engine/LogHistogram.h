// A log-linear histogram of cycle counts for percentiles. Values below 128 have a bucket each;
// above, every power of two is split into 64 equal buckets, so a bucket is never wider than
// 1/64 of its lower bound and its middle is within 1/128 (under 1%) of any value in it, and
// within 1 cycle for values below 256. Only buckets that were hit take memory (4 bytes each);
// once many are, the histogram turns into an array over the range of buckets hit, for speed.
// Either way it never holds more than 3,776 counts, whatever the number of values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hookmeter {

class TLogHistogram {
public:
    void Add(uint64_t value);
    uint64_t Count() const { return Values; }
    // Nearest rank: the smallest v such that at least `percent` % of the values are <= v, as
    // the middle of its bucket, kept within the smallest and largest value added. 0 when empty.
    uint64_t Percentile(uint32_t percent) const;
    // Frees the buckets.
    void Clear();

    static uint32_t BucketOf(uint64_t value);
    static uint64_t MiddleOf(uint32_t bucket);

private:
    static constexpr uint32_t CountBits = 20;
    static constexpr uint32_t CountMask = (1u << CountBits) - 1;

    static constexpr size_t DenseFrom = 512; // entries that make the histogram dense anyway

    void MakeDense();

    // Sparse: bucket << CountBits | count, in bucket order; a full count continues in a further
    // entry for the same bucket. Dense: the count of each bucket from DenseFirst on.
    std::vector<uint32_t> Entries;
    bool Dense = false;
    uint32_t DenseFirst = 0;
    uint64_t Values = 0;
    uint64_t Smallest = ~uint64_t{0};
    uint64_t Largest = 0;
};

} // namespace hookmeter
