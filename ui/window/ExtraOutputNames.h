// The names the window's optional outputs get from a raw record file name: the job's output names,
// as the boxes show them.
#pragma once

#include <QString>

namespace hookmeter {

struct TExtraOutputNames {
    QString TimelineFileName;
    QString FoldedFileName;
    QString StatsFileName;
};

TExtraOutputNames DeriveExtraOutputNames(const QString& rawDataFileName);

} // namespace hookmeter
