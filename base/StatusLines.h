// The two ways a job reaches its front end: appending a status line and switching "Process".
// Both are called from the job's own thread; a front end must neither block nor reorder them.
#pragma once

#include <string_view>

namespace hookmeter {

class TStatusLines {
public:
    virtual ~TStatusLines() = default;
    // Appends one complete line; the text is only valid during the call.
    virtual void Append(std::string_view line) = 0;
};

class TProcessButton {
public:
    virtual ~TProcessButton() = default;
    virtual void SetEnabled(bool enabled) = 0;
};

} // namespace hookmeter
