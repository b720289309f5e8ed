// TOutputNameBoxes: the window's five output name boxes (call list, profile summary and the
// optional outputs) and the raw file name their names were derived from. Choosing a raw file, or
// a stored one at start-up, derives every name; a raw file name typed by hand is followed by the
// boxes that still hold the name derived from the previous one (FollowOutputNames), when the
// raw box loses the focus or "Process" is pressed, so that a job never overwrites another trace's
// outputs unasked. A name the user chose stays.
#pragma once

#include <QString>

class QLineEdit;

namespace hookmeter {

class TExtraOutputsGroup;

class TOutputNameBoxes {
public:
    TOutputNameBoxes(QLineEdit* callList, QLineEdit* profile, TExtraOutputsGroup* extraOutputs)
        : CallList(callList), Profile(profile), ExtraOutputs(extraOutputs) {}

    // Every box gets the name derived from the raw file name.
    void Derive(const QString& rawDataFileName);
    // The boxes whose names were derived from the previous raw file name get the names derived
    // from this one; an empty raw file name changes nothing.
    void Follow(const QString& rawDataFileName);

private:
    QLineEdit* CallList;
    QLineEdit* Profile;
    TExtraOutputsGroup* ExtraOutputs;
    QString DerivedFrom; // the raw file name the derived names came from
};

} // namespace hookmeter
