#include "core/FuncTaskList.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace hookmeter {
namespace {

TEST(FuncTaskList, AddKeepsKeysSortedAndCountsOnlyNewOnes) {
    TFuncTaskList list(16);
    EXPECT_EQ(list.Add(8), 1u);
    EXPECT_EQ(list.Add(4), 2u);
    EXPECT_EQ(list.Add(8), 2u);
    EXPECT_EQ(list.Add(0), 3u);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(0), 0u);
    EXPECT_EQ(list.Item(1), 4u);
    EXPECT_EQ(list.Item(2), 8u);
}

TEST(FuncTaskList, KeysCompareUnsigned) {
    TFuncTaskList list(8);
    list.Add(0x80000000u);
    list.Add(0x7FFFFFFCu);
    list.Add(0xFFFFFFFCu);
    list.Add(4);
    EXPECT_EQ(list.Item(0), 4u);
    EXPECT_EQ(list.Item(1), 0x7FFFFFFCu);
    EXPECT_EQ(list.Item(2), 0x80000000u);
    EXPECT_EQ(list.Item(3), 0xFFFFFFFCu);
    EXPECT_EQ(list.IndexOf(0xFFFFFFFCu), 3);
}

TEST(FuncTaskList, IndexOfFindsOnlyStoredKeys) {
    TFuncTaskList list(8);
    EXPECT_EQ(list.IndexOf(0), -1); // empty list
    list.Add(10);
    list.Add(20);
    EXPECT_EQ(list.IndexOf(10), 0);
    EXPECT_EQ(list.IndexOf(20), 1);
    EXPECT_EQ(list.IndexOf(15), -1); // between two keys
    EXPECT_EQ(list.IndexOf(30), -1); // beyond the last
    EXPECT_EQ(list.IndexOf(5), -1);  // before the first
}

TEST(FuncTaskList, TheAddThatFillsTheListStoresItsKeyAndLaterAddsStoreNothing) {
    TFuncTaskList list(1024);
    for (uint32_t key = 0; key < 1023; ++key)
        ASSERT_EQ(list.Add(key * 4), key + 1);
    EXPECT_EQ(list.Add(5000), 1024u);
    EXPECT_EQ(list.IndexOf(5000), 1023);
    EXPECT_EQ(list.Add(6000), 1024u);
    EXPECT_EQ(list.IndexOf(6000), -1);
    EXPECT_EQ(list.Add(0), 1024u); // present or not, a full list answers its capacity
    EXPECT_EQ(list.Count(), 1024);
}

TEST(FuncTaskList, MatchesASortedSetOnRandomKeys) {
    std::mt19937 random(7);
    TFuncTaskList list(4096);
    std::set<uint32_t> reference;
    for (int i = 0; i < 20000; ++i) {
        uint32_t key = random() % 3000 * 4 + (random() % 2 ? 0x80000000u : 0);
        if (reference.size() < 4096)
            reference.insert(key);
        uint32_t count = list.Add(key);
        ASSERT_EQ(count, std::min<size_t>(reference.size(), 4096));
    }
    int32_t index = 0;
    for (uint32_t key : reference) {
        ASSERT_EQ(list.Item(index), key);
        ASSERT_EQ(list.IndexOf(key), index);
        ++index;
    }
}

} // namespace
} // namespace hookmeter
