// hookmeter-cli --symbols EXE [--all-symbols]: lists an executable's symbols as a job reads them.
#pragma once

#include <cstdio>
#include <string>

namespace hookmeter {

// Prints one line per symbol-list entry in ascending address order: the address as eight
// lower-case hexadecimal digits, a tab, the name. An unreadable or unrecognised file prints
// nothing. Why names could not be read, as a job would report it, goes to `diagnostics`.
// Returns the exit status, always 0.
int RunSymbolsCommand(const std::string& exePath, bool allSymbols, std::FILE* out,
                      std::FILE* diagnostics = stderr);

} // namespace hookmeter
