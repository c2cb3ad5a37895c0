#include "box/complex_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace harlox {
namespace {

TEST(ComplexMath, FastAtan2StaysWithinAFewUlpOfTheLibrary) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_real_distribution<double> exponent(-12.0, 12.0);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double y = mantissa(rng) * std::pow(10.0, exponent(rng));
        const double x = mantissa(rng) * std::pow(10.0, exponent(rng));
        worst = std::max(worst, std::abs(fastAtan2(y, x) - std::atan2(y, x)));
    }
    EXPECT_LE(worst, 1e-15);
    // Around every table point and every octant boundary.
    for (int k = -40; k <= 40; ++k) {
        for (const double e : {-1e-9, 0.0, 1e-9}) {
            const double a = k / 16.0 + e;
            for (const double sx : {1.0, -1.0}) {
                EXPECT_NEAR(fastAtan2(a, sx), std::atan2(a, sx), 1e-15) << a << " " << sx;
                EXPECT_NEAR(fastAtan2(sx, a), std::atan2(sx, a), 1e-15) << sx << " " << a;
            }
        }
    }
}

TEST(ComplexMath, FastAtan2HandlesAxesZerosAndNonFiniteValuesAsTheLibrary) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double y : {0.0, -0.0, 1.0, -1.0, 3.5, -2e300, inf, -inf}) {
        for (const double x : {0.0, -0.0, 1.0, -1.0, 4e-300, -7.0, inf, -inf}) {
            const double want = std::atan2(y, x);
            const double got = fastAtan2(y, x);
            EXPECT_EQ(std::signbit(got), std::signbit(want)) << y << " " << x;
            EXPECT_NEAR(got, want, 1e-15) << y << " " << x;
            if (y == 0.0 || std::isinf(x) || std::isinf(y)) {
                EXPECT_EQ(got, want) << y << " " << x;
            }
        }
    }
    EXPECT_TRUE(std::isnan(fastAtan2(std::nan(""), 1.0)));
    // Degrees with the program's own factor 57.29577951307855 (not quite 180/pi).
    EXPECT_EQ(phaseDegrees(Complex(-1.0, 0.0)), kPiExact * 57.29577951307855);
    EXPECT_EQ(phaseDegrees(Complex(-1.0, -0.0)), -kPiExact * 57.29577951307855);
    EXPECT_NEAR(phaseDegrees(Complex(0.0, 2.0)), kPiExact / 2 * 57.29577951307855, 1e-13);
}

TEST(ComplexMath, ArithmeticMatchesTheLibrary) {
    const Complex values[] = {{3.0, -4.0}, {1e-7, 2e5}, {-6.1e3, 0.25}, {0.0, 1.0}};
    for (const Complex& x : values) {
        for (const Complex& y : values) {
            const Complex q = divide(x, y);
            const Complex want = x / y;
            EXPECT_LE(std::abs(q - want), 1e-15 * std::abs(want));
            EXPECT_LE(std::abs(multiply(x, y) - x * y), 1e-15 * std::abs(x * y));
        }
        EXPECT_NEAR(magnitude(x), std::abs(x), 1e-15 * std::abs(x));
        EXPECT_NEAR(levelDb(x), 20.0 * std::log10(std::abs(x)), 1e-12);
    }
}

} // namespace
} // namespace harlox
