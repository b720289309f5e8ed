// Writes the binary raw traces of the end-to-end cases, and the expected reports of the cases
// whose traces are too large to check in. Every expected line below follows from how the trace
// is built; the comments of each generator give the reasoning.
//
//   hookmeter-e2e-gen words WORDS_FILE OUT_BIN
//       One record per line: ADDRESS TSC_LOW TSC_HIGH [RESERVED] (numbers as in C: 0x.. or
//       decimal); "bytes B1 B2 ..." appends loose bytes; '#' starts a comment.
//   hookmeter-e2e-gen too-many-functions DIR
//   hookmeter-e2e-gen too-many-tasks DIR
//   hookmeter-e2e-gen progress DIR COUNT EARLIEST_INDEX
//   hookmeter-e2e-gen text IN_BIN OUT_TXT
//       The same read attempts in the text form: a header line, three lines per whole record
//       (Reserved is not part of the text form), and one line that holds no number for a partial
//       record at the end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t FunctionEnter = 0;
constexpr uint32_t FunctionExit = 1;
constexpr uint32_t TaskEnter = 2;
constexpr uint32_t TaskExit = 3;

const char* const CallListHeader =
    "Address ,EnterTSC       ,ExitTSC        ,InclusiveCycles,ExclusiveCycles,FunctionName\n";
const char* const FunctionHeader =
    "Address ,ExecuteTimes,MinIncluCycle,MaxIncluCycle,AverageIncluCycle,MinExcluCycle,"
    "MaxExcluCycle,AverageExcluCycle,Percentage,Name\n";
const char* const TaskHeader = "Address   ,EnterTimes,             ,             ,SubTotalCycles   "
                               ",MinimumCycles,MaximumCycles,AverageCycles    ,Percentage,Name\n";

class TBinaryTrace {
public:
    void Add(uint32_t address, uint64_t tsc, uint32_t reserved = 0) {
        PutWord(address);
        PutWord(reserved);
        PutWord(static_cast<uint32_t>(tsc));
        PutWord(static_cast<uint32_t>(tsc >> 32));
    }
    void AddByte(uint8_t byte) { Bytes.push_back(static_cast<char>(byte)); }
    void Save(const std::string& path) const { WriteFile(path, Bytes); }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::cerr << "cannot write " << path << "\n";
            std::exit(1);
        }
    }

private:
    void PutWord(uint32_t word) {
        for (int shift = 0; shift < 32; shift += 8)
            AddByte(static_cast<uint8_t>(word >> shift));
    }
    std::string Bytes;
};

// printf into a growing text.
template <typename... Values> void Append(std::string& text, const char* format, Values... values) {
    char line[512];
    int length = std::snprintf(line, sizeof line, format, values...);
    text.append(line, static_cast<size_t>(length));
}

std::string ZeroFunctionRow(uint32_t address, uint32_t ordinal) {
    std::string row;
    Append(row, "%08x,%12u,%13llu,%13llu,%13llu,    %13llu,%13llu,%13llu,    %.8f,?function #%u\n",
           address, 0u, 0ull, 0ull, 0ull, 0ull, 0ull, 0ull, 0.0, ordinal);
    return row;
}

uint64_t ParseNumber(const std::string& word) {
    return std::strtoull(word.c_str(), nullptr, 0);
}

int Words(const std::string& inPath, const std::string& outPath) {
    std::ifstream in(inPath);
    if (!in) {
        std::cerr << "cannot read " << inPath << "\n";
        return 1;
    }
    TBinaryTrace trace;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;)
            words.push_back(word);
        if (words.empty())
            continue;
        if (words[0] == "bytes") {
            for (size_t i = 1; i < words.size(); ++i)
                trace.AddByte(static_cast<uint8_t>(ParseNumber(words[i])));
            continue;
        }
        if (words.size() < 3 || words.size() > 4) {
            std::cerr << "bad record line: " << line << "\n";
            return 1;
        }
        uint64_t tsc = (ParseNumber(words[2]) << 32) | (ParseNumber(words[1]) & 0xFFFFFFFFu);
        uint32_t reserved = words.size() == 4 ? static_cast<uint32_t>(ParseNumber(words[3])) : 0;
        trace.Add(static_cast<uint32_t>(ParseNumber(words[0])), tsc, reserved);
    }
    trace.Save(outPath);
    return 0;
}

// 65,536 distinct function enters fill the function table; the last of them, S, carries the
// smallest TSC (1000), so the replay starts at S and goes on into records that the first pass
// never read. Function i has address 0x00100000 + 4i and, without symbols, the name
// "?function #i". No call completes, so every row of the summary is zero and the exchange sort
// keeps ascending address order.
int TooManyFunctions(const std::string& dir) {
    constexpr uint32_t FunctionCount = 65536;
    constexpr uint32_t Unknown = 0x00F00000; // never in the table
    TBinaryTrace trace;
    for (uint32_t i = 0; i + 1 < FunctionCount; ++i)
        trace.Add((0x00100000 + 4 * i) | FunctionEnter, 2000 + i, i);
    trace.Add((0x00100000 + 4 * (FunctionCount - 1)) | FunctionEnter, 1000); // S
    trace.Add(Unknown | FunctionExit, 1001);                                 // ignored
    trace.Add(Unknown | FunctionEnter, 1002);                                // pushed, nameless
    trace.Add((0x00100000 + 4 * (FunctionCount - 1)) | FunctionExit, 1003);  // not the top frame
    trace.Add(0x00007000 | TaskEnter, 1004);                                 // ignored
    trace.Add(0x00007000 | TaskExit, 1005);                                  // ignored
    trace.Add((Unknown + 4) | FunctionEnter, 900);                           // backwards, dropped
    trace.Save(dir + "/trace.bin");

    std::string profile;
    // The replay stops at the 64th enter after the wrap (stack size 64): the last accepted
    // record is function 62 at TSC 2062.
    Append(profile, "LastTSC=,%llu,FirstTSC=,%llu,TotalCycles=,%llu,\n", 2062ull, 1000ull, 1062ull);
    Append(profile, "Functions,,ValidCycles=,%llu,Valid/Total=,%u%%\n", 0ull, 0u);
    profile += FunctionHeader;
    for (uint32_t i = 0; i < FunctionCount; ++i)
        profile += ZeroFunctionRow(0x00100000 + 4 * i, i);
    TBinaryTrace::WriteFile(dir + "/expected_profile.csv", profile);
    return 0;
}

// 64 function enters (address 0x8000 + 4i, TSC 10 + i), then task enters for the handles
// 16k, k = 1..1023, with falling TSCs 10000 - k. Handle 0 is in the table from the start, so the
// enter of handle 16 * 1023 fills the task table and is not a candidate for the first task
// record: the start task is handle 16 * 1022 (entry 1022). The stack of size 64 overflows at
// the 64th enter, so no task record is replayed.
int TooManyTasks(const std::string& dir) {
    constexpr uint32_t Handles = 1023;
    constexpr uint32_t StartEntry = 1022;
    TBinaryTrace trace;
    for (uint32_t i = 0; i < 64; ++i)
        trace.Add((0x8000 + 4 * i) | FunctionEnter, 10 + i);
    for (uint32_t k = 1; k <= Handles; ++k)
        trace.Add((16 * k) | TaskEnter, 10000 - k);
    trace.Add(0x5000 | TaskEnter, 5);     // after the full table: never read
    trace.Add(0x9000 | FunctionEnter, 4); // the same
    trace.Save(dir + "/trace.bin");

    std::string status = "Start profile data processing...\n"
                         "Too many tasks! Task number >=1024.\n"
                         "Get 0 function names, 0 task names from .out file.\n"
                         "Too deep function call stack! If this is expected, you may need enlarge "
                         "the function call stack size.\n"
                         "Process 64 of 1087 records.\n"
                         "63 function enter without exit record!\n"
                         "Task main (0x00000000) maximum call stack depth= 0.\n";
    for (uint32_t k = 1; k <= Handles; ++k)
        Append(status, "Task ?task #%u (0x%08x) maximum call stack depth= %d.\n", k, 16 * k,
               k == StartEntry ? 63 : 0);
    status += "Profile data processing complete.\n";
    TBinaryTrace::WriteFile(dir + "/expected_status.txt", status);

    std::string profile;
    Append(profile, "LastTSC=,%llu,FirstTSC=,%llu,TotalCycles=,%llu,\n", 72ull, 10ull, 62ull);
    Append(profile, "Functions,,ValidCycles=,%llu,Valid/Total=,%u%%\n", 0ull, 0u);
    profile += FunctionHeader;
    for (uint32_t i = 0; i < 64; ++i)
        profile += ZeroFunctionRow(0x8000 + 4 * i, i);
    // The overflow flush credits the start task 72 - 10 = 62 cycles; it is the only task with
    // cycles. The exchange sort swaps it with entry 0 (main) and then changes nothing, giving
    // 1022, 1, 2, ..., 1021, 0, 1023.
    Append(profile, "\nTasks,,ValidCycles=,%llu,Valid/Total=,%u%%\n", 62ull, 100u);
    profile += TaskHeader;
    const char* const taskRow = "%08x,%12u,             ,             ,%17llu,%13llu,%13llu,%13llu,"
                                "    %.8f,%s\n";
    Append(profile, taskRow, 16 * StartEntry, 1u, 62ull, 62ull, 62ull, 62ull, 1.0, "?task #1022");
    std::vector<uint32_t> order;
    for (uint32_t k = 1; k < StartEntry; ++k)
        order.push_back(k);
    order.push_back(0);
    order.push_back(Handles);
    for (uint32_t k : order) {
        std::string name = k == 0 ? "main" : "?task #" + std::to_string(k);
        Append(profile, taskRow, 16 * k, 0u, 0ull, 0ull, 0ull, 0ull, 0.0, name.c_str());
    }
    TBinaryTrace::WriteFile(dir + "/expected_profile.csv", profile);
    return 0;
}

// COUNT records of one function 0x8000 that is entered and left in turn, one cycle apart: in
// time order record j is an enter for even j and an exit for odd j, with TSC 1000 + j. The file
// is rotated so that the earliest record (j = 0) sits at EARLIEST_INDEX. Every pair gives one
// completed call of 1 inclusive and 1 exclusive cycle; an odd COUNT leaves the last enter open.
int Progress(const std::string& dir, uint32_t count, uint32_t earliestIndex) {
    TBinaryTrace trace;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t j = (i + count - earliestIndex) % count;
        trace.Add(0x8000 | (j & 1), 1000 + j, j);
    }
    trace.Save(dir + "/trace.bin");

    std::string callList = CallListHeader;
    for (uint32_t j = 0; j + 1 < count; j += 2)
        Append(callList, "%08x,%15llu,%15llu,%15llu,%15llu,?function #0\n", 0x8000u, 1000ull + j,
               1001ull + j, 1ull, 1ull);
    if (count % 2)
        Append(callList, "%08x,%15llu,%15llu,%15llu,%15llu,?function #0 (enter without exit)\n",
               0x8000u, 1000ull + count - 1, 0ull, 0ull, 0ull);
    TBinaryTrace::WriteFile(dir + "/expected_call_list.csv", callList);
    return 0;
}

int Text(const std::string& inPath, const std::string& outPath) {
    std::ifstream in(inPath, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << inPath << "\n";
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto word = [&](size_t at) {
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
        return value;
    };
    std::string text = "the records of " + inPath.substr(inPath.find_last_of('/') + 1) + "\n";
    size_t at = 0;
    for (; at + 16 <= bytes.size(); at += 16)
        Append(text, "0x%x\n0x%x\n0x%x\n", word(at), word(at + 8), word(at + 12));
    if (at < bytes.size())
        text += "a partial record\n";
    TBinaryTrace::WriteFile(outPath, text);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "words")
        return Words(args[1], args[2]);
    if (args.size() == 2 && args[0] == "too-many-functions")
        return TooManyFunctions(args[1]);
    if (args.size() == 2 && args[0] == "too-many-tasks")
        return TooManyTasks(args[1]);
    if (args.size() == 4 && args[0] == "progress")
        return Progress(args[1], static_cast<uint32_t>(std::stoul(args[2])),
                        static_cast<uint32_t>(std::stoul(args[3])));
    if (args.size() == 3 && args[0] == "text")
        return Text(args[1], args[2]);
    std::cerr << "usage: hookmeter-e2e-gen words WORDS_FILE OUT_BIN | too-many-functions DIR | "
                 "too-many-tasks DIR | progress DIR COUNT EARLIEST_INDEX | text IN_BIN OUT_TXT\n";
    return 2;
}
