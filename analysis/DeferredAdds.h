// Adds values to histograms late, for speed. A dense histogram's add has its bucket count
// prefetched when it is queued and raised a few adds later, so that the cache misses on counts
// spread over many histograms overlap with the work in between. A packed histogram's adds are
// staged, and once the stage is full they are sorted by histogram and bucket and each
// histogram takes its own in one walk through its entries, while that pays. Flush before reading a
// histogram, clearing it or freeing it.
#pragma once

#include "analysis/LogHistogram.h"
#include "base/DelayLine.h"

#include <cstdint>
#include <memory>

namespace hookmeter {

class TDeferredAdds {
public:
    void Add(TLogHistogram& histogram, uint64_t value) {
        if (histogram.IsPacked() && Staging()) {
            Stage(histogram, TLogHistogram::BucketOf(value));
            return;
        }
        uint32_t bucket = histogram.StartAdd(value);
        if (bucket == TLogHistogram::Finished)
            return;
        Finish(Queue.Exchange({&histogram, bucket}));
    }
    void Flush() {
        AddStaged();
        Queue.Drain([](const TPending& pending) { Finish(pending); });
    }

private:
    struct TPending {
        TLogHistogram* Histogram = nullptr;
        uint32_t Bucket = 0;
    };
    static void Finish(const TPending& pending) {
        if (pending.Histogram != nullptr)
            pending.Histogram->FinishAdd(pending.Bucket);
    }
    // Whether packed adds are staged: only while a stage gives each histogram several adds (not
    // so with many histograms, whose entries then miss the cache when the stage is added),
    // tried again now and then.
    bool Staging() {
        if (AddsUntilStaging == 0)
            return true;
        --AddsUntilStaging;
        return false;
    }
    void Stage(TLogHistogram& histogram, uint32_t bucket);
    void AddStaged();

    TDelayLine<TPending, 64> Queue;
    // Staged adds, each the histogram's address above the bucket's 12 bits.
    static constexpr size_t StageSize = 32768;
    static constexpr unsigned BucketBits = 12;
    std::unique_ptr<uint64_t[]> Staged;
    size_t StagedCount = 0;
    static constexpr size_t AddsPerRun = 8;     // staged adds per histogram that make it pay
    static constexpr size_t StagesSkipped = 16; // stages' worth of adds made at once, if not
    size_t AddsUntilStaging = 0;
};

} // namespace hookmeter
