#include "filter/net.h"

#include "core/binary_io.h"
#include "core/format.h"
#include "filter/general.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace harlox {

namespace {

constexpr double kDegrees = 180.0 / kPiExact;

// Normalised ladder elements by order, element 1 next to the amplifier.
constexpr double kLadderG[4][4] = {
    {1.0, 0.0, 0.0, 0.0},
    {1.414, 0.707, 0.0, 0.0},
    {1.5, 1.333, 0.5, 0.0},
    {1.531, 1.577, 1.082, 0.383},
};

inline Complex parallel(Complex a, Complex b) {
    return 1.0 / (1.0 / a + 1.0 / b);
}

double dB(Complex c) {
    return 20.0 * std::log10(std::abs(c));
}

double phaseDeg(Complex c) {
    return std::atan2(c.imag(), c.real()) * kDegrees;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view s, double& out) {
    s = trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end != s.data() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

} // namespace

// ---------------------------------------------------------------- TComp

void TComp::Reset(CompKind kind, int sectionIndex, int branchIndex) {
    kind_ = kind;
    const char* letter = "R";
    switch (kind) {
    case CompKind::Resistor:
        letter = "R";
        copyText(unit_.data(), unit_.size(), "ohm");
        factor_ = 1.0;
        value = 1.0;
        lowerLimit = 0.01;
        upperLimit = 1000.0;
        break;
    case CompKind::Capacitor:
        letter = "C";
        copyText(unit_.data(), unit_.size(), "uF");
        factor_ = 1e6;
        value = 1e-6;
        lowerLimit = 1e-9;
        upperLimit = 1.0;
        break;
    case CompKind::Inductor:
        letter = "L";
        copyText(unit_.data(), unit_.size(), "mH");
        factor_ = 1000.0;
        value = 1e-3;
        lowerLimit = 1e-6;
        upperLimit = 100.0;
        break;
    }
    copyText(name_.data(), name_.size(), strprintf("%s%d%d", letter, sectionIndex + 1, branchIndex + 1));
    seriesResistance = kDefaultSeriesResistance;
    inUse = 0;
    optimise = 0;
    changed = 1;
}

const char* TComp::ValueFormat() const {
    const double v = value;
    switch (kind_) {
    case CompKind::Resistor:
        return v >= 100.0 ? "%2.0f" : v >= 10.0 ? "%2.1f" : "%2.2f";
    case CompKind::Capacitor:
        return v >= 0.001 ? "%2.0f" : v >= 0.0001 ? "%2.1f" : v >= 0.00001 ? "%2.2f" : "%2.3f";
    case CompKind::Inductor:
        return v >= 1.0    ? "%2.0f;%2.1f"
               : v >= 0.1  ? "%2.1f;%2.1f"
               : v >= 0.01 ? "%2.2f;%2.1f"
                           : "%2.3f;%2.1f";
    }
    return "%2.2f";
}

std::string TComp::DisplayValue() const {
    char buf[96];
    const double shown = value * factor_;
    // The formats are the fixed set above, never user text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (kind_ == CompKind::Inductor)
        std::snprintf(buf, sizeof buf, ValueFormat(), shown, seriesResistance);
    else
        std::snprintf(buf, sizeof buf, ValueFormat(), shown);
#pragma GCC diagnostic pop
    return buf;
}

std::string TComp::Label() const {
    return std::string(Name()) + " " + DisplayValue() + " " + Unit();
}

bool TComp::ParseEntry(std::string_view text, double& display, std::optional<double>& seriesR) {
    seriesR.reset();
    const std::size_t semi = text.find(';');
    double v = 0.0;
    if (!parseNumber(text.substr(0, semi), v)) return false;
    if (semi != std::string_view::npos) {
        double r = 0.0;
        if (!parseNumber(text.substr(semi + 1), r)) return false;
        seriesR = r;
    }
    display = v;
    return true;
}

// ---------------------------------------------------------------- TBranch

const char* TBranch::TypeName(int type) {
    static constexpr const char* kNames[kTypes] = {
        " None", " R", " L", " C", " R + C", " L + C", " L // C", " R // L", " R // C", " R // L // C",
    };
    return type >= 0 && type < kTypes ? kNames[type] : nullptr;
}

TBranch::TBranch(int index, BranchPosition position, int sectionIndex)
    : position_(position), z_(TNet::kPoints), index_(static_cast<std::int16_t>(index)),
      section_(sectionIndex) {
    Reset();
}

void TBranch::Reset() {
    comps_[0].Reset(CompKind::Resistor, section_, index_);
    comps_[1].Reset(CompKind::Inductor, section_, index_);
    comps_[2].Reset(CompKind::Capacitor, section_, index_);
    SetType(None);
}

TComp& TBranch::Component(CompKind kind) {
    return kind == CompKind::Resistor ? comps_[0] : kind == CompKind::Inductor ? comps_[1] : comps_[2];
}

const TComp& TBranch::Component(CompKind kind) const {
    return kind == CompKind::Resistor ? comps_[0] : kind == CompKind::Inductor ? comps_[1] : comps_[2];
}

void TBranch::SetType(int type) {
    if (type < 0 || type >= kTypes) type = None;
    type_ = static_cast<std::int16_t>(type);
    const bool r = type == R || type == RplusC || type == RparL || type == RparC || type == RparLparC;
    const bool l = type == L || type == LplusC || type == LparC || type == RparL || type == RparLparC;
    const bool c =
        type == C || type == RplusC || type == LplusC || type == LparC || type == RparC || type == RparLparC;
    comps_[0].inUse = r ? 1 : 0;
    comps_[1].inUse = l ? 1 : 0;
    comps_[2].inUse = c ? 1 : 0;
    changed = 1;
}

void TBranch::Update(const CVector& jw) {
    if (changed == 0) return;
    const double r = comps_[0].value;
    const double l = comps_[1].value;
    const double rl = comps_[1].seriesResistance;
    const double c = comps_[2].value;
    const Complex* w = jw.data();
    Complex* z = z_.data();
    const int n = std::min(jw.length(), z_.length());
    for (int i = 0; i < n; ++i) {
        const Complex zl = rl + w[i] * l;
        const Complex zc = 1.0 / (w[i] * c);
        Complex v;
        switch (type_) {
        case R:
            v = r;
            break;
        case L:
            v = zl;
            break;
        case C:
            v = zc;
            break;
        case RplusC:
            v = r + zc;
            break;
        case LplusC:
            v = zl + zc;
            break;
        case LparC:
            v = parallel(zl, zc);
            break;
        case RparL:
            v = parallel(r, zl);
            break;
        case RparC:
            v = parallel(r, zc);
            break;
        case RparLparC:
            v = parallel(parallel(r, zl), zc);
            break;
        default:
            v = IsSeries() ? 0.0 : kOpen;
            break;
        }
        z[i] = v;
    }
    changed = 0;
}

// ---------------------------------------------------------------- TNet

TNet::TNet(TGeneral& general, int sectionIndex, TNetProject* project)
    : TNetBase(general, project), section_(sectionIndex < 0   ? 0
                                           : sectionIndex > 2 ? 2
                                                              : sectionIndex),
      kind_(static_cast<SectionKind>(section_)), zin_(kPoints), zd_(kPoints), h_(kPoints), v1_(kPoints),
      v2_(kPoints), gainDb_(kPoints), gainPhase_(kPoints), zinMagnitude_(kPoints), zinPhase_(kPoints),
      splPhase_(kPoints), groupDelay_(kPoints), s1_(kPoints), s2_(kPoints), off1_(kPoints), off2_(kPoints),
      z1_(kPoints), z2_(kPoints), zload_(kPoints), rays_(kRays, kPoints),
      raysDb_(kRays, kPoints), branches_{TBranch(0, BranchPosition::Series, section_),
                                         TBranch(1, BranchPosition::Shunt, section_),
                                         TBranch(2, BranchPosition::Series, section_),
                                         TBranch(3, BranchPosition::Shunt, section_),
                                         TBranch(4, BranchPosition::Series, section_),
                                         TBranch(5, BranchPosition::Series, section_),
                                         TBranch(6, BranchPosition::Shunt, section_),
                                         TBranch(7, BranchPosition::Shunt, section_)},
      spl1_(*this, MeasuredKind::Spl), spl2_(*this, MeasuredKind::Spl), zma1_(*this, MeasuredKind::Impedance),
      zma2_(*this, MeasuredKind::Impedance) {
    static constexpr const char* kTitles[3] = {"Bass network", "Midrange network", "Treble network"};
    title_ = kTitles[section_];
    Reset();
}

int TNet::DialogId() const {
    static constexpr int kIds[3] = {15, 16, 18};
    return kIds[section_];
}

const char* TNet::HelpFile() const {
    static constexpr const char* kFiles[3] = {"netbass.txt", "netmid.txt", "nettreb.txt"};
    return kFiles[section_];
}

void TNet::SetTitle(std::string_view title) {
    title_.assign(title.substr(0, std::min<std::size_t>(title.size(), 29)));
}

MeasuredGrid TNet::MeasGrid() const {
    const TGeneral& g = General();
    return MeasuredGrid{g.frequency().data(), g.lnFrequency().data(), g.frequency().length()};
}

void TNet::MeasDataChanged(TMeasData&) {
    Edited();
}

void TNet::markAllBranches() {
    for (TBranch& b : branches_)
        b.changed = 1;
}

void TNet::Reset() {
    driverCount = 1;
    driversInSeries = 0;
    invert = 0;
    disconnect = 0;
    Re = 8.0;
    Rex = 0.0;
    Le = 0.001;
    posX = {};
    posY = {};
    posZ = {};
    attenuation = 0.0;
    pistonRadius = {0.05, 0.05};
    splScaling = {1.0, 1.0};
    impedanceScaling = {1.0, 1.0};
    spl1_.ClearCurve();
    spl2_.ClearCurve();
    zma1_.ClearCurve();
    zma2_.ClearCurve();

    switch (kind_) {
    case LowPass:
        lowPassOrder = 4;
        lowPassCutoff = 500.0;
        highPassOrder = 0;
        highPassCutoff = 0.0;
        break;
    case BandPass:
        lowPassOrder = 4;
        lowPassCutoff = 5000.0;
        highPassOrder = 4;
        highPassCutoff = 500.0;
        break;
    case HighPass:
        lowPassOrder = 0;
        lowPassCutoff = 0.0;
        highPassOrder = 4;
        highPassCutoff = 5000.0;
        break;
    }

    for (TBranch& b : branches_)
        b.Reset();
    for (int b = 0; b < kLadder; ++b) {
        const bool series = branches_[static_cast<std::size_t>(b)].IsSeries();
        int type = TBranch::None;
        switch (kind_) {
        case LowPass:
            type = series ? TBranch::L : TBranch::C;
            break;
        case HighPass:
            type = series ? TBranch::C : TBranch::L;
            break;
        case BandPass:
            type = series ? TBranch::LplusC : TBranch::LparC;
            break;
        }
        branches_[static_cast<std::size_t>(b)].SetType(type);
    }
    for (int b : {kNotch, kAttenuatorSeries, kAttenuatorShunt}) {
        TBranch& br = Branch(b);
        br.Resistor().value = 0.0;
        br.Inductor().value = 0.0;
        br.Capacitor().value = 0.0;
    }
    calcZobel();
    if (kind_ != HighPass) designSection(true);
    if (kind_ != LowPass) designSection(false);
    markAllBranches();
    SetChanged();
}

double TNet::designLoad() const {
    if (!twoDrivers()) return Re;
    return driversInSeries != 0 ? 2.0 * Re : 0.5 * Re;
}

// A low-pass ladder carries series coils and shunt capacitors, a high-pass the reverse. The
// other slope's elements already in a branch (a band-pass) stay beside the designed ones.
void TNet::designSection(bool lowPass) {
    const double r = designLoad();
    const double w = 2.0 * kPiExact * (lowPass ? lowPassCutoff : highPassCutoff);
    const int order = lowPass ? lowPassOrder : highPassOrder;
    const int seriesOwn = lowPass ? TBranch::L : TBranch::C;
    const int shuntOwn = lowPass ? TBranch::C : TBranch::L;
    std::array<bool, kLadder> other{};
    for (int b = 0; b < kLadder; ++b) {
        TBranch& br = Branch(b);
        const int t = br.GetType();
        other[static_cast<std::size_t>(b)] = br.IsSeries() ? (t == shuntOwn || t == TBranch::LplusC)
                                                           : (t == seriesOwn || t == TBranch::LparC);
        const double g = order >= 1 && order <= 4 && b < order ? kLadderG[order - 1][b] : 0.0;
        TComp& c = br.IsSeries() == lowPass ? br.Inductor() : br.Capacitor();
        if (g == 0.0)
            c.value = 0.0;
        else if (lowPass)
            c.value = br.IsSeries() ? g * r / w : g / (r * w);
        else
            c.value = br.IsSeries() ? 1.0 / (g * r * w) : r / (g * w);
        c.changed = 1;
    }
    for (int b = 0; b < kLadder; ++b) {
        TBranch& br = Branch(b);
        const bool o = other[static_cast<std::size_t>(b)];
        int t = TBranch::None;
        if (b < order)
            t = br.IsSeries() ? (o ? TBranch::LplusC : seriesOwn) : (o ? TBranch::LparC : shuntOwn);
        else if (o)
            t = br.IsSeries() ? shuntOwn : seriesOwn;
        br.SetType(t);
    }
}

void TNet::calcAttenuator() {
    TBranch& series = Branch(kAttenuatorSeries);
    TBranch& shunt = Branch(kAttenuatorShunt);
    if (!(attenuation > 0.0)) {
        series.Resistor().value = 0.0;
        shunt.Resistor().value = 0.0;
        series.SetType(TBranch::None);
        shunt.SetType(TBranch::None);
    } else {
        const double k = std::pow(10.0, attenuation / 20.0);
        const double r16 = (k - 1.0) * Re / k;
        series.Resistor().value = r16;
        shunt.Resistor().value = 1.0 / (1.0 / (Re - r16) - 1.0 / Re);
        series.SetType(TBranch::R);
        shunt.SetType(TBranch::R);
    }
    series.Resistor().changed = 1;
    shunt.Resistor().changed = 1;
}

void TNet::calcZobel() {
    TBranch& z = Branch(kZobel);
    double r = Re;
    double c = Le / (Re * Re);
    if (twoDrivers()) {
        const double k = driversInSeries != 0 ? 2.0 : 0.5;
        r *= k;
        c /= k;
    }
    z.Resistor().value = r;
    z.Capacitor().value = c;
    z.Resistor().changed = 1;
    z.Capacitor().changed = 1;
    z.SetType(TBranch::RplusC);
}

bool TNet::designable(int order, double cutoff) const {
    if (order < 0 || order > 4 || !(Re > 0.0) || !std::isfinite(Re)) return false;
    return order == 0 || (cutoff > 0.0 && std::isfinite(cutoff));
}

bool TNet::DesignLowPass() {
    if (!designable(lowPassOrder, lowPassCutoff)) return false;
    designSection(true);
    Edited();
    return true;
}

bool TNet::DesignHighPass() {
    if (!designable(highPassOrder, highPassCutoff)) return false;
    designSection(false);
    Edited();
    return true;
}

bool TNet::CalcAttenuator() {
    if (!(Re > 0.0) || !std::isfinite(Re) || !std::isfinite(attenuation)) return false;
    calcAttenuator();
    Edited();
    return true;
}

bool TNet::CalcZobel() {
    if (!(Re > 0.0) || !std::isfinite(Re) || !std::isfinite(Le) || Le < 0.0) return false;
    calcZobel();
    Edited();
    return true;
}

double TNet::SplScalingDb(int driver) const {
    return 20.0 * std::log10(splScaling[driver == 0 ? 0 : 1]);
}

void TNet::SetSplScalingDb(int driver, double dB) {
    splScaling[driver == 0 ? 0 : 1] = std::pow(10.0, dB / 20.0);
}

std::array<TNet::SchematicLine, 5> TNet::DriverSchematic(int driver) const {
    const int d = driver == 0 ? 0 : 1;
    auto fileName = [](const TMeasData& curve) {
        return curve.FileName().empty() ? std::string("Not in use") : curve.FileName();
    };
    const std::size_t k = static_cast<std::size_t>(d);
    return {{
        {d == 0 ? "Driver unit 1" : "Driver unit 2", ""},
        {"SPL data file :", fileName(Spl(d))},
        {"Impedance data file :", fileName(Impedance(d))},
        {"Rex:", strprintf("%2.2f", Rex)},
        {"Position (x,y,z) mm",
         strprintf("%2.1f,%2.1f,%2.1f", posX[k] * 1000.0, posY[k] * 1000.0, posZ[k] * 1000.0)},
    }};
}

// A low-pass section's series branches carry only L and its shunt branches only C, a
// high-pass section the reverse; the unused element keeps its default value, so it must not
// count when the type is derived from the values.
bool TNet::carriesInductor(int b) const {
    if (kind_ == BandPass) return true;
    return Branch(b).IsSeries() == (kind_ == LowPass);
}

bool TNet::carriesCapacitor(int b) const {
    if (kind_ == BandPass) return true;
    return Branch(b).IsSeries() == (kind_ == HighPass);
}

void TNet::retype(int b) {
    TBranch& br = Branch(b);
    const bool r = br.Resistor().value != 0.0;
    const bool l = br.Inductor().value != 0.0;
    const bool c = br.Capacitor().value != 0.0;
    int t = TBranch::None;
    if (b < kLadder) {
        const bool hasL = l && carriesInductor(b);
        const bool hasC = c && carriesCapacitor(b);
        if (hasL && hasC)
            t = br.IsSeries() ? TBranch::LplusC : TBranch::LparC;
        else if (hasL)
            t = TBranch::L;
        else if (hasC)
            t = TBranch::C;
    } else if (b == kNotch) {
        if (r && l && c)
            t = TBranch::RparLparC;
        else if (r && c)
            t = TBranch::RparC;
        else if (r && l)
            t = TBranch::RparL;
        else if (l && c)
            t = TBranch::LparC;
        else if (c)
            t = TBranch::C;
        else if (l)
            t = TBranch::L;
        else if (r)
            t = TBranch::R;
    } else if (b == kZobel) {
        t = r && c ? TBranch::RplusC : TBranch::None;
    } else {
        t = r ? TBranch::R : TBranch::None;
    }
    br.SetType(t);
}

bool TNet::SetComponent(int branch, CompKind kind, double value) {
    if (branch < 0 || branch >= kBranches || !std::isfinite(value) || value < 0.0) return false;
    TBranch& br = Branch(branch);
    TComp& c = br.Component(kind);
    const bool wasZero = c.value == 0.0;
    c.value = value;
    c.changed = 1;
    br.changed = 1;
    if (wasZero != (value == 0.0)) retype(branch);
    Edited();
    return true;
}

bool TNet::SetInductor(int branch, double value, double seriesR) {
    if (branch < 0 || branch >= kBranches || !std::isfinite(seriesR) || seriesR < 0.0) return false;
    if (!std::isfinite(value) || value < 0.0) return false;
    Branch(branch).Inductor().seriesResistance = seriesR;
    return SetComponent(branch, CompKind::Inductor, value);
}

bool TNet::SetComponentEntry(int branch, CompKind kind, std::string_view text) {
    if (branch < 0 || branch >= kBranches) return false;
    double shown = 0.0;
    std::optional<double> seriesR;
    if (!TComp::ParseEntry(text, shown, seriesR)) return false;
    if (shown < 0.0 || shown > 1000.0) return false;
    if (seriesR && (kind != CompKind::Inductor || *seriesR < 0.0 || *seriesR > 1000.0)) return false;
    const double value = shown / Branch(branch).Component(kind).Factor();
    if (seriesR) return SetInductor(branch, value, *seriesR);
    return SetComponent(branch, kind, value);
}

TComp* TNet::FindComponent(std::string_view name, int* branch) {
    for (int b = 0; b < kBranches; ++b) {
        for (CompKind k : {CompKind::Resistor, CompKind::Capacitor, CompKind::Inductor}) {
            TComp& c = Branch(b).Component(k);
            if (name == c.Name()) {
                if (branch != nullptr) *branch = b;
                return &c;
            }
        }
    }
    return nullptr;
}

bool TNet::Calculate() {
    const TGeneral& g = General();
    const CVector& jwv = g.jw();
    for (TBranch& b : branches_)
        b.Update(jwv);
    if (!Changed()) return true;

    const int n = std::min(jwv.length(), kPoints);
    const Complex* jw = jwv.data();
    const bool two = twoDrivers();
    const bool series = driversInSeries != 0;
    const bool zLoaded1 = zma1_.Loaded();
    const bool zLoaded2 = zma2_.Loaded();
    const bool sLoaded1 = spl1_.Loaded();
    const bool sLoaded2 = spl2_.Loaded();
    const Complex* zm1 = zma1_.Values().data();
    const Complex* zm2 = zma2_.Values().data();
    const Complex* sm1 = spl1_.Values().data();
    const Complex* sm2 = spl2_.Values().data();
    const double sign = invert != 0 ? -1.0 : 1.0;
    const double rexLoad = series ? 2.0 * Rex : 0.5 * Rex;
    const Complex* zb[kBranches];
    for (int b = 0; b < kBranches; ++b)
        zb[b] = Branch(b).Z().data();

    for (int i = 0; i < n; ++i) {
        // Driver impedances; without driver 1's curve both fall back on Re + jwLe.
        const Complex voiceCoil = Re + jw[i] * Le;
        const Complex z1 = zLoaded1 ? zm1[i] * impedanceScaling[0] : voiceCoil;
        Complex z2 = 0.0;
        Complex zd = z1;
        if (two) {
            z2 = zLoaded1 ? (zLoaded2 ? zm2[i] * impedanceScaling[1] : z1) : voiceCoil;
            zd = series ? z1 + z2 : parallel(z1, z2);
        }

        // The ladder from the driver towards the amplifier. With one driver H starts as the
        // voltage behind Rex; with two it is the voltage across the pair including Rex.
        Complex z, h;
        Complex zload;
        if (two) {
            zload = zd + rexLoad;
            z = zload;
            h = 1.0;
        } else {
            z = zd + Rex;
            zload = z;
            h = zd / z;
        }
        z = parallel(z, zb[7][i]);
        z = parallel(z, zb[6][i]);
        h *= z;
        z += zb[5][i];
        z += zb[4][i];
        h /= z;
        z = parallel(z, zb[3][i]);
        h *= z;
        z += zb[2][i];
        h /= z;
        z = parallel(z, zb[1][i]);
        h *= z;
        z += zb[0][i];
        if (disconnect != 0) z += kDisconnect;
        h /= z;

        Complex v1 = h;
        Complex v2 = 0.0;
        if (two) {
            const Complex current = h / zload;
            v1 = current * (series ? z1 : zd);
            v2 = current * (series ? z2 : zd);
        }

        z1_[i] = z1;
        z2_[i] = z2;
        zd_[i] = zd;
        zload_[i] = zload;
        zin_[i] = z;
        h_[i] = h;
        v1_[i] = v1;
        v2_[i] = v2;
        gainDb_[i] = dB(h);
        gainPhase_[i] = phaseDeg(two ? v1 + v2 : h);
        zinMagnitude_[i] = std::abs(z);
        zinPhase_[i] = phaseDeg(z);

        Complex s1 = sign * v1;
        Complex s2 = sign * v2;
        if (sLoaded1) {
            s1 *= sm1[i] * splScaling[0];
            s2 *= sLoaded2 ? sm2[i] * splScaling[1] : sm1[i] * splScaling[0];
        }
        s1_[i] = s1;
        s2_[i] = s2;
    }

    // Every calculated ray, the main one at 0 degrees.
    const int main = g.mainRay();
    for (int k = 0; k < g.surfaceCount() && k < kRays; ++k) {
        if (!g.rayCalculated(k)) continue;
        const double angle = g.rayCalcAngle(k);
        CVector& row = rays_[k];
        g.OffAxis(s1_, angle, pistonRadius[0], posX[0], posY[0], posZ[0], two ? off1_ : row);
        if (two) {
            g.OffAxis(s2_, angle, pistonRadius[1], posX[1], posY[1], posZ[1], off2_);
            row.add(off1_, off2_);
        }
        FVector& level = raysDb_[k];
        for (int i = 0; i < n; ++i)
            level[i] = dB(row[i]);
    }
    const CVector& mainRow = rays_[main];
    for (int i = 0; i < n; ++i)
        splPhase_[i] = phaseDeg(mainRow[i]);

    // Group delay from the main ray's phase; only jumps of 180 degrees or more count as wraps.
    const FVector& f = g.frequency();
    if (n >= 3) {
        for (int i = 1; i < n - 1; ++i) {
            double d = splPhase_[i + 1] - splPhase_[i - 1];
            if (d >= 180.0) d -= 360.0;
            if (d < -180.0) d += 360.0;
            groupDelay_[i] = d * -2.7777777777777777 / (f[i + 1] - f[i - 1]);
        }
        groupDelay_[0] = groupDelay_[1];
        groupDelay_[n - 1] = groupDelay_[n - 2];
    }
    clearChanged();
    return true;
}

// ---------------------------------------------------------------- record

namespace {

struct CompRecord {
    std::uint8_t inUse = 0;
    double seriesResistance = TComp::kDefaultSeriesResistance;
    double value = 0.0;
};

struct BranchRecord {
    std::uint16_t type = 0;
    CompRecord r, c, l; // file order: resistor, capacitor, inductor
};

bool writeComp(BinaryWriter& w, const TComp& c) {
    return w.u8(c.inUse, "inUse") && w.f64(c.seriesResistance, "seriesResistance") && w.f64(c.value, "value");
}

bool readComp(BinaryReader& r, CompRecord& c, int version) {
    if (!r.u8(c.inUse)) return false;
    if (version >= TComp::kSeriesResistanceVersion && !r.f64(c.seriesResistance)) return false;
    return r.f64(c.value);
}

void applyComp(TComp& c, const CompRecord& rec, bool withSeriesResistance) {
    c.inUse = rec.inUse;
    if (withSeriesResistance) c.seriesResistance = rec.seriesResistance;
    c.value = rec.value;
    c.changed = 1;
}

bool finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

} // namespace

bool TNet::writeRecord(BinaryWriter& w) const {
    w.f64(Re, "Re");
    w.f64(Rex, "Rex");
    w.f64(Le, "Le");
    w.f64(posZ[0], "posZ1");
    w.u16(static_cast<std::uint16_t>(driverCount), "driverCount");
    w.u8(driversInSeries, "driversInSeries");
    w.u8(disconnect, "disconnect");
    w.f64(posX[0], "posX1");
    w.f64(posY[0], "posY1");
    w.f64(posX[1], "posX2");
    w.f64(posY[1], "posY2");
    w.f64(posZ[1], "posZ2");
    w.f64(pistonRadius[0], "pistonRadius1");
    w.f64(pistonRadius[1], "pistonRadius2");
    w.f64(splScaling[0], "splScaling1");
    w.f64(splScaling[1], "splScaling2");
    w.f64(impedanceScaling[0], "impedanceScaling1");
    w.f64(impedanceScaling[1], "impedanceScaling2");
    w.f64(attenuation, "attenuation");
    w.f64(highPassCutoff, "highPassCutoff");
    w.f64(lowPassCutoff, "lowPassCutoff");
    w.u16(static_cast<std::uint16_t>(highPassOrder), "highPassOrder");
    w.u16(static_cast<std::uint16_t>(lowPassOrder), "lowPassOrder");
    w.u8(invert, "invert");
    w.textBlock(spl1_.FileName(), kPathBlock, "spl1");
    w.textBlock(zma1_.FileName(), kPathBlock, "zma1");
    w.textBlock(spl2_.FileName(), kPathBlock, "spl2");
    w.textBlock(zma2_.FileName(), kPathBlock, "zma2");
    for (std::size_t i = 0; i < branches_.size(); ++i) {
        const TBranch& b = branches_[i];
        FieldGroup g(w, "branches", static_cast<int>(i));
        w.u16(static_cast<std::uint16_t>(b.GetType()), "type");
        writeGroup(w, "resistor", [&] { return writeComp(w, b.Resistor()); });
        writeGroup(w, "capacitor", [&] { return writeComp(w, b.Capacitor()); });
        FieldGroup c(w, "inductor");
        writeComp(w, b.Inductor());
    }
    return w.ok();
}

bool TNet::readRecord(BinaryReader& r, int fileVersion, UiHost* ui) {
    const bool v310 = fileVersion >= kDriversVersion;
    // Everything is read into copies first, so that a short or impossible record leaves the
    // network as it was.
    double re = Re, rex = Rex, le = Le;
    std::array<double, 2> x = posX, y = posY, z = posZ, radius = pistonRadius, splScale = splScaling,
                          zScale = impedanceScaling;
    std::uint16_t drivers = static_cast<std::uint16_t>(driverCount);
    std::uint8_t inSeries = driversInSeries, disc = disconnect, inv = invert;
    double att = 0.0, hpFc = 0.0, lpFc = 0.0;
    std::uint16_t hpOrder = 0, lpOrder = 0;
    std::string names[4] = {spl1_.FileName(), zma1_.FileName(), spl2_.FileName(), zma2_.FileName()};
    std::array<BranchRecord, kBranches> branches{};

    bool ok = r.f64(re) && r.f64(rex) && r.f64(le) && r.f64(z[0]);
    if (ok && v310) {
        ok = r.u16(drivers) && r.u8(inSeries) && r.u8(disc) && r.f64(x[0]) && r.f64(y[0]) && r.f64(x[1]) &&
             r.f64(y[1]) && r.f64(z[1]) && r.f64(radius[0]) && r.f64(radius[1]) && r.f64(splScale[0]) &&
             r.f64(splScale[1]) && r.f64(zScale[0]) && r.f64(zScale[1]);
    }
    ok = ok && r.f64(att) && r.f64(hpFc) && r.f64(lpFc) && r.u16(hpOrder) && r.u16(lpOrder) && r.u8(inv);
    ok = ok && r.textBlock(names[0], kPathBlock) && r.textBlock(names[1], kPathBlock);
    if (ok && v310) ok = r.textBlock(names[2], kPathBlock) && r.textBlock(names[3], kPathBlock);
    for (BranchRecord& b : branches) {
        if (!ok) break;
        ok = r.u16(b.type) && readComp(r, b.r, fileVersion) && readComp(r, b.c, fileVersion) &&
             readComp(r, b.l, fileVersion);
    }
    if (!ok) return false;

    if (drivers != 1 && drivers != 2) return false;
    if (hpOrder > 4 || lpOrder > 4) return false;
    if (!finite({re, rex, le, att, hpFc, lpFc}) || !finite({x[0], x[1], y[0], y[1], z[0], z[1]}) ||
        !finite({radius[0], radius[1], splScale[0], splScale[1], zScale[0], zScale[1]}))
        return false;
    for (const BranchRecord& b : branches) {
        if (b.type >= TBranch::kTypes) return false;
        for (const CompRecord* c : {&b.r, &b.c, &b.l})
            if (!finite({c->value, c->seriesResistance})) return false;
    }

    Re = re;
    Rex = rex;
    Le = le;
    posX = x;
    posY = y;
    posZ = z;
    pistonRadius = radius;
    splScaling = splScale;
    impedanceScaling = zScale;
    driverCount = static_cast<std::int16_t>(drivers);
    driversInSeries = inSeries;
    disconnect = disc;
    invert = inv;
    attenuation = att;
    highPassCutoff = hpFc;
    lowPassCutoff = lpFc;
    highPassOrder = static_cast<std::int16_t>(hpOrder);
    lowPassOrder = static_cast<std::int16_t>(lpOrder);
    for (int b = 0; b < kBranches; ++b) {
        TBranch& br = Branch(b);
        const BranchRecord& rec = branches[static_cast<std::size_t>(b)];
        br.SetType(rec.type);
        applyComp(br.Resistor(), rec.r, v310);
        applyComp(br.Capacitor(), rec.c, v310);
        applyComp(br.Inductor(), rec.l, v310);
        br.changed = 1;
    }
    TMeasData* curves[4] = {&spl1_, &zma1_, &spl2_, &zma2_};
    for (int k = 0; k < 4; ++k) {
        TMeasData& curve = *curves[k];
        curve.ClearCurve();
        curve.SetFileName(names[k]);
        if (!names[k].empty()) curve.ReadCurve(ui);
    }
    SetChanged();
    return true;
}

} // namespace harlox
