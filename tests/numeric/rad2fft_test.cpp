#include "numeric/rad2fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

namespace harlox {
namespace {

using C = Complex;
constexpr double kPiTest = 3.141592653589793;

CVector randomVector(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    CVector v(n);
    for (C& z : v)
        z = C(d(gen), d(gen));
    return v;
}

// The transform step by step as the algorithm is stated: scatter, then per stage and group
// multiply the upper half by its twiddle, sum into scratch, difference into the upper half
// and copy the scratch back. The fast path must match it bit for bit.
CVector referenceTransform(const Rad2FFT& fft, const CVector& input, bool inverse) {
    const int n = fft.size();
    const CVector& w = fft.twiddles();
    CVector out(n);
    CVector work(n);
    for (int i = 0; i < input.length(); ++i)
        out[fft.bitReversal()[static_cast<std::size_t>(i)]] = input[i];
    const int offset = inverse ? n : 0;
    const int sign = inverse ? -1 : 1;
    for (int l = 1; l <= fft.stages(); ++l) {
        const int L = 1 << l;
        const int H = L / 2;
        const int G = n / L;
        for (int g = 0; g < G; ++g) {
            const int b = g * L;
            for (int k = 0; k < H; ++k)
                out[b + H + k] = out[b + H + k] * w[offset + sign * k * G];
            for (int k = 0; k < H; ++k)
                work[b + k] = out[b + k] + out[b + H + k];
            for (int k = H; k < L; ++k)
                out[b + k] = out[b + k - H] - out[b + k];
            for (int k = 0; k < H; ++k)
                out[b + k] = work[b + k];
        }
    }
    return out;
}

double maxDiff(const CVector& a, const CVector& b) {
    double m = 0.0;
    for (int i = 0; i < a.length(); ++i)
        m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

TEST(Rad2FFT, BitReversalTable) {
    const Rad2FFT f8(8);
    EXPECT_EQ(f8.stages(), 3);
    EXPECT_EQ(std::vector<std::int32_t>(f8.bitReversal().begin(), f8.bitReversal().end()),
              (std::vector<std::int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
    EXPECT_EQ(Rad2FFT(16384).bitReversal()[6], 6144); // 0b110 -> 0b011 << 11
}

TEST(Rad2FFTDeathTest, SizesAndVectorLengths) {
    for (int n : {0, -8, 3, 12, 20000, 32768})
        EXPECT_DEATH(Rad2FFT{n}, "^Rad2FFT::Rad2FFT\\(" + std::to_string(n) +
                                     "\\), size must be a power of two from 1 to 16384\n");
    Rad2FFT f(8);
    CVector in8(8), in16(16), out4(4), out8(8), spectrum3(3);
    EXPECT_DEATH(f.transform(in8, out4, false), "^Rad2FFT::transform called with different sizes\n");
    EXPECT_DEATH(f.transform(in16, out8, true), "^Rad2FFT::transform called with different sizes\n");
    EXPECT_DEATH(f.realSpectrum(FVector(8), spectrum3),
                 "^Rad2FFT::realSpectrum called with different sizes\n");
}

class Rad2FFTSizes : public ::testing::TestWithParam<int> {};

// Also in place and from a short input, which the stepwise transform pads with zeros.
TEST_P(Rad2FFTSizes, MatchesTheStepwiseAlgorithmBitForBit) {
    const int n = GetParam();
    Rad2FFT f(n);
    const CVector x = randomVector(n, 17u + static_cast<unsigned>(n));
    const CVector head(x, 0, std::max(1, n / 2));
    for (bool inverse : {false, true}) {
        const CVector ref = referenceTransform(f, x, inverse);
        CVector y(n);
        f.transform(x, y, inverse);
        EXPECT_TRUE(y == ref) << "inverse " << inverse;
        f.transform(y, y, inverse);
        EXPECT_TRUE(y == referenceTransform(f, ref, inverse)) << "inverse " << inverse;
        f.transform(head, y, inverse); // whatever y held before
        EXPECT_TRUE(y == referenceTransform(f, head, inverse)) << "inverse " << inverse;
    }
    const FVector real = x.apply([](const C& z) { return z.real(); });
    CVector spectrum(n / 2);
    f.realSpectrum(real, spectrum);
    EXPECT_TRUE(spectrum == CVector(referenceTransform(f, CVector(real, FVector(n)), false), 0, n / 2));
}

TEST_P(Rad2FFTSizes, InverseOfForwardLinearityAndParseval) {
    const int n = GetParam();
    Rad2FFT f(n);
    const CVector x = randomVector(n, 99u);
    const CVector y = randomVector(n, 7u);
    CVector fx(n), fy(n), back(n);
    f.transform(x, fx, false);
    f.transform(y, fy, false);
    f.transform(fx, back, true);
    CVector expected(n);
    expected.scale(static_cast<double>(n), x);
    EXPECT_LE(maxDiff(back, expected), 1e-9 * n); // |x| < 1.5
    const auto energy = [](const CVector& v) {
        return v.apply([](const C& z) { return std::norm(z); }).sum();
    };
    EXPECT_NEAR(energy(fx), n * energy(x), 1e-10 * n * energy(x)); // Parseval

    const C alpha(0.5, -2.0);
    CVector mix(n), fmix(n);
    mix.scale(alpha, x);
    mix.add(mix, y);
    f.transform(mix, fmix, false);
    expected.scale(alpha, fx);
    expected.add(expected, fy);
    EXPECT_LE(maxDiff(fmix, expected), 1e-11 * n * n);
}

TEST_P(Rad2FFTSizes, DeltaConstantAndSingleTone) {
    const int n = GetParam();
    Rad2FFT f(n);
    CVector x(n), y(n), ones(n);
    x[0] = 1.0;
    ones.fill(1.0);
    f.transform(x, y, false);
    EXPECT_TRUE(y == ones);
    f.transform(ones, y, false);
    EXPECT_NEAR(std::abs(y[0] - C(n, 0)), 0.0, 1e-12 * n);
    EXPECT_LE(maxDiff(CVector(y, 1, n - 1), CVector(n - 1)), 1e-9);
    if (n < 8) return;
    for (int i = 0; i < n; ++i)
        x[i] = std::cos(2.0 * kPiTest * 3.0 * i / n);
    for (bool inverse : {false, true}) {
        f.transform(x, y, inverse);
        for (int k = 0; k < n; ++k) {
            const C expected = (k == 3 || k == n - 3) ? C(n / 2.0, 0) : C(0, 0);
            ASSERT_NEAR(std::abs(y[k] - expected), 0.0, 1e-9 * n) << "inverse " << inverse << " bin " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, Rad2FFTSizes,
                         ::testing::Values(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192,
                                           16384));

} // namespace
} // namespace harlox