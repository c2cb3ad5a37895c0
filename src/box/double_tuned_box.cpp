#include "box/double_tuned_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "core/binary_io.h"

#include <cmath>

namespace harlox {

namespace {

constexpr double kInvTwoPi = 0.15915494309188485;

// The volume that would tune a port of acoustic mass m alone to f, with the fill of its box.
double tuningVolume(double f, double m, int fill) {
    const double w = kTwoPi * f;
    return kRhoC2 / (w * w * m) / (1.0 + 0.002 * fill);
}

// Quick box sizing of one port: the area grows with Sd and the resonance of the driver.
void sizePort(TPortObject& port, double area, double length) {
    port.S = area;
    port.computeSeff();
    port.D = std::sqrt(4.0 * area / kPi);
    port.L = length;
    port.portChanged = 1;
}

} // namespace

TDoubleTunedBox::TDoubleTunedBox(UiHost& ui) : TBoxEmbryo(ui) {}

double TDoubleTunedBox::chamberCompliance(const TBoxObject& box) {
    return (1.0 + 0.002 * box.fill) * box.Vb * kInvRhoC2;
}

void TDoubleTunedBox::UpdateResonances() {
    const double cr = chamberCompliance(*rearBox_);
    const double cf = chamberCompliance(*frontBox_);
    const double mr = rearPort_->acousticMass();
    const double mf = frontPort_->acousticMass();
    // The free resonances in x = w² are the roots of a·x² + b·x + 1; the same polynomial
    // serves both ways of coupling the chambers.
    const double a = mr * mf * cr * cf;
    const double b = -((cr + cf) * mf + mr * cr);
    if (!(a > 0.0) || !std::isfinite(a) || !std::isfinite(b)) return;
    // Coupled chambers never share a root; rounding may still take d a hair below zero.
    const double d = std::fmax(b * b - 4.0 * a, 0.0);
    const double xHigh = (-b + std::sqrt(d)) / (2.0 * a);
    const double xLow = (-b - std::sqrt(d)) / (2.0 * a);
    const double fLow = std::sqrt(xLow) * kInvTwoPi;
    const double fHigh = std::sqrt(xHigh) * kInvTwoPi;
    // Type 1 shows the lower resonance at the rear port, type 2 at the front port.
    const bool rearLow = typeCode() == TBassReflexDTBox::kTypeCode;
    TPortObject& low = rearLow ? *rearPort_ : *frontPort_;
    TPortObject& high = rearLow ? *frontPort_ : *rearPort_;
    const TBoxObject& lowBox = rearLow ? *rearBox_ : *frontBox_;
    const TBoxObject& highBox = rearLow ? *frontBox_ : *rearBox_;
    low.fp = fLow;
    high.fp = fHigh;
    low.Vbox = tuningVolume(fLow, rearLow ? mr : mf, lowBox.fill);
    high.Vbox = tuningVolume(fHigh, rearLow ? mf : mr, highBox.fill);
}

void TDoubleTunedBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    UpdateResonances();
}

bool TDoubleTunedBox::QuickBox() {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const TSpeakerObject& d = *front_;
    const double n = d.driverCount;
    const double fs = effectiveFs();
    // The chamber behind the driver takes the whole Vas, the other half of it; the outer
    // chamber's port has twice the area and half the length.
    box_->Vb = n * d.Vas;
    box2_->Vb = 0.5 * n * d.Vas;
    box_->boxChanged = 1;
    box2_->boxChanged = 1;
    sizePort(*port1_, 0.004 * d.Sd * n / port1_->ports * fs, 0.2);
    sizePort(*port2_, 2.0 * 0.004 * d.Sd * n / port2_->ports * fs, 0.1);
    finishQuickBox();
    UpdateResonances();
    postChangeNotification(0);
    return true;
}

void TDoubleTunedBox::PrepareCalculation() {
    // Equal chambers would give a double root: the second box moves 0.1 % away, for good.
    if (box2_->Vb == box_->Vb) {
        box2_->Vb *= 1.001;
        box2_->boxChanged = 1;
    }
    UpdateResonances();
    TBoxEmbryo::PrepareCalculation();
}

bool TDoubleTunedBox::elementsChanged() const {
    return box_->boxChanged != 0 || box2_->boxChanged != 0 || port1_->portChanged != 0 ||
           port2_->portChanged != 0;
}

bool TDoubleTunedBox::writeTypeRecords(BinaryWriter& w) const {
    writeGroup(w, "box2", [&] { return box2_->writeRecord(w); });
    writeGroup(w, "port", [&] { return port1_->writeRecord(w); });
    writeGroup(w, "port2", [&] { return port2_->writeRecord(w); });
    FieldGroup g(w, "airSpeedWindow");
    return airSpeedWindow_.writeRecord(w);
}

bool TDoubleTunedBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    (void)box2_->readRecord(r);
    if (!port1_->readRecord(r, fileVersion)) return false;
    if (!port2_->readRecord(r, fileVersion)) return false;
    (void)airSpeedWindow_.readRecord(r);
    airSpeedWindow_.setPointCount(setup().pointCount);
    UpdateResonances();
    return true;
}

void TDoubleTunedBox::UpdateDiagrams() {
    TBoxEmbryo::UpdateDiagrams();
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
}

// ---- type 1 ---------------------------------------------------------------------------

TBassReflexDTBox::TBassReflexDTBox(UiHost& ui) : TDoubleTunedBox(ui) {
    rearBox_ = &createBox(box_, "Rear box", false);
    frontBox_ = &createBox(box2_, "Front box", false);
    rearPort_ = &createPort(port1_, "Rear port");
    frontPort_ = &createPort(port2_, "Front port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(frontPortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.setLogX(true);
    airSpeedWindow_.addCurve(rearAirSpeed.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear port");
    airSpeedWindow_.addCurve(frontAirSpeed.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    addWindow(airSpeedWindow_);
    TBassReflexDTBox::Reset();
}

void TBassReflexDTBox::Reset() {
    TBoxEmbryo::Reset();
    port1_->Reset();
    port2_->Reset();
    UpdateResonances();
}

void TBassReflexDTBox::ComputeBackLoad() {
    // The load only changes with the elements (a new grid marks them all changed).
    if (!elementsChanged()) return;
    const int count = grid().count;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zbr = rearBox_->Zbox[k];
        const Complex& zbf = frontBox_->Zbox[k];
        const Complex& zpr = rearPort_->Zport[k];
        const Complex& zpf = frontPort_->Zport[k];
        // ZA1: front box and front port in parallel; the port takes the share
        // Zbox_front / (Zbox_front + Zport_front) of what enters the front box, so
        // U2 = U1·ZA1 / Zport_front is that share of U1.
        shareB_[k] = divide(zbf, zbf + zpf);
        const Complex series = multiply(shareB_[k], zpf) + zpr;
        // ZA2: the rear box in parallel with the rear port feeding ZA1; the rear port takes
        // the share Zbox_rear / (Zbox_rear + ZA1 + Zport_rear) of n·U.
        shareA_[k] = divide(zbr, zbr + series);
        Zback[k] = multiply(shareA_[k], series);
    }
}

void TBassReflexDTBox::ComputePressure() {
    const FrequencyGrid& g = grid();
    const TSpeakerObject& d = *front_;
    TPortObject& rp = *rearPort_;
    TPortObject& fp = *frontPort_;
    const double n = d.driverCount;
    const bool limited = TPortObject::nonLinear();
    const double rearPerArea = 1.0 / (rp.S * rp.ports);
    const double frontPerArea = 1.0 / (fp.S * fp.ports);
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex kf = K * g.f[k];
        Pd[k] = multiply(kf, d.U[k]) * n;
        Complex u1 = multiply(d.U[k], shareA_[k]) * n;
        double v1 = magnitude(u1) * rearPerArea;
        if (limited) TPortObject::limitAirSpeed(kAirSpeedLimit, v1, u1);
        // The front box is driven by what the rear port really passes.
        Complex u2 = multiply(u1, shareB_[k]);
        double v2 = magnitude(u2) * frontPerArea;
        if (limited) TPortObject::limitAirSpeed(kAirSpeedLimit, v2, u2);
        rearAirSpeed[k] = v1;
        frontAirSpeed[k] = v2;
        rp.Uport[k] = u1;
        rp.Pport[k] = multiply(kf, u1);
        fp.Uport[k] = u2;
        fp.Pport[k] = multiply(kf, u2);
        // The front port radiates in antiphase to the front of the cone.
        P[k] = Pd[k] - fp.Pport[k];
    }
    fillLevels(Pd.data(), driverSPL.data(), g.count);
    fillLevels(fp.Pport.data(), frontPortSPL.data(), g.count);
}

void TDoubleTunedBox::describeRoomSources(RoomSources& out) const {
    TBoxEmbryo::describeRoomSources(out);
    const TPortObject& fp = *frontPort_;
    const SourceGroup g = frontPort_ == port1_.get() ? SourceGroup::Ports1 : SourceGroup::Ports2;
    out[g] = RoomSourceGroup{fp.ports, 0.5 * fp.D, fp.Pport.data(), -1.0};
}

// ---- type 2 ---------------------------------------------------------------------------

TBassReflexDT2Box::TBassReflexDT2Box(UiHost& ui) : TDoubleTunedBox(ui) {
    frontBox_ = &createBox(box_, "Front box", false);
    rearBox_ = &createBox(box2_, "Rear box", false);
    frontPort_ = &createPort(port1_, "Front port");
    rearPort_ = &createPort(port2_, "Rear port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(frontPortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.setLogX(true);
    airSpeedWindow_.addCurve(frontAirSpeed.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    airSpeedWindow_.addCurve(rearAirSpeed.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear port");
    addWindow(airSpeedWindow_);
    TBassReflexDT2Box::Reset();
}

void TBassReflexDT2Box::Reset() {
    TBoxEmbryo::Reset();
    port1_->Reset();
    port2_->Reset();
    UpdateResonances();
}

void TBassReflexDT2Box::finishQuickBox() {
    rearBox_->fill = 100;
    rearBox_->Qb = 3.0;
}

void TBassReflexDT2Box::ComputeBackLoad() {
    if (!elementsChanged()) return;
    const int count = grid().count;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zbf = frontBox_->Zbox[k];
        const Complex& zpf = frontPort_->Zport[k];
        // ZX: the rear port leading into the closed rear box.
        const Complex zx = rearPort_->Zport[k] + rearBox_->Zbox[k];
        // ZA2: front box, front port and ZX in parallel, over one common denominator; each
        // branch takes the share ZA2 / Zbranch of n·U.
        const Complex zbfZx = multiply(zbf, zx);
        const Complex zbfZpf = multiply(zbf, zpf);
        const Complex inverse = divide(Complex(1.0, 0.0), multiply(zpf, zx) + zbfZx + zbfZpf);
        shareA_[k] = multiply(zbfZx, inverse);
        shareB_[k] = multiply(zbfZpf, inverse);
        Zback[k] = multiply(shareA_[k], zpf);
    }
}

void TBassReflexDT2Box::ComputePressure() {
    const FrequencyGrid& g = grid();
    const TSpeakerObject& d = *front_;
    TPortObject& fp = *frontPort_;
    TPortObject& rp = *rearPort_;
    const double n = d.driverCount;
    const bool limited = TPortObject::nonLinear();
    const double frontPerArea = 1.0 / (fp.S * fp.ports);
    const double rearPerArea = 1.0 / (rp.S * rp.ports);
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex kf = K * g.f[k];
        const Complex un = d.U[k] * n;
        Pd[k] = multiply(kf, un);
        Complex uf = multiply(un, shareA_[k]);
        double vf = magnitude(uf) * frontPerArea;
        if (limited) TPortObject::limitAirSpeed(kAirSpeedLimit, vf, uf);
        Complex ur = multiply(un, shareB_[k]);
        double vr = magnitude(ur) * rearPerArea;
        if (limited) TPortObject::limitAirSpeed(kAirSpeedLimit, vr, ur);
        frontAirSpeed[k] = vf;
        rearAirSpeed[k] = vr;
        fp.Uport[k] = uf;
        fp.Pport[k] = multiply(kf, uf);
        // Kept with the rear port; it works into the closed chamber and does not radiate.
        rp.Uport[k] = ur;
        rp.Pport[k] = multiply(kf, ur);
        P[k] = Pd[k] - fp.Pport[k];
    }
    fillLevels(Pd.data(), driverSPL.data(), g.count);
    fillLevels(fp.Pport.data(), frontPortSPL.data(), g.count);
}

} // namespace harlox
