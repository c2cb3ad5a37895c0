#include "box/double_tuned_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "core/binary_io.h"

namespace harlox {

TDoubleTunedBox::TDoubleTunedBox(UiHost& ui) : TBoxEmbryo(ui) {}

void TDoubleTunedBox::UpdateResonances() {}

void TDoubleTunedBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    UpdateResonances();
}

bool TDoubleTunedBox::QuickBox() {
    return false;
}

bool TDoubleTunedBox::writeTypeRecords(BinaryWriter& w) const {
    box2_->writeRecord(w);
    port1_->writeRecord(w);
    port2_->writeRecord(w);
    return airSpeedWindow_.writeRecord(w);
}

bool TDoubleTunedBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    (void)box2_->readRecord(r);
    if (!port1_->readRecord(r, fileVersion)) return false;
    if (!port2_->readRecord(r, fileVersion)) return false;
    (void)airSpeedWindow_.readRecord(r);
    return true;
}

void TDoubleTunedBox::UpdateDiagrams() {
    TBoxEmbryo::UpdateDiagrams();
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
}

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
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBassReflexDTBox::ComputePressure() {
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        P[k] = multiply(K * grid().f[k], front_->U[k]) * static_cast<double>(front_->driverCount);
    }
}

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

void TBassReflexDT2Box::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBassReflexDT2Box::ComputePressure() {
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        P[k] = multiply(K * grid().f[k], front_->U[k]) * static_cast<double>(front_->driverCount);
    }
}

} // namespace harlox
