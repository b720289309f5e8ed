#include "engine/StatusReporter.h"

#include <cstdarg>
#include <cstdio>

namespace hookmeter {

void TStatusReporter::AddStatusLine(std::string_view line) {
    if (Lines != nullptr)
        Lines->Append(line);
}

void TStatusReporter::FormatStatusLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(MessageBuffer, sizeof MessageBuffer, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (size_t(length) < sizeof MessageBuffer) {
        va_end(again);
        AddStatusLine(std::string_view(MessageBuffer, size_t(length)));
        return;
    }
    LongLine.resize(size_t(length));
    std::vsnprintf(LongLine.data(), LongLine.size() + 1, format, again);
    va_end(again);
    AddStatusLine(LongLine);
}

} // namespace hookmeter
