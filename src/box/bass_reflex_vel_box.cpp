#include "box/bass_reflex_vel_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "core/binary_io.h"
#include "core/format.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace harlox {

namespace {

constexpr const char* kQuickBoxCaption = "Quick box";
constexpr const char* kPortSizingFailedText = "The ports cannot be sized for the quick box tuning.";

} // namespace

TBassReflexVelBox::TBassReflexVelBox(UiHost& ui) : TBoxEmbryo(ui) {
    createBox(box_, "Front box", true);
    createBox(box2_, "Rear box", true);
    createPort(port1_, "Port");
    createPort(port2_, "Rear port/variovent");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(frontPortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front Port");
    splWindow_.addCurve(rearPortSPL.data(), Pen{PenColor::Green, PenStyle::Solid}, "Rear port/variovent");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    excursionWindow_.addCurve(rear_->excursion.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear driver");
    impedanceWindow_.addCurve(rear_->impedance.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear driver");
    airSpeedWindow_.setLogX(true);
    airSpeedWindow_.addCurve(airSpeed1.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Port");
    airSpeedWindow_.addCurve(airSpeed2.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear port/variovent");
    addWindow(airSpeedWindow_);
    TBassReflexVelBox::Reset();
}

void TBassReflexVelBox::Reset() {
    TBoxEmbryo::Reset();
    port1_->Reset();
    port2_->Reset();
    port1_->setVbox(box_->Vb);
    port2_->setVbox(box2_->Vb);
    ventResistance = 0.0;
    loadValid_ = false;
    fl_ = fu_ = 0.0;
}

void TBassReflexVelBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    if (&box == box_.get()) port1_->setVbox(volume);
    if (&box == box2_.get()) port2_->setVbox(volume);
}

bool TBassReflexVelBox::setVentResistance(double r) {
    if (!(r >= 0.0 && r <= kMaxVentResistance)) return false;
    ventResistance = r;
    port2_->portChanged = 1;
    markChanged();
    return true;
}

bool TBassReflexVelBox::QuickBox() {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const TSpeakerObject& f = *front_;
    const TSpeakerObject& r = *rear_;
    // The rear configuration's effective values, as ComputeDerivedValues finds the front's.
    const double vasRear = r.driverCount * r.Vas * (r.isobaric != 0 ? 0.5 : 1.0);
    const double fsRear = r.fs * std::sqrt(r.Mms / (r.Mms + r.extraMass));
    const double vasFront = effectiveVas();
    const double fsFront = effectiveFs();
    // Both configurations work on the same chambers in parallel: their compliances add and
    // their masses combine in parallel, so fs² is the Vas-weighted mean of the two fs².
    const double vas = vasFront + vasRear;
    if (!(vas > 0.0)) return false;
    const double fs = std::sqrt((fsFront * fsFront * vasFront + fsRear * fsRear * vasRear) / vas);
    const double coneArea = f.driverCount * f.Sd + r.driverCount * r.Sd;

    // Kept so that a port that cannot be sized leaves the project as it was.
    const TBoxObject frontBefore = *box_;
    const TBoxObject rearBefore = *box2_;
    const TPortObject portBefore = *port1_;
    const TPortObject ventBefore = *port2_;

    setBoxVolume(*box_, vas * 0.35714285714285715);
    setBoxVolume(*box2_, vas * 0.3333333333333333);
    bool sized = true;
    for (const auto& [port, tuning] : {std::pair{port1_.get(), 2.0 * fs}, std::pair{port2_.get(), fs}}) {
        port->S = tuning * coneArea * 0.004 / port->ports;
        port->D = std::sqrt(4.0 * port->S * 0.3183098861837697);
        port->computeSeff();
        sized = sized && port->sizeForTuning(tuning);
    }
    if (!sized) {
        *box_ = frontBefore;
        *box2_ = rearBefore;
        *port1_ = portBefore;
        *port2_ = ventBefore;
        ui_.error(kQuickBoxCaption, kPortSizingFailedText);
        return false;
    }
    box_->boxChanged = box2_->boxChanged = 1;
    port1_->portChanged = port2_->portChanged = 1;
    markChanged();
    postChangeNotification(0);
    return true;
}

bool TBassReflexVelBox::driversComplete() const {
    return front_->unitOk != 0 && rear_->unitOk != 0;
}

void TBassReflexVelBox::driverSource(const TSpeakerObject& d, std::array<Complex, kMaxPoints>& ps,
                                     std::array<Complex, kMaxPoints>& zx) const {
    // The quantities ComputeImpedance and ComputeExcursion use, with the chain's
    // U = drive / (R·ZA' + motional / c) rewritten as ps / (ZA' + Zx): R is the loop's
    // resistance without Le, c halves an isobaric pair's load.
    const MeasureSetup& s = setup();
    const FrequencyGrid& g = grid();
    const double mS = d.sourceMultiplier();
    const double Rs = s.Rg * mS;
    const double Ls = s.Lg * mS;
    double forceFactor = d.Bl;
    if (d.isobaric != 0) forceFactor *= 2.0;
    if (d.dualCoil != 0) forceFactor *= 2.0;
    const double drive = forceFactor * s.Ug * d.voltageMultiplier() / d.Sd;
    const double motional = (d.isobaric != 0 ? 2.0 : 1.0) * d.Bl2 / d.Sd2;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex inverseR = divide(Complex(1.0, 0.0), Complex(d.ReHot[k] + Rs, g.w[k] * Ls));
        ps[k] = inverseR * drive;
        zx[k] = inverseR * motional;
    }
}

void TBassReflexVelBox::ComputeBackLoad() {
    // Runs once per calculation, after the driver data: the chamber loads and the electrical
    // sides of the two configurations do not change between the passes, and only with the
    // elements, the units, their wiring or the setup (a new grid marks them all changed).
    const bool changed = box_->boxChanged != 0 || box2_->boxChanged != 0 || port1_->portChanged != 0 ||
                         port2_->portChanged != 0 || front_->unitChanged != 0 || rear_->unitChanged != 0 ||
                         setup().setupChanged != 0 || ventResistance != loadResistance_ || !loadValid_;
    if (!changed) return;
    loadResistance_ = ventResistance;
    loadValid_ = true;
    const int count = grid().count;
    const Complex rv(ventResistance, 0.0);
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zf = box_->Zbox[k];
        const Complex& zp = port1_->Zport[k];
        const Complex& zr = box2_->Zbox[k];
        const Complex zv = port2_->Zport[k] + rv;
        frontShare_[k] = divide(zf, zf + zp);
        rearShare_[k] = divide(zr, zr + zv);
        frontShareDb_[k] = levelDb(frontShare_[k]);
        rearShareDb_[k] = levelDb(rearShare_[k]);
        // The two chambers in series across the partition: (Zfront ∥ Zport) + (Zrear ∥ Zvent).
        Zback[k] = multiply(frontShare_[k], zp) + multiply(rearShare_[k], zv);
    }
    driverSource(*front_, ps1_, zx1_);
    driverSource(*rear_, ps2_, zx2_);
}

void TBassReflexVelBox::ComputeAcousticLoad() {
    // Both configurations push against the same chamber pressures: per cone
    // U_k·A_k + Zc·Utot = ps_k with A_k = Zam_k + Zx_k and Utot = n1·U1 + n2·U2. Eliminating
    // gives U1 = M1 / D and U2 = M2 / D with M1 = ps1·A2 + n2·Zc·(ps1 - ps2),
    // M2 = ps2·A1 - n1·Zc·(ps1 - ps2), and Zc·Utot = Zc·N / D with N = n1·ps1·A2 + n2·ps2·A1.
    // Each cone's load ZA_k = Zam_k + Zc·Utot / U_k = Zam_k + Zc·N / M_k is what the
    // standard chain needs to give back U_k; D drops out, and one real division serves both.
    const TSpeakerObject& f = *front_;
    const TSpeakerObject& r = *rear_;
    const double n1 = f.driverCount;
    const double n2 = r.driverCount;
    // The isobaric partner's Zam is part of the cone's own impedance, not of its load.
    const double own1 = f.isobaric != 0 ? 2.0 : 1.0;
    const double own2 = r.isobaric != 0 ? 2.0 : 1.0;
    const int count = grid().count;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex a1 = f.Zam[k] * own1 + zx1_[k];
        const Complex a2 = r.Zam[k] * own2 + zx2_[k];
        const Complex& zc = Zback[k];
        const Complex zcDiff = multiply(zc, ps1_[k] - ps2_[k]);
        const Complex p1a2 = multiply(ps1_[k], a2);
        const Complex p2a1 = multiply(ps2_[k], a1);
        const Complex m1 = p1a2 + zcDiff * n2;
        const Complex m2 = p2a1 - zcDiff * n1;
        const Complex zcn = multiply(zc, p1a2 * n1 + p2a1 * n2);
        const double s1 = squaredMagnitude(m1);
        const double s2 = squaredMagnitude(m2);
        const double inverse = 1.0 / (s1 * s2);
        const Complex q1 = multiply(zcn, Complex(m1.real(), -m1.imag()));
        const Complex q2 = multiply(zcn, Complex(m2.real(), -m2.imag()));
        ZA[k] = f.Zam[k] + q1 * (s2 * inverse);
        ZArear[k] = r.Zam[k] + q2 * (s1 * inverse);
    }
}

void TBassReflexVelBox::ComputeDriverChain() {
    const bool display = displayPass();
    ComputeImpedance(*front_, ZA, Zmot, impedancePhase.data(), display);
    ComputeExcursion(*front_, ZA);
    ComputeImpedance(*rear_, ZArear, ZmotRear, nullptr, display);
    ComputeExcursion(*rear_, ZArear);
}

void TBassReflexVelBox::describeRoomSources(RoomSources& out) const {
    const TPortObject& port = *port1_;
    const TPortObject& vent = *port2_;
    out[SourceGroup::Ports1] = RoomSourceGroup{port.ports, 0.5 * port.D, nullptr, 1.0};
    out[SourceGroup::Ports2] = RoomSourceGroup{vent.ports, 0.5 * vent.D, vent.Pport.data(), 1.0};
}

void TBassReflexVelBox::ComputePressure() {
    const FrequencyGrid& g = grid();
    const TSpeakerObject& f = *front_;
    const TSpeakerObject& r = *rear_;
    TPortObject& port = *port1_;
    TPortObject& vent = *port2_;
    const double n1 = f.driverCount;
    const double n2 = r.driverCount;
    const bool limited = TPortObject::nonLinear();
    const double vlim1 = port.airSpeedLimit();
    const double vlim2 = vent.airSpeedLimit();
    const double perArea1 = 1.0 / (port.S * port.ports);
    const double perArea2 = 1.0 / (vent.S * vent.ports);
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex kf = K * g.f[k];
        // After the Bl limiting, so the chambers see what the cones really move.
        const Complex utot = f.U[k] * n1 + r.U[k] * n2;
        Pcone[k] = multiply(kf, utot);
        // Out of each chamber through its vent: the front one is fed by the cones, the rear
        // one emptied by them.
        Complex uf = multiply(utot, frontShare_[k]);
        Complex ur = -multiply(utot, rearShare_[k]);
        double v1 = magnitude(uf) * perArea1;
        double v2 = magnitude(ur) * perArea2;
        portGain_[k] = limited ? TPortObject::limitAirSpeed(vlim1, v1, uf) : 1.0;
        ventGain_[k] = limited ? TPortObject::limitAirSpeed(vlim2, v2, ur) : 1.0;
        airSpeed1[k] = v1;
        airSpeed2[k] = v2;
        port.Uport[k] = uf;
        vent.Uport[k] = ur;
        const Complex pf = multiply(kf, uf);
        const Complex pr = multiply(kf, ur);
        port.Pport[k] = pf;
        vent.Pport[k] = pr;
        // Both vents open to the outside: their flows add. Summed by parts from the
        // registers (a complex sum goes through memory here and stalls the loop).
        P[k] = Complex(pf.real() + pr.real(), pf.imag() + pr.imag());
    }
    fillLevels(Pcone.data(), driverSPL.data(), g.count);
    // Each vent's level is the cones' plus its chamber's share (and the limiting): two
    // logarithms per point fewer than levels of their own.
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (Pcone[k] == Complex(0.0, 0.0)) {
            frontPortSPL[k] = rearPortSPL[k] = 0.0;
            continue;
        }
        frontPortSPL[k] = driverSPL[k] + frontShareDb_[k];
        rearPortSPL[k] = driverSPL[k] + rearShareDb_[k];
        if (portGain_[k] != 1.0) frontPortSPL[k] += 20.0 * std::log10(portGain_[k]);
        if (ventGain_[k] != 1.0) rearPortSPL[k] += 20.0 * std::log10(ventGain_[k]);
    }
}

void TBassReflexVelBox::FindMinus3dB() {
    const FrequencyGrid& g = grid();
    const int n = g.count;
    const auto at = [this](int i) { return SPL[static_cast<std::size_t>(i)]; };
    const auto freq = [&g](int i) { return g.f[static_cast<std::size_t>(i)]; };
    fl_ = fu_ = 0.0;
    if (n < 3) return;
    // A dip between two humps is the passband's reference; else its peak.
    int dip = -1;
    for (int i = 1; i <= n - 3; ++i) {
        if (at(i) < at(i - 1) && at(i) < at(i + 1)) dip = i;
    }
    double reference = 0.0;
    if (dip >= 0) {
        reference = at(dip);
    } else {
        reference = at(0);
        for (int i = 1; i <= n - 2; ++i)
            reference = std::max(reference, at(i));
    }
    const double level = reference - 3.0;
    int i = 0;
    while (i < n && !(at(i) > level))
        ++i;
    if (i > 0 && i < n) {
        const double t = (at(i) - level) / (at(i) - at(i - 1));
        fl_ = (1.0 - t) * freq(i) + t * freq(i - 1);
    }
    int j = n - 1;
    while (j >= 0 && !(at(j) > level))
        --j;
    if (j >= 0 && j < n - 1) {
        const double t = (at(j) - level) / (at(j) - at(j + 1));
        fu_ = (1.0 - t) * freq(j) + t * freq(j + 1);
    }
}

void TBassReflexVelBox::UpdateDiagrams() {
    TBoxEmbryo::UpdateDiagrams();
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
}

void TBassReflexVelBox::captureTypeSheet() {
    rear_->captureSheetValues(sheetRear_);
    sheetFl_ = fl_;
    sheetFu_ = fu_;
    sheetRv_ = ventResistance;
}

void TBassReflexVelBox::appendTypeLines(std::vector<std::string>& lines) const {
    lines.push_back(strprintf(" Vent resist.\t%.0f Pa*s/m3", sheetRv_));
}

void TBassReflexVelBox::appendDriverLines(std::vector<std::string>& lines) const {
    for (const auto& block : {TSpeakerObject::dataSheetLines(sheetDriver(), "Front driver"),
                              TSpeakerObject::dataSheetLines(sheetRear_, "Rear driver")})
        lines.insert(lines.end(), block.begin(), block.end());
}

void TBassReflexVelBox::appendAdditionalDetails(std::vector<std::string>& lines) const {
    if (sheetFl_ != 0.0 && sheetFu_ != 0.0)
        lines.push_back(strprintf("  -3dB points: \t%3.2f Hz   ", sheetFl_) +
                        strprintf(",   %3.2f Hz", sheetFu_));
}

bool TBassReflexVelBox::writeTypeRecords(BinaryWriter& w) const {
    w.f64(ventResistance, "ventResistance");
    writeGroup(w, "port", [&] { return port1_->writeRecord(w); });
    writeGroup(w, "port2", [&] { return port2_->writeRecord(w); });
    writeGroup(w, "box2", [&] { return box2_->writeRecord(w); });
    w.textBlock(rearUnitPath(), kPathBlock, "rearUnitFile");
    writeGroup(w, "rearUnit", [&] { return rear_->writeRecord(w); });
    FieldGroup g(w, "airSpeedWindow");
    return airSpeedWindow_.writeRecord(w);
}

bool TBassReflexVelBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    double rv = 0.0;
    if (!r.f64(rv)) return false;
    // A value no dialog could have set is taken as a plain port.
    ventResistance = rv >= 0.0 && rv <= kMaxVentResistance ? rv : 0.0;
    if (!port1_->readRecord(r, fileVersion)) return false;
    if (!port2_->readRecord(r, fileVersion)) return false;
    (void)box2_->readRecord(r);
    std::string rearPath;
    if (!r.textBlock(rearPath, kPathBlock)) return false;
    setRearUnitPath(rearPath);
    (void)rear_->readRecord(r, &ui_);
    if (!airSpeedWindow_.readRecord(r)) return false;
    // Before the calculation that reading runs next.
    (void)loadStoredUnit(*rear_, rearUnitPath(), rearUnitSelector());
    UpdateCalculateCommand();
    return true;
}

} // namespace harlox
