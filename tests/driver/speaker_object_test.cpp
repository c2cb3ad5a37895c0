#include "driver/speaker_object.h"

#include "core/binary_io.h"
#include "core/measure_setup.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <tuple>

namespace harlox {
namespace {

using Cx = std::complex<double>;
using M = ConnectionMultipliers;
using S = TSpeakerObject;

void expectNear(Cx a, Cx b) {
    EXPECT_LE(std::abs(a - b), 1e-12 * std::max(std::abs(a), std::abs(b))) << a << " vs " << b;
}

// ---- wiring ---------------------------------------------------------------------------

TEST(SpeakerConnections, NamesMultipliersAndTheResetToSeries) {
    struct C {
        int index, n;
        const char* name;
        M multipliers;
    };
    for (const C& c : {C{0, 7, "Series", {7, 1.0 / 7, 1.0 / 7}}, C{1, 3, "Parallell", {1.0 / 3, 1, 3}},
                       C{2, 4, "2-2", {1, 0.5, 1}}, C{3, 6, "2-2-2", {1.5, 1.0 / 3, 2.0 / 3}},
                       C{4, 6, "3-3", {2.0 / 3, 0.5, 1.5}}, C{5, 8, "2-2-2-2", {2, 0.25, 0.5}},
                       C{6, 8, "4-4", {0.5, 0.5, 2}}, C{7, 9, "3-3-3", {1, 1.0 / 3, 1}},
                       C{8, 5, "Sep. sources", {1, 1, 1}}}) {
        EXPECT_STREQ(S::connectionName(c.index), c.name);
        EXPECT_TRUE(S::connectionOffered(c.index, c.n));
        EXPECT_EQ(S::driverMultipliers(c.index, c.n), c.multipliers) << c.name;
    }

    // A count change resets the wiring to series.
    EXPECT_EQ(S::offeredConnections(8), (std::vector<int>{0, 1, 5, 6, 8}));
    S s;
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
    EXPECT_FALSE(s.setCoilConnection(3));
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
        expectNear(P[k], k < first ? sim[k] * std::polar(1.0, -4 * std::atan(g.f[k] / 500.0))
                                   : s.measured[k] * scale);
        if (k >= first) expectNear(s.measuredRatio[k], P[k] / sim[k]);
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

// A record in file order. The path fills its block as given, without a terminator when full.
std::vector<std::uint8_t> record(double extraMass, std::int32_t drivers, std::array<std::uint8_t, 4> flags,
                                 std::array<std::int16_t, 3> connections, std::array<double, 6> groups,
                                 std::string path, std::int16_t transition, std::array<double, 3> level) {
    BinaryWriter w;
    w.f64(extraMass);
    w.i32(drivers);
    for (std::uint8_t flag : flags) // isobaric, BL, coil heating, Cms
        w.u8(flag);
    for (std::int16_t connection : connections) // isobaric, coil, drivers
        w.i16(connection);
    for (double m : groups) // the driver group, the isobaric group
        w.f64(m);
    w.u8(0); // measured data usable
    path.resize(kPathBlock, '\0');
    w.bytes(path.data(), path.size());
    w.u8(0); // measured data disabled
    w.i16(transition);
    w.u8(1);               // automatic level
    for (double v : level) // level offset and scale, phase lag cutoff
        w.f64(v);
    return w.buffer();
}

TEST(SpeakerRecord, Is370BytesInFileOrderRoundTripsAndTruncationsChangeNothing) {
    const auto want =
        record(0.003, 8, {1, 0, 0, 1}, {0, 1, 5}, {2.0, 0.25, 0.5, 2.0, 0.5, 0.5}, "data/meas.frd", 1234,
               {-6.0, std::pow(10.0, -0.3), 777.0}); // "2-2-2-2", isobaric series
    ASSERT_EQ(want.size(), S::kRecordSize);
    S s;
    BinaryReader r(want);
    ASSERT_TRUE(s.readRecord(r, nullptr));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ((std::tuple{s.extraMass, s.driverConnection, s.coilConnection, s.importFileText(),
                          s.transitionFrequency, s.phaseLagCutoff}),
              (std::tuple{0.003, 5, 1, "data/meas.frd", 1234, 777.0}));
    BinaryWriter w;
    ASSERT_TRUE(s.writeRecord(w));
    EXPECT_EQ(w.buffer(), want);

    for (std::size_t len = 0; len < S::kRecordSize; ++len) {
        S t;
        ASSERT_TRUE(t.setExtraMass(0.5));
        BinaryReader cut(std::span<const std::uint8_t>(w.buffer().data(), len));
        EXPECT_FALSE(t.readRecord(cut, nullptr));
        EXPECT_EQ(t.driverCount, 1);
        EXPECT_EQ(t.extraMass, 0.5);
    }
}

TEST(SpeakerRecord, HostileValuesAreBroughtIntoRange) {
    // "2-2" is not offered for nine drivers; stored groups are not trusted.
    const auto bytes =
        record(std::nan(""), 1000, {7, 0, 0, 0}, {9, -4, 2}, {1e300, 1e300, 1e300, 1e300, 1e300, 1e300},
               std::string(kPathBlock, 'x'), -5, {1e9, -1.0, std::nan("")});
    S s;
    BinaryReader r(bytes);
    ASSERT_TRUE(s.readRecord(r, nullptr));
    EXPECT_EQ((std::tuple{s.extraMass, s.driverCount, s.isobaric, s.isobaricConnection, s.coilConnection,
                          s.transitionFrequency, s.levelOffsetDb, s.levelScale, s.phaseLagCutoff}),
              (std::tuple{0.0, 9, 1, S::kPairSeparate, S::kPairSeparate, 1, 0.0, 1.0, 100000.0}));
    EXPECT_EQ(s.driverGroup, (M{9, 1.0 / 9, 1.0 / 9})); // series
    EXPECT_EQ(s.isobaricGroup, M{});
    EXPECT_EQ(s.importFileText().size(), kPathBlock - 1);
}

} // namespace
} // namespace harlox
