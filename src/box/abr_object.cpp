#include "box/abr_object.h"

#include "box/box_object.h"
#include "core/binary_io.h"
#include "core/format.h"

#include <algorithm>
#include <cmath>

namespace harlox {

namespace {

// The air pushed along with the cone on one side, kg per m^3 of a^3.
constexpr double kAirLoad = 3.15;

} // namespace

TAbrObject::TAbrObject(const TBoxObject& box) : box_(box) {
    Reset();
}

void TAbrObject::Reset() {
    Vap = 0.1;
    Sd = 0.03;
    Mmp = 0.01;
    Xmax = 0.01;
    units = 1;
    nonLinear = 0;
    changed = 1;
    computeDerived();
}

double TAbrObject::airLoadMass() const {
    return kAirLoad * a * a * a;
}

void TAbrObject::computeDerived() {
    a = std::sqrt(Sd * kInvPi);
    Mms = Mmp + airLoadMass();
    Cap = kInvRhoC2 * Vap;
    Cmp = Cap / (Sd * Sd);
    Fp = 1.0 / (kTwoPi * std::sqrt(Mms * Cmp));
    computeFb();
}

double TAbrObject::boxCompliance(double volume) const {
    // Each radiator works on its share of the box in series with its own suspension.
    return kInvRhoC2 / (1.0 / (volume / units) + 1.0 / Vap) / (Sd * Sd);
}

void TAbrObject::computeFb() {
    const double veff = box_.Vb * (1.0 + 0.002 * box_.fill);
    Fb = 1.0 / (kTwoPi * std::sqrt(Mms * boxCompliance(veff)));
}

void TAbrObject::setVap(double volume) {
    Vap = volume;
    changed = 1;
    computeDerived();
}

void TAbrObject::setSd(double area) {
    Sd = area;
    changed = 1;
    computeDerived();
}

void TAbrObject::setMmp(double mass) {
    Mmp = mass;
    changed = 1;
    computeDerived();
}

void TAbrObject::setFp(double frequency) {
    Mms = 1.0 / (frequency * frequency * kFourPiSquared * Cmp);
    Mmp = Mms - airLoadMass();
    Fp = frequency;
    changed = 1;
    computeFb();
}

void TAbrObject::setFb(double frequency) {
    // The entered resonance is taken for the bare box: the fill is not counted here.
    Mms = 1.0 / (frequency * frequency * kFourPiSquared * boxCompliance(box_.Vb));
    Mmp = Mms - airLoadMass();
    Fp = 1.0 / (kTwoPi * std::sqrt(Mms * Cmp));
    Fb = frequency;
    changed = 1;
}

void TAbrObject::setXmax(double x) {
    Xmax = x;
    changed = 1;
}

void TAbrObject::setUnits(int count) {
    units = std::clamp(count, 1, kMaxUnits);
    changed = 1;
    computeFb();
}

void TAbrObject::setNonLinear(bool on) {
    nonLinear = on ? 1 : 0;
    changed = 1;
}

bool TAbrObject::limiting() const {
    return nonLinear != 0 && Xmax != 0.0;
}

void TAbrObject::Compute() {
    if (changed == 0) return;
    const FrequencyGrid& g = grid();
    const int n = std::clamp(g.count, 0, kMaxPoints);
    const double Rm = Mms * kTwoPi * Fp / kQ;
    const double perArea = 1.0 / (Sd * Sd);
    const double massLoad = 0.826 / (kPi * a);
    const double reactance = 3.2625 / a;
    const double kaPerHz = kTwoPi * a * kInvSpeedOfSound;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = g.f[k];
        const double w = g.w[k];
        Zm[k] = Complex(Rm * perArea, (w * Mms - 1.0 / (w * Cmp)) * perArea);
        Zmass[k] = Complex(0.0, w * massLoad);
        const double ka = kaPerHz * f;
        const double ka2 = ka * ka;
        Zfront[k] = Complex(0.04304 * f * f / (ka2 + 4.0), reactance * f / (ka2 + 2.25));
    }
    changed = 0;
}

std::vector<std::string> TAbrObject::dataSheetLines() const {
    std::vector<std::string> lines;
    lines.emplace_back("Abr unit");
    lines.push_back(strprintf(" Vap\t\t%3.2f l", Vap * 1000.0));
    lines.push_back(strprintf(" Sd\t\t%3.2f sq.cm", Sd * 10000.0));
    lines.push_back(strprintf(" Mmp\t\t%3.2f g", Mmp * 1000.0));
    lines.push_back(strprintf(" # units\t%d", static_cast<int>(units)));
    if (nonLinear != 0) lines.emplace_back(" Simulation of abr unit non linearity ON");
    lines.push_back(strprintf(" Res freq.\t%3.2f Hz (free air)", Fp));
    lines.push_back(strprintf(" Res freq.\t%3.2f Hz (in box)", Fb));
    return lines;
}

void TAbrObject::copyValues(const TAbrObject& from) {
    Vap = from.Vap;
    Cap = from.Cap;
    Cmp = from.Cmp;
    Sd = from.Sd;
    Mmp = from.Mmp;
    Fp = from.Fp;
    Fb = from.Fb;
    Xmax = from.Xmax;
    a = from.a;
    Mms = from.Mms;
    units = from.units;
    nonLinear = from.nonLinear;
}

bool TAbrObject::writeRecord(BinaryWriter& w) const {
    w.f64(Sd, "Sd");
    w.f64(a, "a");
    w.f64(Mmp, "Mmp");
    w.f64(Mms, "Mms");
    w.f64(Vap, "Vap");
    w.i32(units, "units");
    w.f64(Xmax, "Xmax");
    w.f64(Cap, "Cap");
    w.f64(Cmp, "Cmp");
    w.f64(Fb, "Fb");
    w.f64(Fp, "Fp");
    return w.u8(nonLinear, "nonLinear");
}

bool TAbrObject::readRecord(BinaryReader& r) {
    double sd = 0, ra = 0, mmp = 0, mms = 0, vap = 0, xmax = 0, cap = 0, cmp = 0, fb = 0, fp = 0;
    std::int32_t n = 1;
    std::uint8_t nl = 0;
    for (double* v : {&sd, &ra, &mmp, &mms, &vap})
        r.f64(*v);
    r.i32(n);
    for (double* v : {&xmax, &cap, &cmp, &fb, &fp})
        r.f64(*v);
    if (!r.u8(nl)) return false;
    // A damaged record must not turn every curve into NaN: the program never stores these.
    for (double v : {sd, ra, mmp, mms, vap, xmax, cap, cmp, fb, fp}) {
        if (!std::isfinite(v)) return false;
    }
    for (double v : {sd, ra, vap, cmp}) {
        if (!(v > 0.0)) return false;
    }
    if (xmax < 0.0) return false;
    Sd = sd;
    a = ra;
    Mmp = mmp;
    Mms = mms;
    Vap = vap;
    units = std::clamp(n, 1, kMaxUnits);
    Xmax = xmax;
    Cap = cap;
    Cmp = cmp;
    Fb = fb;
    Fp = fp;
    nonLinear = nl != 0 ? 1 : 0;
    changed = 1;
    return true;
}

} // namespace harlox
