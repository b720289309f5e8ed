// The names the optional outputs get from a raw record file name, the same way the two reports
// get theirs: the name without its last four characters, followed by the output's ending.
#pragma once

#include <QString>

namespace hookmeter {

struct TExtraOutputNames {
    QString TimelineFileName; // "_timeline.json"
    QString FoldedFileName;   // "_folded.txt"
    QString StatsFileName;    // "_stats.csv"
};

TExtraOutputNames DeriveExtraOutputNames(const QString& rawDataFileName);

} // namespace hookmeter
