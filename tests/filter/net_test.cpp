#include "filter/net.h"

#include "core/binary_io.h"
#include "filter/general.h"
#include "scripted_ui_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

using namespace harlox;

namespace {

constexpr double kPi = std::numbers::pi;

struct CountingProject : TNetProject {
    int calls = 0;
    void NetChanged(TNetBase&) override { ++calls; }
};

double db(Complex c) {
    return 20.0 * std::log10(std::abs(c));
}

double wrapDeg(double d) {
    while (d > 180.0)
        d -= 360.0;
    while (d <= -180.0)
        d += 360.0;
    return d;
}

// Strips a network down to its ladder in front of a plain resistor: no voice coil
// inductance, no Zobel, ideal coils.
void makeResistive(TNet& net) {
    net.Le = 0.0;
    ASSERT_TRUE(net.SetComponent(TNet::kZobel, CompKind::Resistor, 0.0));
    ASSERT_TRUE(net.SetComponent(TNet::kZobel, CompKind::Capacitor, 0.0));
    ASSERT_EQ(net.Branch(TNet::kZobel).GetType(), TBranch::None);
    for (int b = 0; b < TNet::kLadder; ++b) {
        TComp& l = net.Branch(b).Inductor();
        ASSERT_TRUE(net.SetInductor(b, l.value, 0.0));
    }
}

// Every branch " None": the driver hangs straight on the amplifier.
void bypass(TNet& net) {
    for (int b = 0; b < TNet::kBranches; ++b)
        net.Branch(b).SetType(TBranch::None);
    net.SetChanged();
}

std::vector<std::uint8_t> record(const TNet& net) {
    BinaryWriter w;
    EXPECT_TRUE(net.writeRecord(w));
    return w.take();
}

TEST(NetComponent, NamesUnitsAndDefaultsFollowSectionAndBranch) {
    TGeneral g;
    TNet bass(g, 0);
    TNet treble(g, 2);
    EXPECT_STREQ(bass.Branch(0).Inductor().Name(), "L11");
    EXPECT_STREQ(bass.Branch(1).Capacitor().Name(), "C12");
    EXPECT_STREQ(bass.Branch(7).Capacitor().Name(), "C18");
    EXPECT_STREQ(treble.Branch(0).Capacitor().Name(), "C31");

    int branch = -1;
    EXPECT_EQ(bass.FindComponent("R16", &branch), &bass.Branch(5).Resistor());
    EXPECT_EQ(branch, 5);
    EXPECT_EQ(bass.FindComponent("L31"), nullptr);

    TComp r, l;
    r.Reset(CompKind::Resistor, 1, 4);
    l.Reset(CompKind::Inductor, 1, 4);
    EXPECT_STREQ(r.Name(), "R25");
    EXPECT_EQ(l.seriesResistance, 0.5);
}

struct DisplayCase {
    CompKind kind;
    double value;
    const char* shown;
};

class NetDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(NetDisplay, FormatFollowsTheValue) {
    TComp c;
    c.Reset(GetParam().kind, 0, 0);
    c.value = GetParam().value;
    EXPECT_EQ(c.DisplayValue(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Net, NetDisplay,
                         ::testing::Values(DisplayCase{CompKind::Resistor, 150.0, "150"},
                                           DisplayCase{CompKind::Resistor, 3.987, "3.99"},
                                           DisplayCase{CompKind::Capacitor, 0.0015, "1500"},
                                           DisplayCase{CompKind::Capacitor, 1.5e-5, "15.00"},
                                           DisplayCase{CompKind::Capacitor, 1.5e-6, "1.500"},
                                           DisplayCase{CompKind::Inductor, 1.2, "1200;0.5"},
                                           DisplayCase{CompKind::Inductor, 0.0123, "12.30;0.5"},
                                           DisplayCase{CompKind::Inductor, 0.0039, "3.900;0.5"}));

TEST(NetComponent, LabelAndEntries) {
    TGeneral g;
    TNet net(g, 0);
    EXPECT_EQ(net.Branch(TNet::kZobel).Resistor().Label(), "R18 8.00 ohm");
    EXPECT_EQ(net.Branch(TNet::kZobel).Capacitor().Label(), "C18 15.62 uF");

    // Display units in, SI out; an inductor takes its series resistance after ";".
    ASSERT_TRUE(net.SetComponentEntry(0, CompKind::Inductor, " 2.7;0.3 "));
    EXPECT_DOUBLE_EQ(net.Branch(0).Inductor().value, 0.0027);
    EXPECT_EQ(net.Branch(0).Inductor().seriesResistance, 0.3);
    ASSERT_TRUE(net.SetComponentEntry(1, CompKind::Capacitor, "22"));
    EXPECT_DOUBLE_EQ(net.Branch(1).Capacitor().value, 22e-6);
    ASSERT_TRUE(net.SetComponentEntry(0, CompKind::Inductor, "1.5"));
    EXPECT_EQ(net.Branch(0).Inductor().seriesResistance, 0.3) << "a bare value keeps the resistance";

    for (const char* bad : {"", "abc", "1,5", "3.9;", "1;x", "-1", "1001", "nan"})
        EXPECT_FALSE(net.SetComponentEntry(0, CompKind::Inductor, bad)) << bad;
    EXPECT_FALSE(net.SetComponentEntry(1, CompKind::Capacitor, "10;0.5")) << "only coils have a resistance";
    EXPECT_FALSE(net.SetComponentEntry(8, CompKind::Resistor, "1"));
    EXPECT_DOUBLE_EQ(net.Branch(0).Inductor().value, 0.0015);
}

TEST(Net, DriverSchematicAndScalingInDb) {
    TGeneral g;
    TNet net(g, 0);
    net.Rex = 0.25;
    net.posX[1] = 0.0125;
    net.posY[1] = -0.1;
    net.posZ[1] = 0.03;
    net.Spl(1).SetFileName("woofer.frd");
    const auto lines = net.DriverSchematic(1);
    EXPECT_EQ(lines[0].caption, "Driver unit 2");
    EXPECT_EQ(lines[1].caption, "SPL data file :");
    EXPECT_EQ(lines[1].value, "woofer.frd");
    EXPECT_EQ(lines[2].caption, "Impedance data file :");
    EXPECT_EQ(lines[2].value, "Not in use");
    EXPECT_EQ(lines[3].caption, "Rex:");
    EXPECT_EQ(lines[3].value, "0.25");
    EXPECT_EQ(lines[4].caption, "Position (x,y,z) mm");
    EXPECT_EQ(lines[4].value, "12.5,-100.0,30.0");
    EXPECT_EQ(net.DriverSchematic(0)[0].caption, "Driver unit 1");

    net.SetSplScalingDb(0, -6.0);
    EXPECT_NEAR(net.splScaling[0], 0.501187, 1e-6);
    EXPECT_NEAR(net.SplScalingDb(0), -6.0, 1e-12);
}

TEST(Net, CalcRefusesWhatItCannotDesign) {
    TGeneral g;
    CountingProject project;
    TNet net(g, 0, &project);
    const std::vector<std::uint8_t> before = record(net);
    net.lowPassCutoff = 0.0;
    EXPECT_FALSE(net.DesignLowPass());
    net.lowPassCutoff = 500.0;
    net.lowPassOrder = 5;
    EXPECT_FALSE(net.DesignLowPass());
    net.lowPassOrder = 4;
    net.Re = 0.0;
    EXPECT_FALSE(net.DesignLowPass());
    EXPECT_FALSE(net.CalcZobel());
    EXPECT_FALSE(net.CalcAttenuator());
    net.Re = 8.0;
    EXPECT_EQ(record(net), before);
    EXPECT_EQ(project.calls, 0);
    EXPECT_TRUE(net.CalcZobel());
    EXPECT_EQ(project.calls, 1);
}

TEST(Net, ResetGivesTheSectionDefaults) {
    TGeneral g;
    TNet bass(g, 0), mid(g, 1), treble(g, 2);
    EXPECT_EQ(bass.lowPassOrder, 4);
    EXPECT_EQ(bass.lowPassCutoff, 500.0);
    EXPECT_EQ(mid.lowPassCutoff, 5000.0);
    EXPECT_EQ(mid.highPassCutoff, 500.0);
    EXPECT_EQ(treble.highPassCutoff, 5000.0);

    EXPECT_NEAR(bass.Branch(0).Inductor().value, 3.90e-3, 0.005e-3);
    EXPECT_NEAR(bass.Branch(3).Capacitor().value, 15.2e-6, 0.05e-6);

    const int lp[4] = {TBranch::L, TBranch::C, TBranch::L, TBranch::C};
    const int hp[4] = {TBranch::C, TBranch::L, TBranch::C, TBranch::L};
    const int bp[4] = {TBranch::LplusC, TBranch::LparC, TBranch::LplusC, TBranch::LparC};
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(bass.Branch(b).GetType(), lp[b]) << b;
        EXPECT_EQ(treble.Branch(b).GetType(), hp[b]) << b;
        EXPECT_EQ(mid.Branch(b).GetType(), bp[b]) << b;
    }
    for (int b : {TNet::kNotch, TNet::kAttenuatorSeries, TNet::kAttenuatorShunt}) {
        EXPECT_EQ(bass.Branch(b).GetType(), TBranch::None);
        EXPECT_EQ(bass.Branch(b).Resistor().value, 0.0);
    }
    EXPECT_EQ(bass.Branch(TNet::kZobel).GetType(), TBranch::RplusC);
    EXPECT_EQ(bass.Branch(TNet::kZobel).Resistor().value, 8.0);
    EXPECT_DOUBLE_EQ(bass.Branch(TNet::kZobel).Capacitor().value, 15.625e-6);
    EXPECT_TRUE(bass.Changed());
}

TEST(Net, LowerOrderZeroesTheUpperElementsAndBandPassKeepsTheOtherSlope) {
    TGeneral g;
    CountingProject project;
    TNet bass(g, 0, &project);
    bass.lowPassOrder = 2;
    bass.DesignLowPass();
    EXPECT_EQ(project.calls, 1);
    EXPECT_EQ(bass.Branch(2).Inductor().value, 0.0);
    EXPECT_EQ(bass.Branch(2).GetType(), TBranch::None);
    EXPECT_EQ(bass.Branch(3).GetType(), TBranch::None);
    EXPECT_DOUBLE_EQ(bass.Branch(1).Capacitor().value, 0.707 / (8 * 2 * kPi * 500.0));

    TNet mid(g, 1);
    mid.lowPassOrder = 2;
    mid.DesignLowPass();
    EXPECT_EQ(mid.Branch(0).GetType(), TBranch::LplusC);
    EXPECT_EQ(mid.Branch(1).GetType(), TBranch::LparC);
    EXPECT_EQ(mid.Branch(2).GetType(), TBranch::C);
    EXPECT_EQ(mid.Branch(3).GetType(), TBranch::L);
    // And back up: the high-pass elements are still there to combine with.
    mid.lowPassOrder = 4;
    mid.DesignLowPass();
    EXPECT_EQ(mid.Branch(2).GetType(), TBranch::LplusC);
    EXPECT_EQ(mid.Branch(3).GetType(), TBranch::LparC);
    mid.highPassOrder = 1;
    mid.DesignHighPass();
    EXPECT_EQ(mid.Branch(1).GetType(), TBranch::C);
    EXPECT_EQ(mid.Branch(2).GetType(), TBranch::L);
    EXPECT_DOUBLE_EQ(mid.Branch(0).Capacitor().value, 1.0 / (8 * 2 * kPi * 500.0));

    // Two drivers move the design load.
    TNet pair(g, 2);
    pair.driverCount = 2;
    pair.driversInSeries = 1;
    pair.DesignHighPass();
    EXPECT_DOUBLE_EQ(pair.Branch(1).Inductor().value, 16.0 / (1.577 * 2 * kPi * 5000.0));
    pair.driversInSeries = 0;
    pair.DesignHighPass();
    EXPECT_DOUBLE_EQ(pair.Branch(1).Inductor().value, 4.0 / (1.577 * 2 * kPi * 5000.0));
}

// Clearing an element of a low-pass (high-pass) ladder must not bring in the other slope's
// element, which sits unused at its default value.
TEST(Net, ClearingAnElementNeverInsertsTheUnusedDefault) {
    TGeneral g;
    TNet bass(g, 0);
    ASSERT_EQ(bass.Branch(0).Capacitor().value, 1e-6);
    ASSERT_TRUE(bass.SetComponent(0, CompKind::Inductor, 0.0));
    EXPECT_EQ(bass.Branch(0).GetType(), TBranch::None);
    ASSERT_TRUE(bass.SetComponent(1, CompKind::Capacitor, 0.0));
    EXPECT_EQ(bass.Branch(1).GetType(), TBranch::None) << "the shunt coil of a low-pass is not carried";
    ASSERT_TRUE(bass.SetComponent(0, CompKind::Inductor, 2e-3));
    EXPECT_EQ(bass.Branch(0).GetType(), TBranch::L);
    // A series capacitor typed into a low-pass section is no part of it.
    ASSERT_TRUE(bass.SetComponent(2, CompKind::Capacitor, 0.0));
    ASSERT_TRUE(bass.SetComponent(2, CompKind::Capacitor, 3e-6));
    EXPECT_EQ(bass.Branch(2).GetType(), TBranch::L);

    TNet treble(g, 2);
    ASSERT_TRUE(treble.SetComponent(0, CompKind::Capacitor, 0.0));
    EXPECT_EQ(treble.Branch(0).GetType(), TBranch::None);
    ASSERT_TRUE(treble.SetComponent(1, CompKind::Inductor, 0.0));
    EXPECT_EQ(treble.Branch(1).GetType(), TBranch::None);

    TNet mid(g, 1);
    ASSERT_TRUE(mid.SetComponent(0, CompKind::Inductor, 0.0));
    EXPECT_EQ(mid.Branch(0).GetType(), TBranch::C);
    ASSERT_TRUE(mid.SetComponent(1, CompKind::Capacitor, 0.0));
    EXPECT_EQ(mid.Branch(1).GetType(), TBranch::L);
    ASSERT_TRUE(mid.SetComponent(1, CompKind::Inductor, 0.0));
    EXPECT_EQ(mid.Branch(1).GetType(), TBranch::None);

    // A value that stays non-zero keeps the type.
    ASSERT_TRUE(mid.SetComponent(2, CompKind::Inductor, 5e-3));
    EXPECT_EQ(mid.Branch(2).GetType(), TBranch::LplusC);
    EXPECT_FALSE(mid.SetComponent(2, CompKind::Inductor, -1.0));
    EXPECT_FALSE(mid.SetComponent(2, CompKind::Inductor, std::numeric_limits<double>::infinity()));
}

struct NotchCase {
    bool r, l, c;
    int type;
};

class NetNotch : public ::testing::TestWithParam<NotchCase> {};

TEST_P(NetNotch, TypeFollowsTheNonZeroComponents) {
    TGeneral g;
    TNet net(g, 0);
    const NotchCase& p = GetParam();
    // Start from all three present, then clear what the case leaves out.
    ASSERT_TRUE(net.SetComponent(TNet::kNotch, CompKind::Resistor, 4.0));
    ASSERT_TRUE(net.SetComponent(TNet::kNotch, CompKind::Inductor, 1e-3));
    ASSERT_TRUE(net.SetComponent(TNet::kNotch, CompKind::Capacitor, 10e-6));
    ASSERT_EQ(net.Branch(TNet::kNotch).GetType(), TBranch::RparLparC);
    if (!p.r) { ASSERT_TRUE(net.SetComponent(TNet::kNotch, CompKind::Resistor, 0.0)); }
    if (!p.l) { ASSERT_TRUE(net.SetComponent(TNet::kNotch, CompKind::Inductor, 0.0)); }
    if (!p.c) { ASSERT_TRUE(net.SetComponent(TNet::kNotch, CompKind::Capacitor, 0.0)); }
    EXPECT_EQ(net.Branch(TNet::kNotch).GetType(), p.type);
}

INSTANTIATE_TEST_SUITE_P(Net, NetNotch,
                         ::testing::Values(NotchCase{true, true, true, TBranch::RparLparC},
                                           NotchCase{true, false, true, TBranch::RparC},
                                           NotchCase{true, true, false, TBranch::RparL},
                                           NotchCase{false, true, true, TBranch::LparC},
                                           NotchCase{false, false, true, TBranch::C},
                                           NotchCase{false, true, false, TBranch::L},
                                           NotchCase{true, false, false, TBranch::R},
                                           NotchCase{false, false, false, TBranch::None}));

TEST(Net, AttenuatorKeepsTheInputResistance) {
    TGeneral g;
    TNet net(g, 0);
    net.attenuation = 6.0;
    net.CalcAttenuator();
    const TBranch& series = net.Branch(TNet::kAttenuatorSeries);
    const TBranch& shunt = net.Branch(TNet::kAttenuatorShunt);
    EXPECT_EQ(series.GetType(), TBranch::R);
    EXPECT_EQ(shunt.GetType(), TBranch::R);
    EXPECT_NEAR(series.Resistor().value, 3.99, 0.005);
    EXPECT_NEAR(shunt.Resistor().value, 8.04, 0.005);

    // Into a plain 8 ohm the pad is 6 dB down with 8 ohm in.
    bypass(net);
    net.Le = 0.0;
    net.Branch(TNet::kAttenuatorSeries).SetType(TBranch::R);
    net.Branch(TNet::kAttenuatorShunt).SetType(TBranch::R);
    net.Calculate();
    EXPECT_NEAR(net.GainDb()[100], -6.0, 1e-6);
    EXPECT_NEAR(net.ZinMagnitude()[100], 8.0, 1e-6);

    net.attenuation = 0.0;
    net.CalcAttenuator();
    EXPECT_EQ(net.Branch(TNet::kAttenuatorSeries).GetType(), TBranch::None);
    EXPECT_EQ(net.Branch(TNet::kAttenuatorShunt).GetType(), TBranch::None);
}

TEST(Net, ZobelCalcFlattensTheVoiceCoil) {
    TGeneral g;
    TNet net(g, 0);
    net.Re = 6.2;
    net.Le = 0.0008;
    net.CalcZobel();
    for (int b = 0; b < TNet::kZobel; ++b)
        net.Branch(b).SetType(TBranch::None);
    net.SetChanged();
    net.Calculate();
    for (int i = 0; i < TNet::kPoints; ++i) {
        ASSERT_NEAR(net.ZinMagnitude()[i], 6.2, 0.062) << i;
        ASSERT_NEAR(net.Zin()[i].real(), 6.2, 1e-6) << i;
    }

    net.driverCount = 2;
    net.driversInSeries = 0;
    net.CalcZobel();
    EXPECT_DOUBLE_EQ(net.Branch(TNet::kZobel).Resistor().value, 3.1);
    net.Calculate();
    for (int i = 0; i < TNet::kPoints; i += 7)
        ASSERT_NEAR(net.ZinMagnitude()[i], 3.1, 0.031) << i;
    net.driversInSeries = 1;
    net.CalcZobel();
    EXPECT_DOUBLE_EQ(net.Branch(TNet::kZobel).Resistor().value, 12.4);
    EXPECT_DOUBLE_EQ(net.Branch(TNet::kZobel).Capacitor().value, 0.5 * 0.0008 / (6.2 * 6.2));
}

TEST(Net, BareDriverAndDriverConnections) {
    TGeneral g;
    TNet net(g, 0);
    bypass(net);
    net.Calculate();
    EXPECT_FALSE(net.Changed());
    const CVector& jw = g.jw();
    for (int i = 0; i < TNet::kPoints; ++i) {
        ASSERT_NEAR(net.GainDb()[i], 0.0, 1e-6) << i;
        const Complex zvc = 8.0 + jw[i] * 0.001;
        ASSERT_LT(std::abs(net.Zin()[i] - zvc), 1e-6 * std::abs(zvc)) << i;
        ASSERT_EQ(net.S1()[i], net.V1()[i]);
    }

    net.driverCount = 2;
    net.driversInSeries = 1;
    net.Rex = 0.3;
    net.SetChanged();
    net.Calculate();
    for (int i = 0; i < TNet::kPoints; i += 11) {
        const Complex zvc = 8.0 + jw[i] * 0.001;
        ASSERT_LT(std::abs(net.Zd()[i] - 2.0 * zvc), 1e-12) << i;
        ASSERT_LT(std::abs(net.Zload()[i] - (2.0 * zvc + 0.6)), 1e-12) << i;
        // Equal drivers in series share the voltage behind the two Rex.
        const Complex v = net.H()[i] / (2.0 * zvc + 0.6) * zvc;
        ASSERT_LT(std::abs(net.V1()[i] - v), 1e-9) << i;
        ASSERT_LT(std::abs(net.V2()[i] - v), 1e-9) << i;
    }
    net.driversInSeries = 0;
    net.SetChanged();
    net.Calculate();
    for (int i = 0; i < TNet::kPoints; i += 11) {
        const Complex zvc = 8.0 + jw[i] * 0.001;
        ASSERT_LT(std::abs(net.Zd()[i] - 0.5 * zvc), 1e-12) << i;
        // The open " None" shunts (10^9 ohm) are the only difference.
        ASSERT_LT(std::abs(net.Zin()[i] - (0.5 * zvc + 0.15)), 1e-6 * std::abs(zvc)) << i;
    }
}

TEST(Net, DisconnectSilencesTheBranch) {
    TGeneral g;
    TNet net(g, 0);
    net.Calculate();
    const FVector before = net.GainDb();
    const FVector zin = net.ZinMagnitude();
    net.disconnect = 1;
    net.Edited();
    net.Calculate();
    int checked = 0;
    for (int i = 0; i < TNet::kPoints; ++i) {
        if (zin[i] >= 100.0) continue;
        ++checked;
        ASSERT_LT(net.GainDb()[i], before[i] - 200.0) << i;
        ASSERT_NEAR(net.ZinMagnitude()[i], 1e12, 1e6) << i;
    }
    EXPECT_GT(checked, 250);
}

TEST(Net, InvertFlipsTheOutputButNotTheGainPhase) {
    TGeneral g;
    TNet net(g, 2);
    net.Calculate();
    const FVector gainPhase = net.GainPhase();
    const FVector splPhase = net.SplPhase();
    net.invert = 1;
    net.Edited();
    net.Calculate();
    for (int i = 0; i < TNet::kPoints; i += 5) {
        ASSERT_EQ(net.GainPhase()[i], gainPhase[i]) << i;
        ASSERT_NEAR(std::abs(wrapDeg(net.SplPhase()[i] - splPhase[i])), 180.0, 1e-9) << i;
    }
}

// A driver 34 mm deep is a pure 0.1 ms delay; the phase wraps hundreds of times on the way
// to 20 kHz and the group delay must not see any of it.
TEST(Net, GroupDelayIgnoresPhaseWraps) {
    TGeneral g;
    TNet net(g, 0);
    bypass(net);
    net.Le = 0.0;
    net.posZ[0] = 0.034;
    net.Calculate();
    const FVector& gd = net.GroupDelay();
    for (int i = 0; i < TNet::kPoints; ++i)
        ASSERT_NEAR(gd[i], 0.1, 1e-9) << i;
}

// The ladder against the closed-form transfer of the same elements and against the
// Butterworth polynomial they approximate, both with ideal coils into a resistor.
TEST(Net, DesignedLadderMatchesTheClosedForm) {
    TGeneral g;
    const double fc = 1000.0;

    TNet lp(g, 0);
    lp.lowPassOrder = 2;
    lp.lowPassCutoff = fc;
    lp.DesignLowPass();
    makeResistive(lp);
    lp.Calculate();

    TNet hp(g, 2);
    hp.highPassOrder = 3;
    hp.highPassCutoff = fc;
    hp.DesignHighPass();
    makeResistive(hp);
    hp.Calculate();

    for (int i = 0; i < TNet::kPoints; ++i) {
        const double f = g.frequency()[i];
        const Complex s(0.0, f / fc);
        // Series L1 = 1.414 R/w0, shunt C2 = 0.707/(R w0): 1 / (1 + 1.414 s + 1.414 * 0.707 s^2).
        const Complex exact = 1.0 / (1.0 + 1.414 * s + 1.414 * 0.707 * s * s);
        ASSERT_LT(std::abs(lp.H()[i] - exact), 1e-7 * std::abs(exact) + 1e-15) << i;
        const Complex butter = 1.0 / (1.0 + std::numbers::sqrt2 * s + s * s);
        ASSERT_NEAR(db(lp.H()[i]), db(butter), 0.01) << f;

        // Third-order high-pass: s^3 / (s^3 + 2 s^2 + 2 s + 1) in the Butterworth limit.
        const Complex p = 1.0 / s;
        const Complex butter3 = 1.0 / (1.0 + 2.0 * p + 2.0 * p * p + p * p * p);
        ASSERT_NEAR(db(hp.H()[i]), db(butter3), 0.01) << f;
        ASSERT_NEAR(wrapDeg(std::arg(hp.H()[i]) * 180 / kPi - std::arg(butter3) * 180 / kPi), 0.0, 0.1) << f;
    }
    EXPECT_NEAR(
        db(lp.H()[std::lower_bound(g.frequency().begin(), g.frequency().end(), fc) - g.frequency().begin()]),
        -3.0, 0.2);

    // The design leaves the coils' 0.5 ohm in place: 8 / 8.5 at DC.
    TNet real(g, 0);
    real.lowPassOrder = 2;
    real.lowPassCutoff = fc;
    real.DesignLowPass();
    EXPECT_EQ(real.Branch(0).Inductor().seriesResistance, 0.5);
    real.Le = 0.0;
    ASSERT_TRUE(real.SetComponent(TNet::kZobel, CompKind::Resistor, 0.0));
    real.Calculate();
    EXPECT_NEAR(real.GainDb()[0], 20 * std::log10(8.0 / 8.5), 1e-4);
}

// Fourth-order Linkwitz-Riley elements (the square of the second-order Butterworth),
// 0.3000 R/fc, 0.2533/(R fc), 0.1500 R/fc, 0.0563/(R fc) and their high-pass mirror.
TEST(Net, LinkwitzRileyPairSumsFlatAndInPhase) {
    TGeneral g;
    const double fc = 2000.0, R = 8.0;
    const double w0 = 2 * kPi * fc;
    const double s2 = std::numbers::sqrt2;
    // Element values of 1 / (s^2 + sqrt2 s + 1)^2 in the ladder L1, C2, L3, C4 || R.
    const double l3 = 2 * s2 / 3.0, l1 = 2 * s2 - l3, c4 = 1.0 / (2 * s2), c2 = 2 * s2 / (l1 * l3);
    TNet bass(g, 0), treble(g, 2);
    bass.Le = treble.Le = 0.0;
    for (TNet* n : {&bass, &treble}) {
        ASSERT_TRUE(n->SetComponent(TNet::kZobel, CompKind::Resistor, 0.0));
        ASSERT_EQ(n->Branch(TNet::kZobel).GetType(), TBranch::None);
    }
    ASSERT_TRUE(bass.SetInductor(0, l1 * R / w0, 0.0));
    ASSERT_TRUE(bass.SetComponent(1, CompKind::Capacitor, c2 / (R * w0)));
    ASSERT_TRUE(bass.SetInductor(2, l3 * R / w0, 0.0));
    ASSERT_TRUE(bass.SetComponent(3, CompKind::Capacitor, c4 / (R * w0)));
    EXPECT_NEAR(bass.Branch(0).Inductor().value, 0.3000 * R / fc, 0.0005 * R / fc);
    EXPECT_NEAR(bass.Branch(3).Capacitor().value, 0.0563 / (R * fc), 0.0005 / (R * fc));
    ASSERT_TRUE(treble.SetComponent(0, CompKind::Capacitor, 1.0 / (l1 * R * w0)));
    ASSERT_TRUE(treble.SetInductor(1, R / (c2 * w0), 0.0));
    ASSERT_TRUE(treble.SetComponent(2, CompKind::Capacitor, 1.0 / (l3 * R * w0)));
    ASSERT_TRUE(treble.SetInductor(3, R / (c4 * w0), 0.0));
    bass.Calculate();
    treble.Calculate();

    const int main = g.mainRay();
    for (int i = 0; i < TNet::kPoints; ++i) {
        const Complex a = bass.RayOutput()[main][i];
        const Complex b = treble.RayOutput()[main][i];
        ASSERT_NEAR(db(a + b), 0.0, 0.01) << g.frequency()[i];
        ASSERT_NEAR(std::arg(a / b) * 180 / kPi, 0.0, 0.5) << g.frequency()[i];
        ASSERT_NEAR(bass.RayDb()[main][i], db(a), 1e-12);
    }
    // Each half is the squared second-order Butterworth.
    for (int i = 0; i < TNet::kPoints; i += 7) {
        const Complex s(0.0, g.frequency()[i] / fc);
        const Complex b2 = s * s + s2 * s + 1.0;
        ASSERT_NEAR(bass.GainDb()[i], db(1.0 / (b2 * b2)), 1e-6) << i;
        ASSERT_NEAR(treble.GainDb()[i], db(s * s * s * s / (b2 * b2)), 1e-6) << i;
    }
}

TEST(Net, RaysSumTheDriversAlongTheirPaths) {
    TGeneral g;
    ASSERT_EQ(g.addSurfaceRay(30), TGeneral::RayEdit::Changed);
    TNet net(g, 0);
    net.driverCount = 2;
    net.posY = {0.1, -0.1};
    net.posZ = {0.0, 0.02};
    net.Edited();
    net.Calculate();
    CVector a(TNet::kPoints), b(TNet::kPoints);
    for (int k = 0; k < g.surfaceCount(); ++k) {
        const double angle = g.rayCalcAngle(k);
        g.OffAxis(net.S1(), angle, 0.05, 0.0, 0.1, 0.0, a);
        g.OffAxis(net.S2(), angle, 0.05, 0.0, -0.1, 0.02, b);
        for (int i = 0; i < TNet::kPoints; i += 13)
            ASSERT_LT(std::abs(net.RayOutput()[k][i] - (a[i] + b[i])), 1e-12 * (1 + std::abs(a[i] + b[i])));
    }
}

TEST(Net, CalculatesFromMeasuredCurves) {
    TGeneral g;
    const std::string folder = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";
    TNet woofer(g, 0), tweeter(g, 2);
    woofer.Re = tweeter.Re = 4.0;
    woofer.lowPassCutoff = 2500.0;
    woofer.DesignLowPass();
    tweeter.highPassCutoff = 2500.0;
    tweeter.DesignHighPass();
    struct {
        TNet* net;
        const char* spl;
        const char* zma;
    } const pairs[] = {{&woofer, "DCS255-4@0.frd", "DCS255-4.zma"},
                       {&tweeter, "ND25FA-4@0.frd", "ND25FA-4.zma"}};
    for (const auto& p : pairs) {
        p.net->Spl(0).SetFileName(folder + p.spl);
        p.net->Impedance(0).SetFileName(folder + p.zma);
        ASSERT_TRUE(p.net->Spl(0).ReadCurve(nullptr)) << p.spl;
        ASSERT_TRUE(p.net->Impedance(0).ReadCurve(nullptr)) << p.zma;
        p.net->impedanceScaling[0] = 1.1;
        p.net->splScaling[0] = 0.5;
        p.net->Edited();
        p.net->Calculate();
        const TNet& n = *p.net;
        for (int i = 0; i < TNet::kPoints; ++i) {
            ASSERT_TRUE(std::isfinite(n.GainDb()[i]) && std::isfinite(n.ZinMagnitude()[i])) << i;
            ASSERT_TRUE(std::isfinite(n.RayDb()[g.mainRay()][i]) && std::isfinite(n.GroupDelay()[i])) << i;
            ASSERT_EQ(n.Z1()[i], n.Impedance(0).Values()[i] * 1.1);
            ASSERT_EQ(n.S1()[i], n.V1()[i] * (n.Spl(0).Values()[i] * 0.5));
        }
    }
    // Around the crossover both drivers play; far from it the other one is well down.
    const int i100 = 180, i10k = 457; // about 100 Hz and 10 kHz
    EXPECT_GT(woofer.RayDb()[0][i100], tweeter.RayDb()[0][i100] + 30.0);
    EXPECT_GT(tweeter.RayDb()[0][i10k], woofer.RayDb()[0][i10k] + 30.0);

    // Driver 2 without curves takes driver 1's.
    woofer.driverCount = 2;
    woofer.Edited();
    woofer.Calculate();
    for (int i = 0; i < TNet::kPoints; i += 9) {
        ASSERT_EQ(woofer.Z2()[i], woofer.Z1()[i]);
        ASSERT_EQ(woofer.S2()[i], woofer.V2()[i] * (woofer.Spl(0).Values()[i] * 0.5));
    }
}

// A network with something off its defaults in every field of the record.
void configure(TNet& net) {
    net.Re = 6.4, net.Rex = 0.2, net.Le = 0.00045;
    net.driverCount = 2, net.driversInSeries = 1, net.disconnect = 1, net.invert = 1;
    net.posX = {0.01, 0.02};
    net.posY = {0.03, -0.04};
    net.posZ = {0.05, 0.06};
    net.pistonRadius = {0.07, 0.08};
    net.splScaling = {0.9, 1.1};
    net.impedanceScaling = {1.2, 0.8};
    net.attenuation = 3.0;
    net.CalcAttenuator();
    net.lowPassOrder = 3, net.lowPassCutoff = 1800.0;
    net.highPassOrder = 2, net.highPassCutoff = 300.0;
    net.DesignLowPass();
    EXPECT_TRUE(net.SetInductor(TNet::kNotch, 0.002, 0.25));
    net.Spl(0).SetFileName("no/such/woofer.frd");
    net.Impedance(0).SetFileName("no/such/woofer.zma");
    net.Spl(1).SetFileName("no/such/second.frd");
}

TEST(NetRecord, RoundTripsByteForByteAtTheDocumentedOffsets) {
    TGeneral g;
    TNet net(g, 1);
    configure(net);
    const std::vector<std::uint8_t> bytes = record(net);
    ASSERT_EQ(bytes.size(), TNet::kRecordSize);
    ASSERT_EQ(TNet::kRecordSize, 1661u);

    auto f64At = [&](std::size_t o) {
        double v;
        std::memcpy(&v, bytes.data() + o, 8);
        return v;
    };
    auto u16At = [&](std::size_t o) { return static_cast<unsigned>(bytes[o] | (bytes[o + 1] << 8)); };
    EXPECT_EQ(f64At(0), 6.4);
    EXPECT_EQ(f64At(24), 0.05); // z of driver 1
    EXPECT_EQ(u16At(32), 2u);   // driver count
    EXPECT_EQ(bytes[34], 1);    // in series
    EXPECT_EQ(bytes[35], 1);    // disconnect
    EXPECT_EQ(f64At(36), 0.01); // x1, y1, x2, y2
    EXPECT_EQ(f64At(68), 0.06);    // z2
    EXPECT_EQ(f64At(108), 1.2);    // impedance scaling 1
    EXPECT_EQ(f64At(124), 3.0);    // attenuator
    EXPECT_EQ(f64At(132), 300.0);  // high-pass cut-off
    EXPECT_EQ(f64At(140), 1800.0); // low-pass cut-off
    EXPECT_EQ(u16At(150), 3u); // low-pass order
    EXPECT_EQ(bytes[152], 1); // invert
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 153), "no/such/woofer.frd");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 153 + 2 * 271), "no/such/second.frd");
    const std::size_t notch = 153 + 4 * 271 + 4 * 53;
    EXPECT_EQ(u16At(notch), static_cast<unsigned>(TBranch::L));
    EXPECT_EQ(bytes[notch + 2], 0);          // R: in use
    EXPECT_EQ(bytes[notch + 2 + 2 * 17], 1); // L is the third component
    EXPECT_EQ(f64At(notch + 2 + 2 * 17 + 9), 0.002);

    TNet back(g, 1);
    BinaryReader r(bytes);
    ASSERT_TRUE(back.readRecord(r, 400, nullptr));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(record(back), bytes);
    EXPECT_TRUE(back.Changed());
    EXPECT_EQ(back.Spl(1).FileName(), "no/such/second.frd");
    EXPECT_FALSE(back.Spl(0).Loaded());
    EXPECT_EQ(back.Branch(TNet::kNotch).Inductor().seriesResistance, 0.25);
}

TEST(NetRecord, EveryTruncationAndImpossibleValueIsRefusedUnchanged) {
    TGeneral g;
    TNet source(g, 0);
    configure(source);
    const std::vector<std::uint8_t> bytes = record(source);
    TNet target(g, 0);
    const std::vector<std::uint8_t> untouched = record(target);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        BinaryReader r(std::span(bytes.data(), n));
        ASSERT_FALSE(target.readRecord(r, 400, nullptr)) << n;
        ASSERT_EQ(record(target), untouched) << n;
    }
    auto refused = [&](std::size_t offset, std::vector<std::uint8_t> patch) {
        std::vector<std::uint8_t> bad = bytes;
        std::copy(patch.begin(), patch.end(), bad.begin() + static_cast<std::ptrdiff_t>(offset));
        BinaryReader r(bad);
        return !target.readRecord(r, 400, nullptr) && record(target) == untouched;
    };
    EXPECT_TRUE(refused(32, {3, 0})) << "three drivers";
    EXPECT_TRUE(refused(32, {0, 0})) << "no driver";
    EXPECT_TRUE(refused(148, {5, 0})) << "fifth order";
    EXPECT_TRUE(refused(153 + 4 * 271, {10, 0})) << "branch type 10";
    EXPECT_TRUE(refused(0, {0, 0, 0, 0, 0, 0, 0xf8, 0x7f})) << "NaN Re";
}

// Before version 310 a record has one driver, no positions beyond z and no coil resistance.
TEST(NetRecord, OldRecordsKeepTheNewFieldsAtTheirDefaults) {
    TGeneral g;
    BinaryWriter w;
    // Re, Rex, Le, z, attenuator, high-pass and low-pass cut-off, the two orders.
    for (double v : {4.0, 0.1, 0.0005, 0.02, 2.0, 400.0, 3000.0}) w.f64(v);
    w.u16(1);
    w.u16(2);
    w.u8(0);
    w.textBlock("", kPathBlock);
    w.textBlock("", kPathBlock);
    for (int b = 0; b < TNet::kBranches; ++b) {
        w.u16(b == 0 ? TBranch::L : TBranch::None);
        for (int c = 0; c < 3; ++c) {
            w.u8(b == 0 && c == 2 ? 1 : 0);
            w.f64(b == 0 && c == 2 ? 0.0012 : 0.0);
        }
    }
    const std::vector<std::uint8_t> bytes = w.take();
    ASSERT_EQ(bytes.size(), TNet::kOldRecordSize);

    TNet net(g, 0);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        BinaryReader r(std::span(bytes.data(), n));
        ASSERT_FALSE(net.readRecord(r, 300, nullptr)) << n;
    }
    BinaryReader r(bytes);
    ASSERT_TRUE(net.readRecord(r, 300, nullptr));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(net.Re, 4.0);
    EXPECT_EQ(net.posZ[0], 0.02);
    EXPECT_EQ(net.driverCount, 1);
    EXPECT_EQ(net.pistonRadius[1], 0.05);
    EXPECT_EQ(net.splScaling[0], 1.0);
    EXPECT_EQ(net.lowPassOrder, 2);
    EXPECT_EQ(net.Branch(0).GetType(), TBranch::L);
    EXPECT_EQ(net.Branch(0).Inductor().value, 0.0012);
    EXPECT_EQ(net.Branch(0).Inductor().seriesResistance, 0.5);
    EXPECT_TRUE(net.Spl(1).FileName().empty());
    net.Calculate();
    EXPECT_TRUE(std::isfinite(net.GainDb()[250]));
}

TEST(NetRecord, MissingCurveFilesSayWhyAndKeepTheirNames) {
    test::ScriptedUiHost host;
    TGeneral g;
    TNet source(g, 2);
    source.Spl(0).SetFileName("/no/such/tweeter.frd");
    source.Impedance(0).SetFileName(std::string(HARLOX_SHARED_DATA_DIR) + "/measured/ND25FA-4.zma");
    const std::vector<std::uint8_t> bytes = record(source);
    TNet net(g, 2);
    BinaryReader r(bytes);
    ASSERT_TRUE(net.readRecord(r, 400, &host));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("/no/such/tweeter.frd"), std::string::npos);
    EXPECT_FALSE(net.Spl(0).Loaded());
    EXPECT_EQ(net.Spl(0).FileName(), "/no/such/tweeter.frd");
    EXPECT_TRUE(net.Impedance(0).Loaded());
}

} // namespace
