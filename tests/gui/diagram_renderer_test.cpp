#include "gui/diagram_renderer.h"

#include "gui_test_support.h"
#include "temp_dir.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace harlox {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kN = 100;

// Curves and x values that a test model points at.
struct Data {
    std::array<double, kN> x{};
    std::array<std::array<double, kN>, 12> y{};
    std::array<double, kN> phase{};

    Data() {
        for (int i = 0; i < kN; ++i)
            x[i] = 20.0 * std::pow(100.0, double(i) / (kN - 1)); // 20 Hz .. 2 kHz
    }
    void flat(int c, double v) { y[c].fill(v); }
};

bool near(QColor a, QColor b, int tol = 40) {
    return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol &&
           std::abs(a.blue() - b.blue()) <= tol;
}

// Whether any pixel in a small square around (x, y) has the colour.
bool colourAround(const QImage& img, double x, double y, QColor c, int r = 2) {
    for (int dy = -r; dy <= r; ++dy) {
        for (int dx = -r; dx <= r; ++dx) {
            const int px = static_cast<int>(std::lround(x)) + dx;
            const int py = static_cast<int>(std::lround(y)) + dy;
            if (img.valid(px, py) && near(img.pixelColor(px, py), c)) return true;
        }
    }
    return false;
}

// Counts pixels of colour c in a column over the plot height.
int columnCount(const QImage& img, int x, const QRectF& plot, QColor c) {
    int n = 0;
    for (int y = static_cast<int>(plot.top()) + 2; y < static_cast<int>(plot.bottom()) - 2; ++y) {
        if (near(img.pixelColor(x, y), c)) ++n;
    }
    return n;
}

// --- robustness ---------------------------------------------------------------------------

// A model with one curve and a phase, then changed into a hard case.
using Shape = void (*)(DiagramModel&, Data&);
const std::pair<const char*, Shape> kShapes[] = {
    {"Empty", [](DiagramModel& m, Data&) { m.setPointCount(0); }},
    {"OnePoint",
     [](DiagramModel& m, Data&) {
         m.setPointCount(1);
         m.setCursor(20.0);
     }},
    {"NaNs",
     [](DiagramModel& m, Data& d) {
         for (int i = 0; i < kN; i += 3)
             d.y[0][i] = kNaN;
         d.x[5] = kNaN;
         d.phase[7] = kNaN;
         m.setCursor(100.0);
     }},
    {"AllNaN",
     [](DiagramModel& m, Data& d) {
         d.y[0].fill(kNaN);
         d.phase.fill(kNaN);
         m.setCursor(100.0);
     }},
    {"Infinities",
     [](DiagramModel&, Data& d) {
         d.y[0][10] = kInf;
         d.y[0][11] = -kInf;
         d.x[20] = kInf;
         d.x[0] = -5; // and x values that a log axis cannot show
         d.x[1] = 0;
     }},
    {"NoX",
     [](DiagramModel& m, Data&) {
         m.setX(nullptr);
         m.setCursor(100.0);
     }},
    {"NullCurve",
     [](DiagramModel& m, Data&) {
         m.addCurve(nullptr, Pen{PenColor::Red, PenStyle::Dash}, "Target");
         m.setCursor(1e9); // outside the data
     }},
    {"TenCurves",
     [](DiagramModel& m, Data& d) {
         for (int c = 1; c < 12; ++c) {
             d.flat(c, 60.0 + c);
             m.addCurve(d.y[c].data(), Pen{static_cast<PenColor>(c % 5), static_cast<PenStyle>(c % 6)},
                        std::string(60, char('a' + c)));
         }
         m.setCursor(300.0);
         m.setNote(std::string(49, 'n'));
     }},
    {"Huge",
     [](DiagramModel& m, Data& d) {
         d.y[0][3] = 1e300;
         d.y[0][4] = -1e300;
         m.setCursor(25.0);
     }},
    {"FixedAndZeroDivisor",
     [](DiagramModel& m, Data&) {
         m.setFixedYRange(50.0);
         m.setFixedXRange(1e6); // reaches below zero on a log axis
         m.setYDivisor(0.0);
     }},
};

class RenderAnything : public ::testing::TestWithParam<std::pair<const char*, Shape>> {};

TEST_P(RenderAnything, DrawsWithoutCrashingAtAnySize) {
    for (const QSize size :
         {QSize(1, 1), QSize(60, 40), QSize(400, 250), QSize(560, 380), QSize(2400, 1600)}) {
        Data d;
        DiagramModel m("Free air SPL at 1m distance", "Hz", "dB");
        m.setX(d.x.data());
        m.setPointCount(kN);
        for (int i = 0; i < kN; ++i) {
            d.y[0][i] = 80 + 10 * std::sin(i * 0.1);
            d.phase[i] = std::fmod(i * 17.0, 360.0) - 180.0;
        }
        m.addCurve(d.y[0].data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
        m.setPhase(d.phase.data());
        GetParam().second(m, d);
        const QImage img = DiagramRenderer::toImage(m, size);
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.size(), size);
        const DiagramLayout l = DiagramRenderer::layout(QRectF(QPointF(0, 0), QSizeF(size)), m);
        if (size.width() >= 200) {
            EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(size)).contains(l.plot))
                << l.plot.left() << " " << l.plot.top();
            EXPECT_GT(l.plot.width(), size.width() * 0.5);
            EXPECT_GT(l.plot.height(), size.height() * 0.3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RenderAnything, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.first); });

// --- what ends up where -------------------------------------------------------------------

class RenderPixels : public ::testing::Test {
protected:
    Data d;
    DiagramModel m{"Test", "Hz", "dB"};
    void SetUp() override {
        m.setX(d.x.data());
        m.setPointCount(kN);
    }
    QImage draw(QSize size = {600, 400}, const RenderOptions& o = {}) {
        layout = DiagramRenderer::layout(QRectF(0, 0, size.width(), size.height()), m, o);
        return DiagramRenderer::toImage(m, size, o);
    }
    DiagramLayout layout;
};

TEST_F(RenderPixels, CurvesAppearAtTheirValues) {
    d.flat(0, 50.0);
    d.flat(1, 80.0);
    d.flat(2, 0.0);
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red");
    m.addCurve(d.y[1].data(), Pen{PenColor::Blue, PenStyle::Thick}, "Blue");
    m.addCurve(d.y[2].data(), Pen{PenColor::Green, PenStyle::Solid}, "Green");
    for (const QSize size : {QSize(600, 400), QSize(1200, 800), QSize(400, 250)}) {
        const QImage img = draw(size);
        const double x = layout.x.toPixel(200.0);
        const QColor red = DiagramRenderer::color(PenColor::Red);
        const QColor blue = DiagramRenderer::color(PenColor::Blue);
        EXPECT_TRUE(colourAround(img, x, layout.y.toPixel(50.0), red)) << size.width();
        EXPECT_TRUE(colourAround(img, x, layout.y.toPixel(80.0), blue)) << size.width();
        EXPECT_FALSE(colourAround(img, x, layout.y.toPixel(65.0), red)) << size.width();
        EXPECT_FALSE(colourAround(img, x, layout.y.toPixel(65.0), blue)) << size.width();
        // nice bounds around 0 .. 80
        EXPECT_NEAR(layout.y.toValue(layout.plot.bottom()), 0.0, 1e-9);
        EXPECT_NEAR(layout.y.toValue(layout.plot.top()), 80.0, 1e-9);
        // the log x axis spans the data exactly
        EXPECT_NEAR(layout.x.toValue(layout.plot.left()), 20.0, 1e-9);
        EXPECT_NEAR(layout.x.toValue(layout.plot.right()), 2000.0, 1e-6);
    }
}

TEST_F(RenderPixels, NonFinitePointsLeaveAGap) {
    for (int i = 0; i < kN; ++i)
        d.y[0][i] = 40.0 + 20.0 * i / (kN - 1);
    for (int i = 40; i < 60; ++i)
        d.y[0][i] = kNaN;
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red");
    const QImage img = draw();
    const QColor red = DiagramRenderer::color(PenColor::Red);
    const int inGap = static_cast<int>(layout.x.toPixel(d.x[50]));
    const int before = static_cast<int>(layout.x.toPixel(d.x[30]));
    EXPECT_EQ(columnCount(img, inGap, layout.plot, red), 0);
    EXPECT_GT(columnCount(img, before, layout.plot, red), 0);
}

TEST_F(RenderPixels, FixedRangeIsKeptAndADivisorScales) {
    for (int i = 0; i < kN; ++i)
        d.y[0][i] = 30.0 + 60.0 * i / (kN - 1); // 30 .. 90
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red");
    m.setFixedYRange(50.0);
    draw();
    // top = 90 + 50/30, bottom = top - 50: not widened to nice numbers
    EXPECT_NEAR(layout.y.toValue(layout.plot.top()), 90.0 + 50.0 / 30.0, 1e-9);
    EXPECT_NEAR(layout.y.toValue(layout.plot.bottom()), 40.0 + 50.0 / 30.0, 1e-9);

    // A divisor scales the curves.
    d.flat(0, 500.0);
    d.y[0][0] = 0.0;
    m.setFixedYRange(0.0);
    m.setYDivisor(10.0);
    const QImage img = draw();
    EXPECT_NEAR(layout.y.toValue(layout.plot.top()), 50.0, 1e-9);
    EXPECT_TRUE(colourAround(img, layout.x.toPixel(200.0), layout.y.toPixel(50.0),
                             DiagramRenderer::color(PenColor::Red)));
}

TEST_F(RenderPixels, AnEleventhCurveIsNotDrawn) {
    for (int c = 0; c < 10; ++c) {
        d.flat(c, 10.0 + c);
        ASSERT_EQ(m.addCurve(d.y[c].data(), Pen{PenColor::Grey, PenStyle::Solid}, "Grey"), c);
    }
    d.flat(10, 90.0);
    EXPECT_EQ(m.addCurve(d.y[10].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red"), -1);
    const QImage img = draw();
    for (const double f : {50.0, 200.0, 1000.0})
        EXPECT_EQ(columnCount(img, static_cast<int>(layout.x.toPixel(f)), layout.plot,
                              DiagramRenderer::color(PenColor::Red)),
                  0);
}

TEST_F(RenderPixels, PhaseUsesItsOwnAxisAndBreaksAtTheWrap) {
    d.flat(0, 80.0);
    m.addCurve(d.y[0].data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    for (int i = 0; i < kN; ++i)
        d.phase[i] = i < 50 ? 170.0 : -170.0;
    m.setPhase(d.phase.data());
    const QColor purple = DiagramRenderer::phaseColor();
    QImage img = draw();
    const AxisMapping phase({-180.0, 180.0}, layout.plot.bottom(), layout.plot.top(), false);
    EXPECT_TRUE(colourAround(img, layout.x.toPixel(50.0), phase.toPixel(170.0), purple));
    EXPECT_TRUE(colourAround(img, layout.x.toPixel(1000.0), phase.toPixel(-170.0), purple));
    // no vertical line where it wraps
    const int jump =
        static_cast<int>(std::lround((layout.x.toPixel(d.x[49]) + layout.x.toPixel(d.x[50])) / 2));
    EXPECT_LT(columnCount(img, jump, layout.plot, purple), 8);

    m.setPhaseShown(false);
    img = draw();
    EXPECT_FALSE(colourAround(img, layout.x.toPixel(50.0), phase.toPixel(170.0), purple));
}

TEST_F(RenderPixels, CursorLineOnScreenButNotInPrint) {
    for (int i = 0; i < kN; ++i)
        d.y[0][i] = 40.0 + 20.0 * i / (kN - 1);
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red");
    const QColor dark(0x40, 0x40, 0x40);
    QImage img = draw();
    const int col = static_cast<int>(layout.x.toPixel(700.0));
    const int without = columnCount(img, col, layout.plot, dark);
    m.setCursor(700.0);
    img = draw();
    const int cursorCol = static_cast<int>(std::floor(layout.x.toPixel(700.0)));
    int best = 0;
    for (int c = cursorCol - 1; c <= cursorCol + 1; ++c)
        best = std::max(best, columnCount(img, c, layout.plot, dark));
    EXPECT_GT(best, without + 20);
    RenderOptions print;
    print.printing = true;
    img = draw({600, 400}, print);
    for (int c = cursorCol - 1; c <= cursorCol + 1; ++c)
        EXPECT_LE(columnCount(img, c, layout.plot, dark), 2);
}

TEST_F(RenderPixels, LayoutScalesWithTheTarget) {
    d.flat(0, 50.0);
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red");
    m.setPhase(d.phase.data());
    const DiagramLayout small = DiagramRenderer::layout(QRectF(0, 0, 600, 400), m);
    const DiagramLayout big = DiagramRenderer::layout(QRectF(0, 0, 2400, 1600), m);
    EXPECT_NEAR(big.unit / small.unit, 4.0, 1e-9);
    EXPECT_NEAR(big.plot.width() / 2400.0, small.plot.width() / 600.0, 0.03);
    EXPECT_NEAR(big.plot.height() / 1600.0, small.plot.height() / 400.0, 0.03);
    // An offset target moves the plot with it.
    const DiagramLayout moved = DiagramRenderer::layout(QRectF(100, 50, 600, 400), m);
    EXPECT_NEAR(moved.plot.left(), small.plot.left() + 100, 1e-9);
    EXPECT_NEAR(moved.plot.top(), small.plot.top() + 50, 1e-9);
}

// --- helpers ------------------------------------------------------------------------------

TEST(DiagramRendererPen, MapsStylesAndScalesWidths) {
    const QPen thick = DiagramRenderer::qpen(Pen{PenColor::Black, PenStyle::Thick}, 1.0);
    EXPECT_DOUBLE_EQ(thick.widthF(), 3.0);
    EXPECT_EQ(thick.style(), Qt::SolidLine);
    EXPECT_DOUBLE_EQ(DiagramRenderer::qpen(Pen{PenColor::Black, PenStyle::Thick}, 2.5).widthF(), 7.5);
    const QPen solid = DiagramRenderer::qpen(Pen{PenColor::Grey, PenStyle::Solid}, 1.0);
    EXPECT_EQ(solid.style(), Qt::SolidLine);
    EXPECT_EQ(solid.color(), QColor(127, 127, 127));
    for (const PenStyle s : {PenStyle::Dash, PenStyle::Dot, PenStyle::DashDot, PenStyle::DashDotDot})
        EXPECT_EQ(DiagramRenderer::qpen(Pen{PenColor::Red, s}, 1.0).style(), Qt::CustomDashLine);
    EXPECT_EQ(DiagramRenderer::qpen(Pen{PenColor::Red, PenStyle::Dot}, 1.0).dashPattern().size(), 2);
    EXPECT_EQ(DiagramRenderer::qpen(Pen{PenColor::Red, PenStyle::DashDotDot}, 1.0).dashPattern().size(), 6);
    // five distinct colours, and the phase colour differs from all of them
    std::vector<QColor> seen{DiagramRenderer::phaseColor()};
    for (const PenColor c :
         {PenColor::Black, PenColor::Red, PenColor::Green, PenColor::Blue, PenColor::Grey}) {
        for (const QColor& s : seen)
            EXPECT_FALSE(near(s, DiagramRenderer::color(c), 30));
        seen.push_back(DiagramRenderer::color(c));
    }
}

TEST(DiagramRendererValueAt, InterpolatesOnTheLogAxis) {
    const double x[] = {100.0, 1000.0, 10000.0, 20000.0};
    const double y[] = {0.0, 10.0, kNaN, 30.0};
    const double ph[] = {170.0, -170.0, 0.0, 10.0};
    DiagramModel m("t", "Hz", "dB");
    m.setX(x);
    m.setPointCount(4);
    m.addCurve(y, Pen{}, "a");
    m.setPhase(ph);
    EXPECT_NEAR(DiagramRenderer::valueAt(m, 0, std::sqrt(1e5)), 5.0, 1e-12); // half way in log
    EXPECT_DOUBLE_EQ(DiagramRenderer::valueAt(m, 0, 1000.0), 10.0);
    EXPECT_TRUE(std::isnan(DiagramRenderer::valueAt(m, 0, 5000.0))); // next to a NaN
    EXPECT_TRUE(std::isnan(DiagramRenderer::valueAt(m, 0, 50.0)));   // outside
    EXPECT_TRUE(std::isnan(DiagramRenderer::valueAt(m, 1, 500.0)));  // no such curve
    EXPECT_TRUE(std::isnan(DiagramRenderer::valueAt(m, 0, kNaN)));
    m.setYDivisor(2.0);
    EXPECT_NEAR(DiagramRenderer::valueAt(m, 0, std::sqrt(1e5)), 2.5, 1e-12);
    // phase is never divided, and across a wrap it takes the nearer point
    EXPECT_DOUBLE_EQ(DiagramRenderer::valueAt(m, -1, 150.0), 170.0);
    EXPECT_DOUBLE_EQ(DiagramRenderer::valueAt(m, -1, 900.0), -170.0);
    m.setLogX(false);
    m.setYDivisor(1.0);
    EXPECT_NEAR(DiagramRenderer::valueAt(m, 0, 550.0), 5.0, 1e-12);
}

TEST(DiagramRendererFile, WritesPngAndSvgByExtensionAndKeepsOldFilesOnFailure) {
    test::TempDir dir;
    const double x[] = {20.0, 200.0, 2000.0};
    const double y[] = {70.0, 85.0, 88.0};
    DiagramModel m("Free air SPL at 1m distance", "Hz", "dB");
    m.setX(x);
    m.setPointCount(3);
    m.addCurve(y, Pen{PenColor::Black, PenStyle::Thick}, "Total");

    QString err;
    const QString png = QString::fromStdString(dir.file("a.png"));
    ASSERT_TRUE(DiagramRenderer::saveToFile(m, png, QSize(640, 480), &err)) << err.toStdString();
    QImage back(png);
    EXPECT_EQ(back.size(), QSize(640, 480));

    const QString svg = QString::fromStdString(dir.file("a.SVG"));
    ASSERT_TRUE(DiagramRenderer::saveToFile(m, svg, QSize(300, 200), &err)) << err.toStdString();
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("<svg"));
    EXPECT_TRUE(text.contains("viewBox=\"0 0 300 200\""));
    EXPECT_TRUE(text.contains("Free air SPL at 1m distance"));

    EXPECT_FALSE(
        DiagramRenderer::saveToFile(m, QString::fromStdString(dir.file("a.bmp")), QSize(10, 10), &err));
    EXPECT_TRUE(err.contains(QStringLiteral("bmp")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("a.bmp"))));
    EXPECT_FALSE(
        DiagramRenderer::saveToFile(m, QString::fromStdString(dir.file("b.png")), QSize(0, 10), &err));
    EXPECT_FALSE(
        DiagramRenderer::saveToFile(m, QString::fromStdString(dir.file("b.png")), QSize(100000, 10), &err));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("b.png"))));
    EXPECT_FALSE(DiagramRenderer::saveToFile(m, QString::fromStdString(dir.file("missing/c.png")),
                                             QSize(10, 10), &err));
    EXPECT_FALSE(err.isEmpty());

    // A failed write keeps the old file.
    test::writeAll(dir.file("keep.png"), {1, 2, 3});
    {
        test::FileSizeLimit limit(100);
        EXPECT_FALSE(DiagramRenderer::saveToFile(m, QString::fromStdString(dir.file("keep.png")),
                                                 QSize(400, 300), &err));
    }
    EXPECT_EQ(test::readAll(dir.file("keep.png")), (std::vector<std::uint8_t>{1, 2, 3}));
}

} // namespace
} // namespace harlox
