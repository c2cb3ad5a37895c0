#include "box/bass_reflex_box.h"

#include "box/alignment.h"
#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "core/binary_io.h"

#include <cmath>

namespace harlox {

TBassReflexBox::TBassReflexBox(UiHost& ui) : TBoxEmbryo(ui) {
    createBox(box_, "Box", true);
    createPort(port1_, "Port");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(portSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Port");
    // The frequency fit fills and shows its target here.
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    airSpeedWindow_.setLogX(true);
    airSpeedWindow_.addCurve(airSpeed.data(), Pen{PenColor::Black, PenStyle::Solid}, "Port");
    addWindow(airSpeedWindow_);
    TBassReflexBox::Reset();
}

void TBassReflexBox::Reset() {
    TBoxEmbryo::Reset();
    port1_->Reset();
    // A new project's port is tuned with the box it sits in.
    port1_->setVbox(box_->Vb);
}

void TBassReflexBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    port1_->setVbox(volume);
}

bool TBassReflexBox::QuickBox() {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const TSpeakerObject& d = *front_;
    const double before = box_->Vb;
    setBoxVolume(*box_, 1.5 * effectiveVas()); // the port's Vbox follows
    if (!alignment::sizeQuickPort(*port1_, effectiveFs(), d.driverCount * d.Sd)) {
        setBoxVolume(*box_, before);
        ui_.error("Quick box", alignment::kNoPortLengthText);
        return false;
    }
    postChangeNotification(0);
    return true;
}

void TBassReflexBox::ComputeBackLoad() {
    // The load only changes with the box or the port (a new grid marks both changed).
    if (box_->boxChanged == 0 && port1_->portChanged == 0) return;
    const int n = grid().count;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zb = box_->Zbox[k];
        const Complex& zp = port1_->Zport[k];
        // Box and port in parallel behind the cone; the port takes the share zb / (zb + zp)
        // of the volume velocity pushed into the box.
        portShare_[k] = divide(zb, zb + zp);
        Zback[k] = multiply(portShare_[k], zp);
    }
}

void TBassReflexBox::ComputePressure() {
    const FrequencyGrid& g = grid();
    const TSpeakerObject& d = *front_;
    TPortObject& port = *port1_;
    const double n = d.driverCount;
    const bool limited = TPortObject::nonLinear();
    const double vlim = port.airSpeedLimit();
    const double perArea = 1.0 / (port.S * port.ports);
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex kf = K * g.f[k];
        Pcone[k] = multiply(kf, d.U[k]) * n;
        // pbox = U·Zbr·n and Uport = pbox / Zport.
        Complex uport = multiply(d.U[k], portShare_[k]) * n;
        if (limited) {
            double v = magnitude(uport) * perArea;
            TPortObject::limitAirSpeed(vlim, v, uport);
            airSpeed[k] = v;
        }
        port.Uport[k] = uport;
        port.Pport[k] = multiply(kf, uport);
        // The port radiates in antiphase to the front of the cone.
        P[k] = Pcone[k] - port.Pport[k];
    }
    // Without the limit nothing waits for the speeds: their square roots get a loop of their own.
    if (!limited) {
        for (int i = 0; i < g.count; ++i) {
            const auto k = static_cast<std::size_t>(i);
            airSpeed[k] = magnitude(port.Uport[k]) * perArea;
        }
    }
    fillLevels(Pcone.data(), driverSPL.data(), g.count);
    fillLevels(port.Pport.data(), portSPL.data(), g.count);
}

void TBassReflexBox::describeRoomSources(RoomSources& out) const {
    TBoxEmbryo::describeRoomSources(out);
    const TPortObject& port = *port1_;
    out[SourceGroup::Ports1] = RoomSourceGroup{port.ports, 0.5 * port.D, port.Pport.data(), -1.0};
}

void TBassReflexBox::UpdateDiagrams() {
    TBoxEmbryo::UpdateDiagrams();
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
}

bool TBassReflexBox::writeTypeRecords(BinaryWriter& w) const {
    writeGroup(w, "port", [&] { return port1_->writeRecord(w); });
    FieldGroup g(w, "airSpeedWindow");
    return airSpeedWindow_.writeRecord(w);
}

bool TBassReflexBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    if (!port1_->readRecord(r, fileVersion)) return false;
    // A short window record is caught by the end marker.
    (void)airSpeedWindow_.readRecord(r);
    return true;
}

} // namespace harlox
