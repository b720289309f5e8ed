#include "core/Naming.h"

#include "symbols/SymbolList.h"

#include <algorithm>
#include <cstdio>

namespace hookmeter {

namespace {

constexpr size_t FunctionNameSlot = 24;
constexpr size_t TaskNameSlot = 16;
constexpr const char* FirstTaskName = "main";

uint32_t FunctionKey(const FunctionEntry& entry) {
    return entry.Address;
}
uint32_t TaskKey(const TaskEntry& entry) {
    return entry.Handle;
}

// Points every entry whose key carries a symbol at that symbol's name and clears the others'.
// Returns how many found a symbol.
template <typename Entry>
uint32_t NameFromSymbols(std::span<Entry> entries, const TSymbolList& symbols,
                         uint32_t (*keyOf)(const Entry&)) {
    uint32_t found = 0;
    for (Entry& entry : entries) {
        const SymbolEntry* symbol = symbols.Find(keyOf(entry));
        entry.Name = symbol ? symbol->Name.get() : nullptr;
        found += symbol ? 1 : 0;
    }
    return found;
}

// Gives every entry still without a name the next numbered name, in table order from ordinal 0,
// in a block of fixed-size slots; no block when there is nothing to name.
template <typename Entry>
std::unique_ptr<char[]> NumberUnnamed(std::span<Entry> entries, size_t unnamedCount,
                                      size_t slotSize, std::string_view prefix) {
    if (unnamedCount == 0)
        return nullptr;
    auto block = std::make_unique<char[]>(unnamedCount * slotSize);
    uint32_t ordinal = 0;
    for (Entry& entry : entries) {
        if (entry.Name)
            continue;
        char* slot = block.get() + size_t(ordinal) * slotSize;
        std::snprintf(slot, slotSize, "%.*s%u", int(prefix.size()), prefix.data(), ordinal);
        entry.Name = slot;
        ++ordinal;
    }
    return block;
}

} // namespace

bool IsNumberedName(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return false;
    name.remove_prefix(prefix.size());
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TNames::TNames() = default;
TNames::~TNames() = default;

void AssignNames(const std::string& dspOutFileName, bool globalOnly,
                 std::span<FunctionEntry> functions, std::span<TaskEntry> tasks, TNames& names) {
    names.SymbolList = std::make_unique<TSymbolList>(dspOutFileName, globalOnly);
    const TSymbolList& symbols = *names.SymbolList;
    names.Problem = symbols.Problem();

    names.FunctionNamesFound = NameFromSymbols(functions, symbols, &FunctionKey);
    names.UnnamedFunctionNames =
        NumberUnnamed(functions, functions.size() - names.FunctionNamesFound, FunctionNameSlot,
                      FunctionNamePrefix);

    names.TaskNamesFound = NameFromSymbols(tasks, symbols, &TaskKey);
    names.UnnamedTaskNames =
        NumberUnnamed(tasks, tasks.size() - names.TaskNamesFound, TaskNameSlot, TaskNamePrefix);

    // The task of handle 0 is always "main"; it still counts as found when a symbol lies at 0.
    if (!tasks.empty())
        tasks[0].Name = FirstTaskName;
}

} // namespace hookmeter
