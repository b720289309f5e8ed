// Reads a profile summary file.
#pragma once

#include "core/SummaryReader.h"

#include <optional>
#include <string>

namespace hookmeter {

struct TSummaryFile {
    std::optional<TParsedSummary> Summary;
    std::string Error; // when Summary is empty: "FILE:LINE: why", or "FILE: why" for a read error
};

// Reads in large blocks and stops at the first line that does not belong in a summary.
TSummaryFile ReadProfileSummaryFile(const std::string& fileName);

} // namespace hookmeter
