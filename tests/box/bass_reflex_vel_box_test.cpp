#include "box/bass_reflex_vel_box.h"

#include "box/bandpass_box.h"
#include "box/box_object.h"
#include "box/port_object.h"
#include "box_test_support.h"
#include "core/command_ids.h"
#include "core/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

namespace harlox {
namespace {

using C = std::complex<double>;

class ReflexBandpass : public test::BoxTest {
protected:
    void SetUp() override {
        BoxTest::SetUp();
        MeasureSetup& s = sharedSetup();
        s.pointCount = 200, s.startFrequency = 10, s.stopFrequency = 2000, s.setupChanged = 1;
        box.front().SetDefaultUnit();
        box.rear().SetDefaultUnit();
        box.setBoxVolume(box.frontBox(), 0.02);
        box.setBoxVolume(box.rearBox(), 0.03);
        ASSERT_TRUE(box.port().setTuning(70.0));
        ASSERT_TRUE(box.rearPort().setTuning(40.0));
    }
    // A rear vent of a pinhole's area: practically a closed rear chamber.
    void closeRearVent() {
        TPortObject& v = box.rearPort();
        v.D = 0.004, v.S = 3.14159265359 * 0.002 * 0.002, v.L = 1.0;
        v.computeSeff();
        v.portChanged = 1;
    }
    static double worstDbDifference(const double* a, const double* b, int n) {
        double worst = 0.0;
        for (int i = 0; i < n; ++i)
            worst = std::max(worst, std::abs(a[i] - b[i]));
        return worst;
    }
    TBassReflexVelBox box{ui};
};

// ---- the chamber and driver equations --------------------------------------------------

struct ChainCase {
    const char* name;
    void (*set)(TBassReflexVelBox&);
};

class ReflexBandpassChain : public ReflexBandpass, public ::testing::WithParamInterface<ChainCase> {};

// Re-derives the state of every point from the results alone: each chamber's flows balance,
// each cone is pushed by the pressure difference of the two chambers, and each driver's
// electrical side gives the volume velocity the chain found.
TEST_P(ReflexBandpassChain, FlowsBalanceInEachChamberAndEachDriverSeesTheirPressureDifference) {
    GetParam().set(box);
    box.Calculate(0);
    ASSERT_TRUE(box.dataSheetWritten());
    const MeasureSetup& s = sharedSetup();
    const FrequencyGrid& g = s.grid;
    const TSpeakerObject* drivers[] = {&box.front(), &box.rear()};
    const std::array<Complex, kMaxPoints>* loads[] = {&box.ZA, &box.ZArear};
    double flowError = 0.0, driverError = 0.0; // relative, the worst of all points
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const C uf = box.port().Uport[k];
        const C ur = box.rearPort().Uport[k];
        C utot = 0.0;
        for (const TSpeakerObject* d : drivers)
            utot += C(d->U[k]) * static_cast<double>(d->driverCount);
        // The chamber pressures that drive the vents.
        const C pf = uf * C(box.port().Zport[k]);
        const C pr = ur * (C(box.rearPort().Zport[k]) + box.ventResistance);
        const double scale = std::abs(utot);
        // In through the cones = out through the vent + into the air's compliance.
        const C frontBalance = utot - uf - pf / C(box.frontBox().Zbox[k]);
        const C rearBalance = -utot - ur - pr / C(box.rearBox().Zbox[k]);
        flowError = std::max({flowError, std::abs(frontBalance) / scale, std::abs(rearBalance) / scale});
        for (int j = 0; j < 2; ++j) {
            const TSpeakerObject& d = *drivers[j];
            const double iso = d.isobaric != 0 ? 1.0 : 0.0;
            const C zam = d.Zam[k];
            const C u = d.U[k];
            // The chain stores the load with the isobaric partner's Zam added.
            const C outside = ((*loads[j])[k] - iso * zam - zam) * u;
            // The blocked-cone drive and electrical damping of the wiring in use.
            const double mS = d.sourceMultiplier();
            const C r(d.hotResistance(s.Ug) + s.Rg * mS, g.w[k] * s.Lg * mS);
            const double force = d.Bl * (1.0 + iso) * (d.dualCoil != 0 ? 2.0 : 1.0);
            const C ps = force * s.Ug * d.voltageMultiplier() / d.Sd / r;
            const C zx = (1.0 + iso) * d.Bl * d.Bl / (d.Sd * d.Sd) / r;
            const C pressure = outside - (pf - pr);
            const C electrical = u * ((1.0 + iso) * zam + zx) + (pf - pr) - ps;
            driverError = std::max(
                {driverError, std::abs(pressure) / std::abs(pf - pr), std::abs(electrical) / std::abs(ps)});
        }
    }
    EXPECT_LT(flowError, 1e-9);
    EXPECT_LT(driverError, 1e-9);
}

const ChainCase kChainCases[] = {
    {"PlainVents", [](TBassReflexVelBox&) {}},
    {"VariventAndLossyBoxes",
     [](TBassReflexVelBox& b) {
         ASSERT_TRUE(b.setVentResistance(3e4));
         b.frontBox().fill = 60, b.rearBox().Qb = 5, b.rearBox().Ql = 7;
     }},
    {"OtherRearUnitTwoConesAndGeneratorImpedance",
     [](TBassReflexVelBox& b) {
         TSpeakerObject& r = b.rear();
         r.Bl *= 0.7, r.Mms *= 1.4, r.Re *= 1.2, r.Sd *= 0.8;
         r.UnitEdited();
         ASSERT_TRUE(r.setDriverCount(2));
         ASSERT_TRUE(r.setDriverConnection(TSpeakerObject::kSeparateSourcesConnection));
         sharedSetup().Rg = 0.6, sharedSetup().Lg = 0.0005;
     }},
    {"IsobaricDualCoilFrontAndCmsNonlinearity",
     [](TBassReflexVelBox& b) {
         TSpeakerObject& f = b.front();
         f.dualCoil = 1;
         f.UnitEdited();
         f.setIsobaric(true);
         ASSERT_TRUE(f.setDriverCount(3));
         f.cmsNonlinear = b.rear().cmsNonlinear = 1;
         sharedSetup().setUg(12.0);
     }},
};

INSTANTIATE_TEST_SUITE_P(Configurations, ReflexBandpassChain, ::testing::ValuesIn(kChainCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReflexBandpass, IdenticalConfigurationsMoveAlike) {
    ASSERT_TRUE(box.front().setDriverCount(2));
    ASSERT_TRUE(box.rear().setDriverCount(2));
    box.front().cmsNonlinear = box.rear().cmsNonlinear = 1;
    sharedSetup().setUg(10.0);
    box.Calculate(0);
    ASSERT_EQ(box.lastPassCount(), 2);
    const auto n = static_cast<std::size_t>(box.pointCount());
    EXPECT_TRUE(std::equal(box.front().U.begin(), box.front().U.begin() + n, box.rear().U.begin()));
    EXPECT_TRUE(std::equal(box.front().excursion.begin(), box.front().excursion.begin() + n,
                           box.rear().excursion.begin()));
    EXPECT_TRUE(std::equal(box.front().impedance.begin(), box.front().impedance.begin() + n,
                           box.rear().impedance.begin()));
}

// ---- against the one-configuration bandpass ---------------------------------------------

// One cone of the same unit in each configuration is a bandpass with two drivers on separate
// sources: bandpass 3 with both vents open, bandpass 1 with the rear vent closed.
TEST_F(ReflexBandpass, OneConeEachMatchesBandpassOneAndThree) {
    box.Calculate(0);
    TBP7Box bp3(ui);
    TBP5Box bp1(ui);
    for (TBoxEmbryo* b : std::initializer_list<TBoxEmbryo*>{&bp3, &bp1}) {
        b->front().SetDefaultUnit();
        ASSERT_TRUE(b->front().setDriverCount(2));
        ASSERT_TRUE(b->front().setDriverConnection(TSpeakerObject::kSeparateSourcesConnection));
        b->setBoxVolume(*b->boxElement(), box.rearBox().Vb);
        b->setBoxVolume(*b->box2Element(), box.frontBox().Vb);
    }
    *bp3.portElement() = box.rearPort();
    *bp3.port2Element() = box.port();
    bp3.Calculate(0);
    EXPECT_LT(worstDbDifference(box.SPL.data(), bp3.SPL.data(), box.pointCount()), 1e-6);

    closeRearVent();
    box.Calculate(0);
    bp1.port() = box.port();
    bp1.Calculate(0);
    // The pinhole vent is not quite closed.
    EXPECT_LT(worstDbDifference(box.SPL.data(), bp1.SPL.data(), box.pointCount()), 0.01);
    // A fourth-order bandpass, 12 dB per octave on both sides of its passband.
    using test::valueAt;
    EXPECT_NEAR(valueAt(box.SPL, 20.0) - valueAt(box.SPL, 10.0), 12.0, 1.0);
    EXPECT_NEAR(valueAt(box.SPL, 800.0) - valueAt(box.SPL, 1600.0), 12.0, 1.0);
    EXPECT_LT(valueAt(box.rearPortSPL, 40.0), valueAt(box.SPL, 40.0) - 60.0);
}

TEST_F(ReflexBandpass, VentResistanceDampsTheRearVent) {
    box.Calculate(0);
    const auto peak = [&] {
        return *std::max_element(box.airSpeed2.begin(), box.airSpeed2.begin() + box.pointCount());
    };
    const double plainPeak = peak(), plainRear = test::valueAt(box.rearPortSPL, 40.0);
    ASSERT_TRUE(box.setVentResistance(2e5));
    box.Calculate(0);
    EXPECT_LT(peak(), 0.5 * plainPeak);
    EXPECT_LT(test::valueAt(box.rearPortSPL, 40.0), plainRear - 6.0);
    // Out of range is refused and keeps the value.
    for (const double r : {-1.0, TBassReflexVelBox::kMaxVentResistance * 1.01, std::nan("")})
        EXPECT_FALSE(box.setVentResistance(r)) << r;
    EXPECT_EQ(box.ventResistance, 2e5);
}

// The curves against the pressures they show, with the vents limited where they run fast.
TEST_F(ReflexBandpass, CurvesShowTheVentPressuresAndTheirLimitedAirSpeeds) {
    sharedSetup().setUg(40.0);
    TPortObject::setNonLinear(true);
    box.Calculate(0);
    int limitedPoints = 0;
    for (int i = 0; i < box.pointCount(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        const auto db = [](const Complex& p) { return 20.0 * std::log10(std::abs(C(p))); };
        EXPECT_NEAR(box.frontPortSPL[k], db(box.port().Pport[k]), 1e-9) << i;
        EXPECT_NEAR(box.rearPortSPL[k], db(box.rearPort().Pport[k]), 1e-9) << i;
        EXPECT_NEAR(box.driverSPL[k], db(box.Pcone[k]), 1e-9) << i;
        for (const auto& [port, v] :
             {std::pair{&box.port(), box.airSpeed1[k]}, std::pair{&box.rearPort(), box.airSpeed2[k]}}) {
            EXPECT_NEAR(v, std::abs(C(port->Uport[k])) / port->S, 1e-9 * v) << i;
            // The limit is soft: a limited speed is sqrt(vlim · v), still above vlim.
            if (v > port->airSpeedLimit()) ++limitedPoints;
        }
    }
    EXPECT_GT(limitedPoints, 0); // the limit did work somewhere
}

// ---- quick box, data sheet, reading ----------------------------------------------------

TEST_F(ReflexBandpass, QuickBoxSizesBothChambersFromBothConfigurations) {
    TSpeakerObject& r = box.rear();
    ASSERT_TRUE(r.setDriverCount(2));
    ASSERT_TRUE(r.setExtraMass(0.02));
    ASSERT_TRUE(box.QuickBox());
    const TSpeakerObject& f = box.front();
    const double vasFront = f.Vas, vasRear = 2.0 * r.Vas;
    const double fsRear = r.fs * std::sqrt(r.Mms / (r.Mms + 0.02));
    // Masses in parallel, compliances added.
    const double fs = std::sqrt((f.fs * f.fs * vasFront + fsRear * fsRear * vasRear) / (vasFront + vasRear));
    EXPECT_NEAR(box.frontBox().Vb, (vasFront + vasRear) / 2.8, 1e-12);
    EXPECT_NEAR(box.rearBox().Vb, (vasFront + vasRear) / 3.0, 1e-12);
    EXPECT_NEAR(box.port().fp, 2.0 * fs, 1e-6 * fs);
    EXPECT_NEAR(box.rearPort().fp, fs, 1e-6 * fs);
    EXPECT_TRUE(box.port().Vbox == box.frontBox().Vb && box.rearPort().Vbox == box.rearBox().Vb);
    const double cones = f.Sd + 2.0 * r.Sd;
    for (const auto& [port, tuning] : {std::pair{&box.port(), 2.0 * fs}, std::pair{&box.rearPort(), fs}}) {
        EXPECT_GE(port->S, tuning * cones * 0.004 * (1 - 1e-12)) << port->name;
        EXPECT_GE(port->L, 0.1) << port->name;
    }

    TBassReflexVelBox empty(ui);
    empty.front().SetDefaultUnit();
    const double before = empty.frontBox().Vb;
    EXPECT_FALSE(empty.QuickBox()); // no rear unit
    EXPECT_EQ(empty.frontBox().Vb, before);
}

TEST_F(ReflexBandpass, DataSheetHasBothChambersBothVentsAndBothDrivers) {
    test::resetSharedState(); // the default grid of the shared sheet text
    ASSERT_TRUE(box.setVentResistance(1234.4));
    box.Calculate(0);
    ASSERT_GT(box.lowerF3(), 0.0);
    ASSERT_GT(box.upperF3(), box.lowerF3());
    const auto portBlock = [](const TPortObject& p) {
        return p.name + "\r\n" + strprintf(" Length\t\t%3.2f cm\r\n", p.L * 100) +
               " Area\t\t19.63 sq.cm\r\n Dia\t\t5.00 cm\r\n Flange radius\tinf.\r\n # ports\t1\r\n" +
               strprintf(" Res freq.\t%3.2f Hz\r\n", p.fp);
    };
    const std::string common = test::kDataSheetBuiltInUnitAndDefaultSetup;
    const std::size_t setupAt = common.find("Setup\r\n");
    const std::string driverBody =
        common.substr(std::strlen("Driver\r\n"), setupAt - std::strlen("Driver\r\n"));
    const std::string want =
        "REFLEXBANDPASS BOX\r\nFilename\t\r\n"
        "Front box\r\n Vol\t\t20.00 l\r\n Qb\t\t15.0\r\n Ql\t\t15.0\r\n Fill\t\t0 %\r\n"
        "Rear box\r\n Vol\t\t30.00 l\r\n Qb\t\t15.0\r\n Ql\t\t15.0\r\n Fill\t\t0 %\r\n" +
        portBlock(box.port()) + portBlock(box.rearPort()) + " Vent resist.\t1234 Pa*s/m3\r\n" +
        "Front driver\r\n" + driverBody + "Rear driver\r\n" + driverBody + common.substr(setupAt) +
        strprintf("  -3dB points: \t%3.2f Hz   ,   %3.2f Hz\r\n", box.lowerF3(), box.upperF3());
    EXPECT_EQ(box.dataSheetText(), want);
    // Both points sit on the same level, below and above the vents' tunings.
    EXPECT_NEAR(test::valueAt(box.SPL, box.lowerF3()), test::valueAt(box.SPL, box.upperF3()), 0.5);
    EXPECT_LT(box.lowerF3(), 70.0);
    EXPECT_GT(box.upperF3(), 70.0);
}

TEST_F(ReflexBandpass, ReadingLoadsTheRearUnitBeforeItCalculates) {
    const std::string frontPath = dir.file("front.unt");
    const std::string rearPath = dir.file("rear.unt");
    ASSERT_TRUE(box.front().Save(frontPath));
    TSpkData other;
    other.SetDefault();
    std::strcpy(other.model.data(), "REAR ONE");
    other.Bl *= 0.8;
    ASSERT_TRUE(other.Save(rearPath));
    ui.files = {frontPath, rearPath};
    ASSERT_TRUE(box.LoadDriverUnit());
    ASSERT_TRUE(box.LoadRearDriverUnit());
    ASSERT_TRUE(box.setVentResistance(500.0));
    const std::string project = dir.file("rbp.box");
    ASSERT_TRUE(box.WriteProject(project));
    const std::string sheet = box.dataSheetText();

    TBassReflexVelBox read(ui);
    ui.messages.clear();
    ASSERT_TRUE(read.ReadProject(project));
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text;
    EXPECT_EQ(read.rearUnitPath(), rearPath);
    EXPECT_EQ(read.ventResistance, 500.0);
    ASSERT_TRUE(read.dataSheetWritten());
    EXPECT_NE(read.dataSheetText().find(" Model\t\tREAR ONE"), std::string::npos);
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Enabled);
    for (int i = 0; i < read.pointCount(); ++i)
        EXPECT_EQ(read.SPL[static_cast<std::size_t>(i)], box.SPL[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(read.dataSheetText().substr(read.dataSheetText().find("Front box")),
              sheet.substr(sheet.find("Front box")));
}

} // namespace
} // namespace harlox
