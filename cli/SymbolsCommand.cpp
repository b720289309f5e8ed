#include "cli/SymbolsCommand.h"

#include "symbols/SymbolList.h"

namespace hookmeter {

int RunSymbolsCommand(const std::string& exePath, bool allSymbols, std::FILE* out,
                      std::FILE* diagnostics) {
    const TSymbolList symbols(exePath, !allSymbols);
    if (!symbols.Problem().empty())
        std::fprintf(diagnostics, "%s\n", symbols.Problem().c_str());
    for (const SymbolEntry& entry : symbols.Entries())
        std::fprintf(out, "%08x\t%s\n", unsigned(entry.Address), entry.Name.get());
    return 0;
}

} // namespace hookmeter
