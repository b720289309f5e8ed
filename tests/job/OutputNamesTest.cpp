#include "job/OutputNames.h"

#include <gtest/gtest.h>

namespace hookmeter {
namespace {

TEST(OutputNames, DropTheLastFourCharactersWhateverTheyAre) {
    TOutputNames names = DeriveOutputNames("/data/runs/trace.dat");
    EXPECT_EQ(names.CallListFileName, "/data/runs/trace_call_list.csv");
    EXPECT_EQ(names.ProfileFileName, "/data/runs/trace_profile.csv");
    EXPECT_EQ(names.TimelineFileName, "/data/runs/trace_timeline.pftrace");
    EXPECT_EQ(names.FoldedFileName, "/data/runs/trace_folded.txt");
    EXPECT_EQ(names.StatsFileName, "/data/runs/trace_stats.csv");
    names = DeriveOutputNames("/data/runs/trace.data");
    EXPECT_EQ(names.CallListFileName, "/data/runs/trace._call_list.csv");
    EXPECT_EQ(names.ProfileFileName, "/data/runs/trace._profile.csv");
}

TEST(OutputNames, ShortNamesLeaveAnEmptyStem) {
    for (const char* raw : {"", "a", "abcd"}) {
        TOutputNames names = DeriveOutputNames(raw);
        EXPECT_EQ(names.CallListFileName, "_call_list.csv");
        EXPECT_EQ(names.ProfileFileName, "_profile.csv");
    }
    EXPECT_EQ(DeriveOutputNames("abcde").CallListFileName, "a_call_list.csv");
}

TEST(OutputNames, ACharacterIsAWholeUtf8Sequence) {
    // "spur.ä€" ends in two characters of two and three bytes.
    EXPECT_EQ(DeriveOutputNames("spur.\xC3\xA4\xE2\x82\xAC").CallListFileName, "spu_call_list.csv");
}

} // namespace
} // namespace hookmeter
