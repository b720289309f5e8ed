// A log-linear histogram of cycle counts for percentiles. Values below 128 have a bucket each;
// above, every power of two is split into 64 equal buckets, so a bucket is never wider than
// 1/64 of its lower bound and its middle is within 1/128 (under 1%) of any value in it, and
// within 1 cycle for values below 256.
//
// Memory does not grow with the number of values: only buckets that were hit are kept, packed
// as the gaps between them and their counts (one byte for a bucket hit up to 8 times, at most
// 16 buckets after the one before), and a histogram whose buckets are mostly hit turns into one
// 16-bit count per bucket over the range hit (the rare larger counts keep their 65,536s apart).
// Either way it is bounded by the 3,776 buckets, whatever the number of values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace hookmeter {

class TLogHistogram {
public:
    void Add(uint64_t value) {
        uint32_t bucket = StartAdd(value);
        if (bucket != Finished)
            FinishAdd(bucket);
    }
    // Adding in two steps hides the cache miss on a dense count behind other work: StartAdd
    // counts the value and, when the histogram is dense, makes room for its bucket, prefetches
    // the bucket's count and returns the bucket, whose count FinishAdd raises later (Finished
    // when the add is already complete). Until then the value is missing from the percentiles.
    static constexpr uint32_t Finished = ~uint32_t{0};
    uint32_t StartAdd(uint64_t value) { return StartAddBucket(BucketOf(value)); }
    void FinishAdd(uint32_t bucket) {
        uint16_t count;
        uint8_t* at = Bytes.data() + (bucket - DenseFirst) * CountBytes;
        std::memcpy(&count, at, CountBytes);
        ++count;
        std::memcpy(at, &count, CountBytes);
        if (count == 0)
            Carry(bucket);
    }
    // Adds one value of each bucket in `buckets`, which is sorted, in one walk through the
    // packed entries (BucketOf gives a value's bucket).
    void AddBuckets(const uint32_t* buckets, size_t count);
    // Packed histograms take their adds best in sorted batches (AddBuckets), dense ones one by
    // one (StartAdd, FinishAdd).
    bool IsPacked() const { return !IsDense(); }
    // The values added; those still staged by a TDeferredAdds are not counted yet.
    uint64_t Count() const { return Values; }
    // Prefetches the start of the buckets, for an add soon.
    void Prefetch() const {
        if (!Bytes.empty())
            __builtin_prefetch(Bytes.data());
    }
    // Nearest rank: the smallest v such that at least `percent` % of the values are <= v, as
    // the middle of its bucket, kept within `smallest` and `largest` (the exact extremes of the
    // values, when known). 0 when empty.
    uint64_t Percentile(uint32_t percent, uint64_t smallest = 0,
                        uint64_t largest = ~uint64_t{0}) const;
    // Frees the buckets.
    void Clear();

    static uint32_t BucketOf(uint64_t value);
    static uint64_t MiddleOf(uint32_t bucket);

private:
    struct TEntry {
        uint32_t Gap; // buckets from the previous entry's (from -1 for the first)
        uint32_t Count;
        size_t Length; // bytes it takes
    };
    static TEntry Decode(const uint8_t* at);
    static size_t Encode(uint8_t* out, uint32_t gap, uint32_t count);
    // Replaces `length` bytes at `at` by the encoding of the given entries.
    void Replace(size_t at, size_t length, const uint8_t* bytes, size_t count);
    uint32_t StartAddBucket(uint32_t bucket);
    void AddPacked(uint32_t bucket);
    void MakeDense();
    bool IsDense() const { return DenseFirst != Packed; }
    size_t CountsBytes() const { return Bytes.size() - CarryCount * CarryBytes; }
    uint32_t CarryAt(size_t index) const;
    // Keeps the 65,536s of a dense count that wrapped around.
    void Carry(uint32_t bucket, uint32_t carries = 1);
    uint64_t DenseCount(size_t index, size_t& carry) const;

    // Packed: the entries one after the other. Dense: the low 16 bits of the count of each
    // bucket from DenseFirst on, then, for the few counts that reached 65,536, their bucket
    // << 16 | their 65,536s in 32 bits each, by bucket.
    static constexpr size_t CountBytes = 2;
    static constexpr size_t CarryBytes = 4;
    static constexpr uint16_t Packed = 0xFFFF; // DenseFirst of a packed histogram
    std::vector<uint8_t> Bytes;
    uint32_t Values = 0; // a job counts calls and slices in 32 bits too
    uint16_t DenseFirst = Packed;
    uint16_t CarryCount = 0;
};

} // namespace hookmeter
