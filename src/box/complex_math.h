#pragma once

#include "core/constants.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace harlox {

// Arithmetic for the per-frequency loops of the box models. The library's complex division
// and magnitude rescale to survive overflow, and its atan2 and log10 are correctly rounded;
// together they cost several times the arithmetic itself. Impedances, velocities and
// pressures stay many decades away from the limits, and a few ulp are far below anything
// shown, so these plain forms are used instead.

inline double squaredMagnitude(const Complex& z) {
    return z.real() * z.real() + z.imag() * z.imag();
}

inline double magnitude(const Complex& z) {
    return std::sqrt(squaredMagnitude(z));
}

inline Complex multiply(const Complex& x, const Complex& y) {
    return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

inline Complex divide(const Complex& x, const Complex& y) {
    const double d = 1.0 / squaredMagnitude(y);
    return {(x.real() * y.real() + x.imag() * y.imag()) * d, (x.imag() * y.real() - x.real() * y.imag()) * d};
}

namespace detail {
struct LogTable {
    std::array<double, 256> inverse{}; // close to 1 / (1 + (k + 0.5) / 256)
    std::array<double, 256> log{};     // -log(inverse[k]), of the rounded inverse itself
};

inline const LogTable kLogTable = [] {
    LogTable t;
    for (std::size_t k = 0; k < 256; ++k) {
        t.inverse[k] = 1.0 / (1.0 + (static_cast<double>(k) + 0.5) / 256.0);
        t.log[k] = -std::log(t.inverse[k]);
    }
    return t;
}();
} // namespace detail

// ln x for the per-point levels: x = 2^e · m, m scaled by a table entry to 1 + r with
// |r| < 1/512, and log1p(r) by its series, where eight terms reach the last bit. Within a few
// ulp of the library's, inline and without its call; zero, subnormals, infinities, NaN and
// negatives go to the library.
inline double fastLog(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const auto exponent = static_cast<int>(bits >> 52);
    if (exponent == 0 || exponent >= 0x7FF) return std::log(x);
    const auto k = static_cast<std::size_t>((bits >> 44) & 0xFF);
    const double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const double r = m * detail::kLogTable.inverse[k] - 1.0;
    const double r2 = r * r;
    // r - r²/2 + r³/3 - ... - r⁸/8, in halves that do not wait for each other.
    const double low = r2 * (-0.5 + r * (1.0 / 3.0));
    const double high = (r2 * r2) * ((-0.25 + r * 0.2) + r2 * (-1.0 / 6.0 + r * (1.0 / 7.0) - r2 * 0.125));
    return (exponent - 1023) * 0.69314718055994530942 + detail::kLogTable.log[k] + (r + (low + high));
}

// 20·log10|z| from the squared magnitude, without the square root.
inline double levelDb(const Complex& z) {
    return 4.3429448190325182 * fastLog(squaredMagnitude(z));
}

// The levels of a curve, 0 where the pressure is exactly zero (nothing to show). A loop of
// its own, so the logarithms of neighbouring points overlap.
inline void fillLevels(const Complex* p, double* level, int count) {
    for (int i = 0; i < count; ++i)
        level[i] = p[i] == Complex(0.0, 0.0) ? 0.0 : levelDb(p[i]);
}

namespace detail {
// atan(k/64) for k = 0 .. 64.
inline const std::array<double, 65> kAtanTable = [] {
    std::array<double, 65> t{};
    for (std::size_t k = 0; k < t.size(); ++k)
        t[k] = std::atan(static_cast<double>(k) / 64.0);
    return t;
}();

// atan(a) for a = y / x in [0, 1]: the nearest table point c, then the series of atan(t) with
// t = (a - c) / (1 + a c) = (y - c x) / (x + c y), |t| <= 1/128, where four terms reach the
// last bit. The series is evaluated in two halves so the additions do not queue.
inline double atanUnit(double a, double y, double x) {
    const int k = static_cast<int>(a * 64.0 + 0.5);
    const double c = k * 0.015625;
    const double t = (y - c * x) / (x + c * y);
    const double t2 = t * t;
    const double p = (-1.0 / 3.0 + t2 * (1.0 / 5.0)) + (t2 * t2) * (-1.0 / 7.0);
    return kAtanTable[static_cast<std::size_t>(k)] + (t + (t * t2) * p);
}
} // namespace detail

// atan2(y, x) within a few ulp of the library's; zeros, infinities and NaN go to the library.
inline double fastAtan2(double y, double x) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    if (!(ax > 0.0 || ay > 0.0) || !std::isfinite(ax) || !std::isfinite(ay)) return std::atan2(y, x);
    double r =
        ay > ax ? kPiExact / 2.0 - detail::atanUnit(ax / ay, ax, ay) : detail::atanUnit(ay / ax, ay, ax);
    if (std::signbit(x)) r = kPiExact - r;
    return std::signbit(y) ? -r : r;
}

// The phase of z in degrees.
inline double phaseDegrees(const Complex& z) {
    return fastAtan2(z.imag(), z.real()) * 57.29577951307855;
}

} // namespace harlox
