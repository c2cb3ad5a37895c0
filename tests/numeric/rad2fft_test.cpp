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

// The textbook sum, with the exponent reduced modulo N so the angles stay exact.
CVector naiveDft(const CVector& x, bool inverse) {
    const int n = x.length();
    CVector out(n);
    const double sign = inverse ? 1.0 : -1.0;
    for (int k = 0; k < n; ++k) {
        C s = 0.0;
        for (int i = 0; i < n; ++i) {
            const long long e = (static_cast<long long>(k) * i) % n;
            s += x[i] * std::polar(1.0, sign * 2.0 * kPiTest * static_cast<double>(e) / n);
        }
        out[k] = s;
    }
    return out;
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

double maxAbs(const CVector& v) {
    double m = 0.0;
    for (const C& z : v)
        m = std::max(m, std::abs(z));
    return m;
}

double maxDiff(const CVector& a, const CVector& b) {
    double m = 0.0;
    for (int i = 0; i < a.length(); ++i)
        m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

TEST(Rad2FFT, BitReversalTableAndStages) {
    const Rad2FFT f8(8);
    EXPECT_EQ(f8.size(), 8);
    EXPECT_EQ(f8.stages(), 3);
    EXPECT_EQ(std::vector<std::int32_t>(f8.bitReversal().begin(), f8.bitReversal().end()),
              (std::vector<std::int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
    const Rad2FFT f1(1);
    EXPECT_EQ(f1.stages(), 0);
    EXPECT_EQ(f1.bitReversal().size(), 1u);
    EXPECT_EQ(f1.bitReversal()[0], 0);
    const Rad2FFT big(16384);
    EXPECT_EQ(big.stages(), 14);
    EXPECT_EQ(big.bitReversal()[1], 8192);
    EXPECT_EQ(big.bitReversal()[16383], 16383);
    EXPECT_EQ(big.bitReversal()[6], 6144); // 0b110 -> 0b011 << 11
}

TEST(Rad2FFT, TwiddlesAreTheUnitRoots) {
    for (int n : {1, 2, 8, 1024, 16384}) {
        const Rad2FFT f(n);
        const CVector& w = f.twiddles();
        ASSERT_EQ(w.length(), n + 1);
        EXPECT_EQ(w[0], C(1, 0));
        for (int k = 0; k <= n; ++k)
            ASSERT_NEAR(std::abs(w[k] - std::polar(1.0, -2.0 * kPiTest * k / n)), 0.0, 1e-11)
                << n << " " << k;
    }
}

class Rad2FFTDeathTest : public ::testing::TestWithParam<int> {};

TEST_P(Rad2FFTDeathTest, SizeOutsideTheTableOrNotAPowerOfTwo) {
    const int n = GetParam();
    EXPECT_DEATH(Rad2FFT{n}, "^Rad2FFT::Rad2FFT\\(" + std::to_string(n) +
                                 "\\), size must be a power of two from 1 to 16384\n");
}

INSTANTIATE_TEST_SUITE_P(Sizes, Rad2FFTDeathTest, ::testing::Values(0, -8, 3, 12, 20000, 32768, 65536));

TEST(Rad2FFTDeath, WrongVectorSizes) {
    Rad2FFT f(8);
    CVector in(8);
    CVector out(4);
    EXPECT_DEATH(f.transform(in, out, false), "^Rad2FFT::transform called with different sizes\n");
    CVector longIn(16);
    CVector out8(8);
    EXPECT_DEATH(f.transform(longIn, out8, true), "^Rad2FFT::transform called with different sizes\n");
    CVector spectrum(3);
    EXPECT_DEATH(f.realSpectrum(FVector(8), spectrum),
                 "^Rad2FFT::realSpectrum called with different sizes\n");
}

class Rad2FFTSizes : public ::testing::TestWithParam<int> {};

TEST_P(Rad2FFTSizes, MatchesTheStepwiseAlgorithmExactly) {
    const int n = GetParam();
    Rad2FFT f(n);
    for (bool inverse : {false, true}) {
        const CVector x = randomVector(n, 17u + static_cast<unsigned>(n));
        CVector y(n);
        f.transform(x, y, inverse);
        const CVector ref = referenceTransform(f, x, inverse);
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(y[k].real(), ref[k].real()) << "inverse " << inverse << " bin " << k;
            ASSERT_EQ(y[k].imag(), ref[k].imag()) << "inverse " << inverse << " bin " << k;
        }
    }
}

class Rad2FFTNaive : public ::testing::TestWithParam<int> {};

TEST_P(Rad2FFTNaive, AgreesWithNaiveDft) {
    const int n = GetParam();
    Rad2FFT f(n);
    for (bool inverse : {false, true}) {
        const CVector x = randomVector(n, 5u);
        CVector y(n);
        f.transform(x, y, inverse);
        const CVector ref = naiveDft(x, inverse);
        EXPECT_LE(maxDiff(y, ref), 1e-12 * std::max(1.0, maxAbs(ref)) * n) << "inverse " << inverse;
    }
}

TEST_P(Rad2FFTSizes, ForwardThenInverseGivesNTimesTheInput) {
    const int n = GetParam();
    Rad2FFT f(n);
    const CVector x = randomVector(n, 99u);
    CVector spectrum(n);
    CVector back(n);
    f.transform(x, spectrum, false);
    f.transform(spectrum, back, true);
    CVector expected(n);
    expected.scale(static_cast<double>(n), x);
    EXPECT_LE(maxDiff(back, expected), 1e-9 * maxAbs(expected));
}

TEST_P(Rad2FFTSizes, ImpulseAndConstant) {
    const int n = GetParam();
    Rad2FFT f(n);
    CVector impulse(n);
    impulse[0] = 1.0;
    CVector y(n);
    f.transform(impulse, y, false);
    for (int k = 0; k < n; ++k)
        ASSERT_EQ(y[k], C(1, 0)) << k;

    CVector ones(n);
    ones.fill(1.0);
    f.transform(ones, y, false);
    EXPECT_NEAR(std::abs(y[0] - C(n, 0)), 0.0, 1e-12 * n);
    for (int k = 1; k < n; ++k)
        ASSERT_NEAR(std::abs(y[k]), 0.0, 1e-9) << k;
}

// The O(N^2) reference sum limits the sizes.
INSTANTIATE_TEST_SUITE_P(PowersOfTwo, Rad2FFTNaive, ::testing::Values(1, 2, 4, 8, 32, 1024));

class Rad2FFTCosine : public ::testing::TestWithParam<int> {};

TEST_P(Rad2FFTCosine, LandsInBinsThreeAndNMinusThree) {
    const int n = GetParam();
    Rad2FFT f(n);
    CVector x(n);
    for (int i = 0; i < n; ++i)
        x[i] = std::cos(2.0 * kPiTest * 3.0 * i / n);
    CVector y(n);
    for (bool inverse : {false, true}) {
        f.transform(x, y, inverse);
        for (int k = 0; k < n; ++k) {
            const C expected = (k == 3 || k == n - 3) ? C(n / 2.0, 0) : C(0, 0);
            ASSERT_NEAR(std::abs(y[k] - expected), 0.0, 1e-9 * n) << "inverse " << inverse << " bin " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, Rad2FFTCosine, ::testing::Values(8, 16, 64, 1024, 4096, 16384));

TEST_P(Rad2FFTSizes, InPlaceShortInputAndRealSpectrum) {
    const int n = GetParam();
    Rad2FFT f(n);
    const CVector x = randomVector(n, 3u);
    CVector separate(n);
    f.transform(x, separate, false);
    CVector inPlace(x);
    f.transform(inPlace, inPlace, false);
    EXPECT_FALSE(inPlace != separate);

    // A short input is padded with zeros, whatever the output held before.
    const int half = std::max(1, n / 2);
    const CVector head(x, 0, half);
    CVector padded(n);
    padded.copyRange(head, 0, half, 0);
    CVector expected(n);
    f.transform(padded, expected, true);
    CVector y(n);
    y.fill(C(5, 5));
    f.transform(head, y, true);
    EXPECT_FALSE(y != expected);

    FVector real(n);
    for (int i = 0; i < n; ++i)
        real[i] = x[i].real();
    const CVector asComplex = CVector(real, FVector(n));
    CVector full(n);
    f.transform(asComplex, full, false);
    CVector spectrum(n / 2);
    f.realSpectrum(real, spectrum);
    for (int k = 0; k < n / 2; ++k)
        ASSERT_EQ(spectrum[k], full[k]) << k;
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, Rad2FFTSizes, ::testing::Values(1, 2, 4, 8, 16, 64, 1024, 4096, 16384));

} // namespace
} // namespace harlox
