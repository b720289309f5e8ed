#include "ui/window/ExtraSettings.h"

#include "analysis/TimelineForm.h"
#include "ui/window/ExtraOutputsGroup.h"

#include <QFile>
#include <QString>
#include <string>

namespace hookmeter {

namespace {

struct TOutputKey {
    TExtraOutputsGroup::TOutput Output;
    const char* Key;
};

constexpr TOutputKey OutputKeys[] = {
    {TExtraOutputsGroup::Timeline, "TimelineOutput"},
    {TExtraOutputsGroup::Folded, "FoldedStacksOutput"},
    {TExtraOutputsGroup::Stats, "StatsOutput"},
};
constexpr const char* ClockKey = "DSPClockMHz";
constexpr const char* JsonTimelineKey = "TimelineFileName";

} // namespace

void ApplyExtraSettings(const TSettingsList& settings, TExtraOutputsGroup& controls) {
    for (const TOutputKey& output : OutputKeys)
        if (const std::string value = settings.Value(output.Key); !value.empty())
            controls.SetChosen(output.Output, value == "true");
    bool isNumber = false;
    const double megahertz = QString::fromStdString(settings.Value(ClockKey)).toDouble(&isNumber);
    if (isNumber && megahertz >= 0)
        controls.SetClockMHz(megahertz);
    // After the names derived from the raw file: a JSON timeline chosen before stays.
    if (const std::string name = settings.Value(JsonTimelineKey);
        TimelineFormOf(name) == TimelineForm::Json)
        controls.SetFileName(TExtraOutputsGroup::Timeline,
                             QFile::decodeName(QByteArray::fromStdString(name)));
}

void StoreExtraSettings(const TExtraOutputsGroup& controls, TSettingsList& settings) {
    for (const TOutputKey& output : OutputKeys)
        settings.SetValue(output.Key, controls.IsChosen(output.Output) ? "true" : "false");
    settings.SetValue(ClockKey, QString::number(controls.ClockMHz(), 'g', 12).toStdString());
    const std::string timeline =
        QFile::encodeName(controls.FileName(TExtraOutputsGroup::Timeline)).toStdString();
    settings.SetValue(JsonTimelineKey,
                      TimelineFormOf(timeline) == TimelineForm::Json ? timeline : std::string());
}

} // namespace hookmeter
