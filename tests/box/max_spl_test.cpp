#include "box/max_spl.h"

#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "box_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace harlox {
namespace {

using Limit = TMaxSpl::Limit;

class MaxSplTest : public test::BoxTest {
protected:
    // The built-in unit, 20 litres, linear: no suspension or coil non-linearity, so every
    // quantity is proportional to the voltage.
    template <typename Box> void design(Box& box, double xmax, double pmax) {
        TSpeakerObject& d = box.front();
        d.SetDefaultUnit();
        d.Xmax = xmax;
        d.Pmax = pmax;
        d.cmsNonlinear = 0;
        d.blNonlinear = 0;
        d.coilHeating = 0;
        box.setVb(0.02);
        box.Calculate(0);
    }
    static int pointNear(double f) {
        const FrequencyGrid& g = sharedSetup().grid;
        int best = 0;
        for (int i = 1; i < g.count; ++i) {
            if (std::abs(std::log(g.f[static_cast<std::size_t>(i)] / f)) <
                std::abs(std::log(g.f[static_cast<std::size_t>(best)] / f)))
                best = i;
        }
        return best;
    }
    // Recalculates at the voltage the maximum needs at point i.
    template <typename Box> void driveToMaximum(Box& box, int i) {
        sharedSetup().setUg(box.maxSpl().voltage[static_cast<std::size_t>(i)]);
        sharedSetup().setupChanged = 1;
        box.Calculate(0);
    }
};

// Far below the box resonance the cone is the limit: p = rho Sd w^2 Xmax / (sqrt 2 · 2 pi r)
// at 1 m whatever the box. Far above it the coil is: the mass-controlled cone driven by
// I = sqrt(Pmax / Re) gives p = rho Sd Bl I / (2 pi r Mms).
TEST_F(MaxSplTest, AClosedBoxIsExcursionLimitedBelowResonanceAndPowerLimitedAbove) {
    TClosedBox box(ui);
    const double xmax = 0.004, pmax = 40.0;
    design(box, xmax, pmax);
    const TSpeakerObject& d = box.front();
    const double fc = d.fs * std::sqrt(1.0 + d.Vas / 0.02);
    const TMaxSpl& m = box.maxSpl();
    EXPECT_TRUE(m.has(Limit::Excursion) && m.has(Limit::Thermal));
    EXPECT_FALSE(m.has(Limit::AirSpeed));

    const int low = pointNear(fc / 4.0);
    const auto l = static_cast<std::size_t>(low);
    const double w = 2.0 * kPi * sharedSetup().grid.f[l];
    const double pLow = kRho * d.Sd * w * w * xmax / (std::sqrt(2.0) * 2.0 * kPi);
    EXPECT_EQ(m.limitedBy[l], Limit::Excursion);
    EXPECT_NEAR(m.maxSpl[l], 20.0 * std::log10(pLow / 20e-6), 0.1);

    const int high = pointNear(fc * 10.0);
    const auto h = static_cast<std::size_t>(high);
    const double pHigh = kRho * d.Sd * d.Bl * std::sqrt(pmax / d.Re) / (2.0 * kPi * d.Mms);
    EXPECT_EQ(m.limitedBy[h], Limit::Thermal);
    EXPECT_NEAR(m.maxSpl[h], 20.0 * std::log10(pHigh / 20e-6), 1.0);
    // The envelope never rises above a limit present there.
    for (int i = 0; i < m.pointCount(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_LE(m.maxSpl[k], m.excursionLimited[k] + 1e-9) << i;
        ASSERT_LE(m.maxSpl[k], m.thermalLimited[k] + 1e-9) << i;
    }

    // Driven at the voltage the maximum asks for, the design reaches exactly its limit.
    const double expectedLow = m.maxSpl[l];
    driveToMaximum(box, low);
    EXPECT_NEAR(d.excursion[l], 2000.0 * xmax, 1e-6 * 2000.0 * xmax);
    EXPECT_NEAR(box.SPL[l], expectedLow, 1e-6);
}

TEST_F(MaxSplTest, ANarrowPortLimitsAroundTheTuningAndAMissingLimitDrawsNoCurve) {
    TBassReflexBox box(ui);
    (void)box.portElement()->setDiameter(0.02);
    (void)box.portElement()->setTuning(40.0);
    design(box, 0.011, 150.0);
    const TMaxSpl& m = box.maxSpl();
    ASSERT_TRUE(m.has(Limit::AirSpeed));
    int peak = 0;
    for (int i = 1; i < m.pointCount(); ++i) {
        if (box.airSpeed[static_cast<std::size_t>(i)] > box.airSpeed[static_cast<std::size_t>(peak)]) peak = i;
    }
    const auto k = static_cast<std::size_t>(peak);
    EXPECT_EQ(m.limitedBy[k], Limit::AirSpeed);
    const double limit = box.portElement()->airSpeedLimit();
    driveToMaximum(box, peak);
    EXPECT_NEAR(box.airSpeed[k], limit, 1e-6 * limit);

    // Without Xmax and Pmax only the port is left; the legend follows.
    design(box, 0.0, 0.0);
    EXPECT_FALSE(box.maxSpl().has(Limit::Excursion) || box.maxSpl().has(Limit::Thermal));
    ASSERT_EQ(box.maxSpl().window().curveCount(), 2);
    EXPECT_EQ(box.maxSpl().window().curve(0).label, "Port air speed limit");
    EXPECT_EQ(box.maxSpl().window().curve(1).label, "Maximum SPL");
}

} // namespace
} // namespace harlox
