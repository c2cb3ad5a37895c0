#include "filter/net_optimiser.h"

#include "core/ui_host.h"
#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/xover.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace harlox {

namespace {

constexpr double kNoError = std::numeric_limits<double>::infinity();

double lowPassDb(double f, int order, double fc, int type) {
    if (order <= 0 || fc <= 0.0) return 0.0;
    const double x = std::pow(f / fc, order);
    return type == OptimiserTarget::Linkwitz ? -20.0 * std::log10(x + 1.0) : -20.0 * std::log10(std::sqrt(x * x + 1.0));
}

double highPassDb(double f, int order, double fc, int type) {
    if (order <= 0 || fc <= 0.0) return 0.0;
    const double x = std::pow(f / fc, order);
    return type == OptimiserTarget::Linkwitz ? 20.0 * std::log10(x / (x + 1.0))
                                             : 20.0 * std::log10(x / std::sqrt(x * x + 1.0));
}

void appendUsed(TBranchA& b, bool listedOnly, std::vector<TCompA*>& out) {
    if (!b.used()) return;
    for (TCompA* c : b.UsedComponents())
        if (!listedOnly || c->optimise) out.push_back(c);
}

std::vector<TCompA*> components(TNetA& net, bool listedOnly) {
    std::vector<TCompA*> out;
    for (int b = 0; b < TNetA::kBranches; ++b)
        appendUsed(net.Branch(b), listedOnly, out);
    // A link the connection leaves out cannot change the response; stepping it would only
    // let it drift.
    for (int b = 0; b < TNetA::kLinks; ++b)
        if (net.LinkInUse(b)) appendUsed(net.Link(b), listedOnly, out);
    return out;
}

} // namespace

OptimiserTarget OptimiserTarget::Of(const TNetA& net) {
    OptimiserTarget t;
    t.lpOrder = std::clamp<int>(net.targetLpOrder, 0, 4);
    t.lpFc = net.targetLpFc;
    t.lpType = net.targetLpType == Linkwitz ? Linkwitz : Butterworth;
    t.hpOrder = std::clamp<int>(net.targetHpOrder, 0, 4);
    t.hpFc = net.targetHpFc;
    t.hpType = net.targetHpType == Linkwitz ? Linkwitz : Butterworth;
    return t;
}

double OptimiserTarget::Level(double f) const {
    return lowPassDb(f, lpOrder, lpFc, lpType) + highPassDb(f, hpOrder, hpFc, hpType);
}

std::vector<TCompA*> OptimisationList(TNetA& net) { return components(net, true); }

std::vector<TCompA*> OptimisableComponents(TNetA& net) { return components(net, false); }

bool AddToOptimisationList(TCompA& c, UiHost& ui) {
    if (!c.used) return false;
    if (c.optimise) {
        ui.error("", "Item already selected");
        return false;
    }
    c.optimise = 1;
    return true;
}

bool RemoveFromOptimisationList(TCompA& c) {
    if (!c.optimise) return false;
    c.optimise = 0;
    return true;
}

TNetOptimiser::TNetOptimiser(TNetA& net, TXover* project, std::uint32_t seed)
    : net_(net), project_(project), state_(seed), target_(kPoints, 0.0), shifted_(kPoints, 0.0),
      response_(kPoints, 0.0), unfiltered_(kPoints, 0.0) {
    MakeTarget();
}

bool TNetOptimiser::Running() const { return net_.OptimiserRunning(); }

int TNetOptimiser::Ray() const {
    const TGeneral& g = net_.General();
    const int rays = std::min(g.surfaceCount(), TNetA::kMaxRays);
    return net_.optimiserRay >= 0 && net_.optimiserRay < rays ? net_.optimiserRay : g.mainRay();
}

void TNetOptimiser::Start() {
    net_.optimiserRay = static_cast<std::int16_t>(Ray());
    net_.optimiserMode = 2;
    net_.MarkChanged();
}

void TNetOptimiser::Stop() {
    if (!Running()) return;
    net_.optimiserMode = 0;
    // The running solves left out the other rays, the phase and the group delay.
    net_.MarkChanged();
    if (project_ != nullptr) (void)project_->Calculate();
    if (net_.Changed()) (void)net_.Calculate();
}

std::uint32_t TNetOptimiser::next() {
    // splitmix64: small, fast and the same on every platform.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
}

double TNetOptimiser::StepFactor(int s, std::uint32_t r) {
    const double jitter = 1.0 + 0.001 * (static_cast<double>(r % 100) - 50.0);
    return 1.0 + 0.001 * s * jitter;
}

void TNetOptimiser::MakeTarget() {
    const OptimiserTarget t = OptimiserTarget::Of(net_);
    const double* f = net_.General().frequency().data();
    for (int k = 0; k < kPoints; ++k)
        target_[static_cast<std::size_t>(k)] = t.Level(f[k]);
}

bool TNetOptimiser::solve() {
    net_.optimiserRay = static_cast<std::int16_t>(Ray());
    if (Running()) return net_.Calculate();
    // A look at the error while stopped: solve as a pass would, then leave the network
    // changed so that the next calculation makes the full set of curves again.
    net_.optimiserMode = 2;
    net_.MarkChanged();
    const bool ok = net_.Calculate();
    net_.optimiserMode = 0;
    net_.MarkChanged();
    return ok;
}

void TNetOptimiser::Measure() {
    error_.reset();
    counted_ = 0;
    if (!net_.HasResults()) return;
    const double* f = net_.General().frequency().data();
    const double* p = net_.AngleSplLevel()[Ray()].data();
    const Complex* h = net_.Transfer().data();

    int top = -1;
    for (int k = 0; k < kPoints; ++k)
        if (std::isfinite(p[k]) && (top < 0 || p[k] > p[top])) top = k;
    const double floor = top >= 0 ? p[top] - kWindowDb : kNoError;
    const double lower = net_.rangeLower, upper = net_.rangeUpper;
    auto counted = [&](int k) { return f[k] >= lower && f[k] <= upper && std::isfinite(p[k]) && p[k] > floor; };

    double sum = 0.0;
    for (int k = 0; k < kPoints; ++k) {
        const auto i = static_cast<std::size_t>(k);
        response_[i] = p[k];
        unfiltered_[i] = p[k] - 20.0 * std::log10(std::abs(h[k]));
        if (counted(k)) {
            sum += p[k] - target_[i];
            ++counted_;
        }
    }
    const double offset = counted_ > 0 ? sum / counted_ : 0.0;
    double err = 0.0;
    for (int k = 0; k < kPoints; ++k) {
        const auto i = static_cast<std::size_t>(k);
        shifted_[i] = target_[i] + offset;
        if (counted(k)) err += std::abs(p[k] - shifted_[i]);
    }
    if (counted_ > 0) error_ = err / counted_;
}

double TNetOptimiser::trial() {
    if (!solve()) return kNoError;
    Measure();
    return error_.value_or(kNoError);
}

void TNetOptimiser::Refresh() {
    MakeTarget();
    net_.MarkChanged();
    (void)solve();
    Measure();
}

void TNetOptimiser::Pass() {
    MakeTarget();
    const int s = std::clamp<int>(net_.stepSize, 0, 99);
    net_.MarkChanged();
    const bool measurable = solve() && (Measure(), error_.has_value());
    if (measurable) {
        for (TCompA* c : OptimisationList(net_)) {
            const double v = c->Value();
            const double d = StepFactor(s, next());
            // Never outside the component's range: a step that would leave it stops at the
            // limit.
            const double up = std::min(v * d, c->maximum);
            const double down = std::max(v / d, c->minimum);
            c->SetValue(up);
            const double e1 = trial();
            c->SetValue(down);
            const double e2 = trial();
            if (e1 == kNoError && e2 == kNoError) c->SetValue(v);
            else if (e2 > e1) c->SetValue(up);
        }
        ++passes_;
    }
    net_.MarkChanged();
    if (net_.liveUpdate && project_ != nullptr && Running()) (void)project_->Calculate();
    // Without live update, or when another net's missing curves stopped the cycle first.
    if (net_.Changed()) (void)solve();
    Measure();
}

} // namespace harlox
