#include "job/JobPipeline.h"

#include "base/OpenFailureReason.h"
#include "core/CallList.h"
#include "core/FirstPass.h"
#include "core/Replay.h"
#include "core/SummaryWriter.h"
#include "job/JobOutputs.h"
#include "job/JobParameters.h"
#include "job/OutputPaths.h"
#include "job/RawFormProbe.h"

namespace hookmeter {
namespace {

constexpr uint32_t SearchNoticeAt = 0x7FFFF;       // valid records passed before the search says so
constexpr uint32_t ReplayProgressStride = 0x40000; // records between replay progress lines
constexpr uint32_t ProgressUpdateStride = 0x10000; // records between updates of the progress

constexpr char RawFileOpenFailure[] = "!!!Can not open raw data file!!!";
constexpr char CallListOpenFailure[] = "!!!Can not open file to list all function/task calls!!!";
constexpr char ProfileOpenFailure[] = "!!!Can not open file to output final profile result!!!";
constexpr char CallListIncomplete[] =
    "!!!Can not write file to list all function/task calls, the call list is incomplete!!!";
constexpr char ProfileIncomplete[] = "!!!Can not write file to output final profile result, the "
                                     "profile summary is incomplete!!!";

// The line for a raw file that ended early. `replaying`: the reports are written all the same.
const char* ProblemLine(RawFileProblem problem, bool replaying) {
    switch (problem) {
    case RawFileProblem::ReadError:
        return replaying ? "!!!Can not read raw data file, the reports are incomplete!!!"
                         : "!!!Can not read raw data file!!!";
    case RawFileProblem::RewindFailed:
        return "!!!Can not rewind raw data file, the reports are incomplete!!!";
    case RawFileProblem::Changed:
        return "!!!Raw data file changed during processing, the reports are incomplete!!!";
    case RawFileProblem::SpoolFailed:
        return "!!!Can not copy raw data to a temporary file!!!";
    case RawFileProblem::Stopped:
    case RawFileProblem::None:
        break;
    }
    return nullptr;
}

// Closes the files of a pipeline that ends early or by an exception; a report that was not
// published by then is removed.
struct TDiscardOnExit {
    TRawFile& Raw;
    TOutputFile& CallList;
    TOutputFile& Profile;
    ~TDiscardOnExit() {
        Raw.Close();
        CallList.Discard();
        Profile.Discard();
    }
};

} // namespace

TJobPipeline::Outcome TJobPipeline::Run(const TJobParameters& parameters, TStatusReporter& status,
                                        TJobProgress& progress, const std::atomic<bool>& stop) {
    TDiscardOnExit discardOnExit{RawFile, CallListFile, ProfileFile};
    if (const TFileClash clash = FindFileClash(parameters)) {
        status.FormatStatusLine("!!!The %s and the %s can not be the same file!!!", clash.First,
                                clash.Second);
        return Outcome::Ended;
    }
    if (!RawFile.Open(parameters.RawDataFileName, parameters.RawDataFileType)) {
        const char* line = ProblemLine(RawFile.Problem(), false);
        if (line == nullptr) {
            NoteOpenFailure(status, parameters.RawDataFileName,
                            ReadFailureReason(parameters.RawDataFileName));
            line = RawFileOpenFailure;
        }
        status.AddStatusLine(line);
        return Outcome::Ended;
    }
    // A report without a name can never be opened: that is found before the raw file is read.
    const char* unnamedReport = parameters.CallListFileName.empty()  ? CallListOpenFailure
                                : parameters.ProfileFileName.empty() ? ProfileOpenFailure
                                                                     : nullptr;
    if (unnamedReport != nullptr) {
        NoteOpenFailure(status, {}, NoFileNameReason);
        status.AddStatusLine(unnamedReport);
        return Outcome::Ended;
    }
    RawFile.SetStopFlag(&stop);
    progress.Done = 0;
    progress.Total = RawFile.KnownSize();
    progress.Phase = JobPhase::FirstPass;
    RawFile.SetBytesReadCounter(&progress.Done);
    TFirstPassResult firstPass = ScanRecords(RawFile, Tables, status);
    RawFile.SetBytesReadCounter(nullptr);
    if (firstPass.End == FirstPassEnd::TooManyRecords) {
        status.AddStatusLine("!!!More than 4294967295 raw records, the counts would overflow; "
                             "the reports are not written!!!");
        return Outcome::Ended;
    }
    if (firstPass.End == FirstPassEnd::FileProblem || !RawFile.FixContent()) {
        if (RawFile.Problem() == RawFileProblem::Stopped)
            return StopWithoutReports(status);
        status.AddStatusLine(ProblemLine(RawFile.Problem(), false));
        return Outcome::Ended;
    }
    ValidRecords = firstPass.ValidRecords;
    if (ValidRecords == 0 && (firstPass.InvalidRecords > 0 || RawFile.KnownSize() > 0))
        ReportNoValidRecord(parameters, status); // a file with bytes, none of them a record
    FirstTSC = firstPass.FirstTSC;
    FirstTaskRecord = firstPass.FirstTaskRecord;

    // A stack needs a frame for the call being entered, even when it then overflows.
    uint32_t callStackSize = parameters.CallStackSize > 0 ? parameters.CallStackSize : 1;
    Tables.BuildFunctionEntries();
    Tables.BuildTaskEntries(callStackSize);
    TaskEntry& startTask = ChooseStartTask();
    startTask.EnterTSC = FirstTSC;
    startTask.EnterTimes = 1;

    progress.Phase = JobPhase::Naming;
    AssignNames(parameters.DSPOutFileName, parameters.ParseGlobalSymbolOnly,
                Tables.FunctionEntries(), Tables.TaskEntries(), Names);
    status.FormatStatusLine("Get %u function names, %u task names from .out file.",
                            Names.FunctionNamesFound, Names.TaskNamesFound);
    if (!Names.Problem.empty())
        status.AddStatusLine(Names.Problem); // why names are missing; the job goes on
    if (stop)
        return StopWithoutReports(status);

    if (!OpenReport(CallListFile, parameters.CallListFileName, parameters, status)) {
        status.AddStatusLine(CallListOpenFailure);
        return Outcome::Ended; // the raw file is closed on the way out
    }
    TCallListWriter callList(CallListFile, Tables);
    callList.WriteHeader();
    TJobOutputs outputs(parameters, Tables, callStackSize,
                        [&](TOutputFile& file, const std::string& fileName) {
                            return OpenReport(file, fileName, parameters, status);
                        });
    TReplay replay(Tables, callStackSize, outputs.Start(callList, status, startTask, FirstTSC),
                   status, startTask, FirstTSC);
    progress.Done = 0;
    progress.Total = ValidRecords;
    progress.Phase = JobPhase::Replay;
    TReplayEnd replayEnd = ReplayRecords(replay, status, progress);
    if (replayEnd.Problem == RawFileProblem::Stopped)
        return StopWithoutReports(status);
    progress.Done = replayEnd.Processed;
    for (TaskEntry& task : Tables.TaskEntries())
        replay.FlushCallStack(task, replay.LastTSC);
    LastTSC = replay.LastTSC;
    status.FormatStatusLine("Process %u of %u records.", replayEnd.Processed, ValidRecords);
    if (replayEnd.Problem != RawFileProblem::None)
        status.AddStatusLine(ProblemLine(replayEnd.Problem, true));
    RawFile.Close();
    bool callListWritten = CallListFile.Finish();
    if (!callListWritten)
        status.AddStatusLine(CallListIncomplete);
    ReportEndOfRun(replay, status);
    if (stop)
        return StopWithoutReports(status);
    Results = outputs.Finish(status, FirstTSC, LastTSC);
    if (Results && callListWritten)
        Results->Files.insert(Results->Files.begin(), {"Call list", parameters.CallListFileName});

    // Both reports replace the earlier ones together, once both are complete.
    auto publishCallList = [&] {
        if (!CallListFile.Publish() && callListWritten)
            status.AddStatusLine(CallListIncomplete);
    };
    progress.Phase = JobPhase::Summary;
    TSummaryTotals totals = PrepareSummary(Tables.FunctionEntries(), Tables.TaskEntries());
    if (!OpenReport(ProfileFile, parameters.ProfileFileName, parameters, status)) {
        publishCallList();
        status.AddStatusLine(ProfileOpenFailure);
        return Outcome::Ended;
    }
    WriteProfileSummary(ProfileFile, Tables.FunctionEntries(), Tables.TaskEntries(), FirstTSC,
                        LastTSC, totals);
    bool profileWritten = ProfileFile.Finish();
    if (stop)
        return StopWithoutReports(status);
    publishCallList();
    if (!ProfileFile.Publish() || !profileWritten)
        status.AddStatusLine(ProfileIncomplete);
    else if (Results)
        Results->Files.push_back({"Profile summary", parameters.ProfileFileName});
    return Outcome::Ended;
}

TJobPipeline::Outcome TJobPipeline::StopWithoutReports(TStatusReporter& status) {
    RawFile.Close();
    CallListFile.Discard();
    ProfileFile.Discard();
    Results.reset();
    status.AddStatusLine("!!!Processing stopped, the reports are not written!!!");
    return Outcome::Stopped;
}

TaskEntry& TJobPipeline::ChooseStartTask() {
    std::span<TaskEntry> tasks = Tables.TaskEntries();
    if (FirstTaskRecord.Address == ~uint32_t{0})
        return tasks[0];
    TaskEntry* task = Tables.FindTask(KeyOf(FirstTaskRecord.Address));
    return task != nullptr ? *task : tasks[0];
}

bool TJobPipeline::OpenReport(TOutputFile& report, const std::string& fileName,
                              const TJobParameters& parameters, const TStatusReporter& status) {
    // Truncating an input would destroy the user's trace or program. Refused before anything
    // was opened already; an input that has become the output since is refused here.
    if (SameFile(fileName, parameters.RawDataFileName) ||
        SameFile(fileName, parameters.DSPOutFileName))
        return false;
    if (report.Open(fileName))
        return true;
    NoteOpenFailure(status, fileName, WriteFailureReason(fileName));
    return false;
}

void TJobPipeline::NoteOpenFailure(const TStatusReporter& status, const std::string& fileName,
                                   std::string reason) {
    // Only the reason of the job's first failure, whose line follows at once.
    if (reason.empty() || !status.FirstFailure().empty() || !FailureReason.empty())
        return;
    FailedFile = fileName;
    FailureReason = std::move(reason);
}

void TJobPipeline::ReportNoValidRecord(const TJobParameters& parameters, TStatusReporter& status) {
    const bool binary = parameters.RawDataFileType == RawForm::Binary;
    const RawForm other = binary ? RawForm::Text : RawForm::Binary;
    const char* used = binary ? "binary" : "text";
    if (FormReadsRecords(parameters.RawDataFileName, other))
        status.FormatStatusLine("The raw data file holds no valid record in the %s form; read in "
                                "the %s form, its first records are valid.",
                                used, binary ? "text" : "binary");
    else
        status.FormatStatusLine("The raw data file holds no valid record in the %s form.", used);
}

TJobPipeline::TReplayEnd TJobPipeline::ReplayRecords(TReplay& replay, TStatusReporter& status,
                                                     TJobProgress& progress) {
    replay.LastTSC = FirstTSC;
    if (!RawFile.Rewind())
        return {0, RawFile.Problem()};
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
    if (!found) {
        if (RawFile.Problem() != RawFileProblem::None)
            return {0, RawFile.Problem()};
        // No valid record: nothing to replay. A first pass that found one saw other bytes.
        return {0, ValidRecords == 0 ? RawFileProblem::None : RawFileProblem::Changed};
    }

    uint32_t processed = 1;
    replay.ProcessRecord(record);
    bool rewound = false;
    uint32_t validSinceRewind = 1;
    while (processed < ValidRecords) {
        if (RawFile.AtEnd()) {
            if (RawFile.Problem() != RawFileProblem::None)
                return {processed, RawFile.Problem()};
            // The file changed since the first pass if a whole sweep found nothing valid.
            if (rewound && validSinceRewind == 0)
                return {processed, RawFileProblem::Changed};
            if (!RawFile.Rewind())
                return {processed, RawFile.Problem()};
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
        if (processed % ProgressUpdateStride == 0) {
            progress.Done.store(processed, std::memory_order_relaxed);
            if (processed % ReplayProgressStride == 0)
                status.FormatStatusLine("Process %u of %u records...", processed, ValidRecords);
        }
    }
    return {processed, RawFileProblem::None};
}

void TJobPipeline::ReportEndOfRun(const TReplay& replay, TStatusReporter& status) {
    if (replay.ExitWithoutEnter != 0)
        status.FormatStatusLine("%u function exit without enter record!", replay.ExitWithoutEnter);
    if (replay.EnterWithoutExit != 0)
        status.FormatStatusLine("%u function enter without exit record!", replay.EnterWithoutExit);
    for (const TaskEntry& task : Tables.TaskEntries())
        status.FormatStatusLine("Task %s (0x%08x) maximum call stack depth= %d.",
                                PrintableName(task.Name), task.Handle, task.MaxStackDepth);
}

} // namespace hookmeter
