#include "cli/SymbolsCommand.h"

#include "symbols/SymbolList.h"

namespace hookmeter {

int RunSymbolsCommand(const std::string& exePath, bool allSymbols, std::FILE* out) {
    const TSymbolList symbols(exePath, !allSymbols);
    for (const SymbolEntry& entry : symbols.Entries())
        std::fprintf(out, "%08x\t%s\n", unsigned(entry.Address), entry.Name.get());
    return 0;
}

} // namespace hookmeter
