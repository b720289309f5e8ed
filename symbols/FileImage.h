// Reads a whole file into memory for the symbol reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hookmeter {

// The file's bytes; empty when the file cannot be opened or read. Throws std::bad_alloc when the
// file does not fit in memory.
std::vector<uint8_t> ReadFileImage(const std::string& fileName);

} // namespace hookmeter
