// Why a file could not be opened, in the system's words ("No such file or directory", "Is a
// directory", "Permission denied"). Asked after an open has failed, it looks at the path again
// without changing anything there; empty when that look finds nothing wrong.
#pragma once

#include <string>

namespace hookmeter {

// The reason given for an empty path.
inline constexpr const char* NoFileNameReason = "No file name given";

// For a file that was to be read.
std::string ReadFailureReason(const std::string& path);
// For a file that was to be made or overwritten.
std::string WriteFailureReason(const std::string& path);

} // namespace hookmeter
