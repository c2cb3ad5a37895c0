#include "box/bandpass_box.h"

#include "box/box_object.h"
#include "box/port_object.h"
#include "box_test_support.h"
#include "core/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>

namespace harlox {
namespace {

using C = std::complex<double>;

class BandpassTest : public test::BoxTest {
protected:
    // A wide grid with the built-in unit, calculated.
    template <typename Box> std::unique_ptr<Box> make() {
        MeasureSetup& s = sharedSetup();
        s.pointCount = 400;
        s.startFrequency = 2;
        s.stopFrequency = 20000;
        s.setupChanged = 1;
        auto box = std::make_unique<Box>(ui);
        box->front().SetDefaultUnit();
        if (box->front().driverCount < 1) ADD_FAILURE();
        return box;
    }
    static double levelAt(const TBoxEmbryo& box, double f) {
        const FrequencyGrid& g = sharedSetup().grid;
        int i = 0;
        while (i < g.count - 1 && g.f[static_cast<std::size_t>(i)] < f)
            ++i;
        return box.SPL[static_cast<std::size_t>(i)];
    }
    // dB per octave between f and 2f.
    static double slope(const TBoxEmbryo& box, double f) { return levelAt(box, 2 * f) - levelAt(box, f); }
};

// Far from the passband the order of each type shows: type 1 is 4th order (12 dB/octave on
// both sides), types 2 to 4 are 6th order below (24) and fall 12 above.
TEST_F(BandpassTest, SlopesFarFromThePassband) {
    auto bp1 = make<TBP5Box>();
    ASSERT_TRUE(bp1->QuickBox());
    ui.runPosted();
    bp1->Calculate(0);
    EXPECT_NEAR(slope(*bp1, 3), 12.0, 1.0);
    EXPECT_NEAR(slope(*bp1, 4000), -12.0, 1.5);

    auto bp3 = make<TBP7Box>();
    ASSERT_TRUE(bp3->QuickBox());
    ui.runPosted();
    bp3->Calculate(0);
    EXPECT_NEAR(slope(*bp3, 3), 24.0, 1.5);
    EXPECT_NEAR(slope(*bp3, 4000), -12.0, 1.5);

    auto bp4 = make<TBP8Box>();
    ASSERT_TRUE(bp4->QuickBox());
    ui.runPosted();
    bp4->Calculate(0);
    EXPECT_NEAR(slope(*bp4, 3), 24.0, 1.5);

    auto bp2 = make<TBP6Box>();
    ASSERT_TRUE(bp2->QuickBox());
    ui.runPosted();
    bp2->Calculate(0);
    EXPECT_NEAR(slope(*bp2, 3), 24.0, 1.5);
    EXPECT_NEAR(slope(*bp2, 4000), -12.0, 1.5);
    EXPECT_TRUE(ui.messages.empty());
}

// Type 1 against the formulas: the front chamber's port alone radiates.
TEST_F(BandpassTest, TypeOneIsThePortOfTheFrontChamber) {
    auto bp = make<TBP5Box>();
    bp->setBoxVolume(bp->rearBox(), 0.02);
    bp->setBoxVolume(bp->frontBox(), 0.015);
    ASSERT_TRUE(bp->port().setTuning(60.0));
    bp->Calculate(0);
    const FrequencyGrid& g = sharedSetup().grid;
    const TSpeakerObject& d = bp->front();
    for (int i = 0; i < g.count; i += 37) {
        const auto k = static_cast<std::size_t>(i);
        const C zr = bp->rearBox().Zbox[k], zf = bp->frontBox().Zbox[k], zp = bp->port().Zport[k];
        const C zfp = 1.0 / (1.0 / zf + 1.0 / zp);
        const C za = static_cast<double>(d.driverCount) * (zr + zfp) + C(d.Zam[k]);
        EXPECT_LT(std::abs(C(bp->ZA[k]) - za), 1e-9 * std::abs(za)) << i;
        const C uport = C(d.U[k]) * zfp * static_cast<double>(d.driverCount) / zp;
        const C p = C(0, 58999.99999999999) * g.f[k] * uport;
        EXPECT_NEAR(bp->SPL[k], 20 * std::log10(std::abs(p)), 1e-9) << i;
    }
}

TEST_F(BandpassTest, QuickBoxVolumes) {
    auto bp3 = make<TBP7Box>();
    bp3->front().Vas = 0.030;
    bp3->front().UnitEdited();
    ASSERT_TRUE(bp3->QuickBox());
    EXPECT_NEAR(bp3->box2Element()->Vb * 1000, 10.71, 0.005);
    EXPECT_NEAR(bp3->boxElement()->Vb * 1000, 10.0, 1e-9);
    // Each port tuned with its own box, port 2 an octave above port 1, never shorter than 10 cm.
    EXPECT_NEAR(bp3->portElement()->fp, bp3->effectiveFs(), 1e-9);
    EXPECT_NEAR(bp3->port2Element()->fp, 2 * bp3->effectiveFs(), 1e-9);
    EXPECT_DOUBLE_EQ(bp3->port2Element()->Vbox, bp3->box2Element()->Vb);
    EXPECT_GE(bp3->portElement()->L, 0.1);

    auto bp4 = make<TBP8Box>();
    bp4->front().Vas = 0.030; // two drivers: VasEff 60 l
    bp4->front().UnitEdited();
    ASSERT_TRUE(bp4->QuickBox());
    EXPECT_NEAR(bp4->boxElement()->Vb * 1000, 10.0, 1e-9);
    EXPECT_NEAR(bp4->box2Element()->Vb * 1000, 21.43, 0.005);

    TBP5Box empty(ui); // no unit: nothing to size
    EXPECT_FALSE(empty.QuickBox());
}

// The reference of the -3 dB points is the last dip when there is one, else the peak; the
// standing waves only add level above the upper point.
TEST_F(BandpassTest, MinusThreeDbPointsAndStandingWaves) {
    auto bp = make<TBP7Box>();
    ASSERT_TRUE(bp->QuickBox());
    ui.runPosted();
    bp->Calculate(0);
    ASSERT_GT(bp->lowerF3(), 0.0);
    ASSERT_GT(bp->upperF3(), bp->lowerF3());
    const FrequencyGrid& g = sharedSetup().grid;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (g.f[k] < bp->upperF3()) {
            EXPECT_EQ(bp->splModes[k], bp->SPL[k]) << i;
        } else {
            EXPECT_GE(bp->splModes[k], bp->SPL[k]) << i;
        }
    }
    const auto lines = bp->dataSheetLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        strprintf("  -3dB points: \t%3.2f Hz   ,   %3.2f Hz", bp->lowerF3(), bp->upperF3())),
              lines.end());

    // A narrow grid inside the passband finds no upper point: no standing-wave curve.
    sharedSetup().startFrequency = 2;
    sharedSetup().stopFrequency = 40;
    sharedSetup().setupChanged = 1;
    bp->Calculate(0);
    EXPECT_EQ(bp->upperF3(), 0.0);
    for (int i = 0; i < sharedSetup().grid.count; ++i)
        EXPECT_EQ(bp->splModes[static_cast<std::size_t>(i)], bp->SPL[static_cast<std::size_t>(i)]);
}

TEST(PortSizing, DoublesTheAreaUntilTheLengthIsUsableAndGivesUpAfterTwoHundred) {
    test::resetSharedState();
    TPortObject port;
    port.setVbox(0.02);
    port.S = 0.0001;
    port.D = std::sqrt(4 * port.S / 3.14159265359);
    port.computeSeff();
    ASSERT_TRUE(port.sizeForTuning(40.0));
    EXPECT_GE(port.L, 0.1);
    EXPECT_GT(port.S, 0.0001);
    EXPECT_DOUBLE_EQ(port.fp, 40.0);
    // The doubling before the last was too short: the area is the smallest that reaches 10 cm.
    TPortObject smaller = port;
    smaller.S /= 2, smaller.D /= std::sqrt(2.0);
    smaller.computeSeff();
    EXPECT_LT(smaller.lengthForTuning(40.0), 0.1);

    // No area gives a finite length for 0 Hz: the loop stops and the port stays as it was.
    const TPortObject before = port;
    const double L = port.L;
    EXPECT_FALSE(port.sizeForTuning(0.0));
    EXPECT_EQ(port.L, L);
    EXPECT_EQ(port.S, before.S);
}

} // namespace
} // namespace harlox
