#pragma once

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>

namespace harlox {

// log10 of a positive normal x within two ulps of the library's (relative error below
// 3e-16, also next to 1), without its calls and rounding-mode switches and with no
// branches, so that a row vectorises. x = 2^k m with m in [sqrt(2)/2, sqrt(2)); log(m)
// by the classic atanh series in s = f / (2 + f), f = m - 1, carried as hi + lo so that
// the conversion to base 10 and the adding of k log10(2) keep their precision.
inline double log10Normal(double x) {
    constexpr double kIvln10Hi = 4.34294481878168880939e-01;
    constexpr double kIvln10Lo = 2.50829467116452752298e-11;
    constexpr double kLog10Of2Hi = 3.01029995663611771306e-01;
    constexpr double kLog10Of2Lo = 3.69423907715893078616e-13;
    constexpr double kLg1 = 6.666666666666735130e-01, kLg2 = 3.999999999940941908e-01,
                     kLg3 = 2.857142874366239149e-01, kLg4 = 2.222219843214978396e-01,
                     kLg5 = 1.818357216161805012e-01, kLg6 = 1.531383769920937332e-01,
                     kLg7 = 1.479819860511658591e-01;
    auto bits = std::bit_cast<std::uint64_t>(x);
    // Shifting the high word by the mantissa of sqrt(2)/2 puts the exponent step there.
    std::uint64_t hx = (bits >> 32) + (0x3ff00000 - 0x3fe6a09e);
    const auto k = static_cast<std::int32_t>(hx >> 20) - 0x3ff;
    hx = (hx & 0x000fffff) + 0x3fe6a09e;
    bits = (hx << 32) | (bits & 0xffffffffu);
    const double f = std::bit_cast<double>(bits) - 1.0;
    const double hfsq = 0.5 * f * f;
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double w = z * z;
    const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
    const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
    const double r = t2 + t1;
    // hi keeps the upper half of the mantissa only, so hi * kIvln10Hi is exact.
    const double hi = std::bit_cast<double>(std::bit_cast<std::uint64_t>(f - hfsq) & 0xffffffff00000000u);
    const double lo = f - hi - hfsq + s * (hfsq + r);
    const double dk = k;
    const double y = dk * kLog10Of2Hi;
    const double valHi = hi * kIvln10Hi;
    double valLo = dk * kLog10Of2Lo + (lo + hi) * kIvln10Lo + lo * kIvln10Hi;
    const double sum = y + valHi;
    valLo += (y - sum) + valHi;
    return valLo + sum;
}

// log10 of any double: log10Normal for positive normal x, the library for the rest.
inline double log10Any(double x) {
    constexpr double kSmallestNormal = 2.2250738585072014e-308;
    constexpr double kLargest = 1.7976931348623157e308;
    return x >= kSmallestNormal && x <= kLargest ? log10Normal(x) : std::log10(x);
}

// 20 log10 |z| of a row as 10 log10 |z|^2 where the square can neither over- nor
// underflow: that saves the hypot and differs by a few 1e-15 dB at most. When every
// square is in range (the usual case) one pass without branches does them all.
inline void levelsDb(const std::complex<double>* z, double* level, int n) {
    constexpr double kSquareMin = 1e-290;
    constexpr double kSquareMax = 1e290;
    bool inRange = true;
    for (int i = 0; i < n; ++i) {
        const double sq = z[i].real() * z[i].real() + z[i].imag() * z[i].imag();
        level[i] = sq;
        inRange &= sq > kSquareMin && sq < kSquareMax;
    }
    if (inRange) {
        for (int i = 0; i < n; ++i) level[i] = 10.0 * log10Normal(level[i]);
        return;
    }
    for (int i = 0; i < n; ++i) {
        const double sq = level[i];
        level[i] = sq > kSquareMin && sq < kSquareMax ? 10.0 * log10Normal(sq) : 20.0 * log10Any(std::abs(z[i]));
    }
}

// 20 log10 of a row of magnitudes, in place, as accurate relative to the library as
// log10Normal. When all are positive normal numbers (the usual case) one pass without
// branches does them all.
inline void magnitudesToDb(double* m, int n) {
    constexpr double kSmallestNormal = 2.2250738585072014e-308;
    constexpr double kLargest = 1.7976931348623157e308;
    bool normal = true;
    for (int i = 0; i < n; ++i) normal &= m[i] >= kSmallestNormal && m[i] <= kLargest;
    if (normal)
        for (int i = 0; i < n; ++i) m[i] = 20.0 * log10Normal(m[i]);
    else
        for (int i = 0; i < n; ++i) m[i] = 20.0 * log10Any(m[i]);
}

} // namespace harlox
