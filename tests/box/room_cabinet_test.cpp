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
