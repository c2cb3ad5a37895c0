#include "box/abr_object.h"

#include "box/box_object.h"
#include "core/binary_io.h"

namespace harlox {

TAbrObject::TAbrObject(const TBoxObject& box) : box_(box) {
    Reset();
}

void TAbrObject::Reset() {
    Vap = 0.1;
    Sd = 0.03;
    Mmp = 0.01;
    Xmax = 0.01;
    units = 1;
    nonLinear = 0;
    changed = 1;
    computeDerived();
}

void TAbrObject::computeDerived() {}
void TAbrObject::computeFb() {}
void TAbrObject::setVap(double volume) { Vap = volume; changed = 1; }
void TAbrObject::setSd(double area) { Sd = area; changed = 1; }
void TAbrObject::setMmp(double mass) { Mmp = mass; changed = 1; }
void TAbrObject::setFp(double frequency) { Fp = frequency; changed = 1; }
void TAbrObject::setFb(double frequency) { Fb = frequency; changed = 1; }
void TAbrObject::setXmax(double x) { Xmax = x; changed = 1; }
void TAbrObject::setUnits(int count) { units = count; changed = 1; }
void TAbrObject::setNonLinear(bool on) { nonLinear = on ? 1 : 0; changed = 1; }
void TAbrObject::Compute() {}

std::vector<std::string> TAbrObject::dataSheetLines() const {
    return {};
}

bool TAbrObject::writeRecord(BinaryWriter& w) const {
    for (double v : {Sd, a, Mmp, Mms, Vap})
        w.f64(v);
    w.i32(units);
    for (double v : {Xmax, Cap, Cmp, Fb, Fp})
        w.f64(v);
    return w.u8(nonLinear);
}

bool TAbrObject::readRecord(BinaryReader& r) {
    r.skip(kRecordSize);
    return r.ok();
}

} // namespace harlox
