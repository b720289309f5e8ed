// A strict reader of the Perfetto traces the timeline writes, for tests. It decodes the protobuf
// wire format itself (independently of the writer), knows only the fields the timeline may use,
// and applies the trace processor's import rules: a sequence id on every packet; a sequence's
// incremental state cleared before it is used, and every packet that relies on it (interned
// names, defaults, the incremental clock) marked as needing it; a track described before its
// first event; every end matching an open slice of its track, and no slice left open. Times come
// out absolute: the deltas of the incremental clock added up from the clock snapshot.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hookmeter::test {

struct TPerfettoEvent {
    enum class Kind { Begin, End, Instant } Type;
    uint64_t Track; // the track's uuid
    uint64_t Time;  // nanoseconds of the trace's clock
    // Begin and instant: their name; end: the name of the slice it ends.
    std::string Name;
    uint64_t BeginTime = 0;                  // end: when its slice began
    std::map<std::string, std::string> Args; // numbers in decimal
};

struct TPerfettoThread {
    int64_t Pid = 0, Tid = 0;
    std::string Name;
    int64_t Rank = 0; // sibling_order_rank
};

struct TPerfettoTrace {
    std::string ProcessName, ProcessDescription;
    bool ThreadsOrderedExplicitly = false;
    std::map<uint64_t, TPerfettoThread> Threads; // by track uuid
    std::vector<TPerfettoEvent> Events;          // in file order
    size_t Packets = 0;

    // The uuid of the thread track named `name`, or 0.
    uint64_t TrackNamed(const std::string& name) const;
};

// The trace in `bytes`, or none when it breaks a rule; `error` then says which and where.
std::optional<TPerfettoTrace> ReadPerfettoTrace(const std::string& bytes,
                                                std::string* error = nullptr);

} // namespace hookmeter::test
