#include "filter/net_wizards.h"

#include "filter/general.h"
#include "filter/net_a.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace harlox;

namespace {

constexpr double kW1000 = 2.0 * std::numbers::pi * 1000.0;

TEST(PassiveWizard, LowPassHighPassAndBothIntoEightOhm) {
    TGeneral general;
    TNetA net(general, 0, false);
    net.wizardLpOrder = 2;
    net.wizardLpFc = 1000;
    ASSERT_TRUE(PassiveWizardCalc(net).ok);
    EXPECT_EQ(net.Branch(0).type(), 3);
    EXPECT_DOUBLE_EQ(net.Branch(0).R1().Value(), 0.1);
    EXPECT_NEAR(net.Branch(0).L().Value(), 1.414 * 8 / kW1000, 1e-12); // 1.80 mH
    EXPECT_EQ(net.Branch(1).type(), 2);
    EXPECT_NEAR(net.Branch(1).C().Value(), 0.707 / (8 * kW1000), 1e-15); // 14.1 uF
    EXPECT_FALSE(net.Branch(0).R2().used);
    EXPECT_EQ(net.Branch(2).type(), 0);

    // Both sections of order 2, high-pass at 500 Hz, from "Branch 3".
    net.wizardHpOrder = 2;
    net.wizardInsertion = 1;
    ASSERT_TRUE(PassiveWizardCalc(net).ok);
    TBranchA& series = net.Branch(2);
    TBranchA& shunt = net.Branch(3);
    EXPECT_EQ(series.TypeText(), " R1 + L + C");
    EXPECT_EQ(shunt.TypeText(), " C // (L + R1)");
    const double w500 = 2.0 * std::numbers::pi * 500.0;
    EXPECT_NEAR(series.C().Value(), 1.0 / (w500 * 1.414 * 8), 1e-15);
    EXPECT_NEAR(shunt.L().Value(), 8 / (w500 * 0.707), 1e-12);
    EXPECT_NEAR(shunt.C().Value(), 0.707 / (8 * kW1000), 1e-15);
    EXPECT_TRUE(shunt.R1().used && shunt.L().used && shunt.C().used && !shunt.R2().used);
    EXPECT_TRUE(net.Changed() && shunt.changed && shunt.L().changed);

    // Unequal orders: the longer section alone beyond the shorter one.
    net.wizardLpOrder = 1;
    net.wizardHpOrder = 3;
    net.wizardInsertion = 0;
    ASSERT_TRUE(PassiveWizardCalc(net).ok);
    EXPECT_EQ(net.Branch(0).type(), 5);
    EXPECT_EQ(net.Branch(1).type(), 3); // high-pass shunt L only
    EXPECT_EQ(net.Branch(2).type(), 2); // high-pass series C
    EXPECT_NEAR(net.Branch(2).C().Value(), 1.0 / (w500 * 0.5 * 8), 1e-15);
}

TEST(PassiveWizard, RefusesWhatCannotBeWritten) {
    TGeneral general;
    TNetA net(general, 0, false);
    net.Branch(7).SetType(1);
    net.wizardLpOrder = 4;
    net.wizardInsertion = 3; // "Branch 7": two branches left for four positions
    const WizardResult r = PassiveWizardCalc(net);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.why, "The filter needs 4 branches from Branch 7,\nonly 2 are left");
    EXPECT_EQ(net.Branch(6).type(), 0);
    EXPECT_EQ(net.Branch(7).type(), 1);
    net.wizardLpOrder = 2; // fits exactly
    EXPECT_TRUE(PassiveWizardCalc(net).ok);
    EXPECT_EQ(net.Branch(7).type(), 2);
    net.wizardLoad = 0.0;
    EXPECT_FALSE(PassiveWizardCalc(net).ok);
    TNetA active(general, 0, true);
    EXPECT_FALSE(PassiveWizardCalc(active).ok);
    EXPECT_FALSE(ActiveWizardCalc(net).ok);
}

TEST(ActiveWizard, SectionsByOrderAndCutOff) {
    TGeneral general;
    TNetA net(general, 0, true);
    struct Row {
        bool lp;
        int order, fc, insertion;
        int type1, type2;
        double fixed; // R (low-pass) or C (high-pass)
        double q;     // of the first section, 0 for a first-order one
    };
    const Row rows[] = {
        {true, 2, 50, 0, 3, 0, 470000.0, 0.707}, {true, 2, 2000, 0, 3, 0, 10000.0, 0.707},
        {true, 1, 1000, 2, 1, 0, 10000.0, 0.0},  {true, 3, 1000, 6, 3, 1, 10000.0, 1.0},
        {true, 4, 80, 1, 3, 3, 470000.0, 0.541}, {false, 1, 1000, 0, 2, 0, 10e-9, 0.0},
        {false, 2, 50, 0, 4, 0, 470e-9, 0.707},  {false, 3, 1000, 3, 4, 2, 10e-9, 1.0},
        {false, 4, 1000, 0, 4, 4, 10e-9, 0.541}, {false, 0, 1000, 0, 0, 0, 0.0, 0.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.lp << " order " << r.order << " at " << r.fc);
        net.ResetBranches();
        net.activeWizardLp = r.lp ? 1 : 0;
        net.activeWizardOrder = r.order;
        net.activeWizardFc = static_cast<std::int16_t>(r.fc);
        net.wizardInsertion = static_cast<std::int16_t>(r.insertion);
        ASSERT_TRUE(ActiveWizardCalc(net).ok);
        TBranchA& b = net.Branch(r.insertion);
        EXPECT_EQ(b.type(), r.type1);
        if (r.order < 3) EXPECT_EQ(net.Branch(r.insertion + 1).type(), 0);
        else EXPECT_EQ(net.Branch(r.insertion + 1).type(), r.type2);
        if (r.order == 0) continue;
        const double w = 2.0 * std::numbers::pi * r.fc;
        const double R1 = b.R1().Value(), C1 = b.C1().Value();
        if (r.q == 0.0) {
            EXPECT_NEAR(R1 * C1 * w, 1.0, 1e-12); // Fc = 1 / (2 pi R1 C1)
            EXPECT_DOUBLE_EQ(r.lp ? R1 : C1, r.fixed);
            continue;
        }
        const double R2 = b.R2().Value(), C2 = b.C2().Value();
        EXPECT_DOUBLE_EQ(r.lp ? R2 : C2, r.fixed);
        EXPECT_DOUBLE_EQ(r.lp ? R1 : C1, r.fixed);
        // The section's own Fc and Q, as the network computes them.
        const double root = std::sqrt(R1 * R2 * C1 * C2);
        EXPECT_NEAR(1.0 / root / w, 1.0, 1e-3);
        EXPECT_NEAR(root / (r.lp ? (R1 + R2) * C2 : (C1 + C2) * R1), r.q, 1e-3);
    }
}

} // namespace
