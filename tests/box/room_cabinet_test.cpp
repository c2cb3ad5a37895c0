#include "box/room_cabinet.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <span>
#include <string>
#include <vector>

using namespace harlox;

namespace {

// Fields of the record (little-endian, like the host).
template <class T> T at(const std::vector<std::uint8_t>& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}
void putF64(std::vector<std::uint8_t>& b, std::size_t off, double v) {
    std::memcpy(&b[off], &v, sizeof v);
}

// Offsets inside the record, worked out from the field list by hand.
constexpr std::size_t kSources = 70;
constexpr std::size_t kSpeakerX = 1222, kRoomWidth = 1302; // speaker, baffle, listener, room: 11 doubles
constexpr std::size_t kSwitches = 1310, kEdges = 1316, kDisplayMode = 1317, kNormalized = 1321,
                      kSmoothing = 1322, kCalcImmediately = 1323;
constexpr std::size_t kFactors = 1324, kSummation = 1372;
constexpr std::size_t kInUse = 1380, kPath = 1381, kDisabled = 1652, kTransition = 1653, kAutoLevel = 1655,
                      kLevelOffset = 1656, kLevelFactor = 1664;

std::size_t sourceOffset(int group, int index) {
    return kSources + static_cast<std::size_t>(group * 9 + index) * 32;
}

// Every field a different value, so that a swapped pair shows.
void fillDistinct(TRoomCabinet& rc) {
    for (int g = 0; g < 4; ++g) {
        for (int i = 0; i < 9; ++i) {
            const double base = g * 10 + i;
            rc.sources[static_cast<std::size_t>(g)][static_cast<std::size_t>(i)] =
                SourcePosition{base + 0.125, base + 0.25, base + 0.375, base + 0.5};
        }
    }
    rc.speakerX = 1.1;
    rc.speakerY = 1.2;
    rc.speakerZ = 1.3;
    rc.baffleHeight = 1.4;
    rc.baffleWidth = 1.5;
    rc.listenerX = 1.6;
    rc.listenerY = 1.7;
    rc.listenerZ = 1.8;
    rc.roofHeight = 2.9;
    rc.roomDepth = 7.1;
    rc.roomWidth = 5.3;
    rc.reflections = {1, 0, 1, 0, 0, 1};
    rc.cabinetEdges = 0;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    rc.normalizedTo1m = 1;
    rc.thirdOctaveSmoothing = 1;
    rc.calculateImmediately = 0;
    rc.reflectionFactors = {0.11, 0.22, 0.33, 0.44, 0.55, 0.66};
    rc.summationFactor = 0.75;
    rc.measuredInUse = 1;
    rc.setMeasuredFile("data/woofer.frd");
    rc.measuredDisabled = 1;
    rc.transitionFrequency = 456;
    rc.autoLevelOffset = 0;
    rc.levelOffsetDb = -3.5;
    rc.levelFactor = 0.668;
    for (std::size_t i = 0; i < 10; ++i)
        rc.window().placement.v[i] = static_cast<std::int16_t>(31 * i + 1);
    rc.window().setNote("listening room");
}

std::vector<std::uint8_t> record(const TRoomCabinet& rc) {
    BinaryWriter w;
    EXPECT_TRUE(rc.writeRecord(w));
    return w.take();
}

const RoomCabinetSettings& settings(const TRoomCabinet& rc) {
    return rc;
}

} // namespace

TEST(RoomCabinet, Defaults) {
    TRoomCabinet rc;
    EXPECT_EQ(rc.displayMode, TRoomCabinet::kShowResponse);
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
    EXPECT_EQ(rc.window().xUnit(), "Hz");
    EXPECT_EQ(rc.window().yUnit(), "dB");
    EXPECT_TRUE(rc.window().logX());
    EXPECT_NEAR(TRoomCabinet::kEdgeSourceStrength, -0.00105 / (2.0 * std::numbers::pi * std::sqrt(2.0)),
                1e-16); // the stored digits come from a rounded pi
    // Every default source sits on the baffle.
    for (const auto& group : rc.sources) {
        for (const SourcePosition& p : group) {
            EXPECT_GE(p.dX, 0.0);
            EXPECT_LE(p.dX, rc.baffleWidth);
            EXPECT_GE(p.dY, 0.0);
            EXPECT_LE(p.dY, rc.baffleHeight);
        }
    }
    // The listener stands inside the room.
    EXPECT_LT(rc.listenerX, rc.roomWidth);
    EXPECT_LT(rc.listenerY, rc.roofHeight);
    EXPECT_LT(rc.listenerZ, rc.roomDepth);
}

TEST(RoomCabinet, RecordLayout) {
    TRoomCabinet rc;
    fillDistinct(rc);
    const auto b = record(rc);
    ASSERT_EQ(b.size(), TRoomCabinet::kRecordSize);
    ASSERT_EQ(b.size(), 1672u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(at<std::int16_t>(b, 2 * i), rc.window().placement.v[i]);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[20]), "listening room");

    for (int g = 0; g < 4; ++g) {
        for (int i = 0; i < 9; ++i) {
            const double base = g * 10 + i;
            const std::size_t o = sourceOffset(g, i);
            EXPECT_EQ(at<double>(b, o), base + 0.125);
            EXPECT_EQ(at<double>(b, o + 8), base + 0.25);
            EXPECT_EQ(at<double>(b, o + 16), base + 0.375);
            EXPECT_EQ(at<double>(b, o + 24), base + 0.5);
        }
    }
    // File order of the groups: drivers, passive radiators, second ports, first ports.
    EXPECT_EQ(at<double>(b, sourceOffset(3, 0)), rc.source(SourceGroup::Ports1, 0).dX);
    EXPECT_EQ(at<double>(b, sourceOffset(2, 4) + 24), rc.source(SourceGroup::Ports2, 4).radius);
    EXPECT_EQ(at<double>(b, sourceOffset(1, 8) + 8), rc.source(SourceGroup::PassiveRadiators, 8).dY);

    const double geometry[11] = {1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 2.9, 7.1, 5.3};
    for (std::size_t i = 0; i < 11; ++i)
        EXPECT_EQ(at<double>(b, kSpeakerX + 8 * i), geometry[i]);
    EXPECT_EQ(at<double>(b, kRoomWidth), 5.3);

    // Switches: speaker back, left, right, floor, ceiling, listener back.
    const std::uint8_t switches[6] = {1, 0, 1, 0, 0, 1};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(b[kSwitches + i], switches[i]) << i;
    EXPECT_EQ(b[kEdges], 0);
    EXPECT_EQ(at<std::int32_t>(b, kDisplayMode), 0);
    EXPECT_EQ(b[kNormalized], 1);
    EXPECT_EQ(b[kSmoothing], 1);
    EXPECT_EQ(b[kCalcImmediately], 0);
    // Factors: speaker back, left, right, ceiling, floor, listener back.
    const double factors[6] = {0.11, 0.22, 0.33, 0.55, 0.44, 0.66};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(at<double>(b, kFactors + 8 * i), factors[i]) << i;
    EXPECT_EQ(at<double>(b, kSummation), 0.75);

    EXPECT_EQ(b[kInUse], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[kPath]), "data/woofer.frd");
    EXPECT_EQ(b[kPath + 270], 0);
    EXPECT_EQ(b[kDisabled], 1);
    EXPECT_EQ(at<std::int16_t>(b, kTransition), 456);
    EXPECT_EQ(b[kAutoLevel], 0);
    EXPECT_EQ(at<double>(b, kLevelOffset), -3.5);
    EXPECT_EQ(at<double>(b, kLevelFactor), 0.668);
}

struct VersionCase {
    int version;
    bool withBlock;
};

class RoomCabinetVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(RoomCabinetVersion, ReadsTheBlockOnlyFromVersion310) {
    const VersionCase c = GetParam();
    TRoomCabinet src;
    fillDistinct(src);
    auto bytes = record(src);
    if (!c.withBlock) bytes.resize(TRoomCabinet::kRecordSizeWithoutMeasured);

    // The target had measured data of its own: an old file still leaves the defaults.
    TRoomCabinet rc;
    rc.measuredInUse = 1;
    rc.setMeasuredFile("old.frd");
    rc.transitionFrequency = 99;
    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, c.version));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(rc.sources, src.sources);
    EXPECT_EQ(rc.reflections, src.reflections);
    EXPECT_EQ(rc.reflectionFactors, src.reflectionFactors);
    EXPECT_EQ(rc.roomWidth, 5.3);
    EXPECT_EQ(rc.window().title(), "Room & Cabinet Impact");
    if (c.withBlock) {
        EXPECT_EQ(settings(rc), settings(src));
        EXPECT_EQ(record(rc), record(src));
    } else {
        const RoomCabinetSettings d;
        EXPECT_EQ(rc.measuredInUse, d.measuredInUse);
        EXPECT_EQ(rc.measuredFile, d.measuredFile);
        EXPECT_EQ(rc.measuredDisabled, d.measuredDisabled);
        EXPECT_EQ(rc.transitionFrequency, d.transitionFrequency);
        EXPECT_EQ(rc.autoLevelOffset, d.autoLevelOffset);
        EXPECT_EQ(rc.levelOffsetDb, d.levelOffsetDb);
        EXPECT_EQ(rc.levelFactor, d.levelFactor);
        // Written again, it is a current record with the default block.
        const auto again = record(rc);
        ASSERT_EQ(again.size(), TRoomCabinet::kRecordSize);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), again.begin()));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, RoomCabinetVersion,
                         ::testing::Values(VersionCase{300, false}, VersionCase{309, false},
                                           VersionCase{310, true}, VersionCase{399, true},
                                           VersionCase{400, true}));

TEST(RoomCabinet, OldRecordFollowedByMoreDataLeavesItUnread) {
    TRoomCabinet src;
    fillDistinct(src);
    const auto bytes = record(src); // 1672 bytes, read as a version 300 record
    TRoomCabinet rc;
    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, 300));
    EXPECT_EQ(r.position(), TRoomCabinet::kRecordSizeWithoutMeasured);
    EXPECT_EQ(rc.measuredInUse, 0);
}

TEST(RoomCabinet, TruncatedRecordChangesNothing) {
    TRoomCabinet src;
    fillDistinct(src);
    const auto bytes = record(src);
    TRoomCabinet fresh;
    const auto before = record(fresh);
    for (const int version : {300, 400}) {
        const std::size_t full =
            version < 310 ? TRoomCabinet::kRecordSizeWithoutMeasured : TRoomCabinet::kRecordSize;
        for (std::size_t n = 0; n < full; ++n) {
            SCOPED_TRACE(testing::Message() << version << " " << n);
            TRoomCabinet rc;
            BinaryReader r(std::span(bytes.data(), n));
            ASSERT_FALSE(rc.readRecord(r, version));
            ASSERT_EQ(record(rc), before);
            ASSERT_EQ(rc.window().title(), "SPL in Room & Cabinet");
        }
    }
}

TEST(RoomCabinet, DisplayModeSetsCaptionAndCurves) {
    TRoomCabinet rc;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    EXPECT_EQ(rc.window().title(), "Room & Cabinet Impact");
    ASSERT_EQ(rc.window().curveCount(), 1);
    EXPECT_EQ(rc.window().curve(0).y, rc.roomSpl.data());
    EXPECT_EQ(rc.window().phase(), rc.roomPhase.data());
    rc.setDisplayMode(TRoomCabinet::kShowResponse);
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
    ASSERT_EQ(rc.window().curveCount(), 2);
    EXPECT_EQ(rc.window().curve(1).y, rc.freeFieldSpl.data());

    // A stored mode the program does not know shows the frequency response.
    auto bytes = record(rc);
    bytes[kDisplayMode] = 7;
    TRoomCabinet back;
    back.setDisplayMode(TRoomCabinet::kShowImpact);
    BinaryReader r(bytes);
    ASSERT_TRUE(back.readRecord(r, 400));
    EXPECT_EQ(back.displayMode, TRoomCabinet::kShowResponse);
    EXPECT_EQ(back.window().title(), "SPL in Room & Cabinet");
}

TEST(RoomCabinet, UnusableStoredValuesAreReplaced) {
    TRoomCabinet src;
    fillDistinct(src);
    auto bytes = record(src);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    putF64(bytes, kRoomWidth, nan);
    putF64(bytes, kSpeakerX, std::numeric_limits<double>::infinity());
    putF64(bytes, sourceOffset(0, 3) + 24, -0.1); // negative radius
    putF64(bytes, sourceOffset(2, 1), nan);
    putF64(bytes, kFactors, 1.5);
    putF64(bytes, kFactors + 8, -0.25);
    putF64(bytes, kFactors + 16, nan);
    putF64(bytes, kSummation, nan);
    bytes[kSwitches + 2] = 0x80;
    bytes[kTransition] = 0;
    bytes[kTransition + 1] = 0;
    putF64(bytes, kLevelOffset, 6.0);
    putF64(bytes, kLevelFactor, 0.0);
    std::memset(&bytes[kPath], 'x', 271); // no terminator

    TRoomCabinet rc;
    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, 400));
    const RoomCabinetSettings d;
    EXPECT_EQ(rc.roomWidth, d.roomWidth);
    EXPECT_EQ(rc.speakerX, d.speakerX);
    EXPECT_EQ(rc.speakerY, 1.2);
    EXPECT_EQ(rc.source(SourceGroup::Drivers, 3).radius, d.sources[0][3].radius);
    EXPECT_EQ(rc.source(SourceGroup::Ports2, 1).dX, d.sources[2][1].dX);
    EXPECT_EQ(rc.source(SourceGroup::Ports2, 1).dY, src.source(SourceGroup::Ports2, 1).dY);
    EXPECT_EQ(rc.reflectionFactors.speakerBackWall, 1.0);
    EXPECT_EQ(rc.reflectionFactors.leftWall, 0.0);
    EXPECT_EQ(rc.reflectionFactors.rightWall, d.reflectionFactors.rightWall);
    EXPECT_EQ(rc.summationFactor, 1.0);
    EXPECT_EQ(rc.reflections.rightWall, 1);
    EXPECT_EQ(rc.transitionFrequency, 1);
    EXPECT_NEAR(rc.levelFactor, std::pow(10.0, 6.0 / 20.0), 1e-15);
    EXPECT_EQ(rc.measuredFile, std::string(270, 'x'));
    EXPECT_EQ(record(rc).size(), TRoomCabinet::kRecordSize);
}

TEST(RoomCabinet, ResetRestoresDefaultsAndKeepsThePlacement) {
    TRoomCabinet rc;
    fillDistinct(rc);
    rc.window().setPointCount(50);
    const WindowPlacement placement = rc.window().placement;
    rc.Reset();
    EXPECT_EQ(settings(rc), RoomCabinetSettings{});
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
    EXPECT_EQ(rc.window().pointCount(), 0);
    EXPECT_EQ(rc.window().placement, placement);
    EXPECT_EQ(rc.window().note(), "listening room");
}

TEST(RoomCabinet, AbsorptionAndReflectionFactor) {
    for (const double a : {0.0, 0.05, 0.19, 0.5, 0.99, 1.0}) {
        const double r = TRoomCabinet::reflectionFactorOf(a);
        EXPECT_NEAR(r, std::sqrt(1.0 - a), 1e-15);
        EXPECT_NEAR(TRoomCabinet::absorptionOf(r), a, 1e-15);
    }
    EXPECT_EQ(TRoomCabinet::reflectionFactorOf(1.5), 0.0);
    EXPECT_EQ(TRoomCabinet::reflectionFactorOf(-1.0), 1.0);
}

TEST(RoomCabinet, SourceIndexIsKeptInsideTheGroup) {
    TRoomCabinet rc;
    rc.source(SourceGroup::Ports1, 42).dZ = 0.03;
    EXPECT_EQ(rc.sources[3][8].dZ, 0.03);
    rc.source(SourceGroup::Drivers, -1).dZ = 0.02;
    EXPECT_EQ(rc.sources[0][0].dZ, 0.02);
}
