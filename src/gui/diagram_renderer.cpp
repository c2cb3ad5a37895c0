#include "gui/diagram_renderer.h"

#include "core/format.h"
#include "gui/model_text.h"
#include "gui/picture_file.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace harlox {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFixedRangeThreshold = 1e-9; // as in the model: a fixed span above this is used
constexpr double kPhaseSpan = 180.0;
// A colour map row has at most this many cells across; wider plots stretch them.
constexpr int kMaxMapColumns = 2048;
// The half height of the band of a lone ray, degrees.
constexpr double kLoneBandHalf = 5.0;

QColor backgroundColor() {
    return {255, 255, 255};
}
QColor minorGridColor() {
    return {0xE4, 0xE4, 0xE4};
}
QColor majorGridColor() {
    return {0xB0, 0xB0, 0xB0};
}
QColor frameColor() {
    return {0x78, 0x78, 0x78};
}
QColor textColor() {
    return {0x1E, 0x1E, 0x1E};
}
QColor mutedTextColor() {
    return {0x55, 0x55, 0x55};
}
QColor cursorColor() {
    return {0x40, 0x40, 0x40};
}

QString phaseUnit() {
    return QStringLiteral("deg");
}

// One ray of a colour map: its band on the angle axis.
struct Band {
    double angle = 0.0; // as drawn (flipped when the map is)
    double lo = 0.0;
    double hi = 0.0;
    const double* level = nullptr;
};

struct LegendEntry {
    QString text;
    QPen pen;
    QPointF origin; // left end of the pen sample, on the text's middle line
};

// Everything one render needs, computed before anything is drawn.
struct Frame {
    double u = 1.0;
    QFont font;
    QFont titleFont;
    QFont noteFont;
    double lineH = 12.0;
    double pad = 8.0;
    double labelGap = 5.0;
    QRectF target;
    QRectF plot;
    bool ok = false; // false when the target is too small to hold a plot
    QString title;
    QRectF titleRect;
    bool logX = true;
    bool showPhase = false;
    AxisMapping x;
    AxisMapping y;
    AxisMapping phase;
    AxisTicks xTicks;
    AxisTicks yTicks;
    AxisTicks phaseTicks;
    std::vector<AxisTick> xLabels;
    std::vector<AxisTick> yLabels;
    std::vector<AxisTick> phaseLabels;
    std::vector<LegendEntry> legend;
    std::vector<LegendRow> rows; // texts already cut to their columns
    double rowsTop = 0.0;
    double rowH = 12.0;
    double rowsRightX = 0.0;
    QString xUnit;
    QString yUnit;
    QString note;
    // Colour map: the bands by rising angle, the colour bar right of the plot.
    bool surface = false;
    std::vector<Band> bands;
    QRectF barRect;
    AxisMapping bar;
    AxisTicks barTicks;
    std::vector<AxisTick> barLabels;
    QString barUnit;
};

// The bands of a map by rising angle, each reaching halfway to its neighbours; the outer
// ones reach as far out as in.
std::vector<Band> mapBands(const SurfaceMap& map) {
    std::vector<Band> bands;
    for (const SurfaceRay& r : map.rays) {
        if (!std::isfinite(r.angle)) continue;
        bands.push_back({map.flip ? -r.angle : r.angle, 0.0, 0.0, r.level});
    }
    std::stable_sort(bands.begin(), bands.end(), [](const Band& a, const Band& b) { return a.angle < b.angle; });
    const std::size_t n = bands.size();
    for (std::size_t i = 0; i < n; ++i) {
        Band& b = bands[i];
        const double below = i > 0 ? (b.angle - bands[i - 1].angle) / 2.0 : kNaN;
        const double above = i + 1 < n ? (bands[i + 1].angle - b.angle) / 2.0 : kNaN;
        const double lone = n == 1 ? kLoneBandHalf : 0.0;
        b.lo = b.angle - (i > 0 ? below : (n > 1 ? above : lone));
        b.hi = b.angle + (i + 1 < n ? above : (n > 1 ? below : lone));
    }
    return bands;
}

// Labels at the rays' angles: the outer rays and 0 degrees keep theirs longest.
AxisTicks bandTicks(const std::vector<Band>& bands) {
    AxisTicks t;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const double a = bands[i].angle;
        const bool key = i == 0 || i + 1 == bands.size() || a == 0.0;
        t.labels.push_back({a, strprintf("%+d", static_cast<int>(std::lround(a))), key ? 0 : 1 + int(i % 2)});
    }
    return t;
}

AxisBounds barBounds(const SurfaceMap& map) {
    const double span = std::isfinite(map.span) && map.span > 0.0 ? map.span : 30.0;
    const double top = std::isfinite(map.top) ? map.top : 0.0;
    return {top - span, top};
}

QString curveLabel(const DiagramModel& m, const RenderOptions& o, int c) {
    const QString label = fromModelText(m.curve(c).label);
    return o.relabel ? o.relabel(label) : label;
}

double textWidth(const QFontMetricsF& fm, const QString& s) {
    return fm.horizontalAdvance(s);
}

// Picks the densest set of labels (by rank) that neither overlap nor leave [lo, hi].
// extent(label) is the label's size along the axis; pos(value) its centre.
template <class Pos, class Extent>
std::vector<AxisTick> selectLabels(const std::vector<AxisTick>& all, Pos pos, Extent extent, double lo,
                                   double hi, double minGap) {
    int maxRank = 0;
    for (const AxisTick& t : all)
        maxRank = std::max(maxRank, t.rank);
    const auto fits = [&](const AxisTick& t) {
        const double c = pos(t.value);
        const double e = extent(t) / 2.0;
        return std::isfinite(c) && c - e >= lo - 0.5 && c + e <= hi + 0.5;
    };
    const auto apart = [&](const AxisTick& a, const AxisTick& b) {
        return std::fabs(pos(b.value) - pos(a.value)) >= (extent(a) + extent(b)) / 2.0 + minGap;
    };
    for (int r = maxRank; r >= 0; --r) {
        std::vector<AxisTick> chosen;
        for (const AxisTick& t : all) {
            if (t.rank <= r && fits(t)) chosen.push_back(t);
        }
        bool clear = true;
        for (std::size_t i = 1; i < chosen.size() && clear; ++i)
            clear = apart(chosen[i - 1], chosen[i]);
        if (clear) return chosen;
    }
    std::vector<AxisTick> greedy;
    for (const AxisTick& t : all) {
        if (t.rank == 0 && fits(t) && (greedy.empty() || apart(greedy.back(), t))) greedy.push_back(t);
    }
    return greedy;
}

double maxLabelWidth(const QFontMetricsF& fm, const AxisTicks& t) {
    double w = 0.0;
    for (const AxisTick& l : t.labels)
        w = std::max(w, textWidth(fm, QString::fromStdString(l.label)));
    return w;
}

// Snaps a line position to the middle of a device pixel so 1-unit grid lines stay crisp.
double crisp(double p, double width) {
    return std::round(p - width / 2.0) + width / 2.0;
}

double tableX(const Frame& f, double logical) {
    return f.target.left() + logical * f.target.width() / LegendTable::kWidth;
}

// Places the right-hand column of a legend table (one position for all rows, whole and
// inside the target) and cuts the row texts to the room left of it.
void layoutLegendRows(Frame& f, const RenderOptions& o) {
    const QFontMetricsF fm(f.font);
    const LegendTable& t = o.legendTable;
    const double gap = 8.0 * f.u;
    f.rows = o.legendRows;
    const double textX = tableX(f, t.textX);
    double rightW = 0.0;
    for (const LegendRow& r : f.rows)
        rightW = std::max(rightW, textWidth(fm, r.right));
    f.rowsRightX = std::max(textX, std::min(tableX(f, t.rightX), f.target.right() - f.pad - rightW));
    const double room = std::max(0.0, f.rowsRightX - gap - textX);
    for (LegendRow& r : f.rows) {
        if (textWidth(fm, r.text) > room) r.text = fm.elidedText(r.text, Qt::ElideRight, room);
    }
}

Frame computeFrame(const QRectF& target, const DiagramModel& m, const RenderOptions& o) {
    Frame f;
    f.target = target;
    f.u = o.unit > 0.0 ? o.unit : DiagramRenderer::autoUnit(target.size());
    const double fontPx = std::max(9.0, 12.0 * f.u);
    // The generic name also keeps SVG files readable in browsers.
    f.font.setFamilies({QStringLiteral("sans-serif")});
    f.font.setStyleHint(QFont::SansSerif);
    f.font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontPx))));
    f.titleFont = f.font;
    f.titleFont.setBold(true);
    f.titleFont.setPixelSize(std::max(1, static_cast<int>(std::lround(fontPx * 1.2))));
    f.noteFont = f.font;
    f.noteFont.setItalic(true);
    const QFontMetricsF fm(f.font);
    const QFontMetricsF tfm(f.titleFont);
    f.lineH = fm.height();
    f.pad = 8.0 * f.u;
    f.labelGap = 5.0 * f.u;

    f.title = o.drawTitle ? fromModelText(m.title()) : QString();
    f.xUnit = fromModelText(m.xUnit());
    f.yUnit = fromModelText(m.yUnit());
    f.note = fromModelText(m.note());
    f.logX = m.logX();
    f.showPhase = m.phaseShown();
    const SurfaceMap* map = o.surface ? &*o.surface : nullptr;
    if (map) {
        f.surface = true;
        f.showPhase = false;
        f.barUnit = f.yUnit.isEmpty() ? QStringLiteral("dB") : f.yUnit;
        f.yUnit = QStringLiteral("deg");
        f.bands = mapBands(*map);
    }

    // Vertical bands that do not depend on the plot width.
    double top = target.top() + f.pad;
    if (!f.title.isEmpty()) {
        f.titleRect = QRectF(target.left() + f.pad, top, target.width() - 2 * f.pad, tfm.height());
        top += tfm.height() + 3.0 * f.u;
    }
    // A legend table takes its rows off the bottom, below the x unit.
    f.rowH = f.lineH * 1.1;
    const double rowsHeight =
        o.legendRows.empty() ? 0.0 : static_cast<double>(o.legendRows.size()) * f.rowH + 4.0 * f.u;
    const double plotBottom =
        target.bottom() - f.pad - rowsHeight - f.lineH /* unit and note */ - f.lineH - f.labelGap;
    f.rowsTop = plotBottom + f.labelGap + 2.0 * f.lineH + 4.0 * f.u;

    // Legend entries.
    std::vector<LegendEntry> entries;
    // A map names its rays on the angle axis.
    for (int c = 0; !map && c < std::min(m.curveCount(), DiagramModel::kMaxCurves); ++c) {
        const DiagramModel::Curve& cv = m.curve(c);
        if (!cv.y || cv.label.empty()) continue;
        entries.push_back({curveLabel(m, o, c), DiagramRenderer::qpen(cv.pen, f.u), {}});
    }
    if (f.showPhase) {
        QPen pp(DiagramRenderer::phaseColor(), 1.5 * f.u);
        entries.push_back({QStringLiteral("Phase"), pp, {}});
    }
    const double sampleLen = 22.0 * f.u;
    const double sampleGap = 5.0 * f.u;
    const double entryGap = 14.0 * f.u;
    const double legendIndent = 4.0 * f.u; // keeps the first entry clear of the y unit

    const AxisRange xr = o.xRange ? *o.xRange : m.xRange();
    const AxisBounds xb =
        xr.valid ? padAxisBounds(xr.min, xr.max, f.logX) : padAxisBounds(kNaN, kNaN, f.logX);
    AxisRange yr = o.yRange ? *o.yRange : m.yRange();
    bool fixedY = o.yRange.has_value() || m.fixedYRange() > kFixedRangeThreshold;
    if (map) {
        yr = f.bands.empty() ? AxisRange{-1.0, 1.0, true}
                             : AxisRange{f.bands.front().lo, f.bands.back().hi, true};
        fixedY = true;
    }
    const bool mapBar = map && !f.bands.empty();
    const AxisBounds levels = map ? barBounds(*map) : AxisBounds{};
    const double barGap = 10.0 * f.u;
    const double barWidth = 12.0 * f.u;
    const AxisBounds yRaw =
        yr.valid ? padAxisBounds(yr.min, yr.max, false) : padAxisBounds(kNaN, kNaN, false);

    // The tick labels set the margins and the margins set the room for ticks: two passes settle it.
    int legendRows = 1;
    double plotTop = top + f.lineH * 1.5 + 3.0 * f.u;
    double left = target.left() + f.pad;
    double right = target.right() - f.pad;
    AxisBounds yb = yRaw;
    double yStep = 1.0;
    for (int pass = 0; pass < 2; ++pass) {
        const double plotH = plotBottom - plotTop;
        const int yTarget = std::clamp(static_cast<int>(plotH / (2.4 * f.lineH)), 2, 14);
        yStep = niceStep(yRaw.max - yRaw.min, yTarget);
        yb = fixedY ? yRaw : niceBounds(yRaw, yTarget);
        f.yTicks = map ? bandTicks(f.bands) : linearAxisTicksWithStep(yb, yStep);
        if (mapBar) f.barTicks = linearAxisTicks(levels, yTarget);
        const double phaseStep = plotH / 8.0 >= 2.2 * f.lineH ? 45.0 : 90.0;
        f.phaseTicks =
            f.showPhase ? linearAxisTicksWithStep({-kPhaseSpan, kPhaseSpan}, phaseStep) : AxisTicks{};

        const double yLabelW = std::max(maxLabelWidth(fm, f.yTicks), textWidth(fm, f.yUnit));
        left = target.left() + f.pad + yLabelW + f.labelGap;
        if (f.showPhase) {
            const double pw = std::max(maxLabelWidth(fm, f.phaseTicks), textWidth(fm, phaseUnit()));
            right = target.right() - f.pad - pw - f.labelGap;
        } else if (mapBar) {
            const double lw = std::max(maxLabelWidth(fm, f.barTicks), textWidth(fm, f.barUnit));
            right = target.right() - f.pad - lw - f.labelGap - barWidth - barGap;
        } else {
            // room for half of a label centred on the last grid line
            right = target.right() - f.pad - textWidth(fm, QStringLiteral("20k")) / 2.0;
        }
        left = std::max(left, target.left() + f.pad + textWidth(fm, QStringLiteral("20k")) / 2.0);

        // Flow the legend over the plot width.
        const double avail = std::max(1.0, right - left - legendIndent);
        double cx = 0.0;
        int row = 0;
        for (LegendEntry& e : entries) {
            const double maxText = std::max(0.0, avail - sampleLen - sampleGap);
            if (textWidth(fm, e.text) > maxText) e.text = fm.elidedText(e.text, Qt::ElideRight, maxText);
            const double w = sampleLen + sampleGap + textWidth(fm, e.text);
            if (cx > 0.0 && cx + w > avail) {
                ++row;
                cx = 0.0;
            }
            e.origin = QPointF(left + legendIndent + cx, top + row * f.lineH + f.lineH / 2.0);
            cx += w + entryGap;
        }
        legendRows = row + 1;
        // The half line keeps the axis units clear of the top tick labels.
        plotTop = top + legendRows * f.lineH + f.lineH * 0.5 + 3.0 * f.u;
    }
    f.legend = std::move(entries);
    layoutLegendRows(f, o);

    f.plot = QRectF(QPointF(left, plotTop), QPointF(right, plotBottom));
    f.ok = f.plot.width() >= 8.0 && f.plot.height() >= 8.0;
    if (!f.ok) return f;

    f.x = AxisMapping(xb, f.plot.left(), f.plot.right(), f.logX);
    f.y = AxisMapping(yb, f.plot.bottom(), f.plot.top(), false);
    f.phase = AxisMapping({-kPhaseSpan, kPhaseSpan}, f.plot.bottom(), f.plot.top(), false);

    if (f.logX) {
        f.xTicks = logAxisTicks(xb);
    } else {
        const double xLabelW = std::max(textWidth(fm, QString::fromStdString(formatTickValue(xb.min, 1))),
                                        textWidth(fm, QString::fromStdString(formatTickValue(xb.max, 1))));
        const int xTarget = std::clamp(static_cast<int>(f.plot.width() / (xLabelW + 5.0 * fontPx)), 2, 12);
        f.xTicks = linearAxisTicks(xb, xTarget);
    }

    const double gap = 0.6 * fontPx;
    const auto width = [&fm](const AxisTick& t) { return textWidth(fm, QString::fromStdString(t.label)); };
    const auto height = [&f](const AxisTick&) { return f.lineH; };
    f.xLabels = selectLabels(
        f.xTicks.labels, [&f](double v) { return f.x.toPixel(v); }, width, target.left() + f.pad / 2.0,
        target.right() - f.pad / 2.0, gap);
    f.yLabels = selectLabels(
        f.yTicks.labels, [&f](double v) { return f.y.toPixel(v); }, height, f.plot.top() - f.lineH / 2.0,
        f.plot.bottom() + f.lineH / 2.0, 0.15 * f.lineH);
    f.phaseLabels = selectLabels(
        f.phaseTicks.labels, [&f](double v) { return f.phase.toPixel(v); }, height,
        f.plot.top() - f.lineH / 2.0, f.plot.bottom() + f.lineH / 2.0, 0.15 * f.lineH);
    if (mapBar) {
        f.barRect = QRectF(f.plot.right() + barGap, f.plot.top(), barWidth, f.plot.height());
        f.bar = AxisMapping(levels, f.barRect.bottom(), f.barRect.top(), false);
        f.barLabels = selectLabels(
            f.barTicks.labels, [&f](double v) { return f.bar.toPixel(v); }, height,
            f.plot.top() - f.lineH / 2.0, f.plot.bottom() + f.lineH / 2.0, 0.15 * f.lineH);
    }
    return f;
}

// Over a colour map the lines are see-through white, so the colours stay readable.
void drawGrid(QPainter& p, const Frame& f, bool overMap = false) {
    const double w = 1.0 * f.u;
    QPen minor(overMap ? QColor(255, 255, 255, 45) : minorGridColor(), w);
    QPen major(overMap ? QColor(255, 255, 255, 110) : majorGridColor(), w);
    minor.setCapStyle(Qt::FlatCap);
    major.setCapStyle(Qt::FlatCap);
    const QRectF& r = f.plot;

    p.setPen(minor);
    for (const GridLine& g : f.yTicks.grid) {
        const double py = f.y.toPixel(g.value);
        if (!std::isfinite(py) || py < r.top() - 0.5 || py > r.bottom() + 0.5) continue;
        const double c = crisp(py, w);
        p.drawLine(QPointF(r.left(), c), QPointF(r.right(), c));
    }
    for (const bool majorPass : {false, true}) {
        p.setPen(majorPass ? major : minor);
        for (const GridLine& g : f.xTicks.grid) {
            if (g.major != majorPass) continue;
            const double px = f.x.toPixel(g.value);
            if (!std::isfinite(px) || px < r.left() - 0.5 || px > r.right() + 0.5) continue;
            const double c = crisp(px, w);
            p.drawLine(QPointF(c, r.top()), QPointF(c, r.bottom()));
        }
    }
    QPen frame(frameColor(), w);
    frame.setJoinStyle(Qt::MiterJoin);
    p.setPen(frame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(QPointF(crisp(r.left(), w), crisp(r.top(), w)),
                      QPointF(crisp(r.right(), w), crisp(r.bottom(), w))));
}

// Widest curve pen, in pixels, that a window draws as a one-pixel line: the raster engine
// draws that many times faster than a stroked outline, so a window full of curves repaints
// within a frame. Printers, SVG, scaled painters and wider pens keep the stroked width.
constexpr double kHairlineWidth = 1.6;

bool drawsHairlines(const QPainter& p, const RenderOptions& o) {
    const QPaintDevice* d = p.device();
    if (o.printing || !d || p.worldTransform().isScaling()) return false;
    const int type = d->devType();
    return type == QInternal::Widget || type == QInternal::Image || type == QInternal::Pixmap;
}

QPen curvePen(QPen q, bool hairlines) {
    if (hairlines && q.widthF() <= kHairlineWidth) {
        q.setCosmetic(true);
        q.setWidthF(1.0);
    }
    return q;
}

// One polyline per run of drawable points; a lone point becomes a dot. Phase runs also break
// where the curve wraps around +-180 degrees.
void drawSeries(QPainter& p, const Frame& f, const double* x, const double* y, int n, double divisor,
                const AxisMapping& ym, const QPen& pen, bool wraps, double offset = 0.0) {
    if (!x || !y || n <= 0) return;
    const double far = 100.0 * (f.plot.width() + f.plot.height());
    QPolygonF run;
    double previous = kNaN;
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const auto flush = [&] {
        if (run.size() == 1) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(pen.color());
            const double r = std::max(pen.widthF(), 2.0 * f.u);
            p.drawEllipse(run.front(), r, r);
            p.restore();
        } else if (run.size() > 1) {
            p.drawPolyline(run);
        }
        run.clear();
    };
    for (int i = 0; i < n; ++i) {
        const double v = y[i] / divisor + offset;
        const double px = f.x.toPixel(x[i]);
        const double py = ym.toPixel(v);
        if (!std::isfinite(px) || !std::isfinite(py)) {
            flush();
            continue;
        }
        if (wraps && !run.isEmpty() && std::fabs(v - previous) > kPhaseSpan) flush();
        run << QPointF(std::clamp(px, f.plot.left() - far, f.plot.right() + far),
                       std::clamp(py, f.plot.top() - far, f.plot.bottom() + far));
        previous = v;
    }
    flush();
}

void drawText(QPainter& p, const QRectF& r, int flags, const QString& s) {
    p.drawText(r, flags | Qt::TextDontClip, s);
}

// The level at xv, interpolated between its neighbours (in log x on a log axis); NaN outside
// the data. The x values rise, so j, the left neighbour of the last call, only moves on.
double sweepAt(const double* x, const double* y, int n, double xv, bool logX, int& j) {
    if (!x || !y || n < 2 || !std::isfinite(xv)) return kNaN;
    while (j + 2 < n && !(x[j + 1] >= xv))
        ++j;
    const double x0 = x[j];
    const double x1 = x[j + 1];
    if (!(xv >= x0 && xv <= x1)) return kNaN;
    const double y0 = y[j];
    const double y1 = y[j + 1];
    double t = 0.0;
    if (x1 > x0) t = logX && x0 > 0.0 ? std::log(xv / x0) / std::log(x1 / x0) : (xv - x0) / (x1 - x0);
    if (y0 == y1) return y0; // also keeps -inf (no output) from turning into NaN
    if (!std::isfinite(y0) || !std::isfinite(y1)) return t < 0.5 ? y0 : y1;
    return y0 + t * (y1 - y0);
}

// One image row per band, stretched over its band: crisp band edges at any scale, and an
// SVG holds one small picture per ray instead of thousands of rectangles.
void drawSurface(QPainter& p, const Frame& f, const DiagramModel& m) {
    if (f.bands.empty()) {
        drawGrid(p, f);
        p.setFont(f.noteFont);
        p.setPen(mutedTextColor());
        drawText(p, f.plot, Qt::AlignCenter, DiagramRenderer::noRaysNote());
        return;
    }
    const int columns = std::clamp(static_cast<int>(std::ceil(f.plot.width())), 2, kMaxMapColumns);
    std::vector<double> xs(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i)
        xs[static_cast<std::size_t>(i)] = f.x.toValue(f.plot.left() + (i + 0.5) * f.plot.width() / columns);
    const AxisBounds lv = f.bar.bounds();
    const double span = lv.max - lv.min;
    p.save();
    p.setClipRect(f.plot, Qt::IntersectClip);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const Band& b : f.bands) {
        QImage row(columns, 1, QImage::Format_RGB32);
        auto* px = reinterpret_cast<QRgb*>(row.scanLine(0));
        int j = 0;
        for (int i = 0; i < columns; ++i) {
            const double v = sweepAt(m.x(), b.level, m.pointCount(), xs[static_cast<std::size_t>(i)], f.logX, j);
            px[i] = DiagramRenderer::levelColor((v - lv.min) / span).rgb();
        }
        const double top = f.y.toPixel(b.hi);
        const double bottom = f.y.toPixel(b.lo);
        p.drawImage(QRectF(f.plot.left(), top, f.plot.width(), bottom - top), row);
    }
    // Thin seams between the bands, so neighbouring rays of alike level stay apart.
    QPen seam(QColor(255, 255, 255, 120), 1.0 * f.u);
    seam.setCapStyle(Qt::FlatCap);
    p.setPen(seam);
    for (std::size_t i = 1; i < f.bands.size(); ++i) {
        const double c = crisp(f.y.toPixel(f.bands[i].lo), seam.widthF());
        p.drawLine(QPointF(f.plot.left(), c), QPointF(f.plot.right(), c));
    }
    p.restore();
    drawGrid(p, f, true);
}

void drawColourBar(QPainter& p, const Frame& f) {
    if (f.barRect.isEmpty()) return;
    QLinearGradient g(f.barRect.bottomLeft(), f.barRect.topLeft());
    constexpr int kStops = 16;
    for (int k = 0; k <= kStops; ++k) {
        const double t = double(k) / kStops;
        g.setColorAt(t, DiagramRenderer::levelColor(t));
    }
    p.fillRect(f.barRect, g);
    const double w = 1.0 * f.u;
    p.setPen(QPen(frameColor(), w));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f.barRect);
    p.setFont(f.font);
    const double big = 10000.0 * f.u;
    const double tick = 3.0 * f.u;
    const double right = f.barRect.right();
    for (const AxisTick& t : f.barLabels) {
        const double py = f.bar.toPixel(t.value);
        p.setPen(QPen(frameColor(), w));
        p.drawLine(QPointF(right, py), QPointF(right + tick, py));
        p.setPen(textColor());
        drawText(p, QRectF(right + tick + 2.0 * f.u, py - f.lineH / 2, big, f.lineH),
                 Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(t.label));
    }
    p.setPen(mutedTextColor());
    const double unitTop = f.plot.top() - f.lineH * 1.5 - 1.0 * f.u;
    drawText(p, QRectF(f.barRect.left(), unitTop, big, f.lineH), Qt::AlignLeft | Qt::AlignVCenter, f.barUnit);
}

void drawAxes(QPainter& p, const Frame& f) {
    const QFontMetricsF fm(f.font);
    p.setFont(f.font);
    p.setPen(textColor());
    const double big = 10000.0 * f.u;
    const double labelTop = f.plot.bottom() + f.labelGap;
    for (const AxisTick& t : f.xLabels) {
        const double px = f.x.toPixel(t.value);
        drawText(p, QRectF(px - big / 2, labelTop, big, f.lineH), Qt::AlignHCenter | Qt::AlignTop,
                 QString::fromStdString(t.label));
    }
    const double yRight = f.plot.left() - f.labelGap;
    for (const AxisTick& t : f.yLabels) {
        const double py = f.y.toPixel(t.value);
        drawText(p, QRectF(yRight - big, py - f.lineH / 2, big, f.lineH), Qt::AlignRight | Qt::AlignVCenter,
                 QString::fromStdString(t.label));
    }
    // Units: above the y label columns, and centred under the x labels.
    const double unitTop = f.plot.top() - f.lineH * 1.5 - 1.0 * f.u;
    p.setPen(mutedTextColor());
    drawText(p, QRectF(yRight - big, unitTop, big, f.lineH), Qt::AlignRight | Qt::AlignVCenter, f.yUnit);
    const double bottomTop = labelTop + f.lineH;
    drawText(p, QRectF(f.plot.center().x() - big / 2, bottomTop, big, f.lineH),
             Qt::AlignHCenter | Qt::AlignTop, f.xUnit);

    if (f.showPhase) {
        p.setPen(DiagramRenderer::phaseColor());
        const double pl = f.plot.right() + f.labelGap;
        for (const AxisTick& t : f.phaseLabels) {
            const double py = f.phase.toPixel(t.value);
            drawText(p, QRectF(pl, py - f.lineH / 2, big, f.lineH), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(t.label));
        }
        drawText(p, QRectF(pl, unitTop, big, f.lineH), Qt::AlignLeft | Qt::AlignVCenter, phaseUnit());
    }

    if (!f.note.isEmpty()) {
        const QFontMetricsF nfm(f.noteFont);
        const double room = f.plot.width() / 2.0 - textWidth(fm, f.xUnit) / 2.0 - 2.0 * f.labelGap;
        if (room > nfm.averageCharWidth() * 3) {
            p.setFont(f.noteFont);
            p.setPen(mutedTextColor());
            drawText(p, QRectF(f.plot.left(), bottomTop, room, f.lineH), Qt::AlignLeft | Qt::AlignTop,
                     nfm.elidedText(f.note, Qt::ElideRight, room));
        }
    }
}

void drawLegend(QPainter& p, const Frame& f) {
    p.setFont(f.font);
    const double sampleLen = 22.0 * f.u;
    const double sampleGap = 5.0 * f.u;
    for (const LegendEntry& e : f.legend) {
        p.setPen(e.pen);
        p.drawLine(e.origin, e.origin + QPointF(sampleLen, 0));
        p.setPen(textColor());
        drawText(
            p,
            QRectF(e.origin.x() + sampleLen + sampleGap, e.origin.y() - f.lineH / 2, 10000.0 * f.u, f.lineH),
            Qt::AlignLeft | Qt::AlignVCenter, e.text);
    }
}

void drawLegendRows(QPainter& p, const Frame& f, const LegendTable& t) {
    p.setFont(f.font);
    const double big = 10000.0 * f.u;
    for (std::size_t k = 0; k < f.rows.size(); ++k) {
        const LegendRow& r = f.rows[k];
        const double top = f.rowsTop + static_cast<double>(k) * f.rowH;
        const double mid = top + f.rowH / 2.0;
        p.setPen(textColor());
        if (!r.number.isEmpty())
            drawText(p, QRectF(tableX(f, t.numberX), top, big, f.rowH), Qt::AlignLeft | Qt::AlignVCenter,
                     r.number);
        p.setPen(DiagramRenderer::qpen(r.pen, f.u));
        p.drawLine(QPointF(tableX(f, t.lineX0), mid), QPointF(tableX(f, t.lineX1), mid));
        p.setPen(textColor());
        drawText(p, QRectF(tableX(f, t.textX), top, big, f.rowH), Qt::AlignLeft | Qt::AlignVCenter, r.text);
        p.setPen(mutedTextColor());
        drawText(p, QRectF(f.rowsRightX, top, big, f.rowH), Qt::AlignLeft | Qt::AlignVCenter, r.right);
    }
}

// Four significant digits; trimmed is for the cursor position, where "63 Hz" reads better
// than "63.00 Hz", while values keep their decimals so the read-out does not jitter.
QString valueText(double v, bool trimmed = false) {
    if (!std::isfinite(v)) return QStringLiteral("-");
    const double a = std::fabs(v);
    const int decimals = a == 0.0 ? 1 : std::clamp(3 - static_cast<int>(std::floor(std::log10(a))), 0, 6);
    QString s = QString::number(v, 'f', decimals);
    if (trimmed && s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    return s;
}

// How many drawn points a read-out box at r would hide.
int hiddenPoints(const Frame& f, const DiagramModel& m, const RenderOptions& o, const QRectF& r) {
    if (f.surface) return 0;
    const double divisor = m.yDivisor() != 0.0 ? m.yDivisor() : 1.0;
    int n = 0;
    const auto count = [&](const double* x, const double* y, int points, const AxisMapping& ym, double div,
                           double offset) {
        if (!x || !y) return;
        for (int i = 0; i < points; ++i) {
            if (r.contains(QPointF(f.x.toPixel(x[i]), ym.toPixel(y[i] / div + offset)))) ++n;
        }
    };
    for (int c = 0; c < std::min(m.curveCount(), DiagramModel::kMaxCurves); ++c)
        count(m.x(), m.curve(c).y, m.pointCount(), f.y, divisor, 0.0);
    if (f.showPhase) count(m.x(), m.phase(), m.pointCount(), f.phase, 1.0, 0.0);
    for (const ExtraCurve& e : o.extraCurves)
        count(e.x, e.y, e.count, f.y, 1.0, e.offset);
    return n;
}

void drawCursor(QPainter& p, const Frame& f, const DiagramModel& m, const RenderOptions& o) {
    const double cx = m.cursorX();
    const double px = f.x.toPixel(cx);
    if (!std::isfinite(px) || px < f.plot.left() || px > f.plot.right()) return;

    QPen line(cursorColor(), 1.0 * f.u);
    line.setDashPattern({4.0, 3.0});
    line.setCapStyle(Qt::FlatCap);
    p.setPen(line);
    const double lx = crisp(px, line.widthF());
    p.drawLine(QPointF(lx, f.plot.top()), QPointF(lx, f.plot.bottom()));

    struct Row {
        QColor color;
        QString text;
    };
    std::vector<Row> rows;
    const QString xs = valueText(cx, true) + QLatin1Char(' ') + f.xUnit;
    const auto marker = [&](double py, const QColor& c) {
        if (!std::isfinite(py) || py < f.plot.top() || py > f.plot.bottom()) return;
        p.setPen(QPen(Qt::white, 1.0 * f.u));
        p.setBrush(c);
        p.drawEllipse(QPointF(px, py), 3.5 * f.u, 3.5 * f.u);
    };
    // A map reads out every ray, the highest angle first, in the colour of its cell.
    for (auto b = f.bands.rbegin(); b != f.bands.rend(); ++b) {
        int j = 0;
        const double v = sweepAt(m.x(), b->level, m.pointCount(), cx, f.logX, j);
        if (!std::isfinite(v)) continue;
        const AxisBounds lv = f.bar.bounds();
        rows.push_back({DiagramRenderer::levelColor((v - lv.min) / (lv.max - lv.min)),
                        QString::asprintf("%+d: ", static_cast<int>(std::lround(b->angle))) + valueText(v) +
                            QLatin1Char(' ') + f.barUnit});
    }
    for (int c = 0; !f.surface && c < std::min(m.curveCount(), DiagramModel::kMaxCurves); ++c) {
        const DiagramModel::Curve& cv = m.curve(c);
        if (!cv.y) continue;
        const double v = DiagramRenderer::valueAt(m, c, cx);
        if (!std::isfinite(v)) continue;
        const QColor col = DiagramRenderer::color(cv.pen.color);
        marker(f.y.toPixel(v), col);
        const QString name = cv.label.empty() ? QStringLiteral("Curve %1").arg(c + 1) : curveLabel(m, o, c);
        rows.push_back({col, name + QStringLiteral(": ") + valueText(v) + QLatin1Char(' ') + f.yUnit});
    }
    for (const ExtraCurve& e : o.extraCurves) {
        const double v = DiagramRenderer::valueAt(e, cx, f.logX);
        if (f.surface || !std::isfinite(v)) continue;
        const QColor col = DiagramRenderer::color(e.pen.color);
        marker(f.y.toPixel(v), col);
        const QString name = e.label.isEmpty() ? QStringLiteral("Curve %1").arg(rows.size() + 1) : e.label;
        rows.push_back({col, name + QStringLiteral(": ") + valueText(v) + QLatin1Char(' ') + f.yUnit});
    }
    if (f.showPhase) {
        const double v = DiagramRenderer::valueAt(m, -1, cx);
        if (std::isfinite(v)) {
            marker(f.phase.toPixel(v), DiagramRenderer::phaseColor());
            rows.push_back({DiagramRenderer::phaseColor(),
                            QStringLiteral("Phase: ") + valueText(v) + QLatin1Char(' ') + phaseUnit()});
        }
    }

    const QFontMetricsF fm(f.font);
    const double sw = 10.0 * f.u;
    double w = textWidth(fm, xs);
    for (const Row& r : rows)
        w = std::max(w, sw + 5.0 * f.u + textWidth(fm, r.text));
    const double inset = 6.0 * f.u;
    const double boxPad = 5.0 * f.u;
    const double bw = std::min(w + 2 * boxPad, f.plot.width() - 2 * inset);
    const double bh = f.lineH * static_cast<double>(rows.size() + 1) + 2 * boxPad;
    // The corner where the box hides the fewest points and never the cursor line; on a tie
    // the top corner opposite the cursor.
    const bool cursorRight = px > f.plot.center().x();
    const double xl = f.plot.left() + inset;
    const double xr = f.plot.right() - inset - bw;
    const double yt = f.plot.top() + inset;
    const double yb = f.plot.bottom() - inset - bh;
    const QRectF corners[] = {
        QRectF(cursorRight ? xl : xr, yt, bw, bh), QRectF(cursorRight ? xl : xr, yb, bw, bh),
        QRectF(cursorRight ? xr : xl, yt, bw, bh), QRectF(cursorRight ? xr : xl, yb, bw, bh)};
    QRectF box = corners[0];
    int best = -1;
    for (const QRectF& r : corners) {
        const int score =
            hiddenPoints(f, m, o, r) + (px >= r.left() - inset && px <= r.right() + inset ? 1000000 : 0);
        if (best < 0 || score < best) {
            best = score;
            box = r;
        }
    }
    p.setPen(QPen(frameColor(), 1.0 * f.u));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(box, 3.0 * f.u, 3.0 * f.u);
    p.setFont(f.font);
    p.save();
    p.setClipRect(box.adjusted(1, 1, -1, -1), Qt::IntersectClip);
    double ty = box.top() + boxPad;
    const double tx = box.left() + boxPad;
    p.setPen(textColor());
    QFont bold = f.font;
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRectF(tx, ty, 10000.0 * f.u, f.lineH), Qt::AlignLeft | Qt::AlignVCenter, xs);
    p.setFont(f.font);
    for (const Row& r : rows) {
        ty += f.lineH;
        p.fillRect(QRectF(tx, ty + f.lineH / 2 - sw / 4, sw, sw / 2), r.color);
        p.setPen(textColor());
        p.drawText(QRectF(tx + sw + 5.0 * f.u, ty, 10000.0 * f.u, f.lineH), Qt::AlignLeft | Qt::AlignVCenter,
                   r.text);
    }
    p.restore();
}

} // namespace

double DiagramRenderer::autoUnit(const QSizeF& size) {
    if (!(size.width() > 0.0) || !(size.height() > 0.0)) return 1.0;
    return std::max(0.5,
                    std::sqrt(size.width() * size.height() / (double(kReferenceWidth) * kReferenceHeight)));
}

QColor DiagramRenderer::color(PenColor c) {
    switch (c) {
    case PenColor::Black:
        return {0x00, 0x00, 0x00};
    case PenColor::Red:
        return {0xD6, 0x1E, 0x1E};
    case PenColor::Green:
        return {0x1A, 0x9A, 0x2E};
    case PenColor::Blue:
        return {0x1A, 0x5C, 0xD0};
    case PenColor::Grey:
        return {127, 127, 127};
    case PenColor::Yellow: // a darker yellow that still reads on white paper
        return {0xC8, 0xA0, 0x00};
    case PenColor::Magenta:
        return {0xC0, 0x26, 0xA8};
    case PenColor::Cyan:
        return {0x00, 0x98, 0xB0};
    }
    return {0, 0, 0};
}

QColor DiagramRenderer::levelColor(double t) {
    // A viridis-like ramp: lightness rises evenly from dark violet to yellow.
    static constexpr std::array<QRgb, 9> ramp{0x440154, 0x472D7B, 0x3B528B, 0x2C728E, 0x21908C,
                                              0x27AD81, 0x5DC863, 0xAADC32, 0xFDE725};
    if (std::isnan(t)) return {0xD8, 0xD8, 0xD8};
    const double s = std::clamp(t, 0.0, 1.0) * double(ramp.size() - 1);
    const std::size_t i = std::min(static_cast<std::size_t>(s), ramp.size() - 2);
    const double w = s - double(i);
    const auto mix = [w](int a, int b) { return static_cast<int>(std::lround(a + w * (b - a))); };
    const QColor a(ramp[i]);
    const QColor b(ramp[i + 1]);
    return {mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue())};
}

QString DiagramRenderer::noRaysNote() {
    return QStringLiteral("No off-axis rays calculated");
}

QColor DiagramRenderer::phaseColor() {
    return {0xA0, 0x3C, 0xB4};
}

QPen DiagramRenderer::qpen(const Pen& pen, double unit) {
    QPen q(color(pen.color));
    q.setJoinStyle(Qt::RoundJoin);
    q.setCapStyle(Qt::RoundCap);
    q.setWidthF((pen.style == PenStyle::Thick ? 3.0 : 1.5) * unit);
    // Dash lengths are in pen widths.
    switch (pen.style) {
    case PenStyle::Thick:
    case PenStyle::Solid:
        break;
    case PenStyle::Dash:
        q.setCapStyle(Qt::FlatCap);
        q.setDashPattern({5.0, 3.0});
        break;
    case PenStyle::Dot:
        q.setCapStyle(Qt::FlatCap);
        q.setDashPattern({1.0, 2.0});
        break;
    case PenStyle::DashDot:
        q.setCapStyle(Qt::FlatCap);
        q.setDashPattern({5.0, 2.5, 1.0, 2.5});
        break;
    case PenStyle::DashDotDot:
        q.setCapStyle(Qt::FlatCap);
        q.setDashPattern({5.0, 2.5, 1.0, 2.5, 1.0, 2.5});
        break;
    }
    return q;
}

namespace {

// Linear interpolation between the neighbouring finite points (in log x on a log axis); a
// wrapping curve (the phase) takes the nearer point across a jump of more than 180 degrees.
double interpolate(const double* xs, const double* ys, int n, double x, bool logX, bool wraps) {
    if (!xs || !ys || !std::isfinite(x)) return kNaN;
    for (int i = 0; i < n; ++i) {
        const double x0 = xs[i];
        if (!std::isfinite(x0) || !std::isfinite(ys[i])) continue;
        if (x0 == x) return ys[i];
        if (i + 1 >= n) break;
        const double x1 = xs[i + 1];
        if (!std::isfinite(x1) || !std::isfinite(ys[i + 1])) continue;
        if (x < std::min(x0, x1) || x > std::max(x0, x1)) continue;
        double t = 0.0;
        if (logX && x0 > 0.0 && x1 > 0.0 && x > 0.0) {
            t = std::log(x / x0) / std::log(x1 / x0);
        } else {
            t = (x - x0) / (x1 - x0);
        }
        const double y0 = ys[i];
        const double y1 = ys[i + 1];
        if (wraps && std::fabs(y1 - y0) > kPhaseSpan) return t < 0.5 ? y0 : y1;
        return y0 + t * (y1 - y0);
    }
    return kNaN;
}

} // namespace

double DiagramRenderer::valueAt(const DiagramModel& m, int c, double x) {
    const double* ys = nullptr;
    if (c < 0) {
        ys = m.phase();
    } else if (c < std::min(m.curveCount(), DiagramModel::kMaxCurves)) {
        ys = m.curve(c).y;
    }
    const double divisor = c < 0 || m.yDivisor() == 0.0 ? 1.0 : m.yDivisor();
    return interpolate(m.x(), ys, m.pointCount(), x, m.logX(), c < 0) / divisor;
}

double DiagramRenderer::valueAt(const ExtraCurve& curve, double x, bool logX) {
    return interpolate(curve.x, curve.y, curve.count, x, logX, false) + curve.offset;
}

DiagramLayout DiagramRenderer::layout(const QRectF& target, const DiagramModel& model,
                                      const RenderOptions& options) {
    const Frame f = computeFrame(target, model, options);
    return {f.plot, f.x, f.y, f.u};
}

DiagramLayout DiagramRenderer::render(QPainter& p, const QRectF& target, const DiagramModel& m,
                                      const RenderOptions& o) {
    const Frame f = computeFrame(target, m, o);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setClipRect(target, Qt::IntersectClip);
    if (!o.printing) p.fillRect(target, backgroundColor());

    if (!f.title.isEmpty()) {
        p.setFont(f.titleFont);
        p.setPen(textColor());
        const QFontMetricsF tfm(f.titleFont);
        const QRectF r = f.ok ? QRectF(f.plot.left(), f.titleRect.top(), f.plot.width(), f.titleRect.height())
                              : f.titleRect;
        const QRectF c = r.width() >= tfm.horizontalAdvance(f.title) ? r : f.titleRect;
        p.drawText(c, Qt::AlignHCenter | Qt::AlignVCenter,
                   tfm.elidedText(f.title, Qt::ElideRight, c.width()));
    }
    if (!f.ok) {
        p.restore();
        return {f.plot, f.x, f.y, f.u};
    }

    if (f.surface) drawSurface(p, f, m);
    else drawGrid(p, f);

    p.save();
    p.setClipRect(f.plot, Qt::IntersectClip);
    const bool hairlines = drawsHairlines(p, o);
    if (f.showPhase) {
        QPen pp(phaseColor(), 1.5 * f.u);
        pp.setJoinStyle(Qt::RoundJoin);
        pp.setCapStyle(Qt::RoundCap);
        drawSeries(p, f, m.x(), m.phase(), m.pointCount(), 1.0, f.phase, curvePen(pp, hairlines), true);
    }
    const double divisor = m.yDivisor() != 0.0 ? m.yDivisor() : 1.0;
    // The first curve is the main one: draw it last, on top.
    for (int c = f.surface ? -1 : std::min(m.curveCount(), DiagramModel::kMaxCurves) - 1; c >= 0; --c) {
        const DiagramModel::Curve& cv = m.curve(c);
        drawSeries(p, f, m.x(), cv.y, m.pointCount(), divisor, f.y, curvePen(qpen(cv.pen, f.u), hairlines), false);
    }
    // The same order for the extra curves: the first one on top.
    for (auto it = o.extraCurves.rbegin(); !f.surface && it != o.extraCurves.rend(); ++it)
        drawSeries(p, f, it->x, it->y, it->count, 1.0, f.y, curvePen(qpen(it->pen, f.u), hairlines), false,
                   it->offset);
    p.restore();

    drawAxes(p, f);
    drawColourBar(p, f);
    drawLegend(p, f);
    drawLegendRows(p, f, o.legendTable);
    if (!o.printing && m.cursorValid()) drawCursor(p, f, m, o);
    p.restore();
    return {f.plot, f.x, f.y, f.u};
}

QImage DiagramRenderer::toImage(const DiagramModel& model, const QSize& size, const RenderOptions& options,
                                qreal devicePixelRatio) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage img((QSizeF(size) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    QPainter p(&img);
    render(p, QRectF(0, 0, size.width(), size.height()), model, options);
    p.end();
    return img;
}

bool DiagramRenderer::saveToFile(const DiagramModel& model, const QString& path, const QSize& size,
                                 QString* error, const RenderOptions& options) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxPictureSide ||
        size.height() > kMaxPictureSide)
        return fail(QStringLiteral("image size %1 x %2 is outside 1 .. %3")
                        .arg(size.width())
                        .arg(size.height())
                        .arg(kMaxPictureSide));
    return savePicture(
        path, size, size, {fromModelText(model.title()), QStringLiteral("Harlox diagram")},
        [&](QPainter& p, const QRectF& r) { render(p, r, model, options); }, error);
}

} // namespace harlox
