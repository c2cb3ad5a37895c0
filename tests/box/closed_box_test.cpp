#include "box/closed_box.h"

#include "box/box_object.h"
#include "box_test_support.h"
#include "core/format.h"
#include "scripted_ui_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace harlox {
namespace {

using test::RefParams;

class ClosedBoxTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetSharedState(); }
    void TearDown() override { test::resetSharedState(); }
    test::ScriptedUiHost ui;
    test::TempDir dir;
};

// ---- the curves against the independent implementation -------------------------

struct ReferenceCase {
    const char* name;
    std::function<void(RefParams&)> set;
};

class ClosedBoxReference : public ClosedBoxTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(ClosedBoxReference, CurvesEqualTheFormulas) {
    RefParams p;
    p.N = 120;
    p.start = 10;
    p.stop = 5000;
    p.Vb = 0.02;
    GetParam().set(p);
    TClosedBox box(ui);
    test::applyParams(box, p, dir);
    box.Calculate(0);
    test::expectMatchesReference(box, p);
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, ClosedBoxReference,
    ::testing::Values(
        ReferenceCase{"BuiltInUnit", [](RefParams&) {}},
        ReferenceCase{"ThreeInSeriesWithRgLgAndFill",
                      [](RefParams& p) {
                          p.n = 3, p.connection = 0, p.Rg = 1.5, p.Lg = 0.0005, p.Vb = 0.05, p.fill = 50;
                      }},
        ReferenceCase{"TwoInParallel", [](RefParams& p) { p.n = 2, p.connection = 1, p.Rg = 0.3; }},
        ReferenceCase{"FourTwoTwoIsobaricSeries",
                      [](RefParams& p) {
                          p.n = 4, p.connection = 2, p.isobaric = true, p.isobaricConnection = 0, p.Vb = 0.08;
                      }},
        ReferenceCase{"SixTwoTwoTwoSeparateIsobaric",
                      [](RefParams& p) { p.n = 6, p.connection = 3, p.isobaric = true, p.Qb = 5, p.Ql = 7; }},
        ReferenceCase{"SixThreeThreeIsobaricParallelDualCoilSeries",
                      [](RefParams& p) {
                          p.n = 6, p.connection = 4, p.isobaric = true, p.isobaricConnection = 1;
                          p.dualCoil = true, p.coilConnection = 0, p.Rg = 0.8, p.Lg = 0.001;
                      }},
        ReferenceCase{"EightTwoTwoTwoTwo", [](RefParams& p) { p.n = 8, p.connection = 5, p.Vb = 0.3; }},
        ReferenceCase{"EightFourFour", [](RefParams& p) { p.n = 8, p.connection = 6, p.Rg = 2, p.Vb = 0.3; }},
        ReferenceCase{"NineThreeThreeThreeDualCoilParallelExtraMass",
                      [](RefParams& p) {
                          p.n = 9, p.connection = 7, p.dualCoil = true, p.coilConnection = 1;
                          p.extraMass = 0.012, p.Vb = 0.2, p.Rg = 0.4;
                      }},
        ReferenceCase{
            "TwoSeparateSourcesDualCoilSeparate",
            [](RefParams& p) { p.n = 2, p.connection = 8, p.dualCoil = true, p.coilConnection = 2; }},
        ReferenceCase{"CmsNonlinearity", [](RefParams& p) { p.Ug = 20, p.cmsNonlinear = true; }},
        ReferenceCase{"BlNonlinearity", [](RefParams& p) { p.Ug = 30, p.blNonlinear = true; }},
        ReferenceCase{"CoilHeating",
                      [](RefParams& p) { p.Ug = 20, p.coilHeating = true, p.n = 2, p.connection = 1; }},
        ReferenceCase{"AllNonlinearIsobaric",
                      [](RefParams& p) {
                          p.Ug = 25, p.cmsNonlinear = p.blNonlinear = p.coilHeating = true;
                          p.isobaric = true, p.Rg = 0.5, p.Lg = 0.0002;
                      }},
        ReferenceCase{"ImportedSplWithAutomaticLevel",
                      [](RefParams& p) {
                          p.measured = {{40, 70, 20},
                                        {150, 86, -30},
                                        {400, 88, -80},
                                        {1000, 87, 150},
                                        {3000, 85, -170}};
                          p.transition = 300, p.cutoff = 2000;
                      }},
        ReferenceCase{"ImportedSplWithFixedOffset",
                      [](RefParams& p) {
                          p.measured = {{200, 90, 10}, {800, 92, 40}, {2500, 80, 100}};
                          p.transition = 500, p.autoLevel = false, p.offsetDb = -3, p.Rg = 1;
                      }}),
    [](const ::testing::TestParamInfo<ReferenceCase>& info) { return std::string(info.param.name); });

// ---- physics sanity ----------------------------------------------------------------------

// SPL at frequency f, interpolated linearly in log frequency.
double splAt(const TBoxEmbryo& box, double f) {
    const FrequencyGrid& g = sharedSetup().grid;
    int i = 1;
    while (i < g.count - 1 && g.f[static_cast<std::size_t>(i)] < f)
        ++i;
    const auto k = static_cast<std::size_t>(i);
    const double t = std::log(f / g.f[k - 1]) / std::log(g.f[k] / g.f[k - 1]);
    return box.SPL[k - 1] + t * (box.SPL[k] - box.SPL[k - 1]);
}

TEST_F(ClosedBoxTest, WithoutSourceImpedanceAndLeItIsASecondOrderHighPass) {
    MeasureSetup& s = sharedSetup();
    s.pointCount = 500, s.startFrequency = 2, s.stopFrequency = 5000;
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.front().Le = 0;
    box.setVb(0.02);
    box.Calculate(0);

    // The phase of the pressure passes 90 degrees where the load turns from stiffness to mass.
    const FrequencyGrid& g = s.grid;
    double fc = 0;
    for (int i = 1; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (box.splPhase[k - 1] > 90 && box.splPhase[k] <= 90) {
            const double t = (box.splPhase[k - 1] - 90) / (box.splPhase[k - 1] - box.splPhase[k]);
            fc = g.f[k - 1] + t * (g.f[k] - g.f[k - 1]);
            break;
        }
    }
    const double expected = 34.0 * std::sqrt(1.0 + 0.0329 / 0.02);
    EXPECT_NEAR(fc, expected, 0.05 * expected);

    // 12 dB per octave well below fc, flat well above.
    EXPECT_NEAR(splAt(box, fc / 8) - splAt(box, fc / 16), 12.0, 0.3);
    EXPECT_NEAR(splAt(box, fc / 4) - splAt(box, fc / 8), 12.0, 0.6);
    EXPECT_NEAR(splAt(box, 32 * fc) - splAt(box, 16 * fc), 0.0, 0.1);

    // In between, the shape of x^2 / (1 - x^2 + j x / Qtc) with Qtc = Qts·sqrt(1 + Vas/Vb).
    const double qtc = 0.3 * std::sqrt(1.0 + 0.0329 / 0.02);
    const auto highPassDb = [&](double f) {
        const double x = f / fc;
        return 20 * std::log10(x * x / std::hypot(1 - x * x, x / qtc));
    };
    const double top = splAt(box, 32 * fc) - highPassDb(32 * fc);
    for (double f = fc / 16; f <= 16 * fc; f *= 1.25) {
        EXPECT_NEAR(splAt(box, f) - top, highPassDb(f), 0.5) << f;
    }
}

TEST_F(ClosedBoxTest, LeChangesOnlyTheImpedanceWithoutSourceImpedance) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    const auto spl = box.SPL;
    const auto exc = box.front().excursion;
    const auto imp = box.front().impedance;
    box.front().Le = 0.005;
    box.front().UnitEdited();
    box.Calculate(0);
    const int n = box.pointCount();
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_DOUBLE_EQ(box.SPL[k], spl[k]);
        EXPECT_DOUBLE_EQ(box.front().excursion[k], exc[k]);
    }
    EXPECT_GT(box.front().impedance[static_cast<std::size_t>(n - 1)],
              imp[static_cast<std::size_t>(n - 1)] * 2);
}

TEST_F(ClosedBoxTest, TwoDriversInOneBoxActAsOneInHalfTheVolume) {
    TClosedBox one(ui);
    one.front().SetDefaultUnit();
    one.setVb(0.01);
    one.Calculate(0);
    const auto exc = one.front().excursion;
    const auto spl = one.SPL;

    TClosedBox two(ui);
    two.front().SetDefaultUnit();
    ASSERT_TRUE(two.front().setDriverCount(2));
    ASSERT_TRUE(two.front().setDriverConnection(8)); // each driver on its own source
    two.setVb(0.02);
    two.Calculate(0);
    for (int i = 0; i < one.pointCount(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_NEAR(two.front().excursion[k], exc[k], 1e-9 * exc[k]);
        EXPECT_NEAR(two.SPL[k], spl[k] + 20 * std::log10(2.0), 1e-9);
    }
}

// ---- -3 dB point -----------------------------------------------------------------------

TEST_F(ClosedBoxTest, Minus3dBPointInterpolatesBetweenTheGridPoints) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    const FrequencyGrid& g = sharedSetup().grid;
    const double ref = box.SPL[static_cast<std::size_t>(g.count - 1)] - 3;
    int i = 0;
    while (box.SPL[static_cast<std::size_t>(i)] <= ref)
        ++i;
    ASSERT_GT(i, 0);
    const auto k = static_cast<std::size_t>(i);
    EXPECT_GE(box.f3(), g.f[k - 1]);
    EXPECT_LE(box.f3(), g.f[k]);
    const double t = (box.SPL[k] - ref) / (box.SPL[k] - box.SPL[k - 1]);
    EXPECT_DOUBLE_EQ(box.f3(), (1 - t) * g.f[k] + t * g.f[k - 1]);
}

TEST_F(ClosedBoxTest, NoMinus3dBPointWhenTheResponseStartsAboveTheReference) {
    // From 300 Hz up the response is flat within 3 dB of the stop frequency.
    MeasureSetup& s = sharedSetup();
    s.startFrequency = 300, s.stopFrequency = 600;
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.front().Le = 0;
    box.Calculate(0);
    EXPECT_EQ(box.f3(), 0.0);
    const auto lines = box.dataSheetLines();
    EXPECT_EQ(lines[lines.size() - 2], "Additional details:");
    EXPECT_EQ(lines.back(), "");
}

// ---- data sheet -----------------------------------------------------------------------

TEST_F(ClosedBoxTest, DataSheetOfTheBuiltInUnitInTheDefaultBox) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    ASSERT_GT(box.f3(), 0.0);
    const std::vector<std::string> want{
        "CLOSED BOX",
        "Filename\t",
        "Box",
        " Vol\t\t10.00 l",
        " Qb\t\t15.0",
        " Ql\t\t15.0",
        " Fill\t\t0 %",
        "Driver",
        " Manufacturer\tPEERLESS",
        " Model\t\t180 WR/832732",
        " Filename\t832732.UNT",
        " # drivers\t1",
        " Extra mass\t0.0 g",
        "Setup",
        " Start freq.\t20 Hz",
        " Stop freq.\t2000 Hz",
        " # plot points\t50",
        " Ug\t\t2.83 V",
        " Rg\t\t0.00 Ohm",
        " Lg\t\t0.00 mH",
        " Pg\t\t1.000 W",
        "Additional details:",
        strprintf(" -3dB point: \t%3.2f Hz", box.f3()),
        "",
    };
    EXPECT_EQ(box.dataSheetLines(), want);
    EXPECT_EQ(box.dataSheetText().find("CLOSED BOX\r\nFilename\t\r\nBox\r\n"), 0u);
}

TEST_F(ClosedBoxTest, DataSheetDescribesTheLastCalculationNotLaterEdits) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    box.setVb(0.05);
    ASSERT_TRUE(box.front().setDriverCount(3));
    sharedSetup().Rg = 2;
    EXPECT_EQ(box.dataSheetLines()[3], " Vol\t\t10.00 l");
    EXPECT_EQ(box.dataSheetLines()[11], " # drivers\t1");
    box.Calculate(1); // the data sheet alone
    const auto lines = box.dataSheetLines();
    EXPECT_EQ(lines[3], " Vol\t\t50.00 l");
    EXPECT_EQ(lines[11], " # drivers\t3");
    EXPECT_EQ(lines[13], " Electrical connection of drivers : Series");
    EXPECT_EQ(lines[19], " Rg\t\t2.00 Ohm");
}

} // namespace
} // namespace harlox
