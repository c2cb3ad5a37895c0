#include "box/box_object.h"

#include "core/binary_io.h"
#include "core/format.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace harlox {

TBoxObject::TBoxObject(std::string boxName, bool withQl) : showQl(withQl), name(std::move(boxName)) {}

void TBoxObject::Reset() {
    Vb = 0.01;
    Qb = 15.0;
    Ql = 15.0;
    fill = 0;
    boxChanged = 1;
}

double TBoxObject::compliance() const {
    return (1.0 + fill * 0.01 * 0.2) * Vb * kInvRhoC2;
}

void TBoxObject::Compute() {
    if (boxChanged) Compute(grid());
}

void TBoxObject::Compute(const FrequencyGrid& g) {
    const double cab = compliance();
    const int n = std::clamp(g.count, 0, kMaxPoints);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        // Both losses follow the reactance, so Qb and Ql stay constant over frequency.
        const double x = -1.0 / (cab * g.w[k]);
        const Complex zs(std::fabs(x) / Qb, x);
        const Complex y = 1.0 / zs + 1.0 / (Ql * std::fabs(x));
        Zbox[k] = 1.0 / y;
    }
}

std::vector<std::string> TBoxObject::dataSheetLines() const {
    std::vector<std::string> lines;
    lines.push_back(name);
    lines.push_back(strprintf(" Vol\t\t%3.2f l", Vb * 1000.0));
    lines.push_back(strprintf(" Qb\t\t%3.1f", Qb));
    if (showQl) lines.push_back(strprintf(" Ql\t\t%3.1f", Ql));
    lines.push_back(strprintf(" Fill\t\t%d %%", static_cast<int>(fill)));
    return lines;
}

bool TBoxObject::writeRecord(BinaryWriter& w) const {
    w.f64(Vb, "Vb");
    w.f64(Qb, "Qb");
    w.f64(Ql, "Ql");
    return w.i32(fill, "fill");
}

bool TBoxObject::readRecord(BinaryReader& r) {
    double vb = 0.0;
    double qb = 0.0;
    double ql = 0.0;
    std::int32_t f = 0;
    r.f64(vb);
    r.f64(qb);
    r.f64(ql);
    if (!r.i32(f)) return false;
    // A damaged record must not turn every curve into NaN: the program never stores these.
    for (double v : {vb, qb, ql}) {
        if (!(v > 0.0 && std::isfinite(v))) return false;
    }
    Vb = vb;
    Qb = qb;
    Ql = ql;
    fill = std::clamp(f, 0, 100);
    boxChanged = 1;
    return true;
}

} // namespace harlox
