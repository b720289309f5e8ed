// The text that tells a user why names are missing when a table of the executable reaches past
// the end of the file: the executable was cut short or is damaged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hookmeter {

enum class TableLoss {
    AllNames,  // nothing could be read
    SomeNames, // names past the end of the file were not read
};

// "The executable is truncated or damaged: its <table> (section <n>, offset 0x<offset>, <size>
// bytes) reaches past the end of the file (<file size> bytes); ..."
std::string TruncatedTableProblem(const char* table, std::optional<uint32_t> section,
                                  uint64_t offset, uint64_t size, uint64_t fileSize,
                                  TableLoss loss);

} // namespace hookmeter
