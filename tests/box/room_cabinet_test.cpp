#include "box/room_cabinet.h"

#include "app/box_factory.h"
#include "box/closed_box.h"
#include "box_test_support.h"
#include "core/binary_io.h"
#include "core/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

using namespace harlox;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class T> T at(const Bytes& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}
void putF64(Bytes& b, std::size_t off, double v) {
    std::memcpy(&b[off], &v, sizeof v);
}

// Offsets inside the record, worked out from the field list by hand: window record, 4 x 9
// sources of 4 doubles, 11 room doubles, then switches, factors and the measured block.
constexpr std::size_t kRoomWidth = 1302, kSwitches = 1310, kDisplayMode = 1317, kFactors = 1324, kPath = 1381,
                      kTransition = 1653, kLevelFactor = 1664;

// Every field that the order of the record could swap holds a value of its own.
void fillDistinct(TRoomCabinet& rc) {
    for (std::size_t g = 0; g < 4; ++g) {
        for (std::size_t i = 0; i < 9; ++i) {
            const double base = static_cast<double>(g * 10 + i);
            rc.sources[g][i] = SourcePosition{base + 0.125, base + 0.25, base + 0.375, base + 0.5};
        }
    }
    rc.roomWidth = 5.3;
    rc.reflections = {1, 0, 1, 0, 0, 1};
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.reflectionFactors = {0.11, 0.22, 0.33, 0.44, 0.55, 0.66};
    rc.measuredInUse = 1;
    rc.setMeasuredFile("data/woofer.frd");
    rc.transitionFrequency = 456;
    rc.autoLevelOffset = 0;
    rc.levelFactor = 0.668;
    rc.window().placement.v = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    rc.window().setNote("listening room");
}

Bytes record(const TRoomCabinet& rc) {
    BinaryWriter w;
    EXPECT_TRUE(rc.writeRecord(w));
    return w.take();
}

const RoomCabinetSettings& settings(const TRoomCabinet& rc) {
    return rc;
}

} // namespace

TEST(RoomCabinet, RecordRoundTripAndTruncation) {
    TRoomCabinet src;
    fillDistinct(src);
    const Bytes b = record(src);
    ASSERT_EQ(b.size(), 1672u);
    // Groups in file order: drivers, passive radiators, second ports, first ports; the
    // factors have the ceiling before the floor.
    EXPECT_EQ(at<double>(b, 70 + 35 * 32 + 24), src.source(SourceGroup::Ports1, 8).radius);
    EXPECT_EQ(at<double>(b, kFactors + 24), 0.55);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[kPath]), "data/woofer.frd");

    TRoomCabinet back;
    const Bytes before = record(back);
    for (const int version : {300, 400}) {
        for (std::size_t n = 0; n < (version < 310 ? 1380u : 1672u); ++n) {
            BinaryReader r(std::span(b.data(), n));
            ASSERT_FALSE(back.readRecord(r, version)) << version << " " << n;
            ASSERT_EQ(record(back), before) << version << " " << n;
        }
    }
    BinaryReader r(b);
    ASSERT_TRUE(back.readRecord(r, 310)); // the first version with the measured block
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(settings(back), settings(src));
    EXPECT_EQ(record(back), b);
    EXPECT_EQ(back.window().title(), "Room & Cabinet Impact");

    // Files before 310 have no measured block: even a target with measured data of its own
    // gets the block's defaults, and the rest of the input is not ours.
    TRoomCabinet old;
    old.setMeasuredFile("old.frd");
    BinaryReader r309(b);
    ASSERT_TRUE(old.readRecord(r309, 309));
    EXPECT_EQ(r309.position(), 1380u);
    Bytes want(b.begin(), b.begin() + 1380);
    want.insert(want.end(), before.begin() + 1380, before.end());
    EXPECT_EQ(record(old), want);

    // Reset brings the defaults back but keeps where the window sits and its note.
    src.window().setPointCount(50);
    src.Reset();
    EXPECT_EQ(settings(src), RoomCabinetSettings{});
    EXPECT_EQ(src.window().pointCount(), 0);
    EXPECT_EQ(src.window().placement.v[9], 10);
    EXPECT_EQ(src.window().note(), "listening room");
}

TEST(RoomCabinet, UnusableStoredValuesAreReplaced) {
    TRoomCabinet rc;
    Bytes bytes = record(rc);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    putF64(bytes, kRoomWidth, std::numeric_limits<double>::infinity());
    putF64(bytes, kFactors, 1.5);
    putF64(bytes, kFactors + 8, nan);
    bytes[kSwitches + 2] = 0x80;
    bytes[kDisplayMode] = 7; // a mode the program does not know shows the frequency response
    bytes[kTransition] = bytes[kTransition + 1] = 0;
    putF64(bytes, kLevelFactor - 8, 6.0); // level offset
    putF64(bytes, kLevelFactor, 0.0);
    std::memset(&bytes[kPath], 'x', 271); // no terminator

    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, 400));
    const RoomCabinetSettings d;
    EXPECT_EQ(rc.roomWidth, d.roomWidth);
    EXPECT_EQ(rc.reflectionFactors.speakerBackWall, 1.0);
    EXPECT_EQ(rc.reflectionFactors.leftWall, d.reflectionFactors.leftWall);
    EXPECT_EQ(rc.reflections.rightWall, 1);
    EXPECT_EQ(rc.displayMode, TRoomCabinet::kShowResponse);
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
    ASSERT_EQ(rc.window().curveCount(), 2);
    EXPECT_EQ(rc.window().curve(1).y, rc.freeFieldSpl.data());
    EXPECT_EQ(rc.transitionFrequency, 1);
    EXPECT_NEAR(rc.levelFactor, std::pow(10.0, 6.0 / 20.0), 1e-15);
    EXPECT_EQ(rc.measuredFile, std::string(270, 'x'));
}

// ---- the room response ------------------------------------------------------------------

namespace {

constexpr double kC = 344.7;

const FrequencyGrid& grid() {
    return sharedSetup().grid;
}

// Everything off: no surface, no edge.
void quiet(TRoomCabinet& rc) {
    rc.reflections = {0, 0, 0, 0, 0, 0};
    rc.cabinetEdges = 0;
}

// The baffle placed so that driver 1 sits at (x, y, z) in the room.
void putDriverAt(TRoomCabinet& rc, double x, double y, double z) {
    const SourcePosition& p = rc.source(SourceGroup::Drivers, 0);
    rc.speakerX = x - p.dX;
    rc.speakerY = y - p.dY;
    rc.speakerZ = z - p.dZ;
}

RoomSources oneDriver(double radius = 0.08) {
    RoomSources s;
    s[SourceGroup::Drivers] = RoomSourceGroup{1, radius, nullptr, 1.0};
    return s;
}

struct Flat {
    std::array<Complex, kMaxPoints> p;
    Flat() { p.fill(Complex(1.0, 0.0)); }
};

// The grid point where `y` has its lowest value between f1 and f2.
int lowestBetween(const std::array<double, kMaxPoints>& y, double f1, double f2) {
    const FrequencyGrid& g = sharedSetup().grid;
    int best = -1;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (g.f[k] < f1 || g.f[k] > f2) continue;
        if (best < 0 || y[k] < y[static_cast<std::size_t>(best)]) best = i;
    }
    return best;
}

// Whether f lies within one grid step of grid point i.
bool withinOneStep(int i, double f) {
    const FrequencyGrid& g = sharedSetup().grid;
    const auto k = static_cast<std::size_t>(i);
    const double step = g.f[1] / g.f[0];
    return f >= g.f[k] / step && f <= g.f[k] * step;
}

class RoomModel : public test::BoxTest {
protected:
    void SetUp() override {
        test::BoxTest::SetUp();
        sharedSetup().rebuildGrid();
    }
    TRoomCabinet rc;
    Flat flat;
};

} // namespace

TEST_F(RoomModel, AFullyAbsorbingRoomWithoutEdgesLeavesTheFreeField) {
    rc.reflectionFactors = {0, 0, 0, 0, 0, 0}; // every surface on, absorbing everything
    rc.cabinetEdges = 0;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.normalizedTo1m = 1;
    for (const std::uint8_t smoothing : {0, 1}) {
        rc.thirdOctaveSmoothing = smoothing;
        rc.Calculate(flat.p.data(), oneDriver(), nullptr);
        for (int i = 0; i < grid().count; ++i) {
            ASSERT_NEAR(rc.roomSpl[static_cast<std::size_t>(i)], 0.0, 1e-9) << i;
            ASSERT_NEAR(rc.roomPhase[static_cast<std::size_t>(i)], 0.0, 1e-9) << i;
        }
    }
    // Not referred to 1 m, the impact keeps the distance loss.
    rc.normalizedTo1m = 0;
    rc.Calculate(flat.p.data(), oneDriver(), nullptr);
    const double d = rc.listenerDistance(oneDriver());
    EXPECT_NEAR(rc.roomSpl[7], -20 * std::log10(d), 1e-9);
}

TEST_F(RoomModel, ImageRowsAddOnceOrTwiceAndNothingBeyondTheBuffer) {
    quiet(rc);
    rc.roomWidth = 3.1, rc.roofHeight = 2.3, rc.roomDepth = 7.0;
    putDriverAt(rc, 1.0, 0.8, 1.2);
    rc.listenerX = 1.7, rc.listenerY = 1.1, rc.listenerZ = 4.0;
    const double Sx = 1.0, Sy = 0.8, Sz = 1.2, Lx = 1.7, Ly = 1.1, Lz = 4.0, W = 3.1, H = 2.3;
    const double d0 = std::hypot(Sx - Lx, Sy - Ly, Sz - Lz);
    std::vector<double> want(1024, 0.0);
    const auto expect = [&](double x, double y, double z, double c) {
        const double dist = std::hypot(x, y, z);
        want[static_cast<std::size_t>((dist - d0) / kC * 10000)] += c / dist;
    };
    const auto compare = [&](const char* what) {
        rc.buildImpulseResponse(SourceGroup::Drivers, 1, d0);
        for (std::size_t i = 0; i < 1024; ++i)
            ASSERT_NEAR(rc.impulseBuffer()[static_cast<int>(i)], want[i], 1e-12) << what << " " << i;
    };

    // Side walls: each once, the pair twice, the third order with both factor orders.
    rc.reflections.leftWall = rc.reflections.rightWall = 1;
    rc.reflectionFactors.leftWall = 0.5, rc.reflectionFactors.rightWall = 0.8;
    expect(Sx + Lx, Sy - Ly, Sz - Lz, 0.5);
    expect(2 * W - Sx - Lx, Sy - Ly, Sz - Lz, 0.8);
    expect(Sx - Lx + 2 * W, Sy - Ly, Sz - Lz, 2 * 0.5 * 0.8);
    expect(Sx - Lx + 3 * W, Sy - Ly, Sz - Lz, 0.25 * 0.8 + 0.64 * 0.5);
    compare("side walls");

    // Floor and ceiling the same way, with the side walls' cross terms: twice with the ceiling.
    rc.reflections.floor = rc.reflections.ceiling = 1;
    rc.reflectionFactors.floor = 0.7, rc.reflectionFactors.ceiling = 0.6;
    expect(Sx - Lx, Sy + Ly, Sz - Lz, 0.7);
    expect(Sx - Lx, 2 * H - Sy - Ly, Sz - Lz, 0.6);
    expect(Sx + Lx, 2 * H - Sy - Ly, Sz - Lz, 2 * 0.6 * 0.5);
    expect(2 * W - Sx - Lx, 2 * H - Sy - Ly, Sz - Lz, 2 * 0.8 * 0.6);
    expect(Sx - Lx, 2 * H + Ly - Sy, Sz - Lz, 2 * 0.7 * 0.6);
    expect(Sx - Lx, 3 * H + Ly - Sy, Sz - Lz, 0.49 * 0.6 + 0.36 * 0.7);
    compare("walls, floor and ceiling");

    // The summation factor scales every image.
    rc.summationFactor = 0.5;
    for (double& v : want)
        v *= 0.5;
    compare("summation factor");
}

TEST_F(RoomModel, ReflectionsReachTheBufferOnlyBetweenOneSampleAndItsEnd) {
    quiet(rc);
    rc.reflections.listenerBackWall = 1;
    rc.reflectionFactors.listenerBackWall = 1.0;
    putDriverAt(rc, 1.0, 1.0, 0.5);
    rc.listenerX = 1.0, rc.listenerY = 1.0, rc.listenerZ = 2.5;
    const double d0 = 2.0;
    // The extra path is twice the listener's distance from the wall behind it.
    const auto bufferFor = [&](double extra) {
        rc.roomDepth = rc.listenerZ + extra / 2;
        rc.buildImpulseResponse(SourceGroup::Drivers, 1, d0);
        std::vector<std::pair<int, double>> nonZero;
        for (int i = 0; i < 1024; ++i)
            if (rc.impulseBuffer()[i] != 0.0) nonZero.emplace_back(i, rc.impulseBuffer()[i]);
        return nonZero;
    };
    EXPECT_TRUE(bufferFor(35.2973).empty());
    // Just inside the horizon: the last sample, tapered to 1/512.
    auto last = bufferFor(35.2972);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].first, 1023);
    EXPECT_NEAR(last[0].second, 1.0 / 512 / (d0 + 35.2972), 1e-15);
    // Shorter than one sample (3.447 cm): nothing at sample 0.
    EXPECT_TRUE(bufferFor(0.0344).empty());
}

TEST_F(RoomModel, ASourceOnTheSpeakerBackWallHasNoImageInIt) {
    quiet(rc);
    rc.reflections.speakerBackWall = 1;
    rc.reflectionFactors.speakerBackWall = 1.0;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.normalizedTo1m = 1;
    putDriverAt(rc, 1.0, 1.0, 0.0);
    rc.Calculate(flat.p.data(), oneDriver(), nullptr);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(rc.impulseBuffer()[i], 0.0) << i;
    EXPECT_NEAR(*std::max_element(rc.roomSpl.begin(), rc.roomSpl.begin() + grid().count), 0.0, 1e-12);

    // Half a metre in front of the wall the image is there, one metre behind the source.
    putDriverAt(rc, 1.0, 1.0, 0.5);
    rc.listenerX = 1.0, rc.listenerY = 1.0;
    rc.Calculate(flat.p.data(), oneDriver(), nullptr);
    const double d0 = rc.listenerZ - 0.5;
    const int at = static_cast<int>(1.0 / kC * 10000);
    EXPECT_NEAR(rc.impulseBuffer()[at], 1.0 / (d0 + 1.0), 1e-15);
}

TEST_F(RoomModel, AFloorReflectionCombHasItsFirstNotchAtHalfTheWavelengthOfThePathDifference) {
    quiet(rc);
    rc.reflections.floor = 1;
    rc.reflectionFactors.floor = 1.0;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.normalizedTo1m = 1;
    putDriverAt(rc, 1.5, 0.6, 1.0);
    rc.listenerX = 1.5, rc.listenerY = 1.2, rc.listenerZ = 3.5;
    rc.Calculate(flat.p.data(), oneDriver(0.0), nullptr);
    const double d0 = std::hypot(0.6, 2.5);
    const double path = std::hypot(1.8, 2.5) - d0;
    const double notch = kC / (2 * path);
    const int i = lowestBetween(rc.roomSpl, notch / 2, notch * 1.5);
    EXPECT_TRUE(withinOneStep(i, notch)) << grid().f[static_cast<std::size_t>(i)] << " vs " << notch;
    // A deep notch: direct and reflection differ by their distances alone.
    EXPECT_LT(rc.roomSpl[static_cast<std::size_t>(i)], -10.0);
    // Below the comb the reflection adds: d0 + d0 / (d0 + path) times the direct sound.
    EXPECT_NEAR(rc.roomSpl[0], 20 * std::log10(1 + d0 / (d0 + path)), 0.05);
}

TEST_F(RoomModel, CabinetEdgesGiveTheBaffleStepAndAFloorStandingCabinetHasNoBottomEdge) {
    quiet(rc);
    rc.cabinetEdges = 1;
    rc.baffleWidth = 0.5, rc.baffleHeight = 1.0;
    SourcePosition& p = rc.source(SourceGroup::Drivers, 0);
    p.dX = 0.25, p.dY = 0.05;
    rc.listenerX = rc.speakerX + 0.25, rc.listenerY = 0.05, rc.listenerZ = rc.speakerZ + 2.0;

    // Standing on the floor: the nearest edge (5 cm below the driver) is missing, so nothing
    // arrives before the side edges 25 cm away.
    rc.speakerY = 0.0;
    rc.buildImpulseResponse(SourceGroup::Drivers, 1, 2.0);
    const int sides = static_cast<int>(0.25 * 10000 / kC); // the edge delay is at least r1
    for (int i = 0; i < sides; ++i)
        EXPECT_EQ(rc.impulseBuffer()[i], 0.0) << i;
    rc.speakerY = 0.3;
    rc.listenerY = 0.35;
    rc.buildImpulseResponse(SourceGroup::Drivers, 1, 2.0);
    double early = 0.0;
    for (int i = 0; i < sides; ++i)
        early += rc.impulseBuffer()[i];
    EXPECT_LT(early, 0.0);

    // Whatever the baffle, the edges take back half the direct sound at low frequencies
    // (full-space radiation, 6 dB down) and average out at high ones.
    double sum = 0.0;
    for (int i = 0; i < 1024; ++i)
        sum += rc.impulseBuffer()[i];
    EXPECT_NEAR(sum, -0.5 / 2.0, 1e-12);
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.normalizedTo1m = 1;
    // Below the first bin the spectrum's DC value holds.
    MeasureSetup& s = sharedSetup();
    s.startFrequency = 5;
    s.rebuildGrid();
    rc.Calculate(flat.p.data(), oneDriver(0.0), nullptr);
    EXPECT_NEAR(rc.roomSpl[0], 20 * std::log10(0.5), 1e-9);
    double high = 0.0;
    int n = 0;
    for (int i = 0; i < grid().count; ++i) {
        if (grid().f[static_cast<std::size_t>(i)] < 1000) continue;
        high += rc.roomSpl[static_cast<std::size_t>(i)];
        ++n;
    }
    EXPECT_NEAR(high / n, 0.0, 1.0);

    rc.summationFactor = 0.5; // half the edge sound: 2.5 dB down at low frequencies
    rc.Calculate(flat.p.data(), oneDriver(0.0), nullptr);
    EXPECT_NEAR(rc.roomSpl[0], 20 * std::log10(0.75), 1e-9);
}

TEST_F(RoomModel, PistonFactorJoinsItsRangesAndDampsReflectionsOfLargeElements) {
    EXPECT_EQ(TRoomCabinet::pistonFactor(0.0), 1.0);
    EXPECT_EQ(TRoomCabinet::pistonFactor(0.0999), 1.0);
    EXPECT_NEAR(TRoomCabinet::pistonFactor(0.1), 1.0, 0.01);
    EXPECT_LT(TRoomCabinet::pistonFactor(3.0), 0.5);
    EXPECT_EQ(TRoomCabinet::pistonFactor(10.0), 0.0001);

    // A 15 cm radius damps the floor comb at 2 kHz (ka 5.5); a point source does not.
    quiet(rc);
    rc.reflections.floor = 1;
    rc.reflectionFactors.floor = 1.0;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.normalizedTo1m = 1;
    rc.Calculate(flat.p.data(), oneDriver(0.0), nullptr);
    const auto spread = [&] {
        double lo = 1e9, hi = -1e9;
        for (int i = 0; i < grid().count; ++i) {
            if (grid().f[static_cast<std::size_t>(i)] < 1500) continue;
            lo = std::min(lo, rc.roomSpl[static_cast<std::size_t>(i)]);
            hi = std::max(hi, rc.roomSpl[static_cast<std::size_t>(i)]);
        }
        return hi - lo;
    };
    EXPECT_GT(spread(), 6.0);
    rc.Calculate(flat.p.data(), oneDriver(0.15), nullptr);
    EXPECT_LT(spread(), 2.0);
}

TEST_F(RoomModel, SmoothingAveragesTheLogMagnitudeAndPhaseOfTheImpact) {
    quiet(rc);
    rc.reflections.floor = 1;
    rc.reflectionFactors.floor = 1.0;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    // A response of its own: smoothing works on the impact, not on the response.
    std::array<Complex, kMaxPoints> total{};
    for (int i = 0; i < grid().count; ++i)
        total[static_cast<std::size_t>(i)] = std::polar(1.0 + i % 3, 0.3 * i);
    rc.Calculate(total.data(), oneDriver(0.0), nullptr);
    const std::array<Complex, kMaxPoints> raw = rc.roomResult;
    rc.thirdOctaveSmoothing = 1;
    rc.Calculate(total.data(), oneDriver(0.0), nullptr);
    // 50 points over 100:1 (6.64 octaves): half width 50 * 0.333 / 6.64 / 2 + 0.5 -> 1.
    for (int i = 1; i + 1 < grid().count; ++i) {
        double logSum = 0, phaseSum = 0;
        for (int j = i - 1; j <= i + 1; ++j) {
            const Complex v = raw[static_cast<std::size_t>(j)];
            logSum += std::log(std::abs(v));
            // The phase runs along the curve without jumps.
            const double a = std::arg(v), ref = std::arg(raw[static_cast<std::size_t>(i)]);
            phaseSum += ref + std::remainder(a - ref, 2 * kPiExact);
        }
        const Complex s = rc.roomResult[static_cast<std::size_t>(i)];
        ASSERT_NEAR(std::log(std::abs(s)), logSum / 3, 1e-9) << i;
        ASSERT_NEAR(std::remainder(std::arg(s) - phaseSum / 3, 2 * kPiExact), 0.0, 1e-9) << i;
    }
    // The ends average over the points they have.
    EXPECT_NEAR(std::log(std::abs(rc.roomResult[0])),
                (std::log(std::abs(raw[0])) + std::log(std::abs(raw[1]))) / 2, 1e-9);
}

TEST_F(RoomModel, MeasuredSplSplicesInBelowTheTransitionWithItsLevel) {
    quiet(rc);
    rc.reflections.floor = 1;
    const std::string path = dir.file("room.frd");
    {
        std::ofstream out(path);
        out << "Hz dB deg\n10 80 0\n30000 80 0\n";
    }
    std::array<Complex, kMaxPoints> total{};
    total.fill(Complex(0.0, 30.0));
    const RoomSources sources = oneDriver();
    rc.Calculate(total.data(), sources, &ui);
    const std::array<Complex, kMaxPoints> computed = rc.roomResult;
    EXPECT_TRUE(rc.dataSheetLines().empty());

    rc.setMeasuredFile(path);
    rc.measuredInUse = 1;
    rc.transitionFrequency = 200;
    rc.Calculate(total.data(), sources, &ui);
    ASSERT_TRUE(rc.measuredLoaded());
    const FrequencyGrid& g = grid();
    std::size_t top = 0; // the highest point at or below the transition
    while (g.f[top + 1] <= 200)
        ++top;
    const double join = std::abs(computed[top]);
    EXPECT_NEAR(rc.levelOffsetDb, 20 * std::log10(join / 1e4), 1e-9);
    for (std::size_t k = 0; k < static_cast<std::size_t>(g.count); ++k) {
        const Complex want = k <= top ? Complex(join, 0.0) : computed[k];
        ASSERT_NEAR(std::abs(rc.roomResult[k] - want), 0.0, 1e-9 * join) << k;
    }
    EXPECT_EQ(rc.dataSheetLines().size(), 4u); // their text: in the box's data sheet below

    // With every point at or below the transition there is nothing to join: 0 dB.
    rc.transitionFrequency = 20000;
    rc.Calculate(total.data(), sources, &ui);
    EXPECT_EQ(rc.levelOffsetDb, 0.0);
    EXPECT_NEAR(rc.roomSpl[static_cast<std::size_t>(g.count - 1)], 80.0, 1e-9);
    // A level offset of the user's own.
    rc.autoLevelOffset = 0;
    rc.levelOffsetDb = -6.0;
    rc.Calculate(total.data(), sources, &ui);
    EXPECT_NEAR(rc.roomSpl[3], 74.0, 1e-9);
    EXPECT_NEAR(rc.levelFactor, std::pow(10.0, -6.0 / 20), 1e-15);

    // Disabled, the computed curve is back; a missing file is reported once and ignored.
    rc.measuredDisabled = 1;
    rc.Calculate(total.data(), sources, &ui);
    EXPECT_EQ(rc.roomResult, computed);
    rc.measuredDisabled = 0;
    rc.setMeasuredFile(dir.file("gone.frd"));
    rc.Calculate(total.data(), sources, &ui);
    rc.Calculate(total.data(), sources, &ui);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
    EXPECT_TRUE(ui.lastMessage().text.ends_with("\nCheck if path and filename is correct."));
    EXPECT_FALSE(rc.measuredLoaded());
    EXPECT_EQ(rc.roomResult, computed);
    EXPECT_TRUE(rc.dataSheetLines().empty());
}

TEST_F(RoomModel, UnusableGeometryGivesFiniteCurves) {
    putDriverAt(rc, rc.listenerX, rc.listenerY, rc.listenerZ); // the listener inside the driver
    rc.baffleWidth = 1e6, rc.baffleHeight = -3;                // a baffle too large to walk, and none
    rc.roomWidth = 0, rc.roofHeight = -1;
    rc.thirdOctaveSmoothing = 1;
    std::array<Complex, kMaxPoints> total{}; // and no sound at all
    rc.Calculate(total.data(), oneDriver(), nullptr);
    for (int i = 0; i < grid().count; ++i) {
        ASSERT_TRUE(std::isfinite(rc.roomSpl[static_cast<std::size_t>(i)]));
        ASSERT_TRUE(std::isfinite(rc.roomPhase[static_cast<std::size_t>(i)]));
    }
}


// The groups' spectra are kept between calculations: every input they depend on must make a
// used model give what a fresh one gives.
TEST_F(RoomModel, AChangedRoomPositionRadiusOrGridIsNeverAnsweredFromTheLastCalculation) {
    RoomSources sources = oneDriver();
    std::array<Complex, kMaxPoints> port{};
    port.fill(Complex(0.2, 0.1));
    sources[SourceGroup::Ports1] = RoomSourceGroup{1, 0.03, port.data(), -1.0};
    const auto expectFresh = [&](const char* what) {
        rc.Calculate(flat.p.data(), sources, nullptr);
        TRoomCabinet fresh;
        static_cast<RoomCabinetSettings&>(fresh) = rc;
        fresh.Calculate(flat.p.data(), sources, nullptr);
        EXPECT_EQ(rc.roomResult, fresh.roomResult) << what;
    };
    expectFresh("first");
    rc.listenerX += 0.3;
    expectFresh("listener");
    rc.source(SourceGroup::Ports1, 0).dY += 0.05;
    expectFresh("port position");
    rc.baffleWidth = 0.45;
    expectFresh("baffle");
    rc.reflectionFactors.floor = 0.5;
    expectFresh("absorption");
    sources[SourceGroup::Drivers].radius = 0.05;
    expectFresh("radius");
    sources[SourceGroup::Drivers].count = 2;
    expectFresh("count");
    sources[SourceGroup::Drivers].count = 1; // the second element's radius stays stored
    expectFresh("fewer");
    sharedSetup().pointCount = 200;
    sharedSetup().rebuildGrid();
    expectFresh("grid");
}
// ---- in a box project -----------------------------------------------------------------

namespace {

// Room 5 m deep, 4 m wide, 2.5 m high; the driver 1 m high, the listener 3 m in front of it
// at the same height.
void listeningRoom(TRoomCabinet& rc) {
    rc.roomDepth = 5.0, rc.roomWidth = 4.0, rc.roofHeight = 2.5;
    putDriverAt(rc, 1.6, 1.0, 1.0);
    rc.listenerX = 1.6, rc.listenerY = 1.0, rc.listenerZ = 4.0;
}

} // namespace

using RoomInBox = RoomModel;

TEST_F(RoomInBox, AClosedBoxInAListeningRoomShowsTheFloorBounceNotch) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    TRoomCabinet& room = box.roomCabinet();
    listeningRoom(room);
    quiet(room);
    room.reflections.floor = 1;
    room.setDisplayMode(TRoomCabinet::kShowImpact);
    room.normalizedTo1m = 1;
    box.Calculate(0);
    // Floor image 2 m below the listener's ear: sqrt(3^2 + 2^2) - 3 = 0.606 m more path.
    const double notch = kC / (2 * (std::hypot(3.0, 2.0) - 3.0));
    const int i = lowestBetween(room.roomSpl, 150, 450);
    EXPECT_TRUE(withinOneStep(i, notch)) << grid().f[static_cast<std::size_t>(i)] << " vs " << notch;
    EXPECT_LT(room.roomSpl[static_cast<std::size_t>(i)], -10.0);
    // The room window follows the grid.
    EXPECT_EQ(room.window().pointCount(), grid().count);
    EXPECT_EQ(room.source(SourceGroup::Drivers, 0).radius, box.front().a);

    // Every surface (the default room's reflection factors) and the cabinet edges on: the
    // first dip is still the floor's.
    room.reflections = {1, 1, 1, 1, 1, 1};
    room.cabinetEdges = 1;
    box.Calculate(0);
    const int j = lowestBetween(room.roomSpl, notch / 1.2, notch * 1.2);
    EXPECT_TRUE(withinOneStep(j, notch)) << grid().f[static_cast<std::size_t>(j)] << " vs " << notch;
}

TEST_F(RoomInBox, TheDataSheetNamesMeasuredRoomData) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    const std::string path = dir.file("room.frd");
    {
        std::ofstream out(path);
        out << "10 80 0\n30000 80 0\n";
    }
    TRoomCabinet& room = box.roomCabinet();
    room.setMeasuredFile(path);
    room.measuredInUse = 1;
    box.Calculate(0);
    const std::string sheet = box.dataSheetText();
    const std::string block =
        "Room & Cabinet\r\n Measured SPL data : " + path + "\r\n   Transition freq. \t300 Hz\r\n" +
        strprintf("   Level offset \t%2.2f dB", room.levelOffsetDb) + "\r\nAdditional details:";
    EXPECT_NE(sheet.find(" Pg\t\t1.000 W\r\n" + block), std::string::npos) << sheet;
}

// Every type hands its radiating elements over so that, in a room that absorbs everything,
// they add up to the box's own free-field response; with reflections on, elements that sit
// elsewhere on the baffle hear the room differently.
class RoomTypes : public test::BoxTest, public ::testing::WithParamInterface<int> {};

TEST_P(RoomTypes, TheElementsAddUpToTheFreeFieldResponse) {
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(GetParam(), ui);
    ASSERT_TRUE(box);
    box->front().SetDefaultUnit();
    box->rear().SetDefaultUnit();
    ASSERT_TRUE(box->front().setDriverCount(box->driverCountRange().min + box->driverCountRange().step));
    if (box->hasQuickBox()) {
        ASSERT_TRUE(box->QuickBox());
    }
    TRoomCabinet& room = box->roomCabinet();
    room.reflectionFactors = {0, 0, 0, 0, 0, 0};
    room.cabinetEdges = 0;
    room.normalizedTo1m = 1;
    box->Calculate(0);
    ASSERT_EQ(room.window().curveCount(), 2);
    for (int i = 0; i < box->pointCount(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_NEAR(room.roomSpl[k], box->SPL[k], 1e-6) << i;
        ASSERT_NEAR(room.freeFieldSpl[k], box->SPL[k], 1e-9) << i;
    }

    // A floor reflection, then the ports and radiators moved to the top of the baffle.
    room.reflectionFactors.floor = 1.0;
    box->Calculate(0);
    const std::array<double, kMaxPoints> before = room.roomSpl;
    for (const SourceGroup g : {SourceGroup::PassiveRadiators, SourceGroup::Ports1, SourceGroup::Ports2})
        room.source(g, 0).dY = room.source(g, 1).dY = room.baffleHeight;
    box->Calculate(0);
    const bool hasOthers = GetParam() != TClosedBox::kTypeCode;
    EXPECT_EQ(room.roomSpl != before, hasOthers);
}

INSTANTIATE_TEST_SUITE_P(Types, RoomTypes, ::testing::Range(0, 10));
