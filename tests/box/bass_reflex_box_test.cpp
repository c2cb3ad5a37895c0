#include "box/bass_reflex_box.h"

#include "box/port_object.h"
#include "box_test_support.h"
#include "core/format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace harlox {
namespace {

using test::ReferenceCase;
using test::RefParams;

class BassReflexReference : public test::BoxTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(BassReflexReference, CurvesEqualTheFormulas) {
    RefParams p;
    p.bassReflex = true;
    p.N = 150, p.start = 8, p.stop = 4000, p.Vb = 0.04;
    p.L = 0.12, p.D = 0.06, p.S = 3.14159265359 * 0.03 * 0.03;
    TBassReflexBox box(ui);
    test::calculateAndCompare(box, p, GetParam(), dir);
    EXPECT_TRUE(ui.messages.empty());
}

const ReferenceCase kBassReflexCases[] = {
    {"BuiltInUnit", [](RefParams&) {}},
    {"TwoFlaredPorts", [](RefParams& p) { p.ports = 2, p.flare = 0.2, p.L = 0.2; }},
    {"ThreePortsFilledLossy", [](RefParams& p) { p.ports = 3, p.fill = 80, p.Qb = 4, p.Ql = 6; }},
    {"PortNonlinearity", [](RefParams& p) { p.Ug = 20, p.portNonlinear = true; }},
    {"FlaredPortNonlinearity",
     [](RefParams& p) { p.Ug = 20, p.portNonlinear = true, p.flare = 0.6, p.L = 0.3; }},
    {"AirSpeedUnlimitedWithoutNonlinearity", [](RefParams& p) { p.Ug = 40; }},
    {"FourTwoTwoIsobaricWithRgLg",
     [](RefParams& p) {
         p.n = 4, p.connection = 2, p.isobaric = true, p.isobaricConnection = 0;
         p.Rg = 0.7, p.Lg = 0.0008, p.Vb = 0.12;
     }},
    {"ThreeParallelDualCoilExtraMass",
     [](RefParams& p) {
         p.n = 3, p.connection = 1, p.dualCoil = true, p.coilConnection = 0, p.extraMass = 0.02;
     }},
    {"CmsAndBlNonlinearAndHeating",
     [](RefParams& p) {
         p.Ug = 35, p.cmsNonlinear = p.blNonlinear = p.coilHeating = p.portNonlinear = true;
     }},
    {"ImportedSplWithAutomaticLevel",
     [](RefParams& p) {
         p.measured = {{30, 60, 90}, {100, 85, 10}, {500, 88, -45}, {2000, 86, -120}};
         p.transition = 250, p.cutoff = 1500, p.Rg = 0.5;
     }},
};
INSTANTIATE_TEST_SUITE_P(Configurations, BassReflexReference, ::testing::ValuesIn(kBassReflexCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The built-in unit in 40 l tuned to 35 Hz.
class TunedBassReflex : public test::BoxTest {
protected:
    void SetUp() override {
        BoxTest::SetUp();
        MeasureSetup& s = sharedSetup();
        s.pointCount = 500, s.startFrequency = 2, s.stopFrequency = 1000;
        box.front().SetDefaultUnit();
        box.setVb(0.04);
        ASSERT_TRUE(box.port().setTuning(35.0));
        box.Calculate(0);
    }
    TBassReflexBox box{ui};
};

TEST_F(TunedBassReflex, SlopesBelowTuningAndTheConeRestsWhereThePortWorksHardest) {
    using test::valueAt;
    // Below tuning the total falls at 24 and the driver alone at 12 dB/octave.
    EXPECT_NEAR(valueAt(box.SPL, 35.0 / 8) - valueAt(box.SPL, 35.0 / 16), 24.0, 1.0);
    EXPECT_NEAR(valueAt(box.driverSPL, 35.0 / 8) - valueAt(box.driverSPL, 35.0 / 16), 12.0, 0.5);
    // At the tuning the excursion dips between its two peaks and the air speed peaks.
    for (const double f : {35.0 / 1.15, 35.0 * 1.15}) {
        EXPECT_LT(valueAt(box.front().excursion, 35.0), valueAt(box.front().excursion, f)) << f;
        EXPECT_GT(valueAt(box.airSpeed, 35.0), valueAt(box.airSpeed, f)) << f;
    }

    // The port is tuned with the box volume: four times the volume, half the tuning.
    box.setVb(0.16);
    EXPECT_NEAR(box.port().fp, 35.0 / 2, 1e-9);
}

TEST_F(TunedBassReflex, DataSheetWithItsPortBlockAndTheTwoSpaceMinus3dBLine) {
    test::resetSharedState(); // back to the default grid
    TPortObject::setNonLinear(true);
    box.Calculate(0);
    const std::string want =
        "BASSREFLEX BOX\r\nFilename\t\r\n"
        "Box\r\n Vol\t\t40.00 l\r\n Qb\t\t15.0\r\n Ql\t\t15.0\r\n Fill\t\t0 %\r\n" +
        strprintf("Port\r\n Length\t\t%3.2f cm\r\n", box.port().L * 100) +
        " Area\t\t19.63 sq.cm\r\n Dia\t\t5.00 cm\r\n Flange radius\tinf.\r\n # ports\t1\r\n"
        " Simulation of port non linearity ON\r\n Res freq.\t35.00 Hz\r\n";
    EXPECT_EQ(box.dataSheetText(), want + test::kDataSheetBuiltInUnitAndDefaultSetup +
                                       strprintf("  -3dB point: \t%3.2f Hz\r\n", box.f3()));
}

} // namespace
} // namespace harlox
