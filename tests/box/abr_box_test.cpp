#include "box/abr_box.h"

#include "abr_reference.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box_test_support.h"
#include "core/binary_io.h"
#include "core/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace harlox {
namespace {

using test::AbrRefParams;
using test::RefParams;

void applyRadiator(TAbrBox& box, const AbrRefParams& q) {
    TAbrObject& r = box.abr();
    r.setVap(q.Vap);
    r.setSd(q.Sd);
    r.setMmp(q.Mmp);
    r.setXmax(q.Xmax);
    r.setUnits(q.units);
    r.setNonLinear(q.nonLinear);
}

void setUp(TAbrBox& box, const RefParams& p, const AbrRefParams& q, const test::TempDir& dir) {
    test::applyParams(box, p, dir);
    applyRadiator(box, q);
}

// A radiator's free-air resonance with both air loads of the branch Z1 (Zmass and the low
// frequency mass of Zfront): where the branch turns resistive.
double branchResonance(const TAbrObject& r) {
    const double a = std::sqrt(r.Sd / 3.14159265359);
    const double mass =
        r.Mms / (r.Sd * r.Sd) + 0.826 / (3.14159265359 * a) + 3.2625 / a / 2.25 / (2 * 3.14159265359);
    return 1 / (2 * 3.14159265359 * std::sqrt(mass * r.Vap / 142000.0));
}

// ---- the curves against the plain implementation ---------------------------------------

struct AbrCase {
    const char* name;
    void (*set)(RefParams&, AbrRefParams&);
};

class AbrReference : public test::BoxTest, public ::testing::WithParamInterface<AbrCase> {};

TEST_P(AbrReference, CurvesEqualTheFormulas) {
    RefParams p;
    p.N = 200, p.start = 5, p.stop = 2000, p.Vb = 0.04;
    AbrRefParams q;
    GetParam().set(p, q);
    TAbrBox box(ui);
    setUp(box, p, q, dir);
    ASSERT_FALSE(HasFatalFailure());
    box.Calculate(0);
    const test::AbrRefResult r = test::abrReferenceModel(p, q);
    ASSERT_EQ(box.pointCount(), p.N);
    test::expectCommonCurves(box, r);
    test::expectCurve("driver SPL", box.driverSPL.data(), r.driverSpl);
    test::expectCurve("ABR SPL", box.abrSPL.data(), r.abrSpl);
    test::expectCurve("ABR excursion", box.abr().X.data(), r.abrX);
    EXPECT_NEAR(box.abr().Fp, r.Fp, 1e-9 * r.Fp);
    EXPECT_NEAR(box.abr().Fb, r.Fb, 1e-9 * r.Fb);
    if (q.nonLinear && q.Xmax != 0) {
        // The case is only worth its name when the limit takes hold of some points.
        AbrRefParams free = q;
        free.nonLinear = false;
        const std::vector<double> unlimited = test::abrReferenceModel(p, free).abrX;
        int held = 0;
        for (int i = 0; i < p.N; ++i)
            held += box.abr().X[static_cast<std::size_t>(i)] < 0.99 * unlimited[static_cast<std::size_t>(i)];
        EXPECT_GT(held, 5);
    }
    EXPECT_TRUE(ui.messages.empty());
}

const AbrCase kAbrCases[] = {
    {"DefaultRadiator", [](RefParams&, AbrRefParams&) {}},
    // With one radiator the mended formulas are the ones first written down.
    {"OneRadiatorAsOriginallyWritten", [](RefParams&, AbrRefParams& q) { q.original = true; }},
    {"ThreeRadiatorsTwoDrivers",
     [](RefParams& p, AbrRefParams& q) { p.n = 2, p.Vb = 0.03, q.units = 3, q.Vap = 0.04, q.Mmp = 0.05; }},
    {"RadiatorLimitBites",
     [](RefParams& p, AbrRefParams& q) { p.Ug = 20, q.nonLinear = true, q.Xmax = 0.002, q.units = 2; }},
    {"XmaxZeroIgnoresTheCheckBox",
     [](RefParams& p, AbrRefParams& q) { p.Ug = 20, q.nonLinear = true, q.Xmax = 0; }},
    {"CmsAndBlNonlinearHeatingFilledLossy",
     [](RefParams& p, AbrRefParams& q) {
         p.Ug = 25, p.cmsNonlinear = p.blNonlinear = p.coilHeating = true;
         p.fill = 60, p.Qb = 5, p.Ql = 7, q.units = 3, q.Sd = 0.02;
     }},
    {"IsobaricDualCoilWithRgLg",
     [](RefParams& p, AbrRefParams& q) {
         p.n = 2, p.isobaric = true, p.dualCoil = true, p.coilConnection = 0;
         p.Rg = 0.6, p.Lg = 0.0005, q.units = 2;
     }},
};
INSTANTIATE_TEST_SUITE_P(Configurations, AbrReference, ::testing::ValuesIn(kAbrCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- several radiators ------------------------------------------------------------------

class AbrSystem : public test::BoxTest {
protected:
    // The built-in unit on a 500-point grid.
    void SetUp() override {
        BoxTest::SetUp();
        p.N = 500, p.start = 2, p.stop = 2000, p.Vb = 0.03;
    }
    RefParams p;
    AbrRefParams q;
};

TEST_F(AbrSystem, NDriversNRadiatorsInNTimesTheBoxAreNTimesOneSystem) {
    p.Ug = 12, q.nonLinear = true, q.Xmax = 0.004; // the radiator limit bites as well
    TAbrBox one(ui);
    setUp(one, p, q, dir);
    ASSERT_FALSE(HasFatalFailure());
    one.Calculate(0);
    for (const int n : {2, 3, 5}) {
        SCOPED_TRACE(n);
        RefParams pn = p;
        AbrRefParams qn = q;
        pn.n = n, pn.Vb = n * p.Vb, qn.units = n;
        TAbrBox many(ui);
        setUp(many, pn, qn, dir);
        ASSERT_FALSE(HasFatalFailure());
        many.Calculate(0);
        EXPECT_NEAR(many.abr().Fb, one.abr().Fb, 1e-9 * one.abr().Fb);
        const double gain = 20 * std::log10(n);
        for (int i = 0; i < p.N; ++i) {
            const auto k = static_cast<std::size_t>(i);
            ASSERT_NEAR(many.SPL[k], one.SPL[k] + gain, 1e-9) << "at " << many.grid().f[k] << " Hz";
            ASSERT_NEAR(many.driverSPL[k], one.driverSPL[k] + gain, 1e-9);
            ASSERT_NEAR(many.abrSPL[k], one.abrSPL[k] + gain, 1e-9);
            // Each radiator and each cone moves as the single one does.
            ASSERT_NEAR(many.abr().X[k], one.abr().X[k], 1e-9 * one.abr().X[k]);
            ASSERT_NEAR(many.front().excursion[k], one.front().excursion[k], 1e-9 * one.front().excursion[k]);
        }
    }
}

TEST_F(AbrSystem, FarBelowTheTuningTheRadiatorsSuspensionSharesTheConeVolumeVelocity) {
    // At low frequency each impedance is its compliance: the cones push into Cab and the
    // radiators' units·Cap side by side, and the radiators return the share units·Cap of it,
    // so total / driver = Cab / (Cab + units·Cap), and the cones see a closed box of
    // Vb + units·Vap.
    struct Case {
        double Vb, Vap;
        int units;
    };
    for (const Case c : {Case{0.05, 0.05, 1}, Case{0.01, 0.1, 1}, Case{0.04, 0.02, 2}, Case{0.02, 0.01, 3}}) {
        SCOPED_TRACE(testing::Message() << c.Vb << " " << c.Vap << " " << c.units);
        p.Vb = c.Vb, p.Qb = p.Ql = 1e9, q.Vap = c.Vap, q.units = c.units;
        TAbrBox box(ui);
        setUp(box, p, q, dir);
        ASSERT_FALSE(HasFatalFailure());
        box.Calculate(0);
        const double cab = c.Vb / 142000, cap = c.Vap / 142000;
        EXPECT_NEAR(box.SPL[0] - box.driverSPL[0], 20 * std::log10(cab / (cab + c.units * cap)), 0.02);

        RefParams closed = p;
        closed.Vb = c.Vb + c.units * c.Vap;
        TClosedBox reference(ui);
        test::applyParams(reference, closed, dir);
        reference.Calculate(0);
        EXPECT_NEAR(box.driverSPL[0], reference.SPL[0], 0.02);
    }
}

TEST_F(AbrSystem, TheNotchSitsWhereTheRadiatorBranchResonatesWhateverTheNumberOfUnits) {
    p.start = 10, p.stop = 1000;
    for (const int units : {1, 2, 3}) {
        SCOPED_TRACE(units);
        q.units = units;
        TAbrBox box(ui);
        setUp(box, p, q, dir);
        ASSERT_FALSE(HasFatalFailure());
        box.Calculate(0);
        // The only dip of the total: the level falls below it and rises above.
        const double* spl = box.SPL.data();
        int k = 1;
        while (k + 1 < p.N && !(spl[k] < spl[k - 1] && spl[k] < spl[k + 1]))
            ++k;
        const double notch = box.grid().f[static_cast<std::size_t>(k)];
        const double expected = branchResonance(box.abr());
        EXPECT_NEAR(expected, 43.0, 0.5); // defaults, below the shown free-air 50 Hz
        EXPECT_NEAR(notch, expected, 0.015 * expected);
        EXPECT_GT(test::valueAt(box.SPL, expected * 2) - spl[k], 20.0);
        EXPECT_GT(test::valueAt(box.SPL, expected / 1.2) - spl[k], 6.0);
    }
}

// ---- the radiator element ---------------------------------------------------------------

class AbrObjectTest : public test::BoxTest {
protected:
    TBoxObject box{"Box", true};
    TAbrObject abr{box};
};

// Both resonances recomputed from the entered fields.
void expectDerivedInStep(const TAbrObject& r, const TBoxObject& b, bool fbEntered) {
    const double a = std::sqrt(r.Sd / 3.14159265359), mms = r.Mmp + 3.15 * a * a * a;
    const double fp = 1 / (2 * 3.14159265359 * std::sqrt(mms * r.Vap / 142000.0 / (r.Sd * r.Sd)));
    EXPECT_NEAR(r.Fp, fp, 1e-10 * fp);
    if (fbEntered) return;
    const double cm = 1 / 142000.0 / (r.units / (b.Vb * (1 + 0.002 * b.fill)) + 1 / r.Vap) / (r.Sd * r.Sd);
    const double fb = 1 / (2 * 3.14159265359 * std::sqrt(mms * cm));
    EXPECT_NEAR(r.Fb, fb, 1e-10 * fb);
}

TEST_F(AbrObjectTest, DefaultsAndEveryEditKeepTheDerivedValuesInStep) {
    EXPECT_NEAR(abr.a, 0.0977, 5e-5);
    EXPECT_NEAR(abr.Mms, 0.01294, 5e-6);
    EXPECT_NEAR(abr.Cap, 7.04e-7, 5e-10);
    EXPECT_NEAR(abr.Cmp, 7.82e-4, 5e-7);
    EXPECT_NEAR(abr.Fp, 50.0, 0.1);
    EXPECT_EQ(abr.changed, 1);
    expectDerivedInStep(abr, box, false);

    struct Edit {
        const char* name;
        void (*apply)(TAbrObject&, TBoxObject&);
    };
    const Edit edits[] = {
        {"Vap", [](TAbrObject& r, TBoxObject&) { r.setVap(0.04); }},
        {"Sd", [](TAbrObject& r, TBoxObject&) { r.setSd(0.05); }},
        {"Mmp", [](TAbrObject& r, TBoxObject&) { r.setMmp(0.08); }},
        {"units", [](TAbrObject& r, TBoxObject&) { r.setUnits(3); }},
        {"box", [](TAbrObject& r, TBoxObject& b) { b.Vb = 0.07, b.fill = 40, r.computeFb(); }},
        {"Xmax", [](TAbrObject& r, TBoxObject&) { r.setXmax(0.0); }},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.name);
        abr.changed = 0;
        e.apply(abr, box);
        if (std::strcmp(e.name, "box") != 0) {
            EXPECT_EQ(abr.changed, 1);
        }
        expectDerivedInStep(abr, box, false);
    }

    // An entered Fp stays and sets the mass; Fb follows.
    abr.setFp(35.0);
    EXPECT_EQ(abr.Fp, 35.0);
    expectDerivedInStep(abr, box, false);
}

TEST_F(AbrObjectTest, EnteredResonancesSetTheMass) {
    // 50.02 Hz is the default's own resonance within the field's rounding.
    abr.setFp(50.02);
    EXPECT_EQ(strprintf("%3.1f", abr.Mmp * 1000), "10.0");

    // Fb is taken for the box without its fill; the next recomputation counts the fill.
    box.Vb = 0.02, box.fill = 100;
    abr.setUnits(2);
    abr.setFb(60.0);
    EXPECT_EQ(abr.Fb, 60.0);
    const double cmBare = 1 / 142000.0 / (2 / 0.02 + 1 / abr.Vap) / (abr.Sd * abr.Sd);
    EXPECT_NEAR(abr.Mms, 1 / (60.0 * 60.0 * 39.4784176044 * cmBare), 1e-12);
    expectDerivedInStep(abr, box, true);
    abr.computeFb();
    const double cmFilled = 1 / 142000.0 / (2 / (0.02 * 1.2) + 1 / abr.Vap) / (abr.Sd * abr.Sd);
    EXPECT_NEAR(abr.Fb, 60.0 * std::sqrt(cmBare / cmFilled), 1e-9);
    EXPECT_LT(abr.Fb, 59.0);
}

TEST_F(AbrObjectTest, RecordLayoutAndRefusedValues) {
    abr.setVap(0.03);
    abr.setSd(0.021);
    abr.setMmp(0.045);
    abr.setXmax(0.007);
    abr.setUnits(4);
    abr.setNonLinear(true);
    BinaryWriter w;
    ASSERT_TRUE(abr.writeRecord(w));
    const std::vector<std::uint8_t> bytes = w.buffer();
    ASSERT_EQ(bytes.size(), TAbrObject::kRecordSize);
    const auto f64At = [&](std::size_t at) {
        double v;
        std::memcpy(&v, bytes.data() + at, 8); // the test machine is little-endian
        return v;
    };
    const std::pair<std::size_t, double> fields[] = {
        {0, abr.Sd},    {8, abr.a},    {16, abr.Mmp}, {24, abr.Mms}, {32, abr.Vap},
        {44, abr.Xmax}, {52, abr.Cap}, {60, abr.Cmp}, {68, abr.Fb},  {76, abr.Fp}};
    for (const auto& [at, v] : fields) {
        EXPECT_EQ(f64At(at), v) << at;
    }
    EXPECT_EQ(bytes[40], 4);
    EXPECT_EQ(bytes[84], 1);

    TBoxObject otherBox;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::size_t, double> bad[] = {{0, nan}, {0, -0.01}, {0, 0.0},     {8, 0.0},  {16, nan},
                                                  {32, -1}, {32, nan},  {44, -0.001}, {60, 0.0}, {76, inf}};
    for (const auto& [at, v] : bad) {
        SCOPED_TRACE(testing::Message() << at << " " << v);
        std::vector<std::uint8_t> damaged = bytes;
        std::memcpy(damaged.data() + at, &v, 8);
        TAbrObject target(otherBox);
        BinaryReader r(damaged);
        EXPECT_FALSE(target.readRecord(r));
        EXPECT_EQ(target.Vap, 0.1);
        EXPECT_EQ(target.Sd, 0.03);
        EXPECT_EQ(target.units, 1);
    }
    // A sound record is taken as stored; counts beyond the window's range become its limit.
    std::vector<std::uint8_t> many = bytes;
    many[40] = 12;
    TAbrObject target(otherBox);
    target.changed = 0;
    BinaryReader r(many);
    ASSERT_TRUE(target.readRecord(r));
    EXPECT_EQ(target.units, TAbrObject::kMaxUnits);
    EXPECT_EQ(target.Mms, abr.Mms);
    EXPECT_EQ(target.Fp, abr.Fp);
    EXPECT_EQ(target.nonLinear, 1);
    EXPECT_EQ(target.changed, 1);
}

// ---- the project ------------------------------------------------------------------------

TEST_F(AbrSystem, DataSheetDescribesTheLastCalculation) {
    test::resetSharedState(); // the default grid of the sheet's setup block
    TAbrBox box(ui);
    box.front().SetDefaultUnit();
    box.setVb(0.03);
    box.abr().setUnits(2);
    box.abr().setNonLinear(true);
    box.Calculate(0);
    ASSERT_NE(box.f3(), 0.0);
    const std::string want =
        "ABR BOX\r\nFilename\t\r\n"
        "Box\r\n Vol\t\t30.00 l\r\n Qb\t\t15.0\r\n Ql\t\t15.0\r\n Fill\t\t0 %\r\n"
        "Abr unit\r\n Vap\t\t100.00 l\r\n Sd\t\t300.00 sq.cm\r\n Mmp\t\t10.00 g\r\n # units\t2\r\n"
        " Simulation of abr unit non linearity ON\r\n" +
        strprintf(" Res freq.\t%3.2f Hz (free air)\r\n Res freq.\t%3.2f Hz (in box)\r\n", box.abr().Fp,
                  box.abr().Fb) +
        test::kDataSheetBuiltInUnitAndDefaultSetup + strprintf("  -3dB point: \t%3.2f Hz\r\n", box.f3());
    EXPECT_EQ(box.dataSheetText(), want);
    EXPECT_EQ(strprintf("%3.2f", box.abr().Fp), "50.02");

    // Edits after the calculation leave the sheet alone until the next one.
    box.abr().setVap(0.05);
    box.abr().setNonLinear(false);
    EXPECT_EQ(box.dataSheetText(), want);
    box.Calculate(0);
    const std::string now = box.dataSheetText();
    EXPECT_NE(now.find(" Vap\t\t50.00 l\r\n Sd"), std::string::npos);
    EXPECT_EQ(now.find("non linearity"), std::string::npos);
}

TEST_F(AbrSystem, QuickBoxSizesTheBoxAndOneRadiatorPerDriver) {
    struct Case {
        int n;
        bool isobaric;
    };
    for (const Case c : {Case{1, false}, Case{3, false}, Case{2, true}}) {
        SCOPED_TRACE(testing::Message() << c.n << (c.isobaric ? " isobaric" : ""));
        TAbrBox box(ui);
        EXPECT_FALSE(box.QuickBox()); // no unit yet: nothing changes
        EXPECT_EQ(box.box().Vb, 0.01);
        EXPECT_EQ(box.abr().Vap, 0.1);

        TSpeakerObject& d = box.front();
        d.SetDefaultUnit();
        ASSERT_TRUE(d.setDriverCount(c.n));
        d.setIsobaric(c.isobaric);
        ui.posted.clear();
        ASSERT_TRUE(box.QuickBox());
        const double vasEff = c.n * d.Vas * (c.isobaric ? 0.5 : 1.0);
        EXPECT_NEAR(box.box().Vb, 1.5 * vasEff, 1e-15);
        const TAbrObject& r = box.abr();
        EXPECT_EQ(r.Sd, d.Sd);
        EXPECT_EQ(r.Mmp, d.Mmd);
        EXPECT_NEAR(r.Vap, vasEff / c.n, 1e-15);
        EXPECT_EQ(r.units, c.n);
        EXPECT_EQ(r.changed, 1);
        expectDerivedInStep(r, box.box(), false);
        EXPECT_EQ(ui.posted.size(), 1u);
        ui.runPosted();
        EXPECT_TRUE(box.dataSheetWritten()); // the notification recalculated
    }
}

TEST_F(AbrSystem, RadiatorCurvesFollowTheGridAndTheirEdits) {
    TAbrBox box(ui);
    setUp(box, p, q, dir);
    ASSERT_FALSE(HasFatalFailure());
    box.Calculate(0);
    const double before = box.abrSPL[100];
    box.abr().setMmp(0.03);
    box.Calculate(0);
    EXPECT_NE(box.abrSPL[100], before);

    // A new grid rebuilds the curves on it.
    p.N = 80, p.start = 30, p.stop = 300;
    test::applyParams(box, p, dir);
    box.Calculate(0);
    q.Mmp = 0.03;
    const test::AbrRefResult r = test::abrReferenceModel(p, q);
    test::expectCurve("ABR SPL", box.abrSPL.data(), r.abrSpl);
    test::expectCurve("SPL", box.SPL.data(), r.spl);
}

} // namespace
} // namespace harlox
