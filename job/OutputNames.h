// The report names a raw record file name suggests: the name without its last four characters
// (whatever they are), followed by "_call_list.csv" and "_profile.csv".
#pragma once

#include <string>

namespace hookmeter {

struct TOutputNames {
    std::string CallListFileName;
    std::string ProfileFileName;
};

// `rawDataFileName` is UTF-8; a character is a whole UTF-8 sequence, never a part of one.
TOutputNames DeriveOutputNames(const std::string& rawDataFileName);

} // namespace hookmeter
