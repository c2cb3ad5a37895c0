#include "box/port_object.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <tuple>
#include <vector>

using namespace harlox;

namespace {

void expectRel(double got, double want, double rel = 1e-10) {
    EXPECT_NEAR(got, want, rel * std::fabs(want));
}

// Tuning of ports of length l, diameter d and effective area seff in a volume vb,
// independently of the model: the air mass with its end correction against the box
// compliance.
double tuning(double l, double d, double seff, int ports, double vb) {
    const double mp = 1.18 * (l + (ports == 1 ? 0.6 : 1.7) * d) / (seff * ports);
    return 1.0 / (2.0 * kPi * std::sqrt(mp * vb / 142000.0));
}

// Every field a refused edit or a failed read must leave alone.
auto portState(const TPortObject& p) {
    return std::tuple(p.L, p.S, p.Seff, p.D, p.Vbox, p.fp, p.flare, p.ports, p.portChanged);
}

// The non-linearity switch is process-wide: every test starts and ends with it off.
class PortTest : public ::testing::Test {
protected:
    void SetUp() override { TPortObject::setNonLinear(false); }
    void TearDown() override { TPortObject::setNonLinear(false); }
};

// The port's impedance and air speed are compared with an independent computation in the
// bass reflex tests.
TEST_F(PortTest, EditsKeepTheTuningInStepAndClampThePortCount) {
    TPortObject p;
    p.setLength(0.2);
    p.setPorts(2);
    p.setVbox(0.4);
    expectRel(p.fp, tuning(0.2, 0.05, p.Seff, 2, 0.4));
    p.setPorts(0);
    EXPECT_EQ(p.ports, 1);
    p.setPorts(12);
    EXPECT_EQ(p.ports, 9);

    ASSERT_TRUE(p.setTuning(30.5));
    EXPECT_EQ(p.fp, 30.5);
    expectRel(tuning(p.L, p.D, p.Seff, 9, 0.4), 30.5);

    // A tuning that would need a negative (or no finite) length changes nothing.
    p.portChanged = 0;
    const auto before = portState(p);
    EXPECT_FALSE(p.setTuning(200.0));
    EXPECT_FALSE(p.setTuning(0.0));
    EXPECT_EQ(portState(p), before);
    EXPECT_STREQ(kTuningChangeRefusedMsg, "Port length < 0");
}

TEST_F(PortTest, AreaChangeKeepsTheTuningOrIsRefused) {
    TPortObject p;
    ASSERT_TRUE(p.setTuning(35.0));
    ASSERT_TRUE(p.setArea(2.0 * p.S));
    expectRel(tuning(p.L, p.D, TPortObject::effectiveArea(p.S, 0.0), 1, 0.1), 35.0);
    ASSERT_TRUE(p.setDiameter(0.04));
    expectRel(p.S, kPi * 0.0004);
    expectRel(tuning(p.L, 0.04, TPortObject::effectiveArea(p.S, 0.0), 1, 0.1), 35.0);

    // A flared port keeps its flare in the effective area, so a later recomputation (as
    // after loading) finds the same tuning.
    ASSERT_TRUE(p.setFlareRadius(0.2));
    ASSERT_TRUE(p.setTuning(30.0));
    ASSERT_TRUE(p.setArea(1.5 * p.S));
    p.computeSeff();
    p.updateTuning();
    expectRel(p.fp, 30.0);

    ASSERT_TRUE(p.setFlareRadius(0.0));
    ASSERT_TRUE(p.setTuning(30.0));
    p.portChanged = 0;
    const auto before = portState(p);
    EXPECT_FALSE(p.setArea(0.0005));
    EXPECT_FALSE(p.setDiameter(0.02));
    EXPECT_EQ(portState(p), before);
    EXPECT_STREQ(kAreaChangeRefusedMsg, "Portlength < 0");
}

TEST_F(PortTest, FlareRadius) {
    TPortObject p;
    p.portChanged = 0;
    const TPortObject straight = p;
    for (double radius : {0.05, -0.3, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(p.setFlareRadius(radius)) << radius;
    EXPECT_EQ(portState(p), portState(straight));
    EXPECT_STREQ(kFlareRadiusRefusedMsg, "Flare radius must be greater than half the port length");

    ASSERT_TRUE(p.setFlareRadius(0.1));
    expectRel(p.Seff, 1.288 * straight.Seff);
    expectRel(p.fp, tuning(0.1, 0.05, p.Seff, 1, 0.1));
}

TEST_F(PortTest, AirSpeedAboveTheLimitIsCutOnlyWhenSwitchedOn) {
    TPortObject p;
    double v = 81.2; // four times the limit
    Complex u(0.25, -0.5);
    EXPECT_EQ(p.applyNonLinearity(v, u), 1.0); // switched off
    TPortObject::setNonLinear(true);
    expectRel(p.applyNonLinearity(v, u), 0.5);
    expectRel(v, 40.6);
    expectRel(u.imag(), -0.25);
    v = 20.3; // at the limit: untouched
    EXPECT_EQ(p.applyNonLinearity(v, u), 1.0);
}

// Both ends of a flared port rise by the sagitta of the flare arc over half the length.
TEST_F(PortTest, DataSheetOfAFlaredPort) {
    TPortObject p("Port 1");
    p.setPorts(2);
    ASSERT_TRUE(p.setFlareRadius(0.1));
    EXPECT_EQ(p.dataSheetLines(),
              (std::vector<std::string>{"Port 1", " Length\t\t10.00 cm", " Area\t\t19.63 sq.cm",
                                        " Dia\t\t5.00 cm", " Flange radius\t10.00 cm", " Max dia\t\t7.68 cm",
                                        " # ports\t2", " Res freq.\t26.79 Hz"}));
}

TEST_F(PortTest, RecordRoundTripShortInputAndHostileValues) {
    TPortObject src("Port 2");
    src.setPorts(3);
    src.setVbox(0.0425);
    ASSERT_TRUE(src.setFlareRadius(0.2));
    TPortObject::setNonLinear(true);
    BinaryWriter w;
    ASSERT_TRUE(src.writeRecord(w));
    BinaryWriter want;
    for (double v : {src.L, src.S, src.D, 0.0425})
        want.f64(v);
    want.i32(3);
    want.f64(src.fp);
    want.u8(1);
    want.f64(0.25);
    ASSERT_EQ(w.buffer(), want.buffer());
    TPortObject::setNonLinear(false);

    // Short input: nothing changes, the shared switch included.
    TPortObject p("Port 1");
    p.portChanged = 0;
    const auto before = portState(p);
    for (std::size_t n = 0; n < w.buffer().size(); ++n) {
        BinaryReader r(std::span(w.buffer().data(), n));
        ASSERT_FALSE(p.readRecord(r, 400)) << n;
        ASSERT_EQ(portState(p), before) << n;
        ASSERT_FALSE(TPortObject::nonLinear());
    }
    BinaryReader r(w.buffer());
    ASSERT_TRUE(p.readRecord(r, 400));
    EXPECT_TRUE(TPortObject::nonLinear());
    EXPECT_EQ(p.name, "Port 1");
    EXPECT_EQ(portState(p), portState(src));

    // Hostile counts and flare factors are brought into range; unusable sizes are refused
    // rather than turned into NaN tunings, while a zero length is a port.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [ports, flare, wantPorts, wantFlare] :
         {std::tuple{0, 1.5, 1, 0.0}, std::tuple{1000, 0.99, 9, 0.99}, std::tuple{-7, nan, 1, 0.0}}) {
        std::vector<std::uint8_t> b = w.buffer();
        std::memcpy(&b[32], &ports, 4);
        std::memcpy(&b[45], &flare, 8);
        BinaryReader hostile(b);
        ASSERT_TRUE(p.readRecord(hostile, 400));
        EXPECT_EQ(std::tuple(p.ports, p.flare), std::tuple(wantPorts, wantFlare));
    }
    for (const auto& [at, bad, refused] :
         {std::tuple{0, -0.01, true}, std::tuple{0, 0.0, false}, std::tuple{8, 0.0, true},
          std::tuple{16, nan, true}, std::tuple{24, -1.0, true}}) {
        std::vector<std::uint8_t> b = w.buffer();
        std::memcpy(&b[static_cast<std::size_t>(at)], &bad, 8);
        BinaryReader r2(b);
        EXPECT_EQ(p.readRecord(r2, 400), !refused) << at;
        EXPECT_TRUE(std::isfinite(p.fp));
    }
}

// The quick boxes' sizing: double the area (D by sqrt 2) while the length would be negative,
// then while it is below 10 cm; the effective area follows every doubling.
TEST_F(PortTest, SizeForTuningDoublesTheAreaUntilTheLengthIsUsable) {
    TPortObject p;
    p.setVbox(0.02);
    p.S = 0.0001;
    p.D = std::sqrt(4 * p.S / kPi);
    p.computeSeff();
    ASSERT_TRUE(p.sizeForTuning(40.0));
    EXPECT_EQ(p.fp, 40.0);
    expectRel(tuning(p.L, p.D, TPortObject::effectiveArea(p.S, 0.0), 1, 0.02), 40.0);
    EXPECT_GE(p.L, 0.1);
    const double doublings = std::log2(p.S / 0.0001);
    EXPECT_NEAR(doublings, std::round(doublings), 1e-9);
    EXPECT_GE(doublings, 1.0);
    expectRel(p.D, std::sqrt(4 * p.S / kPi));
    // One doubling fewer would be too short: the smallest area that reaches 10 cm.
    TPortObject smaller = p;
    smaller.S /= 2, smaller.D /= std::sqrt(2.0);
    smaller.computeSeff();
    EXPECT_LT(smaller.lengthForTuning(40.0), 0.1);

    // A wide port already long enough keeps its area.
    TPortObject wide;
    wide.setVbox(0.05);
    const double area = wide.S;
    ASSERT_TRUE(wide.sizeForTuning(25.0));
    EXPECT_EQ(wide.S, area);

    // No area gives a finite length for 0 Hz: after 200 doublings the port is as it was.
    p.portChanged = 0;
    const auto before = portState(p);
    EXPECT_FALSE(p.sizeForTuning(0.0));
    EXPECT_EQ(portState(p), before);
}

} // namespace
