#include "box/closed_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"

namespace harlox {

TClosedBox::TClosedBox(UiHost& ui) : TBoxEmbryo(ui) {
    createBox(box_, "Box", true);
    splWindow_.addCurve(SPL.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    // The frequency fit fills and shows its target here.
    splWindow_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Dash}, "Target");
    TClosedBox::Reset();
}

bool TClosedBox::QuickBox() {
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const TSpeakerObject& d = *front_;
    setBoxVolume(*box_, d.driverCount * effectiveQts() * d.Vas);
    postChangeNotification(0);
    return true;
}

void TClosedBox::ComputeBackLoad() {
    const int n = grid().count;
    for (int i = 0; i < n; ++i)
        Zback[static_cast<std::size_t>(i)] = box_->Zbox[static_cast<std::size_t>(i)];
}

void TClosedBox::ComputePressure() {
    const FrequencyGrid& g = grid();
    const TSpeakerObject& d = *front_;
    const double n = d.driverCount;
    // j·w·rho·U·n / (2·pi·1 m) re 20 uPa: radiation into half space.
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        P[k] = multiply(K * g.f[k], d.U[k]) * n;
    }
}

} // namespace harlox
