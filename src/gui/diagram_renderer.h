#pragma once

#include "core/axis_ticks.h"
#include "core/diagram_model.h"

#include <QColor>
#include <QPen>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QImage;
class QPainter;

namespace harlox {

// A curve that brings its own x values (the snapshot's slots, each copied from the grid of
// its day). Drawn after the model's curves; the arrays belong to the caller.
struct ExtraCurve {
    const double* x = nullptr;
    const double* y = nullptr;
    int count = 0;
    double offset = 0.0; // added to every y value
    Pen pen;
    QString label; // names the curve in the cursor read-out
};

// One row of a legend table under the plot. The columns sit where they sit in a window
// 1200 logical units wide (see LegendTable), so every row lines up whatever its texts.
struct LegendRow {
    QString number; // empty: no number
    Pen pen;
    QString text;
    QString right; // the right-hand column
};

// Column positions of a legend table, in units of a 1200-unit-wide window.
struct LegendTable {
    double numberX = 70.0;
    double lineX0 = 90.0;
    double lineX1 = 190.0;
    double textX = 210.0;
    double rightX = 1020.0;
    static constexpr double kWidth = 1200.0;
};

// One row of a colour map: a ray at an angle and its level in dB at each of the model's
// x values. The array belongs to the caller.
struct SurfaceRay {
    double angle = 0.0; // degrees
    const double* level = nullptr;
};

// A colour map drawn in place of the curves: x as the model's, y the ray angle, each ray a
// band reaching halfway to its neighbours, the colour its level on a scale from top - span
// (the coldest colour, and everything below it) to top.
struct SurfaceMap {
    std::vector<SurfaceRay> rays; // any order; none gives an empty plot with a note
    double top = 0.0;             // dB
    double span = 30.0;           // dB
    // The speaker turned upside down: a ray at +30 is drawn (and read out) at -30.
    bool flip = false;
};

struct RenderOptions {
    // Target units per screen pixel of the reference 560 x 380 window. 0 derives it from the
    // target's area, so a large image or a print frame looks like an enlarged window.
    double unit = 0.0;
    // Printing: no background fill (the paper is white) and no cursor read-out.
    bool printing = false;
    // The print-diagrams page writes each title above its frame itself.
    bool drawTitle = true;
    // Axis ranges taken as they are, in place of the model's automatic ones.
    std::optional<AxisRange> xRange;
    std::optional<AxisRange> yRange;
    std::vector<ExtraCurve> extraCurves;
    // Rows of a legend table under the plot, after the curve labels' legend above it.
    std::vector<LegendRow> legendRows;
    LegendTable legendTable;
    // The model's curve labels as the legend and the read-out show them; unset shows them as
    // they are.
    std::function<QString(const QString&)> relabel;
    // A colour map in place of the curves (and the phase) of the model.
    std::optional<SurfaceMap> surface;
};

// Adds what a window draws beyond its model to the options of a render.
using RenderOptionsHook = std::function<void(RenderOptions&)>;

// Where one render put the plot area and how values map onto it; the view uses it to turn
// a mouse position into a cursor frequency.
struct DiagramLayout {
    QRectF plot;
    AxisMapping x;
    AxisMapping y;
    double unit = 1.0;
};

// The one drawing routine for diagram models: window, image, SVG and printer.
class DiagramRenderer {
public:
    static constexpr int kReferenceWidth = 560;
    static constexpr int kReferenceHeight = 380;

    static DiagramLayout render(QPainter& painter, const QRectF& target, const DiagramModel& model,
                                const RenderOptions& options = {});
    // The geometry render would use, without drawing.
    static DiagramLayout layout(const QRectF& target, const DiagramModel& model,
                                const RenderOptions& options = {});

    // sqrt(area / reference area), never below 0.5.
    static double autoUnit(const QSizeF& size);
    static QColor color(PenColor c);
    static QColor phaseColor();
    // The colour map's scale at t, 0 (coldest) .. 1 (hottest), clamped; NaN gives the colour
    // of a cell without a value.
    static QColor levelColor(double t);
    // The note of a colour map without rays.
    static QString noRaysNote();
    // The pen of a curve at the given unit (Thick is 3 units, the others 1.5).
    static QPen qpen(const Pen& pen, double unit);

    // A white image of the given size (device-independent pixels) with the diagram.
    static QImage toImage(const DiagramModel& model, const QSize& size, const RenderOptions& options = {},
                          qreal devicePixelRatio = 1.0);
    // Writes PNG or SVG by the file name's extension, atomically. Needs a QGuiApplication.
    [[nodiscard]] static bool saveToFile(const DiagramModel& model, const QString& path, const QSize& size,
                                         QString* error = nullptr, const RenderOptions& options = {});

    // The value of curve c (or of the phase with c == -1) at x, interpolated between the
    // neighbouring finite points; NaN outside the curve. Divided by the model's y divisor.
    static double valueAt(const DiagramModel& model, int c, double x);
    // The same for a curve with its own x values, its offset added.
    static double valueAt(const ExtraCurve& curve, double x, bool logX);
};

} // namespace harlox
