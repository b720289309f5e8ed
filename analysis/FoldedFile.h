// Folded stacks for flame graphs: one line "task;outer;...;inner CYCLES" per call path whose
// completed calls had exclusive cycles. In names, ';' becomes ':' and line breaks and other
// control characters become '?', so a name never breaks a line apart.
#pragma once

#include "analysis/JobResults.h"
#include "base/OutputFile.h"

namespace hookmeter {

void WriteFoldedStacks(TOutputFile& file, const TCallTree& tree);

} // namespace hookmeter
