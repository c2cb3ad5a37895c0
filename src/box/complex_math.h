#pragma once

#include "core/constants.h"

#include <array>
#include <cmath>
#include <cstddef>

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

// 20·log10|z| from the squared magnitude, without the square root; the natural logarithm
// is several times faster than log10 in the C library.
inline double levelDb(const Complex& z) {
    return 4.3429448190325182 * std::log(squaredMagnitude(z));
}

namespace detail {
// atan(k/16) for k = 0 .. 16.
inline const std::array<double, 17> kAtanSixteenths = [] {
    std::array<double, 17> t{};
    for (std::size_t k = 0; k < t.size(); ++k)
        t[k] = std::atan(static_cast<double>(k) / 16.0);
    return t;
}();

// atan(a) for 0 <= a <= 1: the nearest table point c, then the series of
// atan((a - c) / (1 + a c)), whose argument is below 1/32.
inline double atanUnit(double a) {
    const int k = static_cast<int>(a * 16.0 + 0.5);
    const double c = k * 0.0625;
    const double t = (a - c) / (1.0 + a * c);
    const double t2 = t * t;
    const double p =
        t2 * (-1.0 / 3.0 + t2 * (1.0 / 5.0 + t2 * (-1.0 / 7.0 + t2 * (1.0 / 9.0 + t2 * (-1.0 / 11.0)))));
    return kAtanSixteenths[static_cast<std::size_t>(k)] + (t + t * p);
}
} // namespace detail

// atan2(y, x) within a few ulp of the library's; zeros, infinities and NaN go to the library.
inline double fastAtan2(double y, double x) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    if (!(ax > 0.0 || ay > 0.0) || !std::isfinite(ax) || !std::isfinite(ay)) return std::atan2(y, x);
    double r = ay > ax ? kPiExact / 2.0 - detail::atanUnit(ax / ay) : detail::atanUnit(ay / ax);
    if (std::signbit(x)) r = kPiExact - r;
    return std::signbit(y) ? -r : r;
}

// The phase of z in degrees.
inline double phaseDegrees(const Complex& z) {
    return fastAtan2(z.imag(), z.real()) * 57.29577951307855;
}

} // namespace harlox
