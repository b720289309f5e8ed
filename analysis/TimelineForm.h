// The two forms of the timeline file, told apart by the file name's ending: a Perfetto trace
// (".pftrace" or ".perfetto-trace"), read best by the Perfetto UI and its trace processor, or
// JSON in the Trace Event Format (".json"), read by the Perfetto UI, chrome://tracing and
// speedscope. Endings are compared without regard to ASCII case.
#pragma once

#include <optional>
#include <string_view>

namespace hookmeter {

enum class TimelineForm { Perfetto, Json };

// None for a name with any other ending.
std::optional<TimelineForm> TimelineFormOf(std::string_view fileName);

// The endings, for messages: ".pftrace or .perfetto-trace (Perfetto) or .json (JSON)".
extern const char* const TimelineEndings;

} // namespace hookmeter
