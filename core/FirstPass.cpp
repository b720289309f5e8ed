#include "core/FirstPass.h"

namespace hookmeter {
namespace {

constexpr uint32_t ProgressStride = 0x80000; // read attempts between progress lines

} // namespace

TFirstPassResult ScanRecords(TRawFile& file, TEntryTables& tables, TStatusReporter& status) {
    TFirstPassResult result;
    ContinueScan(file, tables, status, result);
    return result;
}

void ContinueScan(TRawFile& file, TEntryTables& tables, TStatusReporter& status,
                  TFirstPassResult& counts) {
    TFirstPassResult result = counts; // a local copy keeps the counters in registers
    struct TWriteBack {
        TFirstPassResult& To;
        const TFirstPassResult& From;
        ~TWriteBack() { To = From; }
    } writeBack{counts, result};
    uint32_t attempts = result.ReadAttempts;
    for (;;) {
        ++attempts;
        if (attempts % ProgressStride == 0) {
            // The attempts count more than either record count: once it wraps to 0, no figure
            // of the status lines can be trusted any more.
            if (attempts == 0) {
                result.ReadAttempts = attempts - 1;
                result.End = FirstPassEnd::TooManyRecords;
                return;
            }
            status.FormatStatusLine("Read %u records. Find %u functions, %u task...", attempts,
                                    tables.FunctionCount, tables.TaskCount);
        }
        RawRecord record;
        ReadResult read = file.ReadRecord(record);
        if (read == ReadResult::EndOfFile)
            break;
        if (read == ReadResult::Invalid) {
            ++result.InvalidRecords;
            continue;
        }
        ++result.ValidRecords;
        if (record.TSC < result.FirstTSC)
            result.FirstTSC = record.TSC;
        uint32_t key = KeyOf(record.Address);
        RecordKind kind = KindOf(record.Address);
        if (kind == FunctionEnter || kind == FunctionExit) {
            tables.FunctionCount = tables.FunctionList.Add(key);
            if (tables.FunctionCount >= MaxFunctions) {
                status.FormatStatusLine("Too many functions! Function number >=%d.",
                                        int(MaxFunctions));
                result.ReadAttempts = attempts;
                result.End = FirstPassEnd::TableFull;
                return;
            }
        } else {
            tables.TaskCount = tables.TaskList.Add(key);
            if (tables.TaskCount >= MaxTasks) {
                status.FormatStatusLine("Too many tasks! Task number >=%d.", int(MaxTasks));
                result.ReadAttempts = attempts;
                result.End = FirstPassEnd::TableFull;
                return;
            }
            if (record.TSC < result.FirstTaskRecord.TSC)
                result.FirstTaskRecord = record;
        }
    }
    result.ReadAttempts = attempts;
    if (file.Problem() != RawFileProblem::None) {
        result.End = FirstPassEnd::FileProblem;
        return;
    }
    result.End = FirstPassEnd::EndOfFile;
    status.FormatStatusLine("Read %u valid records, %u invalid records. Find %u functions, %u "
                            "tasks.",
                            result.ValidRecords, result.InvalidRecords, tables.FunctionCount,
                            tables.TaskCount);
}

} // namespace hookmeter
