#include "driver/speaker_object.h"

#include "core/binary_io.h"
#include "core/format.h"
#include "core/measured_file.h"
#include "core/program_dir.h"
#include "core/ui_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace harlox {

namespace {

struct ConnectionRow {
    const char* name;
    int onlyFor; // 0: offered for every count
};

constexpr std::array<ConnectionRow, TSpeakerObject::kConnectionCount> kConnections{{
    {"Series", 0},
    {"Parallell", 0},
    {"2-2", 4},
    {"2-2-2", 6},
    {"3-3", 6},
    {"2-2-2-2", 8},
    {"4-4", 8},
    {"3-3-3", 9},
    {"Sep. sources", 0},
}};

// Data-sheet phrases of the isobaric and double-voice-coil wiring, by connection.
constexpr std::array<const char*, 3> kIsobaricLines{"  speaker units connected in series",
                                                    "  speaker units connected in parallell",
                                                    "  separate sources for speaker units"};
constexpr std::array<const char*, 3> kCoilLines{"  voice coils connected in series",
                                                "  voice coils connected in parallell",
                                                "  separate sources for the two voice coils"};

// A coil at rated power runs 230 K hotter; copper gains 0.0039 per kelvin.
constexpr double kRatedHeating = 230.0;
constexpr double kCopperCoefficient = 0.0039;
// Radiation impedance of the piston.
constexpr double kRadiationResistance = 0.04304;
constexpr double kRadiationReactance = 1.45;
// Degrees to radians as the measured-data readers convert phase.
constexpr double kDegToRad = 0.005555555555555556 * kPi;

bool validPair(int c) {
    return c >= TSpeakerObject::kPairSeries && c <= TSpeakerObject::kPairSeparate;
}

} // namespace

const char* TSpeakerObject::connectionName(int index) {
    if (index < 0 || index >= kConnectionCount) return "";
    return kConnections[static_cast<std::size_t>(index)].name;
}

bool TSpeakerObject::connectionOffered(int index, int driverCount) {
    if (index < 0 || index >= kConnectionCount) return false;
    const int only = kConnections[static_cast<std::size_t>(index)].onlyFor;
    return only == 0 || only == driverCount;
}

std::vector<int> TSpeakerObject::offeredConnections(int driverCount) {
    std::vector<int> out;
    for (int i = 0; i < kConnectionCount; ++i) {
        if (connectionOffered(i, driverCount)) out.push_back(i);
    }
    return out;
}

ConnectionMultipliers TSpeakerObject::driverMultipliers(int index, int driverCount) {
    const double n = driverCount < 1 ? 1.0 : static_cast<double>(driverCount);
    switch (index) {
    case 0:
        return {n, 1.0 / n, 1.0 / n};
    case 1:
        return {1.0 / n, 1.0, n};
    case 2:
        return {1.0, 1.0 / 2.0, 1.0};
    case 3:
        return {3.0 / 2.0, 1.0 / 3.0, 2.0 / 3.0};
    case 4:
        return {2.0 / 3.0, 1.0 / 2.0, 3.0 / 2.0};
    case 5:
        return {2.0, 1.0 / 4.0, 1.0 / 2.0};
    case 6:
        return {1.0 / 2.0, 1.0 / 2.0, 2.0};
    case 7:
        return {1.0, 1.0 / 3.0, 1.0};
    default:
        return {};
    }
}

ConnectionMultipliers TSpeakerObject::pairMultipliers(int connection) {
    switch (connection) {
    case kPairSeries:
        return {2.0, 0.5, 0.5};
    case kPairParallel:
        return {0.5, 1.0, 2.0};
    default:
        return {};
    }
}

TSpeakerObject::TSpeakerObject() {
    ResetConfiguration();
}

void TSpeakerObject::ResetConfiguration() {
    static_cast<SpeakerConfiguration&>(*this) = SpeakerConfiguration{};
    unitOk = isSufficient() ? 1 : 0;
    refreshMultipliers();
}

void TSpeakerObject::Reset() {
    Clear();
    ResetConfiguration();
}

bool TSpeakerObject::Load(const std::string& path) {
    if (!TSpkData::Load(path)) return false;
    UnitEdited();
    return true;
}

void TSpeakerObject::SetDefaultUnit() {
    SetDefault();
    UnitEdited();
}

void TSpeakerObject::UnitEdited() {
    updateDerived();
    refreshMultipliers();
    unitOk = isSufficient() ? 1 : 0;
    unitChanged = 1;
}

void TSpeakerObject::refreshMultipliers() {
    driverGroup = driverMultipliers(driverConnection, driverCount);
    coilGroup = dualCoil != 0 ? pairMultipliers(coilConnection) : ConnectionMultipliers{};
    isobaricGroup = isobaric != 0 ? pairMultipliers(isobaricConnection) : ConnectionMultipliers{};
}

bool TSpeakerObject::setDriverCount(int n) {
    if (n < kMinDrivers || n > kMaxDrivers) return false;
    if (n != driverCount) {
        const bool keep = n == 1 && connectionOffered(driverConnection, 1);
        driverCount = n;
        if (!keep) driverConnection = kSeriesConnection;
    }
    refreshMultipliers();
    unitChanged = 1;
    return true;
}

bool TSpeakerObject::setDriverConnection(int index) {
    if (!connectionOffered(index, driverCount)) return false;
    driverConnection = static_cast<std::int16_t>(index);
    refreshMultipliers();
    unitChanged = 1;
    return true;
}

void TSpeakerObject::setIsobaric(bool on) {
    isobaric = on ? 1 : 0;
    refreshMultipliers();
    unitChanged = 1;
}

bool TSpeakerObject::setIsobaricConnection(int connection) {
    if (!validPair(connection)) return false;
    isobaricConnection = static_cast<std::int16_t>(connection);
    refreshMultipliers();
    unitChanged = 1;
    return true;
}

bool TSpeakerObject::setCoilConnection(int connection) {
    if (!validPair(connection)) return false;
    coilConnection = static_cast<std::int16_t>(connection);
    refreshMultipliers();
    unitChanged = 1;
    return true;
}

bool TSpeakerObject::setExtraMass(double kg) {
    if (!(kg >= 0.0 && kg <= kMaxExtraMass)) return false;
    extraMass = kg;
    unitChanged = 1;
    return true;
}

bool TSpeakerObject::setTransitionFrequency(int hz) {
    if (hz < kMinTransitionFrequency || hz > kMaxTransitionFrequency) return false;
    transitionFrequency = static_cast<std::int16_t>(hz);
    unitChanged = 1;
    return true;
}

bool TSpeakerObject::setPhaseLagCutoff(double hz) {
    if (!(hz >= 0.0 && hz <= kMaxPhaseLagCutoff)) return false;
    phaseLagCutoff = hz;
    unitChanged = 1;
    return true;
}

bool TSpeakerObject::setLevelOffsetDb(double db) {
    if (!(db >= -kMaxLevelOffsetDb && db <= kMaxLevelOffsetDb)) return false;
    levelOffsetDb = db;
    levelScale = std::pow(10.0, db / 20.0);
    unitChanged = 1;
    return true;
}

void TSpeakerObject::setImportFile(std::string_view path) {
    copyText(importFile.data(), importFile.size(), path);
    unitChanged = 1;
}

std::string TSpeakerObject::importFileText() const {
    return std::string(importFile.data(), ::strnlen(importFile.data(), importFile.size()));
}

double TSpeakerObject::hotResistance(double Ug) const {
    if (!coilHeatingActive()) return Re;
    const double u = Ug * voltageMultiplier();
    return Re * (1.0 + (u * u / Re) / Pmax * kRatedHeating * kCopperCoefficient);
}

void TSpeakerObject::ComputeDriverData(const FrequencyGrid& grid, double Ug, UiHost* ui) {
    const int n = grid.count;
    const double reHot = hotResistance(Ug);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = grid.f[k];
        const double w = grid.w[k];
        ReHot[k] = reHot;
        ZLe[k] = Complex(0.0, w * Le);
        const double ka = kTwoPi * a * f * kInvSpeedOfSound;
        Zrad[k] = Complex(kRadiationResistance * f * f / (ka * ka + 4.0), kRadiationReactance * f / a);
    }
    if (importUsable != 0) ReadImportedData(grid, ui);
}

void TSpeakerObject::fillZam(const FrequencyGrid& grid, bool softened) {
    const int n = grid.count;
    const double mass = Mms + extraMass;
    const double xl = Xmax * 0.5 * 1000.0;
    const double toAcoustic = 1.0 / Sd2;
    const double resistance = Rms * toAcoustic;
    // 1 / (w·Cms) as stiffness / w, so the loop has no division.
    const double stiffness = 1.0 / Cms;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        double s = stiffness;
        // Past Xmax/2 the suspension softens: Cms / ((x - xl) / xl + 1).
        if (softened && excursion[k] > xl) s = stiffness * ((excursion[k] - xl) / xl + 1.0);
        Zam[k] = Complex(resistance, (grid.w[k] * mass - s * grid.wInverse[k]) * toAcoustic);
    }
}

void TSpeakerObject::ComputeZam(const FrequencyGrid& grid) {
    fillZam(grid, false);
}

void TSpeakerObject::ApplyCmsNonlinearity(const FrequencyGrid& grid) {
    if (cmsNonlinearActive()) fillZam(grid, true);
}

void TSpeakerObject::ApplyBlNonlinearity(int count) {
    if (!blNonlinearActive()) return;
    const double limit = Xmax * 1000.0;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double x = excursion[k];
        if (x > limit) {
            const double f = std::sqrt(limit / x);
            excursion[k] = x * f;
            U[k] *= f;
        }
    }
}

bool TSpeakerObject::ReadImportedData(const FrequencyGrid& grid, UiHost* ui) {
    const std::string name = importFileText();
    importUsable = 0;
    if (name.empty()) return false;
    const MeasuredReadResult r = readMeasuredCurve(resolveStoredName(name), MeasuredKind::Spl, grid.f.data(),
                                                   grid.count, measured.data());
    switch (r) {
    case MeasuredReadResult::Loaded:
        importUsable = 1;
        return true;
    case MeasuredReadResult::CannotOpen:
        if (ui) ui->error(kMeasuredDataCaption, measuredOpenFailureText(name));
        return false;
    case MeasuredReadResult::NoData:
        return false;
    }
    return false;
}

void TSpeakerObject::SpliceImportedData(const FrequencyGrid& grid, Complex* P) {
    if (!importInUse()) return;
    const int n = grid.count;
    const double transition = transitionFrequency;
    bool haveSimulated = false;
    double lastSimulated = 0.0;
    bool spliced = false;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = grid.f[k];
        if (f < transition) {
            // A pure phase lag of 4·atan(f / cutoff); a cutoff of 0 turns it by a full
            // circle, which is no change at all.
            if (phaseLagCutoff > 0.0) {
                const Complex d(1.0, -f / phaseLagCutoff);
                const Complex q = d / std::abs(d);
                const Complex q2 = q * q;
                P[k] *= q2 * q2;
            }
            measuredRatio[k] = Complex(1.0, 0.0);
            lastSimulated = std::abs(P[k]);
            haveSimulated = true;
            continue;
        }
        if (!spliced) {
            spliced = true;
            if (autoLevel != 0) {
                const double m = std::abs(measured[k]);
                levelScale = haveSimulated && m > 0.0 && std::isfinite(m) ? lastSimulated / m : 1.0;
                levelOffsetDb = 20.0 * std::log10(levelScale);
            }
        }
        const Complex simulated = P[k];
        P[k] = measured[k] * levelScale;
        measuredRatio[k] = simulated != Complex(0.0, 0.0) ? P[k] / simulated : Complex(0.0, 0.0);
    }
}

void TSpeakerObject::captureSheetValues(SheetValues& out) const {
    out.config = *this;
    out.manufacturer = manufacturer;
    out.model = model;
    out.fileName = fileName;
    out.dualCoil = dualCoil;
}

namespace {
template <std::size_t N> std::string textOf(const std::array<char, N>& a) {
    return std::string(a.data(), ::strnlen(a.data(), N));
}
} // namespace

std::vector<std::string> TSpeakerObject::dataSheetLines(const SheetValues& v, std::string_view heading) {
    const SpeakerConfiguration& c = v.config;
    std::vector<std::string> lines;
    lines.reserve(20);
    lines.emplace_back(heading);
    lines.push_back(" Manufacturer\t" + textOf(v.manufacturer));
    lines.push_back(" Model\t\t" + textOf(v.model));
    lines.push_back(" Filename\t" + textOf(v.fileName));
    lines.push_back(strprintf(" # drivers\t%ld", static_cast<long>(c.driverCount)));
    lines.push_back(strprintf(" Extra mass\t%3.1f g", c.extraMass * 1000.0));
    if (c.blNonlinear != 0) lines.emplace_back(" Simulation of BL non linearity ON");
    if (c.coilHeating != 0) lines.emplace_back(" Simulation of voice coil heating ON");
    if (c.cmsNonlinear != 0) lines.emplace_back(" Simulation of Cms non linearity ON");
    if (c.isobaric != 0) {
        lines.emplace_back(" Isobarik configuration with");
        lines.emplace_back(kIsobaricLines[static_cast<std::size_t>(
            validPair(c.isobaricConnection) ? c.isobaricConnection : kPairSeparate)]);
    }
    if (v.dualCoil != 0) {
        lines.emplace_back(" Double voice coil with");
        lines.emplace_back(kCoilLines[static_cast<std::size_t>(validPair(c.coilConnection) ? c.coilConnection
                                                                                           : kPairSeparate)]);
    }
    if (c.driverCount > 1) {
        lines.push_back(std::string(" Electrical connection of drivers : ") +
                        connectionName(c.driverConnection));
    }
    if (c.importUsable != 0 && c.importDisabled == 0) {
        lines.push_back(" Imported SPL data : " + textOf(c.importFile));
        lines.push_back(strprintf("   Transition freq. \t%d Hz", static_cast<int>(c.transitionFrequency)));
        lines.push_back(strprintf("   Phase lag cutoff. \t%3.0f Hz", c.phaseLagCutoff));
    }
    return lines;
}

std::vector<std::string> TSpeakerObject::dataSheetLines(std::string_view heading) const {
    SheetValues v;
    captureSheetValues(v);
    return dataSheetLines(v, heading);
}

bool TSpeakerObject::writeRecord(BinaryWriter& w) const {
    w.f64(extraMass, "extraMass");
    w.i32(driverCount, "driverCount");
    w.u8(isobaric, "isobaric");
    w.u8(blNonlinear, "blNonlinear");
    w.u8(coilHeating, "coilHeating");
    w.u8(cmsNonlinear, "cmsNonlinear");
    w.i16(isobaricConnection, "isobaricConnection");
    w.i16(coilConnection, "coilConnection");
    w.i16(driverConnection, "driverConnection");
    w.f64(driverGroup.mZ, "driverMultiplierZ");
    w.f64(driverGroup.mU, "driverMultiplierU");
    w.f64(driverGroup.mS, "driverMultiplierS");
    w.f64(isobaricGroup.mZ, "isobaricMultiplierZ");
    w.f64(isobaricGroup.mU, "isobaricMultiplierU");
    w.f64(isobaricGroup.mS, "isobaricMultiplierS");
    w.u8(importUsable, "importUsable");
    w.bytes(importFile.data(), importFile.size(), "importFile");
    w.u8(importDisabled, "importDisabled");
    w.i16(transitionFrequency, "transitionFrequency");
    w.u8(autoLevel, "autoLevel");
    w.f64(levelOffsetDb, "levelOffsetDb");
    w.f64(levelScale, "levelScale");
    return w.f64(phaseLagCutoff, "phaseLagCutoff");
}

bool TSpeakerObject::readRecord(BinaryReader& r, UiHost* ui) {
    SpeakerConfiguration t = *this;
    ConnectionMultipliers storedDriver;
    ConnectionMultipliers storedIsobaric;
    r.f64(t.extraMass);
    r.i32(t.driverCount);
    r.u8(t.isobaric);
    r.u8(t.blNonlinear);
    r.u8(t.coilHeating);
    r.u8(t.cmsNonlinear);
    r.i16(t.isobaricConnection);
    r.i16(t.coilConnection);
    r.i16(t.driverConnection);
    r.f64(storedDriver.mZ);
    r.f64(storedDriver.mU);
    r.f64(storedDriver.mS);
    r.f64(storedIsobaric.mZ);
    r.f64(storedIsobaric.mU);
    r.f64(storedIsobaric.mS);
    r.u8(t.importUsable);
    r.textBlock(t.importFile.data(), t.importFile.size());
    r.u8(t.importDisabled);
    r.i16(t.transitionFrequency);
    r.u8(t.autoLevel);
    r.f64(t.levelOffsetDb);
    r.f64(t.levelScale);
    if (!r.f64(t.phaseLagCutoff)) return false;

    // The file is not trusted: counts, indices and values are brought back into the ranges
    // the dialog accepts. The groups follow from the wiring, which is what they mean.
    const auto flag = [](std::uint8_t& f) { f = f != 0 ? 1 : 0; };
    flag(t.isobaric);
    flag(t.blNonlinear);
    flag(t.coilHeating);
    flag(t.cmsNonlinear);
    flag(t.importUsable);
    flag(t.importDisabled);
    flag(t.autoLevel);
    t.driverCount = std::clamp(t.driverCount, kMinDrivers, kMaxDrivers);
    if (!validPair(t.isobaricConnection)) t.isobaricConnection = kPairSeparate;
    if (!validPair(t.coilConnection)) t.coilConnection = kPairSeparate;
    if (!connectionOffered(t.driverConnection, t.driverCount)) t.driverConnection = kSeriesConnection;
    if (!(t.extraMass >= 0.0 && t.extraMass <= kMaxExtraMass)) t.extraMass = 0.0;
    t.transitionFrequency = static_cast<std::int16_t>(
        std::clamp<int>(t.transitionFrequency, kMinTransitionFrequency, kMaxTransitionFrequency));
    if (!(t.levelOffsetDb >= -kMaxLevelOffsetDb && t.levelOffsetDb <= kMaxLevelOffsetDb))
        t.levelOffsetDb = 0.0;
    if (!(std::isfinite(t.levelScale) && t.levelScale > 0.0))
        t.levelScale = std::pow(10.0, t.levelOffsetDb / 20.0);
    if (!(t.phaseLagCutoff >= 0.0 && t.phaseLagCutoff <= kMaxPhaseLagCutoff))
        t.phaseLagCutoff = kMaxPhaseLagCutoff;
    t.unitChanged = 1;

    static_cast<SpeakerConfiguration&>(*this) = t;
    refreshMultipliers();
    if (importUsable != 0) ReadImportedData(grid(), ui);
    return true;
}

} // namespace harlox
