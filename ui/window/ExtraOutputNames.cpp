#include "ui/window/ExtraOutputNames.h"

#include "job/OutputNames.h"

namespace hookmeter {

TExtraOutputNames DeriveExtraOutputNames(const QString& rawDataFileName) {
    const TOutputNames names = DeriveOutputNames(rawDataFileName.toStdString());
    return {QString::fromStdString(names.TimelineFileName),
            QString::fromStdString(names.FoldedFileName),
            QString::fromStdString(names.StatsFileName)};
}

} // namespace hookmeter
