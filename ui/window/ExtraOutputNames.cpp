#include "ui/window/ExtraOutputNames.h"

#include "job/OutputNames.h"

#include <string_view>

namespace hookmeter {

TExtraOutputNames DeriveExtraOutputNames(const QString& rawDataFileName) {
    // The reports' rule decides where the stem ends, so every output lands beside the reports.
    constexpr std::string_view callListEnding = "_call_list.csv";
    std::string stem = DeriveOutputNames(rawDataFileName.toStdString()).CallListFileName;
    stem.resize(stem.size() - callListEnding.size());
    const QString base = QString::fromStdString(stem);
    return {base + QStringLiteral("_timeline.json"), base + QStringLiteral("_folded.txt"),
            base + QStringLiteral("_stats.csv")};
}

} // namespace hookmeter
