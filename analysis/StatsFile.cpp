#include "analysis/StatsFile.h"

#include "base/NumberFormat.h"
#include "base/TextEscape.h"

#include <string>
#include <string_view>

namespace hookmeter {
namespace {

constexpr char Header[] = "Kind,Address,Name,Calls,InclMin,InclP50,InclP90,InclP99,InclMax,"
                          "InclMean,ExclMin,ExclP50,ExclP90,ExclP99,ExclMax,ExclMean,"
                          "WorstEnterTSC,WorstTask,WorstPath\r\n";

void WriteField(TOutputFile& file, std::string_view text) {
    std::string field = ",";
    AppendCsvField(field, text);
    file.Write(field);
}

void WriteNumber(TOutputFile& file, uint64_t value) {
    char* out = file.Reserve(1 + MaxDecimalDigits);
    *out++ = ',';
    file.Commit(FormatUnsigned(out, value, 0));
}

void WriteHead(TOutputFile& file, std::string_view kind, uint32_t address) {
    char* out = file.Reserve(32);
    for (char c : kind)
        *out++ = c;
    *out++ = ',';
    *out++ = '0';
    *out++ = 'x';
    file.Commit(FormatHex8(out, address));
}

void WriteDistribution(TOutputFile& file, const TDistribution& d) {
    for (uint64_t value : {d.Min, d.P50, d.P90, d.P99, d.Max, d.Mean})
        WriteNumber(file, value);
}

} // namespace

void WriteStatsFile(TOutputFile& file, const TJobResults& results) {
    file.Write(Header);
    for (const TFunctionResult& function : results.Functions) {
        WriteHead(file, "function", function.Address);
        WriteField(file, function.Name);
        WriteNumber(file, function.Calls);
        WriteDistribution(file, function.Inclusive);
        WriteDistribution(file, function.Exclusive);
        WriteNumber(file, function.WorstEnterTSC);
        WriteField(file, function.WorstTask);
        WriteField(file, function.WorstPath.empty()
                             ? CallPath(results.CallTree, function.WorstNode, function.Name)
                             : function.WorstPath);
        file.Write("\r\n");
    }
    for (const TTaskResult& task : results.Tasks) {
        WriteHead(file, "task", task.Handle);
        WriteField(file, task.Name);
        WriteNumber(file, task.SwitchIns);
        WriteDistribution(file, task.Slices);
        file.Write(",,,,,,"); // no exclusive cycles for a task
        if (task.SlicesCounted > 0)
            WriteNumber(file, task.LongestSliceTSC);
        else
            file.Write(",");
        WriteField(file, task.Name);
        file.Write(",\r\n"); // a slice has no call path
    }
}

} // namespace hookmeter
