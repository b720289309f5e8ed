#include "analysis/CallTracksBuilder.h"

#include <algorithm>
#include <cstring>

namespace hookmeter {

using namespace tracks;

TCallTracksBuilder::TCallTracksBuilder(TEntryTables& tables, uint32_t callStackSize,
                                       const TaskEntry& startTask, uint64_t firstTSC)
    : Tables(tables), CallStackSize(callStackSize), Running(NoTask), RunStart(firstTSC) {
    auto file = std::make_unique<TChunkFile>();
    if (!file->Create())
        return; // Finish tells
    Data = std::make_shared<TCallTracks>(std::move(file), firstTSC, firstTSC);
    Data->FunctionCallList.resize(tables.FunctionCount);
    Lists.resize(tables.FunctionCount);
    Tasks.resize(tables.TaskCount);
    for (TTaskState& task : Tasks)
        task.Slot = NoTask;
    Data->Notes = NewTrack(TTrackKind::Notes, 0, 0);
    Running = TaskSlot(tables.IndexOf(startTask));
}

TCallTracksBuilder::~TCallTracksBuilder() = default;

uint32_t TCallTracksBuilder::NewTrack(TTrackKind kind, uint32_t task, uint32_t depth) {
    TCallTracks::TTrackData& track = Data->TrackList.emplace_back();
    track.Kind = kind;
    track.Task = task;
    track.Depth = depth;
    track.Levels.resize(1);
    Open.emplace_back();
    return uint32_t(Data->TrackList.size() - 1);
}

uint32_t TCallTracksBuilder::TaskSlot(uint32_t tableIndex) {
    uint32_t& slot = Tasks[tableIndex].Slot;
    if (slot != NoTask)
        return slot;
    slot = uint32_t(Data->TaskList.size());
    TCallTracks::TTask& task = Data->TaskList.emplace_back();
    const TaskEntry& entry = Tables.TaskEntries()[tableIndex];
    task.Index = tableIndex;
    task.Name = PrintableName(entry.Name);
    task.Handle = entry.Handle;
    task.RunTrack = NewTrack(TTrackKind::Runs, slot, 0);
    task.ExitTrack = NewTrack(TTrackKind::Exits, slot, 0);
    return slot;
}

uint32_t TCallTracksBuilder::CallTrack(TTaskState& task, size_t depth) {
    while (task.Tracks.size() <= depth) {
        uint32_t track = NewTrack(TTrackKind::Calls, task.Slot, uint32_t(task.Tracks.size()));
        task.Tracks.push_back(track);
        Data->TaskList[task.Slot].CallTracks.push_back(track);
    }
    return task.Tracks[depth];
}

bool TCallTracksBuilder::Written() {
    if (Data->File->Failed())
        Data.reset();
    return Working();
}

TRecordId TCallTracksBuilder::Place(uint32_t track) {
    TOpenTrack& open = Open[track];
    uint32_t place = uint32_t(open.Placed % RecordsPerChunk);
    if (place == 0) {
        if (Data->FileChunk.size() >= MaxChunks)
            return NoRecord;
        TCallTracks::TTrackData& data = Data->TrackList[track];
        open.OpenChunk = uint32_t(Data->FileChunk.size());
        Data->FileChunk.push_back(NoChunk);
        Data->TrackOfChunk.push_back(track);
        Data->IndexInTrack.push_back(uint32_t(data.Chunks.size()));
        data.Chunks.push_back(open.OpenChunk);
        if (data.Kind == TTrackKind::Runs)
            data.RunsBefore.push_back(open.RunCycles);
    }
    ++open.Placed;
    return open.OpenChunk * RecordsPerChunk + place;
}

void TCallTracksBuilder::Append(uint32_t track, TRecordId id, uint64_t start, uint64_t end,
                                TRecord record, bool shown) {
    TOpenTrack& open = Open[track];
    if (!open.Records)
        open.Records.reset(new TRecord[RecordsPerChunk]);
    if (open.Filled == 0)
        open.Base = start;
    uint64_t offset = start - open.Base;
    if (offset >= LongValue) {
        record.Start = LongValue;
        record.Flags |= LongStart;
        Data->LongStarts.emplace_back(id, start);
    } else {
        record.Start = uint32_t(offset);
    }
    if (record.Flags & (LongStart | LongDuration))
        open.Long.push_back({open.Filled, start, end});
    open.Records[open.Filled++] = record;
    if (shown)
        open.LastEnd = end;
    if (open.Filled == RecordsPerChunk)
        CloseChunk(track);
}

void TCallTracksBuilder::CloseChunk(uint32_t track) {
    TOpenTrack& open = Open[track];
    TCallTracks::TTrackData& data = Data->TrackList[track];
    const bool durations = data.Kind == TTrackKind::Calls || data.Kind == TTrackKind::Runs;
    // The node and the parts, from the records.
    TNode node;
    uint64_t nodeSpan = 0;
    struct {
        uint64_t First = 0, Last = 0, Span = 0;
        uint32_t Count = 0;
    } parts[PartsPerChunk];
    size_t longAt = 0;
    for (uint32_t place = 0; place < open.Filled; ++place) {
        const TRecord& record = open.Records[place];
        if (record.Flags & Hidden)
            continue;
        uint64_t start, end;
        if (record.Flags & (LongStart | LongDuration)) {
            while (open.Long[longAt][0] != place)
                ++longAt;
            start = open.Long[longAt][1];
            end = open.Long[longAt][2];
        } else {
            start = open.Base + record.Start;
            end = durations ? start + record.Duration : start;
        }
        uint64_t span = end - start;
        if (node.Count++ == 0)
            node.First = start;
        else
            span = std::max(span, start - node.Last);
        nodeSpan = std::max(nodeSpan, span);
        node.Last = end;
        auto& part = parts[place / RecordsPerPart];
        span = end - start;
        if (part.Count++ == 0)
            part.First = start;
        else
            span = std::max(span, start - part.Last);
        part.Span = std::max(part.Span, span);
        part.Last = end;
    }
    std::fill(open.Records.get() + open.Filled, open.Records.get() + RecordsPerChunk, TRecord{});
    Data->FileChunk[open.OpenChunk] = Data->File->Append(open.Records.get());
    if (node.Count == 0)
        node.First = node.Last = open.LastEnd;
    node.MaxSpan = SpanAbove(nodeSpan);
    data.Levels[0].push_back(node);
    data.Bases.push_back(open.Base);
    bool fits = true;
    for (const auto& part : parts) {
        TPart& made = data.Parts.emplace_back();
        if (part.Count != 0) {
            fits = fits && part.Last - open.Base <= ~uint32_t{0};
            made = {uint32_t(part.First - open.Base), uint32_t(part.Last - open.Base),
                    SpanAbove(part.Span), part.Count};
        }
    }
    if (!fits) // the chunk is read instead
        data.Parts[data.Parts.size() - PartsPerChunk].Count = NoParts;
    open.Filled = 0;
    open.Long.clear();
    Written();
}

void TCallTracksBuilder::AddToList(uint32_t function, TRecordId id, uint64_t enter) {
    TOpenList& list = Lists[function];
    if (list.Filled == 0) {
        if (!list.Ids)
            list.Ids.reset(new uint32_t[SlotsPerChunk]);
        Data->FunctionCallList[function].FirstEnters.push_back(enter);
    }
    list.Ids[list.Filled++] = id;
    if (list.Filled == SlotsPerChunk)
        CloseList(function);
}

void TCallTracksBuilder::CloseList(uint32_t function) {
    TOpenList& list = Lists[function];
    TCallTracks::TFunctionCalls& calls = Data->FunctionCallList[function];
    std::fill(list.Ids.get() + list.Filled, list.Ids.get() + SlotsPerChunk, NoRecord);
    calls.Chunks.push_back(Data->File->Append(list.Ids.get()));
    calls.Count += list.Filled;
    list.Filled = 0;
    Written();
}

void TCallTracksBuilder::FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
    if (!Working())
        return;
    TTaskState& state = Tasks[Tables.IndexOf(task)];
    if (!state.Frames)
        state.Frames.reset(new TFrame[CallStackSize]);
    size_t depth = stack.size() - 1;
    TFrame& frame = state.Frames[depth];
    frame.Id = NoRecord;
    const CallFrame& call = stack.back();
    const FunctionEntry* function = Tables.FindFunction(call.Address);
    if (function == nullptr)
        return; // no call-list line will name it either
    if (state.Slot == NoTask)
        TaskSlot(Tables.IndexOf(task));
    uint32_t track = CallTrack(state, depth);
    // Before the end of the call that came before it at this depth: the records' time ran
    // backwards.
    TRecordId id = call.EnterTSC >= Open[track].LastEnd ? Place(track) : NoRecord;
    if (id == NoRecord) {
        ++Data->HiddenCount;
        return;
    }
    frame.Id = id;
    frame.Function = uint16_t(Tables.IndexOf(*function));
    frame.Track = track;
    AddToList(frame.Function, id, call.EnterTSC);
}

void TCallTracksBuilder::EndCall(const TFrame& frame, uint64_t enter, uint64_t end,
                                 uint64_t exclusive, bool cut) {
    TRecord record{};
    record.Function = frame.Function;
    if (end < enter) {
        record.Flags = Hidden;
        ++Data->HiddenCount;
        uint64_t at = Open[frame.Track].LastEnd;
        Append(frame.Track, frame.Id, at, at, record, false);
        return;
    }
    uint64_t duration = end - enter;
    if (duration >= LongValue) {
        record.Duration = LongValue;
        record.Flags |= LongDuration;
        Data->LongDurations.emplace_back(frame.Id, duration);
    } else {
        record.Duration = uint32_t(duration);
    }
    if (cut) {
        record.Flags |= Cut;
    } else if (exclusive >= LongValue) {
        record.Exclusive = LongValue;
        record.Flags |= LongExclusive;
        Data->LongExclusives.emplace_back(frame.Id, exclusive);
    } else {
        record.Exclusive = uint32_t(exclusive);
    }
    ++Data->CallCount;
    Append(frame.Track, frame.Id, enter, end, record, true);
}

void TCallTracksBuilder::CallCompleted(const TaskEntry& task, const FunctionEntry&,
                                       std::span<const CallFrame> stack, uint64_t,
                                       uint64_t exclusive) {
    if (!Working())
        return;
    TFrame& frame = Tasks[Tables.IndexOf(task)].Frames[stack.size() - 1];
    if (frame.Id == NoRecord)
        return;
    EndCall(frame, stack.back().EnterTSC, stack.back().ExitTSC, exclusive, false);
    frame.Id = NoRecord;
}

void TCallTracksBuilder::CallsCut(const TaskEntry& task, std::span<const CallFrame> stack,
                                  uint64_t cutTSC) {
    if (!Working())
        return;
    TFrame* frames = Tasks[Tables.IndexOf(task)].Frames.get();
    for (size_t depth = 0; depth < stack.size() && Working(); ++depth) {
        if (frames[depth].Id == NoRecord)
            continue;
        EndCall(frames[depth], stack[depth].EnterTSC, cutTSC, 0, true);
        frames[depth].Id = NoRecord;
    }
}

void TCallTracksBuilder::AddMarker(uint32_t track, uint64_t at, uint32_t durationField,
                                   uint32_t exclusiveField, uint16_t function) {
    at = std::max(at, Open[track].LastEnd);
    TRecordId id = Place(track);
    if (id == NoRecord)
        return;
    TRecord record{};
    record.Duration = durationField;
    record.Exclusive = exclusiveField;
    record.Function = function;
    Append(track, id, at, at, record, true);
}

void TCallTracksBuilder::ExitWithoutEnter(const TaskEntry& task, const FunctionEntry& function,
                                          uint64_t exitTSC) {
    if (!Working())
        return;
    uint32_t track = Data->TaskList[TaskSlot(Tables.IndexOf(task))].ExitTrack;
    AddMarker(track, exitTSC, 0, 0, uint16_t(Tables.IndexOf(function)));
}

void TCallTracksBuilder::EndRun(uint64_t tsc) {
    if (Running == NoTask)
        return;
    uint32_t track = Data->TaskList[Running].RunTrack;
    Running = NoTask;
    TOpenTrack& open = Open[track];
    uint64_t start = std::max(RunStart, open.LastEnd);
    if (tsc <= start)
        return;
    TRecordId id = Place(track);
    if (id == NoRecord)
        return;
    TRecord record{};
    uint64_t duration = tsc - start;
    if (duration >= LongValue) {
        record.Duration = LongValue;
        record.Flags = LongDuration;
        Data->LongDurations.emplace_back(id, duration);
    } else {
        record.Duration = uint32_t(duration);
    }
    open.RunCycles += duration;
    Append(track, id, start, tsc, record, true);
}

void TCallTracksBuilder::TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
    if (!Working())
        return;
    uint32_t slot = TaskSlot(Tables.IndexOf(task));
    EndRun(enterTSC);
    Running = slot;
    RunStart = enterTSC;
}

void TCallTracksBuilder::TaskExited(const TaskEntry& task, uint64_t exitTSC) {
    if (Working() && Running != NoTask && Tasks[Tables.IndexOf(task)].Slot == Running)
        EndRun(exitTSC);
}

void TCallTracksBuilder::WriteText(std::string_view text) {
    OpenText.insert(OpenText.end(), text.begin(), text.end());
    TextBytes += text.size();
    size_t written = 0;
    for (; OpenText.size() - written >= TChunkFile::ChunkBytes && Working();
         written += TChunkFile::ChunkBytes) {
        Data->TextChunks.push_back(Data->File->Append(OpenText.data() + written));
        Written();
    }
    OpenText.erase(OpenText.begin(), OpenText.begin() + ptrdiff_t(written));
}

void TCallTracksBuilder::InconsistencyNoted(uint64_t tsc, std::string_view line) {
    if (!Working())
        return;
    line = line.substr(0, 0xFFFF);
    uint64_t offset = TextBytes;
    WriteText(line);
    if (Working())
        AddMarker(Data->Notes, tsc, uint32_t(offset), uint32_t(offset >> 32),
                  uint16_t(line.size()));
}

std::shared_ptr<TCallTracks> TCallTracksBuilder::Finish(uint64_t lastTSC) {
    if (!Working())
        return nullptr;
    EndRun(lastTSC);
    for (uint32_t track = 0; track < Open.size() && Working(); ++track)
        if (Open[track].Filled != 0)
            CloseChunk(track);
    for (uint32_t function = 0; function < Lists.size() && Working(); ++function)
        if (Lists[function].Filled != 0)
            CloseList(function);
    if (Working() && !OpenText.empty()) {
        OpenText.resize(TChunkFile::ChunkBytes, '\0');
        Data->TextChunks.push_back(Data->File->Append(OpenText.data()));
    }
    if (!Working() || !Data->File->Finish())
        return nullptr;
    std::shared_ptr<TCallTracks> data = std::move(Data);
    data->Last = lastTSC;
    for (uint32_t track = 0; track < Open.size(); ++track) {
        TCallTracks::TTrackData& built = data->TrackList[track];
        built.Records = Open[track].Placed;
        std::vector<std::vector<TNode>>& levels = built.Levels;
        if (levels[0].empty()) {
            levels.clear();
            continue;
        }
        while (levels.back().size() > 1) {
            const std::vector<TNode>& below = levels.back();
            std::vector<TNode> above((below.size() + 1) / 2);
            for (size_t i = 0; i < above.size(); ++i)
                above[i] = 2 * i + 1 < below.size() ? Combine(below[2 * i], below[2 * i + 1])
                                                    : below[2 * i];
            levels.push_back(std::move(above));
        }
    }
    for (auto* values : {&data->LongStarts, &data->LongDurations, &data->LongExclusives})
        std::sort(values->begin(), values->end());
    std::span<FunctionEntry> functions = Tables.FunctionEntries();
    data->FunctionList.resize(functions.size());
    for (size_t i = 0; i < functions.size(); ++i) {
        data->FunctionList[i].Address = functions[i].Address;
        data->FunctionList[i].Name = PrintableName(functions[i].Name);
    }
    data->FileChunk.shrink_to_fit();
    data->TrackOfChunk.shrink_to_fit();
    data->IndexInTrack.shrink_to_fit();
    Open.clear();
    Lists.clear();
    Tasks.clear();
    return data;
}

} // namespace hookmeter
