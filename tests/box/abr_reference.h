#pragma once

// A plain implementation of the passive radiator box, point by point with std::complex and
// none of the program's helpers, for comparison with the model.

#include "box_reference.h"

#include <cmath>
#include <complex>
#include <vector>

namespace harlox::test {

struct AbrRefParams {
    double Vap = 0.1, Sd = 0.03, Mmp = 0.01, Xmax = 0.01;
    int units = 1;
    bool nonLinear = false;
    // The radiator velocity divided by units twice and the pressure multiplied once, so that
    // several radiators radiate as one (the formulas as first written down).
    bool original = false;
};

struct AbrRefResult : RefResult {
    std::vector<double> abrSpl, abrX;
    double Fp = 0, Fb = 0;
};

inline AbrRefResult abrReferenceModel(const RefParams& p, const AbrRefParams& q) {
    using C = std::complex<double>;
    const C j(0, 1);
    const C K(0, 58999.99999999999);
    const int N = p.N;
    AbrRefResult r;
    for (auto* v : {&r.f, &r.imp, &r.impPhase, &r.exc, &r.driverSpl, &r.abrSpl, &r.abrX})
        v->resize(N);
    std::vector<C> P(N);
    double mZ, mU, mS;
    refMultipliers(p, mZ, mU, mS);
    const double a = std::sqrt(p.Sd * 0.3183098861837697);
    const double step = std::log10(double(p.stop) / double(p.start)) / (N - 1);
    const double reHot = refHotRe(p, mU);

    // The radiator.
    const double ap = std::sqrt(q.Sd / 3.14159265359);
    const double mms = q.Mmp + 3.15 * ap * ap * ap;
    const double cmp = q.Vap / 142000.0 / (q.Sd * q.Sd);
    r.Fp = 1 / (2 * 3.14159265359 * std::sqrt(mms * cmp));
    const double veff = p.Vb * (1 + 0.002 * p.fill);
    const double cmbox = 1 / 142000.0 / (q.units / veff + 1 / q.Vap) / (q.Sd * q.Sd);
    r.Fb = 1 / (2 * 3.14159265359 * std::sqrt(mms * cmbox));
    const double rm = mms * 2 * 3.14159265359 * r.Fp / 7.0;

    for (int i = 0; i < N; ++i) {
        const double f = p.start * std::pow(10.0, i * step);
        const double w = f * 6.28318530718;
        r.f[i] = f;
        const double ka = 6.28318530718 * a * f * 0.002901073397156948;
        const C zrad(0.04304 * f * f / (ka * ka + 4), 1.45 * f / a);
        const C zbox = refBoxZ({p.Vb, p.Qb, p.Ql, p.fill}, w);

        const C zm = (rm + j * (w * mms - 1 / (w * cmp))) / (q.Sd * q.Sd);
        const C zmass = j * w * 0.826 / (3.14159265359 * ap);
        const double kap = 2 * 3.14159265359 * ap * f / 344.7;
        const C zfront = 0.04304 * f * f / (kap * kap + 4) + j * (3.2625 / ap) * f / (kap * kap + 2.25);
        const C z1 = zm + zfront + zmass;
        const C zrear = 1.0 / (1.0 / zbox + double(q.units) / z1);

        const RefDriverPoint d = refDriverChain(p, w, double(p.n) * zrear + zrad, reHot, mU, mS, mZ);
        C U = d.U;
        double exc = d.exc;
        r.imp[i] = d.imp;
        r.impPhase[i] = d.impPhase;
        r.exc[i] = exc;

        const C pd = K * f * U * double(p.n);
        const C pbox = U * zrear * double(p.n);
        C uabr = pbox / z1;
        double xabr = std::abs(uabr / q.Sd / w) * 1000 * 2.828;
        if (q.original) {
            uabr /= double(q.units);
            xabr = std::abs(uabr / q.Sd / double(q.units) / w) * 1000 * 2.828;
        }
        if (q.nonLinear && q.Xmax != 0 && xabr > q.Xmax * 1000) {
            const double s = std::sqrt(q.Xmax * 1000 / xabr);
            xabr *= s;
            uabr *= s;
        }
        r.abrX[i] = xabr;
        const C pabr = K * f * uabr * double(q.units);
        r.driverSpl[i] = 20 * std::log10(std::abs(pd));
        r.abrSpl[i] = 20 * std::log10(std::abs(pabr));
        P[i] = pd - pabr;
    }

    refSplPhaseDelay(P, r.f, r.spl, r.phase, r.delay);
    return r;
}

} // namespace harlox::test
