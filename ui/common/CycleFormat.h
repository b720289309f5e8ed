// How the result views show cycle counts: as plain cycles, or as time once the user has given the
// DSP's clock rate.
#pragma once

#include <QString>
#include <cstdint>

namespace hookmeter {

class TCycleFormat {
public:
    // A clock rate of 0 (or less) shows cycles.
    explicit TCycleFormat(double clockHz = 0) : ClockHz(clockHz > 0 ? clockHz : 0) {}

    bool ShowsTime() const { return ClockHz > 0; }
    double Hz() const { return ClockHz; }
    // "1234567" as cycles; "2.058 ms" as time, in the largest unit that keeps the value >= 1.
    QString Text(double cycles) const;
    QString Text(uint64_t cycles) const { return Text(double(cycles)); }
    // With its unit: "1234567 cycles", or the time as Text gives it.
    QString Amount(uint64_t cycles) const;

private:
    double ClockHz;
};

} // namespace hookmeter
