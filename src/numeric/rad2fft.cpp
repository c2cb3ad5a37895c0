#include "numeric/rad2fft.h"

#include "core/constants.h"
#include "core/format.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>

namespace harlox {

namespace {

constexpr const char* kPrefix = "Rad2FFT::";

std::unique_ptr<double[]> buffer(int n) {
    return std::make_unique<double[]>(static_cast<std::size_t>(n));
}

} // namespace

Rad2FFT::Rad2FFT(int size) : size_(size) {
    // The largest power of two that fits the bit-reversal table.
    constexpr int kLargest = static_cast<int>(std::bit_floor(static_cast<unsigned>(kMaxTableSize)));
    if (size < 1 || size > kLargest || !std::has_single_bit(static_cast<unsigned>(size)))
        numericFatal(kPrefix,
                     strprintf("Rad2FFT(%d), size must be a power of two from 1 to %d", size, kLargest));
    const int n = size_;
    stages_ = std::countr_zero(static_cast<unsigned>(n));

    bitReversal_.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        unsigned v = static_cast<unsigned>(i);
        unsigned r = 0;
        for (int m = 0; m < stages_; ++m) {
            r = (r | (v & 1u)) << 1;
            v >>= 1;
        }
        bitReversal_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(r >> 1);
    }

    const double angle = 2.0 * kPiExact / n;
    const Complex base(std::cos(angle), -std::sin(angle));
    twiddles_.resize(n + 1);
    for (int k = 0; k <= n; ++k)
        twiddles_[k] = std::pow(base, k);

    workRe_ = buffer(n);
    workIm_ = buffer(n);
    forwardRe_ = buffer(n);
    forwardIm_ = buffer(n);
    inverseRe_ = buffer(n);
    inverseIm_ = buffer(n);
    for (int h = 1; h < n; h *= 2) {
        const int g = n / (2 * h);
        for (int k = 0; k < h; ++k) {
            const auto at = static_cast<std::size_t>(h - 1 + k);
            const Complex& f = twiddles_[k * g];
            const Complex& b = twiddles_[n - k * g];
            forwardRe_[at] = f.real();
            forwardIm_[at] = f.imag();
            inverseRe_[at] = b.real();
            inverseIm_[at] = b.imag();
        }
    }
}

namespace {

// The butterfly loops get an AVX2 variant picked at load time where the compiler and the
// platform support it. AVX2 alone brings no fused multiply-add, so both variants round
// exactly alike.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define HARLOX_FFT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HARLOX_FFT_CLONES
#endif

// One butterfly on split parts: t = x * w; (u, x) = (u + t, u - t). The complex product is
// written out as (xr wr - xi wi, xr wi + xi wr), exactly what the complex type computes.
inline void butterfly(double& ur, double& ui, double& xr, double& xi, double wr, double wi) {
    const double tr = xr * wr - xi * wi;
    const double ti = xr * wi + xi * wr;
    xr = ur - tr;
    xi = ui - ti;
    ur = ur + tr;
    ui = ui + ti;
}

// Stages with half sizes 1 and 2 together, straight from the input. Position p of the
// bit-reversed order holds input element rev[p]; for the block of four at b = rev[q]
// (q < N/4) those are q, q + N/2, q + N/4 and q + 3N/4, so the input is read in order.
template <class Load>
void firstTwoStages(double* __restrict re, double* __restrict im, int n, const std::int32_t* __restrict rev,
                    const double* __restrict twRe, const double* __restrict twIm, Load load) {
    const double w1r = twRe[0], w1i = twIm[0];
    const double w20r = twRe[1], w20i = twIm[1];
    const double w21r = twRe[2], w21i = twIm[2];
    const int quarter = n / 4;
    for (int q = 0; q < quarter; ++q) {
        const int b = rev[q];
        double r0, i0, r1, i1, r2, i2, r3, i3;
        load(q, r0, i0);
        load(q + 2 * quarter, r1, i1);
        load(q + quarter, r2, i2);
        load(q + 3 * quarter, r3, i3);
        butterfly(r0, i0, r1, i1, w1r, w1i);
        butterfly(r2, i2, r3, i3, w1r, w1i);
        butterfly(r0, i0, r2, i2, w20r, w20i);
        butterfly(r1, i1, r3, i3, w21r, w21i);
        re[b] = r0;
        im[b] = i0;
        re[b + 1] = r1;
        im[b + 1] = i1;
        re[b + 2] = r2;
        im[b + 2] = i2;
        re[b + 3] = r3;
        im[b + 3] = i3;
    }
}

// The stage with half size h.
HARLOX_FFT_CLONES void oneStage(double* __restrict re, double* __restrict im, int n, int h,
                                const double* __restrict wr, const double* __restrict wi) {
    for (int b = 0; b < n; b += 2 * h) {
        double* __restrict ar = re + b;
        double* __restrict ai = im + b;
        double* __restrict br = ar + h;
        double* __restrict bi = ai + h;
#pragma GCC ivdep
        for (int k = 0; k < h; ++k) {
            double ur = ar[k], ui = ai[k], xr = br[k], xi = bi[k];
            butterfly(ur, ui, xr, xi, wr[k], wi[k]);
            ar[k] = ur;
            ai[k] = ui;
            br[k] = xr;
            bi[k] = xi;
        }
    }
}

// The stages with half sizes h and 2h in one pass over groups of 4h: each element is
// loaded and stored once for both stages, and every butterfly sees the same operands as
// when the stages run one after the other.
HARLOX_FFT_CLONES void twoStages(double* __restrict re, double* __restrict im, int n, int h,
                                 const double* __restrict w1r, const double* __restrict w1i,
                                 const double* __restrict w2r, const double* __restrict w2i) {
    for (int b = 0; b < n; b += 4 * h) {
        double* __restrict r0 = re + b;
        double* __restrict i0 = im + b;
        double* __restrict r1 = r0 + h;
        double* __restrict i1 = i0 + h;
        double* __restrict r2 = r1 + h;
        double* __restrict i2 = i1 + h;
        double* __restrict r3 = r2 + h;
        double* __restrict i3 = i2 + h;
#pragma GCC ivdep
        for (int k = 0; k < h; ++k) {
            double a0r = r0[k], a0i = i0[k], a1r = r1[k], a1i = i1[k];
            double a2r = r2[k], a2i = i2[k], a3r = r3[k], a3i = i3[k];
            butterfly(a0r, a0i, a1r, a1i, w1r[k], w1i[k]);
            butterfly(a2r, a2i, a3r, a3i, w1r[k], w1i[k]);
            butterfly(a0r, a0i, a2r, a2i, w2r[k], w2i[k]);
            butterfly(a1r, a1i, a3r, a3i, w2r[k + h], w2i[k + h]);
            r0[k] = a0r;
            i0[k] = a0i;
            r1[k] = a1r;
            i1[k] = a1i;
            r2[k] = a2r;
            i2[k] = a2i;
            r3[k] = a3r;
            i3[k] = a3i;
        }
    }
}

} // namespace

void Rad2FFT::runStages(bool inverse, int firstHalfSize) {
    const int n = size_;
    double* re = workRe_.get();
    double* im = workIm_.get();
    const double* twRe = inverse ? inverseRe_.get() : forwardRe_.get();
    const double* twIm = inverse ? inverseIm_.get() : forwardIm_.get();
    int h = firstHalfSize;
    // An odd number of remaining stages: one alone, the rest in pairs.
    if (h < n && (std::countr_zero(static_cast<unsigned>(n / h)) & 1)) {
        oneStage(re, im, n, h, twRe + (h - 1), twIm + (h - 1));
        h *= 2;
    }
    for (; h < n; h *= 4)
        twoStages(re, im, n, h, twRe + (h - 1), twIm + (h - 1), twRe + (2 * h - 1), twIm + (2 * h - 1));
}

void Rad2FFT::transform(const CVector& input, CVector& output, bool inverse) {
    const int n = size_;
    if (output.length() != n || input.length() > n)
        numericFatal(kPrefix, "transform called with different sizes");
    double* re = workRe_.get();
    double* im = workIm_.get();
    const Complex* in = input.data();
    if (n >= 4 && input.length() == n) {
        const double* twRe = inverse ? inverseRe_.get() : forwardRe_.get();
        const double* twIm = inverse ? inverseIm_.get() : forwardIm_.get();
        firstTwoStages(re, im, n, bitReversal_.data(), twRe, twIm, [in](int i, double& r, double& m) {
            r = in[i].real();
            m = in[i].imag();
        });
        runStages(inverse, 4);
    } else {
        // Small sizes and short (zero-padded) inputs: scatter, then every stage.
        std::fill(re, re + n, 0.0);
        std::fill(im, im + n, 0.0);
        for (int i = 0; i < input.length(); ++i) {
            const auto j = static_cast<std::size_t>(bitReversal_[static_cast<std::size_t>(i)]);
            re[j] = in[i].real();
            im[j] = in[i].imag();
        }
        runStages(inverse, 1);
    }
    Complex* out = output.data();
    for (int i = 0; i < n; ++i)
        out[i] = Complex(re[i], im[i]);
}

void Rad2FFT::realSpectrum(const FVector& input, CVector& output) {
    const int n = size_;
    if (output.length() < n / 2 || input.length() > n)
        numericFatal(kPrefix, "realSpectrum called with different sizes");
    double* re = workRe_.get();
    double* im = workIm_.get();
    const double* in = input.data();
    if (n >= 4 && input.length() == n) {
        firstTwoStages(re, im, n, bitReversal_.data(), forwardRe_.get(), forwardIm_.get(),
                       [in](int i, double& r, double& m) {
                           r = in[i];
                           m = 0.0;
                       });
        runStages(false, 4);
    } else {
        std::fill(re, re + n, 0.0);
        std::fill(im, im + n, 0.0);
        for (int i = 0; i < input.length(); ++i)
            re[bitReversal_[static_cast<std::size_t>(i)]] = in[i];
        runStages(false, 1);
    }
    Complex* out = output.data();
    for (int i = 0; i < n / 2; ++i)
        out[i] = Complex(re[i], im[i]);
}

} // namespace harlox
