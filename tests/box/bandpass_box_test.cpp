#include "box/bandpass_box.h"

#include "bandpass_reference.h"
#include "box/box_object.h"
#include "box/port_object.h"
#include "box_test_support.h"
#include "core/format.h"
#include "output/curve_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace harlox {
namespace {

using test::BpRefParams;
using test::maxOf;
using test::roundPort;
using test::setBox;
using test::setPort;

std::unique_ptr<TBandpassBox> makeBox(int type, UiHost& ui) {
    switch (type) {
    case 1:
        return std::make_unique<TBP5Box>(ui);
    case 2:
        return std::make_unique<TBP6Box>(ui);
    case 3:
        return std::make_unique<TBP7Box>(ui);
    default:
        return std::make_unique<TBP8Box>(ui);
    }
}

void apply(TBandpassBox& box, const BpRefParams& q, const test::TempDir& dir) {
    test::applyParams(box, q.base, dir);
    setBox(box, *box.boxElement(), q.box1);
    setBox(box, *box.box2Element(), q.box2);
    setPort(*box.portElement(), q.port1);
    if (q.type != 1) setPort(*box.port2Element(), q.port2);
}

// A 20 l main box and a 15 l second box on the built-in unit, wide grid.
BpRefParams baseParams(int type) {
    BpRefParams q;
    q.type = type;
    q.base.N = 200, q.base.start = 5, q.base.stop = 5000;
    if (type == 4) q.base.n = 2;
    q.box1 = {0.02, 15, 15, 0};
    q.box2 = {0.015, 12, 15, 30};
    q.port1 = roundPort(0.15, 0.07);
    q.port2 = roundPort(0.1, 0.08);
    return q;
}

// The port level curves each type shows besides the total (nullptr where it has none).
struct TypeCurves {
    const double* level1 = nullptr; // "Rear port" / "Side ports"
    const double* level2 = nullptr; // "Front port" / "Middle port"
    const double* driver = nullptr; // bp2 "Driver"
};

TypeCurves curvesOf(const TBandpassBox& box) {
    if (const auto* b = dynamic_cast<const TBP6Box*>(&box))
        return {b->rearPortSPL.data(), nullptr, b->driverSPL.data()};
    if (const auto* b = dynamic_cast<const TBP7Box*>(&box))
        return {b->rearPortSPL.data(), b->frontPortSPL.data(), nullptr};
    if (const auto* b = dynamic_cast<const TBP8Box*>(&box))
        return {b->sidePortSPL.data(), b->middlePortSPL.data(), nullptr};
    return {};
}

// ---- the curves against the plain implementation ------------------------------------

struct BpCase {
    const char* name;
    void (*set)(BpRefParams&);
    bool limitBites = false; // the limit must act on every port somewhere
};

const BpCase kCases[] = {
    {"BuiltInUnit", [](BpRefParams&) {}},
    {"TwoSeriesDriversFilledLossyTwoVents",
     [](BpRefParams& q) {
         q.base.n = 2, q.base.connection = 0;
         q.box1.fill = 70, q.box1.Qb = 4, q.box2.Qb = 6;
         q.port1 = roundPort(0.2, 0.06, 2);
     }},
    {"IsobaricWithRgLg",
     [](BpRefParams& q) {
         q.base.isobaric = true, q.base.isobaricConnection = 0;
         q.base.Rg = 0.6, q.base.Lg = 0.0007;
     }},
    {"FourParallelDualCoilExtraMass",
     [](BpRefParams& q) {
         q.base.n = 4, q.base.connection = 1, q.base.dualCoil = true, q.base.coilConnection = 0;
         q.base.extraMass = 0.015, q.port2 = roundPort(0.3, 0.05, 3);
     }},
    // Narrow ports at high drive; the flared second port has a higher limit of its own.
    {"PortNonlinearityEachPortItsOwnLimit",
     [](BpRefParams& q) {
         q.base.Ug = 40, q.base.portNonlinear = true;
         q.port1 = roundPort(0.1, 0.035), q.port2 = roundPort(0.1, 0.035, 1, 0.5);
     },
     true},
    {"CmsAndBlNonlinearAndHeating",
     [](BpRefParams& q) {
         q.base.Ug = 35;
         q.base.cmsNonlinear = q.base.blNonlinear = q.base.coilHeating = q.base.portNonlinear = true;
     }},
};

class BandpassTest : public test::BoxTest {};

class BandpassReference : public test::BoxTest,
                          public ::testing::WithParamInterface<std::tuple<int, BpCase>> {};

TEST_P(BandpassReference, CurvesEqualTheFormulas) {
    const auto& [type, c] = GetParam();
    BpRefParams q = baseParams(type);
    c.set(q);
    auto box = makeBox(type, ui);
    // A first design, calculated, then only the second box's losses edited (its port's
    // tuning stays): no load may stay behind.
    BpRefParams first = q;
    first.box2.Qb = 3;
    apply(*box, first, dir);
    ASSERT_FALSE(HasFatalFailure());
    box->Calculate(0);
    box->box2Element()->Qb = q.box2.Qb;
    box->box2Element()->boxChanged = 1;
    box->Calculate(0);
    const test::BpRefResult r = test::bpReferenceModel(q);
    const int n = q.base.N;
    ASSERT_EQ(box->pointCount(), n);
    EXPECT_EQ(box->lastPassCount(), q.base.cmsNonlinear ? 2 : 1);
    test::expectCommonCurves(*box, r);
    test::expectCurve("air speed 1", box->airSpeed1.data(), r.speed1);
    const TypeCurves curves = curvesOf(*box);
    if (curves.level1) test::expectCurve("port 1 SPL", curves.level1, r.level1);
    if (curves.level2) test::expectCurve("port 2 SPL", curves.level2, r.level2);
    if (curves.driver) test::expectCurve("driver SPL", curves.driver, r.driverSpl);
    if (type != 1) test::expectCurve("air speed 2", box->airSpeed2.data(), r.speed2);
    EXPECT_NEAR(box->lowerF3(), r.fl, 1e-9 * r.fu);
    EXPECT_NEAR(box->upperF3(), r.fu, 1e-9 * r.fu);
    test::expectCurve("standing waves", box->splModes.data(), r.modes);

    if (c.limitBites) {
        const double vlim2 = std::max(1.0, 3 * q.port2.flare) * 5 + 15.3;
        EXPECT_GT(maxOf(box->airSpeed1, n), 20.3 * 1.05);
        if (type != 1) {
            EXPECT_GT(maxOf(box->airSpeed2, n), vlim2 * 1.05);
        }
    }
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Configurations, BandpassReference,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4), ::testing::ValuesIn(kCases)),
                         [](const auto& info) {
                             return "Bp" + std::to_string(std::get<0>(info.param)) +
                                    std::get<1>(info.param).name;
                         });

// Type 2's node pressure follows a limited rear port, so the front port's drive drops too.
TEST_F(BandpassTest, LimitedRearPortLowersTheFrontPortOfTypeTwo) {
    BpRefParams q = baseParams(2);
    q.base.Ug = 40, q.port1 = roundPort(0.1, 0.03);
    auto box = makeBox(2, ui);
    apply(*box, q, dir);
    box->Calculate(0);
    const std::array<double, kMaxPoints> free = box->SPL;
    TPortObject::setNonLinear(true);
    box->Calculate(0);
    int checked = 0;
    for (int i = 0; i < q.base.N; ++i) {
        const auto k = static_cast<std::size_t>(i);
        // A limited port runs above its limit (sqrt(vlim v) > vlim); the front one is not.
        if (box->airSpeed1[k] > 20.3 * 1.2 && box->airSpeed2[k] < 20.3) {
            EXPECT_LT(box->SPL[k], free[k] - 0.1) << i;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

// ---- physics ------------------------------------------------------------------------

// Far from the passband the order of each type shows: type 1 is 4th order (12 dB/octave on
// both sides), types 2 to 4 are 6th order below (24) and fall 12 above.
TEST_F(BandpassTest, SlopesFarFromThePassband) {
    const struct {
        int type;
        double low, high;
    } kSlopes[] = {{1, 12, -12}, {2, 24, -12}, {3, 24, -12}, {4, 24, -12}};
    for (const auto& s : kSlopes) {
        BpRefParams q = baseParams(s.type);
        q.base.N = 300, q.base.start = 2, q.base.stop = 20000;
        auto box = makeBox(s.type, ui);
        apply(*box, q, dir);
        box->Calculate(0);
        const auto slope = [&](double f) {
            return test::valueAt(box->SPL, 2 * f) - test::valueAt(box->SPL, f);
        };
        EXPECT_NEAR(slope(2.5), s.low, 1.0) << s.type;
        EXPECT_NEAR(slope(5000), s.high, 1.0) << s.type;
    }
}

// ---- -3 dB points and the standing-wave curve ---------------------------------------

// Exposes the search so that it can run on synthetic responses.
struct Probe : TBP7Box {
    using TBandpassBox::FindMinus3dB;
    using TBP7Box::TBP7Box;
};

struct F3Case {
    const char* name;
    double (*spl)(double f);
    // Where the crossings must be, given the reference level found on the grid (nullptr: no
    // upper point).
    double (*lower)(double ref), (*upper)(double ref);
    bool dip; // the reference is the level of a dip
};

// Lines in linear frequency, so that the linear interpolation is exact.
const F3Case kF3Cases[] = {
    {"SingleHumpFromThePeak", [](double f) { return 100 - 0.1 * std::abs(f - 100); },
     [](double m) { return 100 - 10 * (103 - m); }, [](double m) { return 100 + 10 * (103 - m); }, false},
    {"DoubleHumpFromTheDip", [](double f) { return 100 - 0.1 * std::abs(std::abs(f - 100) - 30); },
     [](double d) { return 100 - (30 + 10 * (103 - d)); },
     [](double d) { return 100 + (30 + 10 * (103 - d)); }, true},
    {"RisingHasNoUpperPoint", [](double f) { return 20 * std::log10(f); }, nullptr, nullptr, false},
};

TEST_F(BandpassTest, MinusThreeDbPointsOfSyntheticResponses) {
    MeasureSetup& s = sharedSetup();
    s.pointCount = 400, s.startFrequency = 5, s.stopFrequency = 2000;
    s.rebuildGrid();
    const FrequencyGrid& g = s.grid;
    const int n = g.count;
    for (const F3Case& c : kF3Cases) {
        SCOPED_TRACE(c.name);
        Probe box(ui);
        box.portElement()->L = box.port2Element()->L = 0.2;
        for (int i = 0; i < n; ++i)
            box.SPL[static_cast<std::size_t>(i)] = c.spl(g.f[static_cast<std::size_t>(i)]);
        box.FindMinus3dB();
        if (!c.lower) {
            EXPECT_GT(box.lowerF3(), 0.0);
            EXPECT_EQ(box.upperF3(), 0.0);
            for (int i = 0; i < n; ++i)
                EXPECT_EQ(box.splModes[static_cast<std::size_t>(i)], box.SPL[static_cast<std::size_t>(i)]);
            continue;
        }
        // The reference the search must have found: the dip's grid level or the peak's.
        double ref = c.dip ? 1e9 : -1e9;
        for (int i = 1; i < n - 2; ++i) {
            const double v = box.SPL[static_cast<std::size_t>(i)];
            if (c.dip && std::abs(g.f[static_cast<std::size_t>(i)] - 100) < 10) ref = std::min(ref, v);
            if (!c.dip) ref = std::max(ref, v);
        }
        EXPECT_NEAR(box.lowerF3(), c.lower(ref), 1e-9);
        EXPECT_NEAR(box.upperF3(), c.upper(ref), 1e-9);
        // Standing waves only lift the response, and only from the upper point on.
        bool lifted = false;
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (g.f[k] < box.upperF3()) {
                EXPECT_EQ(box.splModes[k], box.SPL[k]) << i;
            } else {
                EXPECT_GE(box.splModes[k], box.SPL[k]) << i;
                lifted = lifted || box.splModes[k] > box.SPL[k] + 1;
            }
        }
        EXPECT_TRUE(lifted);
    }
}

// ---- quick boxes --------------------------------------------------------------------

struct QuickCase {
    int type;
    double vas;    // l, of one unit
    double v1, v2; // expected l
    double f1, f2; // expected tunings in fsEff
};

const QuickCase kQuick[] = {
    {1, 30, 15, 15, 2, 0},
    {2, 30, 30, 15, 0, 0}, // fixed lengths instead of tunings
    {3, 30, 10, 30 * 0.35714285714285715, 1, 2},
    {4, 30, 10, 60 * 0.35714285714285715, 1, 2}, // two drivers: VasEff = 60 l
};

TEST_F(BandpassTest, QuickBoxes) {
    for (const QuickCase& c : kQuick) {
        SCOPED_TRACE(c.type);
        auto box = makeBox(c.type, ui);
        box->front().SetDefaultUnit();
        box->front().Vas = c.vas / 1000;
        box->front().UnitEdited();
        ASSERT_TRUE(box->QuickBox());
        EXPECT_EQ(ui.posted.size(), 1u);
        ui.runPosted();
        const TBoxObject& b1 = *box->boxElement();
        const TBoxObject& b2 = *box->box2Element();
        EXPECT_NEAR(b1.Vb * 1000, c.v1, 1e-9);
        EXPECT_NEAR(b2.Vb * 1000, c.v2, 1e-9);
        const double fs = box->effectiveFs();
        const TSpeakerObject& d = box->front();
        // The Vbox of each port is its own box (type 1: the front box).
        std::vector<std::tuple<const TPortObject*, double, double>> ports;
        ports.emplace_back(box->portElement(), c.type == 1 ? b2.Vb : b1.Vb, c.f1);
        if (c.type != 1) ports.emplace_back(box->port2Element(), b2.Vb, c.f2);
        for (std::size_t k = 0; k < ports.size(); ++k) {
            const auto& [p, vbox, tuning] = ports[k];
            EXPECT_DOUBLE_EQ(p->Vbox, vbox);
            if (c.type == 2) {
                // Area for fs (rear) or 2 fs (front), fixed lengths.
                EXPECT_NEAR(p->S, (k + 1.0) * fs * d.driverCount * d.Sd * 0.004 / p->ports, 1e-15);
                EXPECT_DOUBLE_EQ(p->L, k == 0 ? 0.2 : 0.1);
                continue;
            }
            EXPECT_NEAR(p->fp, tuning * fs, 1e-9);
            EXPECT_GE(p->L, 0.1);
            // The area is the formula's times a power of two.
            const double doublings =
                std::log2(p->S / (tuning * fs * d.driverCount * d.Sd * 0.004 / p->ports));
            EXPECT_NEAR(doublings, std::round(doublings), 1e-9);
            EXPECT_GE(doublings, -1e-9);
        }
    }
    EXPECT_TRUE(ui.messages.empty());

    TBP5Box empty(ui); // no unit: nothing to size
    EXPECT_FALSE(empty.QuickBox());
}

// A quick box whose port cannot be built is refused as a whole: nothing of it stays.
TEST_F(BandpassTest, ARefusedQuickBoxLeavesBoxesAndPortsAsTheyWere) {
    for (const int type : {1, 3, 4}) {
        SCOPED_TRACE(type);
        auto box = makeBox(type, ui);
        box->front().SetDefaultUnit();
        box->front().Vas = 1e-320; // boxes so small that no port length is finite
        box->front().UnitEdited();
        const double vb1 = box->boxElement()->Vb, vb2 = box->box2Element()->Vb;
        const double l1 = box->portElement()->L, s1 = box->portElement()->S;
        ui.messages.clear();
        EXPECT_FALSE(box->QuickBox());
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.lastMessage().caption, "Quick box");
        EXPECT_EQ(box->boxElement()->Vb, vb1);
        EXPECT_EQ(box->box2Element()->Vb, vb2);
        EXPECT_EQ(box->portElement()->L, l1);
        EXPECT_EQ(box->portElement()->S, s1);
        EXPECT_TRUE(ui.posted.empty());
    }
}

// ---- project set-up, sheet and export -----------------------------------------------

TEST_F(BandpassTest, TypeFourStartsWithTwoDriversOnSeparateSources) {
    TBP8Box box(ui);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(box.front().driverCount, 2);
        EXPECT_EQ(box.front().driverConnection, TSpeakerObject::kSeparateSourcesConnection);
        ASSERT_TRUE(box.front().setDriverCount(4));
        box.Reset();
    }
}

TEST_F(BandpassTest, DataSheetOfTypeThree) {
    TBP7Box box(ui);
    box.front().SetDefaultUnit();
    ASSERT_TRUE(box.QuickBox());
    ui.runPosted();
    box.Calculate(0);
    std::string sheet;
    for (const std::string& line : box.dataSheetLines())
        sheet += line + "\r\n";
    // Quick box of the built-in unit: VasEff 32.9 l, fsEff 34 Hz; no Ql lines.
    EXPECT_EQ(sheet,
              std::string("BANDPASS BOX TYPE 3\r\nFilename\t\r\n"
                          "Rear box\r\n Vol\t\t10.97 l\r\n Qb\t\t15.0\r\n Fill\t\t0 %\r\n"
                          "Front box\r\n Vol\t\t11.75 l\r\n Qb\t\t15.0\r\n Fill\t\t0 %\r\n"
                          "Rear port\r\n Length\t\t33.46 cm\r\n Area\t\t17.68 sq.cm\r\n Dia\t\t4.74 cm\r\n"
                          " Flange radius\tinf.\r\n # ports\t1\r\n Res freq.\t34.00 Hz\r\n"
                          "Front port\r\n Length\t\t13.74 cm\r\n Area\t\t35.36 sq.cm\r\n Dia\t\t6.71 cm\r\n"
                          " Flange radius\tinf.\r\n # ports\t1\r\n Res freq.\t68.00 Hz\r\n") +
                  test::kDataSheetBuiltInUnitAndDefaultSetup +
                  "  -3dB points: \t47.45 Hz   ,   81.68 Hz\r\n\r\n");

    // Without an upper point the line is left out.
    sharedSetup().stopFrequency = 60;
    sharedSetup().setupChanged = 1;
    box.Calculate(0);
    ASSERT_EQ(box.upperF3(), 0.0);
    const auto lines = box.dataSheetLines();
    EXPECT_EQ(lines[lines.size() - 2], "Additional details:");
}

TEST_F(BandpassTest, ExportOfTheStandingWaveCurve) {
    BpRefParams q = baseParams(3);
    auto box = makeBox(3, ui);
    apply(*box, q, dir);
    box->Calculate(0);
    const std::string path = dir.file("modes.frd");
    ui.files.push_back(path);
    ASSERT_TRUE(box->Export(2));
    EXPECT_EQ(box->exportFormat(), static_cast<int>(CurveFormat::Frd)); // remembered as for the other exports
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "   Hz\t\tdB\t\tdeg\r");
    int rows = 0;
    double maxLift = 0;
    while (std::getline(in, line)) {
        const auto k = static_cast<std::size_t>(rows++);
        std::istringstream row(line);
        double f = 0, db = 0, deg = 0;
        row >> f >> db >> deg;
        EXPECT_NEAR(f, sharedSetup().grid.f[k], 1e-6);
        EXPECT_NEAR(db, box->splModes[k], 1e-6);
        EXPECT_NEAR(deg, box->splPhase[k], 1e-6);
        maxLift = std::max(maxLift, db - box->SPL[k]);
    }
    EXPECT_EQ(rows, q.base.N);
    EXPECT_GT(maxLift, 1.0); // the modes, not the plain SPL
}

} // namespace
} // namespace harlox
