#include "box/complex_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace harlox {
namespace {

TEST(ComplexMath, FastHelpersAgreeWithTheLibrary) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_real_distribution<double> exponent(-12.0, 12.0);
    const auto random = [&] { return mantissa(rng) * std::pow(10.0, exponent(rng)); };
    for (int i = 0; i < 200000; ++i) {
        const Complex x(random(), random()), y(random(), random());
        ASSERT_NEAR(fastAtan2(x.imag(), x.real()), std::atan2(x.imag(), x.real()), 1e-15) << x;
        ASSERT_NEAR(levelDb(x), 20.0 * std::log10(std::abs(x)), 1e-12) << x;
        ASSERT_LE(std::abs(divide(x, y) - x / y), 1e-15 * std::abs(x / y)) << x << y;
        ASSERT_LE(std::abs(multiply(x, y) - x * y), 1e-15 * std::abs(x * y)) << x << y;
    }
    // Around every table point and octant boundary, on the axes, zeros and infinities.
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values{0.0, -0.0, 4e-300, -2e300, inf, -inf};
    for (int k = -80; k <= 80; ++k) {
        for (const double e : {-1e-9, 0.0, 1e-9})
            values.push_back(k / 64.0 + e);
    }
    for (const double y : values) {
        for (const double x : values) {
            const double want = std::atan2(y, x);
            EXPECT_EQ(std::signbit(fastAtan2(y, x)), std::signbit(want)) << y << " " << x;
            EXPECT_NEAR(fastAtan2(y, x), want, y == 0.0 || std::isinf(x) || std::isinf(y) ? 0.0 : 1e-15);
        }
    }

    // The log at its table edges and the ends of the exponent range; the rest goes to the library.
    for (int k = 0; k <= 256; ++k) {
        for (const int e : {-1022, -1, 0, 1, 1023}) {
            const double x = std::ldexp(1.0 + k / 256.0, e);
            for (const double v : {std::nextafter(x, 0.0), x, std::nextafter(x, inf)}) {
                if (!std::isfinite(v)) continue;
                EXPECT_NEAR(fastLog(v), std::log(v), 1e-15 * std::max(1.0, std::fabs(std::log(v))));
            }
        }
    }
    EXPECT_EQ(fastLog(4e-320), std::log(4e-320));
    EXPECT_EQ(fastLog(0.0), -inf);
    EXPECT_TRUE(std::isnan(fastLog(-1.0)));
    // Degrees with the program's own factor 57.29577951307855 (not quite 180/pi).
    EXPECT_EQ(phaseDegrees(Complex(-1.0, -0.0)), -kPiExact * 57.29577951307855);
}

} // namespace
} // namespace harlox
