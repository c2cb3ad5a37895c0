#include "core/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace harlox {

namespace {

constexpr double kLinearLimit = 1e300;
constexpr double kLogLow = 1e-300;
constexpr double kLogHigh = 1e300;
constexpr double kRelEps = 1e-9;
// Beyond this many decades the 2..9 lines would be a grey blur.
constexpr double kMaxMinorDecades = 12.0;
constexpr int kMaxTicks = 10000;

std::string printed(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string trimZeros(std::string s) {
    if (s.find('.') != std::string::npos && s.find('e') == std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

// For the positive bounds of a log axis.
bool insideLog(double v, const AxisBounds& b) {
    return v >= b.min * (1.0 - kRelEps) && v <= b.max * (1.0 + kRelEps);
}

} // namespace

AxisBounds padAxisBounds(double min, double max, bool log) {
    const auto usable = [log](double v) { return std::isfinite(v) && (!log || v > 0.0); };
    const bool minOk = usable(min);
    const bool maxOk = usable(max);
    if (!minOk && !maxOk) return log ? AxisBounds{10.0, 10000.0} : AxisBounds{0.0, 1.0};
    if (!minOk) min = max;
    if (!maxOk) max = min;
    if (min > max) std::swap(min, max);

    if (log) {
        min = std::clamp(min, kLogLow, kLogHigh);
        max = std::clamp(max, kLogLow, kLogHigh);
        if (max / min <= 1.0 + 1e-12) {
            const double c = std::sqrt(min * max);
            return {c / 2.0, c * 2.0};
        }
        return {min, max};
    }

    min = std::clamp(min, -kLinearLimit, kLinearLimit);
    max = std::clamp(max, -kLinearLimit, kLinearLimit);
    if (max - min <= 1e-12 * std::max(std::fabs(min), std::fabs(max))) {
        const double c = 0.5 * (min + max);
        if (c == 0.0) return {-1.0, 1.0};
        const double d = std::fabs(c) * 0.1;
        return {c - d, c + d};
    }
    return {min, max};
}

AxisMapping::AxisMapping(AxisBounds bounds, double pixelStart, double pixelEnd, bool log)
    : bounds_(padAxisBounds(bounds.min, bounds.max, log)), p0_(pixelStart), p1_(pixelEnd), log_(log) {
    t0_ = log_ ? std::log10(bounds_.min) : bounds_.min;
    t1_ = log_ ? std::log10(bounds_.max) : bounds_.max;
}

double AxisMapping::toPixel(double value) const {
    if (!std::isfinite(value) || (log_ && value <= 0.0)) return std::numeric_limits<double>::quiet_NaN();
    const double t = log_ ? std::log10(value) : value;
    return p0_ + (t - t0_) / (t1_ - t0_) * (p1_ - p0_);
}

double AxisMapping::toValue(double pixel) const {
    if (p1_ == p0_) return bounds_.min;
    const double t = t0_ + (pixel - p0_) / (p1_ - p0_) * (t1_ - t0_);
    return log_ ? std::pow(10.0, t) : t;
}

std::string logTickLabel(double value) {
    if (!std::isfinite(value)) return {};
    const double a = std::fabs(value);
    if (a >= 1e12) return printed("%g", value);
    if (a >= 1e9) return printed("%.6g", value / 1e9) + "G";
    if (a >= 1e6) return printed("%.6g", value / 1e6) + "M";
    if (a >= 1e3) return printed("%.6g", value / 1e3) + "k";
    return printed("%.6g", value);
}

AxisTicks logAxisTicks(AxisBounds bounds) {
    const AxisBounds b = padAxisBounds(bounds.min, bounds.max, true);
    AxisTicks t;
    const int kLo = static_cast<int>(std::floor(std::log10(b.min)));
    const int kHi = static_cast<int>(std::floor(std::log10(b.max)));
    const double decades = std::log10(b.max) - std::log10(b.min);

    if (decades > kMaxMinorDecades) {
        const int every = static_cast<int>(std::ceil(decades / 8.0));
        for (int k = kLo; k <= kHi; ++k) {
            const double v = std::pow(10.0, k);
            if (!insideLog(v, b)) continue;
            t.grid.push_back({v, true});
            if (k % every == 0) t.labels.push_back({v, logTickLabel(v), 0});
        }
        return t;
    }

    for (int k = kLo; k <= kHi; ++k) {
        const double p = std::pow(10.0, k);
        for (int m = 1; m <= 9; ++m) {
            const double v = m * p;
            if (!insideLog(v, b)) continue;
            t.grid.push_back({v, m == 1});
            if (m == 1 || m == 2 || m == 5)
                t.labels.push_back({v, logTickLabel(v), m == 1 ? 0 : m == 5 ? 1 : 2});
        }
    }
    if (t.labels.size() >= 2) return t;

    // A narrow span: label every grid line.
    t.labels.clear();
    for (const GridLine& g : t.grid)
        t.labels.push_back({g.value, logTickLabel(g.value), 0});
    if (t.labels.size() >= 2) return t;

    // Between two grid lines: linear steps, still placed on the log scale.
    const AxisTicks lin = linearAxisTicks(b, 4);
    t.labels.clear();
    for (const AxisTick& l : lin.labels)
        t.labels.push_back({l.value, logTickLabel(l.value), 0});
    for (const GridLine& g : lin.grid)
        t.grid.push_back(g);
    std::sort(t.grid.begin(), t.grid.end(),
              [](const GridLine& a, const GridLine& c) { return a.value < c.value; });
    return t;
}

double niceStep(double span, int targetTicks) {
    if (!std::isfinite(span) || span <= 0.0) return 1.0;
    const double raw = span / std::max(1, targetTicks);
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / mag;
    for (const double nice : {1.0, 2.0, 2.5, 5.0}) {
        if (norm <= nice * (1.0 + kRelEps)) return nice * mag;
    }
    return 10.0 * mag;
}

AxisBounds niceBounds(AxisBounds bounds, int targetTicks) {
    const AxisBounds b = padAxisBounds(bounds.min, bounds.max, false);
    const double step = niceStep(b.max - b.min, targetTicks);
    AxisBounds r{std::floor(b.min / step + kRelEps) * step, std::ceil(b.max / step - kRelEps) * step};
    // Where the multiples are not representable any more, keep the plain bounds.
    if (!(r.min <= b.min + step * kRelEps) || !(r.max >= b.max - step * kRelEps) || !(r.max > r.min))
        return b;
    // A multiple one rounding error inside the data would cut off the extreme point.
    r.min = std::min(r.min, b.min);
    r.max = std::max(r.max, b.max);
    return r;
}

AxisTicks linearAxisTicksWithStep(AxisBounds bounds, double step) {
    AxisTicks t;
    if (!std::isfinite(step) || step <= 0.0) return t;
    const double i0 = std::ceil(bounds.min / step - kRelEps);
    const double i1 = std::floor(bounds.max / step + kRelEps);
    if (!(i1 >= i0) || i1 - i0 > kMaxTicks) return t;
    // Counted, not stepped: above 2^53 adding 1 to a double no longer changes it.
    const auto n = static_cast<int>(i1 - i0);
    for (int k = 0; k <= n; ++k) {
        const double i = i0 + k;
        double v = i * step;
        if (std::fabs(v) < step * kRelEps) v = 0.0;
        t.grid.push_back({v, false});
        t.labels.push_back({v, formatTickValue(v, step), std::fmod(std::fabs(i), 2.0) == 0.0 ? 0 : 1});
    }
    return t;
}

AxisTicks linearAxisTicks(AxisBounds bounds, int targetTicks) {
    const AxisBounds b = padAxisBounds(bounds.min, bounds.max, false);
    return linearAxisTicksWithStep(b, niceStep(b.max - b.min, targetTicks));
}

std::string formatTickValue(double value, double step) {
    if (!std::isfinite(value)) return {};
    if (!std::isfinite(step) || step <= 0.0) step = value != 0.0 ? std::fabs(value) : 1.0;
    int decimals = 0;
    for (; decimals <= 12; ++decimals) {
        const double s = step * std::pow(10.0, decimals);
        if (std::fabs(s - std::round(s)) <= 1e-6 * s) break;
    }
    if (decimals > 12 || std::fabs(value) >= 1e15) return printed("%g", value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return trimZeros(buf);
}

} // namespace harlox
