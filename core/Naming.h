// The naming step of a job: every function and task entry gets the name of the symbol at exactly
// its address, or a numbered name ("?function #0", "?task #1", ...); task entry 0 is "main".
#pragma once

#include "core/Entries.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace hookmeter {

class TSymbolList;

// The numbered names of entries whose address carries no symbol: the prefix, then the ordinal.
inline constexpr std::string_view FunctionNamePrefix = "?function #";
inline constexpr std::string_view TaskNamePrefix = "?task #";

// True for a numbered name with that prefix. Such names are not stable between runs.
bool IsNumberedName(std::string_view name, std::string_view prefix);

// Everything the entries' names point into; it must outlive every use of the names.
struct TNames {
    TNames();
    ~TNames();
    std::unique_ptr<TSymbolList> SymbolList;
    std::unique_ptr<char[]> UnnamedFunctionNames; // 24-character slots
    std::unique_ptr<char[]> UnnamedTaskNames;     // 16-character slots
    uint32_t FunctionNamesFound = 0;              // entries whose address carries a symbol
    uint32_t TaskNamesFound = 0;                  // task 0 counts when a symbol lies at 0
    std::string Problem; // why the executable gave no or fewer names, as a status line; or empty
};

// Reads the executable's symbols (an unreadable or unrecognised file gives none) and sets every
// entry's Name; names.Problem says why a named executable gave no or fewer names, where the
// counts alone would leave a user guessing. Entries are in ascending key order; tasks[0] is the
// task with handle 0. Throws std::bad_alloc when memory runs out.
void AssignNames(const std::string& dspOutFileName, bool globalOnly,
                 std::span<FunctionEntry> functions, std::span<TaskEntry> tasks, TNames& names);

} // namespace hookmeter
