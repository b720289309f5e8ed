// libFuzzer target for a whole job through TProfile. The input is split into the job's options,
// a raw file and optionally an executable:
//
//   byte 0    bit 0: binary form; bit 1: an executable follows; bit 2: all symbols, not only the
//             global ones; bit 3: the optional outputs too; bit 4: keep the results in memory;
//             bit 5: real times in the timeline (a clock of 1 GHz)
//             bit 6: the timeline as a Perfetto trace instead of JSON
//   byte 1    call-stack size - 1
//   then      the raw file, up to the first ExecutableMarker when bit 1 is set; the executable
//             after it
//
// Whatever the input, the job must end with its final line, "Process N of M records." must never
// count more records processed than there are, and a call list, when there is one, must start
// with its header and hold lines of the fixed column layout only.
#include "analysis/CallTracks.h"
#include "job/Profile.h"
#include "symbols/SymbolList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view ExecutableMarker = "\n--exe--\n";
constexpr std::string_view FinalLine = "Profile data processing complete.";
constexpr std::string_view CallListHeader =
    "Address ,EnterTSC       ,ExitTSC        ,InclusiveCycles,ExclusiveCycles,FunctionName\n";

// Aborts with the line of the failed check.
#define Require(condition) Check(condition, __LINE__)
void Check(bool condition, int line) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d of %s\n", line, __FILE__);
        std::abort();
    }
}

// One folder per process for the inputs and the outputs, removed at exit.
const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path path =
            fs::temp_directory_path() / ("hookmeter-job-fuzz-" + std::to_string(getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(WorkDir(), ignored);
        });
        return path;
    }();
    return dir;
}

std::string PathOf(const char* name) {
    return (WorkDir() / name).string();
}

void WriteFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    Require(bool(out));
}

class TLines : public hookmeter::TJobListener {
public:
    void Append(std::string_view line) override { Lines.emplace_back(line); }
    std::vector<std::string> Lines;
};

// "Process N of M records." or the progress form "Process N of M records...".
void CheckProcessLine(const std::string& line) {
    unsigned long long processed = 0, total = 0;
    int end = 0;
    if (std::sscanf(line.c_str(), "Process %llu of %llu records%n", &processed, &total, &end) ==
            2 &&
        end > 0)
        Require(processed <= total);
}

bool IsDecimalField(std::string_view field) {
    // Right-aligned in 15 characters; a wider number is printed whole, without padding.
    if (field.size() < 15)
        return false;
    size_t digits = field.find_first_not_of(' ');
    if (digits == std::string_view::npos || digits == field.size())
        return false;
    for (size_t i = digits; i < field.size(); ++i)
        if (field[i] < '0' || field[i] > '9')
            return false;
    return field.size() == 15 || digits == 0;
}

bool IsCallListLine(std::string_view line) {
    if (line.size() < 9 || line[8] != ',')
        return false;
    for (size_t i = 0; i < 8; ++i)
        if (!((line[i] >= '0' && line[i] <= '9') || (line[i] >= 'a' && line[i] <= 'f')))
            return false;
    size_t at = 9;
    for (int field = 0; field < 4; ++field) {
        size_t comma = line.find(',', at);
        if (comma == std::string_view::npos || !IsDecimalField(line.substr(at, comma - at)))
            return false;
        at = comma + 1;
    }
    return true; // the name follows, as it is
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CheckCallList(const std::string& path, bool namesMayBreakLines) {
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return; // not written
    const std::string text = ReadWhole(path);
    Require(std::string_view(text).substr(0, CallListHeader.size()) == CallListHeader);
    if (namesMayBreakLines)
        return;
    std::string_view rest = std::string_view(text).substr(CallListHeader.size());
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        Require(IsCallListLine(rest.substr(0, end)));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
}

// Names are printed as they are: a symbol name holding a line feed spreads over two lines.
bool SymbolNamesHoldLineFeeds(std::span<const uint8_t> executable, bool globalOnly) {
    const hookmeter::TSymbolList symbols(executable, globalOnly);
    for (const hookmeter::SymbolEntry& entry : symbols.Entries())
        if (std::memchr(entry.Name.get(), '\n', size_t(entry.Length)) != nullptr)
            return true;
    return false;
}

} // namespace

// Every question the window asks of the timeline's data, over the whole trace.
void AskTheTimeline(const hookmeter::TCallTracks& tracks) {
    uint64_t from = tracks.FirstTSC(), to = tracks.LastTSC() + 1;
    std::vector<hookmeter::TTrackBox> boxes;
    std::vector<bool> all(tracks.Functions().size(), true);
    auto highlight = tracks.Highlight(all);
    for (uint32_t track = 0; track < tracks.TrackCount(); ++track)
        for (uint64_t merge : {uint64_t(1), (to - from) / 1000 + 1}) {
            boxes.clear();
            tracks.Boxes(track, from, to, merge, boxes, highlight.get());
            for (const hookmeter::TTrackBox& box : boxes) {
                Require(box.Start <= box.End && box.Count > 0);
                if (box.Count == 1 && box.Call.Id != hookmeter::NoRecord &&
                    tracks.Track(track).Kind == hookmeter::TTrackKind::Calls) {
                    tracks.PathOf(box.Call.Id);
                    tracks.NextCall(box.Call.Id, true);
                    tracks.NextCall(box.Call.Id, false);
                }
            }
        }
    tracks.Figures(from, to);
    tracks.Figures(from + (to - from) / 3, from + (to - from) / 2);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const bool binary = flags & 1;
    const bool hasExecutable = flags & 2;
    const bool globalOnly = !(flags & 4);
    const bool optionalOutputs = flags & 8;
    const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::string_view raw = input;
    std::string_view executable;
    if (hasExecutable) {
        const size_t marker = input.find(ExecutableMarker);
        if (marker != std::string_view::npos) {
            raw = input.substr(0, marker);
            executable = input.substr(marker + ExecutableMarker.size());
        }
    }

    const std::string rawPath = PathOf("raw");
    const std::string exePath = PathOf("program.out");
    WriteFile(rawPath, raw);
    if (hasExecutable)
        WriteFile(exePath, executable);
    const char* timeline = (flags & 64) ? "timeline.pftrace" : "timeline.json";
    const char* outputs[] = {"calls.csv", "profile.csv", timeline, "folded.txt", "stats.csv"};
    for (const char* output : outputs)
        std::remove(PathOf(output).c_str());

    TLines lines;
    {
        hookmeter::TJobParameters job;
        job.RawDataFileName = rawPath;
        job.RawDataFileType = binary ? hookmeter::RawForm::Binary : hookmeter::RawForm::Text;
        job.DSPOutFileName = hasExecutable ? exePath : std::string();
        job.ParseGlobalSymbolOnly = globalOnly;
        job.CallListFileName = PathOf("calls.csv");
        job.ProfileFileName = PathOf("profile.csv");
        job.CallStackSize = uint32_t(data[1]) + 1;
        if (optionalOutputs) {
            job.TimelineFileName = PathOf(timeline);
            job.FoldedFileName = PathOf("folded.txt");
            job.StatsFileName = PathOf("stats.csv");
            job.ClockHz = (flags & 32) ? 1e9 : 0;
        }
        job.CollectResults = flags & 16;
        job.CollectTimeline = flags & 64;
        hookmeter::TProfile profile(std::move(job), &lines);
        profile.Start();
        profile.WaitFor();
        if (auto results = profile.Results(); results && results->Tracks)
            AskTheTimeline(*results->Tracks);
    }

    Require(!lines.Lines.empty() && lines.Lines.back() == FinalLine);
    for (const std::string& line : lines.Lines)
        CheckProcessLine(line);
    const std::span<const uint8_t> image(reinterpret_cast<const uint8_t*>(executable.data()),
                                         executable.size());
    CheckCallList(PathOf("calls.csv"),
                  hasExecutable && SymbolNamesHoldLineFeeds(image, globalOnly));
    return 0;
}
