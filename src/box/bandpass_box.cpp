#include "box/bandpass_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/port_object.h"
#include "core/binary_io.h"
#include "core/format.h"

namespace harlox {

// ---- shared by the four types ----------------------------------------------------------

TBandpassBox::TBandpassBox(UiHost& ui) : TBoxEmbryo(ui) {
    stdWaveWindow_.setLogX(true);
    stdWaveWindow_.addCurve(splModes.data(), Pen{PenColor::Red, PenStyle::Solid}, "With port standing waves");
    stdWaveWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Solid}, "Ideal system");
    airSpeedWindow_.setLogX(true);
}

bool TBandpassBox::exportStdWaveModes() {
    return false;
}

void TBandpassBox::FindMinus3dB() {
    fl_ = fu_ = 0.0;
}

void TBandpassBox::UpdateDiagrams() {
    TBoxEmbryo::UpdateDiagrams();
    airSpeedWindow_.setFixedXRange(0.0);
    airSpeedWindow_.setFixedYRange(0.0);
}

void TBandpassBox::captureTypeSheet() {
    sheetFl_ = fl_;
    sheetFu_ = fu_;
}

void TBandpassBox::appendAdditionalDetails(std::vector<std::string>& lines) const {
    if (sheetFl_ != 0.0 && sheetFu_ != 0.0)
        lines.push_back(strprintf("  -3dB points: \t%3.2f Hz   ", sheetFl_) + strprintf(",   %3.2f Hz", sheetFu_));
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
    return false;
}

void TBP5Box::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBP5Box::ComputePressure() {
    for (int i = 0; i < grid().count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        P[k] = multiply(K * grid().f[k], front_->U[k]) * static_cast<double>(front_->driverCount);
    }
}

double TBP5Box::standingWaveLength() const {
    return port1_->L;
}

bool TBP5Box::writeTypeRecords(BinaryWriter& w) const {
    box2_->writeRecord(w);
    port1_->writeRecord(w);
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
    box2_->writeRecord(w);
    port1_->writeRecord(w);
    port2_->writeRecord(w);
    return airSpeedWindow_.writeRecord(w);
}

bool TTwoPortBandpassBox::readTypeRecords(BinaryReader& r, int fileVersion) {
    (void)box2_->readRecord(r);
    if (!port1_->readRecord(r, fileVersion)) return false;
    if (!port2_->readRecord(r, fileVersion)) return false;
    (void)airSpeedWindow_.readRecord(r);
    return true;
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
    return false;
}

void TBP6Box::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBP6Box::ComputePressure() {
    for (int i = 0; i < grid().count; ++i)
        P[static_cast<std::size_t>(i)] = Complex(0.0, 0.0);
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
    return false;
}

void TBP7Box::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBP7Box::ComputePressure() {
    for (int i = 0; i < grid().count; ++i)
        P[static_cast<std::size_t>(i)] = Complex(0.0, 0.0);
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
    return false;
}

void TBP8Box::ComputeBackLoad() {
    for (int i = 0; i < grid().count; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TBP8Box::ComputePressure() {
    for (int i = 0; i < grid().count; ++i)
        P[static_cast<std::size_t>(i)] = Complex(0.0, 0.0);
}

double TBP8Box::standingWaveLength() const {
    return std::max(port1_->L, port2_->L);
}

} // namespace harlox
