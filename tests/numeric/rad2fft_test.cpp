#include "numeric/rad2fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <string>

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

// The transform step by step in complex arithmetic: scatter, then per stage and group the
// butterflies with the upper half times its twiddle. The fast path must match it bit for bit.
CVector referenceTransform(const Rad2FFT& fft, const CVector& input, bool inverse) {
    const int n = fft.size();
    const CVector& w = fft.twiddles();
    CVector out(n);
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
            for (int k = 0; k < H; ++k) {
                const C t = out[b + H + k] * w[offset + sign * k * G];
                out[b + H + k] = out[b + k] - t;
                out[b + k] = out[b + k] + t;
            }
        }
    }
    return out;
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
        EXPECT_TRUE(y == ref);
        f.transform(y, y, inverse);
        EXPECT_TRUE(y == referenceTransform(f, ref, inverse));
        f.transform(head, y, inverse); // whatever y held before
        EXPECT_TRUE(y == referenceTransform(f, head, inverse));
    }
    const FVector real = x.apply([](const C& z) { return z.real(); });
    CVector spectrum(n / 2);
    f.realSpectrum(real, spectrum);
    EXPECT_TRUE(spectrum == CVector(referenceTransform(f, CVector(real, FVector(n)), false), 0, n / 2));
}

// Forward then inverse gives N x; a delta, a constant and a cosine have known spectra.
TEST_P(Rad2FFTSizes, InverseDeltaAndSingleTone) {
    const int n = GetParam();
    Rad2FFT f(n);
    const CVector x = randomVector(n, 99u);
    CVector fx(n), back(n);
    f.transform(x, fx, false);
    f.transform(fx, back, true);
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(std::abs(back[i] - static_cast<double>(n) * x[i]), 0.0, 1e-9 * n); // |x| < 1.5

    CVector d(n), y(n), ones(n);
    d[0] = 1.0;
    ones.fill(1.0);
    f.transform(d, y, false);
    EXPECT_TRUE(y == ones);
    f.transform(ones, y, false);
    for (int k = 0; k < n; ++k)
        ASSERT_NEAR(std::abs(y[k] - (k == 0 ? C(n, 0) : C(0, 0))), 0.0, 1e-9 * n);
    if (n < 8) return;
    for (int i = 0; i < n; ++i)
        d[i] = std::cos(2.0 * kPiTest * 3.0 * i / n);
    for (bool inverse : {false, true}) {
        f.transform(d, y, inverse);
        for (int k = 0; k < n; ++k)
            ASSERT_NEAR(std::abs(y[k] - ((k == 3 || k == n - 3) ? C(n / 2.0, 0) : C(0, 0))), 0.0, 1e-9 * n);
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, Rad2FFTSizes,
                         ::testing::Values(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192,
                                           16384));

} // namespace
} // namespace harlox