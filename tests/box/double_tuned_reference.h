#pragma once

// A plain second implementation of the two double tuned bass reflex boxes, written point by
// point from the formulas with std::complex and none of the program's helpers.

#include "box_reference.h"

#include <cmath>
#include <complex>
#include <vector>

namespace harlox::test {

struct DtRefBox {
    double Vb = 0.01, Qb = 15.0, Ql = 15.0;
    int fill = 0;
};

struct DtRefPort {
    double L = 0.1, D = 0.05, S = 0.00196349540849375, flare = 0.0;
    int ports = 1;
};

// The driver, setup and flags come from `base` (its own box and port fields are not used).
struct DtRefParams {
    int type = 1; // 1 or 2
    RefParams base;
    DtRefBox rearBox, frontBox;
    DtRefPort rearPort, frontPort;
};

struct DtRefResult {
    std::vector<double> f, spl, phase, delay, imp, impPhase, exc, driverSpl, frontSpl, rearSpeed, frontSpeed,
        backMagnitude;
    double f3 = 0.0;
    double fLow = 0.0, fHigh = 0.0;
};

inline double dtRefCompliance(const DtRefBox& b) {
    return (1 + 0.002 * b.fill) * b.Vb / 142000.0;
}

inline double dtRefSeff(const DtRefPort& p) {
    const double r = std::sqrt(p.S / 3.14159265359);
    return (1 + 0.576 * p.flare) * 3.14159265359 * (r - 0.0018) * (r - 0.0018);
}

inline double dtRefMass(const DtRefPort& p) {
    const double seff = dtRefSeff(p);
    return p.ports == 1 ? 1.18 * (p.L + 0.6 * p.D) / seff : 1.18 * (p.L + 1.7 * p.D) / seff / p.ports;
}

// Both types share the resonance polynomial a·x² + b·x + 1 in x = w².
inline void dtRefResonances(const DtRefParams& p, double& fLow, double& fHigh) {
    const double cr = dtRefCompliance(p.rearBox), cf = dtRefCompliance(p.frontBox);
    const double mr = dtRefMass(p.rearPort), mf = dtRefMass(p.frontPort);
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
    for (auto* v : {&r.f, &r.spl, &r.phase, &r.delay, &r.imp, &r.impPhase, &r.exc, &r.driverSpl, &r.frontSpl,
                    &r.rearSpeed, &r.frontSpeed, &r.backMagnitude})
        v->resize(N);
    dtRefResonances(q, r.fLow, r.fHigh);
    std::vector<C> P(N);
    double mZ, mU, mS;
    refMultipliers(p, mZ, mU, mS);
    const double a = std::sqrt(p.Sd / 3.14159265359);
    const double step = std::log10(double(p.stop) / double(p.start)) / (N - 1);
    double reHot = p.Re;
    if (p.coilHeating && p.Pmax != 0) {
        const double u = p.Ug * mU;
        reHot = p.Re * (1 + (u * u / p.Re) / p.Pmax * 230 * 0.0039);
    }
    const auto boxZ = [](const DtRefBox& b, double w) {
        const double x = -1 / (dtRefCompliance(b) * w);
        const C zs(std::abs(x) / b.Qb, x);
        return 1.0 / (1.0 / zs + 1.0 / (b.Ql * std::abs(x)));
    };
    const auto portZ = [](const DtRefPort& pt, double w) {
        const double k =
            ((2 * pt.L / pt.D + 1) * (1 / dtRefSeff(pt)) * 1.18 * std::sqrt(3.12e-05)) / pt.ports;
        return C(k * std::sqrt(w), dtRefMass(pt) * w);
    };
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
        const C zbr = boxZ(q.rearBox, w), zbf = boxZ(q.frontBox, w);
        const C zpr = portZ(q.rearPort, w), zpf = portZ(q.frontPort, w);
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

    for (int i = 0; i < N; ++i) {
        r.spl[i] = 20 * std::log10(std::abs(P[i]));
        r.phase[i] = std::arg(P[i]) * 180 / 3.141592653589793;
    }
    for (int i = 1; i < N - 1; ++i) {
        double d = r.phase[i + 1] - r.phase[i - 1];
        if (d > 180) d -= 360;
        if (d < -180) d += 360;
        r.delay[i] = -d / 360 * 1000 / (r.f[i + 1] - r.f[i - 1]);
    }
    r.delay[0] = r.delay[1];
    r.delay[N - 1] = r.delay[N - 2];

    const double ref = r.spl[N - 1] - 3;
    int i = 0;
    while (i < N && r.spl[i] <= ref)
        ++i;
    if (i > 0 && i < N) {
        const double t = (r.spl[i] - ref) / (r.spl[i] - r.spl[i - 1]);
        r.f3 = (1 - t) * r.f[i] + t * r.f[i - 1];
    }
    return r;
}

} // namespace harlox::test
