// Unnamed temporary files for the raw input: a copy of a stream, the decoded records of a text
// trace.
#pragma once

#include <cstdio>

namespace hookmeter {

// Opens a new file in the system's temporary folder ($TMPDIR, else /tmp) for reading and writing,
// unbuffered, and removes its name at once: the file goes with its last descriptor, however the
// job ends. None when no file can be made there.
std::FILE* OpenUnnamedTemporaryFile();

} // namespace hookmeter
