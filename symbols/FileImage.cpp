#include "symbols/FileImage.h"

#include <cstdio>
#include <memory>

namespace hookmeter {

std::vector<uint8_t> ReadFileImage(const std::string& fileName) {
    std::vector<uint8_t> bytes;
    if (fileName.empty())
        return bytes;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                               &std::fclose);
    if (!file)
        return bytes;
    // Read in blocks up to the end instead of trusting a size taken beforehand.
    uint8_t block[64 * 1024];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
        bytes.insert(bytes.end(), block, block + got);
    if (std::ferror(file.get()))
        bytes.clear();
    return bytes;
}

} // namespace hookmeter
