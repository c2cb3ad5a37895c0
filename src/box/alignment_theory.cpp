#include "box/alignment_theory.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace harlox::alignment {

namespace {

constexpr int kRows[kFamilyCount] = {51, 47, 46};
constexpr double kFirstQts[kFamilyCount] = {0.20, 0.10, 0.25};

int index(Family family) {
    return std::clamp(static_cast<int>(family), 0, kFamilyCount - 1);
}

// The root of f in [lo, hi] where f changes sign, found by bisection. False when the scan of
// `steps` geometric intervals finds no sign change.
bool firstRoot(const std::function<double(double)>& f, double lo, double hi, int steps, double& root) {
    const double ratio = std::pow(hi / lo, 1.0 / steps);
    double a = lo, fa = f(a);
    for (int i = 1; i <= steps; ++i) {
        const double b = i == steps ? hi : a * ratio;
        const double fb = f(b);
        if (fa == 0.0) {
            root = a;
            return true;
        }
        if ((fa < 0.0) != (fb < 0.0)) {
            double x0 = a, x1 = b, f0 = fa;
            for (int k = 0; k < 200 && x1 - x0 > 1e-15 * x1; ++k) {
                const double m = 0.5 * (x0 + x1);
                const double fm = f(m);
                if ((fm < 0.0) == (f0 < 0.0)) {
                    x0 = m;
                    f0 = fm;
                } else {
                    x1 = m;
                }
            }
            root = 0.5 * (x0 + x1);
            return true;
        }
        a = b;
        fa = fb;
    }
    return false;
}

// alpha from a2 of the wanted denominator: a2 = (alpha + 1 + h^2)/h + p q.
double alphaFor(double a2, double h, double p, double q) {
    return h * (a2 - p * q) - 1.0 - h * h;
}

bool solveSbb4(double p, double q, Row& out) {
    out.h = 1.0;
    out.alpha = 0.25 * (p - q) * (p - q);
    return out.alpha > 0.0;
}

// The squared magnitude has no w^6 and no w^4 term: a1^2 = 2 a2 and a2^2 + 2 = 2 a1 a3.
bool solveQb3(double p, double q, Row& out) {
    const auto f = [p, q](double u) {
        const double a1 = p / u + q * u, a3 = p * u + q / u;
        return 0.25 * a1 * a1 * a1 * a1 + 2.0 - 2.0 * a1 * a3;
    };
    // Above sqrt(QL/Qt) lies a second root that gives no usable box.
    const double top = std::sqrt(p / q);
    double u = 0.0;
    if (!firstRoot(f, top * 1e-4, top, 4000, u)) return false;
    const double a1 = p / u + q * u;
    out.h = u * u;
    out.alpha = alphaFor(0.5 * a1 * a1, out.h, p, q);
    return out.alpha > 0.0;
}

// The box's a1 and a3 fix u once the family gives them; the two ways of reading u agree
// only at the family member the driver can reach.
bool solveSc4(double p, double q, Row& out) {
    const double pq2 = (p * p - q * q) * (p * p - q * q);
    const auto g = [p, q, pq2](double k) {
        const Denominator d = chebyshevDenominator(k);
        return (p * d.a1 - q * d.a3) * (p * d.a3 - q * d.a1) - pq2;
    };
    double k = 0.0;
    if (!firstRoot(g, 0.01, 1e4, 6000, k)) return false;
    const Denominator d = chebyshevDenominator(k);
    const double u = (p * d.a3 - q * d.a1) / (p * p - q * q);
    if (!(u > 0.0)) return false;
    out.h = u * u;
    out.alpha = alphaFor(d.a2, out.h, p, q);
    return out.alpha > 0.0;
}

} // namespace

int rowCount(Family family) {
    return kRows[index(family)];
}

double rowLabelQts(Family family, int row) {
    return kFirstQts[index(family)] + 0.01 * std::clamp(row, 0, rowCount(family) - 1);
}

double rowTheoryQts(Family family, int row) {
    row = std::clamp(row, 0, rowCount(family) - 1);
    if (family != Family::QB3 || row <= 30) return rowLabelQts(family, row);
    if (row <= 42) return 0.40 + 0.005 * (row - 30);
    return 0.47 + 0.01 * (row - 43);
}

Denominator ventedDenominator(double qts, double ql, Row row) {
    const double p = 1.0 / qts, q = 1.0 / ql, h = row.h, u = std::sqrt(h);
    return {p / u + q * u, (row.alpha + 1.0 + h * h) / h + p * q, p * u + q / u};
}

Denominator chebyshevDenominator(double k) {
    constexpr double t1 = std::numbers::pi / 8.0, t2 = 3.0 * std::numbers::pi / 8.0;
    const double b1 = 2.0 * k * std::sin(t1), b2 = 2.0 * k * std::sin(t2);
    const double e1 = k * k * std::sin(t1) * std::sin(t1) + std::cos(t1) * std::cos(t1);
    const double e2 = k * k * std::sin(t2) * std::sin(t2) + std::cos(t2) * std::cos(t2);
    const double prod = e1 * e2;
    // Normalised so that the constant term is 1, read as a high-pass.
    return {(b1 * e2 + b2 * e1) / std::pow(prod, 0.75), (e1 + e2 + b1 * b2) / std::sqrt(prod),
            (b1 + b2) / std::pow(prod, 0.25)};
}

bool solve(Family family, double qts, double ql, Row& out) {
    out = Row{};
    if (!(qts > 0.0) || !(ql > 0.0) || !(qts < ql)) return false;
    const double p = 1.0 / qts, q = 1.0 / ql;
    Row r;
    bool ok = false;
    switch (family) {
    case Family::SBB4:
        ok = solveSbb4(p, q, r);
        break;
    case Family::QB3:
        ok = solveQb3(p, q, r);
        break;
    case Family::SC4:
        ok = solveSc4(p, q, r);
        break;
    }
    if (ok) out = r;
    return ok;
}

} // namespace harlox::alignment
