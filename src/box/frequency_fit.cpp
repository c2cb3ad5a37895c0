#include "box/frequency_fit.h"

#include "box/abr_box.h"
#include "box/abr_object.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/double_tuned_box.h"
#include "box/port_object.h"
#include "core/measure_setup.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

namespace harlox {

namespace {

constexpr std::string_view kTargetLabel = "Target";

// Type codes, as the project files store them.
enum TypeCode {
    Closed = 0,
    BassReflex = 1,
    DoubleTuned1 = 2,
    DoubleTuned2 = 3,
    PassiveRadiator = 4,
    Bandpass1 = 5,
    Bandpass2 = 6,
    Bandpass3 = 7,
    Bandpass4 = 8,
    ReflexBandpass = 9
};

} // namespace

TFrequencyFit::Shape TFrequencyFit::shapeOf(int typeCode) {
    switch (typeCode) {
    case Closed:
        return {40.0, 0.0};
    // A closed rear chamber and a vented front: second order on both sides.
    case Bandpass1:
        return {40.0, 40.0};
    // Vented on both sides of the cone: fourth order below the pass band. Above it the port
    // masses and the front chamber leave a second-order low-pass.
    case Bandpass2:
    case Bandpass3:
    case Bandpass4:
    case ReflexBandpass:
        return {80.0, 40.0};
    default:
        return {80.0, 0.0};
    }
}

void TFrequencyFit::buildTarget(const FrequencyGrid& grid, Shape shape, double fc, double fu,
                                std::array<double, kMaxPoints>& target) {
    const int n = std::clamp(grid.count, 0, kMaxPoints);
    for (int i = 0; i < n; ++i) {
        const double f = grid.f[static_cast<std::size_t>(i)];
        double t = 0.0;
        if (f <= fc && f > 0.0) t += shape.lowerSlope * std::log10(f / fc);
        if (shape.bandpass() && f >= fu && fu > 0.0) t -= shape.upperSlope * std::log10(f / fu);
        target[static_cast<std::size_t>(i)] = t;
    }
    if (n > 0 && !shape.bandpass()) target[static_cast<std::size_t>(n - 1)] = 0.0;
}

TFrequencyFit::Options TFrequencyFit::optionsFrom(const FitSettings& settings) {
    Options o;
    o.lowerCutoff = std::clamp<int>(settings.lowerCutoff, kMinLowerCutoff, kMaxLowerCutoff);
    const int fu = settings.upperCutoff;
    o.upperCutoff = fu >= kMinUpperCutoff && fu <= kMaxUpperCutoff ? fu : kDefaultUpperCutoff;
    o.optimizeBoxQ = settings.flags[FlagBoxQ] != 0;
    o.showIntermediate = settings.flags[FlagShowIntermediate] != 0;
    o.fineStep = settings.flags[FlagFineStep] != 0;
    o.optimizeFrontBoxQ = settings.flags[FlagFrontBoxQ] != 0;
    return o;
}

void TFrequencyFit::storeOptions(const Options& options, FitSettings& settings) {
    settings.lowerCutoff =
        static_cast<std::int16_t>(std::clamp(options.lowerCutoff, kMinLowerCutoff, kMaxLowerCutoff));
    settings.upperCutoff =
        static_cast<std::int16_t>(std::clamp(options.upperCutoff, kMinUpperCutoff, kMaxUpperCutoff));
    settings.flags[FlagBoxQ] = options.optimizeBoxQ ? 1 : 0;
    settings.flags[FlagShowIntermediate] = options.showIntermediate ? 1 : 0;
    settings.flags[FlagFineStep] = options.fineStep ? 1 : 0;
    settings.flags[FlagFrontBoxQ] = options.optimizeFrontBoxQ ? 1 : 0;
}

TFrequencyFit::TFrequencyFit(TBoxEmbryo& project, unsigned seed) : project_(project), random_(seed) {
    doubleTuned_ = dynamic_cast<TDoubleTunedBox*>(&project);
    if (auto* abr = dynamic_cast<TAbrBox*>(&project)) abr_ = &abr->abr();
}

void TFrequencyFit::add(Kind kind, TBoxObject* box, TPortObject* port) {
    if (paramCount_ >= static_cast<int>(params_.size())) return;
    if (kind == Kind::PortLength ? port == nullptr : (kind != Kind::RadiatorMass && box == nullptr)) return;
    params_[static_cast<std::size_t>(paramCount_++)] = Param{kind, box, port};
}

// Per box its volume and, when asked for, its Q; then the ports; then the radiator's mass.
void TFrequencyFit::collectParameters() {
    paramCount_ = 0;
    const int code = project_.typeCode();
    TBoxObject* box1 = project_.boxElement();
    TBoxObject* box2 = project_.box2Element();
    bool q1 = options_.optimizeBoxQ;
    bool q2 = options_.optimizeBoxQ;
    if (shape_.bandpass()) {
        // The reflex bandpass keeps its front box in the main slot; the others the rear one.
        const bool frontFirst = code == ReflexBandpass;
        q1 = frontFirst ? options_.optimizeFrontBoxQ : options_.optimizeBoxQ;
        q2 = frontFirst ? options_.optimizeBoxQ : options_.optimizeFrontBoxQ;
    }
    add(Kind::Volume, box1);
    if (q1) add(Kind::BoxQ, box1);
    if (box2) {
        add(Kind::Volume, box2);
        if (q2) add(Kind::BoxQ, box2);
    }
    if (TPortObject* p = project_.portElement()) add(Kind::PortLength, nullptr, p);
    if (TPortObject* p = project_.port2Element()) add(Kind::PortLength, nullptr, p);
    if (abr_) add(Kind::RadiatorMass, nullptr);
}

double TFrequencyFit::value(const Param& p) const {
    switch (p.kind) {
    case Kind::Volume:
        return p.box->Vb;
    case Kind::BoxQ:
        return p.box->Qb;
    case Kind::PortLength:
        return p.port->L;
    case Kind::RadiatorMass:
        return abr_ ? abr_->Mmp : 0.0;
    }
    return 0.0;
}

void TFrequencyFit::setValue(const Param& p, double x) {
    switch (p.kind) {
    case Kind::Volume:
        project_.setBoxVolume(*p.box, x); // ports and resonances follow
        break;
    case Kind::BoxQ:
        p.box->Qb = x;
        p.box->boxChanged = 1;
        break;
    case Kind::PortLength:
        p.port->setLength(x);
        if (doubleTuned_) doubleTuned_->UpdateResonances();
        break;
    case Kind::RadiatorMass:
        if (abr_) abr_->setMmp(x);
        break;
    }
}

int TFrequencyFit::nextRandom() {
    return static_cast<int>(random_() % (kRandomMax + 1u));
}

double TFrequencyFit::evaluate() {
    project_.Calculate(0);
    const int n = std::clamp(project_.pointCount(), 0, kMaxPoints);
    if (n == 0) return 0.0;
    const auto ref = static_cast<std::size_t>(std::clamp(reference_, 0, n - 1));
    // The target follows the response's level where the target is flat.
    offset_ = project_.SPL[ref] - target_[ref];
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        project_.fitTarget[k] = target_[k] + offset_;
        if (i < n - 1) {
            const double d = project_.fitTarget[k] - project_.SPL[k];
            sum += d * d;
        }
    }
    return std::sqrt(sum / n);
}

void TFrequencyFit::stepRandom(const Param& p, double lo, double hi) {
    const double x = value(p);
    const double up = 1.0 + (s_ - 1.0) * (nextRandom() + 1) / kRandomMax;
    setValue(p, std::min(hi, x * up));
    const double e1 = evaluate();
    const double down = 1.0 + (s_ - 1.0) * (nextRandom() + 1) / kRandomMax;
    setValue(p, std::max(lo, x / down));
    const double e2 = evaluate();
    if (options_.showIntermediate) showIntermediate();
    double next = 0.0;
    if (e1 <= e2) {
        next = x * s_;
        s_ = e1 / scale_ + 1.0;
        meanError_ = e1;
    } else {
        next = x / s_;
        s_ = e2 / scale_ + 1.0;
        meanError_ = e2;
    }
    s_ = std::min(s_, kMaxStep);
    setValue(p, std::clamp(next, lo, hi));
}

void TFrequencyFit::stepMass(const Param& p) {
    const double m = value(p);
    const double m1 = std::min(kMaxMass, m * s_);
    setValue(p, m1);
    const double e1 = evaluate();
    const double m2 = std::max(kMinMass, m / s_);
    setValue(p, m2);
    const double e2 = evaluate();
    if (options_.showIntermediate) showIntermediate();
    const double best = e1 <= e2 ? e1 : e2;
    setValue(p, e1 <= e2 ? m1 : m2);
    s_ = std::min(best / scale_ + 1.0, kMaxStep);
    meanError_ = best;
}

void TFrequencyFit::stepQ(const Param& p) {
    const double q = value(p);
    const double q1 = std::min(kMaxQ, q * kQUp);
    setValue(p, q1);
    const double e1 = evaluate();
    const double q2 = std::max(kMinQ, q * kQDown);
    setValue(p, q2);
    const double e2 = evaluate();
    if (e1 <= e2) {
        setValue(p, q1);
        meanError_ = e1;
    } else {
        meanError_ = e2; // q2 is set already
    }
}

void TFrequencyFit::showIntermediate() {
    project_.ShowIntermediateResult();
    if (intermediate_) intermediate_();
}

void TFrequencyFit::showTarget(bool on) {
    DiagramModel& w = project_.splWindow();
    for (int i = 0; i < w.curveCount(); ++i)
        if (w.curve(i).label == kTargetLabel) w.setCurveData(i, on ? project_.fitTarget.data() : nullptr);
}

bool TFrequencyFit::Start(const Options& options) {
    if (!project_.canCalculate()) return false;
    options_ = options;
    options_.lowerCutoff = std::clamp(options.lowerCutoff, kMinLowerCutoff, kMaxLowerCutoff);
    options_.upperCutoff = std::clamp(options.upperCutoff, kMinUpperCutoff, kMaxUpperCutoff);
    storeOptions(options_, project_.fitSettings());
    shape_ = shapeOf(project_.typeCode());
    collectParameters();

    project_.setFastMode(true);
    project_.Calculate(0); // the grid is current from here on
    const FrequencyGrid& g = project_.grid();
    const int n = std::clamp(g.count, 0, kMaxPoints);
    const double fc = options_.lowerCutoff;
    const double fu = options_.upperCutoff;
    buildTarget(g, shape_, fc, fu, target_);
    reference_ = n - 1;
    if (shape_.bandpass() && n > 0) {
        // The stop frequency lies deep in the upper stop band, where the voice coil's
        // inductance steepens the slope; the middle of the pass band is flat in the target.
        const double centre = std::log(std::sqrt(fc * fu));
        double best = 1e300;
        for (int i = 0; i < n; ++i) {
            const double d = std::fabs(std::log(g.f[static_cast<std::size_t>(i)]) - centre);
            if (d < best) best = d, reference_ = i;
        }
    }
    scale_ = options_.fineStep ? kFineScale : kCoarseScale;
    s_ = kStartStep;
    iterations_ = 0;
    meanError_ = evaluate();
    showTarget(true);
    project_.ShowIntermediateResult();
    running_ = true;
    return true;
}

void TFrequencyFit::Iterate() {
    if (!running_) return;
    for (int i = 0; i < paramCount_; ++i) {
        const Param& p = params_[static_cast<std::size_t>(i)];
        switch (p.kind) {
        case Kind::Volume:
            stepRandom(p, kMinVolume, kMaxVolume);
            break;
        case Kind::BoxQ:
            stepQ(p);
            break;
        case Kind::PortLength:
            stepRandom(p, kMinPortLength, kMaxPortLength);
            break;
        case Kind::RadiatorMass:
            stepMass(p);
            break;
        }
    }
    ++iterations_;
}

void TFrequencyFit::Halt() {
    const bool wasRunning = running_;
    running_ = false;
    project_.setFastMode(false);
    showTarget(false);
    if (!wasRunning) return;
    for (TBoxObject* b : {project_.boxElement(), project_.box2Element()})
        if (b) b->boxChanged = 1;
    for (TPortObject* p : {project_.portElement(), project_.port2Element()})
        if (p) p->portChanged = 1;
    if (abr_) abr_->changed = 1;
    project_.markChanged();
    project_.Calculate(0);
}

} // namespace harlox
