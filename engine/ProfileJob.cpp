#include "engine/ProfileJob.h"

#include "engine/CallList.h"
#include "engine/FirstPass.h"
#include "engine/JobOutputs.h"
#include "engine/Profile.h"
#include "engine/Replay.h"
#include "engine/Summary.h"

#include <filesystem>
#include <system_error>

namespace hookmeter {
namespace {

constexpr uint32_t SearchNoticeAt = 0x7FFFF;       // valid records passed before the search says so
constexpr uint32_t ReplayProgressStride = 0x40000; // records between replay progress lines

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error);
}

// Closes the files of a pipeline that ends early or by an exception.
struct TCloseOnExit {
    TRawFile& Raw;
    TOutputFile& CallList;
    TOutputFile& Profile;
    ~TCloseOnExit() {
        Raw.Close();
        CallList.Close();
        Profile.Close();
    }
};

} // namespace

void TProfileJob::Run(const TProfile& parameters, TStatusReporter& status) {
    TCloseOnExit closeOnExit{RawFile, CallListFile, ProfileFile};
    if (!RawFile.Open(parameters.RawDataFileName, parameters.RawDataFileType)) {
        status.AddStatusLine("!!!Can not open raw data file!!!");
        return;
    }
    TFirstPassResult firstPass = ScanRecords(RawFile, Tables, status);
    ValidRecords = firstPass.ValidRecords;
    FirstTSC = firstPass.FirstTSC;
    FirstTaskRecord = firstPass.FirstTaskRecord;

    // A stack needs a frame for the call being entered, even when it then overflows.
    uint32_t callStackSize = parameters.CallStackSize > 0 ? parameters.CallStackSize : 1;
    Tables.BuildFunctionEntries();
    Tables.BuildTaskEntries(callStackSize);
    TaskEntry& startTask = ChooseStartTask();
    startTask.EnterTSC = FirstTSC;
    startTask.EnterTimes = 1;

    AssignNames(parameters.DSPOutFileName, parameters.ParseGlobalSymbolOnly,
                Tables.FunctionEntries(), Tables.TaskEntries(), Names);
    status.FormatStatusLine("Get %u function names, %u task names from .out file.",
                            Names.FunctionNamesFound, Names.TaskNamesFound);

    if (!OpenReport(CallListFile, parameters.CallListFileName, parameters)) {
        status.AddStatusLine("!!!Can not open file to list all function/task calls!!!");
        return; // the raw file is closed on the way out
    }
    TCallListWriter callList(CallListFile, Tables);
    callList.WriteHeader();
    TJobOutputs outputs(parameters, Tables, callStackSize,
                        [&](TOutputFile& file, const std::string& fileName) {
                            return OpenReport(file, fileName, parameters);
                        });
    TReplay replay(Tables, callStackSize, outputs.Start(callList, status, startTask, FirstTSC),
                   status, startTask, FirstTSC);
    uint32_t processed = ReplayRecords(replay, status);
    for (TaskEntry& task : Tables.TaskEntries())
        replay.FlushCallStack(task, replay.LastTSC);
    LastTSC = replay.LastTSC;
    status.FormatStatusLine("Process %u of %u records.", processed, ValidRecords);
    RawFile.Close();
    bool callListWritten = CallListFile.Close();
    if (!callListWritten)
        status.AddStatusLine("!!!Can not write file to list all function/task calls, the call "
                             "list is incomplete!!!");
    ReportEndOfRun(replay, status);
    Results = outputs.Finish(status, FirstTSC, LastTSC);
    if (Results && callListWritten)
        Results->Files.insert(Results->Files.begin(), {"Call list", parameters.CallListFileName});

    TSummaryTotals totals = PrepareSummary(Tables.FunctionEntries(), Tables.TaskEntries());
    if (!OpenReport(ProfileFile, parameters.ProfileFileName, parameters)) {
        status.AddStatusLine("!!!Can not open file to output final profile result!!!");
        return;
    }
    WriteProfileSummary(ProfileFile, Tables.FunctionEntries(), Tables.TaskEntries(), FirstTSC,
                        LastTSC, totals);
    if (!ProfileFile.Close())
        status.AddStatusLine("!!!Can not write file to output final profile result, the profile "
                             "summary is incomplete!!!");
    else if (Results)
        Results->Files.push_back({"Profile summary", parameters.ProfileFileName});
}

TaskEntry& TProfileJob::ChooseStartTask() {
    std::span<TaskEntry> tasks = Tables.TaskEntries();
    if (FirstTaskRecord.Address == ~uint32_t{0})
        return tasks[0];
    TaskEntry* task = Tables.FindTask(KeyOf(FirstTaskRecord.Address));
    return task != nullptr ? *task : tasks[0];
}

bool TProfileJob::OpenReport(TOutputFile& report, const std::string& fileName,
                             const TProfile& parameters) {
    // Truncating an input would destroy the user's trace or program.
    if (SameFile(fileName, parameters.RawDataFileName) ||
        SameFile(fileName, parameters.DSPOutFileName))
        return false;
    return report.Open(fileName);
}

uint32_t TProfileJob::ReplayRecords(TReplay& replay, TStatusReporter& status) {
    RawFile.Rewind();
    RawRecord record;
    uint32_t validPassed = 0;
    bool found = false;
    for (;;) {
        ReadResult read = RawFile.ReadRecord(record);
        if (read == ReadResult::EndOfFile)
            break;
        if (read == ReadResult::Invalid)
            continue;
        if (++validPassed == SearchNoticeAt)
            status.AddStatusLine("Searching for first valid record...");
        if (record.TSC == FirstTSC) {
            found = true;
            break;
        }
    }
    replay.LastTSC = FirstTSC;
    if (!found)
        return 0; // no valid record: nothing to replay

    uint32_t processed = 1;
    replay.ProcessRecord(record);
    bool rewound = false;
    uint32_t validSinceRewind = 1;
    while (processed < ValidRecords) {
        if (RawFile.AtEnd()) {
            // The file changed since the first pass if a whole sweep found nothing valid.
            if (rewound && validSinceRewind == 0)
                break;
            RawFile.Rewind();
            rewound = true;
            validSinceRewind = 0;
        }
        if (RawFile.ReadRecord(record) != ReadResult::Valid)
            continue;
        ++validSinceRewind;
        ++processed;
        if (!replay.ProcessRecord(record))
            break;
        replay.LastTSC = record.TSC;
        if (processed % ReplayProgressStride == 0)
            status.FormatStatusLine("Process %u of %u records...", processed, ValidRecords);
    }
    return processed;
}

void TProfileJob::ReportEndOfRun(const TReplay& replay, TStatusReporter& status) {
    if (replay.ExitWithoutEnter != 0)
        status.FormatStatusLine("%u function exit without enter record!", replay.ExitWithoutEnter);
    if (replay.EnterWithoutExit != 0)
        status.FormatStatusLine("%u function enter without exit record!", replay.EnterWithoutExit);
    for (const TaskEntry& task : Tables.TaskEntries())
        status.FormatStatusLine("Task %s (0x%08x) maximum call stack depth= %d.",
                                PrintableName(task.Name), task.Handle, task.MaxStackDepth);
}

} // namespace hookmeter
