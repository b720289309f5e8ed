#include "symbols/FileImage.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace hookmeter {

namespace {

constexpr const char* NotRegularProblem =
    "The executable is not a regular file; no names were read from it.";
constexpr const char* TooLargeProblem =
    "The executable is larger than 1 GiB; no names were read from it.";

std::string UnreadableProblem(const std::error_code& reason) {
    return "The executable can not be read (" + reason.message() + "); no names were read from it.";
}

} // namespace

TFileImage ReadFileImage(const std::string& fileName) {
    TFileImage image;
    if (fileName.empty())
        return image;
    // A device or a pipe could give bytes without end, or block the open itself.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(fileName, error);
    if (error || !std::filesystem::exists(status)) {
        image.Problem = UnreadableProblem(
            error ? error : std::make_error_code(std::errc::no_such_file_or_directory));
        return image;
    }
    if (!std::filesystem::is_regular_file(status)) {
        image.Problem = NotRegularProblem;
        return image;
    }
    const uintmax_t size = std::filesystem::file_size(fileName, error);
    if (!error && size > MaxFileImageSize) {
        image.Problem = TooLargeProblem;
        return image;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) {
        image.Problem = UnreadableProblem(std::error_code(errno, std::generic_category()));
        return image;
    }
    // Read in blocks up to the end instead of trusting the size taken beforehand, but never
    // beyond the limit: the file may have grown or been replaced since.
    std::vector<uint8_t>& bytes = image.Bytes;
    if (!error)
        bytes.reserve(size_t(size));
    uint8_t block[64 * 1024];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        if (bytes.size() + got > MaxFileImageSize) {
            image = TFileImage{{}, TooLargeProblem};
            return image;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
    if (std::ferror(file.get())) {
        bytes.clear();
        image.Problem = UnreadableProblem(std::error_code(errno, std::generic_category()));
    }
    return image;
}

} // namespace hookmeter
