// Helpers shared by the symbol reader tests: listing a symbol list, checking that it keeps its
// promises, and files in the test's own work directory.
#pragma once

#include "symbols/SymbolList.h"

#include "ImageBuilders.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hookmeter::test {

using Listing = std::vector<std::pair<uint32_t, std::string>>;

Listing ListOf(const TSymbolList& symbols);
Listing Load(const Bytes& image, bool globalOnly);

// Empty when the list keeps every promise (ascending unique addresses, Count <= Capacity, each
// Length the length of its NUL-terminated Name, Find returning each entry); otherwise what broke.
std::string BrokenPromise(const TSymbolList& symbols);

// A path in this test program's work directory, unique to the running test and the tag.
std::string WorkPath(const std::string& tag);
void WriteFile(const std::string& path, const Bytes& bytes);

} // namespace hookmeter::test
