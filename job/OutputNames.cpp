#include "job/OutputNames.h"

namespace hookmeter {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

TOutputNames DeriveOutputNames(const std::string& rawDataFileName) {
    size_t stem = rawDataFileName.size();
    for (int dropped = 0; dropped < 4 && stem > 0; ++dropped) {
        --stem;
        while (stem > 0 && IsContinuationByte(rawDataFileName[stem]))
            --stem;
    }
    std::string base = rawDataFileName.substr(0, stem);
    return {base + "_call_list.csv", base + "_profile.csv", base + "_timeline.pftrace",
            base + "_folded.txt", base + "_stats.csv"};
}

TOutputNames FollowOutputNames(const TOutputNames& names, const std::string& from,
                               const std::string& to) {
    const TOutputNames before = DeriveOutputNames(from);
    const TOutputNames after = DeriveOutputNames(to);
    TOutputNames followed = names;
    for (std::string TOutputNames::*name :
         {&TOutputNames::CallListFileName, &TOutputNames::ProfileFileName,
          &TOutputNames::TimelineFileName, &TOutputNames::FoldedFileName,
          &TOutputNames::StatsFileName})
        if (names.*name == before.*name || (names.*name).empty())
            followed.*name = after.*name;
    return followed;
}

} // namespace hookmeter
