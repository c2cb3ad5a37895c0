// "Filter music" on a 30 s, 44.1 kHz stereo 16-bit WAV file, WAV to WAV, beside sox running the
// same N-tap impulse response through its fir effect on the same file. Both read and write
// through the page cache; the counter x_realtime is the filtered audio time per second.
#include "bench_ratio.h"
#include "silent_host.h"

#include "core/diagram_model.h"
#include "filter/general.h"
#include "filter/imp_response.h"
#include "filter/music_filter.h"
#include "filter/pcm_io.h"
#include "numeric/rad2fft.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace harlox;

constexpr int kRate = 44100;
constexpr int kSeconds = 30;
constexpr double kPi = 3.141592653589793;

std::string tempFile(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

// Two channels of a few tones and some noise, at about -12 dBFS.
const std::string& inputFile() {
    static const std::string path = [] {
        const std::string p = tempFile("harlox-music-bench-in.wav");
        std::string why;
        auto w = PcmWriter::Create(p, 2, kRate, false, why);
        std::vector<std::int16_t> block(2 * 4096);
        unsigned noise = 12345;
        for (int done = 0; w && done < kRate * kSeconds; done += 4096) {
            for (int i = 0; i < 4096; ++i) {
                const double t = static_cast<double>(done + i) / kRate;
                noise = noise * 1103515245u + 12345u;
                const double n = static_cast<double>(noise >> 16) / 65536.0 - 0.5;
                block[2 * static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                    5000 * std::sin(2 * kPi * 220 * t) + 2000 * std::sin(2 * kPi * 3100 * t) + 800 * n);
                block[2 * static_cast<std::size_t>(i) + 1] = static_cast<std::int16_t>(
                    5000 * std::sin(2 * kPi * 330 * t) + 2000 * std::sin(2 * kPi * 5200 * t) + 800 * n);
            }
            if (!w->Write16(block.data(), 4096)) break;
        }
        if (!w || !w->Close()) return std::string();
        return p;
    }();
    return path;
}

// A 2-way crossover's sum: second-order low-pass at 2.5 kHz plus an inverted second-order
// high-pass, on the filter grid.
struct Project {
    Project() : response(TGeneral::kPoints), ir(general, window) {
        for (int i = 0; i < TGeneral::kPoints; ++i) {
            const Complex s(0.0, general.frequency()[i] / 2500.0);
            const Complex d = s * s + std::sqrt(2.0) * s + 1.0;
            response[static_cast<std::size_t>(i)] = 1.0 / d - s * s / d;
        }
        ir.setSource(response.data());
        ir.Calculate();
    }
    TGeneral general;
    DiagramModel window;
    std::vector<Complex> response;
    TImpResponse ir;
};

void harloxMusic(benchmark::State& state) {
    if (inputFile().empty()) {
        state.SkipWithError("could not write the input file");
        return;
    }
    Project p;
    bench::SilentHost host;
    TMusicFilter filter(p.ir, p.general, host);
    const std::string out = tempFile("harlox-music-bench-out.wav");
    for (auto _ : state) {
        if (!filter.Start(inputFile(), out)) {
            state.SkipWithError("Start refused");
            return;
        }
        while (filter.Step()) {
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(kSeconds) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

double childCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void soxFir(benchmark::State& state) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        state.SkipWithError("sox is not installed");
        return;
    }
    if (inputFile().empty()) {
        state.SkipWithError("could not write the input file");
        return;
    }
    // The same kernel the music filter applies: the scaled response's inverse transform,
    // turned causal by half a block.
    Project p;
    const int n = p.general.ifftSize();
    CVector h(n);
    p.ir.BuildSpectrum(kRate, h);
    double power = 0.0;
    for (int k = 0; k < n; ++k)
        power += std::norm(h[k]);
    const double gain = 1.0 / n / std::sqrt(power / n);
    CVector taps(n);
    Rad2FFT(n).transform(h, taps, true);
    const std::string coefs = tempFile("harlox-music-bench-fir.txt");
    {
        std::ofstream f(coefs);
        for (int k = 0; k < n; ++k)
            f << taps[(k + n / 2) % n].real() * gain << '\n';
    }
    const std::string command = "sox -q '" + inputFile() + "' -b 16 '" +
                                tempFile("harlox-music-bench-sox.wav") + "' fir '" + coefs + "' 2>/dev/null";
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const double own = threadCpuSeconds();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            return;
        }
        // sox's CPU time is charged to this thread, so the ratio compares CPU time with CPU time.
        const double spent = childCpuSeconds() - before;
        while (threadCpuSeconds() - own < spent) {
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(kSeconds) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(harloxMusic)->Name("music/harlox/44k1_stereo_30s")->Unit(benchmark::kMillisecond);
BENCHMARK(soxFir)->Name("music/sox_fir/44k1_stereo_30s")->Unit(benchmark::kMillisecond);

const bool kRatio = harlox::bench::addRatio("music filter harlox/sox (below 1: faster than sox)",
                                            "music/harlox/44k1_stereo_30s", "music/sox_fir/44k1_stereo_30s");

} // namespace
