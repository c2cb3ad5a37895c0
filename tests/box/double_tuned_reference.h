#pragma once

// A plain second implementation of the two double tuned bass reflex boxes, written point by
// point from the formulas with std::complex and none of the program's helpers.

#include "box_reference.h"

#include <cmath>
#include <complex>
#include <vector>

namespace harlox::test {

using DtRefBox = RefBox;
using DtRefPort = RefPort;

// The driver, setup and flags come from `base` (its own box and port fields are not used).
struct DtRefParams {
    int type = 1; // 1 or 2
    RefParams base;
    DtRefBox rearBox, frontBox;
    DtRefPort rearPort, frontPort;
};

struct DtRefResult : RefResult {
    std::vector<double> frontSpl, rearSpeed, frontSpeed, backMagnitude;
    double fLow = 0.0, fHigh = 0.0;
};

// Both types share the resonance polynomial a·x² + b·x + 1 in x = w².
inline void dtRefResonances(const DtRefParams& p, double& fLow, double& fHigh) {
    const double cr = refCompliance(p.rearBox), cf = refCompliance(p.frontBox);
    const double mr = refPortMass(p.rearPort), mf = refPortMass(p.frontPort);
    const double a = mr * mf * cr * cf;
    const double b = -((cr + cf) * mf + mr * cr);
    const double d = b * b - 4 * a;
    fLow = std::sqrt((-b - std::sqrt(d)) / (2 * a)) / (2 * 3.141592653589793);
    fHigh = std::sqrt((-b + std::sqrt(d)) / (2 * a)) / (2 * 3.141592653589793);
}

inline DtRefResult dtReferenceModel(const DtRefParams& q) {
    using C = std::complex<double>;
    const C j(0, 1);
    const RefParams& p = q.base;
    const int N = p.N;
    DtRefResult r;
    for (auto* v : {&r.f, &r.imp, &r.impPhase, &r.exc, &r.driverSpl, &r.frontSpl, &r.rearSpeed, &r.frontSpeed,
                    &r.backMagnitude})
        v->resize(N);
    dtRefResonances(q, r.fLow, r.fHigh);
    std::vector<C> P(N);
    double mZ, mU, mS;
    refMultipliers(p, mZ, mU, mS);
    const double a = std::sqrt(p.Sd / 3.14159265359);
    const double step = std::log10(double(p.stop) / double(p.start)) / (N - 1);
    const double reHot = refHotRe(p, mU);
    const auto limit = [&](double& v, C& u) {
        if (p.portNonlinear && v > 15.3) {
            const double s = std::sqrt(15.3 / v);
            v *= s;
            u *= s;
        }
    };

    for (int i = 0; i < N; ++i) {
        const double f = p.start * std::pow(10.0, i * step);
        const double w = 2 * 3.14159265359 * f;
        r.f[i] = f;
        const double ka = 2 * 3.14159265359 * a * f / 344.7;
        const C zrad(0.04304 * f * f / (ka * ka + 4), 1.45 * f / a);
        const C zbr = refBoxZ(q.rearBox, w), zbf = refBoxZ(q.frontBox, w);
        const C zpr = refPortZ(q.rearPort, w), zpf = refPortZ(q.frontPort, w);
        C za1, zx, za2;
        if (q.type == 1) {
            za1 = 1.0 / (1.0 / zbf + 1.0 / zpf);
            za2 = 1.0 / (1.0 / zbr + 1.0 / (za1 + zpr));
        } else {
            zx = zpr + zbr;
            za2 = 1.0 / (1.0 / zbf + 1.0 / zx + 1.0 / zpf);
        }
        r.backMagnitude[i] = std::abs(za2);

        const RefDriverPoint d = refDriverChain(p, w, zrad + double(p.n) * za2, reHot, mU, mS, mZ);
        C U = d.U;
        double exc = d.exc;
        r.imp[i] = d.imp;
        r.impPhase[i] = d.impPhase;
        r.exc[i] = exc;

        const C K(0, 58999.99999999999);
        const double n = p.n;
        const C pd = K * f * U * n;
        r.driverSpl[i] = 20 * std::log10(std::abs(pd));
        C uFront, uRear;
        double vFront, vRear;
        if (q.type == 1) {
            const C p1 = U * za2 * n;
            uRear = p1 / (za1 + zpr);
            vRear = std::abs(uRear) / (q.rearPort.S * q.rearPort.ports);
            limit(vRear, uRear);
            const C p2 = uRear * za1;
            uFront = p2 / zpf;
            vFront = std::abs(uFront) / (q.frontPort.S * q.frontPort.ports);
            limit(vFront, uFront);
        } else {
            const C pbox = U * za2 * n;
            uFront = pbox / zpf;
            vFront = std::abs(uFront) / (q.frontPort.S * q.frontPort.ports);
            limit(vFront, uFront);
            uRear = pbox / zx;
            vRear = std::abs(uRear) / (q.rearPort.S * q.rearPort.ports);
            limit(vRear, uRear);
        }
        r.rearSpeed[i] = vRear;
        r.frontSpeed[i] = vFront;
        const C pf = K * f * uFront;
        r.frontSpl[i] = 20 * std::log10(std::abs(pf));
        P[i] = pd - pf;
    }

    refSplPhaseDelay(P, r.f, r.spl, r.phase, r.delay);
    r.f3 = refF3(r.f, r.spl);
    return r;
}

} // namespace harlox::test
