#include "core/ExchangeSortOrder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <utility>

namespace hookmeter {
namespace {

// The exchange sort itself, quadratic: the reference ExchangeSortOrder must match.
std::vector<uint32_t> LiteralExchangeSortOrder(std::span<const uint64_t> keys) {
    size_t n = keys.size();
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (keys[order[i]] < keys[order[j]])
                std::swap(order[i], order[j]);
    return order;
}

TEST(ExchangeSortOrder, EqualKeysComeOutInTheExchangeSortsOwnOrder) {
    // A = 2, B = 1, C = 1, D = 3 come out as D, A, C, B.
    std::vector<uint64_t> keys = {2, 1, 1, 3};
    std::vector<uint32_t> expected = {3, 0, 2, 1};
    EXPECT_EQ(ExchangeSortOrder(keys), expected);
    EXPECT_EQ(LiteralExchangeSortOrder(keys), expected);
}

TEST(ExchangeSortOrder, HandlesEmptyAndSingleInputs) {
    EXPECT_TRUE(ExchangeSortOrder({}).empty());
    std::vector<uint64_t> one = {5};
    EXPECT_EQ(ExchangeSortOrder(one), std::vector<uint32_t>{0});
}

TEST(ExchangeSortOrder, AllEqualKeysKeepTheirOrder) {
    std::vector<uint64_t> keys(100, 7);
    std::vector<uint32_t> order = ExchangeSortOrder(keys);
    for (uint32_t i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(ExchangeSortOrder, MatchesTheLiteralSortOnSmallArraysWithManyTies) {
    std::mt19937_64 random(11);
    for (int round = 0; round < 50000; ++round) {
        size_t n = random() % 14;
        uint64_t distinct = 1 + random() % 4;
        std::vector<uint64_t> keys(n);
        for (uint64_t& key : keys)
            key = random() % distinct;
        ASSERT_EQ(ExchangeSortOrder(keys), LiteralExchangeSortOrder(keys)) << "round " << round;
    }
}

TEST(ExchangeSortOrder, MatchesTheLiteralSortOnLargerArrays) {
    std::mt19937_64 random(13);
    for (size_t n : {100, 1000, 3000}) {
        for (uint64_t distinct : {2, 5, 50, 1000000}) {
            std::vector<uint64_t> keys(n);
            for (uint64_t& key : keys)
                key = random() % distinct;
            ASSERT_EQ(ExchangeSortOrder(keys), LiteralExchangeSortOrder(keys))
                << n << " keys, " << distinct << " distinct";
        }
    }
    // Ascending and descending runs, where the literal sort moves the most.
    std::vector<uint64_t> ascending(2000);
    for (size_t i = 0; i < ascending.size(); ++i)
        ascending[i] = i / 3;
    EXPECT_EQ(ExchangeSortOrder(ascending), LiteralExchangeSortOrder(ascending));
    std::vector<uint64_t> descending(ascending.rbegin(), ascending.rend());
    EXPECT_EQ(ExchangeSortOrder(descending), LiteralExchangeSortOrder(descending));
}

TEST(ExchangeSortOrder, SortsTheLargestTableQuickly) {
    // 65,536 entries would take the literal sort billions of steps.
    std::mt19937_64 random(17);
    std::vector<uint64_t> keys(65536);
    for (uint64_t& key : keys)
        key = random() % 50;
    std::vector<uint32_t> order = ExchangeSortOrder(keys);
    ASSERT_EQ(order.size(), keys.size());
    for (size_t i = 1; i < order.size(); ++i)
        ASSERT_GE(keys[order[i - 1]], keys[order[i]]);
}

} // namespace
} // namespace hookmeter
