#pragma once

// A plain second implementation of the four bandpass boxes, written point by point from the
// formulas with std::complex and none of the program's helpers.

#include "box_reference.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace harlox::test {

using BpRefBox = RefBox;
using BpRefPort = RefPort;

// The driver, setup and flags come from `base` (its own box and port fields are not used).
// box1/port1 are the main box and port 1 of each type (rear, or the side boxes of type 4).
struct BpRefParams {
    int type = 1; // 1 .. 4
    RefParams base;
    BpRefBox box1, box2;
    BpRefPort port1, port2;
};

struct BpRefResult : RefResult {
    std::vector<double> speed1, speed2, level1, level2, modes;
    double fl = 0.0, fu = 0.0;
};

inline BpRefResult bpReferenceModel(const BpRefParams& q) {
    using C = std::complex<double>;
    const C j(0, 1);
    const double pi = 3.14159265359;
    const RefParams& p = q.base;
    const int N = p.N;
    BpRefResult r;
    for (auto* v : {&r.f, &r.imp, &r.impPhase, &r.exc, &r.speed1, &r.speed2, &r.level1, &r.level2, &r.driverSpl})
        v->resize(N);
    std::vector<C> P(N);
    double mZ, mU, mS;
    refMultipliers(p, mZ, mU, mS);
    const double step = std::log10(double(p.stop) / double(p.start)) / (N - 1);
    const double reHot = refHotRe(p, mU);
    // Returns the factor applied to u.
    const auto limit = [&](const BpRefPort& pt, C& u, double& v) {
        v = std::abs(u) / (pt.S * pt.ports);
        const double vlim = std::max(1.0, 3 * pt.flare) * 5 + 15.3;
        if (!p.portNonlinear || v <= vlim) return 1.0;
        const double s = std::sqrt(vlim / v);
        v *= s;
        u *= s;
        return s;
    };
    const auto par = [](C a, C b) { return 1.0 / (1.0 / a + 1.0 / b); };

    for (int i = 0; i < N; ++i) {
        const double f = p.start * std::pow(10.0, i * step);
        const double w = 2 * pi * f;
        r.f[i] = f;
        const C z1 = refBoxZ(q.box1, w), z2 = refBoxZ(q.box2, w);
        const C zp1 = refPortZ(q.port1, w), zp2 = refPortZ(q.port2, w);
        const double n = p.n;
        C back;
        switch (q.type) {
        case 1:
            back = z1 + par(z2, zp1);
            break;
        case 2:
            back = par(zp1, z1 + par(z2, zp2));
            break;
        case 3:
            back = par(zp1, z1) + par(z2, zp2);
            break;
        default:
            back = (2.0 * par(zp2, z2) + par(zp1, z1)) * 0.5;
            break;
        }

        // No radiation: both faces work into boxes.
        const RefDriverPoint d = refDriverChain(p, w, n * back, reHot, mU, mS, mZ);
        C U = d.U;
        double exc = d.exc;
        r.imp[i] = d.imp;
        r.impPhase[i] = d.impPhase;
        r.exc[i] = exc;

        const C K(0, 58999.99999999999);
        const auto level = [&](C u) { return 20 * std::log10(std::abs(K * f * u)); };
        if (q.type == 1) {
            C up = U * par(z2, zp1) * n / zp1;
            limit(q.port1, up, r.speed1[i]);
            P[i] = K * f * up;
            continue;
        }
        if (q.type == 2) {
            const C zf = par(z2, zp2);
            C p1 = U * back * n;
            C upr = p1 / zp1;
            p1 *= limit(q.port1, upr, r.speed1[i]);
            const C p2 = p1 / (z1 + zf) * zf;
            C upf = p2 / zp2;
            limit(q.port2, upf, r.speed2[i]);
            r.level1[i] = level(upr);
            r.driverSpl[i] = level(upr + upf);
            P[i] = K * f * upf;
            continue;
        }
        // Types 3 and 4: each chamber drives its own port, the two radiate in opposite phase.
        C u1 = U * par(zp1, z1) * n / zp1;
        C u2 = U * par(zp2, z2) * n / zp2;
        limit(q.port1, u1, r.speed1[i]);
        limit(q.port2, u2, r.speed2[i]);
        r.level1[i] = level(u1);
        r.level2[i] = level(u2);
        P[i] = K * f * u2 - K * f * u1;
    }

    refSplPhaseDelay(P, r.f, r.spl, r.phase, r.delay);

    // -3 dB points from the last dip, else from the peak.
    const std::vector<double>& s = r.spl;
    double ref = 0;
    int dip = -1;
    for (int i = 1; i <= N - 3; ++i)
        if (s[i] < s[i - 1] && s[i] < s[i + 1]) dip = i;
    ref = dip >= 0 ? s[dip] : *std::max_element(s.begin(), s.end() - 1);
    ref -= 3;
    int lo = 0;
    while (lo < N && s[lo] <= ref)
        ++lo;
    if (lo > 0 && lo < N) {
        const double t = (s[lo] - ref) / (s[lo] - s[lo - 1]);
        r.fl = (1 - t) * r.f[lo] + t * r.f[lo - 1];
    }
    int hi = N - 1;
    while (hi >= 0 && s[hi] <= ref)
        --hi;
    if (hi >= 0 && hi < N - 1) {
        const double t = (s[hi] - ref) / (s[hi] - s[hi + 1]);
        r.fu = (1 - t) * r.f[hi] + t * r.f[hi + 1];
    }

    r.modes = s;
    if (r.fu != 0) {
        double L = q.port1.L; // type 1: its only port
        if (q.type == 2) L = q.port2.L;
        if (q.type >= 3) L = std::max(q.port1.L, q.port2.L);
        const double fsw = 344.7 / (2 * L);
        const auto g = [&](double x) {
            return 20 * std::log10((1 + (x / r.fu) * (x / r.fu)) / (std::cos(2 * pi * x / fsw + pi) + 1.1)) -
                   20;
        };
        int k = 0;
        while (k < N - 1 && r.f[k] < r.fu)
            ++k;
        const double g0 = std::max(0.0, g(r.f[k]));
        for (int i = k; i < N; ++i)
            r.modes[i] += std::max(0.0, g(r.f[i]) - g0);
    }
    return r;
}

} // namespace harlox::test
