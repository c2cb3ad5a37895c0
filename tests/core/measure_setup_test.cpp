#include "core/measure_setup.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace harlox {
namespace {

TEST(FrequencyGrid, TenPointsFromTwentyToTwoThousand) {
    FrequencyGrid g;
    g.build(10, 20, 2000);
    ASSERT_EQ(g.count, 10);
    EXPECT_EQ(g.f[0], 20.0);
    EXPECT_NEAR(g.f[1], 33.4, 0.05);
    EXPECT_NEAR(g.f[2], 55.7, 0.05);
    EXPECT_NEAR(g.f[9], 2000.0, 1e-9);
    for (int i = 1; i < 10; ++i) {
        EXPECT_NEAR(g.f[i] / g.f[i - 1], std::pow(10.0, 2.0 / 9.0), 1e-12);
        EXPECT_EQ(g.w[i], g.f[i] * 6.28318530718);
    }
}

TEST(FrequencyGrid, SmallestSpanEndsExactlyAtTheStop) {
    FrequencyGrid g;
    g.build(500, 1, 11);
    EXPECT_EQ(g.count, 500);
    EXPECT_NEAR(g.f[499], 11.0, 1e-12);
}

TEST(MeasureSetup, GeneratorValuesAreCoupled) {
    MeasureSetup s;
    s.setPg(2.0);
    EXPECT_DOUBLE_EQ(s.Ug, 4.0);
    s.setUg(2.83);
    EXPECT_NEAR(s.Pg, 1.0011, 1e-4);
}

TEST(MeasureSetup, RecordIs51BytesInTheDocumentedOrder) {
    MeasureSetup s;
    s.calculateImmediately = 0;
    s.autorange = 1;
    s.rangeDb = 40;
    s.Ug = 4;
    s.Rg = 0.5;
    s.Lg = 0.001;
    s.Pg = 2;
    s.pointCount = 200;
    s.startFrequency = 10;
    s.stopFrequency = 5000;
    s.hidePhase = 1;
    BinaryWriter w;
    ASSERT_TRUE(s.writeRecord(w));
    ASSERT_EQ(w.size(), MeasureSetup::kRecordSize);
    const auto& b = w.buffer();
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 1);
    EXPECT_EQ(b[2], 40);
    EXPECT_EQ(b[6 + 7], 0x40); // Ug = 4.0: 0x4010000000000000
    EXPECT_EQ(b[38], 200);
    EXPECT_EQ(b[42], 10);
    EXPECT_EQ(b[46] | (b[47] << 8), 5000);
    EXPECT_EQ(b[50], 1);

    MeasureSetup back;
    BinaryReader r(b);
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_EQ(back.pointCount, 200);
    EXPECT_EQ(back.Lg, 0.001);
    EXPECT_EQ(back.grid.count, 200); // a completed read rebuilds the grid
    EXPECT_NEAR(back.grid.f[199], 5000, 1e-9);
}

TEST(MeasureSetup, ShortRecordChangesNothingAndHostileValuesAreBounded) {
    MeasureSetup s;
    BinaryWriter w;
    s.pointCount = 100000; // a damaged file
    s.startFrequency = -5;
    s.writeRecord(w);
    for (std::size_t cut = 0; cut < MeasureSetup::kRecordSize; ++cut) {
        MeasureSetup t;
        BinaryReader r(std::span(w.buffer()).first(cut));
        EXPECT_FALSE(t.readRecord(r));
        EXPECT_EQ(t.pointCount, 50);
    }
    MeasureSetup t;
    BinaryReader r(w.buffer());
    ASSERT_TRUE(t.readRecord(r));
    EXPECT_EQ(t.pointCount, 500);
    EXPECT_EQ(t.grid.count, 500);
    EXPECT_GE(t.startFrequency, 1);
}

class Preferences : public ::testing::Test {
protected:
    test::TempDir dir;
    void SetUp() override { setPreferencesDirectory(dir.path()); }
    void TearDown() override { setPreferencesDirectory(""); }
};

TEST_F(Preferences, SavedPreferencesComeBackUnlessForced) {
    MeasureSetup s;
    s.setUg(10);
    s.pointCount = 120;
    ASSERT_TRUE(s.savePreferences());
    EXPECT_EQ(test::readAll(dir.file("msetup.prf")).size(), 51u);

    MeasureSetup t;
    t.SetDefaults(false);
    EXPECT_EQ(t.pointCount, 120);
    EXPECT_EQ(t.Ug, 10);
    EXPECT_EQ(t.setupChanged, 1);
    t.SetDefaults(true);
    EXPECT_EQ(t.pointCount, 50);
    EXPECT_EQ(t.Ug, 2.83);
}

TEST_F(Preferences, ShortFileLeavesTheDefaults) {
    test::writeAll(dir.file("msetup.prf"), std::vector<std::uint8_t>(50, 1));
    MeasureSetup t;
    t.pointCount = 77;
    t.SetDefaults(false);
    EXPECT_EQ(t.pointCount, 50);
    EXPECT_EQ(t.calculateImmediately, 1);
}

TEST(MeasureSetup, DataSheetLines) {
    MeasureSetup s;
    s.Lg = 0.0015;
    const std::vector<std::string> expected = {"Setup",         " Start freq.\t20 Hz", " Stop freq.\t2000 Hz",
                                               " # plot points\t50", " Ug\t\t2.83 V", " Rg\t\t0.00 Ohm",
                                               " Lg\t\t1.50 mH", " Pg\t\t1.000 W"};
    EXPECT_EQ(s.dataSheetLines(), expected);
}

} // namespace
} // namespace harlox
