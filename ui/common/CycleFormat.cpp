#include "ui/common/CycleFormat.h"

#include <cmath>

namespace hookmeter {

QString TCycleFormat::Text(double cycles) const {
    if (!ShowsTime())
        return std::floor(cycles) == cycles ? QString::number(cycles, 'f', 0)
                                            : QString::number(cycles, 'f', 1);
    const double seconds = cycles / ClockHz;
    struct TUnit {
        double Scale;
        const char* Name;
    };
    static const TUnit units[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "\u00b5s"}, {1e-9, "ns"}};
    for (const TUnit& unit : units)
        if (std::fabs(seconds) >= unit.Scale || unit.Scale == 1e-9)
            return QString::number(seconds / unit.Scale, 'f', 3) + QLatin1Char(' ') +
                   QString::fromUtf8(unit.Name);
    return {};
}

QString TCycleFormat::Amount(uint64_t cycles) const {
    return ShowsTime() ? Text(cycles) : Text(cycles) + QStringLiteral(" cycles");
}

} // namespace hookmeter
