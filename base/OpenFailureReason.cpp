#include "base/OpenFailureReason.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace hookmeter {
namespace {

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

// The folder a new file of that path would be made in.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string ReadFailureReason(const std::string& path) {
    if (path.empty())
        return NoFileNameReason;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return SystemText(errno);
    if (S_ISDIR(status.st_mode))
        return SystemText(EISDIR);
    // Without O_NONBLOCK, a FIFO would wait here for a writer.
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return SystemText(errno);
    close(file);
    return {};
}

std::string WriteFailureReason(const std::string& path) {
    if (path.empty())
        return NoFileNameReason;
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return SystemText(EISDIR);
        return access(path.c_str(), W_OK) != 0 ? SystemText(errno) : std::string();
    }
    if (errno != ENOENT)
        return SystemText(errno);
    const std::string folder = FolderOf(path);
    if (stat(folder.c_str(), &status) != 0)
        return SystemText(errno);
    if (!S_ISDIR(status.st_mode))
        return SystemText(ENOTDIR);
    return access(folder.c_str(), W_OK | X_OK) != 0 ? SystemText(errno) : std::string();
}

} // namespace hookmeter
