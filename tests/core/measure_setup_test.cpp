#include "core/measure_setup.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <span>
#include <tuple>

namespace harlox {
namespace {

TEST(MeasureSetup, LogGridUgPgCouplingAndDataSheetLines) {
    FrequencyGrid g;
    g.build(10, 20, 2000);
    ASSERT_EQ(g.count, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NEAR(g.f[i], 20.0 * std::pow(10.0, 2.0 * i / 9.0), 1e-12 * g.f[i]);
        EXPECT_EQ(g.w[i], g.f[i] * 6.28318530718);
    }

    MeasureSetup s; // Pg = Ug^2 / 8 both ways
    s.setPg(2.0);
    EXPECT_DOUBLE_EQ(s.Ug, 4.0);
    s.setUg(2.83);
    EXPECT_DOUBLE_EQ(s.Pg, 2.83 * 2.83 / 8);
    s.Lg = 0.0015;
    const std::vector<std::string> expected = {
        "Setup",         " Start freq.\t20 Hz", " Stop freq.\t2000 Hz", " # plot points\t50",
        " Ug\t\t2.83 V", " Rg\t\t0.00 Ohm",     " Lg\t\t1.50 mH",       " Pg\t\t1.001 W"};
    EXPECT_EQ(s.dataSheetLines(), expected);
}

TEST(MeasureSetup, RecordIs51LittleEndianBytesShortRecordsChangeNothingAndValuesAreClamped) {
    const std::vector<std::uint8_t> record = {
        0, 1, 40, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10, 0x40, 0, 0, 0,
        0, 0, 0,  0xE0, 0x3F, 0xFC, 0xA9, 0xF1, 0xD2, 0x4D, 0x62, 0x50, 0x3F, 0,    0, 0, 0,
        0, 0, 0,  0x40, 200,  0,    0,    0,    10,   0,    0,    0,    0x88, 0x13, 0, 0, 1};
    MeasureSetup s;
    BinaryReader r(record);
    ASSERT_TRUE(s.readRecord(r));
    EXPECT_EQ((std::tuple{s.calculateImmediately, s.autorange, s.rangeDb, s.Ug, s.Rg, s.Lg, s.Pg,
                          s.pointCount, s.startFrequency, s.stopFrequency, s.hidePhase}),
              (std::tuple{0, 1, 40, 4.0, 0.5, 0.001, 2.0, 200, 10, 5000, 1}));
    EXPECT_EQ(s.grid.count, 200); // a completed read rebuilds the grid
    EXPECT_NEAR(s.grid.f[199], 5000, 1e-9);
    BinaryWriter w;
    ASSERT_TRUE(s.writeRecord(w));
    EXPECT_EQ(w.buffer(), record);

    for (std::size_t cut = 0; cut < MeasureSetup::kRecordSize; ++cut) {
        MeasureSetup t;
        BinaryReader shortReader(std::span(w.buffer()).first(cut));
        EXPECT_FALSE(t.readRecord(shortReader));
        EXPECT_EQ(t.pointCount, 50);
    }

    // Hostile records are clamped.
    using C = std::array<std::int32_t, 6>; // points, start, stop as written and as read
    for (const auto& [points, start, stop, wantPoints, wantStart, wantStop] :
         {C{100000, -5, 99999, 500, 1, 20000}, C{3, 0, 0, 10, 1, 11}, C{-1, 20000, 100, 10, 19990, 20000}}) {
        s.pointCount = points;
        s.startFrequency = start;
        s.stopFrequency = stop;
        BinaryWriter hostile;
        s.writeRecord(hostile);
        BinaryReader hr(hostile.buffer());
        ASSERT_TRUE(s.readRecord(hr));
        EXPECT_EQ((std::array{s.pointCount, s.startFrequency, s.stopFrequency, s.grid.count}),
                  (std::array{wantPoints, wantStart, wantStop, wantPoints}));
    }
}

TEST(MeasureSetup, PreferencesComeBackUnlessForcedOrShort) {
    test::TempDir dir;
    setPreferencesDirectory(dir.path());
    MeasureSetup s;
    s.pointCount = 120;
    ASSERT_TRUE(s.savePreferences());
    MeasureSetup t;
    t.SetDefaults(false);
    EXPECT_EQ(t.pointCount, 120);
    t.SetDefaults(true);
    EXPECT_EQ(t.pointCount, 50);

    test::writeAll(dir.file("msetup.prf"), std::vector<std::uint8_t>(50, 1));
    t.pointCount = 77;
    t.SetDefaults(false);
    EXPECT_EQ(t.pointCount, 50);
    setPreferencesDirectory("");
}

} // namespace
} // namespace harlox