#include "gui/diagram_renderer.h"

#include "core/atomic_file.h"

#include "gui_test_support.h"
#include "temp_dir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace harlox {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kN = 100;

// Curves and x values (20 Hz to 2 kHz) that a test model points at.
struct Data {
    std::array<double, kN> x{};
    std::array<std::array<double, kN>, 12> y{};
    std::array<double, kN> phase{};

    Data() {
        for (int i = 0; i < kN; ++i)
            x[i] = 20.0 * std::pow(100.0, double(i) / (kN - 1));
    }
};

// Whether any pixel in a small square around (x, y) has about the colour c.
bool colourAround(const QImage& img, double x, double y, QColor c) {
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const QPoint at(static_cast<int>(std::lround(x)) + dx, static_cast<int>(std::lround(y)) + dy);
            const QColor p = img.valid(at) ? img.pixelColor(at) : QColor(Qt::white);
            if (std::abs(p.red() - c.red()) <= 40 && std::abs(p.green() - c.green()) <= 40 &&
                std::abs(p.blue() - c.blue()) <= 40)
                return true;
        }
    }
    return false;
}

// A model with one curve and a phase, then changed into a hard case.
using Shape = void (*)(DiagramModel&, Data&);
const std::pair<const char*, Shape> kShapes[] = {
    {"Empty", [](DiagramModel& m, Data&) { m.setPointCount(0); }},
    {"OnePoint", [](DiagramModel& m, Data&) { m.setPointCount(1); }},
    {"NaNsInfinitiesAndXBelowZero",
     [](DiagramModel&, Data& d) {
         for (int i = 0; i < kN; i += 3)
             d.y[0][i] = d.phase[i] = kNaN;
         d.y[0][10] = kInf;
         d.y[0][11] = -1e300;
         d.x[5] = kNaN;
         d.x[20] = kInf;
         d.x[0] = -5;
     }},
    {"AllNaN",
     [](DiagramModel&, Data& d) {
         d.y[0].fill(kNaN);
         d.phase.fill(kNaN);
     }},
    {"NoXAndANullCurve",
     [](DiagramModel& m, Data&) {
         m.setX(nullptr);
         m.addCurve(nullptr, Pen{PenColor::Red, PenStyle::Dash}, "Target");
     }},
    {"ElevenCurvesWithLongLabels",
     [](DiagramModel& m, Data& d) {
         for (int c = 1; c < 12; ++c) {
             d.y[c].fill(60.0 + c);
             m.addCurve(d.y[c].data(), Pen{static_cast<PenColor>(c % 5), static_cast<PenStyle>(c % 6)},
                        std::string(60, char('a' + c)));
         }
         m.setNote(std::string(49, 'n'));
     }},
    {"FixedRangesAndZeroDivisor",
     [](DiagramModel& m, Data&) {
         m.setFixedYRange(50.0);
         m.setFixedXRange(1e6); // reaches below zero on a log axis
         m.setYDivisor(0.0);
     }},
};

class RenderAnything : public ::testing::TestWithParam<std::pair<const char*, Shape>> {};

TEST_P(RenderAnything, DrawsAtAnySizeWithThePlotInside) {
    for (const QSize size : {QSize(1, 1), QSize(60, 40), QSize(400, 250), QSize(2400, 1600)}) {
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
        m.setCursor(100.0);
        GetParam().second(m, d);
        EXPECT_EQ(DiagramRenderer::toImage(m, size).size(), size);
        const QRectF target(QPointF(0, 0), QSizeF(size));
        const QRectF plot = DiagramRenderer::layout(target, m).plot;
        // From 200 pixels on, the legend and the labels leave most of the target to the plot.
        EXPECT_TRUE(size.width() < 200 || (target.contains(plot) && plot.width() > size.width() * 0.5 &&
                                           plot.height() > size.height() * 0.3));
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RenderAnything, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.first); });

TEST(DiagramRenderer, CurvesAppearAtTheirValuesOnNiceBoundsAndNaNsLeaveAGap) {
    Data d;
    DiagramModel m("Test", "Hz", "dB");
    m.setX(d.x.data());
    m.setPointCount(kN);
    d.y[0].fill(50.0);
    d.y[1].fill(80.0);
    for (int i = 40; i < 60; ++i)
        d.y[0][i] = kNaN;
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Red");
    m.addCurve(d.y[1].data(), Pen{PenColor::Blue, PenStyle::Thick}, "Blue");
    m.addCurve(d.y[2].data(), Pen{PenColor::Green, PenStyle::Solid}, "Green"); // all 0
    const QColor red = DiagramRenderer::color(PenColor::Red);
    for (const QSize size : {QSize(1200, 800), QSize(400, 250)}) {
        const DiagramLayout l = DiagramRenderer::layout(QRectF(QPointF(0, 0), QSizeF(size)), m);
        const QImage img = DiagramRenderer::toImage(m, size);
        const double x = l.x.toPixel(d.x[30]);
        EXPECT_TRUE(colourAround(img, x, l.y.toPixel(50.0), red));
        EXPECT_TRUE(colourAround(img, x, l.y.toPixel(80.0), DiagramRenderer::color(PenColor::Blue)));
        EXPECT_FALSE(colourAround(img, x, l.y.toPixel(65.0), red));
        EXPECT_FALSE(colourAround(img, l.x.toPixel(d.x[50]), l.y.toPixel(50.0), red));
        // 0 to 80 dB; the log x axis spans the data exactly.
        EXPECT_NEAR(l.y.toValue(l.plot.bottom()), 0.0, 1e-9);
        EXPECT_NEAR(l.y.toValue(l.plot.top()), 80.0, 1e-9);
        EXPECT_NEAR(l.x.toValue(l.plot.left()), 20.0, 1e-9);
        EXPECT_NEAR(l.x.toValue(l.plot.right()), 2000.0, 1e-6);
    }
}

// Every labelled curve gets a legend sample above the plot; a phase that wraps from +180 to
// -180 is not joined across the plot; a curve that leaves the y range stays inside the plot.
TEST(DiagramRenderer, LegendNamesLabelledCurvesPhaseBreaksAtWrapsAndCurvesStayInThePlot) {
    Data d;
    DiagramModel m("Impedance", "Hz", "ohm");
    m.setX(d.x.data());
    m.setPointCount(kN);
    for (int i = 0; i < kN; ++i) {
        d.y[0][i] = 10.0;
        d.y[1][i] = i < kN / 2 ? 20.0 : 20.0 + (i - kN / 2) * 40.0; // climbs far above the range
        d.phase[i] = i < kN / 2 ? 170.0 : -170.0;
    }
    m.addCurve(d.y[0].data(), Pen{PenColor::Red, PenStyle::Thick}, "Impedance");
    m.addCurve(d.y[1].data(), Pen{PenColor::Blue, PenStyle::Thick}, "");
    m.setPhase(d.phase.data());
    RenderOptions o;
    o.yRange = AxisRange{0.0, 40.0, true};
    const QSize size(800, 500);
    const DiagramLayout l = DiagramRenderer::layout(QRectF(QPointF(0, 0), QSizeF(size)), m, o);
    const QImage img = DiagramRenderer::toImage(m, size, o);
    const auto anywhere = [&img](const QRectF& r, QColor c) {
        for (int y = int(r.top()); y < int(r.bottom()); y += 2) {
            for (int x = int(r.left()); x < int(r.right()); x += 2) {
                if (colourAround(img, x, y, c)) return true;
            }
        }
        return false;
    };
    const QRectF legendBand(l.plot.left(), 0.0, l.plot.width(), l.plot.top() - 2.0);
    const QColor red = DiagramRenderer::color(PenColor::Red);
    const QColor blue = DiagramRenderer::color(PenColor::Blue);
    EXPECT_TRUE(anywhere(legendBand, red));
    EXPECT_TRUE(anywhere(legendBand, DiagramRenderer::phaseColor()));
    EXPECT_FALSE(anywhere(legendBand, blue)) << "an unlabelled curve has no entry; nor is it drawn there";

    // The wrap lies between points kN/2 - 1 and kN/2: nothing joins them at mid height.
    const double wrapX = (l.x.toPixel(d.x[kN / 2 - 1]) + l.x.toPixel(d.x[kN / 2])) / 2.0;
    const QRectF middle(wrapX - 1, l.plot.top() + l.plot.height() * 0.3, 3, l.plot.height() * 0.4);
    EXPECT_FALSE(anywhere(middle, DiagramRenderer::phaseColor()));
    // The blue curve is drawn up to the plot's top and not beyond it, above or to the right.
    EXPECT_TRUE(anywhere(QRectF(l.plot.left(), l.plot.top(), l.plot.width(), 8), blue));
    EXPECT_FALSE(anywhere(QRectF(l.plot.right() + 3, 0, size.width() - l.plot.right() - 3, size.height()), blue));
}

// A picture is saved like every other file: a failed write leaves the old one as it was.
// A small diagram for the file tests.
DiagramModel threePoints() {
    static const double x[] = {20.0, 200.0, 2000.0};
    DiagramModel m("Free air SPL at 1m distance", "Hz", "dB");
    m.setX(x);
    m.setPointCount(3);
    m.addCurve(x, Pen{PenColor::Black, PenStyle::Thick}, "Total");
    return m;
}

TEST(DiagramRenderer, AFailedWriteKeepsTheOldFile) {
    test::TempDir dir;
    const DiagramModel m = threePoints();
    test::writeAll(dir.file("keep.png"), {1, 2, 3});
    {
        test::FileSizeLimit limit(100);
        EXPECT_FALSE(
            DiagramRenderer::saveToFile(m, QString::fromStdString(dir.file("keep.png")), QSize(400, 300)));
    }
    EXPECT_EQ(test::readAll(dir.file("keep.png")), (std::vector<std::uint8_t>{1, 2, 3}));
}

// Pictures go through the same atomic writer as every other file: whatever fails, the
// previous picture stays, no temporary file is left and the reason comes back.
TEST(DiagramRenderer, APictureSaveMeetingAFaultKeepsThePreviousPicture) {
    test::TempDir dir;
    const DiagramModel m = threePoints();
    const struct {
        const char* name;
        SaveFault fault;
        const char* why;
    } faults[] = {
        {"permission denied", {.openErrno = EACCES}, "Permission denied"},
        {"disk full halfway", {.shortWriteAfter = 300}, "No space left on device"},
        {"fsync fails", {.fsyncErrno = EIO}, "Input/output error"},
        {"rename refused", {.renameErrno = EXDEV}, "Invalid cross-device link"},
    };
    for (const char* name : {"keep.png", "keep.svg"}) {
        const QString path = QString::fromStdString(dir.file(name));
        ASSERT_TRUE(DiagramRenderer::saveToFile(m, path, QSize(400, 300)));
        const std::vector<std::uint8_t> before = test::readAll(dir.file(name));
        for (const auto& f : faults) {
            SCOPED_TRACE(std::string(name) + ": " + f.name);
            QString error;
            {
                ScopedSaveFault fault(f.fault);
                EXPECT_FALSE(DiagramRenderer::saveToFile(m, path, QSize(640, 480), &error));
                EXPECT_EQ(fault.hits(), 1);
            }
            EXPECT_EQ(error, QString::fromLatin1(f.why));
            EXPECT_EQ(test::readAll(dir.file(name)), before);
            EXPECT_FALSE(std::filesystem::exists(dir.file(name) + ".tmp"));
        }
    }
}

} // namespace
} // namespace harlox
