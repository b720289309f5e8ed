// hookmeter-cli --symbols: the list as a job holds it, one "address<TAB>name" line per entry.
#include "cli/SymbolsCommand.h"

#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace hookmeter::test {
namespace {

std::string RunListing(const std::string& file, bool allSymbols, int& status) {
    std::FILE* out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    status = RunSymbolsCommand(file, allSymbols, out);
    std::string text(size_t(std::ftell(out)), '\0');
    std::rewind(out);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), out), text.size());
    std::fclose(out);
    return text;
}

TEST(SymbolsCommand, PrintsOneLinePerEntryInAscendingAddressOrder) {
    const std::string file = WorkPath("out");
    WriteFile(file, ElfBuilder()
                        .Symbol("task_idle", 0x80001a2c)
                        .Symbol("main", 0x00000400)
                        .Symbol("static_helper", 0x00000abc, Local)
                        .Symbol("main_alias", 0x00000400)
                        .Build()
                        .Data);
    int status = -1;
    EXPECT_EQ(RunListing(file, false, status), "00000400\tmain - main_alias\n"
                                               "80001a2c\ttask_idle\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunListing(file, true, status), "00000000\t\n"
                                              "00000400\tmain - main_alias\n"
                                              "00000abc\tstatic_helper\n"
                                              "80001a2c\ttask_idle\n");
    EXPECT_EQ(status, 0);
}

TEST(SymbolsCommand, PrintsNothingForAnUnrecognisedOrMissingFile) {
    const std::string text = WorkPath("txt");
    WriteFile(text, Bytes(80, 'x'));
    for (const std::string& file : {text, WorkPath("missing")}) {
        int status = -1;
        EXPECT_EQ(RunListing(file, true, status), "");
        EXPECT_EQ(status, 0);
    }
}

} // namespace
} // namespace hookmeter::test
