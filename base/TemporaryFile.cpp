#include "base/TemporaryFile.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace hookmeter {

int CreateUnnamedTemporaryFile(std::string_view kind) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    std::string pattern = (folder / "hookmeter-").string();
    pattern.append(kind).append("-XXXXXX");
    int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor >= 0)
        ::unlink(pattern.c_str());
    return descriptor;
}

std::FILE* OpenUnnamedTemporaryFile(std::string_view kind) {
    int descriptor = CreateUnnamedTemporaryFile(kind);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = ::fdopen(descriptor, "w+b");
    if (file == nullptr) {
        ::close(descriptor);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

} // namespace hookmeter
