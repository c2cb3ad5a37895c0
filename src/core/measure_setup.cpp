#include "core/measure_setup.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/format.h"
#include "core/program_dir.h"

#include <algorithm>
#include <cmath>

namespace harlox {

void FrequencyGrid::build(int pointCount, int startFrequency, int stopFrequency) {
    // Clamp against hostile files: the arrays hold 500 points and the log needs positive ends.
    const int n = std::clamp(pointCount, 2, kMaxPoints);
    if (startFrequency < 1) startFrequency = 1;
    if (stopFrequency < 1) stopFrequency = 1;
    const double step =
        std::log10(static_cast<double>(stopFrequency) / static_cast<double>(startFrequency)) / (n - 1);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        f[k] = startFrequency * std::pow(10.0, i * step);
        w[k] = f[k] * kTwoPi;
        wInverse[k] = 1.0 / w[k];
    }
    count = n;
}

MeasureSetup& sharedSetup() {
    static MeasureSetup setup = [] {
        MeasureSetup s;
        s.rebuildGrid();
        return s;
    }();
    return setup;
}

void MeasureSetup::setValuesToDefaults() {
    calculateImmediately = 1;
    autorange = 0;
    rangeDb = 30;
    Ug = 2.83;
    Rg = 0.0;
    Lg = 0.0;
    Pg = 1.0;
    pointCount = 50;
    startFrequency = 20;
    stopFrequency = 2000;
    hidePhase = 0;
    setupChanged = 1;
    rebuildGrid();
}

void MeasureSetup::SetDefaults(bool force) {
    fileVersion = kProjectFileVersion;
    setupChanged = 1;
    const bool read = loadPreferences();
    if (read && !force) return;
    setValuesToDefaults();
}

void MeasureSetup::setUg(double ug) {
    Ug = ug;
    Pg = ug * ug * 0.125;
    setupChanged = 1;
}

void MeasureSetup::setPg(double pg) {
    Pg = pg;
    Ug = std::sqrt(pg * 8.0);
    setupChanged = 1;
}

bool MeasureSetup::writeRecord(BinaryWriter& w) const {
    w.u8(calculateImmediately, "calculateImmediately");
    w.u8(autorange, "autorange");
    w.i32(rangeDb, "rangeDb");
    w.f64(Ug, "Ug");
    w.f64(Rg, "Rg");
    w.f64(Lg, "Lg");
    w.f64(Pg, "Pg");
    w.i32(pointCount, "pointCount");
    w.i32(startFrequency, "startFrequency");
    w.i32(stopFrequency, "stopFrequency");
    return w.u8(hidePhase, "hidePhase");
}

bool MeasureSetup::readRecord(BinaryReader& r) {
    MeasureSetup t = *this;
    r.u8(t.calculateImmediately);
    r.u8(t.autorange);
    r.i32(t.rangeDb);
    r.f64(t.Ug);
    r.f64(t.Rg);
    r.f64(t.Lg);
    r.f64(t.Pg);
    r.i32(t.pointCount);
    r.i32(t.startFrequency);
    r.i32(t.stopFrequency);
    if (!r.u8(t.hidePhase)) return false;
    // A record from a foreign or damaged file must not drive the grid out of its arrays.
    t.pointCount = std::clamp(t.pointCount, 10, kMaxPoints);
    t.startFrequency = std::clamp(t.startFrequency, 1, 20000 - 10);
    t.stopFrequency = std::clamp(t.stopFrequency, t.startFrequency + 10, 20000);
    t.setupChanged = 1;
    *this = t;
    rebuildGrid();
    return true;
}

bool MeasureSetup::savePreferences() const {
    BinaryWriter w;
    writeRecord(w);
    return writeFileAtomic(preferencesPath(kPreferencesFile), w.buffer());
}

bool MeasureSetup::loadPreferences() {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(preferencesPath(kPreferencesFile), bytes, 4096)) return false;
    BinaryReader r(bytes);
    return readRecord(r);
}

std::vector<std::string> MeasureSetup::dataSheetLines() const {
    return {
        "Setup",
        strprintf(" Start freq.\t%ld Hz", static_cast<long>(startFrequency)),
        strprintf(" Stop freq.\t%ld Hz", static_cast<long>(stopFrequency)),
        strprintf(" # plot points\t%ld", static_cast<long>(pointCount)),
        strprintf(" Ug\t\t%3.2f V", Ug),
        strprintf(" Rg\t\t%3.2f Ohm", Rg),
        strprintf(" Lg\t\t%3.2f mH", Lg * 1000.0),
        strprintf(" Pg\t\t%3.3f W", Pg),
    };
}

} // namespace harlox
