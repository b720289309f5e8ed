// The output names a raw record file name suggests: the name without its last four characters
// (whatever they are), followed by each output's ending.
#pragma once

#include <string>

namespace hookmeter {

struct TOutputNames {
    std::string CallListFileName; // "_call_list.csv"
    std::string ProfileFileName;  // "_profile.csv"
    std::string TimelineFileName; // "_timeline.pftrace": a Perfetto trace (see TimelineForm)
    std::string FoldedFileName;   // "_folded.txt"
    std::string StatsFileName;    // "_stats.csv"
};

// `rawDataFileName` is UTF-8; a character is a whole UTF-8 sequence, never a part of one.
TOutputNames DeriveOutputNames(const std::string& rawDataFileName);

// The output names once the raw file name has changed from `from` to `to`: a name that is still
// the one `from` suggests, or empty, becomes the one `to` suggests; a name the user chose stays.
TOutputNames FollowOutputNames(const TOutputNames& names, const std::string& from,
                               const std::string& to);

} // namespace hookmeter
