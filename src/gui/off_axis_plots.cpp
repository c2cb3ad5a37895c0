#include "gui/off_axis_plots.h"

#include "filter/general.h"
#include "filter/xover.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace harlox {

namespace {

// "%+d" of the mirrored angle; a label that is no angle stays as it is.
QString flippedAngleLabel(const QString& label) {
    bool ok = false;
    const int angle = label.trimmed().toInt(&ok);
    return ok ? QString::asprintf("%+d", -angle) : label;
}

} // namespace

SurfaceMap surfaceMap(const TXover& project) {
    const TGeneral& g = project.General();
    const AxisScale shown = project.XRange();
    const double* f = g.frequency().data();
    SurfaceMap map;
    map.span = TXover::SurfaceLevelScale();
    map.flip = g.flip != 0;
    double top = -HUGE_VAL;
    for (const int k : project.SurfaceRays()) {
        if (k < 0 || k >= TXover::kRays || k >= g.surfaceCount()) continue;
        const double* level = project.RayDb()[k].data();
        map.rays.push_back({static_cast<double>(g.surfaceAngle(k)), level});
        for (int i = 0; i < TXover::kPoints; ++i) {
            if (f[i] >= shown.bottom && f[i] <= shown.top && std::isfinite(level[i])) top = std::max(top, level[i]);
        }
    }
    // A whole dB keeps the scale's labels round numbers.
    map.top = std::isfinite(top) ? std::ceil(top) : 0.0;
    return map;
}

RenderOptionsHook surfacePlotHook(const TXover& project) {
    return [&project](RenderOptions& o) {
        const AxisScale x = project.XRange();
        if (x.bottom > 0.0 && x.top > x.bottom) o.xRange = AxisRange{x.bottom, x.top, true};
        o.surface = surfaceMap(project);
    };
}

RenderOptionsHook overlayPlotHook(const TXover& project) {
    return [&project](RenderOptions& o) {
        if (project.General().flip != 0) o.relabel = flippedAngleLabel;
    };
}

} // namespace harlox
