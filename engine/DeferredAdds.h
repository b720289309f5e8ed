// Adds values to histograms a few adds late: the bucket count of an add is prefetched when the
// add is queued and raised when the add leaves the queue, so that the cache misses on counts
// spread over many histograms overlap with the work in between. Flush before reading a
// histogram, clearing it or freeing it.
#pragma once

#include "engine/LogHistogram.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace hookmeter {

class TDeferredAdds {
public:
    void Add(TLogHistogram& histogram, uint64_t value) {
        uint32_t bucket = histogram.StartAdd(value);
        if (bucket == TLogHistogram::Finished)
            return;
        TPending& pending = Queue[Next];
        if (pending.Histogram != nullptr)
            pending.Histogram->FinishAdd(pending.Bucket);
        pending = {&histogram, bucket};
        Next = (Next + 1) % Queue.size();
    }
    void Flush() {
        for (TPending& pending : Queue)
            if (pending.Histogram != nullptr)
                pending.Histogram->FinishAdd(pending.Bucket);
        Queue = {};
    }

private:
    struct TPending {
        TLogHistogram* Histogram = nullptr;
        uint32_t Bucket = 0;
    };
    std::array<TPending, 64> Queue{};
    size_t Next = 0;
};

} // namespace hookmeter
