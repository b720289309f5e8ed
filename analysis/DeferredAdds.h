// Adds values to histograms a few adds late: the bucket count of an add is prefetched when the
// add is queued and raised when the add leaves the queue, so that the cache misses on counts
// spread over many histograms overlap with the work in between. Flush before reading a
// histogram, clearing it or freeing it.
#pragma once

#include "analysis/LogHistogram.h"
#include "base/DelayLine.h"

#include <cstdint>

namespace hookmeter {

class TDeferredAdds {
public:
    void Add(TLogHistogram& histogram, uint64_t value) {
        uint32_t bucket = histogram.StartAdd(value);
        if (bucket == TLogHistogram::Finished)
            return;
        Finish(Queue.Exchange({&histogram, bucket}));
    }
    void Flush() {
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
    TDelayLine<TPending, 64> Queue;
};

} // namespace hookmeter
