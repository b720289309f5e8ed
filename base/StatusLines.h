// Where a job's status lines go. Lines are appended from the job's own thread; a front end must
// neither block nor reorder them.
#pragma once

#include <string_view>

namespace hookmeter {

class TStatusLines {
public:
    virtual ~TStatusLines() = default;
    // Appends one complete line; the text is only valid during the call.
    virtual void Append(std::string_view line) = 0;
};

// A line framed by "!!!" reports a failure: a file could not be opened, read or written, the job
// was stopped, ... The job's outcome and the batch command's exit status follow from it.
inline bool IsFailureLine(std::string_view line) {
    return line.size() >= 6 && line.starts_with("!!!") && line.ends_with("!!!");
}

} // namespace hookmeter
