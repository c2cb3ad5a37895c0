#include "box/bandpass_box.h"

#include "box/alignment.h"
#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "core/binary_io.h"
#include "core/format.h"
#include "output/curve_writer.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace harlox {

// ---- shared by the four types ----------------------------------------------------------

namespace {

constexpr double kSoundSpeed = 344.7;
// The quick boxes' port area per Hz of tuning and m^2 of cone area.
constexpr double kQuickAreaFactor = 0.004;
constexpr const char* kQuickBoxCaption = "Quick box";
constexpr const char* kNoPortLengthText = "No usable port length was found for this tuning.";

} // namespace

TBandpassBox::TBandpassBox(UiHost& ui) : TBoxEmbryo(ui) {
    stdWaveWindow_.setLogX(true);
    stdWaveWindow_.addCurve(splModes.data(), Pen{PenColor::Red, PenStyle::Solid}, "With port standing waves");
    stdWaveWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Solid}, "Ideal system");
    airSpeedWindow_.setLogX(true);
}

double TBandpassBox::portFlow(const TPortObject& port, Complex& u, double& v) {
    v = magnitude(u) / (port.S * port.ports);
    if (!TPortObject::nonLinear()) return 1.0;
    return TPortObject::limitAirSpeed(port.airSpeedLimit(), v, u);
}

bool TBandpassBox::loadsUnchanged() const {
    for (const auto* b : {box_.get(), box2_.get()})
        if (b && b->boxChanged != 0) return false;
    for (const auto* p : {port1_.get(), port2_.get()})
        if (p && p->portChanged != 0) return false;
    return true;
}

void TBandpassBox::finishPort(TPortObject& port, std::array<double, kMaxPoints>& level) const {
    const FrequencyGrid& g = grid();
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        port.Pport[k] = multiply(K * g.f[k], port.Uport[k]);
    }
    fillLevels(port.Pport.data(), level.data(), g.count);
}

void TBandpassBox::describeRoomSources(RoomSources& out) const {
    const TPortObject& port = *port1_;
    out[SourceGroup::Ports1] = RoomSourceGroup{port.ports, 0.5 * port.D, nullptr, 1.0};
}

bool TBandpassBox::quickPort(TPortObject& port, double tuning) {
    const TSpeakerObject& d = *front_;
    if (alignment::sizeQuickPort(port, tuning, d.driverCount * d.Sd)) return true;
    ui_.error(kQuickBoxCaption, kNoPortLengthText);
    return false;
}

bool TBandpassBox::quickBoxes(double volume1, double volume2, double tuning1, double tuning2) {
    const double before1 = box_->Vb, before2 = box2_->Vb;
    TPortObject port1Before;
    copyPortValues(*port1_, port1Before);
    setBoxVolume(*box_, volume1);
    setBoxVolume(*box2_, volume2);
    if (quickPort(*port1_, tuning1) && (tuning2 == 0.0 || quickPort(*port2_, tuning2))) {
        postChangeNotification(0);
        return true;
    }
    copyPortValues(port1Before, *port1_);
    port1_->portChanged = 1;
    setBoxVolume(*box_, before1);
    setBoxVolume(*box2_, before2);
    return false;
}

bool TBandpassBox::exportStdWaveModes() {
    const FrequencyGrid& g = grid();
    const CurveExport data =
        makeCurveExport(ExportCurve::SplModes, g.count, g.f.data(), splModes.data(), splPhase.data());
    return exportCurve(ui_, splSelector(), data, true);
}

void TBandpassBox::FindMinus3dB() {
    const FrequencyGrid& g = grid();
    const int n = g.count;
    fl_ = fu_ = 0.0;
    for (int i = 0; i < n; ++i)
        splModes[static_cast<std::size_t>(i)] = SPL[static_cast<std::size_t>(i)];
    if (n < 3) return;
    const auto spl = [this](int i) { return SPL[static_cast<std::size_t>(i)]; };
    const auto f = [&g](int i) { return g.f[static_cast<std::size_t>(i)]; };
    // A double-humped response is measured from its dip.
    bool dip = false;
    double reference = 0.0;
    for (int i = 1; i <= n - 3; ++i) {
        if (spl(i) < spl(i - 1) && spl(i) < spl(i + 1)) {
            reference = spl(i);
            dip = true;
        }
    }
    if (!dip) {
        reference = spl(0);
        for (int i = 1; i <= n - 2; ++i)
            reference = std::max(reference, spl(i));
    }
    const double r = reference - 3.0;
    int i = 0;
    while (i < n && !(spl(i) > r))
        ++i;
    if (i > 0 && i < n) {
        const double t = (spl(i) - r) / (spl(i) - spl(i - 1));
        fl_ = (1.0 - t) * f(i) + t * f(i - 1);
    }
    int j = n - 1;
    while (j >= 0 && !(spl(j) > r))
        --j;
    if (j >= 0 && j < n - 1) {
        const double t = (spl(j) - r) / (spl(j) - spl(j + 1));
        fu_ = (1.0 - t) * f(j) + t * f(j + 1);
    }
    if (fu_ == 0.0) return;

    // The port's first standing-wave modes lift the response above the upper cutoff.
    const double fsw = kSoundSpeed / (2.0 * standingWaveLength());
    const double invFu = 1.0 / fu_;
    const double phaseScale = 6.28318530718 / fsw;
    // g(x) = 20·log10(ratio(x)) - 20, so g > g0 exactly where ratio > its value at g0; only
    // those points need a logarithm.
    const auto ratio = [&](double x) {
        const double q = x * invFu;
        return (1.0 + q * q) / (std::cos(phaseScale * x + 3.14159265359) + 1.1);
    };
    int k = 0;
    while (k < n - 1 && f(k) < fu_)
        ++k;
    const double threshold = std::max(10.0, ratio(f(k))); // g0 = max(0, g(f[k]))
    const double invThreshold = 1.0 / threshold;
    for (int m = k; m < n; ++m) {
        const double r = ratio(f(m));
        if (r > threshold)
            splModes[static_cast<std::size_t>(m)] += 8.685889638065035 * fastLog(r * invThreshold);
    }
}

void TBandpassBox::UpdateDiagrams() {
    // Before the base, which repaints and clears the setup's changed flag.
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
    const MeasureSetup& s = setup();
    stdWaveWindow_.setFixedXRange(0.0);
    stdWaveWindow_.setFixedYRange(s.autorange != 0 ? 0.0 : static_cast<double>(s.rangeDb));
    TBoxEmbryo::UpdateDiagrams();
}

void TBandpassBox::captureTypeSheet() {
    sheetFl_ = fl_;
    sheetFu_ = fu_;
}

void TBandpassBox::appendAdditionalDetails(std::vector<std::string>& lines) const {
    if (sheetFl_ != 0.0 && sheetFu_ != 0.0)
        lines.push_back(strprintf("  -3dB points: \t%3.2f Hz   ", sheetFl_) +
                        strprintf(",   %3.2f Hz", sheetFu_));
}

// ---- type 1 ----------------------------------------------------------------------------

TBP5Box::TBP5Box(UiHost& ui) : TBandpassBox(ui) {
    createBox(box_, "Rear box", false);
    createBox(box2_, "Front box", false);
    createPort(port1_, "Port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.addCurve(airSpeed1.data(), Pen{PenColor::Black, PenStyle::Solid}, "Port");
    addWindow(airSpeedWindow_);
    addWindow(stdWaveWindow_);
    TBP5Box::Reset();
}

void TBP5Box::Reset() {
    TBoxEmbryo::Reset();
    port1_->Reset();
    port1_->setVbox(box2_->Vb);
}

void TBP5Box::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    if (&box == box2_.get()) port1_->setVbox(volume);
}

bool TBP5Box::QuickBox() {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const double v = 0.5 * effectiveVas();
    return quickBoxes(v, v, 2.0 * effectiveFs());
}

void TBP5Box::ComputeBackLoad() {
    if (loadsUnchanged()) return;
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zf = box2_->Zbox[k];
        const Complex& zp = port1_->Zport[k];
        // The port's share of the flow into the front box.
        load1_[k] = divide(zf, zf + zp);
        Zback[k] = box_->Zbox[k] + multiply(load1_[k], zp);
    }
}

void TBP5Box::ComputePressure() {
    const FrequencyGrid& g = grid();
    const double n = front_->driverCount;
    TPortObject& port = *port1_;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        Pcone[k] = multiply(K * g.f[k], front_->U[k]) * n;
        Complex u = multiply(front_->U[k], load1_[k]) * n; // pf / Zport
        portFlow(port, u, airSpeed1[k]);
        port.Uport[k] = u;
    }
    finishPort(port, portLevel_);
    for (int i = 0; i < g.count; ++i)
        P[static_cast<std::size_t>(i)] = port.Pport[static_cast<std::size_t>(i)];
}

double TBP5Box::standingWaveLength() const {
    return port1_->L;
}

bool TBP5Box::writeTypeRecords(BinaryWriter& w) const {
    writeGroup(w, "box2", [&] { return box2_->writeRecord(w); });
    writeGroup(w, "port", [&] { return port1_->writeRecord(w); });
    FieldGroup g(w, "airSpeedWindow");
    return airSpeedWindow_.writeRecord(w);
}

bool TBP5Box::readTypeRecords(BinaryReader& r, int fileVersion) {
    (void)box2_->readRecord(r);
    if (!port1_->readRecord(r, fileVersion)) return false;
    (void)airSpeedWindow_.readRecord(r);
    return true;
}

// ---- the two-port types ----------------------------------------------------------------

TTwoPortBandpassBox::TTwoPortBandpassBox(UiHost& ui) : TBandpassBox(ui) {}

void TTwoPortBandpassBox::Reset() {
    TBoxEmbryo::Reset();
    port1_->Reset();
    port2_->Reset();
    port1_->setVbox(box_->Vb);
    port2_->setVbox(box2_->Vb);
}

void TTwoPortBandpassBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    if (&box == box_.get()) port1_->setVbox(volume);
    if (&box == box2_.get()) port2_->setVbox(volume);
}

bool TTwoPortBandpassBox::writeTypeRecords(BinaryWriter& w) const {
    writeGroup(w, "box2", [&] { return box2_->writeRecord(w); });
    writeGroup(w, "port", [&] { return port1_->writeRecord(w); });
    writeGroup(w, "port2", [&] { return port2_->writeRecord(w); });
    FieldGroup g(w, "airSpeedWindow");
    return airSpeedWindow_.writeRecord(w);
}

bool TTwoPortBandpassBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    (void)box2_->readRecord(r);
    if (!port1_->readRecord(r, fileVersion)) return false;
    if (!port2_->readRecord(r, fileVersion)) return false;
    (void)airSpeedWindow_.readRecord(r);
    return true;
}

double TTwoPortBandpassBox::effectiveVasShare(double share) {
    ComputeDerivedValues();
    return share * effectiveVas();
}

bool TTwoPortBandpassBox::quickTwoPorts(double volume1, double volume2) {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    // Port 1 at the effective resonance, port 2 an octave above.
    return quickBoxes(volume1, volume2, effectiveFs(), 2.0 * effectiveFs());
}

void TTwoPortBandpassBox::computeChambers(double share1) {
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zb1 = box_->Zbox[k];
        const Complex& zb2 = box2_->Zbox[k];
        const Complex& zp1 = port1_->Zport[k];
        const Complex& zp2 = port2_->Zport[k];
        // Each port takes zbox / (zbox + zport) of its chamber's flow; chamber = share · zport.
        load1_[k] = divide(zb1, zb1 + zp1);
        load2_[k] = divide(zb2, zb2 + zp2);
        Zback[k] = multiply(load1_[k], zp1) * share1 + multiply(load2_[k], zp2);
    }
}

void TTwoPortBandpassBox::computeTwoPorts(std::array<double, kMaxPoints>& level1,
                                          std::array<double, kMaxPoints>& level2) {
    const FrequencyGrid& g = grid();
    const double n = front_->driverCount;
    TPortObject& p1 = *port1_;
    TPortObject& p2 = *port2_;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex un = front_->U[k] * n;
        Pcone[k] = multiply(K * g.f[k], un);
        Complex u1 = multiply(un, load1_[k]);
        Complex u2 = multiply(un, load2_[k]);
        portFlow(p1, u1, airSpeed1[k]);
        portFlow(p2, u2, airSpeed2[k]);
        p1.Uport[k] = u1;
        p2.Uport[k] = u2;
    }
    finishPort(p1, level1);
    finishPort(p2, level2);
    // The two ports radiate in opposite phase.
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        P[k] = p2.Pport[k] - p1.Pport[k];
    }
}

void TTwoPortBandpassBox::describeRoomSources(RoomSources& out) const {
    const TPortObject& p1 = *port1_;
    const TPortObject& p2 = *port2_;
    out[SourceGroup::Ports1] = RoomSourceGroup{p1.ports, 0.5 * p1.D, p1.Pport.data(), -1.0};
    out[SourceGroup::Ports2] = RoomSourceGroup{p2.ports, 0.5 * p2.D, nullptr, 1.0};
}

// ---- types 2, 3 and 4 ------------------------------------------------------------------

TBP6Box::TBP6Box(UiHost& ui) : TTwoPortBandpassBox(ui) {
    createBox(box_, "Rear box", false);
    createBox(box2_, "Front box", false);
    createPort(port1_, "Rear port");
    createPort(port2_, "Front port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(rearPortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Rear port");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.addCurve(airSpeed1.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear port");
    airSpeedWindow_.addCurve(airSpeed2.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    addWindow(airSpeedWindow_);
    addWindow(stdWaveWindow_);
    TBP6Box::Reset();
}

bool TBP6Box::QuickBox() {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const double fs = effectiveFs();
    setBoxVolume(*box_, effectiveVas());
    setBoxVolume(*box2_, 0.5 * effectiveVas());
    const TSpeakerObject& d = *front_;
    for (auto [port, tuning, length] :
         {std::tuple{port1_.get(), fs, 0.2}, std::tuple{port2_.get(), 2.0 * fs, 0.1}}) {
        port->S = tuning * d.driverCount * d.Sd * kQuickAreaFactor / port->ports;
        port->D = std::sqrt(4.0 * port->S * 0.3183098861837697);
        port->computeSeff();
        port->setLength(length);
    }
    postChangeNotification(0);
    return true;
}

void TBP6Box::ComputeBackLoad() {
    if (loadsUnchanged()) return;
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zpr = port1_->Zport[k];
        const Complex& zpf = port2_->Zport[k];
        const Complex& zfront = box2_->Zbox[k];
        // The front chamber's port takes zfront / (zfront + zpf) of the series flow.
        const Complex frontShare = divide(zfront, zfront + zpf);
        const Complex zf = multiply(frontShare, zpf);
        const Complex series = box_->Zbox[k] + zf; // the rear box in series with the front chamber
        // Node pressure p1 per cone volume velocity (Zb), then per rear-port and series flow.
        const Complex rearShare = divide(series, zpr + series);
        Zback[k] = multiply(rearShare, zpr);
        load1_[k] = rearShare;                  // Upr / (U n)
        load2_[k] = divide(frontShare, series); // Upf / p1
    }
}

void TBP6Box::ComputePressure() {
    const FrequencyGrid& g = grid();
    const double n = front_->driverCount;
    TPortObject& rear = *port1_;
    TPortObject& front = *port2_;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex kf = K * g.f[k];
        Pcone[k] = multiply(kf, front_->U[k]) * n;
        const Complex p1 = multiply(front_->U[k], Zback[k]) * n;
        Complex upr = multiply(front_->U[k], load1_[k]) * n;
        // A limited rear port also lowers the drive of the front chamber.
        const double scale = portFlow(rear, upr, airSpeed1[k]);
        Complex upf = multiply(p1, load2_[k]) * scale;
        portFlow(front, upf, airSpeed2[k]);
        rear.Uport[k] = upr;
        front.Uport[k] = upf;
        P[k] = multiply(kf, upf);
        // "Driver": what both ports carry together.
        scratch_[k] = multiply(kf, upr + upf);
    }
    finishPort(rear, rearPortSPL);
    finishPort(front, portLevel_);
    fillLevels(scratch_.data(), driverSPL.data(), g.count);
}

void TBP6Box::describeRoomSources(RoomSources& out) const {
    const TPortObject& front = *port2_;
    out[SourceGroup::Ports2] = RoomSourceGroup{front.ports, 0.5 * front.D, nullptr, 1.0};
}

double TBP6Box::standingWaveLength() const {
    return port2_->L;
}

TBP7Box::TBP7Box(UiHost& ui) : TTwoPortBandpassBox(ui) {
    createBox(box_, "Rear box", false);
    createBox(box2_, "Front box", false);
    createPort(port1_, "Rear port");
    createPort(port2_, "Front port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(rearPortSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear port");
    splWindow_.addCurve(frontPortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.addCurve(airSpeed1.data(), Pen{PenColor::Red, PenStyle::Solid}, "Rear port");
    airSpeedWindow_.addCurve(airSpeed2.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front port");
    addWindow(airSpeedWindow_);
    addWindow(stdWaveWindow_);
    TBP7Box::Reset();
}

bool TBP7Box::QuickBox() {
    return quickTwoPorts(effectiveVasShare(0.3333333333333333), effectiveVasShare(0.35714285714285715));
}

void TBP7Box::ComputeBackLoad() {
    if (loadsUnchanged()) return;
    computeChambers(1.0);
}

void TBP7Box::ComputePressure() {
    computeTwoPorts(rearPortSPL, frontPortSPL);
}

double TBP7Box::standingWaveLength() const {
    return std::max(port1_->L, port2_->L);
}

TBP8Box::TBP8Box(UiHost& ui) : TTwoPortBandpassBox(ui) {
    createBox(box_, "Side boxes", false);
    createBox(box2_, "Middle box", false);
    createPort(port1_, "Side ports");
    createPort(port2_, "Middle port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(sidePortSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Side ports");
    splWindow_.addCurve(middlePortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Middle port");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.addCurve(airSpeed1.data(), Pen{PenColor::Red, PenStyle::Solid}, "Side ports");
    airSpeedWindow_.addCurve(airSpeed2.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Middle port");
    addWindow(airSpeedWindow_);
    addWindow(stdWaveWindow_);
    TBP8Box::Reset();
}

void TBP8Box::Reset() {
    TTwoPortBandpassBox::Reset();
    // Two drivers, kept on separate sources.
    (void)front_->setDriverCount(2);
    (void)front_->setDriverConnection(TSpeakerObject::kSeparateSourcesConnection);
}

bool TBP8Box::QuickBox() {
    return quickTwoPorts(effectiveVasShare(0.16666666666666666), effectiveVasShare(0.35714285714285715));
}

void TBP8Box::ComputeBackLoad() {
    if (loadsUnchanged()) return;
    // Half the cones face each side box: n·(Zm + Zs/2).
    computeChambers(0.5);
}

void TBP8Box::ComputePressure() {
    computeTwoPorts(sidePortSPL, middlePortSPL);
}

double TBP8Box::standingWaveLength() const {
    return std::max(port1_->L, port2_->L);
}

} // namespace harlox
