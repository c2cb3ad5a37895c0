#include "box/double_tuned_box.h"

#include "box/box_object.h"
#include "box/port_object.h"
#include "box_test_support.h"
#include "core/format.h"
#include "double_tuned_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::DtRefBox;
using test::DtRefParams;
using test::maxOf;
using test::roundPort;
using test::setBox;
using test::setPort;
using test::DtRefPort;

std::unique_ptr<TDoubleTunedBox> makeBox(int type, UiHost& ui) {
    if (type == 1) return std::make_unique<TBassReflexDTBox>(ui);
    return std::make_unique<TBassReflexDT2Box>(ui);
}

void apply(TDoubleTunedBox& box, const DtRefParams& q, const test::TempDir& dir) {
    test::applyParams(box, q.base, dir);
    setBox(box, box.rearBox(), q.rearBox);
    setBox(box, box.frontBox(), q.frontBox);
    setPort(box.rearPort(), q.rearPort);
    setPort(box.frontPort(), q.frontPort);
    box.UpdateResonances();
}

// The built-in unit with a 40 l chamber behind it and a 25 l second chamber.
DtRefParams baseParams(int type) {
    DtRefParams q;
    q.type = type;
    q.base.N = 200, q.base.start = 5, q.base.stop = 2000;
    q.rearBox = {0.04, 15, 15, 0};
    q.frontBox = {0.025, 12, 15, 30};
    q.rearPort = roundPort(0.15, 0.07);
    q.frontPort = roundPort(0.1, 0.08);
    if (type == 2) std::swap(q.rearBox, q.frontBox);
    return q;
}

// ---- the curves against the plain implementation ------------------------------------

struct DtCase {
    const char* name;
    void (*set)(DtRefParams&);
    bool limitBites = false; // the limit must act on both ports somewhere
};

const DtCase kCases[] = {
    {"BuiltInUnit", [](DtRefParams&) {}},
    {"TwoSeriesDriversFilledLossyTwoVents",
     [](DtRefParams& q) {
         q.base.n = 2, q.base.connection = 0;
         q.rearBox.fill = 70, q.rearBox.Qb = 4, q.frontBox.Qb = 6;
         q.frontPort = roundPort(0.2, 0.06, 2);
     }},
    {"IsobaricWithRgLg",
     [](DtRefParams& q) {
         q.base.isobaric = true, q.base.isobaricConnection = 0;
         q.base.Rg = 0.6, q.base.Lg = 0.0007;
     }},
    {"ThreeParallelDualCoilExtraMass",
     [](DtRefParams& q) {
         q.base.n = 3, q.base.connection = 1, q.base.dualCoil = true, q.base.coilConnection = 0;
         q.base.extraMass = 0.015, q.rearPort = roundPort(0.3, 0.05, 3);
     }},
    // Narrow ports so that both are limited somewhere.
    {"PortNonlinearityAtHighDrive",
     [](DtRefParams& q) {
         q.base.Ug = 30, q.base.portNonlinear = true;
         q.rearPort = roundPort(0.1, 0.04), q.frontPort = roundPort(0.1, 0.05);
     },
     true},
    // A flare widens the port but leaves these types' limit at 15.3 m/s.
    {"FlaredPortsKeepTheirLimit",
     [](DtRefParams& q) {
         q.base.Ug = 30, q.base.portNonlinear = true;
         q.frontPort.flare = 0.5, q.rearPort.flare = 0.3;
     },
     true},
    {"CmsAndBlNonlinearAndHeating",
     [](DtRefParams& q) {
         q.base.Ug = 35;
         q.base.cmsNonlinear = q.base.blNonlinear = q.base.coilHeating = q.base.portNonlinear = true;
     }},
};

class DoubleTunedReference : public test::BoxTest,
                             public ::testing::WithParamInterface<std::tuple<int, DtCase>> {};

TEST_P(DoubleTunedReference, CurvesEqualTheFormulas) {
    const auto& [type, c] = GetParam();
    DtRefParams q = baseParams(type);
    c.set(q);
    auto box = makeBox(type, ui);
    apply(*box, q, dir);
    ASSERT_FALSE(HasFatalFailure());
    box->Calculate(0);
    const test::DtRefResult r = test::dtReferenceModel(q);
    const int n = q.base.N;
    ASSERT_EQ(box->pointCount(), n);
    EXPECT_EQ(box->lastPassCount(), q.base.cmsNonlinear ? 2 : 1);
    test::expectCommonCurves(*box, r);
    test::expectCurve("driver SPL", box->driverSPL.data(), r.driverSpl);
    test::expectCurve("front port SPL", box->frontPortSPL.data(), r.frontSpl);
    test::expectCurve("rear air speed", box->rearAirSpeed.data(), r.rearSpeed);
    test::expectCurve("front air speed", box->frontAirSpeed.data(), r.frontSpeed);
    std::vector<double> back(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        back[static_cast<std::size_t>(i)] = std::abs(box->Zback[static_cast<std::size_t>(i)]);
    test::expectCurve("|ZA2|", back.data(), r.backMagnitude);
    EXPECT_NEAR(box->f3(), r.f3, 1e-9 * std::max(1.0, r.f3));

    const bool rearLow = type == 1;
    EXPECT_NEAR(box->rearPort().fp, rearLow ? r.fLow : r.fHigh, 1e-9 * r.fHigh);
    EXPECT_NEAR(box->frontPort().fp, rearLow ? r.fHigh : r.fLow, 1e-9 * r.fHigh);
    if (c.limitBites) {
        EXPECT_GT(maxOf(box->rearAirSpeed, n), 15.3 * 1.05);
        EXPECT_GT(maxOf(box->frontAirSpeed, n), 15.3 * 1.05);
    }
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Configurations, DoubleTunedReference,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::ValuesIn(kCases)),
                         [](const auto& info) {
                             return "Dt" + std::to_string(std::get<0>(info.param)) +
                                    std::get<1>(info.param).name;
                         });

// ---- resonances --------------------------------------------------------------------

// Chamber and port sizes, some where the rear port alone would be tuned far above the front.
struct Geometry {
    DtRefBox rearBox, frontBox;
    DtRefPort rearPort, frontPort;
};

const Geometry kGeometries[] = {
    {{0.04, 15, 15, 0}, {0.025, 15, 15, 30}, roundPort(0.15, 0.07), roundPort(0.1, 0.08)},
    {{0.01, 15, 15, 100}, {0.2, 15, 15, 0}, roundPort(0.02, 0.1), roundPort(0.5, 0.04)},
    {{0.3, 15, 15, 50}, {0.005, 15, 15, 0}, roundPort(0.4, 0.03, 2), roundPort(0.01, 0.12, 3)},
    {{0.05, 15, 15, 0}, {0.05001, 15, 15, 0}, roundPort(0.1, 0.05), roundPort(0.1, 0.05)},
};

// The built-in unit in the base configuration on a fine grid.
class DoubleTunedType : public test::BoxTest, public ::testing::WithParamInterface<int> {
protected:
    void calculate(double boxQ = 15.0) {
        DtRefParams q = baseParams(GetParam());
        q.base.N = 500, q.base.start = 1, q.base.stop = 300;
        for (DtRefBox* b : {&q.rearBox, &q.frontBox})
            b->Qb = b->Ql = boxQ;
        box = makeBox(GetParam(), ui);
        apply(*box, q, dir);
        box->Calculate(0);
    }
    [[nodiscard]] double lowResonance() const { return std::min(box->rearPort().fp, box->frontPort().fp); }
    [[nodiscard]] double highResonance() const { return std::max(box->rearPort().fp, box->frontPort().fp); }
    std::unique_ptr<TDoubleTunedBox> box;
};

TEST_P(DoubleTunedType, FreeResonancesOfTheChambersInTheirPortsOrder) {
    const int type = GetParam();
    for (const Geometry& g : kGeometries) {
        box = makeBox(type, ui);
        setBox(*box, box->rearBox(), g.rearBox);
        setBox(*box, box->frontBox(), g.frontBox);
        setPort(box->rearPort(), g.rearPort);
        setPort(box->frontPort(), g.frontPort);
        box->UpdateResonances();
        const TPortObject& rp = box->rearPort();
        const TPortObject& fp = box->frontPort();
        // Type 1 shows the higher resonance at the front port, type 2 at the rear port.
        if (type == 1) {
            EXPECT_GT(fp.fp, rp.fp);
        } else {
            EXPECT_LT(fp.fp, rp.fp);
        }

        // The lossless air circuit with the cone held still must ring at both: the admittance
        // of the load behind the cone vanishes there.
        const double cr = (1 + 0.002 * g.rearBox.fill) * g.rearBox.Vb / 142000;
        const double cf = (1 + 0.002 * g.frontBox.fill) * g.frontBox.Vb / 142000;
        const double mr = test::refPortMass(g.rearPort), mf = test::refPortMass(g.frontPort);
        for (const double f : {rp.fp, fp.fp}) {
            const std::complex<double> jw(0, 2 * 3.141592653589793 * f);
            std::complex<double> y, scale;
            if (type == 1) {
                y = jw * cr + 1.0 / (jw * mr + 1.0 / (jw * cf + 1.0 / (jw * mf)));
                scale = jw * cr;
            } else {
                y = jw * cf + 1.0 / (jw * mf) + 1.0 / (jw * mr + 1.0 / (jw * cr));
                scale = jw * cf;
            }
            EXPECT_LT(std::abs(y), 1e-6 * std::abs(scale)) << "f " << f << " Vr " << g.rearBox.Vb;
        }
    }
}

TEST_P(DoubleTunedType, LoadBehindTheConePeaksAtTheShownResonances) {
    // With the cone still, the air springs and port masses ring on their own at the two
    // resonances: the load behind the cone (ZA2) has its poles there, so its magnitude peaks
    // (and the cone, pushing against it, moves least). The box losses tied to the reactance
    // move the peaks by a few percent at Q 15, so nearly lossless boxes show where they sit.
    calculate(1000.0);
    const FrequencyGrid& g = sharedSetup().grid;
    std::vector<double> peaks;
    for (int i = 1; i + 1 < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double m = std::abs(box->Zback[k]);
        if (m > std::abs(box->Zback[k - 1]) && m > std::abs(box->Zback[k + 1])) peaks.push_back(g.f[k]);
    }
    ASSERT_EQ(peaks.size(), 2u);
    EXPECT_NEAR(peaks[0] / lowResonance(), 1.0, 0.01);
    EXPECT_NEAR(peaks[1] / highResonance(), 1.0, 0.01);
}

TEST_P(DoubleTunedType, BelowBothResonancesTheTotalFallsMuchFasterThanTheDriver) {
    calculate();
    using test::valueAt;
    const double f = lowResonance() / 16;
    const double totalSlope = valueAt(box->SPL, 2 * f) - valueAt(box->SPL, f);
    const double driverSlope = valueAt(box->driverSPL, 2 * f) - valueAt(box->driverSPL, f);
    // The driver alone falls as on a closed box; the front port's flow nearly cancels it,
    // leaving only the compression of the chambers.
    EXPECT_NEAR(driverSlope, 12.0, 1.0);
    EXPECT_NEAR(totalSlope, 24.0, 1.5);
    EXPECT_LT(valueAt(box->SPL, f), valueAt(box->driverSPL, f) - 20.0);
}

TEST_P(DoubleTunedType, EqualVolumesRaiseTheSecondBoxOnceInTheCalculationOnly) {
    const int type = GetParam();
    auto b = makeBox(type, ui);
    b->front().SetDefaultUnit();
    TBoxObject& mainBox = type == 1 ? b->rearBox() : b->frontBox();
    TBoxObject& second = type == 1 ? b->frontBox() : b->rearBox();
    b->setBoxVolume(mainBox, 0.03);
    b->setBoxVolume(second, 0.03);
    EXPECT_EQ(second.Vb, 0.03); // the window's update leaves the volumes alone
    EXPECT_TRUE(std::isfinite(b->rearPort().fp));
    b->Calculate(0);
    EXPECT_EQ(mainBox.Vb, 0.03);
    EXPECT_EQ(second.Vb, 0.03 * 1.001);
    b->Calculate(0);
    EXPECT_EQ(second.Vb, 0.03 * 1.001);
    // The resonances follow the stored volume.
    DtRefParams q;
    q.rearBox.Vb = type == 1 ? 0.03 : 0.03 * 1.001;
    q.frontBox.Vb = type == 1 ? 0.03 * 1.001 : 0.03;
    double lo = 0, hi = 0;
    test::dtRefResonances(q, lo, hi);
    EXPECT_NEAR(std::min(b->rearPort().fp, b->frontPort().fp), lo, 1e-9 * lo);
    EXPECT_NEAR(std::max(b->rearPort().fp, b->frontPort().fp), hi, 1e-9 * hi);
    for (int i = 0; i < b->pointCount(); ++i)
        ASSERT_TRUE(std::isfinite(b->SPL[static_cast<std::size_t>(i)])) << i;
}


// ---- the port limit ------------------------------------------------------------------

struct LimitCase {
    int type;
    bool rearPort;
    double unlimited; // the peak speed without the limit
    double shown;     // what the limit leaves of it
};

class DoubleTunedAirSpeedLimit : public test::BoxTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(DoubleTunedAirSpeedLimit, FifteenPointThreeMetresPerSecondWithoutFlareTerm) {
    const LimitCase c = GetParam();
    DtRefParams q = baseParams(c.type);
    q.frontPort.flare = 0.4; // would raise a bass reflex port's limit to 21.3 m/s
    // Type 1 feeds the front port with what the rear port passes: a wide rear port stays
    // below its limit, so the front port shows its own.
    q.rearPort = roundPort(0.3, 0.15);
    auto box = makeBox(c.type, ui);
    apply(*box, q, dir);
    const auto speeds = [&]() -> const std::array<double, kMaxPoints>& {
        return c.rearPort ? box->rearAirSpeed : box->frontAirSpeed;
    };
    // Without the limit the speeds grow in proportion to the drive: scale it so the peak is
    // the wanted speed.
    box->Calculate(0);
    const int n = box->pointCount();
    const auto peak =
        static_cast<std::size_t>(std::max_element(speeds().begin(), speeds().begin() + n) - speeds().begin());
    const double v0 = speeds()[peak];
    sharedSetup().setUg(q.base.Ug * c.unlimited / v0);
    sharedSetup().setupChanged = 1;
    box->Calculate(0);
    EXPECT_NEAR(speeds()[peak], c.unlimited, 1e-9 * c.unlimited);
    if (c.type == 1 && !c.rearPort) {
        ASSERT_LT(box->rearAirSpeed[peak], 15.3);
    }
    TPortObject::setNonLinear(true);
    box->markChanged();
    box->Calculate(0);
    EXPECT_NEAR(speeds()[peak], c.shown, 1e-9 * c.shown);
}

const LimitCase kLimitCases[] = {
    {1, true, 15.3, 15.3},  {1, true, 30.6, 30.6 * std::sqrt(0.5)},
    {1, false, 15.3, 15.3}, {1, false, 30.6, 30.6 * std::sqrt(0.5)},
    {2, true, 15.3, 15.3},  {2, true, 30.6, 30.6 * std::sqrt(0.5)},
    {2, false, 15.3, 15.3}, {2, false, 30.6, 30.6 * std::sqrt(0.5)},
};

INSTANTIATE_TEST_SUITE_P(Ports, DoubleTunedAirSpeedLimit, ::testing::ValuesIn(kLimitCases),
                         [](const auto& info) {
                             const LimitCase& c = info.param;
                             return "Dt" + std::to_string(c.type) + (c.rearPort ? "Rear" : "Front") +
                                    (c.unlimited > 20 ? "Limited" : "AtTheLimit");
                         });

// ---- data sheet and quick box ------------------------------------------------------

TEST_P(DoubleTunedType, WholeDataSheetInTheTypesBlockOrder) {
    const int type = GetParam();
    box = makeBox(type, ui);
    box->front().SetDefaultUnit();
    DtRefParams q = baseParams(type);
    q.rearPort = roundPort(0.15, 0.07, 2);
    setBox(*box, box->rearBox(), q.rearBox);
    setBox(*box, box->frontBox(), q.frontBox);
    setPort(box->rearPort(), q.rearPort);
    setPort(box->frontPort(), q.frontPort);
    TPortObject::setNonLinear(true);
    box->Calculate(0);
    double lo = 0, hi = 0;
    test::dtRefResonances(q, lo, hi);
    const double rearF = type == 1 ? lo : hi, frontF = type == 1 ? hi : lo;
    const auto boxBlock = [](const char* name, const DtRefBox& b) {
        return strprintf("%s\r\n Vol\t\t%3.2f l\r\n Qb\t\t%3.1f\r\n Fill\t\t%d %%\r\n", name, b.Vb * 1000,
                         b.Qb, b.fill);
    };
    const auto portBlock = [](const char* name, const DtRefPort& p, double f) {
        return strprintf("%s\r\n Length\t\t%3.2f cm\r\n Area\t\t%3.2f sq.cm\r\n Dia\t\t%3.2f cm\r\n"
                         " Flange radius\tinf.\r\n # ports\t%d\r\n Simulation of port non linearity ON\r\n"
                         " Res freq.\t%3.2f Hz\r\n",
                         name, p.L * 100, p.S * 10000, p.D * 100, p.ports, f);
    };
    std::string want;
    if (type == 1) {
        want = "DOUBLE TUNED BASSREFLEX BOX 1\r\nFilename\t\r\n" + boxBlock("Rear box", q.rearBox) +
               boxBlock("Front box", q.frontBox) + portBlock("Rear port", q.rearPort, rearF) +
               portBlock("Front port", q.frontPort, frontF);
    } else {
        want = "DOUBLE TUNED BASSREFLEX BOX 2\r\nFilename\t\r\n" + boxBlock("Front box", q.frontBox) +
               boxBlock("Rear box", q.rearBox) + portBlock("Front port", q.frontPort, frontF) +
               portBlock("Rear port", q.rearPort, rearF);
    }
    ASSERT_NE(box->f3(), 0.0);
    EXPECT_EQ(box->dataSheetText(), want + test::kDataSheetBuiltInUnitAndDefaultSetup +
                                        strprintf("  -3dB point: \t%3.2f Hz\r\n", box->f3()));
}

TEST_P(DoubleTunedType, QuickBoxSizesFromVasSdAndTheEffectiveResonance) {
    const int type = GetParam();
    box = makeBox(type, ui);
    // Nothing to size without a driver.
    EXPECT_FALSE(box->QuickBox());
    EXPECT_EQ(box->rearBox().Vb, 0.01);
    EXPECT_TRUE(ui.posted.empty());

    TSpeakerObject& d = box->front();
    d.SetDefaultUnit();
    ASSERT_TRUE(d.setDriverCount(2));
    ASSERT_TRUE(d.setExtraMass(0.01));
    TBoxObject& inner = type == 1 ? box->rearBox() : box->frontBox(); // behind the driver
    TBoxObject& outer = type == 1 ? box->frontBox() : box->rearBox();
    TPortObject& innerPort = type == 1 ? box->rearPort() : box->frontPort();
    TPortObject& outerPort = type == 1 ? box->frontPort() : box->rearPort();
    inner.fill = 40, inner.Qb = 7;
    outer.fill = 20, outer.Qb = 9;
    innerPort.ports = 1;
    outerPort.ports = 3;
    inner.boxChanged = outer.boxChanged = 0;
    innerPort.portChanged = outerPort.portChanged = 0;
    ASSERT_TRUE(box->QuickBox());

    const double fs = d.fs * std::sqrt(d.Mms / (d.Mms + 0.01));
    EXPECT_NEAR(box->effectiveFs(), fs, 1e-12 * fs);
    EXPECT_DOUBLE_EQ(inner.Vb, 2 * d.Vas);
    EXPECT_DOUBLE_EQ(outer.Vb, d.Vas);
    const double innerArea = 0.004 * d.Sd * 2 / 1 * fs;
    const double outerArea = 2 * 0.004 * d.Sd * 2 / 3 * fs;
    EXPECT_DOUBLE_EQ(innerPort.S, innerArea);
    EXPECT_DOUBLE_EQ(outerPort.S, outerArea);
    EXPECT_EQ(innerPort.L, 0.2);
    EXPECT_EQ(outerPort.L, 0.1);
    // Type 2 damps its side chamber fully; the chamber behind the driver keeps its own.
    EXPECT_EQ(inner.fill, 40);
    EXPECT_EQ(inner.Qb, 7);
    EXPECT_EQ(outer.fill, type == 1 ? 20 : 100);
    EXPECT_EQ(outer.Qb, type == 1 ? 9 : 3);
    EXPECT_TRUE(inner.boxChanged && outer.boxChanged && innerPort.portChanged && outerPort.portChanged);

    // The resonances show the new chambers.
    DtRefParams q;
    q.rearBox = {box->rearBox().Vb, 15, 15, box->rearBox().fill};
    q.frontBox = {box->frontBox().Vb, 15, 15, box->frontBox().fill};
    const auto ref = [](const TPortObject& p) { return DtRefPort{p.L, p.D, p.S, 0.0, p.ports}; };
    q.rearPort = ref(box->rearPort());
    q.frontPort = ref(box->frontPort());
    double lo = 0, hi = 0;
    test::dtRefResonances(q, lo, hi);
    EXPECT_NEAR(box->rearPort().fp, type == 1 ? lo : hi, 1e-9 * hi);
    EXPECT_NEAR(box->frontPort().fp, type == 1 ? hi : lo, 1e-9 * hi);
    EXPECT_EQ(ui.posted.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Types, DoubleTunedType, ::testing::Values(1, 2),
                         [](const auto& info) { return "Dt" + std::to_string(info.param); });

} // namespace
} // namespace harlox
