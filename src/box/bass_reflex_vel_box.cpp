#include "box/bass_reflex_vel_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "core/binary_io.h"

namespace harlox {

TBassReflexVelBox::TBassReflexVelBox(UiHost& ui) : TBoxEmbryo(ui) {
    createBox(box_, "Front box", true);
    createBox(box2_, "Rear box", true);
    createPort(port1_, "Port");
    createPort(port2_, "Rear port/variovent");
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(frontPortSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Front Port");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
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
}

void TBassReflexVelBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    if (&box == box_.get()) port1_->setVbox(volume);
    if (&box == box2_.get()) port2_->setVbox(volume);
}

bool TBassReflexVelBox::QuickBox() {
    return false;
}

bool TBassReflexVelBox::driversComplete() const {
    return front_->unitOk != 0 && rear_->unitOk != 0;
}

void TBassReflexVelBox::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBassReflexVelBox::ComputeAcousticLoad() {
    TBoxEmbryo::ComputeAcousticLoad();
}

void TBassReflexVelBox::ComputeDriverChain() {
    TBoxEmbryo::ComputeDriverChain();
}

void TBassReflexVelBox::ComputePressure() {
    for (int i = 0; i < grid().count; ++i)
        P[static_cast<std::size_t>(i)] = Complex(0.0, 0.0);
}

void TBassReflexVelBox::UpdateDiagrams() {
    TBoxEmbryo::UpdateDiagrams();
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
}

void TBassReflexVelBox::captureTypeSheet() {
    rear_->captureSheetValues(sheetRear_);
}

void TBassReflexVelBox::appendDriverLines(std::vector<std::string>& lines) const {
    for (const auto& block : {TSpeakerObject::dataSheetLines(sheetDriver(), "Front driver"),
                              TSpeakerObject::dataSheetLines(sheetRear_, "Rear driver")})
        lines.insert(lines.end(), block.begin(), block.end());
}

bool TBassReflexVelBox::writeTypeRecords(BinaryWriter& w) const {
    w.f64(0.0);
    port1_->writeRecord(w);
    port2_->writeRecord(w);
    box2_->writeRecord(w);
    w.textBlock(rearUnitPath(), kPathBlock);
    rear_->writeRecord(w);
    return airSpeedWindow_.writeRecord(w);
}

bool TBassReflexVelBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    double reserved = 0.0;
    (void)r.f64(reserved);
    if (!port1_->readRecord(r, fileVersion)) return false;
    if (!port2_->readRecord(r, fileVersion)) return false;
    (void)box2_->readRecord(r);
    std::string rearPath;
    if (!r.textBlock(rearPath, kPathBlock)) return false;
    setRearUnitPath(rearPath);
    (void)rear_->readRecord(r, &ui_);
    (void)airSpeedWindow_.readRecord(r);
    return true;
}

} // namespace harlox
