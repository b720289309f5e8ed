// How the timeline's data lies in its chunk file, for the builder that writes it and the tracks
// that read it.
//
// A track is one array of records in time order: the calls of one task at one call depth, the
// run slices of one task, its exits without enter, or the job's inconsistency notes. Records of
// one track never overlap, so the array is sorted by start and by end at once. Each chunk of the
// file holds RecordsPerChunk records of one track (the last chunk of a track is padded), or
// SlotsPerChunk record ids of one function's calls, or note texts.
//
// A record's id is the number its chunk got when its first record was given a place, times
// RecordsPerChunk, plus its place in the chunk: a call gets its id when it is entered, so that
// each function's list of calls is in the order they were entered.
#pragma once

#include "base/ChunkFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace hookmeter::tracks {

inline constexpr uint32_t RecordsPerChunk = 256;
inline constexpr uint32_t SlotsPerChunk = uint32_t(TChunkFile::ChunkBytes / sizeof(uint32_t));
inline constexpr uint32_t MaxChunks = ~uint32_t{0} / RecordsPerChunk; // record ids stay 32-bit
inline constexpr uint32_t NoChunk = ~uint32_t{0};

enum TRecordFlags : uint16_t {
    Cut = 1,            // a call the job gave up without its exit: it ends where it was cut
    Hidden = 2,         // a call whose exit came before its enter: kept only for its place
    LongStart = 4,      // Start does not fit: the long values hold the start itself
    LongDuration = 8,   // Duration does not fit: the long values hold it
    LongExclusive = 16, // likewise Exclusive
};

// 16 bytes: a call (or run slice, or marker, or note).
struct TRecord {
    uint32_t Start;     // cycles after its chunk's base: the start of the chunk's first record
    uint32_t Duration;  // end less start; for a note, the low half of its text's offset
    uint32_t Exclusive; // of a completed call; for a note, the high half of its text's offset
    uint16_t Function;  // the function's index; for a note, the length of its text
    uint16_t Flags;
};
static_assert(sizeof(TRecord) == 16 && sizeof(TRecord) * RecordsPerChunk == TChunkFile::ChunkBytes);

inline constexpr uint32_t LongValue = ~uint32_t{0};

// What a chunk, or a run of chunks one level up, holds. The levels of a track: level 0 has a node
// per chunk, each level above one per two nodes below. A node without records (all hidden) takes
// the end of what came before as its start and end, so that starts and ends stay sorted.
struct TNode {
    uint64_t First = 0; // start of its first record
    uint64_t Last = 0;  // end of its last record
    // The longest record or gap between two of its records, rounded up: when it is below the
    // width of a pixel, the node's records make one unbroken run narrower than pixels.
    float MaxSpan = 0;
    uint32_t Count = 0; // records shown, hidden ones left out
};

// A part of a chunk: RecordsPerPart records in a row, its times from the chunk's base. A chunk
// whose span is wider than a pixel is drawn part by part; only a part that holds a record or a gap
// wider than a pixel needs the chunk read.
struct TPart {
    uint32_t First = 0; // start of its first shown record, from the chunk's base
    uint32_t Last = 0;  // end of its last shown record, likewise
    float MaxSpan = 0;  // as a node's
    uint32_t Count = 0; // records shown; NoParts in a chunk's first part: its times do not fit
};
inline constexpr uint32_t RecordsPerPart = 16;
inline constexpr uint32_t PartsPerChunk = RecordsPerChunk / RecordsPerPart;
inline constexpr uint32_t NoParts = ~uint32_t{0};

inline float SpanAbove(uint64_t cycles) {
    float span = float(cycles);
    if (double(span) < double(cycles))
        span = std::nextafter(span, std::numeric_limits<float>::infinity());
    return span;
}

inline TNode Combine(const TNode& a, const TNode& b) {
    if (b.Count == 0)
        return {a.First, std::max(a.Last, b.Last), a.MaxSpan, a.Count};
    if (a.Count == 0)
        return {b.First, b.Last, b.MaxSpan, b.Count};
    return {a.First, b.Last, std::max({a.MaxSpan, b.MaxSpan, SpanAbove(b.First - a.Last)}),
            a.Count + b.Count};
}

} // namespace hookmeter::tracks
