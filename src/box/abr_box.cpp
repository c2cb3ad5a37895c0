#include "box/abr_box.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/room_cabinet.h"
#include "core/binary_io.h"

#include <algorithm>
#include <cmath>

namespace harlox {

namespace {

// RMS volume velocity over area and w to millimetres peak-to-peak.
constexpr double kExcursionFactor = 1000.0 * 2.828;

} // namespace

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
    if (!driversComplete()) return false;
    ComputeDerivedValues();
    const TSpeakerObject& d = *front_;
    const int n = d.driverCount;
    setBoxVolume(*box_, 1.5 * effectiveVas());
    TAbrObject& r = *abr_;
    r.Sd = d.Sd;
    r.Mmp = d.Mmd;
    r.Vap = effectiveVas() / n;
    r.units = n;
    r.changed = 1;
    r.computeDerived();
    postChangeNotification(0);
    return true;
}

void TAbrBox::PrepareCalculation() {
    // A new grid invalidates the radiator curves; the base rebuilds the grid, marks the box
    // changed on the way and asks for the back load last, where the curves are rebuilt.
    if (setup().setupChanged != 0) abr_->changed = 1;
    TBoxEmbryo::PrepareCalculation();
}

void TAbrBox::ComputeBackLoad() {
    TAbrObject& r = *abr_;
    const FrequencyGrid& g = grid();
    const int n = g.count;
    // The base may have rebuilt the grid without the setup changing (a new or read project).
    const double last = n > 0 ? g.f[static_cast<std::size_t>(n - 1)] : 0.0;
    if (n != curveCount_ || g.f[0] != curveStart_ || last != curveStop_) r.changed = 1;
    const bool rebuild = r.changed != 0 || box_->boxChanged != 0;
    r.Compute();
    r.computeFb();
    curveCount_ = n, curveStart_ = g.f[0], curveStop_ = last;
    if (!rebuild) return;
    const double units = r.units;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex& zb = box_->Zbox[k];
        Z1[k] = r.Zm[k] + r.Zfront[k] + r.Zmass[k];
        // The box in parallel with the radiators: Zrear = Zbox·Z1 / (Z1 + units·Zbox), and
        // Zrear / Z1 turns the pressure in the box into one radiator's volume velocity.
        abrShare_[k] = divide(zb, Z1[k] + units * zb);
        Zrear[k] = multiply(abrShare_[k], Z1[k]);
        Zback[k] = Zrear[k];
    }
}

void TAbrBox::ComputePressure() {
    const FrequencyGrid& g = grid();
    const TSpeakerObject& d = *front_;
    TAbrObject& r = *abr_;
    const double n = d.driverCount;
    const double units = r.units;
    const bool limited = r.limiting();
    const bool excursion = limited || !fastMode();
    const double xlim = r.Xmax * 1000.0;
    const double excursionScale = kExcursionFactor / r.Sd;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex kf = K * g.f[k];
        Pd[k] = multiply(kf, d.U[k]) * n;
        // pbox = U·Zrear·n drives each radiator through its own branch: Uabr = pbox / Z1.
        Complex u = multiply(d.U[k], abrShare_[k]) * n;
        if (excursion) {
            double x = magnitude(u) * excursionScale * g.wInverse[k];
            if (limited && x > xlim) {
                const double s = std::sqrt(xlim / x);
                x *= s;
                u *= s;
            }
            r.X[k] = x;
        }
        r.U[k] = u;
        r.P[k] = multiply(kf, u) * units;
        // The radiators move in opposite phase to the air the cones push into the box.
        P[k] = Pd[k] - r.P[k];
    }
    fillLevels(Pd.data(), driverSPL.data(), g.count);
    fillLevels(r.P.data(), abrSPL.data(), g.count);
}

void TAbrBox::describeRoomSources(RoomSources& out) const {
    TBoxEmbryo::describeRoomSources(out);
    const TAbrObject& r = *abr_;
    out[SourceGroup::PassiveRadiators] =
        RoomSourceGroup{r.units, std::sqrt(std::max(r.Sd, 0.0) * kInvPi), r.P.data(), -1.0};
}

void TAbrBox::captureTypeSheet() {
    sheetAbr_->copyValues(*abr_);
}

void TAbrBox::appendTypeLines(std::vector<std::string>& lines) const {
    const std::vector<std::string> block = sheetAbr_->dataSheetLines();
    lines.insert(lines.end(), block.begin(), block.end());
}

bool TAbrBox::writeTypeRecords(BinaryWriter& w) const {
    FieldGroup g(w, "radiator");
    return abr_->writeRecord(w);
}

bool TAbrBox::readTypeRecords(BinaryReader& r, int /*fileVersion*/) {
    if (!abr_->readRecord(r)) return false;
    abr_->computeFb();
    return true;
}

} // namespace harlox
