#include "driver/ts_fit.h"

#include "core/format.h"
#include "core/measured_file.h"
#include "driver/unit_completion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

namespace harlox {

namespace {

constexpr double kLn10Over20 = 2.302585092994046 / 20.0;
constexpr int kMaxParams = 7;
constexpr double kPhaseWeight = 1.0;

std::string fileName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? path : name;
}

std::string hz(double f) {
    return strprintf("%.2f", f);
}

// Parameter vector <-> model. Everything but the exponent is fitted as a logarithm, so the
// values stay positive and the steps scale with them.
TsImpedanceModel decode(const std::array<double, kMaxParams>& p, bool semi) {
    TsImpedanceModel m;
    m.Re = std::exp(p[0]);
    m.fs = std::exp(p[1]);
    m.Qms = std::exp(p[2]);
    m.Qes = std::exp(p[3]);
    m.Le = std::exp(p[4]);
    if (semi) {
        m.K = std::exp(p[5]);
        m.n = std::clamp(p[6], 0.0, 1.0);
    }
    return m;
}

std::array<double, kMaxParams> encode(const TsImpedanceModel& m, bool semi) {
    std::array<double, kMaxParams> p{};
    p[0] = std::log(m.Re);
    p[1] = std::log(m.fs);
    p[2] = std::log(m.Qms);
    p[3] = std::log(m.Qes);
    p[4] = std::log(std::max(m.Le, 1e-9));
    if (semi) {
        p[5] = std::log(m.K);
        p[6] = m.n;
    }
    return p;
}

double wrapPhase(double x) {
    while (x > kPiExact)
        x -= 2.0 * kPiExact;
    while (x < -kPiExact)
        x += 2.0 * kPiExact;
    return x;
}

// Residuals: log|Z| at every point, then the phase where the file has one. A model that
// does not evaluate to a finite impedance gets a huge cost so the step is refused.
double residuals(const TsFitCurve& c, const TsImpedanceModel& m, std::vector<double>& r) {
    const std::size_t n = c.f.size();
    r.assign(c.hasPhase ? 2 * n : n, 0.0);
    double cost = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const Complex z = m.impedance(c.f[i]);
        const double a = std::abs(z);
        if (!std::isfinite(a) || a <= 0.0) return 1e300;
        r[i] = std::log(a) - std::log(std::abs(c.z[i]));
        if (c.hasPhase) r[n + i] = kPhaseWeight * wrapPhase(std::arg(z) - std::arg(c.z[i]));
    }
    for (double v : r)
        cost += v * v;
    return std::isfinite(cost) ? cost : 1e300;
}

double magnitudeRmsDb(const TsFitCurve& c, const TsImpedanceModel& m) {
    double sum = 0.0;
    for (std::size_t i = 0; i < c.f.size(); ++i) {
        const double d = std::log(std::abs(m.impedance(c.f[i]))) - std::log(std::abs(c.z[i]));
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(c.f.size())) / kLn10Over20;
}

// Solves a x = b in place (Gaussian elimination, partial pivoting). False when singular.
bool solve(std::array<std::array<double, kMaxParams>, kMaxParams>& a, std::array<double, kMaxParams>& b,
           int n) {
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (!(std::fabs(a[pivot][c]) > 1e-300)) return false;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (int r = c + 1; r < n; ++r) {
            const double k = a[r][c] / a[c][c];
            for (int j = c; j < n; ++j)
                a[r][j] -= k * a[c][j];
            b[r] -= k * b[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        double s = b[c];
        for (int j = c + 1; j < n; ++j)
            s -= a[c][j] * b[j];
        b[c] = s / a[c][c];
    }
    return true;
}

// Levenberg-Marquardt with a forward-difference Jacobian; 5 or 7 parameters, a few hundred
// points, so the plain normal equations are good enough.
TsImpedanceModel levenbergMarquardt(const TsFitCurve& c, const TsImpedanceModel& start, bool semi) {
    const int np = semi ? 7 : 5;
    std::array<double, kMaxParams> p = encode(start, semi);
    std::vector<double> r;
    std::vector<double> trial;
    double cost = residuals(c, decode(p, semi), r);
    std::vector<std::vector<double>> jac(static_cast<std::size_t>(np));
    double lambda = 1e-3;
    for (int iter = 0; iter < 400; ++iter) {
        for (int j = 0; j < np; ++j) {
            auto q = p;
            const double h = 1e-7 * std::max(1.0, std::fabs(p[j]));
            q[j] += h;
            residuals(c, decode(q, semi), trial);
            auto& col = jac[static_cast<std::size_t>(j)];
            col.resize(r.size());
            for (std::size_t i = 0; i < r.size(); ++i)
                col[i] = (trial.size() == r.size()) ? (trial[i] - r[i]) / h : 0.0;
        }
        std::array<std::array<double, kMaxParams>, kMaxParams> jtj{};
        std::array<double, kMaxParams> jtr{};
        for (int a = 0; a < np; ++a) {
            const auto& ca = jac[static_cast<std::size_t>(a)];
            for (std::size_t i = 0; i < r.size(); ++i)
                jtr[a] += ca[i] * r[i];
            for (int b = a; b < np; ++b) {
                const auto& cb = jac[static_cast<std::size_t>(b)];
                double s = 0.0;
                for (std::size_t i = 0; i < r.size(); ++i)
                    s += ca[i] * cb[i];
                jtj[a][b] = jtj[b][a] = s;
            }
        }
        bool improved = false;
        double newCost = cost;
        while (lambda < 1e12) {
            auto a = jtj;
            std::array<double, kMaxParams> step{};
            for (int k = 0; k < np; ++k) {
                a[k][k] += lambda * std::max(jtj[k][k], 1e-12);
                step[k] = -jtr[k];
            }
            if (solve(a, step, np)) {
                auto q = p;
                for (int k = 0; k < np; ++k)
                    q[k] += step[k];
                std::vector<double> rq;
                newCost = residuals(c, decode(q, semi), rq);
                if (newCost < cost) {
                    p = q;
                    r.swap(rq);
                    lambda = std::max(lambda / 3.0, 1e-12);
                    improved = true;
                    break;
                }
            }
            lambda *= 4.0;
        }
        if (!improved) break;
        const double gain = cost - newCost;
        cost = newCost;
        if (gain <= 1e-15 * std::max(cost, 1e-300) || cost < 1e-24) break;
    }
    return decode(p, semi);
}

// Linear interpolation of the frequency where |Z| crosses `level` between points i and i+1.
double crossing(const TsFitCurve& c, std::size_t i, double level) {
    const double a = std::abs(c.z[i]);
    const double b = std::abs(c.z[i + 1]);
    const double t = b != a ? (level - a) / (b - a) : 0.0;
    return std::exp(std::log(c.f[i]) + std::clamp(t, 0.0, 1.0) * (std::log(c.f[i + 1]) - std::log(c.f[i])));
}

} // namespace

Complex TsImpedanceModel::impedance(double f) const {
    const double w = kTwoPi * f;
    const double res = Re * Qms / Qes;
    Complex z(Re, w * Le);
    z += res / Complex(1.0, Qms * (f / fs - fs / f));
    // K(jw)^n = K w^n e^(j n pi/2)
    if (K > 0.0) z += std::polar(K * std::pow(w, n), n * kPiExact * 0.5);
    return z;
}

std::vector<double> TTsFit::modelMagnitude(const TsImpedanceModel& m, const std::vector<double>& f) {
    std::vector<double> out(f.size());
    for (std::size_t i = 0; i < f.size(); ++i)
        out[i] = std::abs(m.impedance(f[i]));
    return out;
}

bool TTsFit::readCurve(const std::string& path, TsFitCurve& out, std::string& error) {
    out = TsFitCurve{};
    out.path = path;
    const std::string name = fileName(path);
    if (path.empty()) {
        error = "No impedance file is given.";
        return false;
    }
    // A first pass over the whole file finds its frequency range.
    const std::array<double, 2> wide{1e-6, 1e9};
    std::array<Complex, 2> probe{};
    MeasuredReadRequest request;
    request.kind = MeasuredKind::Impedance;
    request.grid = {wide.data(), nullptr, 2};
    const MeasuredReadReport first = readMeasuredCurve(path, request, probe.data());
    if (first.result == MeasuredReadResult::CannotOpen) {
        error = measuredOpenFailureText(path);
        return false;
    }
    if (measuredLooksBinary(first)) {
        error = measuredBinaryText(name);
        return false;
    }
    if (first.result != MeasuredReadResult::Loaded) {
        error = measuredNoDataText(name, first, wide[0]);
        return false;
    }
    const MeasuredColumns columns = measuredColumns(first);
    if (columns == MeasuredColumns::PhaseOnly || columns == MeasuredColumns::FrequencyOnly) {
        error = measuredColumnsText(name, columns);
        return false;
    }
    const double lo = first.lowestFrequency;
    const double hi = first.highestFrequency;
    if (first.dataLines < 10 || !(hi > lo * 2.0)) {
        error = "The file " + name + " holds too few impedance points for a fit (" +
                std::to_string(first.dataLines) + " lines from " + hz(lo) + " to " + hz(hi) + " Hz).";
        return false;
    }

    const int n = kGridPoints;
    out.f.resize(static_cast<std::size_t>(n));
    out.z.resize(static_cast<std::size_t>(n));
    const double step = std::log(hi / lo) / (n - 1);
    for (int i = 0; i < n; ++i)
        out.f[static_cast<std::size_t>(i)] = lo * std::exp(step * i);
    out.f.back() = hi;
    request.grid = {out.f.data(), nullptr, n};
    const MeasuredReadReport second = readMeasuredCurve(path, request, out.z.data());
    if (second.result != MeasuredReadResult::Loaded) {
        error = measuredNoDataText(name, second, lo);
        return false;
    }
    for (const Complex& z : out.z) {
        if (!(std::abs(z) > 0.0) || !std::isfinite(std::abs(z))) {
            error = "The file " + name + " holds an impedance of 0 ohm or below, or one too large to use.";
            return false;
        }
    }
    out.hasPhase = columns == MeasuredColumns::Full;
    return true;
}

bool TTsFit::fitCurve(const TsFitCurve& c, TsCurveFit& out, std::string& error) {
    out = TsCurveFit{};
    const std::string name = fileName(c.path);
    const std::size_t n = c.f.size();
    if (n < 10) {
        error = "The file " + name + " holds too few impedance points for a fit.";
        return false;
    }
    std::vector<double> mag(n);
    for (std::size_t i = 0; i < n; ++i)
        mag[i] = std::abs(c.z[i]);

    // The resonance: the highest interior maximum that stands clearly above the curve on
    // both sides (the rise of the coil inductance at the top end is no peak).
    constexpr std::size_t kSpan = 5;
    std::size_t peak = 0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const std::size_t a = i > kSpan ? i - kSpan : 0;
        const std::size_t b = std::min(n - 1, i + kSpan);
        if (*std::max_element(mag.begin() + static_cast<long>(a), mag.begin() + static_cast<long>(b) + 1) >
            mag[i])
            continue;
        const double before = *std::min_element(mag.begin(), mag.begin() + static_cast<long>(i));
        const double after = *std::min_element(mag.begin() + static_cast<long>(i) + 1, mag.end());
        if (before * 1.05 > mag[i] || after * 1.1 > mag[i]) continue;
        if (peak == 0 || mag[i] > mag[peak]) peak = i;
    }
    if (peak == 0) {
        error = "The file " + name + " shows no impedance peak between " + hz(c.f.front()) + " and " +
                hz(c.f.back()) + " Hz, so there is no resonance to fit.";
        return false;
    }

    TsImpedanceModel start;
    const double zmax = mag[peak];
    start.fs = c.f[peak];
    start.Re = 0.95 * *std::min_element(mag.begin(), mag.end());
    const double r0 = zmax / start.Re;
    const double level = std::sqrt(zmax * start.Re);
    double f1 = 0.0;
    double f2 = 0.0;
    for (std::size_t i = peak; i > 0; --i) {
        if (mag[i - 1] < level) {
            f1 = crossing(c, i - 1, level);
            break;
        }
    }
    for (std::size_t i = peak; i + 1 < n; ++i) {
        if (mag[i + 1] < level) {
            f2 = crossing(c, i, level);
            break;
        }
    }
    start.Qms = f1 > 0.0 && f2 > f1 ? start.fs * std::sqrt(r0) / (f2 - f1) : 5.0;
    start.Qes = start.Qms / std::max(r0 - 1.0, 0.05);
    const double wTop = kTwoPi * c.f.back();
    const double top = mag.back();
    start.Le = std::max(std::sqrt(std::max(top * top - start.Re * start.Re, 0.0)) / wTop, 1e-7);

    TsImpedanceModel plain = levenbergMarquardt(c, start, false);
    const double plainRms = magnitudeRmsDb(c, plain);
    out.model = plain;
    out.plain = plain;
    out.rmsDb = plainRms;
    out.plainRmsDb = plainRms;

    if (plainRms > kSemiThresholdDb) {
        for (double exponent : {0.5, 0.7}) {
            TsImpedanceModel s = plain;
            s.Le = 0.5 * plain.Le;
            s.n = exponent;
            s.K = std::max(0.5 * plain.Le * wTop / std::pow(wTop, exponent), 1e-9);
            s = levenbergMarquardt(c, s, true);
            const double rms = magnitudeRmsDb(c, s);
            if (std::isfinite(rms) && rms < out.rmsDb && rms < kSemiGain * plainRms) {
                out.model = s;
                out.rmsDb = rms;
            }
        }
    }

    const TsImpedanceModel& m = out.model;
    const bool finite = std::isfinite(m.Re) && std::isfinite(m.fs) && std::isfinite(m.Qms) &&
                        std::isfinite(m.Qes) && std::isfinite(m.Le) && std::isfinite(m.K) &&
                        std::isfinite(out.rmsDb);
    if (!finite || m.fs < c.f.front() || m.fs > c.f.back()) {
        error = "The fit of " + name + " did not settle on a resonance inside the measured range.";
        return false;
    }
    return true;
}

bool TTsFit::fail(std::string text) {
    ok_ = false;
    message_ = std::move(text);
    return false;
}

bool TTsFit::run(const Input& in) {
    ok_ = false;
    message_.clear();
    unit_.Clear();
    if (!(in.Sd > 0.0) || !std::isfinite(in.Sd)) return fail("Sd must be a positive area.");
    if (in.method == Method::AddedMass && (!(in.addedMass > 0.0) || !std::isfinite(in.addedMass)))
        return fail("The added mass must be positive.");
    if (in.method == Method::TestBox && (!(in.boxVolume > 0.0) || !std::isfinite(in.boxVolume)))
        return fail("The test box volume must be positive.");
    if (in.secondPath.empty())
        return fail(in.method == Method::AddedMass ? "No impedance file with the added mass is given."
                                                   : "No impedance file in the test box is given.");

    std::string error;
    if (!readCurve(in.freePath, free_, error) || !fitCurve(free_, freeFit_, error)) return fail(error);
    if (!readCurve(in.secondPath, second_, error) || !fitCurve(second_, secondFit_, error))
        return fail(error);

    const TsImpedanceModel& fr = freeFit_.model;
    const TsImpedanceModel& sc = secondFit_.model;
    const std::string freeName = fileName(in.freePath);
    const std::string secondName = fileName(in.secondPath);
    double Mms = 0.0;
    double Cms = 0.0;
    if (in.method == Method::AddedMass) {
        if (sc.fs >= fr.fs)
            return fail("The resonance of " + secondName + " (" + hz(sc.fs) +
                        " Hz) is not below the free-air one of " + freeName + " (" + hz(fr.fs) +
                        " Hz): the added mass must lower it.");
        const double ratio = fr.fs / sc.fs;
        Mms = in.addedMass / (ratio * ratio - 1.0);
        Cms = 1.0 / (kFourPiSquared * fr.fs * fr.fs * Mms);
    } else {
        if (sc.fs <= fr.fs)
            return fail("The resonance of " + secondName + " (" + hz(sc.fs) +
                        " Hz) is not above the free-air one of " + freeName + " (" + hz(fr.fs) +
                        " Hz): the test box must raise it.");
        // The box's compliance as the box models have it; the unit's Vas then follows from
        // Cms by the unit editor's relation, so the unit loaded into that box gives back the
        // measured curve.
        const double boxCompliance = in.boxVolume * kInvRhoC2;
        Cms = boxCompliance * ((sc.fs * sc.Qes) / (fr.fs * fr.Qes) - 1.0) / (in.Sd * in.Sd);
        Mms = 1.0 / (kFourPiSquared * fr.fs * fr.fs * Cms);
    }
    if (!(Cms > 0.0) || !(Mms > 0.0) || !std::isfinite(Cms) || !std::isfinite(Mms))
        return fail("The curves of " + freeName + " and " + secondName + " give no positive moving mass.");

    TSpkData& u = unit_;
    u.Re = fr.Re;
    u.Le = freeFit_.plain.Le;
    u.fs = fr.fs;
    u.Qms = fr.Qms;
    u.Qes = fr.Qes;
    u.Qts = 1.0 / (1.0 / fr.Qms + 1.0 / fr.Qes);
    u.Mms = Mms;
    u.Cms = Cms;
    TUnitCompletion::setSd(u, in.Sd);
    u.Vas = kRhoC2Editor * in.Sd * in.Sd * Cms;
    TUnitCompletion::calcMissingFields(u);
    u.updateDerived();
    u.setNote(in.method == Method::AddedMass
                  ? "Fitted from " + freeName + " and " + secondName + " (added mass)"
                  : "Fitted from " + freeName + " and " + secondName + " (test box)");
    for (UnitField field : allUnitFields()) {
        if (!std::isfinite(unitFieldValue(u, field))) {
            unit_.Clear();
            return fail("The fit of " + freeName + " gave a value that is not a number.");
        }
    }
    ok_ = true;
    return true;
}

} // namespace harlox
