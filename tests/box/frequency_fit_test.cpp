#include "box/frequency_fit.h"

#include "box/abr_box.h"
#include "box/abr_object.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "box_test_support.h"

#include <cmath>
#include <memory>
#include <vector>

namespace harlox {
namespace {

using Fit = TFrequencyFit;

TEST(FrequencyFitTarget, AsymptotesBelowAndAboveTheCutoffs) {
    FrequencyGrid g;
    g.count = 4;
    g.f = {};
    const double f[] = {25, 50, 200, 400};
    for (int i = 0; i < 4; ++i)
        g.f[static_cast<std::size_t>(i)] = f[i];
    std::array<double, kMaxPoints> t{};

    Fit::buildTarget(g, Fit::shapeOf(0), 50, 0, t); // closed: 12 dB per octave
    EXPECT_NEAR(t[0], -12.0412, 1e-4);
    EXPECT_EQ(t[1], 0.0);
    EXPECT_EQ(t[3], 0.0);
    Fit::buildTarget(g, Fit::shapeOf(1), 50, 0, t); // vented: 24 dB per octave
    EXPECT_NEAR(t[0], -24.0824, 1e-4);
    Fit::buildTarget(g, Fit::shapeOf(5), 50, 200, t); // bandpass 1: 12 dB per octave both sides
    EXPECT_NEAR(t[0], -12.0412, 1e-4);
    EXPECT_NEAR(t[2], 0.0, 1e-12);
    EXPECT_NEAR(t[3], -12.0412, 1e-4);
    EXPECT_TRUE(Fit::shapeOf(6).bandpass());
    EXPECT_FALSE(Fit::shapeOf(4).bandpass());
}

TEST(FrequencyFitTarget, OptionsRoundTripThroughTheProjectsSettingsWithinRange) {
    FitSettings s;
    s.Reset();
    EXPECT_EQ(Fit::optionsFrom(s).upperCutoff, Fit::kDefaultUpperCutoff); // 0 in a new project

    Fit::Options o;
    o.lowerCutoff = 500; // clamped to 200
    o.upperCutoff = 5;   // clamped to 20
    o.optimizeBoxQ = o.fineStep = o.optimizeFrontBoxQ = true;
    o.showIntermediate = false;
    Fit::storeOptions(o, s);
    const Fit::Options back = Fit::optionsFrom(s);
    EXPECT_EQ(back.lowerCutoff, 200);
    EXPECT_EQ(back.upperCutoff, 20);
    EXPECT_TRUE(back.optimizeBoxQ && back.fineStep && back.optimizeFrontBoxQ);
    EXPECT_FALSE(back.showIntermediate);
}

class FrequencyFit : public test::BoxTest {
protected:
    // Whether the SPL window shows the target.
    static bool targetShown(TBoxEmbryo& p) {
        DiagramModel& w = p.splWindow();
        for (int i = 0; i < w.curveCount(); ++i)
            if (w.curve(i).label == "Target") return w.curve(i).y != nullptr;
        return false;
    }
};

// From a box twice the size the fit finds one within half a dB of the target, and Halt
// leaves a project calculated in full.
TEST_F(FrequencyFit, ConvergesFromABoxTwiceTooLargeAndHaltRecalculatesInFull) {
    struct Case {
        std::unique_ptr<TBoxEmbryo> project;
        int fc;
    };
    std::vector<Case> cases;
    cases.push_back({std::make_unique<TClosedBox>(ui), 100});
    cases.push_back({std::make_unique<TBassReflexBox>(ui), 45});
    for (Case& c : cases) {
        TBoxEmbryo& p = *c.project;
        p.front().SetDefaultUnit();
        ASSERT_TRUE(p.QuickBox());
        p.setBoxVolume(*p.boxElement(), 2.0 * p.boxElement()->Vb);
        p.Calculate(0);
        Fit fit(p, 7);
        Fit::Options o;
        o.lowerCutoff = c.fc;
        ASSERT_TRUE(fit.Start(o));
        EXPECT_TRUE(p.fastMode());
        EXPECT_TRUE(targetShown(p));
        EXPECT_EQ(p.fitSettings().lowerCutoff, c.fc);
        const double start = fit.meanError();
        EXPECT_GT(start, 2.0);
        int n = 0;
        while (n < 1000 && !(fit.meanError() < 0.5)) {
            fit.Iterate();
            ++n;
        }
        EXPECT_LT(fit.meanError(), 0.5) << "type " << p.typeCode() << " after " << n;
        EXPECT_EQ(fit.iterations(), n);

        fit.Halt();
        EXPECT_FALSE(fit.running());
        EXPECT_FALSE(p.fastMode());
        EXPECT_FALSE(targetShown(p));
        // The same box calculated from scratch gives the same curves.
        const std::array<double, kMaxPoints> spl = p.SPL;
        p.boxElement()->boxChanged = 1;
        p.markChanged();
        p.Calculate(0);
        for (int i = 0; i < p.pointCount(); ++i)
            ASSERT_EQ(spl[static_cast<std::size_t>(i)], p.SPL[static_cast<std::size_t>(i)]) << i;
        fit.Iterate(); // halted: nothing happens
        EXPECT_EQ(fit.iterations(), n);
    }
}

TEST_F(FrequencyFit, StartedOnTargetBarelyMovesAndWithoutADriverIsRefused) {
    TClosedBox p(ui);
    {
        Fit fit(p);
        EXPECT_FALSE(fit.Start(Fit::Options{}));
        EXPECT_FALSE(fit.running());
        EXPECT_FALSE(p.fastMode());
    }
    p.front().SetDefaultUnit();
    ASSERT_TRUE(p.QuickBox());
    Fit::Options o;
    o.lowerCutoff = 100;
    {
        Fit fit(p, 3);
        ASSERT_TRUE(fit.Start(o));
        for (int i = 0; i < 600; ++i)
            fit.Iterate();
        fit.Halt();
    }
    Fit fit(p, 11);
    ASSERT_TRUE(fit.Start(o));
    const double vb = p.box().Vb;
    for (int i = 0; i < 20; ++i) {
        const double before = p.box().Vb;
        fit.Iterate();
        EXPECT_LT(fit.stepFactor(), 1.005);
        EXPECT_LT(std::abs(p.box().Vb / before - 1.0), 0.005);
    }
    EXPECT_LT(std::abs(p.box().Vb / vb - 1.0), 0.03);
}

TEST_F(FrequencyFit, ParametersStayInTheirBounds) {
    // A target no box can meet drives the box and port to their limits.
    TBassReflexBox p(ui);
    p.front().SetDefaultUnit();
    ASSERT_TRUE(p.QuickBox());
    Fit fit(p, 5);
    Fit::Options o;
    o.lowerCutoff = 200;
    o.optimizeBoxQ = true;
    o.showIntermediate = true;
    int shown = 0;
    fit.setIntermediateHook([&] { ++shown; });
    ASSERT_TRUE(fit.Start(o));
    EXPECT_EQ(fit.parameterCount(), 3); // volume, box Q, port length
    ui.repaints = 0;
    for (int i = 0; i < 400; ++i) {
        fit.Iterate();
        ASSERT_GE(p.box().Vb, Fit::kMinVolume);
        ASSERT_LE(p.box().Vb, Fit::kMaxVolume);
        ASSERT_GE(p.port().L, Fit::kMinPortLength);
        ASSERT_LE(p.port().L, Fit::kMaxPortLength);
        ASSERT_GE(p.box().Qb, Fit::kMinQ);
        ASSERT_LE(p.box().Qb, Fit::kMaxQ);
        ASSERT_LE(fit.stepFactor(), Fit::kMaxStep);
    }
    // Drawn after the volume's and the port's trials only: the trial calculations draw nothing.
    EXPECT_EQ(shown, 400 * 2);
    EXPECT_EQ(ui.repaints, 400 * 2);
    fit.Halt();
    EXPECT_EQ(ui.repaints, 400 * 2 + 1);
    EXPECT_FALSE(ui.waitCursor);

    // Without intermediate results nothing is drawn until Halt.
    o.showIntermediate = false;
    ASSERT_TRUE(fit.Start(o));
    ui.repaints = 0;
    for (int i = 0; i < 10; ++i)
        fit.Iterate();
    EXPECT_EQ(shown, 400 * 2);
    EXPECT_EQ(ui.repaints, 0);
    fit.Halt();
}

// Every type fits its chambers, ports and radiator and gets closer to its target.
TEST_F(FrequencyFit, EveryTypeStepsItsParametersTowardTheTarget) {
    struct Case {
        std::unique_ptr<TBoxEmbryo> project;
        int parameters; // with both box Q options on
    };
    std::vector<Case> cases;
    cases.push_back({std::make_unique<TBassReflexDTBox>(ui), 6});
    cases.push_back({std::make_unique<TBassReflexDT2Box>(ui), 6});
    cases.push_back({std::make_unique<TAbrBox>(ui), 3});
    cases.push_back({std::make_unique<TBP5Box>(ui), 5});
    cases.push_back({std::make_unique<TBP6Box>(ui), 6});
    cases.push_back({std::make_unique<TBP7Box>(ui), 6});
    cases.push_back({std::make_unique<TBP8Box>(ui), 6});
    cases.push_back({std::make_unique<TBassReflexVelBox>(ui), 6});
    for (Case& c : cases) {
        TBoxEmbryo& p = *c.project;
        p.front().SetDefaultUnit();
        if (p.usesRearDriver()) p.rear().SetDefaultUnit();
        ASSERT_TRUE(p.QuickBox()) << p.typeCode();
        Fit fit(p, 9);
        Fit::Options o;
        o.lowerCutoff = 60;
        o.upperCutoff = 150;
        o.optimizeBoxQ = o.optimizeFrontBoxQ = true;
        ASSERT_TRUE(fit.Start(o));
        EXPECT_EQ(fit.parameterCount(), c.parameters) << p.typeCode();
        const double start = fit.meanError();
        const double mass = p.typeCode() == 4 ? static_cast<TAbrBox&>(p).abr().Mmp : 0.0;
        for (int i = 0; i < 150; ++i)
            fit.Iterate();
        EXPECT_LT(fit.meanError(), start) << p.typeCode();
        if (p.typeCode() == 4) {
            EXPECT_NE(static_cast<TAbrBox&>(p).abr().Mmp, mass);
        }
        fit.Halt();
        EXPECT_FALSE(p.fastMode());
    }
}

} // namespace
} // namespace harlox
