#pragma once

// A second, deliberately plain implementation of the closed and bass reflex box models,
// written point by point from the formulas with none of the program's helpers, so the
// tests can compare the program's curves against it.

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

namespace harlox::test {

struct RefMeasuredPoint {
    double f, db, deg;
};

struct RefParams {
    bool bassReflex = false;
    // setup
    int N = 50, start = 20, stop = 2000;
    double Ug = 2.83, Rg = 0.0, Lg = 0.0;
    // unit (the built-in one unless changed)
    double Sd = 0.013, Cms = 0.001391, Mms = 0.0158, Rms = 2.01, Bl = 7.5, Re = 6.1, Le = 0.0009,
           Xmax = 0.011, Pmax = 150.0;
    bool dualCoil = false;
    // configuration
    int n = 1;
    int connection = 8; // driver connection table index
    bool isobaric = false;
    int isobaricConnection = 2;
    int coilConnection = 2;
    double extraMass = 0.0;
    bool cmsNonlinear = false, blNonlinear = false, coilHeating = false;
    // box
    double Vb = 0.01, Qb = 15.0, Ql = 15.0;
    int fill = 0;
    // port
    double L = 0.1, D = 0.05, S = 0.00196349540849375, flare = 0.0;
    int ports = 1;
    bool portNonlinear = false;
    // measured SPL
    std::vector<RefMeasuredPoint> measured;
    int transition = 300;
    double cutoff = 100000.0;
    bool autoLevel = true;
    double offsetDb = 0.0;
};

struct RefResult {
    std::vector<double> f, spl, phase, delay, imp, impPhase, exc, driverSpl, portSpl, airSpeed;
    double f3 = 0.0;
};

// One chamber and one port (or one bank of equal ports), as the multi-chamber types list them.
struct RefBox {
    double Vb = 0.01, Qb = 15.0, Ql = 15.0;
    int fill = 0;
};

struct RefPort {
    double L = 0.1, D = 0.05, S = 0.00196349540849375, flare = 0.0;
    int ports = 1;
};

inline double refCompliance(const RefBox& b) {
    return (1 + 0.002 * b.fill) * b.Vb / 142000.0;
}

inline std::complex<double> refBoxZ(const RefBox& b, double w) {
    const double x = -1 / (refCompliance(b) * w);
    const std::complex<double> zs(std::abs(x) / b.Qb, x);
    return 1.0 / (1.0 / zs + 1.0 / (b.Ql * std::abs(x)));
}

inline double refSeff(const RefPort& p) {
    const double r = std::sqrt(p.S / 3.14159265359);
    return (1 + 0.576 * p.flare) * 3.14159265359 * (r - 0.0018) * (r - 0.0018);
}

inline double refPortMass(const RefPort& p) {
    const double seff = refSeff(p);
    return p.ports == 1 ? 1.18 * (p.L + 0.6 * p.D) / seff : 1.18 * (p.L + 1.7 * p.D) / seff / p.ports;
}

inline std::complex<double> refPortZ(const RefPort& p, double w) {
    const double k = ((2 * p.L / p.D + 1) * (1 / refSeff(p)) * 1.18 * std::sqrt(3.12e-05)) / p.ports;
    return {k * std::sqrt(w), refPortMass(p) * w};
}

// SPL, phase and group delay of the summed pressure.
inline void refSplPhaseDelay(const std::vector<std::complex<double>>& P, const std::vector<double>& f,
                             std::vector<double>& spl, std::vector<double>& phase, std::vector<double>& delay) {
    const std::size_t N = P.size();
    spl.resize(N), phase.resize(N), delay.resize(N);
    for (std::size_t i = 0; i < N; ++i) {
        spl[i] = 20 * std::log10(std::abs(P[i]));
        phase[i] = std::arg(P[i]) * 180 / 3.141592653589793;
    }
    for (std::size_t i = 1; i + 1 < N; ++i) {
        double d = phase[i + 1] - phase[i - 1];
        if (d > 180) d -= 360;
        if (d < -180) d += 360;
        delay[i] = -d / 360 * 1000 / (f[i + 1] - f[i - 1]);
    }
    delay[0] = delay[1];
    delay[N - 1] = delay[N - 2];
}

// The -3 dB point below the level at the top of the grid, 0 where the curve never crosses it.
inline double refF3(const std::vector<double>& f, const std::vector<double>& spl) {
    const int N = static_cast<int>(spl.size());
    const double ref = spl[N - 1] - 3;
    int i = 0;
    while (i < N && spl[i] <= ref)
        ++i;
    if (i == 0 || i == N) return 0.0;
    const double t = (spl[i] - ref) / (spl[i] - spl[i - 1]);
    return (1 - t) * f[i] + t * f[i - 1];
}

inline void refMultipliers(const RefParams& p, double& mZ, double& mU, double& mS) {
    const double n = p.n;
    // {impedance, voltage, source impedance} of connections 2 to 7; 8 (separate sources) is neutral.
    constexpr double kFixed[6][3] = {{1, 0.5, 1},    {1.5, 1.0 / 3, 2.0 / 3}, {2.0 / 3, 0.5, 1.5},
                                     {2, 0.25, 0.5}, {0.5, 0.5, 2},           {1, 1.0 / 3, 1}};
    double z = 1, u = 1, s = 1;
    if (p.connection == 0) z = n, u = 1 / n, s = 1 / n; // series
    if (p.connection == 1) z = 1 / n, s = n;            // parallel
    if (p.connection >= 2 && p.connection <= 7) {
        const double* c = kFixed[p.connection - 2];
        z = c[0], u = c[1], s = c[2];
    }
    const auto pair = [&](int c) {
        if (c == 0) z *= 2, u *= 0.5, s *= 0.5;
        if (c == 1) z *= 0.5, s *= 2;
    };
    if (p.isobaric) pair(p.isobaricConnection);
    if (p.dualCoil) pair(p.coilConnection);
    mZ = z, mU = u, mS = s;
}

// The voice coil's resistance warmed by the drive when coil heating is on.
inline double refHotRe(const RefParams& p, double mU) {
    if (!p.coilHeating || p.Pmax == 0) return p.Re;
    const double u = p.Ug * mU;
    return p.Re * (1 + (u * u / p.Re) / p.Pmax * 230 * 0.0039);
}

// The driver chain at one frequency: `load` is what the cone works into besides its own
// mechanics (the boxes times the drivers, plus the radiation where a face radiates). Gives the
// cone volume velocity and excursion (mm p-p) after both non-linearities, and the shown impedance.
struct RefDriverPoint {
    std::complex<double> U;
    double exc = 0;
    double imp = 0;
    double impPhase = 0;
};

inline RefDriverPoint refDriverChain(const RefParams& p, double w, std::complex<double> load, double reHot,
                                     double mU, double mS, double mZ) {
    using C = std::complex<double>;
    const C j(0, 1);
    C U, zin;
    double exc = 0;
    const auto pass = [&](double cms) {
        const C zam = (p.Rms + j * (w * (p.Mms + p.extraMass) - 1 / (w * cms))) / (p.Sd * p.Sd);
        C za = load + zam;
        if (p.isobaric) za += zam;
        const C z = p.isobaric ? za / 2.0 : za;
        zin = reHot + p.Bl * p.Bl / (p.Sd * p.Sd * z);
        const C current = p.Ug * mU / (zin + p.Rg * mS + j * w * p.Lg * mS);
        C force = p.Bl * current;
        if (p.isobaric) force *= 2.0;
        if (p.dualCoil) force *= 2.0;
        U = force / p.Sd / za;
        exc = std::abs(U / p.Sd) / w * 1000 * 2.828;
    };
    pass(p.Cms);
    if (p.cmsNonlinear && p.Xmax != 0) {
        const double xl = p.Xmax * 0.5 * 1000;
        pass(exc <= xl ? p.Cms : p.Cms / ((exc - xl) / xl + 1));
    }
    const C shown = (zin + j * w * p.Le) * mZ;
    if (p.blNonlinear && p.Xmax != 0 && exc > p.Xmax * 1000) {
        const double k = std::sqrt(p.Xmax * 1000 / exc);
        exc *= k;
        U *= k;
    }
    return {U, exc, std::abs(shown), std::arg(shown) * 180 / 3.141592653589793};
}

inline RefResult referenceModel(const RefParams& p) {
    using C = std::complex<double>;
    const C j(0, 1);
    const int N = p.N;
    RefResult r;
    r.f.resize(N), r.spl.resize(N), r.phase.resize(N), r.delay.resize(N), r.imp.resize(N),
        r.impPhase.resize(N), r.exc.resize(N), r.driverSpl.resize(N), r.portSpl.resize(N),
        r.airSpeed.resize(N);
    std::vector<C> P(N);
    double mZ, mU, mS;
    refMultipliers(p, mZ, mU, mS);
    const double a = std::sqrt(p.Sd * 0.3183098861837697);
    const double step = std::log10(double(p.stop) / double(p.start)) / (N - 1);

    const RefBox box{p.Vb, p.Qb, p.Ql, p.fill};
    const RefPort port{p.L, p.D, p.S, p.flare, p.ports};
    const double reHot = refHotRe(p, mU);

    for (int i = 0; i < N; ++i) {
        const double f = p.start * std::pow(10.0, i * step);
        const double w = f * 6.28318530718;
        r.f[i] = f;
        const double ka = 6.28318530718 * a * f * 0.002901073397156948;
        const C zrad(0.04304 * f * f / (ka * ka + 4), 1.45 * f / a);
        const C zbox = refBoxZ(box, w);
        const C zport = refPortZ(port, w);
        const C zback = p.bassReflex ? 1.0 / (1.0 / zbox + 1.0 / zport) : zbox;

        const RefDriverPoint d = refDriverChain(p, w, double(p.n) * zback + zrad, reHot, mU, mS, mZ);
        C U = d.U;
        double exc = d.exc;
        r.imp[i] = d.imp;
        r.impPhase[i] = d.impPhase;
        r.exc[i] = exc;
        const C K(0, 58999.99999999999);
        const C pcone = K * f * U * double(p.n);
        if (!p.bassReflex) {
            P[i] = pcone;
            continue;
        }
        r.driverSpl[i] = 20 * std::log10(std::abs(pcone));
        C uport = U * zback * double(p.n) / zport;
        double v = std::abs(uport) / (p.S * p.ports);
        if (p.portNonlinear) {
            const double vlim = std::max(1.0, 3 * p.flare) * 5 + 15.3;
            if (v > vlim) {
                const double k = std::sqrt(vlim / v);
                v *= k;
                uport *= k;
            }
        }
        r.airSpeed[i] = v;
        const C pport = K * f * uport;
        r.portSpl[i] = 20 * std::log10(std::abs(pport));
        P[i] = pcone - pport;
    }

    // Measured data on the grid and the splice.
    const bool imported = !p.measured.empty();
    if (imported) {
        const auto& m = p.measured;
        const double deg = 0.005555555555555556 * 3.14159265359;
        std::vector<C> M(N);
        C last;
        for (int i = 0; i < N; ++i) {
            const double f = r.f[i];
            if (f < m.front().f) {
                M[i] = std::polar(std::pow(10.0, 0.05 * m.front().db), m.front().deg * deg);
                continue;
            }
            std::size_t k = 0;
            while (k + 1 < m.size() && !(m[k].f <= f && f < m[k + 1].f))
                ++k;
            if (k + 1 >= m.size()) {
                M[i] = last; // above the file: the last interpolated value
                continue;
            }
            const auto& lo = m[k];
            const auto& hi = m[k + 1];
            const double t = (std::log(f) - std::log(lo.f)) / (std::log(hi.f) - std::log(lo.f));
            const double level = t * hi.db + (1 - t) * lo.db;
            const double ph =
                lo.deg * hi.deg <= 0 ? (t >= 0.5 ? hi.deg : lo.deg) : t * hi.deg + (1 - t) * lo.deg;
            M[i] = last = std::polar(std::pow(10.0, 0.05 * level), ph * deg);
        }
        double scale = std::pow(10.0, p.offsetDb / 20);
        bool first = true;
        for (int i = 0; i < N; ++i) {
            if (r.f[i] < p.transition) {
                const C d(1, -r.f[i] / p.cutoff);
                const C q = d / std::abs(d);
                P[i] *= q * q * q * q;
                continue;
            }
            if (first && p.autoLevel) scale = i > 0 ? std::abs(P[i - 1]) / std::abs(M[i]) : 1.0;
            first = false;
            P[i] = M[i] * scale;
        }
    }

    refSplPhaseDelay(P, r.f, r.spl, r.phase, r.delay);
    if (imported) {
        const std::vector<double> raw = r.delay;
        for (int i = 3; i < N - 3; ++i)
            r.delay[i] = std::min(raw[i], raw[i - 3] + raw[i + 3]);
    }

    r.f3 = refF3(r.f, r.spl);
    return r;
}

} // namespace harlox::test
