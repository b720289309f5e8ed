// Reads a whole file into memory for the symbol reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hookmeter {

// No DSP executable comes near this size; a larger file is not read.
inline constexpr uint64_t MaxFileImageSize = uint64_t{1} << 30;

struct TFileImage {
    std::vector<uint8_t> Bytes; // empty when the file was not read
    std::string Problem;        // why the file was not read; empty otherwise
};

// The bytes of a regular file of at most MaxFileImageSize bytes. An empty path gives no bytes and
// no problem; a missing or unreadable file, a file of another kind (a folder, a device, a pipe)
// or a larger one gives no bytes and says why. Throws std::bad_alloc when the file does not fit
// in memory.
TFileImage ReadFileImage(const std::string& fileName);

} // namespace hookmeter
