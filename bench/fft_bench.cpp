// Rad2FFT against FFTW (FFTW_ESTIMATE plans) on the same data, both directions.
#include "bench_ratio.h"

#include "numeric/rad2fft.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <string>

namespace {

using harlox::Complex;
using harlox::CVector;
using harlox::Rad2FFT;

constexpr int kSizes[] = {1024, 4096, 8192};

// A deterministic signal with energy in every bin.
CVector testSignal(int n) {
    CVector v(n);
    for (int i = 0; i < n; ++i)
        v[i] = Complex(std::sin(0.37 * i) + 0.25 * std::cos(1.9 * i), std::cos(0.11 * i));
    return v;
}

void rad2fft(benchmark::State& state, bool inverse) {
    const int n = static_cast<int>(state.range(0));
    Rad2FFT fft(n);
    const CVector in = testSignal(n);
    CVector out(n);
    for (auto _ : state) {
        fft.transform(in, out, inverse);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void fftw(benchmark::State& state, bool inverse) {
    const int n = static_cast<int>(state.range(0));
    auto* in = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * static_cast<std::size_t>(n)));
    auto* out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * static_cast<std::size_t>(n)));
    fftw_plan plan = fftw_plan_dft_1d(n, in, out, inverse ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE);
    const CVector signal = testSignal(n);
    for (int i = 0; i < n; ++i) {
        in[i][0] = signal[i].real();
        in[i][1] = signal[i].imag();
    }
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

BENCHMARK_CAPTURE(rad2fft, forward, false)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Arg(kSizes[2])
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rad2fft, inverse, true)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Arg(kSizes[2])
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fftw, forward, false)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Arg(kSizes[2])
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fftw, inverse, true)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Arg(kSizes[2])
    ->Unit(benchmark::kMicrosecond);

bool registerRatios() {
    for (int n : kSizes) {
        for (const char* direction : {"forward", "inverse"}) {
            const std::string suffix = std::string(direction) + "/" + std::to_string(n);
            harlox::bench::addRatio("N=" + std::to_string(n) + " " + direction, "rad2fft/" + suffix,
                                    "fftw/" + suffix);
        }
    }
    return true;
}

[[maybe_unused]] const bool kRatiosRegistered = registerRatios();

} // namespace
