#include "driver/speaker_object.h"

#include "core/binary_io.h"
#include "core/measure_setup.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <tuple>

namespace harlox {
namespace {

using Cx = std::complex<double>;

void expectNear(Cx a, Cx b, double rel = 1e-12) {
    const double scale = std::max(std::abs(a), std::abs(b));
    EXPECT_LE(std::abs(a - b), rel * scale) << a << " vs " << b;
}

FrequencyGrid makeGrid(int n = 50, int start = 20, int stop = 2000) {
    FrequencyGrid g;
    g.build(n, start, stop);
    return g;
}

// ---- connection table --------------------------------------------------------------

struct ConnectionCase {
    int index;
    int n;
    const char* name;
    double mZ, mU, mS;
};

class ConnectionTable : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(ConnectionTable, NameAndMultipliersFollowTheTable) {
    const auto& c = GetParam();
    EXPECT_STREQ(TSpeakerObject::connectionName(c.index), c.name);
    EXPECT_TRUE(TSpeakerObject::connectionOffered(c.index, c.n));
    const auto m = TSpeakerObject::driverMultipliers(c.index, c.n);
    EXPECT_DOUBLE_EQ(m.mZ, c.mZ);
    EXPECT_DOUBLE_EQ(m.mU, c.mU);
    EXPECT_DOUBLE_EQ(m.mS, c.mS);
}

INSTANTIATE_TEST_SUITE_P(All, ConnectionTable,
                         ::testing::Values(ConnectionCase{0, 2, "Series", 2, 0.5, 0.5},
                                           ConnectionCase{0, 7, "Series", 7, 1.0 / 7, 1.0 / 7},
                                           ConnectionCase{1, 3, "Parallell", 1.0 / 3, 1, 3},
                                           ConnectionCase{2, 4, "2-2", 1, 0.5, 1},
                                           ConnectionCase{3, 6, "2-2-2", 1.5, 1.0 / 3, 2.0 / 3},
                                           ConnectionCase{4, 6, "3-3", 2.0 / 3, 0.5, 1.5},
                                           ConnectionCase{5, 8, "2-2-2-2", 2, 0.25, 0.5},
                                           ConnectionCase{6, 8, "4-4", 0.5, 0.5, 2},
                                           ConnectionCase{7, 9, "3-3-3", 1, 1.0 / 3, 1},
                                           ConnectionCase{8, 5, "Sep. sources", 1, 1, 1}));

TEST(SpeakerConnections, OnlyTheConnectionsThatFitTheCountAreOffered) {
    using V = std::vector<int>;
    EXPECT_EQ(TSpeakerObject::offeredConnections(1), (V{0, 1, 8}));
    EXPECT_EQ(TSpeakerObject::offeredConnections(4), (V{0, 1, 2, 8}));
    EXPECT_EQ(TSpeakerObject::offeredConnections(6), (V{0, 1, 3, 4, 8}));
    EXPECT_EQ(TSpeakerObject::offeredConnections(8), (V{0, 1, 5, 6, 8}));
    EXPECT_EQ(TSpeakerObject::offeredConnections(9), (V{0, 1, 7, 8}));
    EXPECT_FALSE(TSpeakerObject::connectionOffered(-1, 4));
    EXPECT_FALSE(TSpeakerObject::connectionOffered(9, 4));
    EXPECT_STREQ(TSpeakerObject::connectionName(9), "");

    TSpeakerObject s;
    ASSERT_TRUE(s.setDriverCount(4));
    EXPECT_FALSE(s.setDriverConnection(3)); // "2-2-2" needs six drivers
    EXPECT_EQ(s.driverConnection, 0);
}

TEST(SpeakerConnections, ChangingTheCountResetsToSeriesButOneDriverKeepsItsWiring) {
    TSpeakerObject s;
    EXPECT_EQ(s.driverCount, 1);
    EXPECT_EQ(s.driverConnection, 8);
    ASSERT_TRUE(s.setDriverCount(1));
    EXPECT_EQ(s.driverConnection, 8);
    ASSERT_TRUE(s.setDriverCount(4));
    EXPECT_EQ(s.driverConnection, 0);
    ASSERT_TRUE(s.setDriverConnection(2));
    ASSERT_TRUE(s.setDriverCount(6)); // "2-2" does not fit six
    EXPECT_EQ(s.driverConnection, 0);
    ASSERT_TRUE(s.setDriverConnection(1));
    ASSERT_TRUE(s.setDriverCount(1)); // "Parallell" fits one
    EXPECT_EQ(s.driverConnection, 1);
    ASSERT_TRUE(s.setDriverCount(4));
    ASSERT_TRUE(s.setDriverConnection(2));
    ASSERT_TRUE(s.setDriverCount(1)); // "2-2" would halve the voltage of a single driver
    EXPECT_EQ(s.driverConnection, 0);
    EXPECT_DOUBLE_EQ(s.voltageMultiplier(), 1.0);
    EXPECT_FALSE(s.setDriverCount(0));
    EXPECT_FALSE(s.setDriverCount(10));
    EXPECT_EQ(s.driverCount, 1);
}

TEST(SpeakerConnections, IsobaricAndCoilGroupsApplyOnlyWhenTheirOptionIsOn) {
    TSpeakerObject s;
    s.SetDefaultUnit();
    ASSERT_TRUE(s.setIsobaricConnection(TSpeakerObject::kPairSeries));
    ASSERT_TRUE(s.setCoilConnection(TSpeakerObject::kPairParallel));
    EXPECT_EQ(s.isobaricGroup, ConnectionMultipliers{});
    EXPECT_EQ(s.coilGroup, ConnectionMultipliers{}); // single-coil unit
    s.setIsobaric(true);
    EXPECT_EQ(s.isobaricGroup, (ConnectionMultipliers{2, 0.5, 0.5}));
    s.dualCoil = 1;
    s.UnitEdited();
    EXPECT_EQ(s.coilGroup, (ConnectionMultipliers{0.5, 1, 2}));
    ASSERT_TRUE(s.setDriverCount(2)); // series
    EXPECT_DOUBLE_EQ(s.impedanceMultiplier(), 2 * 2 * 0.5);
    EXPECT_DOUBLE_EQ(s.voltageMultiplier(), 0.5 * 0.5 * 1);
    EXPECT_DOUBLE_EQ(s.sourceMultiplier(), 0.5 * 0.5 * 2);
    EXPECT_FALSE(s.setCoilConnection(3));
    EXPECT_FALSE(s.setIsobaricConnection(-1));
    ASSERT_TRUE(s.setIsobaricConnection(TSpeakerObject::kPairSeparate));
    EXPECT_EQ(s.isobaricGroup, ConnectionMultipliers{});
}

TEST(SpeakerEdits, RangesAreEnforcedAndAcceptedEditsMarkTheDriverChanged) {
    TSpeakerObject s;
    s.unitChanged = 0;
    EXPECT_FALSE(s.setExtraMass(-0.001));
    EXPECT_FALSE(s.setExtraMass(1.001));
    EXPECT_FALSE(s.setExtraMass(std::nan("")));
    EXPECT_EQ(s.unitChanged, 0);
    EXPECT_TRUE(s.setExtraMass(0.02));
    EXPECT_EQ(s.unitChanged, 1);
    EXPECT_FALSE(s.setTransitionFrequency(0));
    EXPECT_FALSE(s.setTransitionFrequency(20001));
    EXPECT_TRUE(s.setTransitionFrequency(20000));
    EXPECT_FALSE(s.setPhaseLagCutoff(-1));
    EXPECT_FALSE(s.setPhaseLagCutoff(100001));
    EXPECT_TRUE(s.setPhaseLagCutoff(0));
    EXPECT_FALSE(s.setLevelOffsetDb(201));
    EXPECT_TRUE(s.setLevelOffsetDb(-20));
    EXPECT_DOUBLE_EQ(s.levelScale, 0.1);
}

// ---- unit loading ---------------------------------------------------------------------

TEST(SpeakerLoad, LoadSetsUnitOkResetsTheCoilGroupAndMarksTheDriverChanged) {
    test::TempDir dir;
    TSpkData unit;
    unit.SetDefault();
    unit.dualCoil = 1;
    ASSERT_TRUE(unit.Save(dir.file("dual.unt")));
    unit.dualCoil = 0;
    ASSERT_TRUE(unit.Save(dir.file("single.unt")));
    unit.Bl = 0;
    ASSERT_TRUE(unit.Save(dir.file("incomplete.unt")));

    TSpeakerObject s;
    EXPECT_EQ(s.unitOk, 0);
    ASSERT_TRUE(s.setCoilConnection(TSpeakerObject::kPairSeries));
    ASSERT_TRUE(s.Load(dir.file("dual.unt")));
    EXPECT_EQ(s.unitOk, 1);
    EXPECT_EQ(s.coilGroup, (ConnectionMultipliers{2, 0.5, 0.5}));
    s.unitChanged = 0;
    ASSERT_TRUE(s.Load(dir.file("single.unt")));
    EXPECT_EQ(s.coilGroup, ConnectionMultipliers{});
    EXPECT_EQ(s.unitChanged, 1);
    EXPECT_DOUBLE_EQ(s.Bl2, 56.25);
    ASSERT_TRUE(s.Load(dir.file("incomplete.unt")));
    EXPECT_EQ(s.unitOk, 0);

    s.SetDefaultUnit();
    EXPECT_FALSE(s.Load(dir.file("missing.unt")));
    EXPECT_EQ(s.unitOk, 1); // the previous unit stays
    EXPECT_DOUBLE_EQ(s.Bl, 7.5);
}

// ---- per-frequency arrays ------------------------------------------------------------

TEST(SpeakerArrays, DriverDataFollowTheFormulas) {
    const FrequencyGrid g = makeGrid(37, 15, 3000);
    TSpeakerObject s;
    s.SetDefaultUnit();
    ASSERT_TRUE(s.setDriverCount(2)); // series: each driver gets half the voltage
    s.coilHeating = 1;
    ASSERT_TRUE(s.setExtraMass(0.005));
    const double Ug = 4.0;
    s.ComputeDriverData(g, Ug, nullptr);
    s.ComputeZam(g);

    const double a = std::sqrt(0.013 / (1.0 / 0.3183098861837697));
    const double u = Ug * 0.5;
    const double reHot = 6.1 * (1.0 + (u * u / 6.1) / 150.0 * 230.0 * 0.0039);
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = g.f[k];
        const double w = f * 6.28318530718;
        EXPECT_DOUBLE_EQ(g.w[k], w);
        EXPECT_NEAR(s.ReHot[k], reHot, 1e-12 * reHot);
        expectNear(s.ZLe[k], Cx(0, w * 0.0009));
        const double ka = 6.28318530718 * a * f * 0.002901073397156948;
        expectNear(s.Zrad[k], Cx(0.04304 * f * f / (ka * ka + 4.0), 1.45 * f / a));
        expectNear(s.Zam[k], Cx(2.01, w * (0.0158 + 0.005) - 1.0 / (w * 0.001391)) / (0.013 * 0.013));
    }

    // Without Pmax the coil does not heat.
    s.Pmax = 0;
    s.ComputeDriverData(g, Ug, nullptr);
    EXPECT_DOUBLE_EQ(s.ReHot[0], 6.1);
}

TEST(SpeakerArrays, CmsSoftensAboveHalfXmaxAndBlLimitsAboveXmax) {
    const FrequencyGrid g = makeGrid(10, 20, 2000);
    TSpeakerObject s;
    s.SetDefaultUnit(); // Xmax 11 mm: soft above 5.5 mm p-p, limited above 11 mm p-p
    s.cmsNonlinear = 1;
    s.blNonlinear = 1;
    const std::array<double, 10> x{1.0, 5.5, 6.0, 11.0, 12.0, 22.0, 40.0, 0.0, 3.0, 100.0};
    for (std::size_t k = 0; k < x.size(); ++k) {
        s.excursion[k] = x[k];
        s.U[k] = Cx(1.0, -2.0);
    }
    s.ApplyCmsNonlinearity(g);
    const double xl = 0.011 * 0.5 * 1000.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double cms = x[k] <= xl ? 0.001391 : 0.001391 / ((x[k] - xl) / xl + 1.0);
        const double w = g.w[k];
        expectNear(s.Zam[k], Cx(2.01, w * 0.0158 - 1.0 / (w * cms)) / (0.013 * 0.013));
    }
    s.ApplyBlNonlinearity(g.count);
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double f = x[k] > 11.0 ? std::sqrt(11.0 / x[k]) : 1.0;
        EXPECT_DOUBLE_EQ(s.excursion[k], x[k] * f);
        expectNear(s.U[k], Cx(1.0, -2.0) * f);
    }

    // Xmax = 0 turns both off.
    s.Xmax = 0;
    EXPECT_FALSE(s.cmsNonlinearActive());
    EXPECT_FALSE(s.blNonlinearActive());
    s.excursion[9] = 1000;
    s.ApplyBlNonlinearity(g.count);
    EXPECT_EQ(s.excursion[9], 1000);
}

// ---- measured SPL data ---------------------------------------------------------------

class SpeakerImport : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("meas.frd");
        std::ofstream out(path);
        out << "* header\n100 90 10\n200 84 -20\n1000 80 30\n";
    }
    test::TempDir dir;
    std::string path;
    test::ScriptedUiHost ui;
};

TEST_F(SpeakerImport, PointsBelowTheFileTakeItsFirstValueAndAboveItsLast) {
    const FrequencyGrid g = makeGrid(30, 20, 2000);
    TSpeakerObject s;
    s.setImportFile(path);
    ASSERT_TRUE(s.ReadImportedData(g, &ui));
    EXPECT_EQ(s.importUsable, 1);
    const double deg = 0.005555555555555556 * 3.14159265359;
    Cx lastInterpolated;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = g.f[k];
        Cx want;
        if (f < 100) {
            want = std::polar(std::pow(10.0, 0.05 * 90), 10 * deg);
        } else if (f >= 1000) {
            want = lastInterpolated; // beyond the file the last interpolated value repeats
        } else {
            const double fa = f < 200 ? 100 : 200, fb = f < 200 ? 200 : 1000;
            const double da = f < 200 ? 90 : 84, db = f < 200 ? 84 : 80;
            const double pa = f < 200 ? 10 : -20, pb = f < 200 ? -20 : 30;
            const double t = (std::log(f) - std::log(fa)) / (std::log(fb) - std::log(fa));
            const double phase = pa * pb <= 0 ? (t >= 0.5 ? pb : pa) : t * pb + (1 - t) * pa;
            want = std::polar(std::pow(10.0, 0.05 * (t * db + (1 - t) * da)), phase * deg);
            lastInterpolated = want;
        }
        expectNear(s.measured[k], want, 1e-9);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SpeakerImport, AMissingFileIsReportedUnderMeasuredDataAndTurnsTheImportOff) {
    const FrequencyGrid g = makeGrid();
    TSpeakerObject s;
    const std::string missing = dir.file("nothere.frd");
    s.setImportFile(missing);
    s.importUsable = 1;
    EXPECT_FALSE(s.ReadImportedData(g, &ui));
    EXPECT_EQ(s.importUsable, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file : " + missing + "\nCheck if path and filename is correct.");
    // An empty name is simply "not in use".
    s.setImportFile("");
    EXPECT_FALSE(s.ReadImportedData(g, &ui));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(SpeakerImport, SpliceLagsTheSimulationAndLevelMatchesTheMeasurement) {
    const FrequencyGrid g = makeGrid(40, 20, 2000);
    TSpeakerObject s;
    s.setImportFile(path);
    ASSERT_TRUE(s.ReadImportedData(g, &ui));
    ASSERT_TRUE(s.setTransitionFrequency(300));
    ASSERT_TRUE(s.setPhaseLagCutoff(500));
    std::array<Cx, kMaxPoints> P{};
    for (int i = 0; i < g.count; ++i)
        P[static_cast<std::size_t>(i)] = Cx(1000.0 + i, -30.0 * i);
    const auto sim = P;
    s.SpliceImportedData(g, P.data());

    int first = 0;
    while (g.f[static_cast<std::size_t>(first)] < 300)
        ++first;
    const double scale = std::abs(sim[static_cast<std::size_t>(first - 1)]) /
                         std::abs(s.measured[static_cast<std::size_t>(first)]);
    EXPECT_NEAR(s.levelScale, scale, 1e-12 * scale);
    EXPECT_NEAR(s.levelOffsetDb, 20 * std::log10(scale), 1e-9);
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (i < first) {
            const double lag = 4 * std::atan(g.f[k] / 500.0);
            expectNear(P[k], sim[k] * std::polar(1.0, -lag));
        } else {
            expectNear(P[k], s.measured[k] * scale);
            expectNear(s.measuredRatio[k], P[k] / sim[k]);
        }
    }

    // A transition below the start frequency: nothing simulated to match, scale 1, 0 dB.
    ASSERT_TRUE(s.setTransitionFrequency(10));
    P = sim;
    s.SpliceImportedData(g, P.data());
    EXPECT_EQ(s.levelScale, 1.0);
    EXPECT_EQ(s.levelOffsetDb, 0.0);
    expectNear(P[0], s.measured[0]);

    // Without automatic level the stored offset is used; disabled data leaves P alone.
    s.autoLevel = 0;
    ASSERT_TRUE(s.setLevelOffsetDb(6));
    P = sim;
    s.SpliceImportedData(g, P.data());
    expectNear(P[5], s.measured[5] * std::pow(10.0, 0.3));
    s.importDisabled = 1;
    P = sim;
    s.SpliceImportedData(g, P.data());
    EXPECT_EQ(P[5], sim[5]);

    // A cutoff of zero turns the phase below the transition by a full circle.
    s.importDisabled = 0;
    ASSERT_TRUE(s.setTransitionFrequency(300));
    ASSERT_TRUE(s.setPhaseLagCutoff(0));
    P = sim;
    s.SpliceImportedData(g, P.data());
    EXPECT_EQ(P[0], sim[0]);
}

// ---- data sheet -----------------------------------------------------------------------

TEST(SpeakerDataSheet, DefaultConfigurationLines) {
    TSpeakerObject s;
    s.SetDefaultUnit();
    const std::vector<std::string> want{
        "Driver",        " Manufacturer\tPEERLESS", " Model\t\t180 WR/832732", " Filename\t832732.UNT",
        " # drivers\t1", " Extra mass\t0.0 g"};
    EXPECT_EQ(s.dataSheetLines(), want);
}

TEST(SpeakerDataSheet, EveryOptionAddsItsLines) {
    test::TempDir dir;
    const std::string meas = dir.file("m.frd");
    std::ofstream(meas) << "10 80 0\n20000 80 0\n";
    TSpeakerObject s;
    s.SetDefaultUnit();
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
    ASSERT_TRUE(s.ReadImportedData(makeGrid(), nullptr));
    ASSERT_TRUE(s.setTransitionFrequency(450));
    ASSERT_TRUE(s.setPhaseLagCutoff(2500.4));
    const std::vector<std::string> want{"Front driver",
                                        " Manufacturer\tPEERLESS",
                                        " Model\t\t180 WR/832732",
                                        " Filename\t832732.UNT",
                                        " # drivers\t6",
                                        " Extra mass\t12.5 g",
                                        " Simulation of BL non linearity ON",
                                        " Simulation of voice coil heating ON",
                                        " Simulation of Cms non linearity ON",
                                        " Isobarik configuration with",
                                        "  speaker units connected in parallell",
                                        " Double voice coil with",
                                        "  voice coils connected in series",
                                        " Electrical connection of drivers : 3-3",
                                        " Imported SPL data : " + meas,
                                        "   Transition freq. \t450 Hz",
                                        "   Phase lag cutoff. \t2500 Hz"};
    EXPECT_EQ(s.dataSheetLines("Front driver"), want);

    s.importDisabled = 1;
    ASSERT_TRUE(s.setIsobaricConnection(0));
    ASSERT_TRUE(s.setCoilConnection(2));
    auto lines = s.dataSheetLines();
    ASSERT_EQ(lines.size(), want.size() - 3);
    EXPECT_EQ(lines[10], "  speaker units connected in series");
    EXPECT_EQ(lines[12], "  separate sources for the two voice coils");
    ASSERT_TRUE(s.setIsobaricConnection(2));
    EXPECT_EQ(s.dataSheetLines()[10], "  separate sources for speaker units");
    ASSERT_TRUE(s.setCoilConnection(1));
    EXPECT_EQ(s.dataSheetLines()[12], "  voice coils connected in parallell");
}

// ---- project-file record ------------------------------------------------------------

// A field of the record (little-endian, like the host).
template <class T> T at(const std::vector<std::uint8_t>& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}

TEST(SpeakerRecord, LayoutIs370BytesFieldByField) {
    TSpeakerObject s;
    ASSERT_TRUE(s.setDriverCount(8));
    ASSERT_TRUE(s.setDriverConnection(5));
    ASSERT_TRUE(s.setExtraMass(0.003));
    s.isobaric = 1;
    s.cmsNonlinear = 1;
    ASSERT_TRUE(s.setIsobaricConnection(0));
    ASSERT_TRUE(s.setCoilConnection(1));
    s.setImportFile("data/meas.frd");
    ASSERT_TRUE(s.setTransitionFrequency(1234));
    ASSERT_TRUE(s.setLevelOffsetDb(-6));
    ASSERT_TRUE(s.setPhaseLagCutoff(777));
    BinaryWriter w;
    ASSERT_TRUE(s.writeRecord(w));
    const auto& b = w.buffer();
    ASSERT_EQ(b.size(), TSpeakerObject::kRecordSize);
    EXPECT_EQ(at<double>(b, 0), 0.003);
    EXPECT_EQ(b[8], 8);                    // driverCount low byte
    EXPECT_EQ(b[12], 1);                   // isobaric
    EXPECT_EQ(b[13], 0);                   // BL
    EXPECT_EQ(b[14], 0);                   // heating
    EXPECT_EQ(b[15], 1);                   // Cms
    EXPECT_EQ(at<std::int16_t>(b, 16), 0); // isobaric connection
    EXPECT_EQ(at<std::int16_t>(b, 18), 1); // coil connection
    EXPECT_EQ(at<std::int16_t>(b, 20), 5); // driver connection
    EXPECT_EQ(at<double>(b, 22), 2.0);
    EXPECT_EQ(at<double>(b, 30), 0.25);
    EXPECT_EQ(at<double>(b, 38), 0.5);
    EXPECT_EQ(at<double>(b, 46), 2.0); // isobaric group, series
    EXPECT_EQ(at<double>(b, 54), 0.5);
    EXPECT_EQ(at<double>(b, 62), 0.5);
    EXPECT_EQ(b[70], 0); // importUsable
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[71]), "data/meas.frd");
    EXPECT_EQ(b[342], 0);
    EXPECT_EQ(at<std::int16_t>(b, 343), 1234);
    EXPECT_EQ(b[345], 1);
    EXPECT_DOUBLE_EQ(at<double>(b, 346), -6.0);
    EXPECT_DOUBLE_EQ(at<double>(b, 354), std::pow(10.0, -0.3));
    EXPECT_EQ(at<double>(b, 362), 777.0);

    TSpeakerObject back;
    BinaryReader r(b);
    ASSERT_TRUE(back.readRecord(r, nullptr));
    EXPECT_TRUE(r.atEnd());
    BinaryWriter w2;
    back.writeRecord(w2);
    EXPECT_EQ(w2.buffer(), b);
    EXPECT_EQ(back.importFileText(), "data/meas.frd");
    EXPECT_EQ(back.unitChanged, 1);
}

TEST(SpeakerRecord, EveryTruncationFailsAndLeavesTheConfigurationUnchanged) {
    TSpeakerObject s;
    ASSERT_TRUE(s.setDriverCount(3));
    BinaryWriter w;
    s.writeRecord(w);
    const auto& b = w.buffer();
    for (std::size_t len = 0; len < b.size(); ++len) {
        TSpeakerObject t;
        ASSERT_TRUE(t.setExtraMass(0.5));
        BinaryReader r(std::span<const std::uint8_t>(b.data(), len));
        EXPECT_FALSE(t.readRecord(r, nullptr)) << len;
        EXPECT_EQ(t.driverCount, 1) << len;
        EXPECT_EQ(t.extraMass, 0.5) << len;
    }
}

TEST(SpeakerRecord, HostileValuesAreBroughtIntoRange) {
    BinaryWriter w;
    w.f64(std::nan("")); // extra mass
    w.i32(1000);         // drivers
    w.u8(7);             // isobaric
    w.u8(0);
    w.u8(0);
    w.u8(0);
    w.i16(9);  // isobaric connection
    w.i16(-4); // coil connection
    w.i16(2);  // "2-2" is not offered for nine drivers
    for (int i = 0; i < 6; ++i)
        w.f64(1e300); // stored groups are not trusted
    w.u8(0);
    std::vector<char> path(kPathBlock, 'x'); // no terminator
    w.bytes(path.data(), path.size());
    w.u8(0);
    w.i16(-5); // transition
    w.u8(1);
    w.f64(1e9);          // offset
    w.f64(-1);           // scale
    w.f64(std::nan("")); // cutoff
    ASSERT_EQ(w.size(), TSpeakerObject::kRecordSize);

    TSpeakerObject s;
    BinaryReader r(w.buffer());
    ASSERT_TRUE(s.readRecord(r, nullptr));
    EXPECT_EQ(s.extraMass, 0.0);
    EXPECT_EQ(s.driverCount, 9);
    EXPECT_EQ(s.isobaric, 1);
    EXPECT_EQ(s.isobaricConnection, 2);
    EXPECT_EQ(s.coilConnection, 2);
    EXPECT_EQ(s.driverConnection, 0);
    EXPECT_EQ(s.driverGroup, (ConnectionMultipliers{9, 1.0 / 9, 1.0 / 9}));
    EXPECT_EQ(s.isobaricGroup, ConnectionMultipliers{});
    EXPECT_EQ(s.importFileText().size(), kPathBlock - 1);
    EXPECT_EQ(s.transitionFrequency, 1);
    EXPECT_EQ(s.levelOffsetDb, 0.0);
    EXPECT_EQ(s.levelScale, 1.0);
    EXPECT_EQ(s.phaseLagCutoff, 100000.0);
}

TEST(SpeakerRecord, ReadingAnImportRecordReadsTheMeasuredFileAgain) {
    test::TempDir dir;
    const std::string meas = dir.file("m.frd");
    std::ofstream(meas) << "10 77 0\n20000 77 0\n";
    TSpeakerObject s;
    s.setImportFile(meas);
    s.importUsable = 1;
    BinaryWriter w;
    s.writeRecord(w);

    TSpeakerObject back;
    BinaryReader r(w.buffer());
    test::ScriptedUiHost ui;
    ASSERT_TRUE(back.readRecord(r, &ui));
    EXPECT_EQ(back.importUsable, 1);
    EXPECT_NEAR(std::abs(back.measured[0]), std::pow(10.0, 77 * 0.05), 1e-9);

    std::remove(meas.c_str());
    TSpeakerObject gone;
    BinaryReader r2(w.buffer());
    ASSERT_TRUE(gone.readRecord(r2, &ui));
    EXPECT_EQ(gone.importUsable, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
}

} // namespace
} // namespace harlox
