#include "box/max_spl.h"

#include "box/complex_math.h"

#include <algorithm>
#include <cmath>

namespace harlox {

namespace {

bool usable(double v) {
    return v > 0.0 && std::isfinite(v);
}

} // namespace

TMaxSpl::TMaxSpl() {
    for (DiagramModel* w : {&window_, &voltageWindow_}) {
        w->setLogX(true);
    }
    connectCurves();
}

void TMaxSpl::connectCurves() {
    window_.clearCurves();
    if (has(Limit::Excursion))
        window_.addCurve(excursionLimited.data(), Pen{PenColor::Blue, PenStyle::Dash}, "Excursion limit");
    if (has(Limit::AirSpeed))
        window_.addCurve(airSpeedLimited.data(), Pen{PenColor::Green, PenStyle::Dash}, "Port air speed limit");
    if (has(Limit::Thermal))
        window_.addCurve(thermalLimited.data(), Pen{PenColor::Red, PenStyle::Dash}, "Thermal limit");
    window_.addCurve(maxSpl.data(), Pen{PenColor::Black, PenStyle::Thick}, "Maximum SPL");
    voltageWindow_.clearCurves();
    voltageWindow_.addCurve(voltage.data(), Pen{PenColor::Black, PenStyle::Solid}, "Voltage");
}

void TMaxSpl::Calculate(const Inputs& in) {
    const int n = std::clamp(in.count, 0, kMaxPoints);
    count_ = n;
    std::array<bool, 4> present{};
    for (const DriverInput& d : in.drivers) {
        present[static_cast<std::size_t>(Limit::Excursion)] |= d.excursion != nullptr && usable(d.xmax);
        present[static_cast<std::size_t>(Limit::Thermal)] |= d.coilPower != nullptr && usable(d.pmax);
    }
    for (const PortInput& p : in.ports)
        present[static_cast<std::size_t>(Limit::AirSpeed)] |= p.airSpeed != nullptr && usable(p.limit);
    const bool relabel = present != has_;
    has_ = present;

    // Squared voltage factors, so that neither the thermal limit nor the level needs a root.
    const auto level = [](double spl, double factor2) { return spl + 4.3429448190325182 * fastLog(factor2); };
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        double kx2 = HUGE_VAL, kp2 = HUGE_VAL, kt2 = HUGE_VAL;
        for (const DriverInput& d : in.drivers) {
            // Xmax is one way, the calculated excursion peak to peak.
            if (d.excursion && usable(d.xmax) && usable(d.excursion[i])) {
                const double r = 2000.0 * d.xmax / d.excursion[i];
                kx2 = std::min(kx2, r * r);
            }
            if (d.coilPower && usable(d.pmax) && usable(d.coilPower[i])) kt2 = std::min(kt2, d.pmax / d.coilPower[i]);
        }
        for (const PortInput& p : in.ports) {
            if (p.airSpeed && usable(p.limit) && usable(p.airSpeed[i])) {
                const double r = p.limit / p.airSpeed[i];
                kp2 = std::min(kp2, r * r);
            }
        }
        const double spl = in.spl ? in.spl[i] : 0.0;
        excursionLimited[k] = kx2 < HUGE_VAL ? level(spl, kx2) : 0.0;
        airSpeedLimited[k] = kp2 < HUGE_VAL ? level(spl, kp2) : 0.0;
        thermalLimited[k] = kt2 < HUGE_VAL ? level(spl, kt2) : 0.0;
        Limit by = Limit::None;
        double factor2 = HUGE_VAL;
        if (kx2 < factor2) factor2 = kx2, by = Limit::Excursion;
        if (kp2 < factor2) factor2 = kp2, by = Limit::AirSpeed;
        if (kt2 < factor2) factor2 = kt2, by = Limit::Thermal;
        limitedBy[k] = by;
        maxSpl[k] = by == Limit::Excursion ? excursionLimited[k]
                    : by == Limit::AirSpeed ? airSpeedLimited[k]
                    : by == Limit::Thermal  ? thermalLimited[k]
                                            : 0.0;
        voltage[k] = by != Limit::None ? in.voltage * std::sqrt(factor2) : 0.0;
    }
    for (DiagramModel* w : {&window_, &voltageWindow_})
        w->setPointCount(n);
    if (relabel) connectCurves();
    // The limits climb far above the envelope where they do not bind: the axis follows the
    // envelope, with room above it to see the limit that comes next.
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (int i = 0; i < n; ++i) {
        if (limitedBy[static_cast<std::size_t>(i)] == Limit::None) continue;
        low = std::min(low, maxSpl[static_cast<std::size_t>(i)]);
        high = std::max(high, maxSpl[static_cast<std::size_t>(i)]);
    }
    if (low <= high && std::isfinite(low) && std::isfinite(high))
        window_.setScaledYRange(AxisRange{std::floor(low / 10.0) * 10.0 - 10.0, std::ceil(high / 10.0) * 10.0 + 20.0, true});
    else
        window_.setScaledYRange(std::nullopt);
}

} // namespace harlox
