#include "cli/Options.h"

#include <gtest/gtest.h>

namespace hookmeter {
namespace {

TParsedOptions Parse(std::vector<std::string> arguments) {
    return ParseOptions(arguments);
}

TEST(CliOptions, DefaultsForARawFileAlone) {
    TParsedOptions parsed = Parse({"trace.txt"});
    ASSERT_TRUE(parsed.Options);
    EXPECT_EQ(parsed.Options->Command, TCliOptions::Action::Process);
    EXPECT_EQ(parsed.Options->Job.RawDataFileName, "trace.txt");
    EXPECT_EQ(parsed.Options->Job.RawDataFileType, RawForm::Text);
    EXPECT_EQ(parsed.Options->Job.CallStackSize, 256u);
    EXPECT_TRUE(parsed.Options->Job.ParseGlobalSymbolOnly);
    EXPECT_FALSE(parsed.Options->Quiet);
    EXPECT_TRUE(parsed.Options->Job.CallListFileName.empty());
}

TEST(CliOptions, EveryOptionIsTaken) {
    TParsedOptions parsed =
        Parse({"--binary", "--exe", "dsp.out", "--all-symbols", "--call-list", "c.csv", "--profile",
               "p.csv", "--stack-size", "8192", "--quiet", "trace.bin"});
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    const TCliOptions& options = *parsed.Options;
    EXPECT_EQ(options.Job.RawDataFileType, RawForm::Binary);
    EXPECT_EQ(options.Job.DSPOutFileName, "dsp.out");
    EXPECT_FALSE(options.Job.ParseGlobalSymbolOnly);
    EXPECT_EQ(options.Job.CallListFileName, "c.csv");
    EXPECT_EQ(options.Job.ProfileFileName, "p.csv");
    EXPECT_EQ(options.Job.CallStackSize, 8192u);
    EXPECT_TRUE(options.Quiet);
    EXPECT_EQ(Parse({"--binary", "--text", "t"}).Options->Job.RawDataFileType, RawForm::Text);
    EXPECT_EQ(Parse({"--stack-size", "64", "t"}).Options->Job.CallStackSize, 64u);
    EXPECT_EQ(Parse({"--", "-odd-name"}).Options->Job.RawDataFileName, "-odd-name");
}

TEST(CliOptions, UsageErrors) {
    for (std::vector<std::string> arguments : {std::vector<std::string>{},
                                               {"a", "b"},
                                               {"--stack-size", "63", "t"},
                                               {"--stack-size", "8193", "t"},
                                               {"--stack-size", "abc", "t"},
                                               {"--stack-size", "", "t"},
                                               {"--stack-size", "100x", "t"},
                                               {"--stack-size", "-64", "t"},
                                               {"--stack-size"},
                                               {"--exe"},
                                               {"--call-list"},
                                               {"--profile"},
                                               {"--frobnicate", "t"},
                                               {"--symbols", "x.out", "t"},
                                               {"--compare", "base.csv"},
                                               {"--compare", "a", "b", "t"},
                                               {"--compare", "a", "b", "--symbols", "x.out"},
                                               {"--threshold", "5", "t"},
                                               {"--min-calls", "5", "t"},
                                               {"--compare", "a", "b", "--threshold", "-1"},
                                               {"--compare", "a", "b", "--threshold", "5x"},
                                               {"--compare", "a", "b", "--threshold", "inf"},
                                               {"--compare", "a", "b", "--threshold"},
                                               {"--compare", "a", "b", "--min-calls", "-1"}}) {
        TParsedOptions parsed = Parse(arguments);
        EXPECT_FALSE(parsed.Options) << testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.Error.empty());
    }
}

TEST(CliOptions, HelpVersionAndSymbols) {
    EXPECT_EQ(Parse({"--help"}).Options->Command, TCliOptions::Action::Help);
    EXPECT_EQ(Parse({"t", "--version"}).Options->Command, TCliOptions::Action::Version);
    TParsedOptions parsed = Parse({"--symbols", "x.out", "--all-symbols"});
    ASSERT_TRUE(parsed.Options);
    EXPECT_EQ(parsed.Options->Command, TCliOptions::Action::ListSymbols);
    EXPECT_EQ(parsed.Options->Job.DSPOutFileName, "x.out");
    EXPECT_FALSE(parsed.Options->Job.ParseGlobalSymbolOnly);
}

TEST(CliOptions, OptionalOutputsAndTheClock) {
    TParsedOptions parsed = Parse({"--timeline", "t.json", "--folded", "f.txt", "--stats", "s.csv",
                                   "--clock-hz", "600e6", "trace.bin"});
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    EXPECT_EQ(parsed.Options->Job.TimelineFileName, "t.json");
    EXPECT_EQ(parsed.Options->Job.FoldedFileName, "f.txt");
    EXPECT_EQ(parsed.Options->Job.StatsFileName, "s.csv");
    EXPECT_EQ(parsed.Options->Job.ClockHz, 600e6);
    EXPECT_EQ(Parse({"t"}).Options->Job.ClockHz, 0);
    EXPECT_EQ(Parse({"--clock-hz", "1000000", "t"}).Options->Job.ClockHz, 1e6);
    for (std::vector<std::string> arguments : {std::vector<std::string>{"--clock-hz", "0", "t"},
                                               {"--clock-hz", "-5", "t"},
                                               {"--clock-hz", "0.5", "t"},
                                               {"--clock-hz", "fast", "t"},
                                               {"--clock-hz", "inf", "t"},
                                               {"--clock-hz", "1e6x", "t"},
                                               {"--clock-hz"},
                                               {"--timeline"},
                                               {"--folded"},
                                               {"--stats"}})
        EXPECT_FALSE(Parse(arguments).Options) << testing::PrintToString(arguments);
}

TEST(CliOptions, TheTimelinesNameChoosesItsForm) {
    for (const char* name : {"t.pftrace", "t.perfetto-trace", "T.PFTRACE", "t.json", "t.JSON"})
        EXPECT_TRUE(Parse({"--timeline", name, "trace.bin"}).Options) << name;
    for (const char* name : {"t.txt", "t", "t.json.gz", "/dev/null"}) {
        TParsedOptions parsed = Parse({"--timeline", name, "trace.bin"});
        EXPECT_FALSE(parsed.Options) << name;
        EXPECT_NE(parsed.Error.find(".pftrace"), std::string::npos) << parsed.Error;
        EXPECT_NE(parsed.Error.find(".json"), std::string::npos) << parsed.Error;
    }
}

TEST(CliOptions, CompareTakesTwoSummariesAndAGate) {
    TParsedOptions parsed = Parse({"--threshold", "2.5%", "--compare", "-base", "new.csv"});
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    EXPECT_EQ(parsed.Options->Command, TCliOptions::Action::Compare);
    const TCompareOptions& compare = parsed.Options->Compare;
    EXPECT_EQ(compare.BaseFileName, "-base");
    EXPECT_EQ(compare.NewFileName, "new.csv");
    EXPECT_EQ(compare.ThresholdPercent, 2.5);
    EXPECT_FALSE(compare.MinCalls);
    TParsedOptions noGate = Parse({"--compare", "a", "b", "--min-calls", "0"});
    ASSERT_TRUE(noGate.Options) << noGate.Error;
    EXPECT_FALSE(noGate.Options->Compare.ThresholdPercent);
    EXPECT_EQ(noGate.Options->Compare.MinCalls, 0u);
}

} // namespace
} // namespace hookmeter
