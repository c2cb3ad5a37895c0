#include "box/room_cabinet.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
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
constexpr std::size_t kRoomWidth = 1302, kSwitches = 1310, kDisplayMode = 1317, kFactors = 1324,
                      kSummation = 1372, kPath = 1381, kTransition = 1653, kLevelFactor = 1664;

std::size_t sourceAt(int group, int index) {
    return 70 + static_cast<std::size_t>(group * 9 + index) * 32;
}

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

TEST(RoomCabinet, RecordLayoutAndRoundTrip) {
    TRoomCabinet src;
    fillDistinct(src);
    const Bytes b = record(src);
    ASSERT_EQ(b.size(), 1672u);
    // Groups in file order: drivers, passive radiators, second ports, first ports.
    EXPECT_EQ(at<double>(b, sourceAt(3, 8) + 24), src.source(SourceGroup::Ports1, 8).radius);
    EXPECT_EQ(at<double>(b, sourceAt(1, 0)), src.source(SourceGroup::PassiveRadiators, 0).dX);
    EXPECT_EQ(at<double>(b, kRoomWidth), 5.3);
    // Switches: speaker back, left, right, floor, ceiling, listener back; the factors have the
    // ceiling before the floor.
    EXPECT_EQ(Bytes(b.begin() + kSwitches, b.begin() + kSwitches + 6), (Bytes{1, 0, 1, 0, 0, 1}));
    EXPECT_EQ(at<std::int32_t>(b, kDisplayMode), TRoomCabinet::kShowImpact);
    EXPECT_EQ(at<double>(b, kFactors + 24), 0.55);
    EXPECT_EQ(at<double>(b, kFactors + 32), 0.44);
    EXPECT_EQ(b[kPath - 1], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[kPath]), "data/woofer.frd");
    EXPECT_EQ(at<std::int16_t>(b, kTransition), 456);
    EXPECT_EQ(at<double>(b, kLevelFactor), 0.668);

    TRoomCabinet back;
    BinaryReader r(b);
    ASSERT_TRUE(back.readRecord(r, 310)); // the first version with the measured block
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(settings(back), settings(src));
    EXPECT_EQ(record(back), b);
    EXPECT_EQ(back.window().title(), "Room & Cabinet Impact");
}

TEST(RoomCabinet, FilesBeforeVersion310HaveNoMeasuredBlock) {
    TRoomCabinet src;
    fillDistinct(src);
    const Bytes bytes = record(src);
    // The target had measured data of its own: an old file still leaves the defaults.
    TRoomCabinet rc;
    rc.measuredInUse = 1;
    rc.setMeasuredFile("old.frd");
    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, 309));
    EXPECT_EQ(r.position(), 1380u); // the rest is not ours
    TRoomCabinet fresh;
    Bytes want(bytes.begin(), bytes.begin() + 1380);
    const Bytes defaults = record(fresh);
    want.insert(want.end(), defaults.begin() + 1380, defaults.end());
    EXPECT_EQ(record(rc), want);
}

TEST(RoomCabinet, TruncatedRecordChangesNothing) {
    TRoomCabinet src;
    fillDistinct(src);
    const Bytes bytes = record(src);
    TRoomCabinet rc;
    const Bytes before = record(rc);
    for (const int version : {300, 400}) {
        const std::size_t full = version < 310 ? 1380 : 1672;
        for (std::size_t n = 0; n < full; ++n) {
            BinaryReader r(std::span(bytes.data(), n));
            ASSERT_FALSE(rc.readRecord(r, version)) << version << " " << n;
            ASSERT_EQ(record(rc), before) << version << " " << n;
        }
    }
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
}

TEST(RoomCabinet, DisplayModeSetsCaptionAndCurves) {
    TRoomCabinet rc;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
    EXPECT_EQ(rc.window().title(), "Room & Cabinet Impact");
    EXPECT_EQ(rc.window().curveCount(), 1);

    // A stored mode the program does not know shows the frequency response.
    Bytes bytes = record(rc);
    bytes[kDisplayMode] = 7;
    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, 400));
    EXPECT_EQ(rc.displayMode, TRoomCabinet::kShowResponse);
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
    ASSERT_EQ(rc.window().curveCount(), 2);
    EXPECT_EQ(rc.window().curve(1).y, rc.freeFieldSpl.data());
}

TEST(RoomCabinet, UnusableStoredValuesAreReplaced) {
    TRoomCabinet rc;
    Bytes bytes = record(rc);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    putF64(bytes, kRoomWidth, std::numeric_limits<double>::infinity());
    putF64(bytes, sourceAt(0, 3) + 24, -0.1); // negative radius
    putF64(bytes, kFactors, 1.5);
    putF64(bytes, kFactors + 8, -0.25);
    putF64(bytes, kFactors + 16, nan);
    putF64(bytes, kSummation, nan);
    bytes[kSwitches + 2] = 0x80;
    bytes[kTransition] = bytes[kTransition + 1] = 0;
    putF64(bytes, kLevelFactor - 8, 6.0); // level offset
    putF64(bytes, kLevelFactor, 0.0);
    std::memset(&bytes[kPath], 'x', 271); // no terminator

    BinaryReader r(bytes);
    ASSERT_TRUE(rc.readRecord(r, 400));
    const RoomCabinetSettings d;
    EXPECT_EQ(rc.roomWidth, d.roomWidth);
    EXPECT_EQ(rc.source(SourceGroup::Drivers, 3).radius, d.sources[0][3].radius);
    EXPECT_EQ(rc.reflectionFactors.speakerBackWall, 1.0);
    EXPECT_EQ(rc.reflectionFactors.leftWall, 0.0);
    EXPECT_EQ(rc.reflectionFactors.rightWall, d.reflectionFactors.rightWall);
    EXPECT_EQ(rc.summationFactor, 1.0);
    EXPECT_EQ(rc.reflections.rightWall, 1);
    EXPECT_EQ(rc.transitionFrequency, 1);
    EXPECT_NEAR(rc.levelFactor, std::pow(10.0, 6.0 / 20.0), 1e-15);
    EXPECT_EQ(rc.measuredFile, std::string(270, 'x'));
}

TEST(RoomCabinet, ResetRestoresDefaultsAndKeepsPlacementAndNote) {
    TRoomCabinet rc;
    fillDistinct(rc);
    rc.window().setPointCount(50);
    rc.Reset();
    EXPECT_EQ(settings(rc), RoomCabinetSettings{});
    EXPECT_EQ(rc.window().title(), "SPL in Room & Cabinet");
    EXPECT_EQ(rc.window().pointCount(), 0);
    EXPECT_EQ(rc.window().placement.v[9], 10);
    EXPECT_EQ(rc.window().note(), "listening room");
}

TEST(RoomCabinet, AbsorptionReflectionFactorAndSourceIndex) {
    for (const double a : {0.0, 0.19, 1.0}) {
        EXPECT_NEAR(TRoomCabinet::reflectionFactorOf(a), std::sqrt(1.0 - a), 1e-15);
        EXPECT_NEAR(TRoomCabinet::absorptionOf(std::sqrt(1.0 - a)), a, 1e-15);
    }
    EXPECT_EQ(TRoomCabinet::reflectionFactorOf(1.5), 0.0);
    EXPECT_EQ(TRoomCabinet::reflectionFactorOf(-1.0), 1.0);

    TRoomCabinet rc;
    EXPECT_EQ(&rc.source(SourceGroup::Ports1, 42), &rc.sources[3][8]);
    EXPECT_EQ(&rc.source(SourceGroup::Drivers, -1), &rc.sources[0][0]);
}
