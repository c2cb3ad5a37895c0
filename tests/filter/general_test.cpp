#include "filter/general.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <span>
#include <tuple>
#include <vector>

using namespace harlox;

namespace {

using RayEdit = TGeneral::RayEdit;

std::vector<int> surfaceList(const TGeneral& g) {
    std::vector<int> v;
    for (int k = 0; k < g.surfaceCount(); ++k) v.push_back(g.surfaceAngle(k));
    return v;
}

std::vector<int> overlayList(const TGeneral& g) {
    std::vector<int> v;
    for (int k = 0; k < g.overlayCount(); ++k) v.push_back(g.overlayAngle(k));
    return v;
}

// A spectrum with a different value at every point, so a shifted index shows.
CVector testSpectrum() {
    CVector s(TGeneral::kPoints);
    for (int i = 0; i < TGeneral::kPoints; ++i) s[i] = Complex(1.0 + 0.01 * i, -0.5 + 0.002 * i);
    return s;
}

double db(Complex c) {
    return 20.0 * std::log10(std::abs(c));
}

TEST(General, GridIsLogarithmicFrom5HzTo20kHz) {
    TGeneral g;
    const FVector& f = g.frequency();
    ASSERT_EQ(f.length(), 500);
    EXPECT_DOUBLE_EQ(f[0], 5.0);
    EXPECT_NEAR(f[499], 20000.0, 1e-9);
    const double ratio = std::pow(4000.0, 1.0 / 499.0);
    EXPECT_NEAR(ratio, 1.01676, 1e-5);
    for (int i = 1; i < 500; ++i) ASSERT_NEAR(f[i] / f[i - 1], ratio, 1e-12) << i;
    for (int i = 0; i < 500; i += 37) {
        EXPECT_DOUBLE_EQ(g.lnFrequency()[i], std::log(f[i]));
        EXPECT_DOUBLE_EQ(g.jw()[i].imag(), 2.0 * std::numbers::pi * f[i]);
        EXPECT_EQ(TGeneral::gridFrequency(i), f[i]);
    }
}

TEST(General, ResetRestoresEveryDefaultAndTheTables) {
    TGeneral g;
    g.infinite = 0, g.distance = 3.0, g.lowerFrequency = 50, g.upperFrequency = 5000;
    g.disableIfft = g.flip = g.hideOnAxis = g.inhibit = 1;
    g.gdAuto = g.impedanceAuto = 0;
    g.splRange = 50, g.impedanceMax = 12, g.gdMin = -5, g.gdMax = 3;
    g.setTitle("Two-way");
    ASSERT_TRUE(g.setIfft(4096, 8000));
    g.inhibit = 0;
    ASSERT_EQ(g.addSurfaceRay(30), RayEdit::Changed);
    ASSERT_EQ(g.addOverlayRay(30), RayEdit::Changed);
    g.inhibit = 1;

    g.Reset();
    // Every field in the file is a new project's again; flip is the one outside it.
    BinaryWriter reset, fresh;
    ASSERT_TRUE(g.writeRecord(reset));
    ASSERT_TRUE(TGeneral().writeRecord(fresh));
    EXPECT_EQ(reset.buffer(), fresh.buffer());
    EXPECT_EQ(g.flip, 0);
    EXPECT_EQ(g.distance, 1.0);
    EXPECT_EQ(g.ifftLog2(), 9);
    EXPECT_EQ(g.mainRay(), 0);

    ASSERT_EQ(g.ifftFrequencies().size(), 256u);
    ASSERT_EQ(g.ifftTwiddles().size(), 256u);
    ASSERT_EQ(g.bitReversal().size(), 512u);
    EXPECT_DOUBLE_EQ(g.ifftFrequencies()[100], 44100.0 * 100 / 512);
    EXPECT_NEAR(std::arg(g.ifftTwiddles()[64]), std::numbers::pi / 4, 1e-11);
    EXPECT_NEAR(std::abs(g.ifftTwiddles()[200]), 1.0, 1e-12);
}

TEST(General, IfftTablesFollowTheSizeAndRefuseWhatTheyCannotHold) {
    TGeneral g;
    ASSERT_TRUE(g.setIfft(8192, 48000));
    EXPECT_EQ(g.ifftLog2(), 13);
    ASSERT_EQ(g.ifftTwiddles().size(), 4096u);
    ASSERT_EQ(g.bitReversal().size(), 8192u);
    EXPECT_DOUBLE_EQ(g.ifftFrequencies()[4095], 48000.0 * 4095 / 8192);
    // Bit reversal over 13 bits: its own inverse, and 1 goes to the top bit.
    const auto rev = g.bitReversal();
    EXPECT_EQ(rev[0], 0);
    EXPECT_EQ(rev[1], 4096);
    EXPECT_EQ(rev[6], 0b0110000000000);
    for (int i = 0; i < 8192; ++i) ASSERT_EQ(rev[static_cast<std::size_t>(rev[static_cast<std::size_t>(i)])], i);

    ASSERT_TRUE(g.setIfft(256, 8000));
    EXPECT_EQ(g.ifftLog2(), 8);
    EXPECT_EQ(g.bitReversal()[1], 128);
    for (auto [size, rate] : {std::pair{0, 44100}, {1000, 44100}, {16384, 44100}, {-512, 44100},
                              {512, 0}, {512, -1}}) {
        EXPECT_FALSE(g.setIfft(size, rate)) << size << " " << rate;
        EXPECT_EQ(g.ifftSize(), 256);
        EXPECT_EQ(g.sampleRate(), 8000);
    }
}

TEST(General, SurfaceListStaysDescendingAndKeepsTheOnAxisRay) {
    TGeneral g;
    ASSERT_EQ(g.addSurfaceRay(30), RayEdit::Changed);
    EXPECT_EQ(surfaceList(g), (std::vector<int>{30, 0}));
    EXPECT_EQ(g.mainRay(), 1);
    ASSERT_EQ(g.addSurfaceRay(-30), RayEdit::Changed);
    EXPECT_EQ(surfaceList(g), (std::vector<int>{30, 0, -30}));
    EXPECT_EQ(g.mainRay(), 1);
    ASSERT_EQ(g.addSurfaceRay(45), RayEdit::Changed);
    ASSERT_EQ(g.addSurfaceRay(-5), RayEdit::Changed);
    ASSERT_EQ(g.addSurfaceRay(12), RayEdit::Changed);
    EXPECT_EQ(surfaceList(g), (std::vector<int>{45, 30, 12, 0, -5, -30}));
    EXPECT_EQ(g.mainRay(), 3);
    EXPECT_EQ(g.rayCalcAngle(3), 0.0);
    EXPECT_EQ(g.surfaceIndexOf(-5), 4);
    EXPECT_EQ(g.surfaceIndexOf(7), -1);

    EXPECT_EQ(g.addSurfaceRay(12), RayEdit::AlreadySelected);
    EXPECT_STREQ(TGeneral::rayEditMessage(RayEdit::AlreadySelected, false), "Ray already selected");
    EXPECT_EQ(g.removeSurfaceRay(0), RayEdit::OnAxis);
    EXPECT_STREQ(TGeneral::rayEditMessage(RayEdit::OnAxis, false), "Can not remove on axis ray");
    EXPECT_EQ(g.removeSurfaceRay(7), RayEdit::NotListed);
    EXPECT_EQ(TGeneral::rayEditMessage(RayEdit::NotListed, false), nullptr);

    ASSERT_EQ(g.removeSurfaceRay(30), RayEdit::Changed);
    EXPECT_EQ(surfaceList(g), (std::vector<int>{45, 12, 0, -5, -30}));
    EXPECT_EQ(g.mainRay(), 2);

    // While only the main ray is calculated the lists take no new rays and keep the old ones.
    g.inhibit = 1;
    EXPECT_EQ(g.addSurfaceRay(20), RayEdit::Inhibited);
    EXPECT_EQ(g.removeSurfaceRay(45), RayEdit::Inhibited);
    EXPECT_EQ(g.addOverlayRay(45), RayEdit::Inhibited);
    EXPECT_EQ(TGeneral::rayEditMessage(RayEdit::Inhibited, false), nullptr);
    EXPECT_EQ(surfaceList(g), (std::vector<int>{45, 12, 0, -5, -30}));
    EXPECT_FALSE(g.rayCalculated(0));
    EXPECT_TRUE(g.rayCalculated(2));
    g.inhibit = 0;
    EXPECT_TRUE(g.rayCalculated(0));

    for (int a : {60, 50, 35, 25, 20, 15, 10, 7, 5, 2, 1, -1})
        ASSERT_EQ(g.addSurfaceRay(a), RayEdit::Changed) << a;
    ASSERT_EQ(g.surfaceCount(), 17);
    EXPECT_EQ(g.addSurfaceRay(-60), RayEdit::Full);
    // The full check comes before the duplicate check.
    EXPECT_EQ(g.addSurfaceRay(12), RayEdit::Full);
    EXPECT_STREQ(TGeneral::rayEditMessage(RayEdit::Full, false),
                 "Maximum number of surface plot rays selected");
    EXPECT_EQ(g.surfaceAngle(g.mainRay()), 0);
}

TEST(General, RemovingALastRayThatIsNotOnAxisIsRefusedToo) {
    // Only a file can give a list without the 0 degree ray; the main ray is then ray 0.
    TGeneral g;
    BinaryWriter w;
    ASSERT_TRUE(g.writeRecord(w));
    std::vector<std::uint8_t> b = w.buffer();
    b[11] = 10; // first surface angle, after u8 + f64 + i16 count
    BinaryReader r(b);
    ASSERT_TRUE(g.readRecord(r, 400));
    EXPECT_EQ(surfaceList(g), std::vector<int>{10});
    EXPECT_EQ(g.mainRay(), 0);
    EXPECT_EQ(g.rayCalcAngle(0), 0.0);
    EXPECT_EQ(g.removeSurfaceRay(10), RayEdit::OnAxis);
    EXPECT_EQ(surfaceList(g), std::vector<int>{10});
}

TEST(General, OverlayListKeepsTheOrderAddedAndFollowsSurfaceRemovals) {
    TGeneral g;
    for (int a : {30, -30, 15, -15, 10, -10, 5, -5, 2})
        ASSERT_EQ(g.addSurfaceRay(a), RayEdit::Changed);
    EXPECT_EQ(g.addOverlayRay(7), RayEdit::NotListed);
    EXPECT_EQ(g.addOverlayRay(0), RayEdit::AlreadySelected);
    for (int a : {-30, 15, 30})
        ASSERT_EQ(g.addOverlayRay(a), RayEdit::Changed);
    EXPECT_EQ(overlayList(g), (std::vector<int>{0, -30, 15, 30}));
    EXPECT_EQ(g.addOverlayRay(15), RayEdit::AlreadySelected);

    ASSERT_EQ(g.removeSurfaceRay(15), RayEdit::Changed);
    EXPECT_EQ(overlayList(g), (std::vector<int>{0, -30, 30}));
    ASSERT_EQ(g.removeSurfaceRay(5), RayEdit::Changed);
    EXPECT_EQ(overlayList(g), (std::vector<int>{0, -30, 30}));

    EXPECT_EQ(g.removeOverlayRay(0), RayEdit::OnAxis);
    ASSERT_EQ(g.removeOverlayRay(-30), RayEdit::Changed);
    EXPECT_EQ(overlayList(g), (std::vector<int>{0, 30}));
    EXPECT_EQ(g.removeOverlayRay(-30), RayEdit::NotListed);

    for (int a : {-15, 10, -10, -5, 2, -30})
        ASSERT_EQ(g.addOverlayRay(a), RayEdit::Changed) << a;
    ASSERT_EQ(g.overlayCount(), 8);
    // Here the duplicate check comes first.
    EXPECT_EQ(g.addOverlayRay(10), RayEdit::AlreadySelected);
    EXPECT_EQ(g.addOverlayRay(0), RayEdit::AlreadySelected);
    EXPECT_EQ(g.addOverlayRay(-10), RayEdit::AlreadySelected);
    ASSERT_EQ(g.addSurfaceRay(45), RayEdit::Changed);
    EXPECT_EQ(g.addOverlayRay(45), RayEdit::Full);
    EXPECT_STREQ(TGeneral::rayEditMessage(RayEdit::Full, true),
                 "Maximum number of overlay plot rays selected");
}

TEST(General, SetSurfaceRaysSortsDropsDuplicatesAndAddsTheOnAxisRay) {
    TGeneral g;
    ASSERT_EQ(g.addSurfaceRay(20), RayEdit::Changed);
    ASSERT_EQ(g.addSurfaceRay(-20), RayEdit::Changed);
    ASSERT_EQ(g.addOverlayRay(-20), RayEdit::Changed);
    ASSERT_EQ(g.addOverlayRay(20), RayEdit::Changed);

    const std::vector<int> rays{-10, 20, 5, 20, -45};
    ASSERT_TRUE(g.setSurfaceRays(rays));
    EXPECT_EQ(surfaceList(g), (std::vector<int>{20, 5, 0, -10, -45}));
    EXPECT_EQ(g.mainRay(), 2);
    EXPECT_EQ(overlayList(g), (std::vector<int>{0, 20}));

    const std::vector<int> onlyZero{0};
    ASSERT_TRUE(g.setSurfaceRays(onlyZero));
    EXPECT_EQ(surfaceList(g), std::vector<int>{0});
    EXPECT_EQ(overlayList(g), std::vector<int>{0});

    std::vector<int> seventeen;
    for (int a = -8; a <= 8; ++a) seventeen.push_back(a * 5);
    ASSERT_TRUE(g.setSurfaceRays(seventeen));
    EXPECT_EQ(g.surfaceCount(), 17);
    EXPECT_EQ(g.mainRay(), 8);

    // 17 rays without the 0 degree one make 18.
    std::vector<int> tooMany;
    for (int a = 1; a <= 17; ++a) tooMany.push_back(a);
    EXPECT_FALSE(g.setSurfaceRays(tooMany));
    const std::vector<int> outside{10, 181};
    EXPECT_FALSE(g.setSurfaceRays(outside));
    EXPECT_EQ(g.surfaceCount(), 17);
    EXPECT_EQ(g.surfaceAngle(0), 40);
}

TEST(General, PistonDirectivityFollowsTheRigidPiston) {
    const auto xFor = [](double x) { return x / (6.28318530718 * 0.002901073397156948); };
    // b = 0 is the on-axis case; below x = 0.1 the piston is omnidirectional.
    EXPECT_EQ(TGeneral::PistonDirectivity(20000.0, 0.0), 1.0);
    EXPECT_EQ(TGeneral::PistonDirectivity(xFor(0.0999), 1.0), 1.0);
    EXPECT_EQ(TGeneral::PistonDirectivity(xFor(10.0001), 1.0), 0.0001);
    EXPECT_EQ(TGeneral::PistonDirectivity(xFor(40.0), 1.0), 0.0001);

    // A 50 mm radius piston at 30 degrees and 10 kHz.
    const double b = 0.05 * std::sin(30.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(TGeneral::PistonDirectivity(10000.0, b), 0.108, 5e-4);

    // The fit against |2 J1(x) / x| over its whole range (its worst is 0.0061 near x = 0.19).
    for (double x = 0.1; x < 10.0; x += 0.01) {
        const double exact = std::fabs(2.0 * std::cyl_bessel_j(1.0, x) / x);
        ASSERT_NEAR(TGeneral::PistonDirectivity(xFor(x), 1.0), exact, 6.5e-3) << x;
    }
    // Values of the fit itself (coefficients copied wrongly would move these).
    EXPECT_NEAR(TGeneral::PistonDirectivity(xFor(1.0), 1.0), 0.878961, 2e-6);
    EXPECT_NEAR(TGeneral::PistonDirectivity(xFor(6.0), 1.0), 0.092367, 2e-6);
    EXPECT_NEAR(TGeneral::PistonDirectivity(xFor(9.0), 1.0), 0.054349, 2e-6);
}

TEST(General, OnAxisAtInfiniteDistanceOnlyDelaysByTheDepth) {
    TGeneral g;
    const CVector s = testSpectrum();
    CVector out(TGeneral::kPoints);

    // 0 dB on axis: a piston of any size at the reference passes unchanged.
    g.OffAxis(s, 0.0, 0.1, 0.0, 0.0, 0.0, out);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(out[i], s[i]) << i;

    // 34 mm deeper is 0.1 ms later, whatever x and y are; 2.5 m is about 900 radians at
    // 20 kHz, where pi to 12 digits would be 2e-10 off.
    for (auto [x, y, z] : {std::tuple{0.3, 0.2, 0.034}, std::tuple{0.0, 0.0, 2.5}}) {
        g.OffAxis(s, 0.0, 0.1, x, y, z, out);
        for (int i = 0; i < 500; ++i) {
            const Complex want = s[i] * std::polar(1.0, -2.0 * std::numbers::pi * g.frequency()[i] * z / 340.0);
            ASSERT_NEAR(std::abs(out[i] - want), 0.0, 1e-12 * std::abs(s[i])) << z << " " << i;
        }
    }
}

TEST(General, OffAxisAtInfiniteDistanceDelaysAndNarrowsWithTheAngle) {
    TGeneral g;
    const CVector s = testSpectrum();
    CVector out(TGeneral::kPoints);
    // 10 cm above the reference, 2 cm deep, seen 30 degrees up: the path is shorter by
    // y sin(30) and longer by z cos(30); speed 340 m/s.
    const double theta = 30.0 * std::numbers::pi / 180.0;
    const double dt = (0.02 * std::cos(theta) - 0.1 * std::sin(theta)) / 340.0;
    g.OffAxis(s, 30.0, 0.05, 0.07, 0.1, 0.02, out);
    for (int i = 0; i < 500; ++i) {
        const double f = g.frequency()[i];
        const double d = TGeneral::PistonDirectivity(f, 0.05 * 0.5);
        const Complex want = s[i] * d * std::polar(1.0, -2.0 * std::numbers::pi * f * dt);
        ASSERT_NEAR(std::abs(out[i] - want), 0.0, 1e-12 * std::abs(s[i])) << i;
    }
    // Rays below the axis see the same piston width.
    CVector down(TGeneral::kPoints);
    g.OffAxis(s, -30.0, 0.05, 0.0, 0.0, 0.0, down);
    g.OffAxis(s, 30.0, 0.05, 0.0, 0.0, 0.0, out);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(down[i], out[i]) << i;
    int at10k = 0;
    while (g.frequency()[at10k] < 10000.0) ++at10k;
    EXPECT_NEAR(std::abs(out[at10k]) / std::abs(s[at10k]),
                TGeneral::PistonDirectivity(g.frequency()[at10k], 0.025), 1e-15);
}

TEST(General, AtAFiniteDistanceThePressureFallsAsOneOverR) {
    TGeneral g;
    g.infinite = 0;
    const CVector s = testSpectrum();
    CVector at1(TGeneral::kPoints);
    CVector at2(TGeneral::kPoints);
    g.distance = 1.0;
    g.OffAxis(s, 0.0, 0.05, 0.0, 0.0, 0.0, at1);
    g.distance = 2.0;
    g.OffAxis(s, 0.0, 0.05, 0.0, 0.0, 0.0, at2);
    for (int i = 0; i < 500; ++i) {
        ASSERT_NEAR(std::abs(at1[i] - s[i]), 0.0, 1e-15 * std::abs(s[i])) << i;
        ASSERT_NEAR(db(at1[i]) - db(at2[i]), 6.0206, 1e-4) << i;
        ASSERT_NEAR(std::arg(at2[i] / s[i]), 0.0, 1e-12) << i;
    }
}

TEST(General, AtAFiniteDistanceTheGeometryGivesDelayAndPistonAngle) {
    TGeneral g;
    g.infinite = 0;
    g.distance = 2.0;
    const CVector s = testSpectrum();
    CVector out(TGeneral::kPoints);
    // Listener 2 m away, 15 degrees up; driver 6 cm aside, 12 cm up, 3 cm deep.
    const double x = 0.06, y = 0.12, z = 0.03, a = 0.04;
    const double theta = 15.0 * std::numbers::pi / 180.0;
    const double ly = 2.0 * std::sin(theta), lz = -2.0 * std::cos(theta);
    const double r = std::hypot(x, y - ly, z - lz);
    const double sideways = std::hypot(x, y - ly);
    const double dt = (r - 2.0) / 340.0;
    g.OffAxis(s, 15.0, a, x, y, z, out);
    for (int i = 0; i < 500; ++i) {
        const double f = g.frequency()[i];
        const double d = TGeneral::PistonDirectivity(f, a * sideways / r);
        const Complex want = s[i] * d * std::polar(1.0 / r, -2.0 * std::numbers::pi * f * dt);
        ASSERT_NEAR(std::abs(out[i] - want), 0.0, 1e-12 * std::abs(s[i])) << i;
    }
    // The geometry factor alone, multiplied in, gives the same values.
    CVector factor;
    g.OffAxisFactor(15.0, a, x, y, z, factor);
    CVector viaFactor(TGeneral::kPoints);
    viaFactor.mul(s, factor);
    EXPECT_EQ(viaFactor, out);
    // The result may overwrite its input.
    CVector inPlace = s;
    g.OffAxis(inPlace, 15.0, a, x, y, z, inPlace);
    EXPECT_EQ(inPlace, out);
    // A driver on the listener's ear stays finite.
    g.OffAxis(s, 0.0, a, 0.0, 0.0, -2.0, out);
    EXPECT_TRUE(std::isfinite(std::abs(out[0])));
    // Absurd delays still give finite values (and NaN stays NaN instead of being cast).
    g.infinite = 1;
    g.OffAxis(s, 0.0, a, 0.0, 0.0, 1.0e9, out);
    EXPECT_NEAR(std::abs(out[499]), std::abs(s[499]), 1e-9);
    g.OffAxis(s, 0.0, a, 0.0, 0.0, std::numeric_limits<double>::quiet_NaN(), out);
    EXPECT_TRUE(std::isnan(out[0].real()));
    g.infinite = 0;
    // A result vector of another length is given the grid's.
    CVector empty;
    g.OffAxis(s, 15.0, a, x, y, z, empty);
    ASSERT_EQ(empty.length(), 500);
}

// Version 400 record with every field away from its default, built field by field in file
// order.
std::vector<std::uint8_t> sampleRecord() {
    BinaryWriter w;
    w.u8(0);
    w.f64(2.5);
    w.i16(4);
    for (int a : {30, 10, 0, -20}) w.i16(static_cast<std::int16_t>(a));
    for (int k = 4; k < 17; ++k) w.i16(0);
    w.i16(2);
    for (int a : {0, -20}) w.i16(static_cast<std::int16_t>(a));
    for (int k = 2; k < 8; ++k) w.i16(0);
    for (int v : {50, 10000, 2048}) w.i16(static_cast<std::int16_t>(v)); // range, ifft size
    w.i32(22050);
    for (int v : {1, 0, 0}) w.u8(static_cast<std::uint8_t>(v));
    for (int v : {40, 16}) w.i16(static_cast<std::int16_t>(v));
    for (int v : {1, 1}) w.u8(static_cast<std::uint8_t>(v));
    for (double v : {-1.5, 7.25}) w.f64(v);
    char title[100] = "Bookshelf 2-way";
    std::memcpy(title + 40, "stale bytes", 11); // after the terminator: kept as they stand
    w.bytes(title, 100);
    return w.take();
}

TEST(General, RecordRoundTripsByteForByteAndRebuildsTheDerivedState) {
    TGeneral g;
    BinaryWriter defaults;
    ASSERT_TRUE(g.writeRecord(defaults));
    ASSERT_EQ(defaults.size(), TGeneral::kRecordSize);
    EXPECT_EQ(defaults.buffer()[0], 1);

    const std::vector<std::uint8_t> record = sampleRecord();
    ASSERT_EQ(record.size(), TGeneral::kRecordSize);
    g.flip = 1;
    BinaryReader r(record);
    ASSERT_TRUE(g.readRecord(r, 400));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(g.infinite, 0);
    EXPECT_EQ(g.distance, 2.5);
    EXPECT_EQ(surfaceList(g), (std::vector<int>{30, 10, 0, -20}));
    EXPECT_EQ(g.mainRay(), 2);
    EXPECT_EQ(overlayList(g), (std::vector<int>{0, -20}));
    // The rest is checked by the byte-exact write below; here the derived tables.
    EXPECT_EQ(g.ifftSize(), 2048);
    EXPECT_EQ(g.bitReversal()[1], 1024);
    EXPECT_DOUBLE_EQ(g.ifftFrequencies()[1], 22050.0 / 2048);
    EXPECT_EQ(g.gdMax, 7.25);
    EXPECT_EQ(g.title(), "Bookshelf 2-way");
    EXPECT_EQ(g.flip, 1); // drawing only, not in the file

    BinaryWriter again;
    ASSERT_TRUE(g.writeRecord(again));
    EXPECT_EQ(again.buffer(), record);

    // A title set in the program is zero-filled and cut to fit its block.
    g.setTitle(std::string(150, 'x'));
    EXPECT_EQ(g.title(), std::string(99, 'x'));
    // Unterminated in a file: cut the same way.
    std::vector<std::uint8_t> unterminated = record;
    std::memset(unterminated.data() + 98, 'y', 100);
    BinaryReader ru(unterminated);
    ASSERT_TRUE(g.readRecord(ru, 400));
    EXPECT_EQ(g.title().size(), 99u);
}

TEST(General, EveryTruncationIsRefusedAndChangesNothing) {
    const std::vector<std::uint8_t> record = sampleRecord();
    BinaryWriter want;
    ASSERT_TRUE(TGeneral().writeRecord(want));
    for (int version : {400, 310}) {
        const std::size_t size =
            version >= 400 ? TGeneral::kRecordSize : TGeneral::kRaysGroupSize;
        for (std::size_t n = 0; n < size; ++n) {
            TGeneral g;
            BinaryReader r(std::span(record.data(), n));
            ASSERT_FALSE(g.readRecord(r, version)) << version << " " << n;
            BinaryWriter w;
            ASSERT_TRUE(g.writeRecord(w));
            ASSERT_EQ(w.buffer(), want.buffer()) << version << " " << n;
        }
    }
}

TEST(General, OlderVersionsReadOnlyTheirGroups) {
    const std::vector<std::uint8_t> record = sampleRecord();

    TGeneral g;
    g.setTitle("kept");
    g.splRange = 45;
    BinaryReader r310(record);
    ASSERT_TRUE(g.readRecord(r310, 310));
    EXPECT_EQ(r310.position(), TGeneral::kRaysGroupSize);
    EXPECT_EQ(g.ifftSize(), 2048);
    EXPECT_EQ(g.title(), "kept");
    EXPECT_EQ(g.splRange, 45);
    EXPECT_EQ(g.inhibit, 0);

    TGeneral old;
    BinaryReader r300(record);
    ASSERT_TRUE(old.readRecord(r300, 300));
    EXPECT_EQ(r300.position(), 0u);
    EXPECT_EQ(surfaceList(old), std::vector<int>{0});
    EXPECT_EQ(old.ifftSize(), 512);
}

TEST(General, DamagedValuesAreRefusedAndCountsClamped) {
    const std::vector<std::uint8_t> record = sampleRecord();
    const auto patchF64 = [&](std::size_t at, double v) {
        std::vector<std::uint8_t> b = record;
        std::memcpy(&b[at], &v, 8);
        return b;
    };
    const auto patchI16 = [&](std::size_t at, int v) {
        std::vector<std::uint8_t> b = record;
        b[at] = static_cast<std::uint8_t>(v & 0xff);
        b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
        return b;
    };
    const auto patchI32 = [&](std::size_t at, std::int32_t v) {
        std::vector<std::uint8_t> b = record;
        std::memcpy(&b[at], &v, 4);
        return b;
    };
    // Offsets: distance 1, surface count 9, overlay count 45, lower 63, upper 65, size 67,
    // rate 69, range 76, impedance max 78, gd min 82, gd max 90.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<std::uint8_t>> bad{
        patchF64(1, 0.0),    patchF64(1, -1.0),   patchF64(1, nan),   patchF64(1, inf),
        patchI16(67, 0),     patchI16(67, 1000),  patchI16(67, -512), patchI16(67, 16384),
        patchI32(69, 0),     patchI32(69, -44100), patchI16(63, 0),   patchI16(65, 40),
        patchI16(76, 0),     patchI16(78, -3),    patchF64(82, nan),  patchF64(90, inf),
    };
    for (std::size_t k = 0; k < bad.size(); ++k) {
        TGeneral g;
        BinaryReader r(bad[k]);
        EXPECT_FALSE(g.readRecord(r, 400)) << k;
        EXPECT_EQ(g.distance, 1.0) << k;
        EXPECT_EQ(g.ifftSize(), 512) << k;
        EXPECT_EQ(g.surfaceCount(), 1) << k;
    }

    TGeneral g;
    std::vector<std::uint8_t> many = patchI16(9, 300);
    many[45] = 0;
    BinaryReader rm(many);
    ASSERT_TRUE(g.readRecord(rm, 400));
    EXPECT_EQ(g.surfaceCount(), 17);
    EXPECT_EQ(g.overlayCount(), 1);
    EXPECT_EQ(g.mainRay(), 2);
    std::vector<std::uint8_t> negative = patchI16(9, -4);
    BinaryReader rn(negative);
    ASSERT_TRUE(g.readRecord(rn, 400));
    EXPECT_EQ(surfaceList(g), std::vector<int>{30});
    EXPECT_EQ(g.mainRay(), 0);
}

} // namespace
