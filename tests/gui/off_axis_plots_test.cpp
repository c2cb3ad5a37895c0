#include "gui/off_axis_plots.h"

#include "filter/general.h"
#include "filter/xover.h"
#include "gui/diagram_view.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QFile>
#include <QImage>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>

namespace harlox {
namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

// Where on the map's scale (0 .. 1) the pixel two to the right of (f, angle) lies (clear of
// the grid line at f); -1 when it is no scale colour.
struct Render {
    QImage img;
    DiagramLayout l;
    Render(const DiagramModel& m, const RenderOptions& o)
        : img(DiagramRenderer::toImage(m, {560, 380}, o)), l(DiagramRenderer::layout({0, 0, 560, 380}, m, o)) {}
    double at(double f, double angle) const {
        const QColor c = img.pixelColor(int(l.x.toPixel(f) + 2.0), int(l.y.toPixel(angle)));
        double best = -1.0, bestD = 12.0;
        for (int k = 0; k <= 400; ++k) {
            const QColor s = DiagramRenderer::levelColor(k / 400.0);
            const double d = std::hypot(c.red() - s.red(), c.green() - s.green(), c.blue() - s.blue());
            if (d < bestD) bestD = d, best = k / 400.0;
        }
        return best;
    }
};

TEST(SurfaceMap, ALoneRayFillsThePlotAndNoRaysGiveTheNote) {
    std::array<double, 3> x{20.0, 2000.0, 20000.0}, level{-20.0, std::nan(""), -HUGE_VAL};
    DiagramModel m("Vertical off axis response, surface plot", "Hz", "dB");
    m.setX(x.data());
    m.setPointCount(3);
    RenderOptions one;
    one.surface = SurfaceMap{{{0, level.data()}}, 30.0, 30.0, false};
    const Render lone(m, one);
    EXPECT_EQ(lone.at(100.0, 4.5), 0.0); // below the scale: its coldest colour
    EXPECT_EQ(lone.at(100.0, -4.5), 0.0);
    m.setCursor(1000.0); // gaps, no output and a cursor read-out at any size
    for (const QSize size : {QSize(1, 1), QSize(60, 40), QSize(2400, 1600)})
        EXPECT_EQ(DiagramRenderer::toImage(m, size, one).size(), size);
    m.clearCursor();
    RenderOptions none;
    none.surface = SurfaceMap{};
    const Render empty(m, none);
    int dark = 0; // the note's letters, in a strip across the middle of the plot
    const QPointF c = empty.l.plot.center();
    for (int y = int(c.y()) - 8; y < int(c.y()) + 8; ++y)
        for (int px = int(c.x()) - 90; px < int(c.x()) + 90; ++px)
            dark += qGray(empty.img.pixel(px, y)) < 160 ? 1 : 0;
    EXPECT_GT(dark, 30);
    EXPECT_EQ(empty.at(30.0, 0.5), -1.0);
}

class OffAxisProject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(general.addSurfaceRay(30), TGeneral::RayEdit::Changed);
        ASSERT_EQ(general.addSurfaceRay(-30), TGeneral::RayEdit::Changed);
    }
    // A 2-way project on real drivers placed apart in height, so the rays differ.
    bool loadTwoWay(TXover& x) {
        if (!std::filesystem::is_directory(kMeasured)) return false;
        TNet& bass = *x.SimpleNet(0);
        TNet& treble = *x.SimpleNet(2);
        bass.Spl(0).SetFileName(kMeasured + "DCS255-4@0.frd");
        bass.Impedance(0).SetFileName(kMeasured + "DCS255-4.zma");
        treble.Spl(0).SetFileName(kMeasured + "ND25FA-4@0.frd");
        treble.Impedance(0).SetFileName(kMeasured + "ND25FA-4.zma");
        for (TNet* n : {&bass, &treble})
            if (!n->Spl(0).ReadCurve(nullptr) || !n->Impedance(0).ReadCurve(nullptr)) return false;
        bass.Re = 3.2;
        treble.Re = 3.4;
        treble.invert = 1;
        bass.lowPassOrder = 2;
        bass.lowPassCutoff = treble.highPassCutoff = 2500;
        treble.highPassOrder = 3;
        bass.posY[0] = -0.1;
        treble.posY[0] = 0.08;
        return bass.DesignLowPass() && treble.DesignHighPass() && x.Calculate();
    }
    TGeneral general;
    test::ScriptedUiHost ui;
};

TEST_F(OffAxisProject, TheMapFollowsTheRaysFlipsAndReadsTheSettingsAtRenderTime) {
    TXover x(general, 0, ui);
    if (!loadTwoWay(x)) GTEST_SKIP() << "no shared data folder";
    const RenderOptionsHook hook = surfacePlotHook(x);
    RenderOptions o;
    hook(o);
    ASSERT_TRUE(o.surface && o.xRange);
    EXPECT_EQ(o.xRange->min, 20.0);
    ASSERT_EQ(o.surface->rays.size(), 3u);
    double top = -1e9;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(o.surface->rays[k].angle, general.surfaceAngle(k));
        for (int i = 0; i < 500; ++i)
            if (general.frequency()[i] >= 20.0) top = std::max(top, x.RayDb()[k][i]);
    }
    EXPECT_EQ(o.surface->top, std::ceil(top));
    EXPECT_EQ(o.surface->span, 30.0);

    // Each band shows its ray's level; upside down the ray at +30 is drawn at -30.
    const Render r(x.SurfaceWindow(), o);
    general.flip = 1;
    hook(o);
    const Render flipped(x.SurfaceWindow(), o);
    int differing = 0;
    for (const int i : {150, 300, 360, 400}) {
        const double f = general.frequency()[i];
        for (int k = 0; k < 3; ++k) {
            const double a = general.surfaceAngle(k) - 5.0;
            const double want = std::clamp((x.RayDb()[k][i] - std::ceil(top) + 30.0) / 30.0, 0.0, 1.0);
            EXPECT_NEAR(r.at(f, a), want, 0.05) << "ray " << k << " at " << f << " Hz";
            EXPECT_EQ(flipped.at(f, -a), r.at(f, a));
        }
        differing += r.at(f, 25.0) != r.at(f, -25.0) ? 1 : 0;
    }
    EXPECT_GT(differing, 0);

    general.hideOnAxis = 1;
    ASSERT_TRUE(x.Calculate());
    hook(o);
    ASSERT_EQ(o.surface->rays.size(), 2u);
    EXPECT_EQ(o.surface->rays[1].angle, -30.0);
    general.inhibit = 1;
    ASSERT_TRUE(x.Calculate());
    hook(o);
    EXPECT_TRUE(o.surface->rays.empty());
}

TEST_F(OffAxisProject, OverlayLabelsFlipNetFourIsYellowAndTheMapExports) {
    ASSERT_EQ(general.addOverlayRay(30), TGeneral::RayEdit::Changed);
    ASSERT_EQ(general.addOverlayRay(-30), TGeneral::RayEdit::Changed);
    TXover x(general, 0, ui);
    x.Calculate();
    const DiagramModel& m = x.OverlayWindow();
    ASSERT_EQ(m.curveCount(), 3);
    RenderOptions o;
    overlayPlotHook(x)(o);
    EXPECT_FALSE(o.relabel);
    general.flip = 1;
    overlayPlotHook(x)(o);
    ASSERT_TRUE(o.relabel);
    for (const auto& [c, want] : {std::pair{0, "+0"}, std::pair{1, "-30"}, std::pair{2, "+30"}})
        EXPECT_EQ(o.relabel(QString::fromStdString(m.curve(c).label)), QLatin1String(want));
    EXPECT_EQ(o.relabel(QStringLiteral("Total")), QStringLiteral("Total"));

    TXover four(general, 6, ui);
    const Pen net4 = four.ImpedanceWindow().curve(4).pen;
    EXPECT_EQ(net4.color, PenColor::Yellow);
    EXPECT_EQ(DiagramRenderer::color(net4.color), QColor(0xC8, 0xA0, 0x00));
    EXPECT_EQ(static_cast<int>(PenColor::Grey), 4); // stored pen bytes keep their meaning

    test::TempDir dir;
    surfacePlotHook(x)(o);
    const QString png = QString::fromStdString(dir.file("map.png"));
    const QString svg = QString::fromStdString(dir.file("map.svg"));
    ASSERT_TRUE(DiagramRenderer::saveToFile(x.SurfaceWindow(), png, {640, 420}, nullptr, o));
    ASSERT_TRUE(DiagramRenderer::saveToFile(x.SurfaceWindow(), svg, {640, 420}, nullptr, o));
    EXPECT_EQ(QImage(png).size(), QSize(640, 420));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("<image"), 3); // one picture per ray
}

} // namespace
} // namespace harlox
