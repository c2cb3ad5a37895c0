#include "filter/general.h"

#include "core/binary_io.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>

namespace harlox {

namespace {

constexpr int kMaxAngle = 180;

bool isPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// sin and cos of one angle to within an ulp or two of the library's, for the per-point
// phase of the off-axis model: a few hundred thousand per recalculation, where the library
// calls would dominate. Cody-Waite reduction by pi/2 in three parts (exact while the
// multiple stays below 2^20, far beyond any path delay in a cabinet), then the classic
// minimax kernels on [-pi/4, pi/4]. Only for |phi| < 1e6; sinCos below guards the rest.
// No branches, so that a row of them vectorises: the quadrant's swap and signs are bit
// operations on the kernels' results.
inline void sinCosReduced(double phi, double& s, double& c) {
    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPio2a = 1.57079632673412561417e+00;
    constexpr double kPio2b = 6.07710050630396597660e-11;
    constexpr double kPio2c = 2.02226624871116645580e-21;
    constexpr double kRound = 6755399441055744.0; // 1.5 * 2^52: adding it rounds to integer
    const double t = phi * kTwoOverPi + kRound;
    const double k = t - kRound;
    const double r = ((phi - k * kPio2a) - k * kPio2b) - k * kPio2c;
    const double z = r * r;
    const double sr = r + r * z * (-1.66666666666666324348e-01
        + z * (8.33333333332248946124e-03 + z * (-1.98412698298579493134e-04
        + z * (2.75573137070700676789e-06 + z * (-2.50507602534068634195e-08
        + z * 1.58969099521155010221e-10)))));
    const double cr = 1.0 - 0.5 * z + z * z * (4.16666666666666019037e-02
        + z * (-1.38888888888741095749e-03 + z * (2.48015872894767294178e-05
        + z * (-2.75573143513906633035e-07 + z * (2.08757232129817482790e-09
        + z * -1.13596475577881948265e-11)))));
    // t is 1.5 * 2^52 + k exactly, so its low mantissa bits are k modulo 4: the quadrant.
    const auto q = std::bit_cast<std::uint64_t>(t);
    const std::uint64_t swap = 0 - (q & 1);
    const auto sb = std::bit_cast<std::uint64_t>(sr);
    const auto cb = std::bit_cast<std::uint64_t>(cr);
    s = std::bit_cast<double>(((sb & ~swap) | (cb & swap)) ^ ((q & 2) << 62));
    c = std::bit_cast<double>(((cb & ~swap) | (sb & swap)) ^ (((q + 1) & 2) << 62));
}

inline void sinCos(double phi, double& s, double& c) {
    if (!(std::fabs(phi) < 1.0e6)) {
        s = std::sin(phi);
        c = std::cos(phi);
        return;
    }
    sinCosReduced(phi, s, c);
}

} // namespace

TGeneral::TGeneral() : frequency_(kPoints), lnFrequency_(kPoints), jw_(kPoints) {
    Reset();
}

double TGeneral::gridFrequency(int i) {
    return 5.0 * std::pow(10.0, i * std::log10(4000.0) / 499.0);
}

void TGeneral::Reset() {
    for (int i = 0; i < kPoints; ++i) {
        const double f = gridFrequency(i);
        frequency_[i] = f;
        lnFrequency_[i] = std::log(f);
        jw_[i] = Complex(0.0, 2.0 * kPiExact * f);
    }
    infinite = 1;
    distance = 1.0;
    lowerFrequency = 20;
    upperFrequency = 20000;
    ifftSize_ = 512;
    ifftLog2_ = 9;
    sampleRate_ = 44100;
    disableIfft = 0;
    surfaceCount_ = 1;
    surface_.fill(0);
    overlayCount_ = 1;
    overlay_.fill(0);
    flip = 0;
    gdAuto = 1;
    impedanceAuto = 1;
    splRange = 30;
    impedanceMax = 30;
    gdMin = -2.0;
    gdMax = 10.0;
    title_.fill('\0');
    hideOnAxis = 0;
    inhibit = 0;
    rebuildTables();
}

std::string_view TGeneral::title() const {
    const auto end = std::find(title_.begin(), title_.end(), '\0');
    return {title_.data(), static_cast<std::size_t>(end - title_.begin())};
}

void TGeneral::setTitle(std::string_view text) {
    title_.fill('\0');
    copyText(title_.data(), kTitleSize, text);
}

bool TGeneral::setIfft(int size, int rate) {
    if (!isPowerOfTwo(size) || size < 2 || size > kMaxIfftSize || rate <= 0) return false;
    ifftSize_ = static_cast<std::int16_t>(size);
    sampleRate_ = rate;
    rebuildTables();
    return true;
}

std::span<const double> TGeneral::ifftFrequencies() const {
    return {ifftFrequencies_.data(), static_cast<std::size_t>(ifftSize_ / 2)};
}

std::span<const Complex> TGeneral::ifftTwiddles() const {
    return {ifftTwiddles_.data(), static_cast<std::size_t>(ifftSize_ / 2)};
}

std::span<const std::int32_t> TGeneral::bitReversal() const {
    return {bitReversal_.data(), static_cast<std::size_t>(ifftSize_)};
}

void TGeneral::rebuildTables() {
    const int n = ifftSize_;
    // The + 0.1 keeps an exact power of two from rounding down to one bit less.
    ifftLog2_ = static_cast<std::int16_t>(std::floor(std::log(double(n)) / std::log(2.0) + 0.1));
    for (int i = 0; i < n / 2; ++i) {
        ifftFrequencies_[static_cast<std::size_t>(i)] = double(sampleRate_) * i / n;
        const double angle = kTwoPi * i / n;
        ifftTwiddles_[static_cast<std::size_t>(i)] = Complex(std::cos(angle), std::sin(angle));
    }
    bitReversal_[0] = 0;
    for (int i = 1; i < n; ++i) {
        int reversed = 0;
        for (int bit = 0; bit < ifftLog2_; ++bit) {
            if (i & (1 << bit)) reversed |= 1 << (ifftLog2_ - 1 - bit);
        }
        bitReversal_[static_cast<std::size_t>(i)] = reversed;
    }
    findMainRay();
}

void TGeneral::findMainRay() {
    mainRay_ = 0;
    for (int k = 0; k < surfaceCount_; ++k) {
        if (surface_[static_cast<std::size_t>(k)] == 0) {
            mainRay_ = static_cast<std::int16_t>(k);
            return;
        }
    }
}

int TGeneral::surfaceIndexOf(int angle) const {
    for (int k = 0; k < surfaceCount_; ++k) {
        if (surface_[static_cast<std::size_t>(k)] == angle) return k;
    }
    return -1;
}

const char* TGeneral::rayEditMessage(RayEdit result, bool overlay) {
    switch (result) {
    case RayEdit::Full:
        return overlay ? "Maximum number of overlay plot rays selected"
                       : "Maximum number of surface plot rays selected";
    case RayEdit::AlreadySelected:
        return "Ray already selected";
    case RayEdit::OnAxis:
        return "Can not remove on axis ray";
    case RayEdit::Changed:
    case RayEdit::Inhibited:
    case RayEdit::NotListed:
        break;
    }
    return nullptr;
}

TGeneral::RayEdit TGeneral::addSurfaceRay(int angle) {
    if (inhibit) return RayEdit::Inhibited;
    if (angle < -kMaxAngle || angle > kMaxAngle) return RayEdit::NotListed;
    if (surfaceCount_ >= kMaxSurfaceRays) return RayEdit::Full;
    if (surfaceIndexOf(angle) >= 0) return RayEdit::AlreadySelected;
    int at = 0;
    while (at < surfaceCount_ && surface_[static_cast<std::size_t>(at)] >= angle) ++at;
    for (int k = surfaceCount_; k > at; --k)
        surface_[static_cast<std::size_t>(k)] = surface_[static_cast<std::size_t>(k - 1)];
    surface_[static_cast<std::size_t>(at)] = static_cast<std::int16_t>(angle);
    ++surfaceCount_;
    findMainRay();
    return RayEdit::Changed;
}

TGeneral::RayEdit TGeneral::removeSurfaceRay(int angle) {
    if (inhibit) return RayEdit::Inhibited;
    const int at = surfaceIndexOf(angle);
    if (at < 0) return RayEdit::NotListed;
    if (surfaceCount_ <= 1 || angle == 0) return RayEdit::OnAxis;
    for (int k = 1; k < overlayCount_; ++k) {
        if (overlay_[static_cast<std::size_t>(k)] == angle) {
            dropOverlayAt(k);
            break;
        }
    }
    for (int k = at; k + 1 < surfaceCount_; ++k)
        surface_[static_cast<std::size_t>(k)] = surface_[static_cast<std::size_t>(k + 1)];
    --surfaceCount_;
    surface_[static_cast<std::size_t>(surfaceCount_)] = 0;
    findMainRay();
    return RayEdit::Changed;
}

TGeneral::RayEdit TGeneral::addOverlayRay(int angle) {
    if (inhibit) return RayEdit::Inhibited;
    if (surfaceIndexOf(angle) < 0) return RayEdit::NotListed;
    for (int k = 0; k < overlayCount_; ++k) {
        if (overlay_[static_cast<std::size_t>(k)] == angle) return RayEdit::AlreadySelected;
    }
    if (overlayCount_ >= kMaxOverlayRays) return RayEdit::Full;
    overlay_[static_cast<std::size_t>(overlayCount_)] = static_cast<std::int16_t>(angle);
    ++overlayCount_;
    return RayEdit::Changed;
}

TGeneral::RayEdit TGeneral::removeOverlayRay(int angle) {
    int at = -1;
    for (int k = 0; k < overlayCount_ && at < 0; ++k) {
        if (overlay_[static_cast<std::size_t>(k)] == angle) at = k;
    }
    if (at < 0) return RayEdit::NotListed;
    // The list never runs empty: the overlaid plot always has a first curve.
    if (angle == 0 || overlayCount_ <= 1) return RayEdit::OnAxis;
    dropOverlayAt(at);
    return RayEdit::Changed;
}

void TGeneral::dropOverlayAt(int at) {
    for (int k = at; k + 1 < overlayCount_; ++k)
        overlay_[static_cast<std::size_t>(k)] = overlay_[static_cast<std::size_t>(k + 1)];
    --overlayCount_;
    overlay_[static_cast<std::size_t>(overlayCount_)] = 0;
}

bool TGeneral::setSurfaceRays(std::span<const int> angles) {
    std::array<std::int16_t, kMaxSurfaceRays> list{};
    int count = 0;
    const auto add = [&](int a) {
        for (int k = 0; k < count; ++k) {
            if (list[static_cast<std::size_t>(k)] == a) return true;
        }
        if (count >= kMaxSurfaceRays) return false;
        list[static_cast<std::size_t>(count++)] = static_cast<std::int16_t>(a);
        return true;
    };
    if (!add(0)) return false;
    for (int a : angles) {
        if (a < -kMaxAngle || a > kMaxAngle || !add(a)) return false;
    }
    std::sort(list.begin(), list.begin() + count, std::greater<>());
    surface_ = list;
    surfaceCount_ = static_cast<std::int16_t>(count);

    // The on-axis ray leads the overlaid plot, followed by the old rays that are still there.
    std::array<std::int16_t, kMaxOverlayRays> overlay{};
    int overlayCount = 1;
    for (int k = 0; k < overlayCount_; ++k) {
        const std::int16_t a = overlay_[static_cast<std::size_t>(k)];
        if (a != 0 && surfaceIndexOf(a) >= 0 && overlayCount < kMaxOverlayRays)
            overlay[static_cast<std::size_t>(overlayCount++)] = a;
    }
    overlay_ = overlay;
    overlayCount_ = static_cast<std::int16_t>(overlayCount);
    findMainRay();
    return true;
}

namespace {

constexpr double kPistonOmni = 0.1;    // below this x the piston radiates evenly
constexpr double kPistonCutoff = 10.0; // from here on the fit is replaced by a floor
constexpr double kPistonFloor = 0.0001;

double pistonX(double f, double b) {
    return kTwoPi * f * b * kInvSpeedOfSound;
}

// |2 J1(x) / x| for 0.1 <= x < 10.
double pistonFit(double x) {
    const double x2 = x * x;
    const double x3 = x2 * x;
    const double x4 = x3 * x;
    const double x5 = x4 * x;
    const double x6 = x5 * x;
    const double x7 = x6 * x;
    const double p = 0.5145569695737198 - 0.0009372764250588446 / x - 0.04323232845879938 * x
                     - 0.01114776570548265 * x2 - 0.03088107103632868 * x3
                     + 0.01294351468631708 * x4 - 0.00194825958778522 * x5
                     + 0.0001297416684277242 * x6 - 0.000003243294897905338 * x7;
    return std::fabs(2.0 * p);
}

// The off-axis loops get an AVX2 variant picked at load time where the compiler and the
// platform support it. AVX2 alone brings no fused multiply-add, so both variants round
// exactly alike.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define HARLOX_OFF_AXIS_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HARLOX_OFF_AXIS_CLONES
#endif

// One factor row over the grid f: directivity of radius b times level, turned by the
// path delay dt.
HARLOX_OFF_AXIS_CLONES
void fillFactor(const double* f, double b, double level, double dt, Complex* out) {
    constexpr int kPoints = TGeneral::kPoints;
    // Directivity times level. x grows with the frequency, so the three pieces of the
    // directivity are three index ranges (found by bisection) and the loops need no branches.
    const double* fEnd = f + kPoints;
    const auto omniEnd = static_cast<int>(
        std::partition_point(f, fEnd, [b](double fi) { return pistonX(fi, b) < kPistonOmni; }) - f);
    const auto fitEnd = static_cast<int>(
        std::partition_point(f + omniEnd, fEnd, [b](double fi) { return !(pistonX(fi, b) >= kPistonCutoff); }) - f);
    for (int i = 0; i < omniEnd; ++i) out[i] = Complex(level, 0.0);
    for (int i = omniEnd; i < fitEnd; ++i) out[i] = Complex(pistonFit(pistonX(f[i], b)) * level, 0.0);
    for (int i = fitEnd; i < kPoints; ++i) out[i] = Complex(kPistonFloor * level, 0.0);

    // No path difference (a driver at the reference on the main ray): e^(j0) = 1.
    if (dt == 0.0) return;
    constexpr double kMinusTwoPi = -2.0 * kPiExact;
    auto rotate = [&](auto sinCosOf) {
        for (int i = 0; i < kPoints; ++i) {
            const double g = out[i].real();
            double sn = 0.0;
            double c = 0.0;
            sinCosOf(kMinusTwoPi * f[i] * dt, sn, c);
            out[i] = Complex(c * g, sn * g);
        }
    };
    // |phase| grows with the frequency: when the last one is in range, all are.
    if (std::fabs(kMinusTwoPi * f[kPoints - 1] * dt) < 1.0e6)
        rotate([](double phi, double& sn, double& c) { sinCosReduced(phi, sn, c); });
    else
        rotate([](double phi, double& sn, double& c) { sinCos(phi, sn, c); });
}

} // namespace

double TGeneral::PistonDirectivity(double f, double b) {
    const double x = pistonX(f, b);
    if (x < kPistonOmni) return 1.0;
    if (x >= kPistonCutoff) return kPistonFloor;
    return pistonFit(x);
}

void TGeneral::OffAxisFactor(double theta, double a, double x, double y, double z,
                             CVector& factor) const {
    if (factor.length() != kPoints) factor.resize(kPoints);
    offAxisFactor(theta, a, x, y, z, factor.data());
}

void TGeneral::OffAxis(const CVector& s, double theta, double a, double x, double y, double z,
                       CVector& result) const {
    if (result.length() != kPoints) result.resize(kPoints);
    std::array<Complex, kPoints> factor;
    offAxisFactor(theta, a, x, y, z, factor.data());
    const Complex* in = s.data();
    Complex* out = result.data();
    const int n = std::min(s.length(), kPoints);
    // The product spelled out: the library's complex product checks every result for NaN,
    // which costs as much as the rest of the loop.
    for (int i = 0; i < n; ++i) {
        const double re = in[i].real();
        const double im = in[i].imag();
        const double c = factor[static_cast<std::size_t>(i)].real();
        const double sn = factor[static_cast<std::size_t>(i)].imag();
        out[i] = Complex(re * c - im * sn, re * sn + im * c);
    }
    for (int i = n; i < kPoints; ++i) out[i] = Complex(0.0, 0.0);
}

void TGeneral::offAxisFactor(double theta, double a, double x, double y, double z,
                             Complex* out) const {
    const double t = theta * kPiExact / 180.0;
    const double sinT = std::sin(t);
    const double cosT = std::cos(t);
    // Delay, piston radius seen along the ray and level factor are the same at every point.
    double dt = 0.0;
    double b = 0.0;
    double level = 1.0;
    if (infinite) {
        dt = (z * cosT - y * sinT) / kPathSpeedOfSound;
        b = a * std::fabs(sinT);
    } else {
        const double Y = y - distance * sinT;
        const double Z = z + distance * cosT;
        // A driver on the listener's ear would make the level infinite.
        const double r = std::max(std::sqrt(x * x + Y * Y + Z * Z), 1e-3);
        const double r0 = std::sqrt(x * x + Y * Y);
        dt = (r - distance) / kPathSpeedOfSound;
        b = a * r0 / r;
        // Pressure falls as 1/r from the source.
        level = 1.0 / r;
    }
    fillFactor(frequency_.data(), b, level, dt, out);
}

bool TGeneral::writeRecord(BinaryWriter& w) const {
    w.u8(infinite, "infinite");
    w.f64(distance, "distance");
    w.i16(surfaceCount_, "surfaceCount");
    for (std::int16_t a : surface_) w.i16(a, "surfaces");
    w.i16(overlayCount_, "overlayCount");
    for (std::int16_t a : overlay_) w.i16(a, "overlays");
    w.i16(lowerFrequency, "lowerFrequency");
    w.i16(upperFrequency, "upperFrequency");
    w.i16(ifftSize_, "ifftSize");
    w.i32(sampleRate_, "sampleRate");
    w.u8(disableIfft, "disableIfft");
    w.u8(gdAuto, "gdAuto");
    w.u8(impedanceAuto, "impedanceAuto");
    w.i16(splRange, "splRange");
    w.i16(impedanceMax, "impedanceMax");
    w.u8(hideOnAxis, "hideOnAxis");
    w.u8(inhibit, "inhibit");
    w.f64(gdMin, "gdMin");
    w.f64(gdMax, "gdMax");
    return w.bytes(title_.data(), kTitleSize, "title");
}

bool TGeneral::readRecord(BinaryReader& r, int fileVersion) {
    // Everything goes to a copy of the fields first, so a failed read changes nothing.
    std::uint8_t inf = infinite;
    double dist = distance;
    std::int16_t sCount = surfaceCount_;
    std::array<std::int16_t, kMaxSurfaceRays> sList = surface_;
    std::int16_t oCount = overlayCount_;
    std::array<std::int16_t, kMaxOverlayRays> oList = overlay_;
    std::int16_t lower = lowerFrequency;
    std::int16_t upper = upperFrequency;
    std::int16_t size = ifftSize_;
    std::int32_t rate = sampleRate_;
    std::uint8_t noIfft = disableIfft;
    std::uint8_t gAuto = gdAuto;
    std::uint8_t zAuto = impedanceAuto;
    std::int16_t range = splRange;
    std::int16_t zMax = impedanceMax;
    std::uint8_t hide = hideOnAxis;
    std::uint8_t inh = inhibit;
    double gMin = gdMin;
    double gMax = gdMax;
    std::array<char, kTitleSize> text = title_;

    if (fileVersion >= kRaysVersion) {
        r.u8(inf);
        r.f64(dist);
        r.i16(sCount);
        for (std::int16_t& a : sList) r.i16(a);
        r.i16(oCount);
        for (std::int16_t& a : oList) r.i16(a);
        r.i16(lower);
        r.i16(upper);
        r.i16(size);
        r.i32(rate);
        if (!r.u8(noIfft)) return false;
    }
    if (fileVersion >= kScalingVersion) {
        r.u8(gAuto);
        r.u8(zAuto);
        r.i16(range);
        r.i16(zMax);
        r.u8(hide);
        r.u8(inh);
        r.f64(gMin);
        r.f64(gMax);
        if (!r.bytes(text.data(), kTitleSize)) return false;
    }
    // Values no dialog can enter would break the tables, the model or a diagram axis.
    if (!(dist > 0.0 && std::isfinite(dist))) return false;
    if (!isPowerOfTwo(size) || size < 2 || size > kMaxIfftSize || rate <= 0) return false;
    if (lower <= 0 || upper <= lower) return false;
    if (range <= 0 || zMax <= 0) return false;
    if (!std::isfinite(gMin) || !std::isfinite(gMax)) return false;

    infinite = inf;
    distance = dist;
    surfaceCount_ = std::clamp<std::int16_t>(sCount, 1, kMaxSurfaceRays);
    surface_ = sList;
    overlayCount_ = std::clamp<std::int16_t>(oCount, 1, kMaxOverlayRays);
    overlay_ = oList;
    lowerFrequency = lower;
    upperFrequency = upper;
    ifftSize_ = size;
    sampleRate_ = rate;
    disableIfft = noIfft;
    gdAuto = gAuto;
    impedanceAuto = zAuto;
    splRange = range;
    impedanceMax = zMax;
    hideOnAxis = hide;
    inhibit = inh;
    gdMin = gMin;
    gdMax = gMax;
    title_ = text;
    // A title without a terminator is cut to 99 characters.
    if (std::find(title_.begin(), title_.end(), '\0') == title_.end()) title_.back() = '\0';
    rebuildTables();
    return true;
}

} // namespace harlox
