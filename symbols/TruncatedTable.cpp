#include "symbols/TruncatedTable.h"

#include <cstdio>

namespace hookmeter {

std::string TruncatedTableProblem(const char* table, std::optional<uint32_t> section,
                                  uint64_t offset, uint64_t size, uint64_t fileSize,
                                  TableLoss loss) {
    char sectionText[32] = "";
    if (section)
        std::snprintf(sectionText, sizeof sectionText, "section %u, ", unsigned(*section));
    char text[320];
    std::snprintf(text, sizeof text,
                  "The executable is truncated or damaged: its %s (%soffset 0x%llx, %llu bytes) "
                  "reaches past the end of the file (%llu bytes); %s",
                  table, sectionText, (unsigned long long)offset, (unsigned long long)size,
                  (unsigned long long)fileSize,
                  loss == TableLoss::AllNames ? "no names were read from it."
                                              : "names past the end were not read.");
    return text;
}

} // namespace hookmeter
