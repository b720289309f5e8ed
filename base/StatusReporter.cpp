#include "base/StatusReporter.h"

#include <cstdarg>
#include <cstdio>

namespace hookmeter {

void TStatusReporter::AddStatusLine(std::string_view line) {
    if (FirstFailureLine.empty() && IsFailureLine(line))
        FirstFailureLine = line;
    if (Lines != nullptr)
        Lines->Append(line);
}

std::string_view TStatusReporter::FormatStatusLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string_view line = VFormatStatusLine(format, args);
    va_end(args);
    return line;
}

std::string_view TStatusReporter::VFormatStatusLine(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(MessageBuffer, sizeof MessageBuffer, format, args);
    if (length < 0) {
        va_end(again);
        return {};
    }
    std::string_view line;
    if (size_t(length) < sizeof MessageBuffer) {
        line = std::string_view(MessageBuffer, size_t(length));
    } else {
        LongLine.resize(size_t(length));
        std::vsnprintf(LongLine.data(), LongLine.size() + 1, format, again);
        line = LongLine;
    }
    va_end(again);
    AddStatusLine(line);
    return line;
}

} // namespace hookmeter
