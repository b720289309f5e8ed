// hookmeter-cli --symbols: the list as a job holds it, one "address<TAB>name" line per entry.
#include "cli/SymbolsCommand.h"

#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace hookmeter::test {
namespace {

std::string TextOf(std::FILE* file) {
    std::string text(size_t(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

std::string RunListing(const std::string& file, bool allSymbols, int& status,
                       std::string* diagnostics = nullptr) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_NE(out, nullptr);
    EXPECT_NE(err, nullptr);
    status = RunSymbolsCommand(file, allSymbols, out, err);
    const std::string errText = TextOf(err);
    if (diagnostics)
        *diagnostics = errText;
    return TextOf(out);
}

// What the command says on its diagnostics stream about the image.
std::string DiagnosticsFor(const Bytes& image) {
    const std::string file = WorkPath("cut");
    WriteFile(file, image);
    int status = -1;
    std::string diagnostics;
    RunListing(file, true, status, &diagnostics);
    EXPECT_EQ(status, 0);
    return diagnostics;
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

// An ELF file without a symbol table (a stripped program) says so, rather than giving no names in
// silence.
TEST(SymbolsCommand, SaysThatAStrippedElfFileHasNoSymbolTable) {
    const ElfImage stripped =
        ElfBuilder().Order({ElfSection::StringTable, ElfSection::SectionNames}).Build();
    EXPECT_EQ(DiagnosticsFor(stripped.Data), "The executable has no symbol table (it may have "
                                             "been stripped); no names were read from it.\n");
}

// A cut or damaged executable names the table that reaches past the end of the file, in one line.
TEST(SymbolsCommand, SaysWhichTableOfATruncatedExecutableReachesPastItsEnd) {
    const std::string truncated = "The executable is truncated or damaged: its ";
    const CoffImage coff =
        CoffBuilder().Symbol("_main", 0x100).Symbol("_long_name_", 0x200).Build();
    EXPECT_EQ(DiagnosticsFor(coff.Data), "");
    for (size_t size = 22; size < coff.Data.size(); ++size) {
        const std::string said = DiagnosticsFor(Bytes(coff.Data.begin(), coff.Data.begin() + size));
        const char* table = size < coff.StringTableOffset ? "symbol table (" : "string table (";
        EXPECT_EQ(said.rfind(truncated + table, 0), 0u) << size << ": " << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << size;
    }

    const ElfImage elf = ElfBuilder().Symbol("main", 0x100).Build();
    EXPECT_EQ(DiagnosticsFor(elf.Data), "");
    for (size_t size = 52; size < elf.Data.size(); ++size) // the section headers come last
        EXPECT_EQ(DiagnosticsFor(Bytes(elf.Data.begin(), elf.Data.begin() + size))
                      .rfind(truncated + "section header table (", 0),
                  0u)
            << size;
    const auto section = [&](uint32_t headerOffset) {
        return std::to_string((headerOffset - elf.SectionHeadersOffset) / 40);
    };
    const std::string fileSize = std::to_string(elf.Data.size());
    Bytes longSymbols = elf.Data;
    PutU32(longSymbols, elf.SymbolTableHeaderOffset + elf::ShSize, 0x10000);
    EXPECT_EQ(DiagnosticsFor(longSymbols),
              truncated + "symbol table (section " + section(elf.SymbolTableHeaderOffset) +
                  ", offset 0x" +
                  (std::ostringstream() << std::hex << elf.SymbolTableOffset).str() +
                  ", 65536 bytes) reaches past the end of the file (" + fileSize +
                  " bytes); no names were read from it.\n");
    Bytes longStrings = elf.Data;
    PutU32(longStrings, elf.StringTableHeaderOffset + elf::ShSize, 0x10000);
    EXPECT_EQ(DiagnosticsFor(longStrings),
              truncated + "string table (section " + section(elf.StringTableHeaderOffset) +
                  ", offset 0x" +
                  (std::ostringstream() << std::hex << elf.StringTableOffset).str() +
                  ", 65536 bytes) reaches past the end of the file (" + fileSize +
                  " bytes); names past the end were not read.\n");
}

} // namespace
} // namespace hookmeter::test
