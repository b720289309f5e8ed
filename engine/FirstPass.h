// The first pass over the raw records: counts them, finds the earliest time stamps and fills the
// function and task key lists.
#pragma once

#include "engine/RawFile.h"
#include "engine/RawRecord.h"
#include "engine/StatusReporter.h"
#include "engine/Tables.h"

#include <cstdint>

namespace hookmeter {

struct TFirstPassResult {
    uint32_t ValidRecords = 0;
    uint32_t InvalidRecords = 0;      // failed reads and invalid records
    uint64_t FirstTSC = ~uint64_t{0}; // the smallest TSC of all valid records
    // The valid task record with the smallest TSC (the first of equals); Address all ones
    // when there is none.
    RawRecord FirstTaskRecord{~uint32_t{0}, 0, ~uint64_t{0}};
};

// Reads from the current position to the end of the file, or until a key list is full.
TFirstPassResult ScanRecords(TRawFile& file, TProfileTables& tables, TStatusReporter& status);

} // namespace hookmeter
