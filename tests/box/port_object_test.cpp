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

constexpr double kRel = 1e-12;

void expectRel(double got, double want, double rel = kRel) {
    EXPECT_NEAR(got, want, rel * std::fabs(want));
}

// Fields of the record (little-endian, like the host).
template <class T> T at(const std::vector<std::uint8_t>& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}
template <class T> void put(std::vector<std::uint8_t>& b, std::size_t off, T v) {
    std::memcpy(&b[off], &v, sizeof v);
}

// Every field a refused edit or a failed read must leave alone.
auto portState(const TPortObject& p) {
    return std::tuple(p.L, p.S, p.Seff, p.D, p.Vbox, p.fp, p.flare, p.ports, p.portChanged);
}
void expectSamePort(const TPortObject& a, const TPortObject& b) {
    EXPECT_EQ(portState(a), portState(b));
}

// The non-linearity switch is process-wide: every test starts and ends with it off.
class PortTest : public ::testing::Test {
protected:
    void SetUp() override { TPortObject::setNonLinear(false); }
    void TearDown() override { TPortObject::setNonLinear(false); }
};

TEST_F(PortTest, DefaultPortInHundredLitres) {
    TPortObject p;
    EXPECT_EQ(p.name, "Port");
    expectRel(p.Seff, kPi * (0.025 - 0.0018) * (0.025 - 0.0018));
    const double mp = 1.18 * (0.1 + 0.6 * 0.05) / p.Seff;
    expectRel(p.fp, 1.0 / (2.0 * kPi * std::sqrt(mp * 0.1 / 142000.0)), 1e-10);
    EXPECT_NEAR(p.fp, 19.912, 0.001);
    EXPECT_EQ(p.maxDiameter(), p.D);
    EXPECT_EQ(p.flareRadius(), 0.0);
}

struct PortCase {
    double L, D;
    int ports;
    double flare;
};

class PortImpedance : public PortTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortImpedance, MatchesFormulas) {
    const PortCase c = GetParam();
    FrequencyGrid g;
    g.build(211, 3, 15000);
    TPortObject p;
    p.L = c.L;
    p.D = c.D;
    p.S = kPi * c.D * c.D / 4.0;
    p.ports = c.ports;
    p.flare = c.flare;
    p.computeSeff();
    p.Compute(g);

    const double r = c.D / 2.0 - 0.0018;
    const double seff = (1.0 + 0.576 * c.flare) * kPi * r * r;
    const double endCorrection = c.ports == 1 ? 0.6 : 1.7;
    const double mp = 1.18 * (c.L + endCorrection * c.D) / (seff * c.ports);
    const double k = (2.0 * c.L / c.D + 1.0) * 1.18 * std::sqrt(3.12e-05) / (seff * c.ports);
    expectRel(p.Seff, seff);
    expectRel(p.acousticMass(), mp);
    expectRel(p.lossCoefficient(), k);
    for (int i : {0, 1, 100, 209, 210}) {
        const auto j = static_cast<std::size_t>(i);
        expectRel(p.Zport[j].real(), k * std::sqrt(g.w[j]));
        expectRel(p.Zport[j].imag(), mp * g.w[j]);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PortImpedance,
                         ::testing::Values(PortCase{0.1, 0.05, 1, 0.0}, PortCase{0.1, 0.05, 2, 0.0},
                                           PortCase{0.3, 0.12, 4, 0.25}, PortCase{0.0, 0.01, 1, 0.0},
                                           PortCase{0.05, 0.2, 9, 0.9}));

TEST_F(PortTest, ComputesOnSharedGridOnlyWhenChanged) {
    const FrequencyGrid& g = TMeasureSetupObject::grid();
    TPortObject p;
    p.portChanged = 0;
    p.Compute();
    EXPECT_EQ(p.Zport[0], Complex(0.0, 0.0));
    p.portChanged = 1;
    p.Compute();
    TPortObject ref;
    ref.Compute(g);
    const auto last = static_cast<std::size_t>(g.count - 1);
    EXPECT_EQ(p.Zport[last], ref.Zport[last]);
    EXPECT_NE(p.Zport[last], Complex(0.0, 0.0));
    EXPECT_EQ(p.portChanged, 1);
}

TEST_F(PortTest, LengthFromTuningRoundTripsOrIsRefused) {
    for (int ports : {1, 2, 3}) {
        for (double fb : {20.0, 25.0, 30.5}) {
            SCOPED_TRACE(ports * 1000 + fb);
            TPortObject p;
            p.setVbox(0.1);
            p.setPorts(ports);
            p.portChanged = 0;
            ASSERT_TRUE(p.setTuning(fb));
            EXPECT_EQ(p.fp, fb);
            EXPECT_EQ(p.portChanged, 1);
            // Independently: the mass that resonates with the box compliance at fb.
            const double cb = 0.1 / 142000.0;
            const double mp = 1.0 / (std::pow(2.0 * kPi * fb, 2) * cb);
            const double ec = ports == 1 ? 0.6 : 1.7;
            expectRel(p.L, mp * p.Seff * ports / 1.18 - ec * p.D, 1e-10);
            p.updateTuning();
            expectRel(p.fp, fb, 1e-10);
        }
    }

    TPortObject p;
    p.portChanged = 0;
    const TPortObject before = p;
    EXPECT_LT(p.lengthForTuning(200.0), 0.0);
    EXPECT_FALSE(p.setTuning(200.0));
    expectSamePort(p, before);
    EXPECT_FALSE(p.setTuning(0.0)); // no finite length
    expectSamePort(p, before);
    EXPECT_STREQ(kTuningChangeRefusedMsg, "Port length < 0");
}

TEST_F(PortTest, AreaChangeKeepsTuningOrIsRefused) {
    TPortObject p;
    ASSERT_TRUE(p.setTuning(35.0));
    const double shortLength = p.L;
    const double s = 2.0 * p.S;
    ASSERT_TRUE(p.setArea(s));
    EXPECT_EQ(p.S, s);
    expectRel(p.D, 2.0 * std::sqrt(s / kPi));
    expectRel(p.Seff, TPortObject::effectiveArea(s, 0.0));
    EXPECT_GT(p.L, shortLength);
    p.updateTuning();
    expectRel(p.fp, 35.0, 1e-10);

    ASSERT_TRUE(p.setDiameter(0.04));
    EXPECT_EQ(p.D, 0.04);
    expectRel(p.S, kPi * 0.0004);
    p.updateTuning();
    expectRel(p.fp, 35.0, 1e-10);

    // A flared port: a later recomputation of the effective area (as after loading) must
    // find the same tuning.
    ASSERT_TRUE(p.setFlareRadius(0.2));
    ASSERT_TRUE(p.setTuning(30.0));
    ASSERT_TRUE(p.setArea(1.5 * p.S));
    p.computeSeff();
    p.updateTuning();
    expectRel(p.fp, 30.0, 1e-10);

    // Changes that would need a negative length.
    ASSERT_TRUE(p.setFlareRadius(0.0));
    ASSERT_TRUE(p.setTuning(30.0));
    p.portChanged = 0;
    const TPortObject before = p;
    EXPECT_FALSE(p.setArea(0.0005));
    expectSamePort(p, before);
    EXPECT_FALSE(p.setDiameter(0.02));
    expectSamePort(p, before);
    EXPECT_STREQ(kAreaChangeRefusedMsg, "Portlength < 0");
}

TEST_F(PortTest, FieldEditsMoveTheTuning) {
    TPortObject p;
    const double f0 = p.fp;
    p.setLength(0.2);
    EXPECT_LT(p.fp, f0);
    p.setPorts(2);
    const double mp = 1.18 * (0.2 + 1.7 * 0.05) / p.Seff / 2.0;
    expectRel(p.fp, 1.0 / (2.0 * kPi * std::sqrt(mp * 0.1 / 142000.0)), 1e-10);
    p.setVbox(0.4);
    expectRel(p.fp, 1.0 / (2.0 * kPi * std::sqrt(mp * 0.4 / 142000.0)), 1e-10);
    p.setPorts(0);
    EXPECT_EQ(p.ports, 1);
    p.setPorts(12);
    EXPECT_EQ(p.ports, 9);
}

TEST_F(PortTest, FlareRadius) {
    TPortObject p;
    p.portChanged = 0;
    const TPortObject before = p;
    EXPECT_FALSE(p.setFlareRadius(p.L / 2.0));
    EXPECT_FALSE(p.setFlareRadius(0.01));
    EXPECT_FALSE(p.setFlareRadius(-0.3));
    EXPECT_FALSE(p.setFlareRadius(std::numeric_limits<double>::quiet_NaN()));
    expectSamePort(p, before);
    EXPECT_STREQ(kFlareRadiusRefusedMsg, "Flare radius must be greater than half the port length");

    ASSERT_TRUE(p.setFlareRadius(0.1));
    EXPECT_EQ(p.flare, 0.5);
    EXPECT_EQ(p.portChanged, 1);
    expectRel(p.flareRadius(), 0.1);
    expectRel(p.Seff, 1.288 * before.Seff);
    EXPECT_GT(p.fp, before.fp); // the wider effective area lightens the air mass
    // Both ends rise by the sagitta of the flare arc over half the length.
    expectRel(p.maxDiameter(), 0.05 + 2.0 * (0.1 - std::sqrt(0.01 - 0.0025)));

    ASSERT_TRUE(p.setFlareRadius(0.0));
    EXPECT_EQ(p.flare, 0.0);
    EXPECT_EQ(p.maxDiameter(), p.D);
    EXPECT_EQ(p.Seff, before.Seff);
}

TEST_F(PortTest, AirSpeedIsLimitedAboveVlimOnlyWhenOn) {
    EXPECT_DOUBLE_EQ(TPortObject::airSpeedLimit(0.0), 20.3);
    EXPECT_DOUBLE_EQ(TPortObject::airSpeedLimit(0.2), 20.3);
    EXPECT_DOUBLE_EQ(TPortObject::airSpeedLimit(0.5), 22.8);
    TPortObject p;
    p.ports = 2;
    expectRel(p.airSpeed(Complex(3.0e-3, -4.0e-3)), 5.0e-3 / (p.S * 2.0));
    p.ports = 1;

    double off = 500.0;
    Complex offU(1.0, 2.0);
    EXPECT_EQ(p.applyNonLinearity(off, offU), 1.0);
    EXPECT_EQ(off, 500.0);
    EXPECT_EQ(offU, Complex(1.0, 2.0));

    TPortObject::setNonLinear(true);
    for (double speed : {0.0, 5.0, 20.2, 20.3}) {
        double v = speed;
        Complex u(0.25, -0.5);
        EXPECT_EQ(p.applyNonLinearity(v, u), 1.0);
        EXPECT_EQ(v, speed);
        EXPECT_EQ(u, Complex(0.25, -0.5));
    }
    double v = 81.2; // four times the limit
    Complex u(0.25, -0.5);
    expectRel(p.applyNonLinearity(v, u), 0.5);
    expectRel(v, 40.6);
    expectRel(u.real(), 0.125);
    expectRel(u.imag(), -0.25);

    ASSERT_TRUE(p.setFlareRadius(0.1)); // flare 0.5: limit 22.8 m/s
    v = 22.8;
    EXPECT_EQ(p.applyNonLinearity(v, u), 1.0);
    v = 45.6;
    p.applyNonLinearity(v, u);
    expectRel(v, std::sqrt(22.8 * 45.6));

    // The limit other box types use with a fixed speed.
    v = 30.6;
    Complex w(1.0, 0.0);
    expectRel(TPortObject::limitAirSpeed(15.3, v, w), std::sqrt(0.5));
    expectRel(v, 30.6 * std::sqrt(0.5));
    expectRel(w.real(), std::sqrt(0.5));
}

TEST_F(PortTest, DataSheet) {
    TPortObject p("Port 1");
    EXPECT_EQ(
        p.dataSheetLines(),
        (std::vector<std::string>{"Port 1", " Length\t\t10.00 cm", " Area\t\t19.63 sq.cm", " Dia\t\t5.00 cm",
                                  " Flange radius\tinf.", " # ports\t1", " Res freq.\t19.91 Hz"}));

    p.D = 0.07;
    p.S = kPi * 0.07 * 0.07 / 4.0;
    p.computeSeff();
    p.setVbox(0.05);
    p.setPorts(2);
    p.setLength(0.12);
    ASSERT_TRUE(p.setFlareRadius(0.1));
    TPortObject::setNonLinear(true);
    EXPECT_EQ(
        p.dataSheetLines(),
        (std::vector<std::string>{"Port 1", " Length\t\t12.00 cm", " Area\t\t38.48 sq.cm", " Dia\t\t7.00 cm",
                                  " Flange radius\t10.00 cm", " Max dia\t\t11.00 cm", " # ports\t2",
                                  " Simulation of port non linearity ON", " Res freq.\t48.76 Hz"}));
}

TPortObject samplePort() {
    TPortObject p("Port 2");
    p.L = 0.173;
    p.S = 0.0031;
    p.D = 0.0628;
    p.Vbox = 0.0425;
    p.ports = 3;
    p.fp = 41.25;
    p.flare = 0.35;
    p.computeSeff();
    return p;
}

TEST_F(PortTest, RecordLayoutAndRoundTrip) {
    TPortObject::setNonLinear(true);
    const TPortObject src = samplePort();
    BinaryWriter w;
    EXPECT_TRUE(src.writeRecord(w));
    const std::vector<std::uint8_t>& b = w.buffer();
    ASSERT_EQ(b.size(), TPortObject::kRecordSize);
    EXPECT_EQ(at<double>(b, 0), 0.173);
    EXPECT_EQ(at<double>(b, 8), 0.0031);
    EXPECT_EQ(at<double>(b, 16), 0.0628);
    EXPECT_EQ(at<double>(b, 24), 0.0425);
    EXPECT_EQ(at<std::int32_t>(b, 32), 3);
    EXPECT_EQ(at<double>(b, 36), 41.25);
    EXPECT_EQ(b[44], 1);
    EXPECT_EQ(at<double>(b, 45), 0.35);

    TPortObject::setNonLinear(false);
    BinaryWriter w2;
    EXPECT_TRUE(src.writeRecord(w2));
    EXPECT_EQ(w2.buffer()[44], 0);

    TPortObject p("Port 1");
    p.portChanged = 0;
    BinaryReader r(b);
    ASSERT_TRUE(p.readRecord(r, 400));
    EXPECT_TRUE(r.atEnd());
    EXPECT_TRUE(TPortObject::nonLinear());
    EXPECT_EQ(p.name, "Port 1");
    EXPECT_EQ(p.L, src.L);
    EXPECT_EQ(p.S, src.S);
    EXPECT_EQ(p.D, src.D);
    EXPECT_EQ(p.Vbox, src.Vbox);
    EXPECT_EQ(p.ports, src.ports);
    EXPECT_EQ(p.fp, src.fp);
    EXPECT_EQ(p.flare, src.flare);
    EXPECT_EQ(p.Seff, TPortObject::effectiveArea(src.S, src.flare));
    EXPECT_EQ(p.portChanged, 1);
}

TEST_F(PortTest, OldRecordHasNoFlare) {
    const TPortObject src = samplePort();
    BinaryWriter w;
    ASSERT_TRUE(src.writeRecord(w));
    const std::vector<std::uint8_t> old(w.buffer().begin(), w.buffer().begin() + TPortObject::kOldRecordSize);
    for (int version : {300, 310, 399}) {
        TPortObject p;
        ASSERT_TRUE(p.setFlareRadius(0.2));
        BinaryReader r(old);
        ASSERT_TRUE(p.readRecord(r, version));
        EXPECT_TRUE(r.atEnd());
        EXPECT_EQ(p.flare, 0.0);
        EXPECT_EQ(p.L, src.L);
        EXPECT_EQ(p.fp, src.fp);
        EXPECT_EQ(p.Seff, TPortObject::effectiveArea(src.S, 0.0));
    }
    // A version 400 reader stops at the next record's first byte only after the flare factor.
    BinaryReader r(w.buffer());
    TPortObject p;
    ASSERT_TRUE(p.readRecord(r, 399));
    EXPECT_EQ(r.position(), TPortObject::kOldRecordSize);
}

TEST_F(PortTest, TruncatedRecordChangesNothing) {
    TPortObject::setNonLinear(true);
    const TPortObject src = samplePort();
    BinaryWriter w;
    ASSERT_TRUE(src.writeRecord(w));
    TPortObject::setNonLinear(false);
    for (auto [version, full] :
         {std::pair{400, TPortObject::kRecordSize}, std::pair{399, TPortObject::kOldRecordSize}}) {
        for (std::size_t n = 0; n < full; ++n) {
            SCOPED_TRACE(version * 1000 + static_cast<int>(n));
            TPortObject p;
            p.portChanged = 0;
            const TPortObject before = p;
            BinaryReader r(std::span(w.buffer().data(), n));
            EXPECT_FALSE(p.readRecord(r, version));
            expectSamePort(p, before);
            EXPECT_FALSE(TPortObject::nonLinear());
        }
    }
}

TEST_F(PortTest, HostileRecordValuesAreTamedAndShortWritesFail) {
    const TPortObject src = samplePort();
    BinaryWriter w;
    ASSERT_TRUE(src.writeRecord(w));
    struct Case {
        std::int32_t ports;
        double flare;
        std::int32_t wantPorts;
        double wantFlare;
    };
    for (const Case c : {Case{0, 1.5, 1, 0.0}, Case{-7, -0.2, 1, 0.0}, Case{1000, 0.99, 9, 0.99},
                         Case{2, std::numeric_limits<double>::quiet_NaN(), 2, 0.0}}) {
        std::vector<std::uint8_t> b = w.buffer();
        put<std::int32_t>(b, 32, c.ports);
        put<double>(b, 45, c.flare);
        TPortObject p;
        BinaryReader r(b);
        ASSERT_TRUE(p.readRecord(r, 400));
        EXPECT_EQ(p.ports, c.wantPorts);
        EXPECT_EQ(p.flare, c.wantFlare);
        EXPECT_TRUE(std::isfinite(p.maxDiameter()));
    }
    for (std::size_t cap : {std::size_t{44}, std::size_t{52}}) {
        BinaryWriter shortWriter(cap);
        EXPECT_FALSE(src.writeRecord(shortWriter));
    }
}

} // namespace
