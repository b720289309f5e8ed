// The timeline's ruler: ticks at round values of cycles from the first record, or of time once
// the DSP clock is known, far enough apart for their labels at any zoom.
#pragma once

#include "ui/common/CycleFormat.h"

#include <QString>
#include <vector>

namespace hookmeter {

struct TAxisTick {
    double Offset = 0; // cycles from the first record
    QString Label;
};

// The ticks of the view from `offset` (cycles from the first record) over `width` pixels of
// `cyclesPerPixel` each, at least `spacing` pixels apart.
std::vector<TAxisTick> AxisTicks(double offset, double cyclesPerPixel, int width, int spacing,
                                 const TCycleFormat& format);

// A length of cycles for the ruler and the load track: "200 k cycles" or "3.5 µs".
QString AxisLength(double cycles, const TCycleFormat& format);

} // namespace hookmeter
