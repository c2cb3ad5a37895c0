#pragma once

#include <string>
#include <vector>

namespace harlox {

// A closed, drawable interval of an axis: min < max, both finite (and positive on a log axis).
struct AxisBounds {
    double min = 0.0;
    double max = 1.0;
    bool operator==(const AxisBounds&) const = default;
};

// Turns whatever a curve produced into a drawable interval: orders the ends, replaces
// non-finite ends (and non-positive ones on a log axis), widens an empty interval and keeps
// the span representable.
[[nodiscard]] AxisBounds padAxisBounds(double min, double max, bool log);

// Maps axis values to pixel positions and back. pixelStart is where min lands, pixelEnd where
// max lands, so a y axis passes (bottom, top).
class AxisMapping {
public:
    AxisMapping() = default;
    AxisMapping(AxisBounds bounds, double pixelStart, double pixelEnd, bool log);

    // NaN for values that have no position (non-finite, or not positive on a log axis).
    [[nodiscard]] double toPixel(double value) const;
    [[nodiscard]] double toValue(double pixel) const;
    [[nodiscard]] bool log() const { return log_; }
    [[nodiscard]] AxisBounds bounds() const { return bounds_; }

private:
    AxisBounds bounds_;
    double p0_ = 0.0;
    double p1_ = 1.0;
    bool log_ = false;
    double t0_ = 0.0; // bounds in the mapped domain (log10 on a log axis)
    double t1_ = 1.0;
};

struct GridLine {
    double value = 0.0;
    bool major = false; // decade lines on a log axis
};

struct AxisTick {
    double value = 0.0;
    std::string label;
    // 0 = always worth a label; higher ranks are dropped first when labels crowd.
    int rank = 0;
};

struct AxisTicks {
    std::vector<GridLine> grid;   // ascending
    std::vector<AxisTick> labels; // ascending
};

// Log axis: grid lines at 1..9 x 10^k (decades major), labels at 1, 2, 5 x 10^k (rank 0 for
// decades, 1 for the fives, 2 for the twos). A span too narrow for two such labels is labelled
// at the other grid lines, or at linear steps when it lies between two grid lines. Very wide
// spans keep only (every n-th) decade.
[[nodiscard]] AxisTicks logAxisTicks(AxisBounds bounds);
// "2", "50", "500", "1k", "20k", "1M", "0.5".
[[nodiscard]] std::string logTickLabel(double value);

// The step among 1, 2, 2.5, 5 x 10^k that gives at most about targetTicks intervals on span.
[[nodiscard]] double niceStep(double span, int targetTicks);
// The bounds widened outwards to multiples of the nice step.
[[nodiscard]] AxisBounds niceBounds(AxisBounds bounds, int targetTicks);
// Ticks and grid lines at the multiples of the nice step inside bounds; every other label is
// rank 1 so a crowded axis can drop it.
[[nodiscard]] AxisTicks linearAxisTicks(AxisBounds bounds, int targetTicks);
// The same for a given step (the phase axis uses 45 or 90 degrees).
[[nodiscard]] AxisTicks linearAxisTicksWithStep(AxisBounds bounds, double step);
// A tick value with as many decimals as the step needs and no trailing zeros: "-180", "0.5".
[[nodiscard]] std::string formatTickValue(double value, double step);

} // namespace harlox
