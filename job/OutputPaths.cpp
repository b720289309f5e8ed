#include "job/OutputPaths.h"

#include <filesystem>
#include <system_error>

namespace hookmeter {
namespace {

// The absolute path, with the links and dot entries of its existing part resolved.
std::filesystem::path NormalPath(const std::string& name) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(name, error).lexically_normal();
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute : resolved;
}

// True when both outputs would end up in one regular file: the second would overwrite the first.
bool OutputsShareAFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return false;
    std::error_code error;
    const auto aStatus = std::filesystem::status(a, error);
    const auto bStatus = std::filesystem::status(b, error);
    const bool aExists = std::filesystem::exists(aStatus);
    const bool bExists = std::filesystem::exists(bStatus);
    if (aExists && bExists)
        return std::filesystem::is_regular_file(aStatus) && SameFile(a, b);
    if (aExists || bExists)
        return false;
    return NormalPath(a) == NormalPath(b);
}

struct TRole {
    const char* Name;
    const std::string& Path;
    bool Output;
};

} // namespace

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error);
}

TFileClash FindFileClash(const TJobParameters& parameters) {
    const TRole roles[] = {
        {"raw data file", parameters.RawDataFileName, false},
        {"executable", parameters.DSPOutFileName, false},
        {"call list", parameters.CallListFileName, true},
        {"profile summary", parameters.ProfileFileName, true},
        {"timeline", parameters.TimelineFileName, true},
        {"folded stacks", parameters.FoldedFileName, true},
        {"statistics", parameters.StatsFileName, true},
    };
    for (size_t later = 0; later < std::size(roles); ++later) {
        if (!roles[later].Output)
            continue;
        for (size_t earlier = 0; earlier < later; ++earlier) {
            const bool clash = roles[earlier].Output
                                   ? OutputsShareAFile(roles[earlier].Path, roles[later].Path)
                                   : SameFile(roles[earlier].Path, roles[later].Path);
            if (clash)
                return {roles[earlier].Name, roles[later].Name};
        }
    }
    return {};
}

} // namespace hookmeter
