#include "ui/results/TimeAxis.h"

#include <cmath>

namespace hookmeter {
namespace {

struct TUnit {
    double Scale; // of the unit, in the axis' own measure (cycles or seconds)
    const char* Name;
};

// The unit a step is best told in, and its decimals.
TUnit UnitOf(double step, bool time) {
    static const TUnit seconds[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "\u00b5s"}, {1e-9, "ns"}};
    static const TUnit cycles[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}};
    const TUnit* units = time ? seconds : cycles;
    for (int i = 0; i < 3; ++i)
        if (step >= units[i].Scale)
            return units[i];
    return units[3];
}

int DecimalsOf(double step, const TUnit& unit) {
    double inUnit = step / unit.Scale;
    int decimals = 0;
    while (decimals < 6 && std::fabs(inUnit * std::pow(10, decimals) -
                                     std::round(inUnit * std::pow(10, decimals))) > 1e-6)
        ++decimals;
    return decimals;
}

QString Text(double value, const TUnit& unit, int decimals) {
    if (value == 0)
        return QStringLiteral("0");
    QString number = QString::number(value / unit.Scale, 'f', decimals);
    return *unit.Name ? number + QLatin1Char(' ') + QString::fromUtf8(unit.Name) : number;
}

} // namespace

std::vector<TAxisTick> AxisTicks(double offset, double cyclesPerPixel, int width, int spacing,
                                 const TCycleFormat& format) {
    std::vector<TAxisTick> ticks;
    if (width <= 0 || cyclesPerPixel <= 0)
        return ticks;
    bool time = format.ShowsTime();
    double perCycle = time ? 1 / format.Hz() : 1; // the axis' measure of one cycle
    double least = spacing * cyclesPerPixel * perCycle;
    double step = std::pow(10, std::floor(std::log10(least)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (step * factor >= least) {
            step *= factor;
            break;
        }
    if (!time)
        step = std::max(step, 1.0);
    TUnit unit = UnitOf(step, time);
    int decimals = DecimalsOf(step, unit);
    double first = std::ceil(offset * perCycle / step);
    double last = (offset + width * cyclesPerPixel) * perCycle / step;
    for (double n = first; n <= last && ticks.size() < 1000; ++n)
        ticks.push_back({n * step / perCycle, Text(n * step, unit, decimals)});
    return ticks;
}

QString AxisLength(double cycles, const TCycleFormat& format) {
    if (format.ShowsTime())
        return format.Text(cycles);
    TUnit unit = UnitOf(cycles, false);
    int decimals = cycles / unit.Scale >= 100 || unit.Scale == 1 ? 0 : 1;
    return Text(cycles, unit, decimals) + QStringLiteral(" cycles");
}

} // namespace hookmeter
