#include "core/SummaryFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace hookmeter {
namespace {

constexpr size_t BlockSize = size_t{1} << 20;

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

TSummaryFile ReadError(const std::string& fileName, int error) {
    return {std::nullopt, fileName + ": cannot be read: " + std::strerror(error)};
}

} // namespace

TSummaryFile ReadProfileSummaryFile(const std::string& fileName) {
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        return ReadError(fileName, errno);
    TSummaryReader parser;
    std::vector<char> block(BlockSize);
    for (;;) {
        const size_t got = std::fread(block.data(), 1, block.size(), file.get());
        if (got == 0 && std::ferror(file.get()))
            return ReadError(fileName, errno);
        if (got == 0 || !parser.Feed({block.data(), got}))
            break;
    }
    if (!parser.Finish())
        return {std::nullopt, fileName + ":" + std::to_string(parser.ErrorLine()) +
                                  ": not a profile summary: " + parser.Error()};
    return {parser.TakeSummary(), {}};
}

} // namespace hookmeter
