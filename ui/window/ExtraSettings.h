// The settings of the optional outputs and of the DSP clock in "profile.ini". Their keys come
// after the window's original keys, which keep their names, order and meaning:
//   TimelineOutput, FoldedStacksOutput, StatsOutput   "true" or "false"
//   DSPClockMHz                                        decimal number, 0 for none
//   TimelineFileName    the timeline's file name when it is a JSON one (".json"); absent
//                       otherwise, when the name derived from the raw file (a Perfetto trace)
//                       is shown
// A value that cannot be read leaves its control as it is; nothing is reported.
#pragma once

#include "ui/settings/SettingsList.h"

namespace hookmeter {

class TExtraOutputsGroup;

void ApplyExtraSettings(const TSettingsList& settings, TExtraOutputsGroup& controls);
void StoreExtraSettings(const TExtraOutputsGroup& controls, TSettingsList& settings);

} // namespace hookmeter
