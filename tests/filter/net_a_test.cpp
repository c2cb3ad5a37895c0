#include "filter/net_a.h"

#include "core/binary_io.h"
#include "filter/general.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

constexpr double kTwoPiExact = 2.0 * 3.141592653589793;

// Complex within a relative tolerance.
::testing::AssertionResult near(Complex got, Complex want, double rel = 1e-9) {
    const double err = std::abs(got - want);
    if (err <= rel * std::max(std::abs(want), 1e-300)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.real() << ", " << got.imag() << ") want ("
                                         << want.real() << ", " << want.imag() << ")";
}

std::vector<std::uint8_t> record(const TNetA& net) {
    BinaryWriter w;
    EXPECT_TRUE(net.WriteRecord(w));
    return w.take();
}

class NetA : public ::testing::Test {
protected:
    // A measured curve of one constant value: magnitude (dB for SPL, ohm for impedance) and
    // phase in degrees, written as a file the reader takes.
    std::string constantCurve(const std::string& name, double magnitude, double phase = 0.0) {
        const std::string path = dir.file(name);
        std::ofstream out(path);
        for (double f : {1.0, 4.0, 10.0, 100.0, 1000.0, 10000.0, 25000.0})
            out << f << ' ' << magnitude << ' ' << phase << '\n';
        return path;
    }

    // Driver i with a flat 0 dB SPL curve and a constant resistive impedance.
    void resistiveDriver(TNetA& net, int i, double ohm, double splDb = 0.0) {
        net.SplData(i).SetFileName(constantCurve("spl" + std::to_string(i) + ".frd", splDb));
        ASSERT_TRUE(net.SplData(i).ReadCurve(&ui));
        net.ImpedanceData(i).SetFileName(constantCurve("z" + std::to_string(i) + "_" + std::to_string(ohm) + ".zma", ohm));
        ASSERT_TRUE(net.ImpedanceData(i).ReadCurve(&ui));
        net.splSame[static_cast<std::size_t>(i)] = 0;
        net.impedanceSame[static_cast<std::size_t>(i)] = 0;
        net.MarkChanged();
    }

    Complex s(int k) const { return general.jw()[k]; }

    test::TempDir dir;
    test::ScriptedUiHost ui;
    TGeneral general;
};

// ---------------------------------------------------------------- branches and components

TEST_F(NetA, EveryPassiveBranchTypeMatchesItsClosedForm) {
    TNetA net(general, 0, false);
    TBranchA& b = net.Branch(2);
    const double R1 = 3.3, R2 = 0.47, L = 0.0022, C = 6.8e-6;
    b.R1().SetValue(R1);
    b.R2().SetValue(R2);
    b.L().SetValue(L);
    b.C().SetValue(C);
    for (int type = 0; type < TBranchA::kPassiveTypes; ++type) {
        SCOPED_TRACE(type);
        b.SetType(type);
        b.MarkChanged();
        b.Calculate(general.jw(), general.frequency());
        EXPECT_EQ(b.changed, 0);
        for (int k : {0, 137, 250, 499}) {
            const Complex sk = s(k);
            const Complex zl = sk * L, zc = 1.0 / (sk * C);
            // Written as admittance sums, not the program's chain of parallels.
            Complex want;
            switch (type) {
            case 0: want = 0.0; break;
            case 1: want = R1; break;
            case 2: want = zc; break;
            case 3: want = R1 + zl; break;
            case 4: want = R1 + zc; break;
            case 5: want = R1 + zl + zc; break;
            case 6: want = R1 * (zl + R2) / (R1 + zl + R2); break;
            case 7: want = 1.0 / (1.0 / R1 + sk * C); break;
            case 8: want = 1.0 / (sk * C + 1.0 / (R1 + zl)); break;
            case 9: want = 1.0 / (1.0 / R1 + sk * C + 1.0 / (R2 + zl)); break;
            case 10: want = 1.0 / (1.0 / R1 + 1.0 / (R2 + zc)); break;
            }
            if (type == 0) { EXPECT_EQ(b.impedance()[k], Complex(0.0, 0.0)); }
            else { EXPECT_TRUE(near(b.impedance()[k], want)); }
        }
    }
    // An empty shunt branch is an open circuit.
    TBranchA& shunt = net.Branch(3);
    shunt.Calculate(general.jw(), general.frequency());
    EXPECT_EQ(shunt.impedance()[100], Complex(1e12, 0.0));
}

TEST_F(NetA, EveryActiveSectionMatchesItsClosedForm) {
    TNetA net(general, 0, true);
    TBranchA& b = net.Branch(0);
    const double R1 = 12000, R2 = 27000, C1 = 22e-9, C2 = 4.7e-9, L = 0.33;
    b.R1().SetValue(R1);
    b.R2().SetValue(R2);
    b.C1().SetValue(C1);
    b.C2().SetValue(C2);
    b.L().SetValue(L);
    for (int type = 0; type < TBranchA::kActiveTypes; ++type) {
        SCOPED_TRACE(type);
        b.SetType(type);
        b.Calculate(general.jw(), general.frequency());
        for (int k : {3, 200, 320, 480}) {
            const Complex sk = s(k);
            const double w = sk.imag();
            const double w1 = 1.0 / (R1 * C1 * 6.28318530718) * kTwoPiExact; // the section's own 2 pi
            // Second-order sections through their natural frequency and Q.
            const double w0 = 1.0 / std::sqrt(R1 * R2 * C1 * C2);
            const double qLp = std::sqrt(R1 * R2 * C1 * C2) / ((R1 + R2) * C2);
            const double qHp = std::sqrt(R1 * R2 * C1 * C2) / ((C1 + C2) * R1);
            const Complex u(0.0, w / w0);
            const Complex zc = 1.0 / (sk * C1), zr = sk * L + zc;
            Complex want = 1.0;
            switch (type) {
            case 1: want = 1.0 / Complex(1.0, w / w1); break;
            case 2: want = Complex(0.0, w / w1) / Complex(1.0, w / w1); break;
            case 3: want = 1.0 / (1.0 + u / qLp + u * u); break;
            case 4: want = u * u / (1.0 + u / qHp + u * u); break;
            case 5: want = (R1 + R2 + zc) / (R1 + zc); break;
            case 6: want = (R1 + zc) / (R1 + R2 + zc); break;
            case 7: want = (R1 + R2 + zr) / (R1 + zr); break;
            case 8: want = (R1 + zr) / (R1 + R2 + zr); break;
            }
            EXPECT_TRUE(near(b.transfer()[k], want, 1e-9));
        }
    }
}

TEST_F(NetA, ComponentNamesLimitsAndDisplay) {
    TNetA net2(general, 1, false);
    EXPECT_EQ(net2.Branch(2).R1().name(), "R2031");
    TNetA net1(general, 0, true);
    EXPECT_EQ(net1.Branch(0).C2().name(), "C1012");
    EXPECT_EQ(net1.Link(0).R2().name(), "R1112");
    TNetA net3(general, 2, false);
    EXPECT_EQ(net3.Link(0).number(), 10);

    // Passive defaults and lines.
    TCompA& c = net2.Branch(0).C();
    EXPECT_DOUBLE_EQ(c.Value(), 1e-6);
    net2.Branch(0).R1().SetValue(8.2);
    EXPECT_EQ(net2.Branch(0).R1().ComponentLine(), "R2011\t8.20\tohm");
    EXPECT_EQ(c.ComponentLine(), "C2011\t1.000\tuF");
    EXPECT_EQ(net2.Branch(0).L().ComponentLine(), "L2011\t1.000\tmH");

    // Active components pick engineering units.
    TCompA& r = net1.Branch(0).R1();
    EXPECT_DOUBLE_EQ(r.Value(), 10000);
    r.SetValue(4700);
    EXPECT_EQ(r.ComponentLine(), "R1011\t4.70\tkohm");
    r.SetValue(470);
    EXPECT_EQ(r.ComponentLine(), "R1011\t470\tohm");
    TCompA& c1 = net1.Branch(0).C1();
    c1.SetValue(2.2e-9);
    EXPECT_EQ(c1.ComponentLine(), "C1011\t2.20\tnF");
    c1.SetValue(100e-12);
    EXPECT_EQ(c1.ComponentLine(), "C1011\t100\tpF");
    TCompA& l = net1.Branch(0).L();
    l.SetValue(1e-4);
    EXPECT_EQ(l.ComponentLine(), "L1011\t100\tuH");

    // Schematic numbers of passive parts follow the value's size.
    c.SetValue(47e-6);
    EXPECT_EQ(c.SchematicValueText(), "47.00");
    net2.Branch(0).R1().SetValue(150);
    EXPECT_EQ(net2.Branch(0).R1().SchematicValueText(), "150");
}

TEST_F(NetA, ArrowKeysStepAndClampWithABeep) {
    TNetA net(general, 0, false);
    TBranchA& b = net.Branch(0);
    b.SetType(4);
    for (int i = 0; i < 14; ++i) ASSERT_EQ(b.StepLine(b.C().ComponentLine(), true, &ui), &b.C());
    EXPECT_NEAR(b.C().Value(), 1e-6 * std::pow(1.05, 14), 1e-15);
    EXPECT_EQ(ui.beeps, 0);

    b.R1().SetValue(0.0101);
    b.StepLine("R1011\t0.01\tohm", false, &ui);
    EXPECT_DOUBLE_EQ(b.R1().Value(), 0.01);
    EXPECT_EQ(ui.beeps, 1);
    b.R1().SetValue(999.0);
    b.R1().Step(true, &ui);
    EXPECT_DOUBLE_EQ(b.R1().Value(), 1000.0);
    EXPECT_EQ(ui.beeps, 2);
    // A short line only beeps; a line of another branch names nothing here.
    EXPECT_EQ(b.StepLine("R10", true, &ui), nullptr);
    EXPECT_EQ(ui.beeps, 3);
    b.R1().SetValueClamped(5000.0, &ui);
    EXPECT_DOUBLE_EQ(b.R1().Value(), 1000.0);
    EXPECT_EQ(ui.beeps, 4);
}

TEST_F(NetA, BranchListTypesAndDescriptions) {
    TNetA net(general, 0, false);
    std::vector<std::string> lines = net.BranchListLines();
    std::vector<std::string> want;
    for (int b = 1; b <= 8; ++b) {
        want.push_back("* Branch 0" + std::to_string(b) + " *");
        want.emplace_back(b % 2 ? " Short circuit" : " Open circuit");
        want.emplace_back("  ");
    }
    want.insert(want.end(), {"* Branch 11 *", " Open circuit", "  "});
    EXPECT_EQ(lines, want);

    // A type change takes the parts off the optimisation list and marks the chain.
    TBranchA& b = net.Branch(4);
    b.R1().optimise = 1;
    b.changed = 0;
    net.ClearChanged();
    EXPECT_TRUE(b.SetType(9));
    EXPECT_FALSE(b.SetType(9));
    EXPECT_EQ(b.R1().optimise, 0);
    EXPECT_EQ(b.changed, 1);
    EXPECT_TRUE(net.Changed());
    EXPECT_EQ(b.TypeText(), " R1 // C // (L + R2)");
    std::vector<std::string> bl = b.ListLines();
    ASSERT_EQ(bl.size(), 7u);
    EXPECT_EQ(bl[2].substr(0, 5), "R1051");
    EXPECT_EQ(bl[5].substr(0, 5), "L1051");
    EXPECT_EQ(net.BranchForHeader("* Branch 05 *"), &b);
    EXPECT_EQ(net.BranchForHeader("* Branch 12 *"), &net.Link(1));
    EXPECT_EQ(net.BranchForHeader("* Branch 15 *"), nullptr);

    b.SetType(5);
    b.R1().SetValue(8.0);
    b.L().SetValue(0.001);
    b.C().SetValue(10e-6);
    // Fc = 1/(2 pi sqrt(LC)) = 1591.5 Hz, Q = 2 pi Fc L / R1 = 1.25
    EXPECT_EQ(b.Description(), "Fc = 1592 Hz\nQ  = 1.2");
    b.SetType(3);
    EXPECT_EQ(b.Description(), "Fc = 1273 Hz");
    b.SetType(1);
    EXPECT_EQ(b.Description(), "");

    TNetA active(general, 0, true);
    EXPECT_EQ(active.Branch(0).TypeText(), " Nothing");
    TBranchA& a = active.Branch(0);
    a.SetType(6);
    a.R1().SetValue(10000);
    a.R2().SetValue(10000);
    a.C1().SetValue(15.9e-9);
    EXPECT_EQ(a.Description(), "Fo=\t1001 Hz -6.0dB max att.");
    a.SetType(5);
    EXPECT_EQ(a.Description(), "Fo=\t1001 Hz +6.0dB max amp.");
    EXPECT_EQ(a.TypeText(), " Treble boost");
    EXPECT_EQ(a.UsedComponents().size(), 3u);
}

// ---------------------------------------------------------------- solving

TEST_F(NetA, OneDriverSolvesOnlyWhenChangedAndKeepsResultsWithoutCurves) {
    TNetA net(general, 0, false);
    EXPECT_FALSE(net.Solve());  // no curves yet
    resistiveDriver(net, 0, 8.0);
    ASSERT_TRUE(net.Solve());
    EXPECT_TRUE(near(net.Transfer()[10], 1.0));
    EXPECT_TRUE(near(net.InputImpedance()[10], 8.0));

    net.Branch(0).SetType(1);
    net.Branch(0).R1().SetValue(8.0);
    ASSERT_TRUE(net.Solve());
    for (int k : {0, 250, 499}) {
        EXPECT_TRUE(near(net.Transfer()[k], 0.5));
        EXPECT_TRUE(near(net.InputImpedance()[k], 16.0));
        EXPECT_NEAR(net.DriverGain()[0][k], -6.0206, 1e-4);
        EXPECT_NEAR(net.ImpedanceMagnitude()[k], 16.0, 1e-9);
        // On axis at 0 dB SPL: the level is the gain.
        EXPECT_NEAR(net.AngleSplLevel()[general.mainRay()][k], -6.0206, 1e-4);
    }

    net.ClearChanged();
    net.Rex = 8.0; // written without Edited(): the results stay
    ASSERT_TRUE(net.Solve());
    EXPECT_TRUE(near(net.Transfer()[0], 0.5));
    // A component edit marks component, branch and network.
    net.ClearChanged();
    net.Branch(0).changed = 0;
    net.Branch(0).R1().SetValue(4.0);
    EXPECT_EQ(net.Branch(0).R1().changed + net.Branch(0).changed, 2);
    EXPECT_TRUE(net.Changed());
    ASSERT_TRUE(net.Solve());
    EXPECT_EQ(net.Branch(0).changed + net.Branch(0).R1().changed, 0);
    EXPECT_TRUE(net.Changed()); // the project clears it
    const CVector before = net.Transfer();
    EXPECT_TRUE(near(before[0], 16.0 / 20.0)); // (8 + Rex 8) / (4 + 8 + 8)

    // Without its impedance curve the net keeps the previous results.
    net.ImpedanceData(0).ClearCurve();
    net.Branch(0).R1().SetValue(2.0);
    EXPECT_FALSE(net.Solve());
    EXPECT_EQ(net.Transfer(), before);
    net.Calculate();
    EXPECT_FALSE(net.HasResults());

    // An active network loads a driver without impedance data with Re.
    TNetA active(general, 0, true);
    resistiveDriver(active, 0, 8.0);
    active.ImpedanceData(0).ClearCurve();
    active.Re = 6.0;
    ASSERT_TRUE(active.Solve());
    EXPECT_TRUE(near(active.InputImpedance()[0], 6.0));
}

// A ladder of series / shunt elements into a resistor, by chain matrices.
Complex ladderTransfer(const std::vector<Complex>& elements, double load) {
    // elements[0] is series next to the amplifier, then shunt, series, ...
    Complex A = 1.0, B = 0.0, C = 0.0, D = 1.0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        Complex a = 1.0, b = 0.0, c = 0.0, d = 1.0;
        if (i % 2 == 0) b = elements[i];
        else c = 1.0 / elements[i];
        const Complex nA = A * a + B * c, nB = A * b + B * d, nC = C * a + D * c, nD = C * b + D * d;
        A = nA, B = nB, C = nC, D = nD;
    }
    return 1.0 / (A + B / load);
}

TEST_F(NetA, DesignedSecondAndFourthOrderPairsMatchClosedForms) {
    const double R = 8.0, fc = 2000.0, w = kTwoPiExact * fc, r = 0.1;
    struct Design {
        int order;
        std::vector<double> c;
    };
    for (const Design& d : {Design{2, {1.414, 0.707}}, Design{4, {1.531, 1.577, 1.082, 0.383}}}) {
        SCOPED_TRACE(d.order);
        TNetA lp(general, 0, false), hp(general, 1, false);
        resistiveDriver(lp, 0, R);
        resistiveDriver(hp, 0, R);
        for (int k = 0; k < d.order; ++k) {
            const double ck = d.c[static_cast<std::size_t>(k)];
            if (k % 2 == 0) { // series: low pass L, high pass C
                lp.Branch(k).SetType(3);
                lp.Branch(k).R1().SetValue(r);
                lp.Branch(k).L().SetValue(ck * R / w);
                hp.Branch(k).SetType(2);
                hp.Branch(k).C().SetValue(1.0 / (w * ck * R));
            } else { // shunt: low pass C, high pass L
                lp.Branch(k).SetType(2);
                lp.Branch(k).C().SetValue(ck / (R * w));
                hp.Branch(k).SetType(3);
                hp.Branch(k).R1().SetValue(r);
                hp.Branch(k).L().SetValue(R / (w * ck));
            }
        }
        ASSERT_TRUE(lp.Solve());
        ASSERT_TRUE(hp.Solve());
        for (int k = 0; k < 500; k += 7) {
            const Complex sk = s(k);
            std::vector<Complex> el, eh;
            for (int i = 0; i < d.order; ++i) {
                const double ci = d.c[static_cast<std::size_t>(i)];
                el.push_back(i % 2 == 0 ? r + sk * (ci * R / w) : 1.0 / (sk * (ci / (R * w))));
                eh.push_back(i % 2 == 0 ? 1.0 / (sk * (1.0 / (w * ci * R))) : r + sk * (R / (w * ci)));
            }
            EXPECT_TRUE(near(lp.Transfer()[k], ladderTransfer(el, R), 1e-8)) << k;
            EXPECT_TRUE(near(hp.Transfer()[k], ladderTransfer(eh, R), 1e-8)) << k;
        }
    }
}

TEST_F(NetA, ActiveCascadeMultipliesSectionsAndGain) {
    TNetA net(general, 0, true);
    resistiveDriver(net, 0, 8.0);
    // A unity-gain Butterworth low pass at 1 kHz and a first-order high pass at 100 Hz.
    const double R = 10000.0, w = kTwoPiExact * 1000.0;
    TBranchA& biquad = net.Branch(2);
    biquad.SetType(3);
    biquad.R1().SetValue(R);
    biquad.R2().SetValue(R);
    const double C2 = 1.0 / (w * R * 2.0 * 0.707);
    biquad.C2().SetValue(C2);
    biquad.C1().SetValue(C2 * 1.999396);
    TBranchA& hp = net.Branch(5);
    hp.SetType(2);
    hp.C1().SetValue(100e-9);
    hp.R1().SetValue(1.0 / (kTwoPiExact * 100.0 * 100e-9));
    net.activeGain = 2.0;
    ASSERT_TRUE(net.Solve());
    for (int k = 0; k < 500; k += 11) {
        const double f = general.frequency()[k];
        const Complex u(0.0, f / 1000.0);
        const double q = std::sqrt(1.999396) / 2.0;
        const Complex lp2 = 1.0 / (1.0 + u / q + u * u);
        const Complex x(0.0, f / (1.0 / (6.28318530718 * hp.R1().Value() * 100e-9)));
        const Complex hp1 = x / (1.0 + x);
        EXPECT_TRUE(near(net.Transfer()[k], 2.0 * lp2 * hp1, 1e-9)) << k;
    }
    // The load is the driver alone.
    EXPECT_TRUE(near(net.InputImpedance()[0], 8.0));
    // The biquad at its corner: Q = 0.707, about -3.01 dB (the gain of 2 is +6.02).
    int k = 0;
    while (general.frequency()[k + 1] < 1000.0) ++k;
    EXPECT_NEAR(net.DriverGain()[0][k], 6.02 - 3.01, 0.1);

    net.disconnected = 1;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    net.Branch(2).SetType(0);
    net.Branch(5).SetType(0);
    ASSERT_TRUE(net.Solve());
    EXPECT_NEAR(net.DriverGain()[0][100], -240.0, 1e-9);
}

TEST_F(NetA, DisconnectLowersThePassiveGainByMoreThan200dB) {
    TNetA net(general, 0, false);
    resistiveDriver(net, 0, 6.0);
    net.Branch(0).SetType(3);
    net.Branch(0).R1().SetValue(0.2);
    net.Branch(0).L().SetValue(0.0015);
    net.Branch(1).SetType(2);
    net.Branch(1).C().SetValue(8e-6);
    ASSERT_TRUE(net.Solve());
    const FVector on = net.DriverGain()[0];
    const FVector zin = net.ImpedanceMagnitude();
    net.disconnected = 1;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    int checked = 0;
    for (int k = 0; k < 500; ++k) {
        if (zin[k] >= 100.0) continue;
        EXPECT_GT(on[k] - net.DriverGain()[0][k], 200.0) << k;
        ++checked;
    }
    EXPECT_GT(checked, 100);
    EXPECT_GT(net.ImpedanceMagnitude()[0], 1e12);
}

TEST_F(NetA, ConnectionsOfIdenticalDrivers) {
    const double Z = 8.0;
    struct Case {
        int connection, drivers;
        double load, ratio;
    };
    for (const Case& c : {Case{0, 1, Z, 1.0}, Case{0, 2, 2 * Z, 0.5}, Case{0, 3, 3 * Z, 1.0 / 3},
                          Case{0, 4, 4 * Z, 0.25}, Case{1, 2, Z / 2, 1.0}, Case{1, 3, Z / 3, 1.0},
                          Case{1, 4, Z / 4, 1.0}, Case{2, 4, Z, 0.5}, Case{2, 1, Z, 0.5}}) {
        SCOPED_TRACE(testing::Message() << c.connection << " " << c.drivers);
        TNetA net(general, 0, false);
        for (int i = 0; i < 4; ++i) resistiveDriver(net, i, Z);
        net.SetConnection(c.connection);
        net.SetDriverCount(c.drivers);
        ASSERT_TRUE(net.Solve());
        // Connection 2 takes four drivers whatever the count says.
        const int n = c.connection == 2 ? 4 : c.drivers;
        EXPECT_EQ(net.DriversInUse(), n);
        EXPECT_TRUE(near(net.InputImpedance()[200], c.load));
        for (int i = 0; i < n; ++i) EXPECT_TRUE(near(net.DriverVoltageRatio()[i][200], c.ratio));
        // On axis at the reference point the drivers' outputs add up.
        EXPECT_TRUE(near(net.AngleSpl()[0][200], n * c.ratio, 1e-9));
    }
    // Rex in series with each driver.
    TNetA net(general, 0, false);
    resistiveDriver(net, 0, 8.0);
    resistiveDriver(net, 1, 8.0);
    net.SetConnection(1);
    net.SetDriverCount(2);
    net.Rex = 2.0;
    ASSERT_TRUE(net.Solve());
    EXPECT_TRUE(near(net.InputImpedance()[0], 5.0));
    EXPECT_TRUE(near(net.DriverVoltageRatio()[1][0], 0.8));
}

TEST_F(NetA, CorrectionLinksByConnection) {
    // A link of 8 ohm across each position in use.
    auto withLinks = [&](int connection, int drivers) {
        auto net = std::make_unique<TNetA>(general, 0, false);
        for (int i = 0; i < 4; ++i) {
            resistiveDriver(*net, i, 8.0);
            net->Link(i).SetType(1);
            net->Link(i).R1().SetValue(8.0);
        }
        net->SetConnection(connection);
        net->SetDriverCount(drivers);
        EXPECT_TRUE(net->Solve());
        return net;
    };
    auto series = withLinks(0, 2);
    EXPECT_TRUE(near(series->InputImpedance()[0], 8.0)); // (8//8) + (8//8)
    EXPECT_TRUE(series->LinkInUse(1));
    EXPECT_FALSE(series->LinkInUse(2));
    auto parallel = withLinks(1, 3);
    EXPECT_TRUE(near(parallel->InputImpedance()[0], 2.0)); // 8/3 // 8, link 1 only
    auto pairs = withLinks(2, 1);
    EXPECT_TRUE(near(pairs->InputImpedance()[0], 8.0 / 3.0 * 2.0)); // (4 // 8) + (4 // 8)
    EXPECT_TRUE(near(pairs->PairImpedance()[1][0], 8.0 / 3.0));
    // Link 1 alone: pair 1 is 8/3 ohm, pair 2 4 ohm, and the voltage divides between them.
    pairs->Link(1).SetType(0);
    ASSERT_TRUE(pairs->Solve());
    EXPECT_TRUE(near(pairs->InputImpedance()[0], 8.0 / 3.0 + 4.0));
    EXPECT_TRUE(near(pairs->DriverVoltageRatio()[1][0], 0.4));
    EXPECT_TRUE(near(pairs->DriverVoltageRatio()[2][0], 0.6));
    // The list shows the links in use.
    std::vector<std::string> lines = pairs->BranchListLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "* Branch 12 *"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "* Branch 13 *"), lines.end());
}

TEST_F(NetA, PolarityFlipsTheSumAndSameAsDriver1) {
    ASSERT_TRUE(general.setSurfaceRays(std::vector<int>{30, 0, -30}));
    TNetA net(general, 0, false);
    resistiveDriver(net, 0, 8.0, 6.0);
    resistiveDriver(net, 1, 8.0, -10.0);
    net.SetConnection(1);
    net.SetDriverCount(2);
    net.dZ[1] = 0.05;
    net.dY[0] = 0.1;
    net.splScaling[1] = 3.0;
    ASSERT_TRUE(net.Solve());
    const CMatrix normal = net.AngleSpl();
    net.polarityInverted = 1;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    for (int ray = 0; ray < 3; ++ray)
        for (int k = 0; k < 500; k += 50) EXPECT_EQ(net.AngleSpl()[ray][k], -normal[ray][k]);

    // Each ray is the sum of the drivers' off-axis outputs.
    CVector a(500), b(500);
    general.OffAxis(net.DriverSpl()[0], 30.0, 0.05, 0.0, 0.1, 0.0, a);
    general.OffAxis(net.DriverSpl()[1], 30.0, 0.05, 0.0, 0.0, 0.05, b);
    for (int k = 0; k < 500; k += 25) EXPECT_TRUE(near(net.AngleSpl()[0][k], -(a[k] + b[k]), 1e-12));
    // Driver 2's own curve (-10 dB) and scaling 3.
    EXPECT_TRUE(near(net.DriverSpl()[1][0], std::pow(10.0, -0.5) * 3.0));

    // "Same as driver 1": driver 1's curve and driver 1's scaling, not its own.
    net.splSame[1] = 1;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    EXPECT_TRUE(near(net.DriverSpl()[1][0], std::pow(10.0, 0.3)));
    net.impedanceSame[1] = 1;
    net.impedanceScaling[1] = 5.0;
    net.ImpedanceData(1).SetFileName(constantCurve("z4.zma", 4.0));
    ASSERT_TRUE(net.ImpedanceData(1).ReadCurve(&ui));
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    EXPECT_TRUE(near(net.DriverImpedance()[1][0], 8.0));
    net.impedanceSame[1] = 0;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    EXPECT_TRUE(near(net.DriverImpedance()[1][0], 20.0));

    // Moving a driver moves its rays: the cached factors follow the geometry.
    net.dZ[1] = 0.2;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    general.OffAxis(net.DriverSpl()[0], 30.0, 0.05, 0.0, 0.1, 0.0, a);
    general.OffAxis(net.DriverSpl()[1], 30.0, 0.05, 0.0, 0.0, 0.2, b);
    for (int k = 0; k < 500; k += 25) EXPECT_TRUE(near(net.AngleSpl()[0][k], -(a[k] + b[k]), 1e-12));
}

TEST_F(NetA, InhibitAndOptimiserRays) {
    ASSERT_TRUE(general.setSurfaceRays(std::vector<int>{30, 0, -30}));
    TNetA net(general, 0, false);
    resistiveDriver(net, 0, 8.0);
    net.dY[0] = 0.2;
    general.inhibit = 1;
    ASSERT_TRUE(net.Solve());
    EXPECT_EQ(net.AngleSpl()[0][10], Complex(0.0, 0.0));
    EXPECT_NE(net.AngleSpl()[1][10], Complex(0.0, 0.0));
    general.inhibit = 0;

    // The optimiser reads its own ray and, without live update, leaves phase and delay.
    net.dZ[0] = 0.1;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    const FVector phase = net.SplPhase();
    const FVector delay = net.GroupDelay();
    const CVector up = net.AngleSpl()[0];
    EXPECT_NEAR(delay[250], 0.1 / 340.0 * 1000.0, 1e-3);
    net.optimiserMode = 2;
    net.optimiserRay = 2;
    net.Branch(0).SetType(3);
    net.Branch(0).R1().SetValue(8.0);
    ASSERT_TRUE(net.Solve());
    EXPECT_EQ(net.AngleSpl()[0], up);
    EXPECT_NE(net.AngleSpl()[2][10], Complex(0.0, 0.0));
    EXPECT_NEAR(net.AngleSplLevel()[2][10], 20 * std::log10(std::abs(net.AngleSpl()[2][10])), 1e-12);
    EXPECT_EQ(net.SplPhase(), phase);
    EXPECT_EQ(net.GroupDelay(), delay);
    net.liveUpdate = 1;
    net.MarkChanged();
    ASSERT_TRUE(net.Solve());
    EXPECT_NE(net.SplPhase(), phase);
    EXPECT_NE(net.GroupDelay(), delay);
}

TEST_F(NetA, GroupDelayWrapsOnlyBeyond180Degrees) {
    FVector f(5), phase(5), gd(5);
    for (int k = 0; k < 5; ++k) f[k] = 1000.0 + 100.0 * k;
    const double p[5] = {170, 179, -179, 10, -170};
    for (int k = 0; k < 5; ++k) phase[k] = p[k];
    TNetA::GroupDelayOf(phase, f, gd);
    // -179 - 170 = -349 degrees is a wrap: +11
    EXPECT_NEAR(gd[1], 11.0 * -2.7777777777777777 / 200.0, 1e-15);
    EXPECT_NEAR(gd[2], (10.0 - 179.0) * -2.7777777777777777 / 200.0, 1e-15);
    // -170 - (-179) = +9
    EXPECT_NEAR(gd[3], 9.0 * -2.7777777777777777 / 200.0, 1e-15);
    EXPECT_EQ(gd[0], gd[1]);
    EXPECT_EQ(gd[4], gd[3]);
    // A step of exactly 180 degrees is not a wrap in these networks.
    const double q[3] = {-90, 0, 90};
    FVector ph(3), f3(3), g3(3);
    for (int k = 0; k < 3; ++k) ph[k] = q[k], f3[k] = 100.0 * (k + 1);
    TNetA::GroupDelayOf(ph, f3, g3);
    EXPECT_NEAR(g3[1], 180.0 * -2.7777777777777777 / 200.0, 1e-15);
    ph[2] = 90.5;
    TNetA::GroupDelayOf(ph, f3, g3);
    EXPECT_NEAR(g3[1], -179.5 * -2.7777777777777777 / 200.0, 1e-12);
}

// ---------------------------------------------------------------- texts of the schematic

TEST_F(NetA, DriverAnnotationAndTitle) {
    general.setTitle("Box A");
    TNetA net(general, 1, true);
    EXPECT_EQ(net.TitleLine(), "Box A  Net 2");
    net.dX[0] = 0.012;
    net.dZ[0] = -0.0305;
    net.activeGain = 2.0;
    std::vector<std::string> d1 = net.DriverAnnotation(0);
    EXPECT_EQ(d1, (std::vector<std::string>{"Driver unit 1 (D21)", "SPL data file :", "Not in use",
                                             "Impedance data file :", "Not in use, 8.00 ohm load simulated",
                                             "Position (x,y,z)", "12.0,0.0,-30.5", "Rel amp. gain", "6.0"}));
    std::vector<std::string> d2 = net.DriverAnnotation(1);
    EXPECT_EQ(d2[2], "Same as driver 1");
    EXPECT_EQ(d2[4], "Same as driver 1");
    EXPECT_EQ(d2.size(), 7u);
    TNetA passive(general, 0, false);
    passive.SetSplScalingDb(0, -6.0);
    EXPECT_NEAR(passive.splScaling[0], 0.501187, 1e-6);
    EXPECT_NEAR(passive.SplScalingDb(0), -6.0, 1e-12);
    EXPECT_EQ(passive.DriverAnnotation(0)[4], "Not in use");
    passive.Branch(0).SetType(3);
    passive.Link(0).SetType(7);
    EXPECT_EQ(passive.ComponentListLines(),
              (std::vector<std::string>{"R1011\t1.00\tohm", "L1011\t1.000\tmH", "R1111\t1.00\tohm",
                                        "C1111\t1.000\tuF"}));
}

// ---------------------------------------------------------------- the file record

class NetARecord : public NetA, public ::testing::WithParamInterface<bool> {
protected:
    // A network with every field away from its default.
    void fill(TNetA& net) {
        for (int i = 0; i < 4; ++i) {
            const auto k = static_cast<std::size_t>(i);
            net.dX[k] = 0.01 * i + 0.001;
            net.dY[k] = -0.02 * i;
            net.dZ[k] = 0.003 * i;
            net.pistonRadius[k] = 0.02 + 0.01 * i;
            net.splScaling[k] = 1.0 + i;
            net.impedanceScaling[k] = 0.5 + i;
        }
        resistiveDriver(net, 0, 6.0);
        resistiveDriver(net, 2, 4.0, -3.0);
        net.Re = 5.5, net.Rex = 0.25, net.Le = 0.0007, net.recordDouble = 1.5;
        net.driverCount = 3, net.disconnected = 1, net.polarityInverted = 1;
        net.targetHpFc = 300, net.targetLpFc = 3000, net.targetHpOrder = 2, net.targetLpOrder = 4;
        net.recordSetting = 7, net.connection = 1;
        net.splSame = {0, 1, 0, 1};
        net.impedanceSame = {0, 0, 0, 1};
        net.activeGain = 1.7;
        for (int b = 0; b < 8; ++b) {
            net.Branch(b).SetType(1 + b % (net.isActive() ? 8 : 10));
            net.Branch(b).R1().SetValue(100.0 + b);
            net.Branch(b).L().SetValue(0.001 * (b + 1));
            net.Branch(b).C1().SetValue(1e-9 * (b + 2));
        }
        net.Branch(3).R1().optimise = 1;
        net.Link(1).SetType(10);
        net.Link(1).R2().SetValue(3.3);
    }
};

TEST_P(NetARecord, RoundTripsByteForByteAndRefusesEveryTruncation) {
    const bool active = GetParam();
    TNetA a(general, 3, active);
    fill(a);
    const std::vector<std::uint8_t> bytes = record(a);
    ASSERT_EQ(bytes.size(), a.RecordSize());
    EXPECT_EQ(bytes.size(), active ? 3012u : 2924u);

    TNetA b(general, 3, active);
    BinaryReader r(bytes);
    ASSERT_TRUE(b.ReadRecord(r, &ui));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(record(b), bytes);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(b.Changed());
    EXPECT_EQ(b.Branch(3).R1().optimise, 1);
    EXPECT_EQ(b.Link(1).type(), 10);
    EXPECT_TRUE(b.SplData(2).Loaded());

    // Field order at the start: Re, Rex, Le, then the dX of the four drivers.
    BinaryReader head(bytes);
    double v = 0;
    ASSERT_TRUE(head.f64(v));
    EXPECT_EQ(v, 5.5);
    ASSERT_TRUE(head.skip(16) && head.f64(v));
    EXPECT_EQ(v, 0.001);

    TNetA fresh(general, 3, active);
    const std::vector<std::uint8_t> untouched = record(fresh);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        BinaryReader cut(std::span<const std::uint8_t>(bytes.data(), n));
        ASSERT_FALSE(fresh.ReadRecord(cut, &ui)) << n;
    }
    EXPECT_EQ(record(fresh), untouched);
}

TEST_P(NetARecord, RefusesValuesNeverWrittenAndFallsBackOnDriver1) {
    const bool active = GetParam();
    TNetA a(general, 0, active);
    fill(a);
    const std::vector<std::uint8_t> good = record(a);
    const std::size_t countAt = 28 * 8, connectionAt = countAt + 2 + 2 + 8 + 4;
    const std::size_t namesAt = connectionAt + 4 + 8 + (active ? 8 : 0);
    const std::size_t firstBranchAt = namesAt + 8 * kPathBlock;
    auto refused = [&](std::size_t at, std::vector<std::uint8_t> patch) {
        std::vector<std::uint8_t> bad = good;
        std::copy(patch.begin(), patch.end(), bad.begin() + static_cast<std::ptrdiff_t>(at));
        TNetA net(general, 0, active);
        BinaryReader r(bad);
        return !net.ReadRecord(r, nullptr);
    };
    EXPECT_TRUE(refused(countAt, {0, 0}));
    EXPECT_TRUE(refused(countAt, {5, 0}));
    EXPECT_TRUE(refused(connectionAt, {3, 0, 0, 0}));
    EXPECT_TRUE(refused(firstBranchAt, {static_cast<std::uint8_t>(active ? 9 : 11), 0}));
    // A link is passive in every network.
    const std::size_t firstLinkAt = firstBranchAt + 8 * (active ? 52 : 42);
    EXPECT_TRUE(refused(firstLinkAt, {11, 0}));
    EXPECT_FALSE(refused(firstLinkAt, {10, 0}));
    EXPECT_TRUE(refused(0, {0, 0, 0, 0, 0, 0, 0xf8, 0x7f})); // Re NaN
    EXPECT_TRUE(refused(firstBranchAt + 4, {0, 0, 0, 0, 0, 0, 0xf0, 0x7f})); // R1 infinite

    // Garbage after a name's terminator comes out again as it went in.
    std::vector<std::uint8_t> tail = good;
    tail[namesAt + 200] = 0xAB;
    tail[namesAt + 270] = 0xCD;
    {
        TNetA net(general, 0, active);
        BinaryReader r(tail);
        ASSERT_TRUE(net.ReadRecord(r, &ui));
        EXPECT_EQ(record(net), tail);
    }

    // A driver whose file is gone falls back on driver 1 and says so.
    std::vector<std::uint8_t> gone = good;
    const std::string missing = dir.file("gone.frd");
    const std::size_t spl3At = namesAt + 4 * kPathBlock;
    std::fill(gone.begin() + static_cast<std::ptrdiff_t>(spl3At),
              gone.begin() + static_cast<std::ptrdiff_t>(spl3At + kPathBlock), 0);
    std::copy(missing.begin(), missing.end(), gone.begin() + static_cast<std::ptrdiff_t>(spl3At));
    TNetA net(general, 0, active);
    BinaryReader r(gone);
    ui.messages.clear();
    ASSERT_TRUE(net.ReadRecord(r, &ui));
    EXPECT_EQ(net.splSame[2], 1);
    EXPECT_EQ(net.SplData(2).FileName(), missing);
    EXPECT_FALSE(net.SplData(2).Loaded());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("Could not open file : "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, NetARecord, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Active" : "Passive"; });

// ---------------------------------------------------------------- real measurements

} // namespace
} // namespace harlox
