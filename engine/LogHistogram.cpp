#include "engine/LogHistogram.h"

#include <algorithm>
#include <bit>

namespace hookmeter {
namespace {

constexpr uint32_t ExactBuckets = 128; // values 0..127 have a bucket each
constexpr uint32_t SubBucketBits = 6;  // 64 buckets per power of two above
constexpr uint32_t FirstOctave = 7;    // 2^7 = 128

} // namespace

uint32_t TLogHistogram::BucketOf(uint64_t value) {
    if (value < ExactBuckets)
        return uint32_t(value);
    uint32_t octave = uint32_t(std::bit_width(value)) - 1; // 7..63
    uint32_t sub = uint32_t(value >> (octave - SubBucketBits)) & ((1u << SubBucketBits) - 1);
    return ExactBuckets + ((octave - FirstOctave) << SubBucketBits) + sub;
}

uint64_t TLogHistogram::MiddleOf(uint32_t bucket) {
    if (bucket < ExactBuckets)
        return bucket;
    uint32_t octave = FirstOctave + ((bucket - ExactBuckets) >> SubBucketBits);
    uint64_t sub = (bucket - ExactBuckets) & ((1u << SubBucketBits) - 1);
    uint32_t shift = octave - SubBucketBits;
    uint64_t lower = ((uint64_t{1} << SubBucketBits) + sub) << shift;
    return lower + ((uint64_t{1} << shift) - 1) / 2;
}

void TLogHistogram::Add(uint64_t value) {
    ++Values;
    Smallest = std::min(Smallest, value);
    Largest = std::max(Largest, value);
    if (Dense) {
        uint32_t bucket = BucketOf(value);
        if (bucket < DenseFirst) {
            Entries.insert(Entries.begin(), DenseFirst - bucket, 0);
            DenseFirst = bucket;
        } else if (bucket - DenseFirst >= Entries.size()) {
            Entries.resize(bucket - DenseFirst + 1, 0);
        }
        ++Entries[bucket - DenseFirst];
        return;
    }
    uint32_t key = BucketOf(value) << CountBits;
    auto after = std::upper_bound(Entries.begin(), Entries.end(), key | CountMask);
    if (after != Entries.begin()) {
        uint32_t& last = *(after - 1);
        if ((last & ~CountMask) == key && (last & CountMask) != CountMask) {
            ++last;
            return;
        }
    }
    Entries.insert(after, key | 1);
    // Dense once that takes at most twice the memory, or once very many buckets were hit.
    size_t range = ((Entries.back() - Entries.front()) >> CountBits) + 1;
    if ((Entries.size() >= 32 && range <= 2 * Entries.size()) || Entries.size() >= DenseFrom)
        MakeDense();
}

void TLogHistogram::MakeDense() {
    uint32_t first = Entries.front() >> CountBits;
    std::vector<uint32_t> counts((Entries.back() >> CountBits) - first + 1, 0);
    for (uint32_t entry : Entries)
        counts[(entry >> CountBits) - first] += entry & CountMask;
    Entries = std::move(counts);
    DenseFirst = first;
    Dense = true;
}

uint64_t TLogHistogram::Percentile(uint32_t percent) const {
    if (Values == 0)
        return 0;
    uint64_t rank = (Values * percent + 99) / 100;
    if (rank == 0)
        rank = 1;
    uint64_t seen = 0;
    if (Dense) {
        for (size_t i = 0; i < Entries.size(); ++i) {
            seen += Entries[i];
            if (seen >= rank)
                return std::clamp(MiddleOf(DenseFirst + uint32_t(i)), Smallest, Largest);
        }
        return Largest;
    }
    for (uint32_t entry : Entries) {
        seen += entry & CountMask;
        if (seen >= rank)
            return std::clamp(MiddleOf(entry >> CountBits), Smallest, Largest);
    }
    return Largest;
}

void TLogHistogram::Clear() {
    std::vector<uint32_t>().swap(Entries);
    Dense = false;
}

} // namespace hookmeter
