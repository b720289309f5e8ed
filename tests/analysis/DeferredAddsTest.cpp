#include "analysis/DeferredAdds.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace hookmeter {
namespace {

// However the adds are held back (queued for dense histograms, staged and merged for packed
// ones, or made at once when staging does not pay), a flushed histogram holds exactly the values
// added to it one by one: the same count and every percentile the same.
TEST(DeferredAdds, FlushedHistogramsEqualHistogramsAddedOneByOne) {
    std::mt19937_64 random(5);
    // A few values far apart keep a histogram packed through many stages; values of any size
    // make it dense soon.
    std::vector<uint64_t> few;
    for (int i = 0; i < 30; ++i)
        few.push_back(random() >> (random() % 60));
    // Few histograms get long runs per stage; many get runs too short to stage.
    for (size_t histograms : {3u, 40u, 20000u})
        for (bool anySize : {false, true}) {
            auto deferred = std::make_unique<TLogHistogram[]>(histograms);
            auto direct = std::make_unique<TLogHistogram[]>(histograms);
            TDeferredAdds adds;
            for (size_t i = 0; i < 300000; ++i) {
                size_t which = random() % histograms;
                uint64_t value = anySize ? random() >> (random() % 60) : few[random() % few.size()];
                adds.Add(deferred[which], value);
                direct[which].Add(value);
            }
            adds.Flush();
            for (size_t h = 0; h < histograms; ++h) {
                ASSERT_EQ(deferred[h].Count(), direct[h].Count()) << histograms << "/" << h;
                for (uint32_t percent : {1u, 25u, 50u, 90u, 99u, 100u})
                    ASSERT_EQ(deferred[h].Percentile(percent), direct[h].Percentile(percent))
                        << histograms << " histograms, #" << h << ", " << percent << " %";
            }
        }
}

} // namespace
} // namespace hookmeter
