#include "ui/window/OutputNameBoxes.h"

#include "job/OutputNames.h"
#include "ui/window/ExtraOutputsGroup.h"

#include <QLineEdit>

namespace hookmeter {

void TOutputNameBoxes::Derive(const QString& rawDataFileName) {
    const TOutputNames names = DeriveOutputNames(rawDataFileName.toStdString());
    CallList->setText(QString::fromStdString(names.CallListFileName));
    Profile->setText(QString::fromStdString(names.ProfileFileName));
    ExtraOutputs->SetRawFileName(rawDataFileName);
    DerivedFrom = rawDataFileName;
}

void TOutputNameBoxes::Follow(const QString& rawDataFileName) {
    if (rawDataFileName.isEmpty() || rawDataFileName == DerivedFrom)
        return;
    using TOutput = TExtraOutputsGroup::TOutput;
    const auto text = [](const QString& name) { return name.toStdString(); };
    TOutputNames shown{text(CallList->text()), text(Profile->text()),
                       text(ExtraOutputs->FileName(TOutput::Timeline)),
                       text(ExtraOutputs->FileName(TOutput::Folded)),
                       text(ExtraOutputs->FileName(TOutput::Stats))};
    const TOutputNames followed =
        FollowOutputNames(shown, DerivedFrom.toStdString(), rawDataFileName.toStdString());
    const auto show = [](const std::string& name) { return QString::fromStdString(name); };
    CallList->setText(show(followed.CallListFileName));
    Profile->setText(show(followed.ProfileFileName));
    ExtraOutputs->SetFileName(TOutput::Timeline, show(followed.TimelineFileName));
    ExtraOutputs->SetFileName(TOutput::Folded, show(followed.FoldedFileName));
    ExtraOutputs->SetFileName(TOutput::Stats, show(followed.StatsFileName));
    DerivedFrom = rawDataFileName;
}

} // namespace hookmeter
