// The job's status-line channel: formats lines printf-style and hands each one, complete, to the
// front end's TStatusLines, and remembers the first one that reports a failure.
#pragma once

#include "base/StatusLines.h"

#include <cstdarg>
#include <string>
#include <string_view>

namespace hookmeter {

class TStatusReporter {
public:
    explicit TStatusReporter(TStatusLines* lines) : Lines(lines) {}

    void AddStatusLine(std::string_view line);
    // The first line framed by "!!!" so far, or empty.
    const std::string& FirstFailure() const { return FirstFailureLine; }
    // Formats into the 1,024-byte message buffer; a longer line is formatted whole into a
    // larger buffer instead, never cut.
    // Both return the line as appended; it stays valid until the next line is formatted.
    std::string_view FormatStatusLine(const char* format, ...)
        __attribute__((format(printf, 2, 3)));
    std::string_view VFormatStatusLine(const char* format, va_list args);

private:
    TStatusLines* Lines;
    char MessageBuffer[1024];
    std::string LongLine;
    std::string FirstFailureLine;
};

} // namespace hookmeter
