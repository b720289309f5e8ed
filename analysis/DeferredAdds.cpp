#include "analysis/DeferredAdds.h"

#include <algorithm>

namespace hookmeter {

static_assert(uint64_t{1} << 12 > 3776, "a bucket fits into the staged add's low bits");

void TDeferredAdds::Stage(TLogHistogram& histogram, uint32_t bucket) {
    uintptr_t address = reinterpret_cast<uintptr_t>(&histogram);
    if (address >> (64 - BucketBits) != 0) { // no room above the bucket: added at once
        histogram.AddBuckets(&bucket, 1);
        return;
    }
    if (!Staged)
        Staged.reset(new uint64_t[StageSize]);
    Staged[StagedCount++] = uint64_t(address) << BucketBits | bucket;
    if (StagedCount == StageSize)
        AddStaged();
}

void TDeferredAdds::AddStaged() {
    std::sort(Staged.get(), Staged.get() + StagedCount);
    uint32_t buckets[StageSize / 8];
    size_t histograms = 0;
    for (size_t run = 0; run < StagedCount;) {
        ++histograms;
        uint64_t address = Staged[run] >> BucketBits;
        auto& histogram = *reinterpret_cast<TLogHistogram*>(uintptr_t(address));
        size_t count = 0;
        for (; run < StagedCount && Staged[run] >> BucketBits == address; ++run) {
            buckets[count++] = uint32_t(Staged[run] & ((1u << BucketBits) - 1));
            if (count == std::size(buckets)) {
                histogram.AddBuckets(buckets, count);
                count = 0;
            }
        }
        histogram.AddBuckets(buckets, count);
    }
    if (StagedCount == StageSize && StagedCount < AddsPerRun * histograms)
        AddsUntilStaging = StagesSkipped * StageSize;
    StagedCount = 0;
}

} // namespace hookmeter
