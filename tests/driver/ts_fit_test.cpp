#include "driver/ts_fit.h"

#include "box/box_object.h"
#include "core/measure_setup.h"
#include "driver/speaker_object.h"
#include "driver/unit_completion.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

namespace harlox {
namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

TSpkData knownUnit() {
    TSpkData u;
    u.Re = 6.1;
    u.Le = 0.45e-3;
    u.fs = 34.0;
    u.Qms = 4.2;
    u.Qes = 0.48;
    u.Qts = 1.0 / (1.0 / u.Qms + 1.0 / u.Qes);
    TUnitCompletion::setSd(u, 0.0133);
    u.Vas = 0.042;
    TUnitCompletion::calcMissingFields(u);
    return u;
}

// The engine's own driver chain: Re + jwLe + Bl^2 / (Sd^2 (Zam + Zbox)), written as a .zma.
void writeEngineCurve(const TSpkData& unit, double extraMass, const TBoxObject* box,
                      const std::string& path) {
    TSpeakerObject d;
    static_cast<TSpkData&>(d) = unit;
    d.updateDerived();
    d.extraMass = extraMass;
    FrequencyGrid g;
    g.build(500, 5, 20000);
    d.ComputeDriverData(g, 2.83, nullptr);
    d.ComputeZam(g);
    std::array<Complex, kMaxPoints> zbox{};
    if (box) {
        TBoxObject b = *box;
        b.Compute(g);
        zbox = b.Zbox;
    }
    std::ofstream out(path);
    out << "* Impedance (ohms), Phase (degrees)\n";
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex z = d.ReHot[k] + d.Bl2 / d.Sd2 / (d.Zam[k] + zbox[k]) + d.ZLe[k];
        char line[128];
        std::snprintf(line, sizeof line, "%.6f %.8e %.8e\n", g.f[k], std::abs(z),
                      std::arg(z) * 180.0 / kPiExact);
        out << line;
    }
}

TEST(TsFit, RecoversAKnownUnitFromItsSimulatedImpedanceWithinOnePercent) {
    const TSpkData known = knownUnit();
    ASSERT_GT(known.Bl, 0.0);
    ASSERT_GT(known.Mms, 0.0);
    test::TempDir dir;
    writeEngineCurve(known, 0.0, nullptr, dir.file("free.zma"));
    writeEngineCurve(known, 0.012, nullptr, dir.file("mass.zma"));
    TBoxObject box;
    box.Vb = 0.025;
    box.Qb = 1e6; // lossless: the test box method assumes no box losses
    box.Ql = 1e6;
    writeEngineCurve(known, 0.0, &box, dir.file("box.zma"));

    struct Case {
        TTsFit::Method method;
        std::string second;
    };
    for (const Case& c :
         {Case{TTsFit::Method::AddedMass, "mass.zma"}, Case{TTsFit::Method::TestBox, "box.zma"}}) {
        SCOPED_TRACE(c.second);
        TTsFit fit;
        TTsFit::Input in;
        in.freePath = dir.file("free.zma");
        in.secondPath = dir.file(c.second);
        in.method = c.method;
        in.addedMass = 0.012;
        in.boxVolume = box.Vb;
        in.Sd = known.Sd;
        ASSERT_TRUE(fit.run(in)) << fit.message();
        const TSpkData& u = fit.unit();
        for (UnitField field :
             {UnitField::fs, UnitField::Qms, UnitField::Qes, UnitField::Qts, UnitField::Re, UnitField::Le,
              UnitField::Vas, UnitField::Mms, UnitField::Cms, UnitField::Bl, UnitField::Rms}) {
            const double want = unitFieldValue(known, field);
            EXPECT_NEAR(unitFieldValue(u, field), want, 0.01 * want) << unitFieldInfo(field).label;
        }
        EXPECT_FALSE(fit.freeFit().model.hasSemiInductance());
        EXPECT_LT(fit.freeFit().rmsDb, 0.05);
    }
}

TEST(TsFit, RealAddedMassSetGivesConsistentVas) {
    const std::string free = kMeasured + "L16RNX_0g_242_27mV.zma";
    double vas[2] = {};
    const std::pair<const char*, double> seconds[] = {{"L16RNX_8_017g_242_27mV.zma", 8.017e-3},
                                                      {"L16RNX_16_048g_242_27mV.zma", 16.048e-3}};
    for (int i = 0; i < 2; ++i) {
        TTsFit fit;
        TTsFit::Input in;
        in.freePath = free;
        in.secondPath = kMeasured + seconds[i].first;
        in.addedMass = seconds[i].second;
        in.Sd = 0.0133;
        ASSERT_TRUE(fit.run(in)) << fit.message();
        const TSpkData& u = fit.unit();
        // The peak of this set lies at 45-47 Hz, where its phase crosses zero.
        EXPECT_GT(u.fs, 43.0);
        EXPECT_LT(u.fs, 48.0);
        EXPECT_LT(fit.freeFit().rmsDb, 1.0);
        EXPECT_TRUE(u.isSufficient());
        for (UnitField field : allUnitFields())
            EXPECT_GE(unitFieldValue(u, field), 0.0) << unitFieldInfo(field).label; // and no NaN
        vas[i] = u.Vas;
    }
    EXPECT_NEAR(vas[0], vas[1], 0.05 * vas[1]);
}

TEST(TsFit, FreeAirFitsOfTweeterAndWooferFindTheirPeak) {
    for (const char* name : {"DCS255-4.zma", "ND25FA-4.zma", "L16RNX_0g_242_27mV.zma"}) {
        SCOPED_TRACE(name);
        TsFitCurve curve;
        std::string error;
        ASSERT_TRUE(TTsFit::readCurve(kMeasured + name, curve, error)) << error;
        TsCurveFit fit;
        ASSERT_TRUE(TTsFit::fitCurve(curve, fit, error)) << error;
        std::size_t peak = 0; // below the coil's rise at the top end
        for (std::size_t i = 0; i < curve.f.size(); ++i)
            if (curve.f[i] < 5000.0 && std::abs(curve.z[i]) > std::abs(curve.z[peak])) peak = i;
        EXPECT_NEAR(fit.model.fs, curve.f[peak], 0.1 * curve.f[peak]);
        EXPECT_TRUE(std::isfinite(fit.rmsDb));
    }
}

TEST(TsFit, BadInputIsRefusedWithAMessageNamingTheFileOrValue) {
    test::TempDir dir;
    const TSpkData known = knownUnit();
    writeEngineCurve(known, 0.0, nullptr, dir.file("free.zma"));
    writeEngineCurve(known, 0.012, nullptr, dir.file("mass.zma"));
    {
        std::ofstream flat(dir.file("flat.zma"));
        for (int i = 0; i < 100; ++i)
            flat << 10.0 * std::pow(1.05, i) << " 6.0 0.0\n";
        std::ofstream junk(dir.file("junk.zma"), std::ios::binary);
        junk << std::string("\x01\x02\0\0PK\x03\x04", 8) << "garbage";
    }
    struct Case {
        std::string free, second;
        TTsFit::Method method;
        double mass, volume, sd;
        std::string expected;
    };
    const Case cases[] = {
        {"missing.zma", "mass.zma", TTsFit::Method::AddedMass, 0.01, 0, 0.01, "missing.zma"},
        {"junk.zma", "mass.zma", TTsFit::Method::AddedMass, 0.01, 0, 0.01, "junk.zma"},
        {"flat.zma", "mass.zma", TTsFit::Method::AddedMass, 0.01, 0, 0.01, "no impedance peak"},
        {"mass.zma", "free.zma", TTsFit::Method::AddedMass, 0.01, 0, 0.01, "not below"},
        {"free.zma", "mass.zma", TTsFit::Method::TestBox, 0, 0.02, 0.01, "not above"},
        {"free.zma", "mass.zma", TTsFit::Method::AddedMass, 0.0, 0, 0.01, "added mass"},
        {"free.zma", "mass.zma", TTsFit::Method::TestBox, 0, -1.0, 0.01, "volume"},
        {"free.zma", "mass.zma", TTsFit::Method::AddedMass, 0.01, 0, 0.0, "Sd"},
        {"free.zma", "mass.zma", TTsFit::Method::AddedMass, NAN, 0, 0.01, "added mass"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.free + " / " + c.second + " / " + c.expected);
        TTsFit fit;
        TTsFit::Input in{dir.file(c.free), dir.file(c.second), c.method, c.mass, c.volume, c.sd};
        EXPECT_FALSE(fit.run(in));
        EXPECT_NE(fit.message().find(c.expected), std::string::npos) << fit.message();
        EXPECT_EQ(fit.unit().fs, 0.0);
    }
}

} // namespace
} // namespace harlox
