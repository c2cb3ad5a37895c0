#include "box/bass_reflex_box.h"

#include "box/box_object.h"
#include "box/port_object.h"
#include "box_test_support.h"
#include "core/command_ids.h"
#include "core/format.h"
#include "scripted_ui_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace harlox {
namespace {

using test::RefParams;

class BassReflexTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetSharedState(); }
    void TearDown() override { test::resetSharedState(); }
    test::ScriptedUiHost ui;
    test::TempDir dir;
};

struct ReferenceCase {
    const char* name;
    std::function<void(RefParams&)> set;
};

class BassReflexReference : public BassReflexTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(BassReflexReference, CurvesEqualTheFormulas) {
    RefParams p;
    p.bassReflex = true;
    p.N = 150;
    p.start = 8;
    p.stop = 4000;
    p.Vb = 0.04;
    p.L = 0.12;
    p.D = 0.06;
    p.S = 3.14159265359 * 0.03 * 0.03;
    GetParam().set(p);
    TBassReflexBox box(ui);
    test::applyParams(box, p, dir);
    box.Calculate(0);
    test::expectMatchesReference(box, p);
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, BassReflexReference,
    ::testing::Values(
        ReferenceCase{"BuiltInUnit", [](RefParams&) {}},
        ReferenceCase{"TwoFlaredPorts", [](RefParams& p) { p.ports = 2, p.flare = 0.2, p.L = 0.2; }},
        ReferenceCase{"ThreePortsFilledLossy",
                      [](RefParams& p) { p.ports = 3, p.fill = 80, p.Qb = 4, p.Ql = 6; }},
        ReferenceCase{"PortNonlinearity", [](RefParams& p) { p.Ug = 20, p.portNonlinear = true; }},
        ReferenceCase{"FlaredPortNonlinearity",
                      [](RefParams& p) { p.Ug = 20, p.portNonlinear = true, p.flare = 0.6, p.L = 0.3; }},
        ReferenceCase{"AirSpeedUnlimitedWithoutNonlinearity", [](RefParams& p) { p.Ug = 40; }},
        ReferenceCase{"FourTwoTwoIsobaricWithRgLg",
                      [](RefParams& p) {
                          p.n = 4, p.connection = 2, p.isobaric = true, p.isobaricConnection = 0;
                          p.Rg = 0.7, p.Lg = 0.0008, p.Vb = 0.12;
                      }},
        ReferenceCase{"ThreeParallelDualCoilExtraMass",
                      [](RefParams& p) {
                          p.n = 3, p.connection = 1, p.dualCoil = true, p.coilConnection = 0,
                          p.extraMass = 0.02;
                      }},
        ReferenceCase{"CmsAndBlNonlinearAndHeating",
                      [](RefParams& p) {
                          p.Ug = 35, p.cmsNonlinear = p.blNonlinear = p.coilHeating = true,
                          p.portNonlinear = true;
                      }},
        ReferenceCase{"ImportedSplWithAutomaticLevel",
                      [](RefParams& p) {
                          p.measured = {{30, 60, 90}, {100, 85, 10}, {500, 88, -45}, {2000, 86, -120}};
                          p.transition = 250, p.cutoff = 1500, p.Rg = 0.5;
                      }}),
    [](const ::testing::TestParamInfo<ReferenceCase>& info) { return std::string(info.param.name); });

// ---- physics sanity ----------------------------------------------------------------------

class TunedBassReflex : public BassReflexTest {
protected:
    void SetUp() override {
        BassReflexTest::SetUp();
        MeasureSetup& s = sharedSetup();
        s.pointCount = 500, s.startFrequency = 2, s.stopFrequency = 1000;
        box = std::make_unique<TBassReflexBox>(ui);
        box->front().SetDefaultUnit();
        box->setVb(0.04);
        ASSERT_TRUE(box->port().setTuning(35.0));
        box->Calculate(0);
    }
    double at(const std::array<double, kMaxPoints>& y, double f) const {
        const FrequencyGrid& g = sharedSetup().grid;
        int i = 1;
        while (i < g.count - 1 && g.f[static_cast<std::size_t>(i)] < f)
            ++i;
        const auto k = static_cast<std::size_t>(i);
        const double t = std::log(f / g.f[k - 1]) / std::log(g.f[k] / g.f[k - 1]);
        return y[k - 1] + t * (y[k] - y[k - 1]);
    }
    double argExtreme(const std::array<double, kMaxPoints>& y, bool minimum, double lo, double hi) const {
        const FrequencyGrid& g = sharedSetup().grid;
        double best = minimum ? 1e300 : -1e300, fBest = 0;
        for (int i = 0; i < g.count; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (g.f[k] < lo || g.f[k] > hi) continue;
            if (minimum ? y[k] < best : y[k] > best) best = y[k], fBest = g.f[k];
        }
        return fBest;
    }
    std::unique_ptr<TBassReflexBox> box;
};

TEST_F(TunedBassReflex, BelowTuningTheTotalFallsAt24AndTheDriverAt12DbPerOctave) {
    EXPECT_NEAR(box->port().fp, 35.0, 1e-9);
    EXPECT_NEAR(at(box->SPL, 35.0 / 8) - at(box->SPL, 35.0 / 16), 24.0, 1.0);
    EXPECT_NEAR(at(box->driverSPL, 35.0 / 8) - at(box->driverSPL, 35.0 / 16), 12.0, 0.5);
    // Far below tuning cone and port nearly cancel.
    EXPECT_LT(at(box->SPL, 4.0), at(box->driverSPL, 4.0) - 20);
}

TEST_F(TunedBassReflex, NearTuningTheConeRestsAndThePortWorksHardest) {
    // The excursion keeps falling far above resonance; its dip sits between the two peaks.
    const double fMin = argExtreme(box->front().excursion, true, 35.0 / 2, 35.0 * 1.5);
    const double fMax = argExtreme(box->airSpeed, false, 10, 100);
    EXPECT_NEAR(fMin, 35.0, 3.5);
    EXPECT_NEAR(fMax, 35.0, 3.5);
}

// ---- project specifics ---------------------------------------------------------------------

TEST_F(BassReflexTest, ThePortVolumeFollowsTheBoxVolume) {
    TBassReflexBox box(ui);
    EXPECT_EQ(box.port().Vbox, box.box().Vb); // a new project's port sits in its box
    const double fp = box.port().fp;
    box.setVb(0.04);
    EXPECT_EQ(box.box().Vb, 0.04);
    EXPECT_EQ(box.port().Vbox, 0.04);
    EXPECT_NEAR(box.port().fp, fp / 2, 1e-9 * fp); // four times the volume, half the tuning
    EXPECT_EQ(box.box().boxChanged, 1);
}

TEST_F(BassReflexTest, WindowsCurvesAndTitle) {
    TBassReflexBox box(ui);
    EXPECT_EQ(box.projectTitle(), "Harlox 4.00 - Bassreflex box");
    EXPECT_EQ(box.typeCode(), 1);
    EXPECT_EQ(ui.commandState(cmd::ExportSplWaveModes), CommandState::Removed);
    ASSERT_EQ(box.splWindow().curveCount(), 4);
    EXPECT_EQ(box.splWindow().curve(0).label, "Total");
    EXPECT_EQ(box.splWindow().curve(1).label, "Driver");
    EXPECT_EQ(box.splWindow().curve(1).y, box.driverSPL.data());
    EXPECT_EQ(box.splWindow().curve(2).label, "Port");
    EXPECT_EQ(box.splWindow().curve(2).y, box.portSPL.data());
    EXPECT_EQ(box.splWindow().curve(3).label, "Target");
    EXPECT_EQ(box.airSpeedWindow().title(), "Airspeed in port");
    EXPECT_EQ(box.airSpeedWindow().curve(0).y, box.airSpeed.data());
    box.front().SetDefaultUnit();
    sharedSetup().pointCount = 64;
    box.Calculate(0);
    EXPECT_EQ(box.airSpeedWindow().pointCount(), 64);
    EXPECT_EQ(box.port().portChanged, 0);
    box.Reset();
    EXPECT_EQ(box.airSpeedWindow().pointCount(), 0);
}

TEST_F(BassReflexTest, DataSheetWithItsPortBlockAndTheTwoSpaceMinus3dBLine) {
    TBassReflexBox box(ui);
    box.front().SetDefaultUnit();
    box.setVb(0.04);
    ASSERT_TRUE(box.port().setTuning(35.0));
    TPortObject::setNonLinear(true);
    box.Calculate(0);
    ASSERT_GT(box.f3(), 0.0);
    const TPortObject& p = box.port();
    const std::vector<std::string> want{
        "BASSREFLEX BOX",
        "Filename\t",
        "Box",
        " Vol\t\t40.00 l",
        " Qb\t\t15.0",
        " Ql\t\t15.0",
        " Fill\t\t0 %",
        "Port",
        strprintf(" Length\t\t%3.2f cm", p.L * 100),
        " Area\t\t19.63 sq.cm",
        " Dia\t\t5.00 cm",
        " Flange radius\tinf.",
        " # ports\t1",
        " Simulation of port non linearity ON",
        " Res freq.\t35.00 Hz",
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
        strprintf("  -3dB point: \t%3.2f Hz", box.f3()),
        "",
    };
    EXPECT_EQ(box.dataSheetLines(), want);
}

} // namespace
} // namespace harlox
