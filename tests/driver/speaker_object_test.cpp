#include "driver/speaker_object.h"

#include "core/binary_io.h"
#include "core/measure_setup.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace harlox {
namespace {

using Cx = std::complex<double>;
using M = ConnectionMultipliers;
using S = TSpeakerObject;

void expectNear(Cx a, Cx b) {
    EXPECT_LE(std::abs(a - b), 1e-12 * std::max(std::abs(a), std::abs(b))) << a << " vs " << b;
}

// ---- wiring ---------------------------------------------------------------------------

struct ConnectionCase {
    int index;
    int n;
    const char* name;
    M multipliers;
};

class ConnectionTable : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(ConnectionTable, NameAndMultipliersFollowTheTable) {
    const auto& c = GetParam();
    EXPECT_STREQ(S::connectionName(c.index), c.name);
    EXPECT_TRUE(S::connectionOffered(c.index, c.n));
    EXPECT_EQ(S::driverMultipliers(c.index, c.n), c.multipliers);
}

INSTANTIATE_TEST_SUITE_P(All, ConnectionTable,
                         ::testing::Values(ConnectionCase{0, 2, "Series", {2, 0.5, 0.5}},
                                           ConnectionCase{0, 7, "Series", {7, 1.0 / 7, 1.0 / 7}},
                                           ConnectionCase{1, 3, "Parallell", {1.0 / 3, 1, 3}},
                                           ConnectionCase{1, 9, "Parallell", {1.0 / 9, 1, 9}},
                                           ConnectionCase{2, 4, "2-2", {1, 0.5, 1}},
                                           ConnectionCase{3, 6, "2-2-2", {1.5, 1.0 / 3, 2.0 / 3}},
                                           ConnectionCase{4, 6, "3-3", {2.0 / 3, 0.5, 1.5}},
                                           ConnectionCase{5, 8, "2-2-2-2", {2, 0.25, 0.5}},
                                           ConnectionCase{6, 8, "4-4", {0.5, 0.5, 2}},
                                           ConnectionCase{7, 9, "3-3-3", {1, 1.0 / 3, 1}},
                                           ConnectionCase{8, 5, "Sep. sources", {1, 1, 1}}));

TEST(SpeakerConnections, ACountChangeResetsTheWiringToSeries) {
    EXPECT_EQ(S::offeredConnections(8), (std::vector<int>{0, 1, 5, 6, 8}));
    S s;
    EXPECT_EQ(s.driverConnection, S::kSeparateSourcesConnection);
    ASSERT_TRUE(s.setDriverCount(4));
    EXPECT_EQ(s.driverConnection, S::kSeriesConnection);
    EXPECT_FALSE(s.setDriverConnection(3)); // "2-2-2" needs six drivers
    ASSERT_TRUE(s.setDriverConnection(1));
    ASSERT_TRUE(s.setDriverCount(6)); // even a wiring that six drivers could keep
    EXPECT_EQ(s.driverConnection, S::kSeriesConnection);
    ASSERT_TRUE(s.setDriverConnection(1));
    ASSERT_TRUE(s.setDriverCount(1)); // one driver keeps a wiring offered for one,
    EXPECT_EQ(s.driverConnection, 1);
    ASSERT_TRUE(s.setDriverCount(4));
    ASSERT_TRUE(s.setDriverConnection(2));
    ASSERT_TRUE(s.setDriverCount(1)); // but not "2-2", which would halve its voltage
    EXPECT_EQ(s.driverConnection, S::kSeriesConnection);
    EXPECT_FALSE(s.setDriverCount(10));
}

TEST(SpeakerConnections, IsobaricAndCoilGroupsApplyOnlyWhenTheirOptionIsOn) {
    S s;
    s.SetDefaultUnit();
    ASSERT_TRUE(s.setIsobaricConnection(S::kPairSeries));
    ASSERT_TRUE(s.setCoilConnection(S::kPairParallel));
    EXPECT_EQ(s.isobaricGroup, M{});
    EXPECT_EQ(s.coilGroup, M{}); // a single-coil unit
    s.setIsobaric(true);
    EXPECT_EQ(s.isobaricGroup, (M{2, 0.5, 0.5}));
    s.dualCoil = 1;
    s.UnitEdited();
    EXPECT_EQ(s.coilGroup, (M{0.5, 1, 2}));
    ASSERT_TRUE(s.setDriverCount(2)); // series
    EXPECT_DOUBLE_EQ(s.impedanceMultiplier(), 2 * 2 * 0.5);
    EXPECT_DOUBLE_EQ(s.voltageMultiplier(), 0.5 * 0.5 * 1);
    EXPECT_DOUBLE_EQ(s.sourceMultiplier(), 0.5 * 0.5 * 2);
    EXPECT_FALSE(s.setCoilConnection(3));
    EXPECT_EQ(s.unitOk, 1);
    s.Bl = 0;
    s.UnitEdited();
    EXPECT_EQ(s.unitOk, 0);
}

// ---- measured SPL data ----------------------------------------------------------------

TEST(SpeakerImport, SpliceLagsTheSimulationAndLevelMatchesTheMeasurement) {
    test::TempDir dir;
    std::ofstream(dir.file("m.frd")) << "100 90 10\n200 84 -20\n1000 80 30\n";
    FrequencyGrid g;
    g.build(40, 20, 2000);
    const auto n = static_cast<std::size_t>(g.count);
    S s;
    s.setImportFile(dir.file("m.frd"));
    ASSERT_TRUE(s.ReadImportedData(g, nullptr));
    ASSERT_TRUE(s.setPhaseLagCutoff(500)); // the transition stays at 300 Hz
    std::array<Cx, kMaxPoints> sim{};
    for (std::size_t k = 0; k < n; ++k)
        sim[k] = Cx(1000.0 + k, -30.0 * k);
    auto P = sim;
    s.SpliceImportedData(g, P.data());

    std::size_t first = 0;
    while (g.f[first] < 300)
        ++first;
    const double scale = std::abs(sim[first - 1]) / std::abs(s.measured[first]);
    EXPECT_NEAR(s.levelOffsetDb, 20 * std::log10(scale), 1e-9);
    for (std::size_t k = 0; k < n; ++k) {
        if (k < first) {
            expectNear(P[k], sim[k] * std::polar(1.0, -4 * std::atan(g.f[k] / 500.0)));
        } else {
            expectNear(P[k], s.measured[k] * scale);
            expectNear(s.measuredRatio[k], P[k] / sim[k]);
        }
    }

    // A transition below the start frequency: nothing simulated to match, scale 1.
    ASSERT_TRUE(s.setTransitionFrequency(10));
    P = sim;
    s.SpliceImportedData(g, P.data());
    EXPECT_EQ(s.levelScale, 1.0);
    expectNear(P[0], s.measured[0]);
    // Disabled data leaves the simulation alone.
    s.importDisabled = 1;
    P = sim;
    s.SpliceImportedData(g, P.data());
    EXPECT_EQ(P[5], sim[5]);
}

// ---- data sheet -----------------------------------------------------------------------

std::string sheet(const S& s, std::string_view heading = "Driver") {
    std::string out;
    for (const std::string& line : s.dataSheetLines(heading))
        out += line + "\n";
    return out;
}

TEST(SpeakerDataSheet, EveryOptionAddsItsLines) {
    test::TempDir dir;
    const std::string meas = dir.file("m.frd");
    std::ofstream(meas) << "10 80 0\n20000 80 0\n";
    S s;
    s.SetDefaultUnit();
    const std::string unit = " Manufacturer\tPEERLESS\n Model\t\t180 WR/832732\n Filename\t832732.UNT\n";
    EXPECT_EQ(sheet(s), "Driver\n" + unit + " # drivers\t1\n Extra mass\t0.0 g\n");

    s.dualCoil = 1;
    s.UnitEdited();
    ASSERT_TRUE(s.setDriverCount(6));
    ASSERT_TRUE(s.setDriverConnection(4));
    ASSERT_TRUE(s.setExtraMass(0.0125));
    s.blNonlinear = s.coilHeating = s.cmsNonlinear = 1;
    s.setIsobaric(true);
    ASSERT_TRUE(s.setIsobaricConnection(1));
    ASSERT_TRUE(s.setCoilConnection(0));
    s.setImportFile(meas);
    FrequencyGrid g;
    g.build(50, 20, 2000);
    ASSERT_TRUE(s.ReadImportedData(g, nullptr));
    ASSERT_TRUE(s.setTransitionFrequency(450));
    ASSERT_TRUE(s.setPhaseLagCutoff(2500.4));
    EXPECT_EQ(sheet(s, "Front driver"),
              "Front driver\n" + unit +
                  " # drivers\t6\n Extra mass\t12.5 g\n Simulation of BL non linearity ON\n"
                  " Simulation of voice coil heating ON\n Simulation of Cms non linearity ON\n"
                  " Isobarik configuration with\n  speaker units connected in parallell\n"
                  " Double voice coil with\n  voice coils connected in series\n"
                  " Electrical connection of drivers : 3-3\n Imported SPL data : " +
                  meas + "\n   Transition freq. \t450 Hz\n   Phase lag cutoff. \t2500 Hz\n");

    // The other wirings' phrases; disabled measured data drops its lines.
    s.importDisabled = 1;
    ASSERT_TRUE(s.setIsobaricConnection(0));
    ASSERT_TRUE(s.setCoilConnection(2));
    EXPECT_EQ(s.dataSheetLines().size(), 14u);
    EXPECT_EQ(s.dataSheetLines()[10], "  speaker units connected in series");
    EXPECT_EQ(s.dataSheetLines()[12], "  separate sources for the two voice coils");
    ASSERT_TRUE(s.setIsobaricConnection(2));
    ASSERT_TRUE(s.setCoilConnection(1));
    EXPECT_EQ(s.dataSheetLines()[10], "  separate sources for speaker units");
    EXPECT_EQ(s.dataSheetLines()[12], "  voice coils connected in parallell");
}

// ---- project-file record ------------------------------------------------------------

TEST(SpeakerRecord, Is370BytesInFileOrderAndRoundTrips) {
    BinaryWriter want;
    want.f64(0.003);
    want.i32(8);
    for (std::uint8_t flag : {1, 0, 0, 1}) // isobaric, BL, coil heating, Cms
        want.u8(flag);
    for (std::int16_t connection : {0, 1, 5}) // isobaric, coil, drivers
        want.i16(connection);
    for (double m : {2.0, 0.25, 0.5, 2.0, 0.5, 0.5}) // the "2-2-2-2" group, the isobaric series group
        want.f64(m);
    want.u8(0);
    want.textBlock("data/meas.frd", kPathBlock);
    want.u8(0);
    want.i16(1234);
    want.u8(1);
    for (double v : {-6.0, std::pow(10.0, -0.3), 777.0}) // level offset and scale, cutoff
        want.f64(v);
    ASSERT_EQ(want.size(), S::kRecordSize);

    S s;
    BinaryReader r(want.buffer());
    ASSERT_TRUE(s.readRecord(r, nullptr));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(s.extraMass, 0.003);
    EXPECT_EQ(s.driverConnection, 5);
    EXPECT_EQ(s.coilConnection, 1);
    EXPECT_EQ(s.importFileText(), "data/meas.frd");
    EXPECT_EQ(s.transitionFrequency, 1234);
    EXPECT_EQ(s.phaseLagCutoff, 777.0);
    BinaryWriter w;
    ASSERT_TRUE(s.writeRecord(w));
    EXPECT_EQ(w.buffer(), want.buffer());
}

TEST(SpeakerRecord, EveryTruncationFailsAndLeavesTheConfigurationUnchanged) {
    S s;
    ASSERT_TRUE(s.setDriverCount(3));
    BinaryWriter w;
    s.writeRecord(w);
    for (std::size_t len = 0; len < w.size(); ++len) {
        S t;
        ASSERT_TRUE(t.setExtraMass(0.5));
        BinaryReader r(std::span<const std::uint8_t>(w.buffer().data(), len));
        EXPECT_FALSE(t.readRecord(r, nullptr));
        EXPECT_EQ(t.driverCount, 1);
        EXPECT_EQ(t.extraMass, 0.5);
    }
}

TEST(SpeakerRecord, HostileValuesAreBroughtIntoRange) {
    BinaryWriter w;
    w.f64(std::nan("")); // extra mass
    w.i32(1000);         // drivers
    for (std::uint8_t flag : {7, 0, 0, 0})
        w.u8(flag);
    for (std::int16_t connection : {9, -4, 2}) // "2-2" is not offered for nine drivers
        w.i16(connection);
    for (int i = 0; i < 6; ++i)
        w.f64(1e300); // stored groups are not trusted
    w.u8(0);
    const std::string path(kPathBlock, 'x'); // no terminator
    w.bytes(path.data(), path.size());
    w.u8(0);
    w.i16(-5); // transition
    w.u8(1);
    for (double v : {1e9, -1.0, std::nan("")}) // offset, scale, cutoff
        w.f64(v);
    ASSERT_EQ(w.size(), S::kRecordSize);

    S s;
    BinaryReader r(w.buffer());
    ASSERT_TRUE(s.readRecord(r, nullptr));
    EXPECT_EQ(s.extraMass, 0.0);
    EXPECT_EQ(s.driverCount, 9);
    EXPECT_EQ(s.isobaric, 1);
    EXPECT_EQ(s.isobaricConnection, S::kPairSeparate);
    EXPECT_EQ(s.coilConnection, S::kPairSeparate);
    EXPECT_EQ(s.driverGroup, (M{9, 1.0 / 9, 1.0 / 9})); // series
    EXPECT_EQ(s.isobaricGroup, M{});
    EXPECT_EQ(s.importFileText().size(), kPathBlock - 1);
    EXPECT_EQ(s.transitionFrequency, 1);
    EXPECT_EQ(s.levelOffsetDb, 0.0);
    EXPECT_EQ(s.levelScale, 1.0);
    EXPECT_EQ(s.phaseLagCutoff, 100000.0);
}

} // namespace
} // namespace harlox
