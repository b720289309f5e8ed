// Executables made by a real toolchain, compared with what binutils reports for them: nm for the
// global symbols, readelf for all of them. Skipped where gcc, nm or readelf is missing.
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

namespace hookmeter::test {
namespace {

const std::string Gcc = HOOKMETER_GCC;
const std::string Nm = HOOKMETER_NM;
const std::string Readelf = HOOKMETER_READELF;

std::optional<std::string> Capture(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, pipe)) > 0)
        output.append(block, got);
    return pclose(pipe) == 0 ? std::optional(output) : std::nullopt;
}

// The list the reader should hold for symbols given in table order: names cut at 63
// characters, names sharing an address joined by " - " in table order.
Listing Expected(const std::vector<std::pair<uint32_t, std::string>>& inTableOrder) {
    std::map<uint32_t, std::string> joined;
    for (const auto& [address, name] : inTableOrder) {
        const std::string cut = name.substr(0, 63);
        const auto [it, added] = joined.emplace(address, cut);
        if (!added)
            it->second += " - " + cut;
    }
    return Listing(joined.begin(), joined.end());
}

// The global symbols as `nm -p` lists them in table order: upper-case types other than weak
// ones ('W', 'V'); undefined symbols show no address and have 0.
Listing GlobalSymbolsByNm(const std::string& file) {
    const auto output = Capture("'" + Nm + "' -p '" + file + "'");
    EXPECT_TRUE(output) << "nm failed on " << file;
    std::vector<std::pair<uint32_t, std::string>> symbols;
    std::istringstream lines(output.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 11)
            continue;
        const char type = line[9];
        if (!std::isupper(static_cast<unsigned char>(type)) || type == 'W' || type == 'V')
            continue;
        const std::string address = line.substr(0, 8);
        symbols.emplace_back(address == "        " ? 0 : uint32_t(std::stoul(address, nullptr, 16)),
                             line.substr(11));
    }
    return Expected(symbols);
}

// Every entry of .symtab as `readelf -sW` lists it, the null symbol included. readelf shows a
// section symbol under its section's name; in the table its name is empty.
Listing AllSymbolsByReadelf(const std::string& file) {
    const auto output = Capture("'" + Readelf + "' -sW '" + file + "'");
    EXPECT_TRUE(output) << "readelf failed on " << file;
    std::vector<std::pair<uint32_t, std::string>> symbols;
    std::istringstream lines(output.value_or(""));
    bool inSymtab = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("Symbol table")) {
            inSymtab = line.find("'.symtab'") != std::string::npos;
            continue;
        }
        std::istringstream fields(line);
        std::string number, value, size, type, bind, visibility, section, name;
        if (!inSymtab ||
            !(fields >> number >> value >> size >> type >> bind >> visibility >> section) ||
            number == "Num:" || number.back() != ':')
            continue;
        fields >> name;
        symbols.emplace_back(uint32_t(std::stoul(value, nullptr, 16)),
                             type == "SECTION" ? "" : name);
    }
    return Expected(symbols);
}

void ExpectSameAsBinutils(const std::string& file) {
    const Listing global = ListOf(TSymbolList(file, true));
    EXPECT_FALSE(global.empty());
    EXPECT_EQ(global, GlobalSymbolsByNm(file));
    EXPECT_EQ(ListOf(TSymbolList(file, false)), AllSymbolsByReadelf(file));
}

class Toolchain : public testing::Test {
protected:
    void SetUp() override {
        if (Gcc.empty() || Nm.empty() || Readelf.empty())
            GTEST_SKIP() << "gcc, nm or readelf not found";
    }
    // Runs gcc -m32 with the arguments on the sample C file; skips the test when it fails.
    std::string Build(const std::string& tag, const std::string& arguments) {
        const std::string out = WorkPath(tag);
        std::filesystem::remove(out);
        const std::string command = "'" + Gcc + "' -m32 " + arguments + " -o '" + out + "' '" +
                                    HOOKMETER_TOOLCHAIN_SAMPLE + "' 2>&1";
        if (!Capture(command))
            return {};
        return out;
    }
};

TEST_F(Toolchain, RelocatableObjectMatchesBinutils) {
    const std::string object = Build("o", "-c -O1");
    if (object.empty())
        GTEST_SKIP() << "gcc -m32 -c failed";
    ExpectSameAsBinutils(object);
    const Listing global = ListOf(TSymbolList(object, true));
    EXPECT_TRUE(std::any_of(global.begin(), global.end(), [](const auto& entry) {
        return entry.second.find("sample_filter - sample_filter_alias") != std::string::npos;
    }));
}

// A shared object keeps .dynsym and .dynstr before .symtab and .strtab.
TEST_F(Toolchain, SharedObjectWithDynamicSymbolsMatchesBinutils) {
    const std::string shared = Build("so", "-O1 -shared -fPIC -nostdlib");
    if (shared.empty())
        GTEST_SKIP() << "gcc -m32 -shared -nostdlib failed";
    ExpectSameAsBinutils(shared);
    const TSymbolList symbols(shared, true);
    const auto entries = symbols.Entries();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const SymbolEntry& entry) {
        return std::string(entry.Name.get()) ==
               "a_function_whose_name_is_much_longer_than_sixty_three_character";
    }));
}

TEST_F(Toolchain, ExampleExecutableMatchesBinutils) {
    if (!std::filesystem::exists(HOOKMETER_EXAMPLE_EXECUTABLE))
        GTEST_SKIP() << HOOKMETER_EXAMPLE_EXECUTABLE << " is not there";
    ExpectSameAsBinutils(HOOKMETER_EXAMPLE_EXECUTABLE);
}

} // namespace
} // namespace hookmeter::test
