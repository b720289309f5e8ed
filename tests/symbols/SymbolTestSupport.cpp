#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace hookmeter::test {

Listing ListOf(const TSymbolList& symbols) {
    Listing listing;
    for (const SymbolEntry& entry : symbols.Entries())
        listing.emplace_back(entry.Address, std::string(entry.Name.get()));
    return listing;
}

Listing Load(const Bytes& image, bool globalOnly) {
    return ListOf(TSymbolList(std::span<const uint8_t>(image), globalOnly));
}

std::string BrokenPromise(const TSymbolList& symbols) {
    if (symbols.Count() < 0 || uint32_t(symbols.Count()) > symbols.Capacity())
        return "count above capacity";
    const auto entries = symbols.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const SymbolEntry& entry = entries[i];
        if (i > 0 && entries[i - 1].Address >= entry.Address)
            return "addresses not strictly ascending at " + std::to_string(i);
        if (!entry.Name || entry.Length < 0 ||
            std::strlen(entry.Name.get()) != size_t(entry.Length))
            return "length does not match name at " + std::to_string(i);
        if (symbols.Find(entry.Address) != &entry)
            return "Find misses entry " + std::to_string(i);
    }
    return {};
}

std::string WorkPath(const std::string& tag) {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::create_directories(HOOKMETER_TEST_WORK_DIR);
    return std::string(HOOKMETER_TEST_WORK_DIR) + "/" + test->test_suite_name() + "." +
           test->name() + "." + tag;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

} // namespace hookmeter::test
