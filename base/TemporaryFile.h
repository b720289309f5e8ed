// Unnamed temporary files: a copy of a stream, the decoded records of a text trace, the window's
// timeline data.
#pragma once

#include <cstdio>
#include <string_view>

namespace hookmeter {

// Makes a new file in the system's temporary folder ($TMPDIR, else /tmp), open for reading and
// writing, and removes its name at once: the file goes with its last descriptor, however the
// program ends. `kind` becomes part of the short-lived name. -1 when no file can be made there.
int CreateUnnamedTemporaryFile(std::string_view kind);

// The same as a stream, unbuffered (written and read in whole blocks). None when no file can be
// made.
std::FILE* OpenUnnamedTemporaryFile(std::string_view kind);

} // namespace hookmeter
