#include "core/diagram_model.h"

#include "core/binary_io.h"

#include <cmath>
#include <limits>

namespace harlox {

namespace {
constexpr double kFixedRangeThreshold = 1e-9;

std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, std::min(s.size(), n - 1))); }
} // namespace

bool WindowPlacement::write(BinaryWriter& w) const {
    static constexpr const char* kNames[10] = {"flags",  "show",      "minimisedX", "minimisedY", "maximisedX",
                                               "maximisedY", "left", "top",        "right",      "bottom"};
    for (std::size_t i = 0; i < v.size(); ++i) w.i16(v[i], kNames[i]);
    return w.ok();
}

bool WindowPlacement::read(BinaryReader& r) {
    std::array<std::int16_t, 10> t{};
    for (auto& x : t) {
        if (!r.i16(x)) return false;
    }
    v = t;
    return true;
}

DiagramModel::DiagramModel(std::string_view title, std::string_view xUnit, std::string_view yUnit)
    : title_(title), xUnit_(xUnit), yUnit_(yUnit) {}

void DiagramModel::setUnits(std::string_view xUnit, std::string_view yUnit) {
    xUnit_ = xUnit;
    yUnit_ = yUnit;
}

int DiagramModel::addCurve(const double* y, Pen pen, std::string_view label, int flag) {
    if (curveCount_ >= kMaxCurves) return -1;
    curves_[static_cast<std::size_t>(curveCount_)] = Curve{y, pen, cut(label, kLabelSize + 1), flag};
    return curveCount_++;
}

void DiagramModel::setCurveLabel(int i, std::string_view label) {
    if (i >= 0 && i < curveCount_) curves_[static_cast<std::size_t>(i)].label = cut(label, kLabelSize + 1);
}

void DiagramModel::setCurveData(int i, const double* y) {
    if (i >= 0 && i < curveCount_) curves_[static_cast<std::size_t>(i)].y = y;
}

void DiagramModel::setNote(std::string_view note) { note_ = cut(note, kNoteSize); }

AxisRange DiagramModel::xRange() const {
    AxisRange r;
    if (!x_) return r;
    if (scaledX_ && scaledX_->valid) return *scaledX_;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (int i = 0; i < pointCount_; ++i) {
        const double v = x_[i];
        if (!std::isfinite(v) || (logX_ && v <= 0.0)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (hi < lo) return r;
    r.valid = true;
    r.max = hi;
    r.min = fixedX_ > kFixedRangeThreshold ? hi - fixedX_ : lo;
    return r;
}

AxisRange DiagramModel::yRange() const {
    AxisRange r;
    const AxisRange xr = xRange();
    if (!xr.valid) return r;
    if (scaledY_ && scaledY_->valid) return *scaledY_;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (int c = 0; c < curveCount_; ++c) {
        const double* y = curves_[static_cast<std::size_t>(c)].y;
        if (!y) continue;
        for (int i = 0; i < pointCount_; ++i) {
            const double x = x_[i];
            if (!(x >= xr.min && x <= xr.max) || !std::isfinite(y[i])) continue;
            lo = std::min(lo, y[i]);
            hi = std::max(hi, y[i]);
        }
    }
    if (hi < lo) return r;
    if (fixedY_ > kFixedRangeThreshold) {
        const double top = hi + fixedY_ / 30.0;
        hi = top;
        lo = top - fixedY_;
    }
    const double d = yDivisor_ != 0.0 ? yDivisor_ : 1.0;
    r.min = lo / d;
    r.max = hi / d;
    if (r.min > r.max) std::swap(r.min, r.max);
    r.valid = true;
    return r;
}

bool DiagramModel::writeRecord(BinaryWriter& w) const {
    writeGroup(w, "placement", [&] { return placement.write(w); });
    return w.textBlock(note_, kNoteSize, "note");
}

bool DiagramModel::readRecord(BinaryReader& r) {
    WindowPlacement p;
    std::string note;
    if (!p.read(r) || !r.textBlock(note, kNoteSize)) return false;
    placement = p;
    note_ = note;
    return true;
}

} // namespace harlox
