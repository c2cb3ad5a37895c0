#pragma once

#include "box/bass_reflex_box.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/port_object.h"
#include "box_reference.h"
#include "core/measure_setup.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

namespace harlox::test {

// The shared setup and the shared port switch back to their defaults.
inline void resetSharedState() {
    MeasureSetup& s = sharedSetup();
    s.setValuesToDefaults();
    s.setupChanged = 1;
    TPortObject::setNonLinear(false);
}

inline RefPort roundPort(double length, double diameter, int ports = 1, double flare = 0.0) {
    return {length, diameter, 3.14159265359 * diameter * diameter / 4, flare, ports};
}

inline void setBox(TBoxEmbryo& project, TBoxObject& b, const RefBox& v) {
    project.setBoxVolume(b, v.Vb);
    b.Qb = v.Qb, b.Ql = v.Ql, b.fill = v.fill, b.boxChanged = 1;
}

inline void setPort(TPortObject& port, const RefPort& v) {
    port.L = v.L, port.D = v.D, port.S = v.S, port.flare = v.flare, port.ports = v.ports;
    port.computeSeff();
    port.portChanged = 1;
}

inline double maxOf(const std::array<double, kMaxPoints>& v, int n) {
    return *std::max_element(v.begin(), v.begin() + n);
}

// Puts the reference parameters into a project (the measured file is written into `dir`).
inline void applyParams(TBoxEmbryo& box, const RefParams& p, const TempDir& dir) {
    MeasureSetup& s = sharedSetup();
    s.pointCount = p.N;
    s.startFrequency = p.start;
    s.stopFrequency = p.stop;
    s.setUg(p.Ug);
    s.Rg = p.Rg;
    s.Lg = p.Lg;
    s.setupChanged = 1;

    TSpeakerObject& d = box.front();
    d.SetDefaultUnit();
    d.Sd = p.Sd, d.Cms = p.Cms, d.Mms = p.Mms, d.Rms = p.Rms, d.Bl = p.Bl, d.Re = p.Re, d.Le = p.Le;
    d.Xmax = p.Xmax, d.Pmax = p.Pmax;
    d.dualCoil = p.dualCoil ? 1 : 0;
    d.UnitEdited();
    ASSERT_TRUE(d.setDriverCount(p.n));
    ASSERT_TRUE(d.setDriverConnection(p.connection));
    d.setIsobaric(p.isobaric);
    ASSERT_TRUE(d.setIsobaricConnection(p.isobaricConnection));
    ASSERT_TRUE(d.setCoilConnection(p.coilConnection));
    ASSERT_TRUE(d.setExtraMass(p.extraMass));
    d.cmsNonlinear = p.cmsNonlinear, d.blNonlinear = p.blNonlinear, d.coilHeating = p.coilHeating;

    box.setVb(p.Vb);
    auto* br = dynamic_cast<TBassReflexBox*>(&box);
    TBoxObject& b = br ? br->box() : *box.boxElement();
    b.Qb = p.Qb, b.Ql = p.Ql, b.fill = p.fill, b.boxChanged = 1;
    if (br) {
        TPortObject& port = br->port();
        port.L = p.L, port.D = p.D, port.S = p.S, port.flare = p.flare, port.ports = p.ports;
        port.computeSeff();
        port.updateTuning();
        port.portChanged = 1;
    }
    TPortObject::setNonLinear(p.portNonlinear);

    if (!p.measured.empty()) {
        const std::string path = dir.file("measured.frd");
        std::ofstream out(path);
        out << "Freq\tdB\tdeg\n";
        for (const auto& m : p.measured)
            out << m.f << '\t' << m.db << '\t' << m.deg << '\n';
        out.close();
        d.setImportFile(path);
        d.importUsable = 1; // read again onto the new grid by the calculation
        ASSERT_TRUE(d.setTransitionFrequency(p.transition));
        ASSERT_TRUE(d.setPhaseLagCutoff(p.cutoff));
        d.autoLevel = p.autoLevel ? 1 : 0;
        ASSERT_TRUE(d.setLevelOffsetDb(p.offsetDb));
    }
}

// |a - b| within 1e-9 of the larger magnitude; values far below the curve's own scale
// (a phase passing through zero) are judged against a millionth of that scale.
inline void expectCurve(const char* name, const double* model, const std::vector<double>& ref) {
    double scale = 0;
    for (double v : ref)
        scale = std::max(scale, std::abs(v));
    int bad = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        const double tol = 1e-9 * std::max({std::abs(model[i]), std::abs(ref[i]), 1e-6 * scale});
        if (!(std::abs(model[i] - ref[i]) <= tol) && bad++ < 3) {
            ADD_FAILURE() << name << "[" << i << "]: " << model[i] << " vs reference " << ref[i];
        }
    }
    EXPECT_EQ(bad, 0) << name;
}

// The curves every box type shows, against its reference.
inline void expectCommonCurves(const TBoxEmbryo& box, const RefResult& r) {
    expectCurve("f", sharedSetup().grid.f.data(), r.f);
    expectCurve("SPL", box.SPL.data(), r.spl);
    expectCurve("phase", box.splPhase.data(), r.phase);
    expectCurve("group delay", box.groupDelay.data(), r.delay);
    expectCurve("impedance", box.front().impedance.data(), r.imp);
    expectCurve("impedance phase", box.impedancePhase.data(), r.impPhase);
    expectCurve("excursion", box.front().excursion.data(), r.exc);
}

// One configuration of the reference comparison: changes to a type's base parameters.
struct ReferenceCase {
    const char* name;
    void (*set)(RefParams&);
};

// Calculates `box` with the case applied to `p` and compares every curve with the reference.
inline void calculateAndCompare(TBoxEmbryo& box, RefParams p, const ReferenceCase& c, const TempDir& dir) {
    c.set(p);
    applyParams(box, p, dir);
    if (::testing::Test::HasFatalFailure()) return;
    box.Calculate(0);
    const RefResult r = referenceModel(p);
    ASSERT_EQ(box.pointCount(), p.N);
    expectCommonCurves(box, r);
    if (const auto* br = dynamic_cast<const TBassReflexBox*>(&box)) {
        expectCurve("driver SPL", br->driverSPL.data(), r.driverSpl);
        expectCurve("port SPL", br->portSPL.data(), r.portSpl);
        expectCurve("air speed", br->airSpeed.data(), r.airSpeed);
    }
    EXPECT_NEAR(box.f3(), r.f3, 1e-9 * std::max(1.0, r.f3));
}

// A curve's value at frequency f, interpolated linearly in log frequency.
inline double valueAt(const std::array<double, kMaxPoints>& y, double f) {
    const FrequencyGrid& g = sharedSetup().grid;
    std::size_t k = 1;
    while (k + 1 < static_cast<std::size_t>(g.count) && g.f[k] < f)
        ++k;
    const double t = std::log(f / g.f[k - 1]) / std::log(g.f[k] / g.f[k - 1]);
    return y[k - 1] + t * (y[k] - y[k - 1]);
}

// The data sheet's driver and setup blocks for the built-in unit in the default setup.
inline constexpr const char* kDataSheetBuiltInUnitAndDefaultSetup =
    "Driver\r\n Manufacturer\tPEERLESS\r\n Model\t\t180 WR/832732\r\n"
    " Filename\t832732.UNT\r\n # drivers\t1\r\n Extra mass\t0.0 g\r\n"
    "Setup\r\n Start freq.\t20 Hz\r\n Stop freq.\t2000 Hz\r\n # plot points\t50\r\n"
    " Ug\t\t2.83 V\r\n Rg\t\t0.00 Ohm\r\n Lg\t\t0.00 mH\r\n Pg\t\t1.000 W\r\n"
    "Additional details:\r\n";

// Every box test starts and ends with the shared setup at its defaults.
class BoxTest : public ::testing::Test {
protected:
    void SetUp() override { resetSharedState(); }
    void TearDown() override { resetSharedState(); }
    ScriptedUiHost ui;
    TempDir dir;
};

} // namespace harlox::test
