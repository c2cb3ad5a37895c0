#include "box/closed_box.h"

#include "box_test_support.h"
#include "core/format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace harlox {
namespace {

using test::ReferenceCase;
using test::RefParams;

class ClosedBoxTest : public test::BoxTest {};
class ClosedBoxReference : public test::BoxTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(ClosedBoxReference, CurvesEqualTheFormulas) {
    RefParams p;
    p.N = 120, p.start = 10, p.stop = 5000, p.Vb = 0.02;
    TClosedBox box(ui);
    test::calculateAndCompare(box, p, GetParam(), dir);
    EXPECT_TRUE(ui.messages.empty());
}

// Connections 0 to 8 each with their driver count; isobaric pairs and double coils both ways.
const ReferenceCase kClosedCases[] = {
    {"BuiltInUnit", [](RefParams&) {}},
    {"ThreeInSeriesWithRgLgAndFill",
     [](RefParams& p) { p.n = 3, p.connection = 0, p.Rg = 1.5, p.Lg = 0.0005, p.Vb = 0.05, p.fill = 50; }},
    {"TwoInParallel", [](RefParams& p) { p.n = 2, p.connection = 1, p.Rg = 0.3; }},
    {"FourTwoTwoIsobaricSeries",
     [](RefParams& p) {
         p.n = 4, p.connection = 2, p.isobaric = true, p.isobaricConnection = 0, p.Vb = 0.08;
     }},
    {"SixTwoTwoTwoSeparateIsobaricLossy",
     [](RefParams& p) { p.n = 6, p.connection = 3, p.isobaric = true, p.Qb = 5, p.Ql = 7; }},
    {"SixThreeThreeIsobaricParallelDualCoilSeries",
     [](RefParams& p) {
         p.n = 6, p.connection = 4, p.isobaric = true, p.isobaricConnection = 1;
         p.dualCoil = true, p.coilConnection = 0, p.Rg = 0.8, p.Lg = 0.001;
     }},
    {"EightTwoTwoTwoTwo", [](RefParams& p) { p.n = 8, p.connection = 5, p.Vb = 0.3; }},
    {"EightFourFour", [](RefParams& p) { p.n = 8, p.connection = 6, p.Rg = 2, p.Vb = 0.3; }},
    {"NineThreeThreeThreeDualCoilParallelExtraMass",
     [](RefParams& p) {
         p.n = 9, p.connection = 7, p.dualCoil = true, p.coilConnection = 1;
         p.extraMass = 0.012, p.Vb = 0.2, p.Rg = 0.4;
     }},
    {"TwoSeparateSourcesDualCoilSeparate", [](RefParams& p) { p.n = 2, p.dualCoil = true; }},
    {"CmsNonlinearity", [](RefParams& p) { p.Ug = 20, p.cmsNonlinear = true; }},
    {"BlNonlinearity", [](RefParams& p) { p.Ug = 30, p.blNonlinear = true; }},
    {"CoilHeating", [](RefParams& p) { p.Ug = 20, p.coilHeating = true, p.n = 2, p.connection = 1; }},
    // The measured phase crosses the seam and its group delay has spikes for the filter to cut.
    {"ImportedSplWithAutomaticLevel",
     [](RefParams& p) {
         p.measured = {{40, 70, 20}, {150, 86, -30}, {400, 88, -80}, {1000, 87, 150}, {3000, 85, -170}};
         p.transition = 300, p.cutoff = 2000;
     }},
    {"ImportedSplWithFixedOffset",
     [](RefParams& p) {
         p.measured = {{200, 90, 10}, {800, 92, 40}, {2500, 80, 100}};
         p.transition = 500, p.autoLevel = false, p.offsetDb = -3, p.Rg = 1;
     }},
};
INSTANTIATE_TEST_SUITE_P(Configurations, ClosedBoxReference, ::testing::ValuesIn(kClosedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClosedBoxTest, WithoutSourceImpedanceAndLeItIsASecondOrderHighPass) {
    MeasureSetup& s = sharedSetup();
    s.pointCount = 500, s.startFrequency = 2, s.stopFrequency = 5000;
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.front().Le = 0;
    box.setVb(0.02);
    box.Calculate(0);

    // x^2 / (1 - x^2 + j x / Qtc) with fc = fs·sqrt(1 + Vas/Vb) and Qtc = Qts·sqrt(1 + Vas/Vb):
    // the phase passes 90 degrees at fc, 12 dB/octave below, flat above.
    const double fc = 34.0 * std::sqrt(1.0 + 0.0329 / 0.02);
    const double qtc = 0.3 * std::sqrt(1.0 + 0.0329 / 0.02);
    EXPECT_NEAR(test::valueAt(box.splPhase, fc), 90.0, 3.0);
    const auto highPassDb = [&](double f) {
        const double x = f / fc;
        return 20 * std::log10(x * x / std::hypot(1 - x * x, x / qtc));
    };
    const double top = test::valueAt(box.SPL, 32 * fc) - highPassDb(32 * fc);
    for (double f = fc / 16; f <= 16 * fc; f *= 1.25)
        EXPECT_NEAR(test::valueAt(box.SPL, f) - top, highPassDb(f), 0.5) << f;
    EXPECT_NEAR(test::valueAt(box.SPL, fc / 8) - test::valueAt(box.SPL, fc / 16), 12.0, 0.3);
}

TEST_F(ClosedBoxTest, DataSheetOfTheBuiltInUnitAndWithoutAMinus3dBPoint) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    const std::string want = "CLOSED BOX\r\nFilename\t\r\n"
                             "Box\r\n Vol\t\t10.00 l\r\n Qb\t\t15.0\r\n Ql\t\t15.0\r\n Fill\t\t0 %\r\n";
    EXPECT_EQ(box.dataSheetText(), want + test::kDataSheetBuiltInUnitAndDefaultSetup +
                                       strprintf(" -3dB point: \t%3.2f Hz\r\n", box.f3()));

    // From 300 Hz up the response stays within 3 dB of the stop frequency's level.
    MeasureSetup& s = sharedSetup();
    s.startFrequency = 300, s.stopFrequency = 600, s.setupChanged = 1;
    box.front().Le = 0;
    box.Calculate(0);
    EXPECT_EQ(box.f3(), 0.0);
    const std::string text = box.dataSheetText();
    EXPECT_EQ(text.substr(text.size() - 23), "\r\nAdditional details:\r\n");
}

} // namespace
} // namespace harlox
