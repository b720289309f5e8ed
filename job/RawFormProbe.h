// A look at the start of a raw file in one form: whether that form reads it as records. A job
// whose file gave no valid record in the form it was asked for looks with the other form, so
// that it can say which form reads the file.
#pragma once

#include "core/RawFile.h"

#include <string>

namespace hookmeter {

// True when the first records of a regular file, read in `form`, are mostly valid. A stream,
// which cannot be read a second time, is never looked at.
bool FormReadsRecords(const std::string& fileName, RawForm form);

} // namespace hookmeter
