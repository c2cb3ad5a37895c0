#include "filter/net_optimiser.h"

#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/net_wizards.h"
#include "filter/xover.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

using namespace harlox;
using harlox::test::ScriptedUiHost;
using harlox::test::TempDir;

namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

TEST(OptimiserTarget, LevelsAtTheCutOff) {
    struct Row {
        OptimiserTarget t;
        double f, dB;
    };
    const Row rows[] = {
        {{0, 20000, 0, 0, 2, 0}, 1000.0, 0.0},                        // no filter: flat
        {{4, 1000, OptimiserTarget::Linkwitz, 0, 2, 0}, 1000.0, -6.0206}, // LR4 at Fc
        {{2, 1000, OptimiserTarget::Butterworth, 0, 2, 0}, 1000.0, -3.0103},
        {{0, 1000, 0, 2, 1000, OptimiserTarget::Butterworth}, 1000.0, -3.0103},
        {{0, 1000, 0, 2, 1000, OptimiserTarget::Linkwitz}, 1000.0, -6.0206},
        {{0, 1000, 0, 2, 1000, OptimiserTarget::Butterworth}, 100.0, -40.0004}, // 12 dB/oct below
        {{1, 1000, 0, 1, 1000, 0}, 1000.0, -6.0206},                   // both parts add
    };
    for (const Row& r : rows)
        EXPECT_NEAR(r.t.Level(r.f), r.dB, 1e-3) << r.t.lpOrder << " " << r.t.hpOrder << " " << r.f;
}

TEST(OptimiserStep, FactorIsAboutOnePlusSOverAThousandWithJitter) {
    EXPECT_DOUBLE_EQ(TNetOptimiser::StepFactor(50, 50), 1.05);
    EXPECT_DOUBLE_EQ(TNetOptimiser::StepFactor(50, 0), 1.0 + 0.05 * 0.95);
    EXPECT_DOUBLE_EQ(TNetOptimiser::StepFactor(50, 199), 1.0 + 0.05 * 1.049);
    EXPECT_DOUBLE_EQ(TNetOptimiser::StepFactor(0, 7), 1.0);
}

// A passive net on a flat 8 ohm, 90 dB driver: 8 ohm in series and a shunt C make
// H = 1 / (2 + j w 8 C), a first-order low-pass at 1 / (2 pi 4 C).
struct FlatNet : ::testing::Test {
    TempDir dir;
    ScriptedUiHost ui;
    TGeneral general;
    TXover x{general, 3, ui};
    TNetA& net = *x.AdvancedNet(0);
    TCompA& C = net.Branch(1).C();

    void SetUp() override {
        const std::string frd = dir.file("flat.frd"), zma = dir.file("flat.zma");
        {
            std::ofstream s(frd), z(zma);
            for (int k = 0; k <= 400; ++k) {
                const double f = std::pow(10.0, 0.5 + 4.0 * k / 400.0);
                s << f << "\t90\t0\n";
                z << f << "\t8\t0\n";
            }
        }
        net.SplData(0).SetFileName(frd);
        net.ImpedanceData(0).SetFileName(zma);
        ASSERT_TRUE(net.SplData(0).ReadCurve(nullptr));
        ASSERT_TRUE(net.ImpedanceData(0).ReadCurve(nullptr));
        net.Branch(0).SetType(1);
        net.Branch(0).R1().SetValue(8.0);
        net.Branch(1).SetType(2);
        // The target needs 20 uF.
        net.targetLpOrder = 1;
        net.targetLpFc = static_cast<std::int16_t>(std::lround(1.0 / (2.0 * std::numbers::pi * 4.0 * 20e-6)));
        ASSERT_TRUE(x.Calculate());
    }
};

TEST_F(FlatNet, ConvergesOnTheAnalyticValueAndStopLeavesAConsistentProject) {
    C.SetValue(12e-6);
    C.optimise = 1;
    TNetOptimiser opt(net, &x, 7);
    opt.Refresh();
    const double before = *opt.Error();
    int inRange = 0;
    for (int k = 0; k < 500; ++k)
        inRange += general.frequency()[k] >= 20.0 && general.frequency()[k] <= 20000.0;
    EXPECT_EQ(opt.CountedPoints(), inRange); // the whole response is within 50 dB
    opt.Start();
    for (int i = 0; i < 30; ++i)
        opt.Pass();
    EXPECT_LT(*opt.Error(), before / 5);
    EXPECT_NEAR(C.Value(), 20e-6, 0.06 * 20e-6);
    opt.Stop();
    EXPECT_FALSE(net.OptimiserRunning());
    EXPECT_TRUE(x.IsChanged());
    // What Stop left equals a fresh calculation of the same values, phase included.
    const std::vector<double> level(net.AngleSplLevel()[0].data(), net.AngleSplLevel()[0].data() + 500);
    const std::vector<double> phase(net.SplPhase().data(), net.SplPhase().data() + 500);
    net.MarkChanged();
    ASSERT_TRUE(x.Calculate());
    for (int k = 0; k < 500; k += 7) {
        EXPECT_DOUBLE_EQ(net.AngleSplLevel()[0][k], level[static_cast<std::size_t>(k)]);
        EXPECT_DOUBLE_EQ(net.SplPhase()[k], phase[static_cast<std::size_t>(k)]);
    }
}

TEST_F(FlatNet, StepsStopAtTheComponentLimits) {
    // The optimum lies beyond each limit: the values wait there instead of leaving.
    for (const auto& [start, lo, hi] : {std::tuple{10e-6, 1e-9, 10e-6}, std::tuple{30e-6, 30e-6, 1.0}}) {
        C.minimum = lo;
        C.maximum = hi;
        C.SetValue(start);
        C.optimise = 1;
        TNetOptimiser opt(net, &x);
        opt.Start();
        for (int i = 0; i < 8; ++i) {
            opt.Pass();
            ASSERT_GE(C.Value(), lo);
            ASSERT_LE(C.Value(), hi);
        }
        EXPECT_DOUBLE_EQ(C.Value(), start);
        opt.Stop();
    }
}

TEST_F(FlatNet, NothingToCompareOrNothingListedMovesNothing) {
    C.SetValue(12e-6);
    TNetOptimiser opt(net, &x);
    opt.Start();
    opt.Pass(); // empty list: a plain recalculation
    EXPECT_DOUBLE_EQ(C.Value(), 12e-6);
    EXPECT_TRUE(opt.Error().has_value());
    C.optimise = 1;
    net.rangeLower = 20000; // no grid point between 20000 and 19999 Hz
    net.rangeUpper = 19999;
    opt.Pass();
    EXPECT_FALSE(opt.Error().has_value());
    EXPECT_EQ(opt.CountedPoints(), 0);
    EXPECT_DOUBLE_EQ(C.Value(), 12e-6);
    EXPECT_EQ(opt.Passes(), 1);
}

TEST_F(FlatNet, ListAddRemoveAndOrder) {
    net.Branch(3).SetType(5); // R1, L, C
    std::vector<TCompA*> all = OptimisableComponents(net);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0], &net.Branch(0).R1());
    EXPECT_EQ(all[2], &net.Branch(3).R1());
    EXPECT_EQ(all[3], &net.Branch(3).C());
    EXPECT_EQ(all[4], &net.Branch(3).L());
    // Links count only where the connection uses them: one driver in series uses link 1.
    net.Link(0).SetType(1);
    net.Link(1).SetType(1);
    EXPECT_EQ(OptimisableComponents(net).back(), &net.Link(0).R1());
    net.Link(0).SetType(0);
    EXPECT_TRUE(AddToOptimisationList(net.Branch(3).L(), ui));
    EXPECT_TRUE(AddToOptimisationList(C, ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(AddToOptimisationList(C, ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, "Item already selected");
    EXPECT_FALSE(AddToOptimisationList(net.Branch(5).R1(), ui)); // not used
    EXPECT_EQ(OptimisationList(net), (std::vector<TCompA*>{&C, &net.Branch(3).L()}));
    EXPECT_TRUE(RemoveFromOptimisationList(C));
    EXPECT_FALSE(RemoveFromOptimisationList(C));
    // A new branch type takes its components off the list.
    net.Branch(3).SetType(3);
    EXPECT_TRUE(OptimisationList(net).empty());
}

// A passive two-way woofer net on measured curves, filled by the wizard, then optimised
// towards an LR4 acoustic low-pass at 2 kHz.
TEST(OptimiserRealProject, LowersTheErrorWithinTheRanges) {
    if (!std::filesystem::exists(kMeasured + "DCS255-4@0.frd")) GTEST_SKIP() << "no measured curves";
    ScriptedUiHost ui;
    TGeneral general;
    TXover x(general, 4, ui);
    for (int i = 0; i < 2; ++i) {
        TNetA& n = *x.AdvancedNet(i);
        const std::string name = i == 0 ? "DCS255-4" : "ND25FA-4";
        n.SplData(0).SetFileName(kMeasured + name + "@0.frd");
        n.ImpedanceData(0).SetFileName(kMeasured + name + ".zma");
        ASSERT_TRUE(n.SplData(0).ReadCurve(nullptr));
        ASSERT_TRUE(n.ImpedanceData(0).ReadCurve(nullptr));
    }
    TNetA& woofer = *x.AdvancedNet(0);
    woofer.wizardLpOrder = 2;
    woofer.wizardLpFc = 2000;
    woofer.wizardLoad = 4.0;
    ASSERT_TRUE(PassiveWizardCalc(woofer).ok);
    for (TCompA* c : OptimisableComponents(woofer))
        ASSERT_TRUE(AddToOptimisationList(*c, ui));
    woofer.targetLpOrder = 4;
    woofer.targetLpType = OptimiserTarget::Linkwitz;
    woofer.targetLpFc = 2000;
    woofer.rangeLower = 100;
    woofer.rangeUpper = 10000;
    ui.runPosted();
    TNetOptimiser opt(woofer, &x, 3);
    opt.Refresh();
    const double before = *opt.Error();
    opt.Start();
    for (int i = 0; i < 15; ++i) {
        opt.Pass();
        for (TCompA* c : OptimisationList(woofer)) {
            ASSERT_GE(c->Value(), c->minimum);
            ASSERT_LE(c->Value(), c->maximum);
        }
    }
    opt.Stop();
    EXPECT_LT(*opt.Error(), before);
    EXPECT_EQ(opt.Passes(), 15);
}

} // namespace
