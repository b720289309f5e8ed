// The first pass over the raw records: counts them, finds the earliest time stamps and fills the
// function and task key lists.
#pragma once

#include "base/StatusReporter.h"
#include "core/EntryTables.h"
#include "core/RawFile.h"
#include "core/RawRecord.h"

#include <cstdint>

namespace hookmeter {

enum class FirstPassEnd {
    EndOfFile,      // every record was read
    TableFull,      // a key list filled up ("Too many" line); the job goes on
    FileProblem,    // the file reported a problem (TRawFile::Problem)
    TooManyRecords, // a count of the status lines would pass 2^32 - 1
};

struct TFirstPassResult {
    uint32_t ValidRecords = 0;
    uint32_t InvalidRecords = 0;      // failed reads and invalid records
    uint32_t ReadAttempts = 0;        // the counter of the progress lines
    uint64_t FirstTSC = ~uint64_t{0}; // the smallest TSC of all valid records
    // The valid task record with the smallest TSC (the first of equals); Address all ones
    // when there is none.
    RawRecord FirstTaskRecord{~uint32_t{0}, 0, ~uint64_t{0}};
    FirstPassEnd End = FirstPassEnd::EndOfFile;
};

// Reads from the current position to the end of the file, or until a key list is full.
TFirstPassResult ScanRecords(TRawFile& file, TEntryTables& tables, TStatusReporter& status);
// The same, counting on from the figures already in `result`.
void ContinueScan(TRawFile& file, TEntryTables& tables, TStatusReporter& status,
                  TFirstPassResult& result);

} // namespace hookmeter
