#include "gui/schematic_painter.h"

#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui/model_text.h"
#include "gui/picture_file.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace harlox {

namespace {

// ---- geometry, in logical units
constexpr double kMargin = 16.0;
constexpr double kStep = 80.0;        // a branch takes one or more steps of this width
constexpr double kWrapAt = 600.0;     // rows wrap about here (see drawPicture)
constexpr double kWrapLastAt = 300.0; // ... and earlier before the last branch, for the drivers
constexpr double kSourceRoom = 70.0;  // left of the first branch: the amplifier
constexpr double kGlyph = 36.0;       // length of a component symbol along the wire
constexpr double kGlyphGap = 6.0;
constexpr double kBar = 10.0;         // lead from a parallel bar to a shorter chain
constexpr double kValueOffset = 57.0; // the value sits this far right of the name
constexpr double kLineH = 12.0;
constexpr double kNoteLineH = 11.0;
constexpr double kNoteMaxW = 200.0;
constexpr double kBlockHalfW = 22.0; // active section box
constexpr double kBlockHalfH = 15.0;
constexpr double kMinMiddle = 110.0;
constexpr double kSectionGap = 24.0;
constexpr double kShuntX = 14.0;  // a shunt element's wire from the left of its slot
constexpr double kLabelGap = 8.0; // between a vertical element and its labels

struct Fonts {
    QFont label, bold, title, note;
    double labelAscent = 0, boldAscent = 0, titleAscent = 0, noteAscent = 0;
};

QFont makeFont(int px, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("sans-serif")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(px);
    f.setBold(bold);
    // Unhinted, so the widths measured here scale with the drawing.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

Fonts makeFonts() {
    Fonts f;
    f.label = makeFont(10, false);
    f.bold = makeFont(10, true);
    f.title = makeFont(13, true);
    f.note = makeFont(9, false);
    f.labelAscent = QFontMetricsF(f.label).ascent();
    f.boldAscent = QFontMetricsF(f.bold).ascent();
    f.titleAscent = QFontMetricsF(f.title).ascent();
    f.noteAscent = QFontMetricsF(f.note).ascent();
    return f;
}

double textWidth(const QFont& font, const QString& s) {
    // The layout measures every label on every paint: four fixed fonts, a few hundred labels.
    static QHash<QString, double> widths;
    QString key = s;
    key += QChar(font.bold() ? u'b' : u'r');
    key += QString::number(font.pixelSize());
    if (const auto it = widths.constFind(key); it != widths.constEnd()) return *it;
    if (widths.size() > 8192) widths.clear();
    const double w = QFontMetricsF(font).horizontalAdvance(s);
    widths.insert(key, w);
    return w;
}

double textHeight(const QFont& font) {
    static QHash<int, double> heights;
    const int key = font.pixelSize() * 2 + (font.bold() ? 1 : 0);
    if (const auto it = heights.constFind(key); it != heights.constEnd()) return *it;
    const double h = QFontMetricsF(font).height();
    heights.insert(key, h);
    return h;
}

// Draws when it has a painter, and in either case collects the extent of what it drew, so
// one layout routine both measures and paints.
class Canvas {
public:
    Canvas(QPainter* p, const Fonts& fonts, bool large) : p_(p), fonts_(fonts), large_(large) {
        if (p_) {
            pen_ = QPen(Qt::black, large ? 2.0 : 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p_->setPen(pen_);
            p_->setBrush(Qt::NoBrush);
        }
    }

    [[nodiscard]] bool drawing() const { return p_ != nullptr; }
    [[nodiscard]] bool large() const { return large_; }
    // Half the width of a symbol across its wire.
    [[nodiscard]] double w() const { return large_ ? 9.0 : 6.0; }
    [[nodiscard]] double chainSpacing() const { return 2.0 * w() + 14.0; }
    [[nodiscard]] const Fonts& fonts() const { return fonts_; }
    [[nodiscard]] const QRectF& bounds() const { return bounds_; }

    void grow(const QRectF& r) {
        bounds_ = bounds_.isNull() ? r.normalized() : bounds_.united(r.normalized());
    }

    void line(QPointF a, QPointF b) {
        grow(QRectF(a, b).adjusted(-1, -1, 1, 1));
        if (p_) p_->drawLine(a, b);
    }
    void polyline(const QPolygonF& poly) {
        grow(poly.boundingRect().adjusted(-1, -1, 1, 1));
        if (p_) p_->drawPolyline(poly);
    }
    void polygon(const QPolygonF& poly, bool filled) {
        grow(poly.boundingRect().adjusted(-1, -1, 1, 1));
        if (!p_) return;
        p_->setBrush(filled ? QBrush(Qt::black) : QBrush(Qt::white));
        p_->drawPolygon(poly);
        p_->setBrush(Qt::NoBrush);
    }
    void path(const QPainterPath& path) {
        grow(path.boundingRect().adjusted(-1, -1, 1, 1));
        if (p_) p_->drawPath(path);
    }
    void circle(QPointF c, double r, bool filled) {
        grow(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
        if (!p_) return;
        p_->setBrush(filled ? QBrush(Qt::black) : QBrush(Qt::white));
        p_->drawEllipse(c, r, r);
        p_->setBrush(Qt::NoBrush);
    }
    void dot(QPointF c) { circle(c, large_ ? 3.0 : 2.2, true); }

    // Text with its top left at pos; returns its width.
    double text(QPointF pos, const QString& s, const QFont& font, double ascent, QColor color = Qt::black) {
        const double wdt = textWidth(font, s);
        grow(QRectF(pos.x(), pos.y(), wdt, textHeight(font)));
        if (p_) {
            p_->setFont(font);
            p_->setPen(color);
            p_->drawText(QPointF(pos.x(), pos.y() + ascent), s);
            p_->setPen(pen_);
        }
        return wdt;
    }
    // Remembers where a component's value label went (the model keeps it, in logical units).
    void recordLabel(TCompA* comp, const QRectF& r) const {
        if (!p_ || comp == nullptr) return;
        comp->labelRect = {static_cast<std::int32_t>(std::floor(r.left())),
                           static_cast<std::int32_t>(std::floor(r.top())),
                           static_cast<std::int32_t>(std::ceil(r.right())),
                           static_cast<std::int32_t>(std::ceil(r.bottom()))};
    }

private:
    QPainter* p_;
    const Fonts& fonts_;
    bool large_;
    QPen pen_;
    QRectF bounds_;
};

// ---- what gets drawn, taken from the models first

enum class Glyph { Resistor, Inductor, Capacitor };

struct Sym {
    Glyph glyph = Glyph::Resistor;
    QString name;
    QString value; // number and unit
    TCompA* comp = nullptr;
};
using Chain = std::vector<Sym>;
// Parallel chains of components in series; one chain is a plain series connection.
using Composite = std::vector<Chain>;

struct Slot {
    enum Kind { Series, Shunt, Section, Amplifier } kind = Series;
    Composite comp;
    QString heading; // active sections: "2nd order LP"
    std::vector<Sym> labels;
    double width = kStep;
};

struct NoteLine {
    QString text;
    bool bold = false;
    bool indented = false;
};

struct Group {
    int drivers = 1;
    std::uint32_t connection = TNetA::SeriesConnection;
    std::array<std::optional<Composite>, TNetA::kLinks> links; // drawn links
    std::array<std::vector<Sym>, TNetA::kLinks> linkLabels;
    std::vector<std::vector<NoteLine>> notes; // per driver
    bool inverted = false;
};

struct Picture {
    QString title;
    bool disconnected = false; // "Disconnect": drawn as an open switch after the amplifier
    std::vector<Slot> items;
    Group group;
};

Sym simpleSym(const TComp& c) {
    Sym s;
    s.glyph = c.Kind() == CompKind::Resistor   ? Glyph::Resistor
              : c.Kind() == CompKind::Inductor ? Glyph::Inductor
                                               : Glyph::Capacitor;
    s.name = fromModelText(c.Name());
    s.value = fromModelText(c.DisplayValue()) + QLatin1Char(' ') + fromModelText(c.Unit());
    return s;
}

Sym advancedSym(TCompA& c) {
    Sym s;
    s.glyph = c.kind() == TCompA::Resistor   ? Glyph::Resistor
              : c.kind() == TCompA::Inductor ? Glyph::Inductor
                                             : Glyph::Capacitor;
    s.name = fromModelText(c.name());
    // The value text first: for an active component it also picks the unit.
    const QString number = fromModelText(c.SchematicValueText());
    s.value = number + QLatin1Char(' ') + fromModelText(c.unit());
    s.comp = &c;
    return s;
}

Composite simpleComposite(const TBranch& b) {
    const Sym R = simpleSym(b.Resistor()), L = simpleSym(b.Inductor()), C = simpleSym(b.Capacitor());
    switch (b.GetType()) {
    case TBranch::R:
        return {{R}};
    case TBranch::L:
        return {{L}};
    case TBranch::C:
        return {{C}};
    case TBranch::RplusC:
        return {{R, C}};
    case TBranch::LplusC:
        return {{L, C}};
    case TBranch::LparC:
        return {{L}, {C}};
    case TBranch::RparL:
        return {{R}, {L}};
    case TBranch::RparC:
        return {{R}, {C}};
    case TBranch::RparLparC:
        return {{R}, {L}, {C}};
    default:
        return {};
    }
}

Composite passiveComposite(TBranchA& b) {
    auto R1 = [&b] { return advancedSym(b.R1()); };
    auto R2 = [&b] { return advancedSym(b.R2()); };
    auto L = [&b] { return advancedSym(b.L()); };
    auto C = [&b] { return advancedSym(b.C()); };
    switch (b.type()) {
    case 1:
        return {{R1()}};
    case 2:
        return {{C()}};
    case 3:
        return {{R1(), L()}};
    case 4:
        return {{R1(), C()}};
    case 5:
        return {{R1(), L(), C()}};
    case 6:
        return {{R1()}, {L(), R2()}};
    case 7:
        return {{R1()}, {C()}};
    case 8:
        return {{C()}, {L(), R1()}};
    case 9:
        return {{R1()}, {C()}, {L(), R2()}};
    case 10:
        return {{R1()}, {R2(), C()}};
    default:
        return {};
    }
}

std::vector<Sym> flatten(const Composite& comp) {
    std::vector<Sym> out;
    for (const Chain& c : comp)
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

// "caption value" on one line when it fits, else the value on a line of its own, shortened in
// the middle when even that is too long (file paths).
void addNote(std::vector<NoteLine>& lines, const QString& caption, const QString& value, const QFont& font) {
    if (value.isEmpty()) {
        lines.push_back({caption, false, false});
        return;
    }
    const QString joined = caption + QLatin1Char(' ') + value;
    if (textWidth(font, joined) <= kNoteMaxW) {
        lines.push_back({joined, false, false});
        return;
    }
    lines.push_back({caption, false, false});
    lines.push_back({QFontMetricsF(font).elidedText(value, Qt::ElideMiddle, kNoteMaxW - 8.0), false, true});
}

Picture simplePicture(TNet& net, const Fonts& f) {
    Picture pic;
    pic.title = fromModelText(net.Title());
    pic.disconnected = net.disconnect != 0;
    for (int b = 0; b < TNet::kBranches; ++b) {
        const TBranch& branch = net.Branch(b);
        Composite comp = simpleComposite(branch);
        if (comp.empty()) continue; // a short in series, an open shunt: nothing to draw
        Slot s;
        s.kind = branch.IsSeries() ? Slot::Series : Slot::Shunt;
        s.labels = flatten(comp);
        s.comp = std::move(comp);
        pic.items.push_back(std::move(s));
    }
    Group& g = pic.group;
    g.drivers = std::clamp<int>(net.driverCount, 1, 2);
    g.connection =
        g.drivers == 2 && !net.driversInSeries ? TNetA::ParallelConnection : TNetA::SeriesConnection;
    g.inverted = net.invert != 0;
    for (int d = 0; d < g.drivers; ++d) {
        std::vector<NoteLine> lines;
        bool first = true;
        for (const TNet::SchematicLine& l : net.DriverSchematic(d)) {
            if (first)
                lines.push_back({fromModelText(l.caption), true, false});
            else
                addNote(lines, fromModelText(l.caption), fromModelText(l.value), f.note);
            first = false;
        }
        g.notes.push_back(std::move(lines));
    }
    return pic;
}

Picture advancedPicture(TNetA& net, const Fonts& f) {
    Picture pic;
    pic.title = fromModelText(net.TitleLine());
    pic.disconnected = net.disconnected != 0;
    const std::int32_t scale = net.largeSymbols ? 3 : 1;
    auto stamp = [scale](TBranchA& b) {
        b.drawScale = scale;
        for (TCompA* c : b.RecordComponents())
            c->drawScale = scale;
    };
    for (int i = 0; i < TNetA::kBranches; ++i) {
        TBranchA& b = net.Branch(i);
        stamp(b);
        if (!b.used()) continue;
        Slot s;
        if (b.isActive()) {
            s.kind = Slot::Section;
            s.heading = QString::fromLatin1(TBranchA::ActiveTypeText(b.type()));
            for (TCompA* c : b.UsedComponents())
                s.labels.push_back(advancedSym(*c));
        } else {
            s.kind = b.position() == TBranchA::Series ? Slot::Series : Slot::Shunt;
            s.comp = passiveComposite(b);
            s.labels = flatten(s.comp);
        }
        pic.items.push_back(std::move(s));
    }
    if (net.isActive()) pic.items.push_back(Slot{Slot::Amplifier, {}, {}, {}, kStep});

    Group& g = pic.group;
    g.drivers = net.DriversInUse();
    g.connection = net.connection <= TNetA::PairsConnection ? net.connection : TNetA::SeriesConnection;
    g.inverted = net.polarityInverted != 0;
    for (int i = 0; i < TNetA::kLinks; ++i) {
        TBranchA& link = net.Link(i);
        stamp(link);
        if (!net.LinkInUse(i) || !link.used()) continue;
        g.links[static_cast<std::size_t>(i)] = passiveComposite(link);
        g.linkLabels[static_cast<std::size_t>(i)] = flatten(*g.links[static_cast<std::size_t>(i)]);
    }
    for (int d = 0; d < g.drivers; ++d) {
        const std::vector<std::string> a = net.DriverAnnotation(d);
        std::vector<NoteLine> lines;
        if (!a.empty()) lines.push_back({fromModelText(a[0]), true, false});
        for (std::size_t k = 1; k < a.size(); k += 2)
            addNote(lines, fromModelText(a[k]), k + 1 < a.size() ? fromModelText(a[k + 1]) : QString(),
                    f.note);
        g.notes.push_back(std::move(lines));
    }
    return pic;
}

// ---- measures

double chainLength(const Chain& c) {
    const auto n = static_cast<double>(c.size());
    return n * kGlyph + std::max(0.0, n - 1.0) * kGlyphGap;
}

double compositeLength(const Composite& comp) {
    double len = 0;
    for (const Chain& c : comp)
        len = std::max(len, chainLength(c));
    return comp.size() > 1 ? len + 2.0 * kBar : len;
}

// Extent across the wire on the side the parallel chains go to.
double compositeAcross(const Composite& comp, const Canvas& cv) {
    return static_cast<double>(comp.empty() ? 0 : comp.size() - 1) * cv.chainSpacing() + cv.w();
}

double labelsWidth(const std::vector<Sym>& labels, const QString& heading, const Fonts& f) {
    double wdt = heading.isEmpty() ? 0.0 : textWidth(f.bold, heading);
    for (const Sym& s : labels)
        wdt = std::max({wdt, textWidth(f.label, s.name) + 6.0, kValueOffset + textWidth(f.label, s.value)});
    return wdt;
}

double labelsHeight(const Slot& s) {
    return static_cast<double>(s.labels.size() + (s.heading.isEmpty() ? 0 : 1)) * kLineH;
}

double roundToStep(double w) {
    return std::max(1.0, std::ceil(w / kStep - 1e-9)) * kStep;
}

// ---- drawing pieces

// One symbol from a to b, which lie kGlyph apart on a horizontal or vertical wire.
void drawGlyph(Canvas& cv, Glyph g, QPointF a, bool vertical) {
    const double w = cv.w();
    // Points in the symbol's own frame (u along the wire, v across) to the drawing.
    auto at = [a, vertical](double u, double v) {
        return vertical ? QPointF(a.x() - v, a.y() + u) : QPointF(a.x() + u, a.y() + v);
    };
    switch (g) {
    case Glyph::Resistor: {
        QPolygonF zig;
        zig << at(0, 0) << at(6, 0);
        const double step = (kGlyph - 12.0) / 6.0;
        for (int k = 0; k < 6; ++k)
            zig << at(6 + step * (k + 0.5), k % 2 == 0 ? -w : w);
        zig << at(kGlyph - 6, 0) << at(kGlyph, 0);
        cv.polyline(zig);
        break;
    }
    case Glyph::Capacitor: {
        const double mid = kGlyph / 2.0, gap = cv.large() ? 4.0 : 3.0, h = w + 4.0;
        cv.line(at(0, 0), at(mid - gap, 0));
        cv.line(at(mid + gap, 0), at(kGlyph, 0));
        cv.line(at(mid - gap, -h), at(mid - gap, h));
        cv.line(at(mid + gap, -h), at(mid + gap, h));
        break;
    }
    case Glyph::Inductor: {
        const double lead = 4.0, hump = (kGlyph - 2 * lead) / 4.0;
        cv.line(at(0, 0), at(lead, 0));
        cv.line(at(kGlyph - lead, 0), at(kGlyph, 0));
        QPainterPath path(at(lead, 0));
        for (int k = 0; k < 4; ++k) {
            // A half ellipse per turn, bulging to the -v side.
            const double u0 = lead + k * hump;
            for (int s = 1; s <= 12; ++s) {
                const double t = 3.14159265358979 * s / 12.0;
                path.lineTo(at(u0 + hump * (1 - std::cos(t)) / 2.0, -w * std::sin(t)));
            }
        }
        cv.path(path);
        break;
    }
    }
}

// A composite along a wire starting at `start` (its length is compositeLength); parallel
// chains step to +y (horizontal wire) or +x (vertical wire).
void drawComposite(Canvas& cv, const Composite& comp, QPointF start, bool vertical) {
    const double len = compositeLength(comp);
    auto at = [start, vertical](double u, double v) {
        return vertical ? QPointF(start.x() + v, start.y() + u) : QPointF(start.x() + u, start.y() + v);
    };
    const bool parallel = comp.size() > 1;
    for (std::size_t j = 0; j < comp.size(); ++j) {
        const double v = static_cast<double>(j) * cv.chainSpacing();
        const double cl = chainLength(comp[j]);
        double u = (len - cl) / 2.0;
        if (u > 0) {
            cv.line(at(0, v), at(u, v));
            cv.line(at(len - u, v), at(len, v));
        }
        for (std::size_t k = 0; k < comp[j].size(); ++k) {
            // The glyph frame's -v side is the drawing's "up"/"left"; glyphs are symmetric.
            drawGlyph(cv, comp[j][k].glyph, at(u, v), vertical);
            u += kGlyph;
            if (k + 1 < comp[j].size()) {
                cv.line(at(u, v), at(u + kGlyphGap, v));
                u += kGlyphGap;
            }
        }
    }
    if (parallel) {
        const double across = static_cast<double>(comp.size() - 1) * cv.chainSpacing();
        cv.line(at(0, 0), at(0, across));
        cv.line(at(len, 0), at(len, across));
        cv.dot(at(0, 0));
        cv.dot(at(len, 0));
    }
}

// The name, and kValueOffset to its right the value, one component a line.
void drawLabels(Canvas& cv, QPointF topLeft, const QString& heading, const std::vector<Sym>& labels) {
    const Fonts& f = cv.fonts();
    double y = topLeft.y();
    if (!heading.isEmpty()) {
        cv.text(QPointF(topLeft.x(), y), heading, f.bold, f.boldAscent);
        y += kLineH;
    }
    for (const Sym& s : labels) {
        cv.text(QPointF(topLeft.x(), y), s.name, f.label, f.labelAscent, QColor(0, 0, 150));
        const double vx = topLeft.x() + kValueOffset;
        const double vw = cv.text(QPointF(vx, y), s.value, f.label, f.labelAscent);
        cv.recordLabel(s.comp, QRectF(vx, y, vw, kLineH));
        y += kLineH;
    }
}

void drawGround(Canvas& cv, QPointF at) {
    cv.line(at, at + QPointF(0, 6));
    for (int k = 0; k < 3; ++k) {
        const double half = 8.0 - 3.0 * k, y = at.y() + 6.0 + 3.0 * k;
        cv.line(QPointF(at.x() - half, y), QPointF(at.x() + half, y));
    }
}

// The amplifier driving the net: a voltage source between the line and ground.
void drawSource(Canvas& cv, double x, double top, double ground, bool disconnected) {
    const double r = cv.large() ? 18.0 : 13.0, mid = (top + ground) / 2.0;
    cv.line(QPointF(x, top), QPointF(x, mid - r));
    cv.line(QPointF(x, mid + r), QPointF(x, ground));
    cv.circle(QPointF(x, mid), r, false);
    QPainterPath wave(QPointF(x - r * 0.6, mid));
    for (int s = 1; s <= 16; ++s) {
        const double t = s / 16.0;
        wave.lineTo(QPointF(x - r * 0.6 + 1.2 * r * t, mid - r * 0.35 * std::sin(2 * 3.14159265358979 * t)));
    }
    cv.path(wave);
    drawGround(cv, QPointF(x, ground));
    const double end = x + kSourceRoom - 20.0;
    if (!disconnected) {
        cv.line(QPointF(x, top), QPointF(end, top));
        return;
    }
    const double a = x + 14.0, b = x + 34.0;
    cv.line(QPointF(x, top), QPointF(a, top));
    cv.line(QPointF(a, top), QPointF(b - 2.0, top - 10.0));
    cv.line(QPointF(b, top), QPointF(end, top));
    cv.dot(QPointF(a, top));
    cv.dot(QPointF(b, top));
    const Fonts& f = cv.fonts();
    cv.text(QPointF(x + 15.0, top + 3.0), QStringLiteral("Disconnect"), f.note, f.noteAscent,
            QColor(170, 0, 0));
}

// A loudspeaker facing right, leads up to `top` and down to `bottom`.
void drawSpeaker(Canvas& cv, double x, double mid, double top, double bottom, bool inverted) {
    const double k = cv.large() ? 1.5 : 1.0;
    const double hb = 10.0 * k, bw = 5.0 * k, cone = 12.0 * k, hc = 20.0 * k;
    cv.line(QPointF(x, top), QPointF(x, mid - hb));
    cv.line(QPointF(x, mid + hb), QPointF(x, bottom));
    QPolygonF magnet;
    magnet << QPointF(x - bw, mid - hb) << QPointF(x + bw, mid - hb) << QPointF(x + bw, mid + hb)
           << QPointF(x - bw, mid + hb);
    cv.polygon(magnet, false);
    QPolygonF cn;
    cn << QPointF(x + bw, mid - hb) << QPointF(x + bw + cone, mid - hc) << QPointF(x + bw + cone, mid + hc)
       << QPointF(x + bw, mid + hb);
    cv.polygon(cn, false);
    const Fonts& f = cv.fonts();
    const double py = inverted ? mid + hb + 2.0 : mid - hb - 2.0 - kLineH;
    cv.text(QPointF(x - 12.0, py), QStringLiteral("+"), f.bold, f.boldAscent);
}

struct RowGeom {
    double top = 0;    // top of the row
    double line = 0;   // the live wire
    double ground = 0; // the ground wire
    double bottom = 0;
};

// The driver group's measures.
struct GroupGeom {
    double linkW = 0;
    double cellH = 0;
    double span = 0; // driver terminal to terminal
    double width = 0;
    double height = 0; // from the live wire down to the ground wire
    std::vector<double> noteH;
};

GroupGeom groupGeom(const Group& g, const Canvas& cv) {
    const Fonts& f = cv.fonts();
    GroupGeom gg;
    double linkLen = 0;
    for (std::size_t i = 0; i < g.links.size(); ++i) {
        if (!g.links[i]) continue;
        gg.linkW = std::max(gg.linkW, kShuntX + compositeAcross(*g.links[i], cv) + kLabelGap +
                                          labelsWidth(g.linkLabels[i], {}, f) + 8.0);
        linkLen = std::max(linkLen, compositeLength(*g.links[i]));
    }
    double noteW = 0;
    for (const auto& lines : g.notes) {
        for (const NoteLine& l : lines)
            noteW = std::max(noteW, textWidth(l.bold ? f.bold : f.note, l.text) + (l.indented ? 8.0 : 0.0));
        gg.noteH.push_back(static_cast<double>(lines.size()) * kNoteLineH);
    }
    double notesH = 0;
    for (double h : gg.noteH)
        notesH = std::max(notesH, h);
    gg.span = cv.large() ? 70.0 : 56.0;
    if (g.connection == TNetA::SeriesConnection) gg.span = std::max(gg.span, linkLen + 20.0);
    gg.cellH = std::max({gg.span + 10.0, notesH + 10.0, 76.0});
    // Links across the group need room between the wires too.
    const double linkRoom = g.connection == TNetA::SeriesConnection
                                ? 0.0
                                : linkLen * (g.connection == TNetA::PairsConnection ? 2.0 : 1.0) + 30.0;
    gg.height = std::max(10.0 + g.drivers * gg.cellH + 10.0, linkRoom);
    gg.width = gg.linkW + 12.0 + 24.0 + 32.0 + 12.0 + noteW + 10.0;
    return gg;
}

// A vertical element at x between y0 and y1 with its labels to the right, ending before maxX.
void drawVertical(Canvas& cv, const Composite& comp, const std::vector<Sym>& labels, double x, double y0,
                  double y1) {
    const double len = compositeLength(comp);
    const double c0 = (y0 + y1 - len) / 2.0;
    cv.line(QPointF(x, y0), QPointF(x, c0));
    cv.line(QPointF(x, c0 + len), QPointF(x, y1));
    drawComposite(cv, comp, QPointF(x, c0), true);
    const double lh = static_cast<double>(labels.size()) * kLineH;
    drawLabels(cv, QPointF(x + compositeAcross(comp, cv) + kLabelGap, (y0 + y1 - lh) / 2.0), {}, labels);
}

void drawGroup(Canvas& cv, const Group& g, const GroupGeom& gg, double gx, const RowGeom& row) {
    const Fonts& f = cv.fonts();
    const double lx = gx + kShuntX;
    const double hx = gx + gg.linkW + 12.0;
    const double sx = hx + 24.0;
    const double rx = sx + 32.0;
    const double nx = rx + 12.0;
    const bool series = g.connection == TNetA::SeriesConnection;
    const bool pairs = g.connection == TNetA::PairsConnection;
    auto cellTop = [&](int i) { return row.line + 10.0 + i * gg.cellH; };
    auto mid = [&](int i) { return cellTop(i) + gg.cellH / 2.0; };
    auto t = [&](int i) { return mid(i) - gg.span / 2.0; };
    auto b = [&](int i) { return mid(i) + gg.span / 2.0; };
    const int n = g.drivers;

    for (int i = 0; i < n; ++i) {
        drawSpeaker(cv, sx, mid(i), t(i), b(i), g.inverted);
        double y = mid(i) - gg.noteH[static_cast<std::size_t>(i)] / 2.0;
        for (const NoteLine& l : g.notes[static_cast<std::size_t>(i)]) {
            cv.text(QPointF(nx + (l.indented ? 8.0 : 0.0), y), l.text, l.bold ? f.bold : f.note,
                    l.bold ? f.boldAscent : f.noteAscent, l.bold ? QColor(Qt::black) : QColor(40, 40, 40));
            y += kNoteLineH;
        }
    }

    if (series) {
        cv.line(QPointF(gx, row.line), QPointF(sx, row.line));
        cv.line(QPointF(sx, row.line), QPointF(sx, t(0)));
        for (int i = 0; i + 1 < n; ++i)
            cv.line(QPointF(sx, b(i)), QPointF(sx, t(i + 1)));
        cv.line(QPointF(sx, b(n - 1)), QPointF(sx, row.ground));
        cv.line(QPointF(gx, row.ground), QPointF(sx, row.ground));
        for (int i = 0; i < n; ++i) {
            const auto& link = g.links[static_cast<std::size_t>(i)];
            if (!link) continue;
            cv.line(QPointF(lx, t(i)), QPointF(sx, t(i)));
            cv.line(QPointF(lx, b(i)), QPointF(sx, b(i)));
            cv.dot(QPointF(sx, t(i)));
            cv.dot(QPointF(sx, b(i)));
            drawVertical(cv, *link, g.linkLabels[static_cast<std::size_t>(i)], lx, t(i), b(i));
        }
        return;
    }

    // Parallel drivers hang between a live bus on the left and a return bus on the right; the
    // pairs connection splits both after the second driver.
    auto bank = [&](int first, int last, double from, double to) {
        cv.line(QPointF(hx, from), QPointF(hx, t(last)));
        cv.line(QPointF(rx, b(first)), QPointF(rx, to));
        for (int i = first; i <= last; ++i) {
            cv.line(QPointF(hx, t(i)), QPointF(sx, t(i)));
            cv.line(QPointF(sx, b(i)), QPointF(rx, b(i)));
            if (i < last) {
                cv.dot(QPointF(hx, t(i)));
                cv.dot(QPointF(rx, b(i + 1)));
            }
        }
    };
    cv.line(QPointF(gx, row.line), QPointF(hx, row.line));
    if (!pairs) {
        bank(0, n - 1, row.line, row.ground);
        cv.line(QPointF(gx, row.ground), QPointF(rx, row.ground));
        if (g.links[0]) {
            cv.dot(QPointF(lx, row.line));
            cv.dot(QPointF(lx, row.ground));
            drawVertical(cv, *g.links[0], g.linkLabels[0], lx, row.line, row.ground);
        }
        return;
    }
    const double m = (b(1) + t(2)) / 2.0;
    bank(0, 1, row.line, m);
    bank(2, 3, m, row.ground);
    cv.line(QPointF(gx, row.ground), QPointF(rx, row.ground));
    const bool anyLink = g.links[0] || g.links[1];
    cv.line(QPointF(anyLink ? lx : hx, m), QPointF(rx, m));
    if (anyLink) cv.dot(QPointF(hx, m));
    if (g.links[0] && g.links[1]) cv.dot(QPointF(lx, m));
    if (g.links[0]) {
        cv.dot(QPointF(lx, row.line));
        drawVertical(cv, *g.links[0], g.linkLabels[0], lx, row.line, m);
    }
    if (g.links[1]) {
        cv.dot(QPointF(lx, row.ground));
        drawVertical(cv, *g.links[1], g.linkLabels[1], lx, m, row.ground);
    }
}

void drawSlot(Canvas& cv, const Slot& s, double x0, const RowGeom& row) {
    const Fonts& f = cv.fonts();
    const double w = s.width;
    switch (s.kind) {
    case Slot::Series: {
        const double len = compositeLength(s.comp);
        const double c0 = x0 + (w - len) / 2.0;
        cv.line(QPointF(x0, row.line), QPointF(c0, row.line));
        cv.line(QPointF(c0 + len, row.line), QPointF(x0 + w, row.line));
        drawComposite(cv, s.comp, QPointF(c0, row.line), false);
        const double lw = labelsWidth(s.labels, {}, f);
        drawLabels(cv, QPointF(x0 + (w - lw) / 2.0, row.line - cv.w() - 8.0 - labelsHeight(s)), {}, s.labels);
        break;
    }
    case Slot::Shunt: {
        const double x = x0 + kShuntX;
        cv.line(QPointF(x0, row.line), QPointF(x0 + w, row.line));
        cv.dot(QPointF(x, row.line));
        cv.dot(QPointF(x, row.ground));
        drawVertical(cv, s.comp, s.labels, x, row.line, row.ground);
        break;
    }
    case Slot::Section: {
        const double cx = x0 + w / 2.0;
        cv.line(QPointF(x0, row.line), QPointF(cx - kBlockHalfW, row.line));
        cv.line(QPointF(cx + kBlockHalfW, row.line), QPointF(x0 + w, row.line));
        QPolygonF box;
        box << QPointF(cx - kBlockHalfW, row.line - kBlockHalfH)
            << QPointF(cx + kBlockHalfW, row.line - kBlockHalfH)
            << QPointF(cx + kBlockHalfW, row.line + kBlockHalfH)
            << QPointF(cx - kBlockHalfW, row.line + kBlockHalfH);
        cv.polygon(box, false);
        QPolygonF amp;
        amp << QPointF(cx - 10, row.line - 10) << QPointF(cx - 10, row.line + 10)
            << QPointF(cx + 12, row.line);
        cv.polygon(amp, false);
        const double lw = labelsWidth(s.labels, s.heading, f);
        drawLabels(cv, QPointF(x0 + (w - lw) / 2.0, row.line - kBlockHalfH - 6.0 - labelsHeight(s)),
                   s.heading, s.labels);
        break;
    }
    case Slot::Amplifier: {
        const double cx = x0 + w / 2.0, k = cv.large() ? 1.4 : 1.0;
        cv.line(QPointF(x0, row.line), QPointF(cx - 14 * k, row.line));
        cv.line(QPointF(cx + 16 * k, row.line), QPointF(x0 + w, row.line));
        QPolygonF tri;
        tri << QPointF(cx - 14 * k, row.line - 16 * k) << QPointF(cx - 14 * k, row.line + 16 * k)
            << QPointF(cx + 16 * k, row.line);
        cv.polygon(tri, false);
        const double gy = row.line + 16 * k - 16 * k * 8.0 / 30.0;
        cv.line(QPointF(cx - 6 * k, gy), QPointF(cx - 6 * k, row.ground));
        cv.dot(QPointF(cx - 6 * k, row.ground));
        break;
    }
    }
}

// Widths first, then rows left to right, wrapping as the constants say; returns the height.
double drawPicture(Canvas& cv, Picture& pic, QPointF origin) {
    const Fonts& f = cv.fonts();
    double y = origin.y();
    if (!pic.title.isEmpty()) {
        cv.text(origin, pic.title, f.title, f.titleAscent);
        y += 26.0;
    }
    for (Slot& s : pic.items) {
        const double lw = labelsWidth(s.labels, s.heading, f);
        switch (s.kind) {
        case Slot::Series:
            s.width = roundToStep(std::max(compositeLength(s.comp) + 20.0, lw + 12.0));
            break;
        case Slot::Shunt:
            s.width = roundToStep(kShuntX + compositeAcross(s.comp, cv) + kLabelGap + lw + 4.0);
            break;
        case Slot::Section:
            s.width = roundToStep(std::max(2 * kBlockHalfW + 30.0, lw + 12.0));
            break;
        case Slot::Amplifier:
            s.width = kStep;
            break;
        }
    }
    const GroupGeom gg = groupGeom(pic.group, cv);

    struct Row {
        std::vector<std::size_t> items;
        bool group = false;
        double end = 0;
    };
    const double xStart = origin.x() + kSourceRoom;
    std::vector<Row> rows(1);
    double x = xStart;
    // x counts from the first branch: a branch whose slot would end a step beyond kWrapAt
    // starts a new row, and so does the last branch once x has passed kWrapLastAt, which
    // leaves room for the drivers.
    for (std::size_t i = 0; i < pic.items.size(); ++i) {
        const double at = x - xStart;
        const bool wrap =
            i + 1 == pic.items.size() ? at > kWrapLastAt : at + pic.items[i].width > kWrapAt + kStep;
        if (!rows.back().items.empty() && wrap) {
            rows.back().end = x;
            rows.emplace_back();
            x = xStart;
        }
        rows.back().items.push_back(i);
        x += pic.items[i].width;
    }
    rows.back().group = true;
    rows.back().end = x;

    const double wrapX = xStart - 14.0;
    std::optional<double> wrapFrom; // height of the wire coming round from the row above
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        double band = 14.0, middle = 50.0;
        for (std::size_t i : row.items) {
            const Slot& s = pic.items[i];
            if (s.kind == Slot::Shunt) middle = std::max(middle, kMinMiddle);
            if (s.kind == Slot::Series || s.kind == Slot::Section)
                band = std::max(band, labelsHeight(s) + 26.0);
            if (s.kind == Slot::Shunt) {
                middle = std::max(middle, compositeLength(s.comp) + 36.0);
                middle = std::max(middle, static_cast<double>(s.labels.size()) * kLineH + 20.0);
            }
            if (s.kind == Slot::Series) middle = std::max(middle, compositeAcross(s.comp, cv) + 30.0);
        }
        if (row.group) middle = std::max({middle, kMinMiddle, gg.height});
        RowGeom g;
        g.top = y;
        g.line = y + band;
        g.ground = g.line + middle;
        g.bottom = g.ground + 16.0;

        if (r == 0) {
            drawSource(cv, origin.x() + 20.0, g.line, g.ground, pic.disconnected);
        } else {
            QPolygonF wire;
            wire << QPointF(wrapX, *wrapFrom) << QPointF(wrapX, g.line) << QPointF(xStart, g.line);
            cv.polyline(wire);
            drawGround(cv, QPointF(wrapX, g.ground));
        }
        const double groundFrom = r == 0 ? origin.x() + 20.0 : wrapX;
        double sx = xStart;
        for (std::size_t i : row.items) {
            drawSlot(cv, pic.items[i], sx, g);
            sx += pic.items[i].width;
        }
        cv.line(QPointF(groundFrom, g.ground), QPointF(sx, g.ground));
        if (row.group) {
            drawGroup(cv, pic.group, gg, sx, g);
        } else {
            // The live wire carries on round to the start of the next row.
            const double down = g.ground + 24.0;
            QPolygonF wire;
            wire << QPointF(row.end, g.line) << QPointF(row.end + 12.0, g.line)
                 << QPointF(row.end + 12.0, down) << QPointF(wrapX, down);
            cv.polyline(wire);
            wrapFrom = down;
            g.bottom = down + 8.0;
        }
        y = g.bottom;
    }
    return y - origin.y();
}

// One layout pass: measures (painter null) or draws.
QRectF layoutSimple(QPainter* p, TXover& project) {
    const Fonts f = makeFonts();
    Canvas cv(p, f, false);
    double y = kMargin;
    const int nets = project.IsSimple() ? project.NetCount() : 0;
    for (int i = 0; i < nets; ++i) {
        const int section = nets == 2 && i == 1 ? 2 : i;
        TNet* net = project.SimpleNet(section);
        if (net == nullptr) continue;
        Picture pic = simplePicture(*net, f);
        y += drawPicture(cv, pic, QPointF(kMargin, y)) + kSectionGap;
    }
    return cv.bounds();
}

QRectF layoutNet(QPainter* p, TNetA& net) {
    const Fonts f = makeFonts();
    Canvas cv(p, f, net.largeSymbols != 0);
    Picture pic = advancedPicture(net, f);
    drawPicture(cv, pic, QPointF(kMargin, kMargin));
    return cv.bounds();
}

QSizeF naturalSize(const QRectF& bounds) {
    if (bounds.isNull()) return {200.0, 100.0};
    return {bounds.right() + kMargin, bounds.bottom() + kMargin};
}

template <typename Layout> void paintScaled(QPainter& p, const QRectF& target, bool printing, Layout layout) {
    const QSizeF natural = naturalSize(layout(nullptr));
    if (!printing) p.fillRect(target, Qt::white);
    const double scale = std::min(target.width() / natural.width(), target.height() / natural.height());
    if (!(scale > 0.0)) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.translate(target.topLeft());
    p.scale(scale, scale);
    layout(&p);
    p.restore();
}


} // namespace

QSizeF SchematicPainter::size(TXover& simpleProject) {
    return naturalSize(layoutSimple(nullptr, simpleProject));
}

QSizeF SchematicPainter::size(TNetA& net) {
    return naturalSize(layoutNet(nullptr, net));
}

void SchematicPainter::paint(QPainter& painter, const QRectF& target, TXover& simpleProject, bool printing) {
    paintScaled(painter, target, printing,
                [&simpleProject](QPainter* p) { return layoutSimple(p, simpleProject); });
}

void SchematicPainter::paint(QPainter& painter, const QRectF& target, TNetA& net, bool printing) {
    paintScaled(painter, target, printing, [&net](QPainter* p) { return layoutNet(p, net); });
}

bool SchematicPainter::saveToFile(TXover& project, int net, const QString& path, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    TNetA* advanced = nullptr;
    if (net < 0) {
        if (!project.IsSimple()) return fail(QStringLiteral("the project has no simple networks"));
    } else {
        if (project.IsSimple() || net >= project.NetCount() ||
            (advanced = project.AdvancedNet(net)) == nullptr)
            return fail(QStringLiteral("the project has no net %1").arg(net + 1));
    }
    const QSizeF natural = advanced ? size(*advanced) : size(project);
    auto draw = [&](QPainter& p, const QRectF& r) {
        if (advanced)
            paint(p, r, *advanced, false);
        else
            paint(p, r, project, false);
    };

    // One and a half pixels a unit keeps the small texts sharp in a PNG.
    const QSize png(static_cast<int>(std::ceil(natural.width() * 1.5)),
                    static_cast<int>(std::ceil(natural.height() * 1.5)));
    const QSize svg(static_cast<int>(std::ceil(natural.width())), static_cast<int>(std::ceil(natural.height())));
    return savePicture(path, png, svg, {fromModelText(project.Caption()), QStringLiteral("Harlox schematic")}, draw,
                       error);
}

} // namespace harlox
