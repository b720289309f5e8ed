#include "core/TemporaryFile.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace hookmeter {

std::FILE* OpenUnnamedTemporaryFile() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    std::string pattern = (folder / "hookmeter-raw-XXXXXX").string();
    int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    ::unlink(pattern.c_str());
    std::FILE* file = ::fdopen(descriptor, "w+b");
    if (file == nullptr) {
        ::close(descriptor);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0); // written and read in whole blocks
    return file;
}

} // namespace hookmeter
