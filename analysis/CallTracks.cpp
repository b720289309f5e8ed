#include "analysis/CallTracks.h"

#include <algorithm>
#include <cstring>

namespace hookmeter {

using namespace tracks;

namespace {

constexpr uint32_t ReadRun = 256; // chunks read at once when every record of a range is read

// Visits the chunks in `toRead` (each with a FileChunk) in the order they lie in the file,
// reading runs of neighbouring chunks at once.
template <typename TWanted, typename TRead, typename TVisit>
void ForEachChunkInFileOrder(std::vector<TWanted>& toRead, TRead read, TVisit visit) {
    std::sort(toRead.begin(), toRead.end(), [](const TWanted& left, const TWanted& right) {
        return left.FileChunk < right.FileChunk;
    });
    std::unique_ptr<char[]> buffer(new char[size_t{ReadRun} * TChunkFile::ChunkBytes]);
    for (size_t run = 0; run < toRead.size();) {
        size_t end = run + 1;
        while (end < toRead.size() && end - run < ReadRun &&
               toRead[end].FileChunk == toRead[end - 1].FileChunk + 1)
            ++end;
        read(toRead[run].FileChunk, uint32_t(end - run), buffer.get());
        for (size_t i = run; i < end; ++i)
            visit(toRead[i], buffer.get() + (i - run) * TChunkFile::ChunkBytes);
        run = end;
    }
}

TRecord RecordIn(const char* chunk, uint64_t place) {
    TRecord record;
    std::memcpy(&record, chunk + place * sizeof(TRecord), sizeof record);
    return record;
}

uint32_t IdIn(const char* chunk, uint64_t place) {
    uint32_t id;
    std::memcpy(&id, chunk + place * sizeof id, sizeof id);
    return id;
}

// The index of the last node starting at or before `tsc`, or -1.
int64_t LastNodeStartingBy(const std::vector<TNode>& nodes, uint64_t tsc) {
    auto after =
        std::upper_bound(nodes.begin(), nodes.end(), tsc,
                         [](uint64_t value, const TNode& node) { return value < node.First; });
    return int64_t(after - nodes.begin()) - 1;
}

} // namespace

TCallTracks::TCallTracks(std::unique_ptr<TChunkFile> file, uint64_t firstTSC, uint64_t lastTSC)
    : File(std::move(file)), First(firstTSC), Last(lastTSC) {}

TCallTracks::~TCallTracks() = default;

int32_t TCallTracks::FunctionOfAddress(uint32_t address) const {
    // The function table is sorted by address.
    auto found = std::lower_bound(
        FunctionList.begin(), FunctionList.end(), address,
        [](const TFunction& function, uint32_t value) { return function.Address < value; });
    if (found == FunctionList.end() || found->Address != address)
        return -1;
    return int32_t(found - FunctionList.begin());
}

bool TCallTracks::ReadChunks(uint32_t first, uint32_t count, void* out) const {
    ReadCount += count;
    if (File->Read(first, count, out))
        return true;
    ReadFailure = true;
    std::memset(out, 0, size_t{count} * TChunkFile::ChunkBytes);
    return false;
}

const char* TCallTracks::CachedChunk(uint32_t fileChunk) const {
    if (!CacheTags) {
        CacheTags.reset(new uint32_t[CacheLines]);
        std::fill_n(CacheTags.get(), CacheLines, NoChunk);
        CacheData = TLargeBuffer(size_t{CacheLines} * TChunkFile::ChunkBytes);
    }
    uint32_t line = fileChunk % CacheLines;
    char* bytes = CacheData.Data() + size_t{line} * TChunkFile::ChunkBytes;
    if (CacheTags[line] != fileChunk) {
        ReadChunks(fileChunk, 1, bytes);
        CacheTags[line] = fileChunk;
    }
    return bytes;
}

TRecord TCallTracks::RecordAt(const TTrackData& track, uint64_t index) const {
    return RecordIn(Chunk(ChunkOf(track, index)), index % RecordsPerChunk);
}

uint64_t TCallTracks::LongValueOf(const std::vector<std::pair<uint32_t, uint64_t>>& values,
                                  TRecordId id) const {
    auto found =
        std::lower_bound(values.begin(), values.end(), std::pair<uint32_t, uint64_t>{id, 0});
    return found != values.end() && found->first == id ? found->second : 0;
}

uint64_t TCallTracks::StartOf(const TTrackData& track, uint64_t index,
                              const TRecord& record) const {
    if (record.Flags & LongStart)
        return LongValueOf(LongStarts, IdOf(track, index));
    return track.Bases[index / RecordsPerChunk] + record.Start;
}

TTrackCall TCallTracks::Decode(uint32_t track, uint64_t index, const TRecord& record) const {
    const TTrackData& data = TrackList[track];
    TTrackCall call;
    call.Id = IdOf(data, index);
    call.Track = track;
    call.Enter = StartOf(data, index, record);
    call.Function = record.Function;
    call.Cut = (record.Flags & Cut) != 0;
    if (data.Kind == TTrackKind::Calls || data.Kind == TTrackKind::Runs) {
        uint64_t duration =
            record.Flags & LongDuration ? LongValueOf(LongDurations, call.Id) : record.Duration;
        call.End = call.Enter + duration;
        call.Exclusive =
            record.Flags & LongExclusive ? LongValueOf(LongExclusives, call.Id) : record.Exclusive;
    } else {
        call.End = call.Enter;
    }
    return call;
}

TTrackCall TCallTracks::Call(TRecordId id) const {
    uint32_t track = TrackOf(id);
    uint64_t index = IndexOf(id);
    return Decode(track, index, RecordAt(TrackList[track], index));
}

std::string TCallTracks::NoteText(const TTrackCall& note) const {
    TRecord record = RecordAt(TrackList[note.Track], IndexOf(note.Id));
    uint64_t offset = uint64_t(record.Exclusive) << 32 | record.Duration;
    std::string text;
    for (uint64_t at = offset; at < offset + record.Function;) {
        uint64_t chunk = at / TChunkFile::ChunkBytes;
        if (chunk >= TextChunks.size())
            break;
        size_t from = size_t(at % TChunkFile::ChunkBytes);
        size_t length =
            std::min<uint64_t>(TChunkFile::ChunkBytes - from, offset + record.Function - at);
        text.append(CachedChunk(TextChunks[chunk]) + from, length);
        at += length;
    }
    return text;
}

void TCallTracks::Boxes(uint32_t track, uint64_t from, uint64_t to, uint64_t merge,
                        std::vector<TTrackBox>& boxes, const TTrackHighlight* highlight) const {
    const TTrackData& data = TrackList[track];
    if (data.Levels.empty() || from >= to)
        return;
    merge = std::max<uint64_t>(merge, 1);
    if (highlight != nullptr &&
        (track >= highlight->Nodes.size() || highlight->Nodes[track].empty()))
        highlight = nullptr;

    // The run being gathered; the record it starts with, while it holds one.
    TTrackBox pending;
    bool open = false;
    uint64_t pendingIndex = ~uint64_t{0};
    TRecord pendingRecord{};
    const auto flush = [&] {
        if (!open)
            return;
        open = false;
        if (pending.Count == 1) {
            if (pendingIndex != ~uint64_t{0}) {
                pending.Call = Decode(track, pendingIndex, pendingRecord);
            } else if (TRecordId id = CallHolding(track, pending.Start); id != NoRecord) {
                pending.Call = Call(id);
            }
        }
        boxes.push_back(pending);
    };
    // A narrow record (its index) or run of records from `start` to `end`.
    const auto add = [&](uint64_t start, uint64_t end, uint32_t count, bool lit, uint64_t index,
                         const TRecord& record) {
        if (open && start - pending.End < merge) {
            pending.End = std::max(pending.End, end);
            pending.Count += count;
            pending.Highlighted = pending.Highlighted || lit;
            return;
        }
        flush();
        pending.Start = start;
        pending.End = end;
        pending.Count = count;
        pending.Highlighted = lit;
        pending.Call = TTrackCall{};
        pendingIndex = index;
        pendingRecord = record;
        open = true;
    };
    constexpr uint64_t Whole = ~uint64_t{0};
    const bool durations = data.Kind == TTrackKind::Calls || data.Kind == TTrackKind::Runs;
    TRecord chunkRecords[RecordsPerChunk];
    // One record of a chunk, at its index in the track.
    const auto addRecord = [&](uint64_t index, TRecord record, uint64_t chunkBase) {
        uint64_t start, end;
        if (record.Flags & (Hidden | LongStart | LongDuration)) {
            if (record.Flags & Hidden)
                return;
            TTrackCall call = Decode(track, index, record);
            start = call.Enter;
            end = call.End;
        } else {
            start = chunkBase + record.Start;
            end = durations ? start + record.Duration : start;
        }
        if (end < from || start >= to)
            return;
        bool lit = highlight != nullptr && highlight->Function(record.Function);
        if (end - start >= merge) {
            flush();
            boxes.push_back(TTrackBox{start, end, 1, lit, Decode(track, index, record)});
        } else {
            add(start, end, 1, lit, index, record);
        }
    };
    const auto visit = [&](const auto& self, size_t level, size_t i) -> void {
        const TNode& node = data.Levels[level][i];
        if (node.Count == 0 || node.Last < from || node.First >= to)
            return;
        if (double(node.MaxSpan) < double(merge)) {
            add(node.First, node.Last, node.Count,
                highlight != nullptr && highlight->Nodes[track][level][i], Whole, TRecord{});
            return;
        }
        if (level > 0) {
            self(self, level - 1, 2 * i);
            if (2 * i + 1 < data.Levels[level - 1].size())
                self(self, level - 1, 2 * i + 1);
            return;
        }
        // The chunk part by part; read only for a part with something wider than the merge.
        uint64_t base = uint64_t(i) * RecordsPerChunk;
        uint64_t count = std::min<uint64_t>(RecordsPerChunk, data.Records - base);
        bool read = false;
        const auto records = [&](uint64_t first, uint64_t end) {
            if (!read) {
                // A copy: finding the call of a box may read other chunks into the cache.
                std::memcpy(chunkRecords, Chunk(data.Chunks[i]), sizeof chunkRecords);
                read = true;
            }
            for (uint64_t place = first; place < end; ++place)
                addRecord(base + place, chunkRecords[place], data.Bases[i]);
        };
        const TPart* parts = &data.Parts[size_t(i) * PartsPerChunk];
        if (parts[0].Count == NoParts)
            return records(0, count);
        for (uint32_t k = 0; k < PartsPerChunk; ++k) {
            const TPart& part = parts[k];
            uint64_t first = data.Bases[i] + part.First, last = data.Bases[i] + part.Last;
            if (part.Count == 0 || last < from || first >= to)
                continue;
            if (double(part.MaxSpan) < double(merge))
                add(first, last, part.Count,
                    highlight != nullptr && highlight->Parts[track][size_t(i) * PartsPerChunk + k],
                    Whole, TRecord{});
            else
                records(k * RecordsPerPart, std::min<uint64_t>(count, (k + 1) * RecordsPerPart));
        }
    };
    visit(visit, data.Levels.size() - 1, 0);
    flush();
}

int64_t TCallTracks::LastStartingBy(const TTrackData& track, uint64_t tsc) const {
    if (track.Levels.empty())
        return -1;
    int64_t chunk = LastNodeStartingBy(track.Levels[0], tsc);
    if (chunk < 0)
        return -1;
    const char* records = Chunk(track.Chunks[size_t(chunk)]);
    uint64_t base = uint64_t(chunk) * RecordsPerChunk;
    uint64_t count = std::min<uint64_t>(RecordsPerChunk, track.Records - base);
    uint64_t low = 0, high = count; // the first place that starts after `tsc`
    while (low < high) {
        uint64_t middle = (low + high) / 2;
        if (StartOf(track, base + middle, RecordIn(records, middle)) <= tsc)
            low = middle + 1;
        else
            high = middle;
    }
    return int64_t(base + low) - 1;
}

TRecordId TCallTracks::CallHolding(uint32_t track, uint64_t tsc) const {
    const TTrackData& data = TrackList[track];
    for (int64_t index = LastStartingBy(data, tsc); index >= 0; --index) {
        TRecord record = RecordAt(data, uint64_t(index));
        if (record.Flags & Hidden)
            continue;
        TTrackCall call = Decode(track, uint64_t(index), record);
        return call.End >= tsc ? call.Id : NoRecord;
    }
    return NoRecord;
}

uint64_t TCallTracks::RunsBefore(const TTrackData& track, uint64_t tsc) const {
    if (track.Levels.empty())
        return 0;
    int64_t chunk = LastNodeStartingBy(track.Levels[0], tsc);
    if (chunk < 0)
        return 0;
    uint64_t cycles = track.RunsBefore[size_t(chunk)];
    const char* records = Chunk(track.Chunks[size_t(chunk)]);
    uint64_t base = uint64_t(chunk) * RecordsPerChunk;
    uint64_t count = std::min<uint64_t>(RecordsPerChunk, track.Records - base);
    uint32_t trackIndex = uint32_t(&track - TrackList.data());
    for (uint64_t place = 0; place < count; ++place) {
        TTrackCall run = Decode(trackIndex, base + place, RecordIn(records, place));
        if (run.Enter >= tsc)
            break;
        cycles += std::min(run.End, tsc) - run.Enter;
    }
    return cycles;
}

uint64_t TCallTracks::RunCycles(uint32_t task, uint64_t from, uint64_t to) const {
    if (task >= TaskList.size() || from >= to)
        return 0;
    const TTrackData& runs = TrackList[TaskList[task].RunTrack];
    return RunsBefore(runs, to) - RunsBefore(runs, from);
}

std::vector<TTrackCall> TCallTracks::PathOf(TRecordId id) const {
    std::vector<TTrackCall> path;
    TTrackCall call = Call(id);
    const TTrackData& track = TrackList[call.Track];
    if (track.Kind == TTrackKind::Calls) {
        const TTask& task = TaskList[track.Task];
        for (uint32_t depth = 0; depth < track.Depth; ++depth) {
            TRecordId outer = CallHolding(task.CallTracks[depth], call.Enter);
            if (outer != NoRecord)
                path.push_back(Call(outer));
        }
    }
    path.push_back(call);
    return path;
}

TRecordId TCallTracks::ListEntry(const TFunctionCalls& calls, uint64_t place) const {
    return IdIn(CachedChunk(calls.Chunks[place / SlotsPerChunk]), place % SlotsPerChunk);
}

int64_t TCallTracks::PlaceInList(const TFunctionCalls& calls, TRecordId id, uint64_t enter) const {
    // Calls entered at the same time may lie in the chunk before the first one that starts then.
    auto first = std::lower_bound(calls.FirstEnters.begin(), calls.FirstEnters.end(), enter);
    size_t chunk = size_t(first - calls.FirstEnters.begin());
    chunk = chunk > 0 ? chunk - 1 : 0;
    for (; chunk < calls.Chunks.size(); ++chunk) {
        if (chunk > 0 && calls.FirstEnters[chunk] > enter && calls.FirstEnters[chunk - 1] > enter)
            break;
        uint64_t base = uint64_t(chunk) * SlotsPerChunk;
        uint64_t count = std::min<uint64_t>(SlotsPerChunk, calls.Count - base);
        const char* ids = CachedChunk(calls.Chunks[chunk]);
        for (uint64_t place = 0; place < count; ++place)
            if (IdIn(ids, place) == id)
                return int64_t(base + place);
    }
    // The records' time ran backwards somewhere: the list is not sorted by time.
    for (uint64_t place = 0; place < calls.Count; ++place)
        if (ListEntry(calls, place) == id)
            return int64_t(place);
    return -1;
}

bool TCallTracks::OnPath(TRecordId id, uint32_t pathTask, std::span<const uint32_t> path) const {
    const TTrackData& track = TrackList[TrackOf(id)];
    if (track.Kind != TTrackKind::Calls || track.Task != pathTask || track.Depth + 1 != path.size())
        return false;
    std::vector<TTrackCall> calls = PathOf(id);
    if (calls.size() != path.size())
        return false;
    for (size_t i = 0; i < path.size(); ++i)
        if (calls[i].Function != path[i])
            return false;
    return true;
}

TRecordId TCallTracks::FindCall(uint32_t function, uint32_t task, uint64_t enterTSC) const {
    if (function >= FunctionCallList.size())
        return NoRecord;
    const TFunctionCalls& calls = FunctionCallList[function];
    const auto matches = [&](TRecordId id) {
        TRecord record = RecordAt(TrackList[TrackOf(id)], IndexOf(id));
        return Call(id).Enter == enterTSC && !(record.Flags & (Cut | Hidden)) &&
               TrackList[TrackOf(id)].Task == task;
    };
    // Calls entered at the same time may lie in the chunk before the first one that starts then.
    auto first = std::lower_bound(calls.FirstEnters.begin(), calls.FirstEnters.end(), enterTSC);
    size_t chunk = size_t(first - calls.FirstEnters.begin());
    for (uint64_t place = uint64_t(chunk > 0 ? chunk - 1 : 0) * SlotsPerChunk; place < calls.Count;
         ++place) {
        TRecordId id = ListEntry(calls, place);
        if (matches(id))
            return id;
        if (Call(id).Enter > enterTSC)
            break;
    }
    // The records' time ran backwards somewhere: the list is not sorted by time.
    for (uint64_t place = 0; place < calls.Count; ++place)
        if (matches(ListEntry(calls, place)))
            return ListEntry(calls, place);
    return NoRecord;
}

TRecordId TCallTracks::NextCall(TRecordId id, bool forward, uint32_t pathTask,
                                std::span<const uint32_t> path) const {
    TTrackCall call = Call(id);
    if (TrackList[call.Track].Kind != TTrackKind::Calls)
        return NoRecord;
    const TFunctionCalls& calls = FunctionCallList[call.Function];
    int64_t place = PlaceInList(calls, id, call.Enter);
    if (place < 0)
        return NoRecord;
    for (int64_t at = place + (forward ? 1 : -1); at >= 0 && uint64_t(at) < calls.Count;
         at += forward ? 1 : -1) {
        TRecordId next = ListEntry(calls, uint64_t(at));
        if (RecordAt(TrackList[TrackOf(next)], IndexOf(next)).Flags & Hidden)
            continue;
        if (path.empty() || OnPath(next, pathTask, path))
            return next;
    }
    return NoRecord;
}

TRecordId TCallTracks::FirstCallOnPath(uint32_t task, std::span<const uint32_t> path) const {
    if (path.empty() || path.back() >= FunctionCallList.size())
        return NoRecord;
    const TFunctionCalls& calls = FunctionCallList[path.back()];
    for (uint64_t place = 0; place < calls.Count; ++place) {
        TRecordId id = ListEntry(calls, place);
        if (!(RecordAt(TrackList[TrackOf(id)], IndexOf(id)).Flags & Hidden) &&
            OnPath(id, task, path))
            return id;
    }
    return NoRecord;
}

TCallTracks::TRangeFigures TCallTracks::Figures(uint64_t from, uint64_t to) const {
    TRangeFigures figures;
    figures.From = from;
    figures.To = to;
    figures.TaskCycles.resize(TaskList.size());
    figures.FunctionCycles.resize(FunctionList.size());
    if (from >= to)
        return figures;
    for (uint32_t task = 0; task < TaskList.size(); ++task)
        figures.TaskCycles[task] = RunCycles(task, from, to);

    // The completed calls that cross an edge of the range, at most two a track.
    struct TEdgeCall {
        uint64_t Enter, End, Exclusive;
        uint32_t Function;
        uint64_t Own;     // run cycles of its task inside the range and the call
        uint64_t Callees; // the same for its callees
    };
    const auto runInside = [&](uint32_t task, uint64_t enter, uint64_t end) {
        return RunCycles(task, std::max(enter, from), std::min(end, to));
    };
    std::vector<std::vector<TEdgeCall>> edges(TrackList.size());
    struct TChunkToRead {
        uint32_t FileChunk;
        uint32_t Track;
        uint32_t Index;
    };
    std::vector<TChunkToRead> toRead;
    for (uint32_t track = 0; track < TrackList.size(); ++track) {
        const TTrackData& data = TrackList[track];
        if (data.Kind != TTrackKind::Calls || data.Levels.empty())
            continue;
        for (uint64_t edge : {from, to}) {
            TRecordId id = CallHolding(track, edge);
            if (id == NoRecord)
                continue;
            TTrackCall call = Call(id);
            if (call.Cut || call.Enter >= edge || call.End <= edge ||
                (!edges[track].empty() && edges[track].back().Enter == call.Enter))
                continue;
            edges[track].push_back({call.Enter, call.End, call.Exclusive, call.Function,
                                    runInside(data.Task, call.Enter, call.End), 0});
        }
        const std::vector<TNode>& chunks = data.Levels[0];
        auto firstChunk =
            std::lower_bound(chunks.begin(), chunks.end(), from,
                             [](const TNode& node, uint64_t value) { return node.Last < value; });
        for (auto chunk = firstChunk; chunk != chunks.end() && chunk->First < to; ++chunk) {
            uint32_t index = uint32_t(chunk - chunks.begin());
            toRead.push_back({FileChunk[data.Chunks[index]], track, index});
        }
    }
    // Every call inside the range, read in the order the chunks lie in the file.
    ForEachChunkInFileOrder(
        toRead, [&](uint32_t first, uint32_t count, char* out) { ReadChunks(first, count, out); },
        [&](const TChunkToRead& wanted, const char* chunk) {
            const TTrackData& data = TrackList[wanted.Track];
            uint64_t base = uint64_t(wanted.Index) * RecordsPerChunk;
            uint64_t count = std::min<uint64_t>(RecordsPerChunk, data.Records - base);
            std::vector<TEdgeCall>* callers =
                data.Depth > 0 ? &edges[TaskList[data.Task].CallTracks[data.Depth - 1]] : nullptr;
            for (uint64_t place = 0; place < count; ++place) {
                TRecord record = RecordIn(chunk, place);
                if (record.Flags & Hidden)
                    continue;
                TTrackCall call = Decode(wanted.Track, base + place, record);
                if (call.Enter >= to || call.End < from)
                    continue;
                if (!call.Cut && call.Enter >= from && call.End <= to)
                    figures.FunctionCycles[call.Function] += call.Exclusive;
                if (callers == nullptr)
                    continue;
                for (TEdgeCall& caller : *callers)
                    if (caller.Enter <= call.Enter && call.End <= caller.End) {
                        caller.Callees += runInside(data.Task, call.Enter, call.End);
                        break;
                    }
            }
        });
    for (const std::vector<TEdgeCall>& trackEdges : edges)
        for (const TEdgeCall& edge : trackEdges)
            figures.FunctionCycles[edge.Function] +=
                std::min(edge.Exclusive, edge.Own - std::min(edge.Own, edge.Callees));
    return figures;
}

std::unique_ptr<TTrackHighlight> TCallTracks::Highlight(const std::vector<bool>& functions) const {
    auto highlight = std::make_unique<TTrackHighlight>();
    highlight->Functions = functions;
    highlight->Nodes.resize(TrackList.size());
    highlight->Parts.resize(TrackList.size());
    for (uint32_t track = 0; track < TrackList.size(); ++track) {
        const TTrackData& data = TrackList[track];
        if (data.Kind != TTrackKind::Calls)
            continue;
        highlight->Nodes[track].resize(data.Levels.size());
        highlight->Parts[track].resize(data.Parts.size());
        for (size_t level = 0; level < data.Levels.size(); ++level)
            highlight->Nodes[track][level].resize(data.Levels[level].size());
    }
    struct TListChunk {
        uint32_t FileChunk;
        uint32_t Count;
    };
    std::vector<TListChunk> toRead;
    for (uint32_t function = 0; function < functions.size() && function < FunctionCallList.size();
         ++function) {
        if (!functions[function])
            continue;
        const TFunctionCalls& calls = FunctionCallList[function];
        for (size_t chunk = 0; chunk < calls.Chunks.size(); ++chunk)
            toRead.push_back(
                {calls.Chunks[chunk],
                 uint32_t(std::min<uint64_t>(SlotsPerChunk, calls.Count - chunk * SlotsPerChunk))});
    }
    ForEachChunkInFileOrder(
        toRead, [&](uint32_t first, uint32_t count, char* out) { ReadChunks(first, count, out); },
        [&](const TListChunk& wanted, const char* ids) {
            for (uint32_t place = 0; place < wanted.Count; ++place) {
                uint32_t id = IdIn(ids, place), number = id / RecordsPerChunk;
                if (number >= TrackOfChunk.size())
                    continue;
                uint32_t track = TrackOfChunk[number], index = IndexInTrack[number];
                highlight->Nodes[track][0][index] = true;
                highlight->Parts[track][size_t(index) * PartsPerChunk +
                                        id % RecordsPerChunk / RecordsPerPart] = true;
            }
        });
    for (std::vector<std::vector<bool>>& levels : highlight->Nodes)
        for (size_t level = 1; level < levels.size(); ++level)
            for (size_t i = 0; i < levels[level].size(); ++i)
                levels[level][i] =
                    levels[level - 1][2 * i] ||
                    (2 * i + 1 < levels[level - 1].size() && levels[level - 1][2 * i + 1]);
    return highlight;
}

} // namespace hookmeter
