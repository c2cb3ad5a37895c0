#include "filter/net_wizards.h"

#include "core/format.h"
#include "filter/net_a.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace harlox {

namespace {

// Butterworth ladder coefficients c1 .. c4 for orders 1 .. 4.
constexpr std::array<std::array<double, 4>, 4> kLadder{{
    {1.0, 0.0, 0.0, 0.0},
    {1.414, 0.707, 0.0, 0.0},
    {1.5, 1.333, 0.5, 0.0},
    {1.531, 1.577, 1.082, 0.383},
}};

constexpr double kSeriesR1 = 0.1; // the inductor's wire

// Passive types the wizard writes.
constexpr int kNone = 0, kCapacitor = 2, kResistorInductor = 3, kSeriesLC = 5, kTrap = 8;
// Active types.
constexpr int kLp1 = 1, kHp1 = 2, kLp2 = 3, kHp2 = 4;

void setValue(TCompA& c, double v) { c.SetValueClamped(v, nullptr); }

void setType(TBranchA& b, int type) {
    b.SetType(type);
    for (TCompA* c : b.RecordComponents())
        c->MarkChanged();
    b.MarkChanged();
}

bool badOrder(int n) { return n < 0 || n > 4; }

} // namespace

int PassiveWizardFirstBranch(int insertion) { return 2 * std::clamp(insertion, 0, 3); }

WizardResult PassiveWizardCalc(TNetA& net) {
    if (net.isActive()) return {false, "The network is active"};
    const int lp = net.wizardLpOrder, hp = net.wizardHpOrder;
    const double R = net.wizardLoad;
    if (badOrder(lp) || badOrder(hp)) return {false, "Filter order must be 0 to 4"};
    if (!(R > 0.0)) return {false, "Nom. load must be above 0 ohm"};
    if ((lp > 0 && net.wizardLpFc <= 0) || (hp > 0 && net.wizardHpFc <= 0))
        return {false, "Cutoff must be above 0 Hz"};
    const int first = PassiveWizardFirstBranch(net.wizardInsertion);
    const int positions = std::max(lp, hp);
    if (first + positions > TNetA::kBranches)
        return {false, strprintf("The filter needs %d branches from Branch %d,\nonly %d are left", positions,
                                 first + 1, TNetA::kBranches - first)};

    const double wLp = 2.0 * std::numbers::pi * net.wizardLpFc;
    const double wHp = 2.0 * std::numbers::pi * net.wizardHpFc;
    for (int k = 1; k <= positions; ++k) {
        const bool series = k % 2 == 1;
        double L = 0.0, C = 0.0;
        if (k <= lp) {
            const double c = kLadder[static_cast<std::size_t>(lp - 1)][static_cast<std::size_t>(k - 1)];
            (series ? L : C) = series ? c * R / wLp : c / (R * wLp);
        }
        if (k <= hp) {
            const double c = kLadder[static_cast<std::size_t>(hp - 1)][static_cast<std::size_t>(k - 1)];
            (series ? C : L) = series ? 1.0 / (wHp * c * R) : R / (wHp * c);
        }
        TBranchA& b = net.Branch(first + k - 1);
        const int type = L > 0.0 && C > 0.0 ? (series ? kSeriesLC : kTrap)
                         : L > 0.0          ? kResistorInductor
                         : C > 0.0          ? kCapacitor
                                            : kNone;
        setType(b, type);
        if (L > 0.0) {
            setValue(b.L(), L);
            setValue(b.R1(), kSeriesR1);
        }
        if (C > 0.0) setValue(b.C(), C);
    }
    net.Edited();
    return {true, {}};
}

WizardResult ActiveWizardCalc(TNetA& net) {
    if (!net.isActive()) return {false, "The network is passive"};
    const int order = net.activeWizardOrder;
    if (badOrder(order)) return {false, "Filter order must be 0 to 4"};
    if (order > 0 && net.activeWizardFc <= 0) return {false, "Cutoff must be above 0 Hz"};
    const int i = std::clamp<int>(net.wizardInsertion, 0, TNetA::kBranches - 2);
    const double w = 2.0 * std::numbers::pi * net.activeWizardFc;
    const bool low = net.activeWizardFc < 100;
    TBranchA& b = net.Branch(i);
    TBranchA& next = net.Branch(i + 1);

    // Unity-gain second-order section of quality q.
    auto second = [&](TBranchA& br, double q, double ratio) {
        if (net.activeWizardLp) {
            const double r = low ? 470000.0 : 10000.0;
            setType(br, kLp2);
            setValue(br.R1(), r);
            setValue(br.R2(), r);
            const double c2 = 1.0 / (w * r * 2.0 * q);
            setValue(br.C2(), c2);
            setValue(br.C1(), c2 * ratio);
        } else {
            const double c = low ? 470e-9 : 10e-9;
            setType(br, kHp2);
            setValue(br.C1(), c);
            setValue(br.C2(), c);
            const double r1 = 1.0 / (w * c * 2.0 * q);
            setValue(br.R1(), r1);
            setValue(br.R2(), r1 * ratio);
        }
    };
    auto first = [&](TBranchA& br) {
        if (net.activeWizardLp) {
            const double r = low ? 470000.0 : 10000.0;
            setType(br, kLp1);
            setValue(br.R1(), r);
            setValue(br.C1(), 1.0 / (w * r));
        } else {
            const double c = low ? 470e-9 : 10e-9;
            setType(br, kHp1);
            setValue(br.C1(), c);
            setValue(br.R1(), 1.0 / (w * c));
        }
    };

    switch (order) {
    case 0:
        setType(b, 0);
        break;
    case 1:
        first(b);
        break;
    case 2:
        second(b, 0.707, 1.999396);
        break;
    case 3:
        second(b, 1.0, 4.0);
        first(next);
        break;
    default:
        second(b, 0.541, 1.170724);
        second(next, 1.307, 6.832996);
        break;
    }
    net.Edited();
    return {true, {}};
}

} // namespace harlox
