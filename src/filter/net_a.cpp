#include "filter/net_a.h"

#include "core/binary_io.h"
#include "core/format.h"
#include "core/ui_host.h"
#include "filter/fast_log.h"
#include "filter/general.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace harlox {

namespace {

constexpr double kInvTwoPi = 0.15915494309188485;
constexpr double kDegrees = 180.0 / kPiExact;

struct CompDefaults {
    double value, minimum, maximum;
    const char* unit;
    double scale;
    const char* format;
};

constexpr CompDefaults kPassiveDefaults[3] = {
    {1.0, 0.01, 1000.0, "ohm", 1.0, "%2.2f"},
    {1e-6, 1e-9, 1.0, "uF", 1e6, "%2.3f"},
    {0.001, 1e-6, 100.0, "mH", 1000.0, "%2.3f"},
};
constexpr CompDefaults kActiveDefaults[3] = {
    {10000.0, 0.01, 1e12, "ohm", 1.0, "%2.2f"},
    {1e-8, 1e-12, 10.0, "F", 1.0, "%2.2f"},
    {0.001, 1e-6, 1000.0, "H", 1.0, "%2.2f"},
};

const CompDefaults& defaultsOf(TCompA::Kind kind, bool active) {
    return (active ? kActiveDefaults : kPassiveDefaults)[static_cast<int>(kind)];
}

double phaseDegrees(Complex z) { return std::atan2(z.imag(), z.real()) * kDegrees; }

// Which of R1, R2, C, C1, C2, L a branch type uses.
struct UsedSet {
    bool r1, r2, c, c1, c2, l;
};

UsedSet passiveUsed(int type) {
    switch (type) {
    case 1: return {true, false, false, false, false, false};
    case 2: return {false, false, true, false, false, false};
    case 3: return {true, false, false, false, false, true};
    case 4: return {true, false, true, false, false, false};
    case 5: return {true, false, true, false, false, true};
    case 6: return {true, true, false, false, false, true};
    case 7: return {true, false, true, false, false, false};
    case 8: return {true, false, true, false, false, true};
    case 9: return {true, true, true, false, false, true};
    case 10: return {true, true, true, false, false, false};
    default: return {false, false, false, false, false, false};
    }
}

UsedSet activeUsed(int type) {
    switch (type) {
    case 1:
    case 2: return {true, false, false, true, false, false};
    case 3:
    case 4: return {true, true, false, true, true, false};
    case 5:
    case 6: return {true, true, false, true, false, false};
    case 7:
    case 8: return {true, true, false, true, false, true};
    default: return {false, false, false, false, false, false};
    }
}

} // namespace

// ============================================================================ TCompA

TCompA::TCompA(TBranchA& branch, Kind kind, int index, bool active)
    : branch_(branch), kind_(kind), active_(active ? 1 : 0), impedance_(TNetA::kPoints) {
    static constexpr char kLetter[3] = {'R', 'C', 'L'};
    const int net = branch.net().netNumber() + 1;
    const int number = branch.number() + 1;
    const char letter = kLetter[static_cast<int>(kind)];
    name_ = number < 10 ? strprintf("%c%d0%d%d", letter, net, number, index)
                        : strprintf("%c%d%d%d", letter, net, number, index);
    ResetValue();
}

void TCompA::ResetValue() {
    const CompDefaults& d = defaultsOf(kind_, active_ != 0);
    value_ = d.value;
    minimum = d.minimum;
    maximum = d.maximum;
    unit_ = d.unit;
    displayScale_ = d.scale;
    format_ = d.format;
    changed = 1;
}

void TCompA::MarkChanged() {
    changed = 1;
    branch_.MarkChanged();
}

void TCompA::SetValue(double v) {
    value_ = v;
    MarkChanged();
}

void TCompA::SetValueClamped(double v, UiHost* ui) {
    if (v < minimum || v > maximum) {
        v = v < minimum ? minimum : maximum;
        if (ui) ui->beep();
    }
    SetValue(v);
}

void TCompA::Step(bool up, UiHost* ui) {
    const double v = up ? value_ * kStepUp : value_ * kStepDown;
    if (up ? v > maximum : v < minimum) {
        SetValue(up ? maximum : minimum);
        if (ui) ui->beep();
        return;
    }
    SetValue(v);
}

void TCompA::CalcImpedance(const CVector& jw) {
    Complex* z = impedance_.data();
    const Complex* s = jw.data();
    const int n = std::min(jw.length(), impedance_.length());
    switch (kind_) {
    case Resistor:
        z[0] = Complex(value_, 0.0);
        break;
    case Capacitor:
        for (int k = 0; k < n; ++k) z[k] = 1.0 / (s[k] * value_);
        break;
    case Inductor:
        for (int k = 0; k < n; ++k) z[k] = s[k] * value_;
        break;
    }
    changed = 0;
}

void TCompA::UpdateEngineeringUnit() {
    if (!active_) return;
    const double v = value_;
    const char* unit = "H";
    double scale = 1.0;
    switch (kind_) {
    case Resistor:
        if (v < 1000.0) unit = "ohm", scale = 1.0;
        else unit = "kohm", scale = 0.001;
        break;
    case Capacitor:
        if (v < 5e-10) unit = "pF", scale = 1e12;
        else if (v < 5e-7) unit = "nF", scale = 1e9;
        else if (v < 5e-3) unit = "uF", scale = 1e6;
        else unit = "F", scale = 1.0;
        break;
    case Inductor:
        if (v < 5e-4) unit = "uH", scale = 1e6;
        else if (v < 0.5) unit = "mH", scale = 1000.0;
        else unit = "H", scale = 1.0;
        break;
    }
    // One copy from a separate string: GCC 12 takes the in-place assignment of a literal
    // at -O3 for a possibly overlapping copy (-Wrestrict).
    unit_ = std::string(unit);
    displayScale_ = scale;
    const double x = v * scale;
    format_ = x < 5.0 ? "%2.2f" : x < 50.0 ? "%2.1f" : "%2.0f";
}

std::string TCompA::ComponentLine() {
    UpdateEngineeringUnit();
    return name_ + '\t' + strprintf(format_.c_str(), value_ * displayScale_) + '\t' + unit_;
}

std::string TCompA::SchematicValueText() {
    if (active_) {
        UpdateEngineeringUnit();
        return strprintf(format_.c_str(), value_ * displayScale_);
    }
    const double v = value_;
    const char* f = "%2.3f";
    switch (kind_) {
    case Resistor: f = v < 10.0 ? "%2.2f" : v < 100.0 ? "%2.1f" : "%2.0f"; break;
    case Capacitor: f = v >= 1e-3 ? "%2.0f" : v >= 1e-4 ? "%2.1f" : v >= 1e-5 ? "%2.2f" : "%2.3f"; break;
    case Inductor: f = v >= 1.0 ? "%2.0f" : v >= 0.1 ? "%2.1f" : v >= 0.01 ? "%2.2f" : "%2.3f"; break;
    }
    return strprintf(f, v * displayScale_);
}

// ============================================================================ TBranchA

TBranchA::TBranchA(TNetA& net, Position position, int number, bool active)
    : net_(net), active_(active ? 1 : 0), position_(position), transfer_(TNetA::kPoints),
      scratch_(TNetA::kPoints), impedance_(TNetA::kPoints), number_(static_cast<std::int16_t>(number)) {
    r1_ = std::make_unique<TCompA>(*this, TCompA::Resistor, 1, active);
    r2_ = std::make_unique<TCompA>(*this, TCompA::Resistor, 2, active);
    c_ = std::make_unique<TCompA>(*this, TCompA::Capacitor, 1, active);
    c1_ = std::make_unique<TCompA>(*this, TCompA::Capacitor, 1, active);
    c2_ = std::make_unique<TCompA>(*this, TCompA::Capacitor, 2, active);
    l_ = std::make_unique<TCompA>(*this, TCompA::Inductor, 1, active);
    Reset();
}

void TBranchA::Reset() {
    type_ = 0;
    changed = 1;
    for (TCompA* c : {r1_.get(), r2_.get(), c_.get(), c1_.get(), c2_.get(), l_.get()}) {
        c->ResetValue();
        c->optimise = 0;
    }
    updateUsed();
}

void TBranchA::updateUsed() {
    const UsedSet u = active_ ? activeUsed(type_) : passiveUsed(type_);
    r1_->used = u.r1;
    r2_->used = u.r2;
    c_->used = u.c;
    c1_->used = u.c1;
    c2_->used = u.c2;
    l_->used = u.l;
}

void TBranchA::setTypeRaw(int type) { type_ = static_cast<std::int16_t>(type); }

bool TBranchA::SetType(int type) {
    const int count = active_ ? kActiveTypes : kPassiveTypes;
    if (type < 0 || type >= count) return false;
    const bool differs = type != type_;
    type_ = static_cast<std::int16_t>(type);
    updateUsed();
    if (differs) {
        for (TCompA* c : {r1_.get(), r2_.get(), c_.get(), c1_.get(), c2_.get(), l_.get()}) {
            c->changed = 1;
            c->optimise = 0;
        }
        MarkChanged();
    }
    return differs;
}

void TBranchA::MarkChanged() {
    changed = 1;
    net_.MarkChanged();
}

void TBranchA::Calculate(const CVector& jw, const FVector& frequency) {
    if (!changed) return;
    for (TCompA* c : {r1_.get(), r2_.get(), c_.get(), c1_.get(), c2_.get(), l_.get()})
        if (c->used && c->changed) c->CalcImpedance(jw);
    if (active_) calcActive(jw, frequency);
    else calcPassive();
    changed = 0;
}

void TBranchA::calcPassive() {
    CVector& z = impedance_;
    const Complex r1(r1_->Value(), 0.0);
    const Complex r2(r2_->Value(), 0.0);
    const CVector& zc = c_->impedance();
    const CVector& zl = l_->impedance();
    switch (type_) {
    case 1: z.fill(r1); break;
    case 2: z.copyValues(zc); break;
    case 3: z.add(zl, r1); break;
    case 4: z.add(zc, r1); break;
    case 5:
        z.add(zc, zl);
        z.add(z, r1);
        break;
    case 6:
        scratch_.add(zl, r2);
        z.parallel(r1, scratch_);
        break;
    case 7: z.parallel(r1, zc); break;
    case 8:
        scratch_.add(zl, r1);
        z.parallel(scratch_, zc);
        break;
    case 9:
        scratch_.add(zl, r2);
        scratch_.parallel(scratch_, zc);
        z.parallel(r1, scratch_);
        break;
    case 10:
        scratch_.add(zc, r2);
        z.parallel(r1, scratch_);
        break;
    default: z.fill(position_ == Series ? Complex(0.0, 0.0) : Complex(kOpenCircuit, 0.0)); break;
    }
}

void TBranchA::calcActive(const CVector& jw, const FVector& frequency) {
    CVector& t = transfer_;
    const int n = t.length();
    const double R1 = r1_->Value();
    const double R2 = r2_->Value();
    const double C1 = c1_->Value();
    const double C2 = c2_->Value();
    const Complex* s = jw.data();
    const double* f = frequency.data();
    const Complex one(1.0, 0.0);
    t.fill(one);
    switch (type_) {
    case 1:
    case 2: {
        const double fc = 1.0 / (kTwoPi * R1 * C1);
        for (int k = 0; k < n; ++k) {
            const Complex jx(0.0, f[k] / fc);
            t[k] = type_ == 1 ? one / (one + jx) : jx / (one + jx);
        }
        break;
    }
    case 3:
    case 4: {
        const double A = R1 * R2 * C1 * C2;
        const double B = type_ == 3 ? (R1 + R2) * C2 : (C1 + C2) * R1;
        for (int k = 0; k < n; ++k) {
            const Complex as2 = A * s[k] * s[k];
            const Complex d = one + B * s[k] + as2;
            t[k] = type_ == 3 ? one / d : as2 / d;
        }
        break;
    }
    case 5:
    case 6:
    case 7:
    case 8: {
        const Complex* zc = c1_->impedance().data();
        const Complex* zl = l_->impedance().data();
        const bool resonant = type_ >= 7;
        const bool boost = type_ == 5 || type_ == 7;
        for (int k = 0; k < n; ++k) {
            const Complex z = resonant ? zl[k] + zc[k] : zc[k];
            const Complex lo = R1 + z;
            const Complex hi = R1 + R2 + z;
            t[k] = boost ? hi / lo : lo / hi;
        }
        break;
    }
    default: break;
    }
}

const char* TBranchA::PassiveTypeText(int type, Position position) {
    static constexpr const char* kText[kPassiveTypes] = {
        nullptr, " R1", " C", " R1 + L", " R1 + C", " R1 + L + C", " R1 // (L + R2)", " R1 // C",
        " C // (L + R1)", " R1 // C // (L + R2)", " R1 // (R2 + C)"};
    if (type <= 0 || type >= kPassiveTypes) return position == Series ? " Short circuit" : " Open circuit";
    return kText[type];
}

const char* TBranchA::PassiveTypeButton(int type) {
    static constexpr const char* kText[kPassiveTypes] = {
        "None", "Resistor  R1", "Capacitor C", "R1 + L (L is inductor)", "R1 + C (C is capacitor)",
        "R1 + L + C", "R1 // (L + R2)", "R1 // C", "C // (L + R1)", "R1 // C // (L + R2)",
        "R1 // (R2 + C)"};
    return type >= 0 && type < kPassiveTypes ? kText[type] : kText[0];
}

const char* TBranchA::ActiveTypeText(int type) {
    static constexpr const char* kText[kActiveTypes] = {
        "None", "1st order LP", "1st order HP", "2nd order LP", "2nd order HP",
        "Treble boost", "Treble cut", "Q-boost", "Q-cut"};
    return type >= 0 && type < kActiveTypes ? kText[type] : kText[0];
}

std::string TBranchA::HeaderLine() const {
    const int shown = number_ + 1;
    return shown < 10 ? strprintf("* Branch 0%d *", shown) : strprintf("* Branch %d *", shown);
}

std::string TBranchA::TypeText() const {
    if (!active_) return PassiveTypeText(type_, position());
    if (type_ == 0) return " Nothing";
    return std::string(" ") + ActiveTypeText(type_);
}

std::vector<TCompA*> TBranchA::RecordComponents() {
    if (active_) return {r1_.get(), r2_.get(), c1_.get(), c2_.get(), l_.get()};
    return {r1_.get(), r2_.get(), c_.get(), l_.get()};
}

std::vector<TCompA*> TBranchA::UsedComponents() {
    std::vector<TCompA*> out;
    for (TCompA* c : RecordComponents())
        if (c->used) out.push_back(c);
    return out;
}

std::vector<std::string> TBranchA::ListLines() {
    std::vector<std::string> lines{HeaderLine(), TypeText()};
    for (TCompA* c : UsedComponents()) lines.push_back(c->ComponentLine());
    lines.emplace_back("  ");
    return lines;
}

std::string TBranchA::Description() const {
    const double R1 = r1_->Value(), R2 = r2_->Value();
    const double L = l_->Value(), C = c_->Value(), C1 = c1_->Value(), C2 = c2_->Value();
    const double twoPi = 1.0 / kInvTwoPi;
    if (!active_) {
        switch (type_) {
        case 3:
        case 6: return strprintf("Fc = %1.0f Hz", R1 * kInvTwoPi / L);
        case 4:
        case 7:
        case 10: return strprintf("Fc = %1.0f Hz", kInvTwoPi / (R1 * C));
        case 5: {
            const double fc = kInvTwoPi / std::sqrt(L * C);
            return strprintf("Fc = %1.0f Hz\nQ  = %1.1f", fc, twoPi * fc * L / R1);
        }
        case 8: return strprintf("Fc = %1.0f Hz", kInvTwoPi / std::sqrt(L * C));
        case 9: {
            const double fc = kInvTwoPi / std::sqrt(L * C);
            return strprintf("Fc = %1.0f Hz\nQ  = %1.1f", fc, R1 / (twoPi * fc * L));
        }
        default: return {};
        }
    }
    const double ratioDb = 20.0 * std::log10(R1 / (R1 + R2));
    switch (type_) {
    case 1:
    case 2: return strprintf("Fc=%1.0f Hz", kInvTwoPi / (R1 * C1));
    case 3:
    case 4: {
        const double root = std::sqrt(R1 * R2 * C1 * C2);
        const double q = type_ == 3 ? root / ((R1 + R2) * C2) : root / ((C1 + C2) * R1);
        return strprintf("Fc=\t%1.0f Hz\nQ=\t%1.1f", kInvTwoPi / root, q);
    }
    case 5: return strprintf("Fo=\t%1.0f Hz %+1.1fdB max amp.", kInvTwoPi / (R2 * C1), -ratioDb);
    case 6: return strprintf("Fo=\t%1.0f Hz %+1.1fdB max att.", kInvTwoPi / (R2 * C1), ratioDb);
    case 7:
    case 8: {
        const double root = std::sqrt(L * C1);
        const double q = L / (R1 * root);
        return type_ == 7 ? strprintf("Fo=\t%1.0f Hz %+1.1fdB at Fo\nQ=\t%1.1f", kInvTwoPi / root, -ratioDb, q)
                          : strprintf("Fo=\t%1.0f Hz %+1.1fdB at Fo\nQ=\t%1.1f\n", kInvTwoPi / root, ratioDb, q);
    }
    default: return {};
    }
}

TCompA* TBranchA::ComponentForLine(std::string_view line) {
    if (line.size() < 5) return nullptr;
    const std::string_view key = line.substr(0, 5);
    // C and C1 share a name; a passive branch has C, an active one C1.
    TCompA* candidates[] = {r1_.get(), r2_.get(), l_.get(), active_ ? c1_.get() : c_.get(),
                            active_ ? c2_.get() : nullptr};
    for (TCompA* c : candidates)
        if (c && c->name() == key) return c;
    return nullptr;
}

TCompA* TBranchA::StepLine(std::string_view line, bool up, UiHost* ui) {
    if (line.size() < 5) {
        if (ui) ui->beep();
        return nullptr;
    }
    TCompA* c = ComponentForLine(line);
    if (c) c->Step(up, ui);
    return c;
}

bool TBranchA::WriteRecord(BinaryWriter& w) const {
    w.u16(static_cast<std::uint16_t>(type_), "type");
    const TCompA* comps[5] = {r1_.get(), r2_.get(), active_ ? c1_.get() : c_.get(),
                              active_ ? c2_.get() : l_.get(), active_ ? l_.get() : nullptr};
    static constexpr const char* kPassiveNames[5] = {"R1", "R2", "C", "L", nullptr};
    static constexpr const char* kActiveNames[5] = {"R1", "R2", "C1", "C2", "L"};
    for (std::size_t i = 0; i < 5; ++i) {
        const TCompA* c = comps[i];
        if (!c) break;
        FieldGroup g(w, active_ ? kActiveNames[i] : kPassiveNames[i]);
        w.u8(c->used, "used");
        w.u8(c->optimise, "optimise");
        w.f64(c->Value(), "value");
    }
    return w.ok();
}

// ============================================================================ TNetA

TNetA::TNetA(TGeneral& general, int netNumber, bool active, TNetProject* project)
    : TNetBase(general, project), netNumber_(static_cast<std::int16_t>(netNumber)),
      active_(active ? 1 : 0), inputImpedance_(kPoints), driverBranch_(kMaxDrivers, kPoints),
      pairImpedance_(2, kPoints), driverImpedance_(kMaxDrivers, kPoints), voltageRatio_(kMaxDrivers, kPoints),
      transfer_(kPoints), driverGain_(kMaxDrivers, kPoints), transferPhase_(kPoints),
      impedanceMagnitude_(kPoints), impedancePhase_(kPoints), splPhase_(kPoints), groupDelay_(kPoints),
      driverSpl_(kMaxDrivers, kPoints), scratch_(kPoints), angleSpl_(kMaxRays, kPoints),
      angleSplLevel_(kMaxRays, kPoints), rayFactors_(kMaxDrivers * kMaxRays, kPoints) {
    for (int i = 0; i < kMaxDrivers; ++i) {
        spl_[static_cast<std::size_t>(i)] = std::make_unique<TMeasData>(*this, MeasuredKind::Spl);
        zma_[static_cast<std::size_t>(i)] = std::make_unique<TMeasData>(*this, MeasuredKind::Impedance);
    }
    for (int b = 0; b < kBranches; ++b) {
        const auto position = active || b % 2 == 0 ? TBranchA::Series : TBranchA::Shunt;
        branches_[static_cast<std::size_t>(b)] = std::make_unique<TBranchA>(*this, position, b, active);
    }
    for (int i = 0; i < kLinks; ++i)
        links_[static_cast<std::size_t>(i)] =
            std::make_unique<TBranchA>(*this, TBranchA::Shunt, kFirstLinkNumber + i, false);
    ResetDrivers();
}

TNetA::~TNetA() = default;

void TNetA::ResetDrivers() {
    SetChanged();
    connection = SeriesConnection;
    polarityInverted = 0;
    driverCount = 1;
    disconnected = 0;
    Re = 8.0;
    Rex = 0.0;
    Le = 0.001;
    dX.fill(0.0);
    dY.fill(0.0);
    dZ.fill(0.0);
    pistonRadius.fill(0.05);
    splScaling.fill(1.0);
    impedanceScaling.fill(1.0);
    splSame = {0, 1, 1, 1};
    impedanceSame = {0, 1, 1, 1};
    activeGain = 1.0;
    for (auto& c : spl_) c->ClearCurve();
    for (auto& c : zma_) c->ClearCurve();
    for (auto& b : nameBlocks_) b.fill(0);
}

void TNetA::ResetBranches() {
    for (auto& b : branches_) b->Reset();
    for (auto& b : links_) b->Reset();
    SetChanged();
}

TBranchA* TNetA::BranchByNumber(int number) {
    if (number >= 0 && number < kBranches) return &Branch(number);
    if (number >= kFirstLinkNumber && number < kFirstLinkNumber + kLinks) return &Link(number - kFirstLinkNumber);
    return nullptr;
}

TBranchA* TNetA::BranchForHeader(std::string_view line) {
    static constexpr std::string_view kHead = "* Branch ";
    if (line.substr(0, kHead.size()) != kHead || line.size() < kHead.size() + 2) return nullptr;
    const char a = line[kHead.size()], b = line[kHead.size() + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return nullptr;
    return BranchByNumber((a - '0') * 10 + (b - '0') - 1);
}

int TNetA::DriversInUse() const {
    if (connection == PairsConnection) return kMaxDrivers;
    return std::clamp<int>(driverCount, 1, kMaxDrivers);
}

bool TNetA::LinkInUse(int i) const {
    switch (connection) {
    case SeriesConnection: return i < DriversInUse();
    case ParallelConnection: return i == 0;
    case PairsConnection: return i < 2;
    default: return false;
    }
}

void TNetA::SetDriverCount(int n) {
    driverCount = static_cast<std::int16_t>(std::clamp(n, 1, kMaxDrivers));
    SetChanged();
}

void TNetA::SetConnection(int c) {
    if (c < 0 || c > 2) return;
    connection = static_cast<std::uint32_t>(c);
    SetChanged();
}

void TNetA::SetSplScalingDb(int i, double dB) {
    splScaling[static_cast<std::size_t>(i)] = std::pow(10.0, 0.05 * dB);
    SetChanged();
}

double TNetA::SplScalingDb(int i) const { return 20.0 * std::log10(splScaling[static_cast<std::size_t>(i)]); }

MeasuredGrid TNetA::MeasGrid() const {
    return {General().frequency().data(), General().lnFrequency().data(), General().frequency().length()};
}

void TNetA::MeasDataChanged(TMeasData&) { Edited(); }

// ---- texts

std::vector<std::string> TNetA::BranchListLines() {
    std::vector<std::string> lines;
    auto append = [&lines](TBranchA& b) {
        std::vector<std::string> l = b.ListLines();
        lines.insert(lines.end(), l.begin(), l.end());
    };
    for (auto& b : branches_) append(*b);
    for (int i = 0; i < kLinks; ++i)
        if (LinkInUse(i)) append(Link(i));
    return lines;
}

std::vector<std::string> TNetA::ComponentListLines() {
    std::vector<std::string> lines;
    auto append = [&lines](TBranchA& b) {
        for (TCompA* c : b.UsedComponents()) lines.push_back(c->ComponentLine());
    };
    for (auto& b : branches_) append(*b);
    for (int i = 0; i < kLinks; ++i)
        if (LinkInUse(i)) append(Link(i));
    return lines;
}

std::string TNetA::TitleLine() const {
    return strprintf("%s  Net %d", std::string(General().title()).c_str(), netNumber_ + 1);
}

std::vector<std::string> TNetA::DriverAnnotation(int i) const {
    const auto k = static_cast<std::size_t>(i);
    std::vector<std::string> lines;
    lines.push_back(strprintf("Driver unit %d (D%d%d)", i + 1, netNumber_ + 1, i + 1));
    lines.emplace_back("SPL data file :");
    if (i > 0 && splSame[k]) lines.emplace_back("Same as driver 1");
    else if (!spl_[k]->FileName().empty()) lines.push_back(spl_[k]->FileName());
    else lines.emplace_back("Not in use");
    lines.emplace_back("Impedance data file :");
    if (i > 0 && impedanceSame[k]) lines.emplace_back("Same as driver 1");
    else if (!zma_[k]->FileName().empty()) lines.push_back(zma_[k]->FileName());
    else if (active_) lines.push_back(strprintf("Not in use, %2.2f ohm load simulated", Re));
    else lines.emplace_back("Not in use");
    lines.emplace_back("Position (x,y,z)");
    lines.push_back(strprintf("%2.1f,%2.1f,%2.1f", dX[k] * 1000.0, dY[k] * 1000.0, dZ[k] * 1000.0));
    if (active_ && i == 0) {
        lines.emplace_back("Rel amp. gain");
        lines.push_back(strprintf("%2.1f", 20.0 * std::log10(activeGain)));
    }
    return lines;
}

// ---- evaluation

bool TNetA::Solve() {
    const CVector& jw = General().jw();
    const FVector& f = General().frequency();
    for (auto& b : branches_) b->Calculate(jw, f);
    for (auto& b : links_) b->Calculate(jw, f);

    if (!spl_[0]->Loaded() || (!active_ && !zma_[0]->Loaded())) return false;
    if (!Changed()) return true;

    const int n = DriversInUse();
    driverLoads(n);
    if (active_) activeCascade();
    else passiveLadder();

    const Complex* H = transfer_.data();
    // Magnitudes first, then the logarithms in a pass of their own that vectorises.
    for (int i = 0; i < n; ++i) {
        const Complex* v = voltageRatio_[i].data();
        double* gain = driverGain_[i].data();
        for (int k = 0; k < kPoints; ++k) gain[k] = std::abs(H[k] * v[k]);
        magnitudesToDb(gain, kPoints);
    }
    for (int k = 0; k < kPoints; ++k) transferPhase_[k] = phaseDegrees(H[k]);
    if (!active_) {
        for (int k = 0; k < kPoints; ++k) {
            impedanceMagnitude_[k] = std::abs(inputImpedance_[k]);
            impedancePhase_[k] = phaseDegrees(inputImpedance_[k]);
        }
    }

    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const std::size_t e = !splSame[k] && spl_[k]->Loaded() ? k : 0;
        CVector& out = driverSpl_[i];
        out.mul(transfer_, voltageRatio_[i]);
        out.mul(out, spl_[e]->Values());
        out.mul(out, Complex(splScaling[e], 0.0));
    }

    const int rays = std::min(General().surfaceCount(), kMaxRays);
    const int mainRay = General().mainRay();
    const bool optimising = OptimiserRunning();
    for (int ray = 0; ray < rays; ++ray) {
        // The optimiser reads its own ray; the shown ray is kept for the live curves.
        const bool wanted = optimising ? ray == optimiserRay || ray == mainRay : General().rayCalculated(ray);
        if (wanted) sumRay(ray, n);
    }

    auto level = [this](int ray) {
        if (ray < 0 || ray >= kMaxRays) return;
        const Complex* s = angleSpl_[ray].data();
        double* out = angleSplLevel_[ray].data();
        for (int k = 0; k < kPoints; ++k) out[k] = std::abs(s[k]);
        magnitudesToDb(out, kPoints);
    };
    level(mainRay);
    if (optimising && optimiserRay != mainRay) level(optimiserRay);

    if (!optimising || liveUpdate) {
        const Complex* s = angleSpl_[mainRay].data();
        for (int k = 0; k < kPoints; ++k) splPhase_[k] = phaseDegrees(s[k]);
        GroupDelayOf(splPhase_, f, groupDelay_);
    }
    return true;
}

void TNetA::driverLoads(int n) {
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        std::size_t d = k;
        if (impedanceSame[k] || (!active_ && !zma_[k]->Loaded())) d = 0;
        CVector& z = driverImpedance_[i];
        if (active_ && !zma_[d]->Loaded()) z.fill(Complex(Re, 0.0));
        else z.copyValues(zma_[d]->Values());
        z.mul(z, Complex(impedanceScaling[d], 0.0));
        driverBranch_[i].add(z, Complex(Rex, 0.0));
        voltageRatio_[i].div(z, driverBranch_[i]);
    }

    CVector& load = inputImpedance_;
    auto across = [this](CVector& z, int link) {
        TBranchA& l = Link(link);
        if (l.used()) z.parallel(z, l.impedance());
    };
    switch (connection) {
    case ParallelConnection:
        load.copyValues(driverBranch_[0]);
        for (int i = 1; i < n; ++i) load.parallel(load, driverBranch_[i]);
        across(load, 0);
        break;
    case PairsConnection: {
        CVector& p1 = pairImpedance_[0];
        CVector& p2 = pairImpedance_[1];
        p1.parallel(driverBranch_[0], driverBranch_[1]);
        across(p1, 0);
        p2.parallel(driverBranch_[2], driverBranch_[3]);
        across(p2, 1);
        load.add(p1, p2);
        for (int i = 0; i < kMaxDrivers; ++i) {
            voltageRatio_[i].mul(voltageRatio_[i], i < 2 ? p1 : p2);
            voltageRatio_[i].div(voltageRatio_[i], load);
        }
        break;
    }
    case SeriesConnection:
    default:
        for (int i = 0; i < n; ++i) across(driverBranch_[i], i);
        load.copyValues(driverBranch_[0]);
        for (int i = 1; i < n; ++i) load.add(load, driverBranch_[i]);
        for (int i = 0; i < n; ++i) {
            voltageRatio_[i].mul(voltageRatio_[i], driverBranch_[i]);
            voltageRatio_[i].div(voltageRatio_[i], load);
        }
        break;
    }
}

void TNetA::passiveLadder() {
    // From the load back to the amplifier; H collects the divider ratio of every node.
    CVector& z = inputImpedance_;
    CVector& h = transfer_;
    if (Branch(7).used()) z.parallel(z, Branch(7).impedance());
    h.copyValues(z);
    for (int b = 6; b >= 0; --b) {
        TBranchA& branch = Branch(b);
        if (b % 2 == 0) {
            if (branch.used()) z.add(z, branch.impedance());
            if (b == 0 && disconnected) z.add(z, Complex(kDisconnectResistance, 0.0));
            h.div(h, z);
        } else {
            if (branch.used()) z.parallel(z, branch.impedance());
            h.mul(h, z);
        }
    }
}

void TNetA::activeCascade() {
    transfer_.fill(Complex(disconnected ? kDisconnectedGain : activeGain, 0.0));
    for (auto& b : branches_)
        if (b->used()) transfer_.mul(transfer_, b->transfer());
}

void TNetA::rayFactor(int driver, int ray) {
    const auto i = static_cast<std::size_t>(driver);
    RayFactorKey key;
    key.theta = General().rayCalcAngle(ray);
    key.a = pistonRadius[i];
    key.x = dX[i];
    key.y = dY[i];
    key.z = dZ[i];
    key.infinite = General().infinite;
    key.distance = General().infinite ? 0.0 : General().distance;
    const int row = driver * kMaxRays + ray;
    RayFactorKey& held = rayKeys_[static_cast<std::size_t>(row)];
    if (held == key) return;
    General().OffAxisFactor(key.theta, key.a, key.x, key.y, key.z, rayFactors_[row]);
    held = key;
}

namespace {

// The ray sums get an AVX2 variant picked at load time where the compiler and the
// platform support it. AVX2 alone brings no fused multiply-add, so both variants round
// exactly alike.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define HARLOX_SUM_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HARLOX_SUM_CLONES
#endif

// out = sum over the N drivers of s_i * g_i, point by point, in one pass; the products
// spelled out (the library's checks for NaN cost more than the sum) and added in driver
// order, as separate passes would.
template <int N>
HARLOX_SUM_CLONES void sumProducts(const std::array<const Complex*, TNetA::kMaxDrivers>& s,
                                   const std::array<const Complex*, TNetA::kMaxDrivers>& g, Complex* out) {
    // As plain doubles (the layout complex guarantees): loads of Complex temporaries
    // keep the loop from vectorising.
    std::array<const double*, TNetA::kMaxDrivers> sd{};
    std::array<const double*, TNetA::kMaxDrivers> gd{};
    for (std::size_t i = 0; i < N; ++i) {
        sd[i] = reinterpret_cast<const double*>(s[i]);
        gd[i] = reinterpret_cast<const double*>(g[i]);
    }
    double* o = reinterpret_cast<double*>(out);
    for (int k = 0; k < 2 * TNetA::kPoints; k += 2) {
        double re = 0.0;
        double im = 0.0;
        for (std::size_t i = 0; i < N; ++i) {
            const double ar = sd[i][k], ai = sd[i][k + 1];
            const double br = gd[i][k], bi = gd[i][k + 1];
            re += ar * br - ai * bi;
            im += ar * bi + ai * br;
        }
        o[k] = re;
        o[k + 1] = im;
    }
}

} // namespace

void TNetA::sumRay(int ray, int n) {
    std::array<const Complex*, kMaxDrivers> s{};
    std::array<const Complex*, kMaxDrivers> g{};
    for (int i = 0; i < n; ++i) {
        rayFactor(i, ray);
        s[static_cast<std::size_t>(i)] = driverSpl_[i].data();
        g[static_cast<std::size_t>(i)] = rayFactors_[i * kMaxRays + ray].data();
    }
    Complex* out = angleSpl_[ray].data();
    switch (n) {
    case 1: sumProducts<1>(s, g, out); break;
    case 2: sumProducts<2>(s, g, out); break;
    case 3: sumProducts<3>(s, g, out); break;
    case 4: sumProducts<4>(s, g, out); break;
    default: sumProducts<0>(s, g, out); break;
    }
    if (polarityInverted)
        for (int k = 0; k < kPoints; ++k) out[k] = -out[k];
}

void TNetA::GroupDelayOf(const FVector& phase, const FVector& frequency, FVector& gd) {
    const int n = std::min({phase.length(), frequency.length(), gd.length()});
    if (n < 3) {
        for (int k = 0; k < n; ++k) gd[k] = 0.0;
        return;
    }
    for (int k = 1; k < n - 1; ++k) {
        double d = phase[k + 1] - phase[k - 1];
        if (d > 180.0) d -= 360.0;
        if (d < -180.0) d += 360.0;
        gd[k] = d * -2.7777777777777777 / (frequency[k + 1] - frequency[k - 1]);
    }
    gd[0] = gd[1];
    gd[n - 1] = gd[n - 2];
}

// ---- project file record

bool TNetA::WriteRecord(BinaryWriter& w) const {
    w.f64(Re, "Re");
    w.f64(Rex, "Rex");
    w.f64(Le, "Le");
    for (double v : dX) w.f64(v, "dX");
    for (double v : dY) w.f64(v, "dY");
    for (double v : dZ) w.f64(v, "dZ");
    for (double v : pistonRadius) w.f64(v, "pistonRadius");
    w.f64(recordDouble, "recordDouble");
    for (double v : splScaling) w.f64(v, "splScaling");
    for (double v : impedanceScaling) w.f64(v, "impedanceScaling");
    w.u16(static_cast<std::uint16_t>(driverCount), "driverCount");
    w.u8(disconnected, "disconnected");
    w.u8(polarityInverted, "polarityInverted");
    w.u16(static_cast<std::uint16_t>(targetHpFc), "targetHpFc");
    w.u16(static_cast<std::uint16_t>(targetLpFc), "targetLpFc");
    w.u16(static_cast<std::uint16_t>(targetHpOrder), "targetHpOrder");
    w.u16(static_cast<std::uint16_t>(targetLpOrder), "targetLpOrder");
    w.u32(recordSetting, "recordSetting");
    w.u32(connection, "connection");
    for (std::uint8_t v : splSame) w.u8(v, "splSame");
    for (std::uint8_t v : impedanceSame) w.u8(v, "impedanceSame");
    if (active_) w.f64(activeGain, "activeGain");
    for (int i = 0; i < 2 * kMaxDrivers; ++i) {
        const TMeasData& curve = i % 2 == 0 ? *spl_[static_cast<std::size_t>(i / 2)] : *zma_[static_cast<std::size_t>(i / 2)];
        // The name over the block as last read: what follows its terminator stays as it was.
        std::array<char, kPathBlock> block = nameBlocks_[static_cast<std::size_t>(i)];
        const std::string& name = curve.FileName();
        const std::size_t len = std::min(name.size(), kPathBlock - 1);
        std::memcpy(block.data(), name.data(), len);
        block[len] = '\0';
        FieldGroup g(w, "curves", i / 2);
        w.bytes(block.data(), block.size(), i % 2 == 0 ? "spl" : "zma");
    }
    for (std::size_t i = 0; i < branches_.size(); ++i) {
        FieldGroup g(w, "branches", static_cast<int>(i));
        branches_[i]->WriteRecord(w);
    }
    for (std::size_t i = 0; i < links_.size(); ++i) {
        FieldGroup g(w, "links", static_cast<int>(i));
        links_[i]->WriteRecord(w);
    }
    return w.ok();
}

bool TNetA::ReadRecord(BinaryReader& r, UiHost* ui) {
    struct CompRecord {
        std::uint8_t used = 0, optimise = 0;
        double value = 0.0;
    };
    struct BranchRecord {
        std::uint16_t type = 0;
        std::array<CompRecord, 5> comps{};
    };
    double re = 0, rex = 0, le = 0, extra = 0, gain = 1.0;
    std::array<double, kMaxDrivers> x{}, y{}, z{}, radius{}, splScale{}, zScale{};
    std::uint16_t count = 0, hpFc = 0, lpFc = 0, hpOrder = 0, lpOrder = 0;
    std::uint8_t disc = 0, inverted = 0;
    std::uint32_t setting = 0, conn = 0;
    std::array<std::uint8_t, kMaxDrivers> sSame{}, zSame{};
    std::array<std::array<char, kPathBlock>, 2 * kMaxDrivers> blocks{};
    std::array<BranchRecord, kBranches + kLinks> recs{};

    bool ok = r.f64(re) && r.f64(rex) && r.f64(le);
    for (auto* a : {&x, &y, &z, &radius})
        for (double& v : *a) ok = ok && r.f64(v);
    ok = ok && r.f64(extra);
    for (double& v : splScale) ok = ok && r.f64(v);
    for (double& v : zScale) ok = ok && r.f64(v);
    ok = ok && r.u16(count) && r.u8(disc) && r.u8(inverted) && r.u16(hpFc) && r.u16(lpFc) && r.u16(hpOrder) &&
         r.u16(lpOrder) && r.u32(setting) && r.u32(conn);
    for (std::uint8_t& v : sSame) ok = ok && r.u8(v);
    for (std::uint8_t& v : zSame) ok = ok && r.u8(v);
    if (active_) ok = ok && r.f64(gain);
    for (auto& b : blocks) ok = ok && r.bytes(b.data(), b.size());
    for (std::size_t b = 0; b < recs.size(); ++b) {
        const bool activeBranch = active_ && b < kBranches;
        const std::size_t comps = activeBranch ? 5 : 4;
        ok = ok && r.u16(recs[b].type);
        for (std::size_t c = 0; c < comps; ++c)
            ok = ok && r.u8(recs[b].comps[c].used) && r.u8(recs[b].comps[c].optimise) && r.f64(recs[b].comps[c].value);
        const int types = activeBranch ? TBranchA::kActiveTypes : TBranchA::kPassiveTypes;
        ok = ok && recs[b].type < types;
    }
    if (!ok || count < 1 || count > kMaxDrivers || conn > PairsConnection) return false;
    // No edit produces these; a file holding one is damaged.
    auto finite = [](double v) { return std::isfinite(v); };
    const bool allFinite =
        std::isfinite(re) && std::isfinite(rex) && std::isfinite(le) && std::isfinite(extra) && std::isfinite(gain) &&
        std::all_of(x.begin(), x.end(), finite) && std::all_of(y.begin(), y.end(), finite) &&
        std::all_of(z.begin(), z.end(), finite) && std::all_of(radius.begin(), radius.end(), finite) &&
        std::all_of(splScale.begin(), splScale.end(), finite) && std::all_of(zScale.begin(), zScale.end(), finite) &&
        std::all_of(recs.begin(), recs.end(), [&](const BranchRecord& b) {
            return std::all_of(b.comps.begin(), b.comps.end(), [](const CompRecord& c) { return std::isfinite(c.value); });
        });
    if (!allFinite) return false;

    Re = re;
    Rex = rex;
    Le = le;
    dX = x;
    dY = y;
    dZ = z;
    pistonRadius = radius;
    recordDouble = extra;
    splScaling = splScale;
    impedanceScaling = zScale;
    driverCount = static_cast<std::int16_t>(count);
    disconnected = disc;
    polarityInverted = inverted;
    targetHpFc = static_cast<std::int16_t>(hpFc);
    targetLpFc = static_cast<std::int16_t>(lpFc);
    targetHpOrder = static_cast<std::int16_t>(hpOrder);
    targetLpOrder = static_cast<std::int16_t>(lpOrder);
    recordSetting = setting;
    connection = conn;
    splSame = sSame;
    impedanceSame = zSame;
    if (active_) activeGain = gain;
    nameBlocks_ = blocks;
    for (std::size_t b = 0; b < recs.size(); ++b) {
        TBranchA& branch = b < kBranches ? Branch(static_cast<int>(b)) : Link(static_cast<int>(b - kBranches));
        branch.setTypeRaw(recs[b].type);
        const std::vector<TCompA*> comps = branch.RecordComponents();
        for (std::size_t c = 0; c < comps.size(); ++c) {
            comps[c]->used = recs[b].comps[c].used;
            comps[c]->optimise = recs[b].comps[c].optimise;
            comps[c]->SetValue(recs[b].comps[c].value);
        }
        branch.changed = 1;
    }
    SetChanged();

    for (int i = 0; i < 2 * kMaxDrivers; ++i) {
        const auto d = static_cast<std::size_t>(i / 2);
        const bool isSpl = i % 2 == 0;
        TMeasData& curve = isSpl ? *spl_[d] : *zma_[d];
        const auto& block = blocks[static_cast<std::size_t>(i)];
        const std::string name(block.data(), ::strnlen(block.data(), block.size() - 1));
        if (name.empty()) {
            curve.ClearCurve();
            continue;
        }
        curve.SetFileName(name);
        if (!curve.ReadCurve(ui) && d > 0) (isSpl ? splSame : impedanceSame)[d] = 1;
    }
    return true;
}

} // namespace harlox
