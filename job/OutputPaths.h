// Which of a job's files would be one file. An output written over an input destroys the user's
// trace or program, and two outputs in one file leave only the one written last, so a job
// refuses both before it opens anything. Hard and symbolic links and other spellings of a path
// (".", "..") count; a device or another file that is not a regular one (/dev/null) may take
// several outputs.
#pragma once

#include "job/JobParameters.h"

#include <string>

namespace hookmeter {

// True when both paths name one existing file, whatever its kind.
bool SameFile(const std::string& a, const std::string& b);

// Two of the job's files, by their roles as a status line names them ("call list", ...).
struct TFileClash {
    const char* First = nullptr; // the one named first in the order below
    const char* Second = nullptr;
    explicit operator bool() const { return First != nullptr; }
};

// The first clash in the order raw data file, executable, call list, profile summary, timeline,
// folded stacks, statistics: an output that is the same file as an input or as an output before
// it. None when every output has a file of its own; empty paths never clash.
TFileClash FindFileClash(const TJobParameters& parameters);

} // namespace hookmeter
