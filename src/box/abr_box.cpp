#include "box/abr_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "core/binary_io.h"

namespace harlox {

TAbrBox::TAbrBox(UiHost& ui) : TBoxEmbryo(ui) {
    createBox(box_, "Box", true);
    abr_ = std::make_unique<TAbrObject>(*box_);
    sheetAbr_ = std::make_unique<TAbrObject>(*box_);
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWindow_.addCurve(driverSPL.data(), Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    splWindow_.addCurve(abrSPL.data(), Pen{PenColor::Blue, PenStyle::Solid}, "ABR unit");
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    excursionWindow_.addCurve(abr_->X.data(), Pen{PenColor::Blue, PenStyle::Solid}, "ABR unit");
    TAbrBox::Reset();
}

void TAbrBox::Reset() {
    TBoxEmbryo::Reset();
    abr_->Reset();
}

void TAbrBox::setBoxVolume(TBoxObject& box, double volume) {
    TBoxEmbryo::setBoxVolume(box, volume);
    abr_->computeFb();
}

bool TAbrBox::QuickBox() {
    return false;
}

void TAbrBox::PrepareCalculation() {
    TBoxEmbryo::PrepareCalculation();
}

void TAbrBox::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TAbrBox::ComputePressure() {
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        P[k] = multiply(K * grid().f[k], front_->U[k]) * static_cast<double>(front_->driverCount);
    }
}

void TAbrBox::captureTypeSheet() {}

void TAbrBox::appendTypeLines(std::vector<std::string>& /*lines*/) const {}

bool TAbrBox::writeTypeRecords(BinaryWriter& w) const {
    return abr_->writeRecord(w);
}

bool TAbrBox::readTypeRecords(BinaryReader& r, int /*fileVersion*/) {
    (void)abr_->readRecord(r);
    return true;
}

} // namespace harlox
