#include "box/port_object.h"

#include "core/binary_io.h"
#include "core/format.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace harlox {

namespace {

bool gNonLinear = false;

// Loss constant of the port walls (viscous boundary layer).
constexpr double kWallLoss = 3.12e-05;

} // namespace

TPortObject::TPortObject(std::string portName) : name(std::move(portName)) {
    Reset();
}

bool TPortObject::nonLinear() {
    return gNonLinear;
}

void TPortObject::setNonLinear(bool on) {
    gNonLinear = on;
}

void TPortObject::Reset() {
    L = 0.1;
    S = 0.00196349540849375;
    D = 0.05;
    Vbox = 0.1;
    flare = 0.0;
    ports = 1;
    portChanged = 1;
    computeSeff();
    updateTuning();
}

double TPortObject::effectiveArea(double s, double flareFactor) {
    // The boundary layer narrows the port; a flared port counts as up to 57.6 % wider.
    const double r = std::sqrt(s * kInvPi) - kBoundaryLayer;
    return (1.0 + 0.576 * flareFactor) * kPi * r * r;
}

double TPortObject::acousticMass() const {
    // Several ports side by side need the larger end correction.
    if (ports <= 1) return kRho * (L + 0.6 * D) / Seff;
    return kRho * (L + 1.7 * D) / Seff / ports;
}

double TPortObject::lossCoefficient() const {
    return ((2.0 * L / D + 1.0) * (1.0 / Seff) * kRho * std::sqrt(kWallLoss)) / ports;
}

void TPortObject::updateTuning() {
    fp = 1.0 / (kTwoPi * std::sqrt(acousticMass() * Vbox * kInvRhoC2));
}

double TPortObject::lengthFor(double fb, double seff, double d) const {
    const double cb = Vbox * kInvRhoC2;
    const double needed = (1.0 / kRho) * seff / (kFourPiSquared * fb * fb * cb);
    if (ports <= 1) return needed - 0.6 * d;
    return ports * needed - 1.7 * d;
}

double TPortObject::lengthForTuning(double fb) const {
    return lengthFor(fb, Seff, D);
}

void TPortObject::Compute() {
    if (portChanged) Compute(grid());
}

void TPortObject::Compute(const FrequencyGrid& g) {
    const double mp = acousticMass();
    const double k = lossCoefficient();
    const int n = std::clamp(g.count, 0, kMaxPoints);
    for (int i = 0; i < n; ++i) {
        const auto j = static_cast<std::size_t>(i);
        // The wall loss grows with the square root of frequency.
        Zport[j] = Complex(k * std::sqrt(g.w[j]), mp * g.w[j]);
    }
}

void TPortObject::setLength(double length) {
    L = length;
    updateTuning();
    portChanged = 1;
}

void TPortObject::setPorts(int count) {
    ports = std::clamp(count, 1, kMaxPorts);
    updateTuning();
    portChanged = 1;
}

void TPortObject::setVbox(double volume) {
    Vbox = volume;
    updateTuning();
    portChanged = 1;
}

bool TPortObject::setTuning(double fb) {
    const double length = lengthForTuning(fb);
    if (!std::isfinite(length) || length < 0.0) return false;
    L = length;
    fp = fb;
    portChanged = 1;
    return true;
}

bool TPortObject::sizeForTuning(double fb) {
    constexpr int kMaxDoublings = 200;
    constexpr double kShortest = 0.1; // m
    const TPortObject before = *this;
    int doublings = 0;
    const auto doubleArea = [&] {
        S *= 2.0;
        D *= std::sqrt(2.0);
        // Without the new effective area the length would never change.
        computeSeff();
        return ++doublings <= kMaxDoublings;
    };
    bool ok = true;
    while (ok && !setTuning(fb))
        ok = doubleArea();
    while (ok && L < kShortest) {
        ok = doubleArea() && setTuning(fb);
    }
    if (!ok) {
        *this = before;
        return false;
    }
    portChanged = 1;
    return true;
}

bool TPortObject::changeAreaKeepingTuning(double area, double d) {
    // The flare counts here as everywhere else, so the tuning kept now is the one a later
    // recomputation of the effective area (flare edit, project load) finds again.
    const double seff = effectiveArea(area, flare);
    const double length = lengthFor(fp, seff, d);
    if (!std::isfinite(length) || length < 0.0) return false;
    L = length;
    S = area;
    Seff = seff;
    D = d;
    portChanged = 1;
    return true;
}

bool TPortObject::setArea(double area) {
    return changeAreaKeepingTuning(area, 2.0 * std::sqrt(area / kPi));
}

bool TPortObject::setDiameter(double diameter) {
    return changeAreaKeepingTuning(kPi * diameter * diameter / 4.0, diameter);
}

bool TPortObject::setFlareRadius(double radius) {
    if (radius == 0.0) {
        flare = 0.0;
    } else {
        if (!(radius > L / 2.0)) return false;
        flare = L / (2.0 * radius);
    }
    computeSeff();
    updateTuning();
    portChanged = 1;
    return true;
}

double TPortObject::flareRadius() const {
    return flare > 0.0 ? L / (2.0 * flare) : 0.0;
}

double TPortObject::maxDiameter() const {
    if (!(flare > 0.0)) return D;
    const double r = flareRadius();
    const double rise = r - std::sqrt(std::max(0.0, r * r - L * L / 4.0));
    return 2.0 * (D / 2.0 + rise);
}

double TPortObject::airSpeed(const Complex& u) const {
    return std::abs(u) / (S * ports);
}

double TPortObject::airSpeedLimit(double flareFactor) {
    return std::max(1.0, 3.0 * flareFactor) * 5.0 + 15.3;
}

double TPortObject::limitAirSpeed(double vlim, double& v, Complex& u) {
    if (!(v > vlim)) return 1.0;
    const double s = std::sqrt(vlim / v);
    v *= s;
    u *= s;
    return s;
}

double TPortObject::applyNonLinearity(double& v, Complex& u) const {
    if (!nonLinear()) return 1.0;
    return limitAirSpeed(airSpeedLimit(), v, u);
}

std::vector<std::string> TPortObject::dataSheetLines() const {
    std::vector<std::string> lines;
    lines.push_back(name);
    lines.push_back(strprintf(" Length\t\t%3.2f cm", L * 100.0));
    lines.push_back(strprintf(" Area\t\t%3.2f sq.cm", S * 10000.0));
    lines.push_back(strprintf(" Dia\t\t%3.2f cm", D * 100.0));
    if (flare == 0.0) {
        lines.push_back(" Flange radius\tinf.");
    } else {
        lines.push_back(strprintf(" Flange radius\t%3.2f cm", flareRadius() * 100.0));
        lines.push_back(strprintf(" Max dia\t\t%3.2f cm", maxDiameter() * 100.0));
    }
    lines.push_back(strprintf(" # ports\t%d", static_cast<int>(ports)));
    if (nonLinear()) lines.push_back(" Simulation of port non linearity ON");
    lines.push_back(strprintf(" Res freq.\t%3.2f Hz", fp));
    return lines;
}

bool TPortObject::writeRecord(BinaryWriter& w) const {
    w.f64(L, "L");
    w.f64(S, "S");
    w.f64(D, "D");
    w.f64(Vbox, "Vbox");
    w.i32(ports, "ports");
    w.f64(fp, "fp");
    w.u8(nonLinear() ? 1 : 0, "nonLinear");
    return w.f64(flare, "flare");
}

bool TPortObject::readRecord(BinaryReader& r, int fileVersion) {
    double l = 0.0;
    double s = 0.0;
    double d = 0.0;
    double vb = 0.0;
    std::int32_t n = 1;
    double f = 0.0;
    std::uint8_t nl = 0;
    double fl = 0.0;
    r.f64(l);
    r.f64(s);
    r.f64(d);
    r.f64(vb);
    r.i32(n);
    r.f64(f);
    if (!r.u8(nl)) return false;
    if (fileVersion >= kFlareVersion && !r.f64(fl)) return false;
    // A damaged record must not turn every curve into NaN: the program never stores these.
    if (!(l >= 0.0 && std::isfinite(l))) return false;
    for (double v : {s, d, vb}) {
        if (!(v > 0.0 && std::isfinite(v))) return false;
    }
    L = l;
    S = s;
    D = d;
    Vbox = vb;
    ports = std::clamp(n, 1, kMaxPorts);
    fp = f;
    // Only 0 <= flare < 1 belongs to a real radius (R > L/2); anything else is taken as straight.
    flare = (fl >= 0.0 && fl < 1.0) ? fl : 0.0;
    setNonLinear(nl != 0);
    computeSeff();
    portChanged = 1;
    return true;
}

} // namespace harlox
