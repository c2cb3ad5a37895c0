// Importing a measured curve onto the 500-point filter grid: a 16384-line DFT response file
// (the size of a raw analyser export, CRLF, 1.346 Hz steps from 0 Hz), the real one of the
// shared data folder, and an 800-line file. The file is read from disk (page cache) on every iteration.
#include "filter/meas_data.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace harlox;

class FilterGrid : public TMeasDataOwner {
public:
    FilterGrid() {
        for (int i = 0; i < 500; ++i) {
            f_.push_back(5.0 * std::pow(10.0, i * std::log10(4000.0) / 499));
            lnf_.push_back(std::log(f_.back()));
        }
    }
    [[nodiscard]] MeasuredGrid MeasGrid() const override { return {f_.data(), lnf_.data(), 500}; }
    void MeasDataChanged(TMeasData&) override {}

private:
    std::vector<double> f_, lnf_;
};

std::string writeFile(const std::string& name, int lines, double step, bool phase) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "DFT Frequency Response\r\nNumpoints = " << lines << "\r\nFrequency(Hz)   Magnitude(dB)\r\n";
    char line[96];
    for (int k = 0; k < lines; ++k) {
        const double f = k * step;
        const double db = 80.0 + 6.0 * std::sin(0.001 * k) - 0.3 * std::cos(0.37 * k);
        if (phase)
            std::snprintf(line, sizeof line, "%.3f\t %.4f\t %.4f\r\n", f, db, 170.0 * std::sin(0.01 * k));
        else
            std::snprintf(line, sizeof line, "%.3f\t %.4f\r\n", f, db);
        out << line;
    }
    return path;
}

void import(benchmark::State& state, const std::string& path, MeasuredKind kind) {
    FilterGrid owner;
    TMeasData curve(owner, kind);
    curve.SetFileName(path);
    for (auto _ : state) {
        if (!curve.ReadCurve(nullptr)) {
            state.SkipWithError(curve.LastMessage().c_str());
            return;
        }
        benchmark::DoNotOptimize(curve.Values().data());
    }
}

void import16k(benchmark::State& state) {
    static const std::string path = writeFile("harlox-meas-bench-16k.frd", 16384, 1.346, state.range(0) != 0);
    import(state, path, MeasuredKind::Spl);
}
BENCHMARK(import16k)->Name("meas/import16k/2col")->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(import16k)->Name("meas/import16k/3col")->Arg(1)->Unit(benchmark::kMicrosecond);

void import800(benchmark::State& state) {
    static const std::string path = writeFile("harlox-meas-bench-800.frd", 800, 25.0, true);
    import(state, path, MeasuredKind::Impedance);
}
BENCHMARK(import800)->Name("meas/import800")->Unit(benchmark::kMicrosecond);

// The real 16384-line export of the shared data folder, when it is there.
void importAltavoz(benchmark::State& state) {
    const auto path = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" /
                      "data" / "measured" / "altavoz.frd";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("no shared data folder");
        return;
    }
    import(state, path.string(), MeasuredKind::Spl);
}
BENCHMARK(importAltavoz)->Name("meas/import16k/altavoz")->Unit(benchmark::kMicrosecond);

} // namespace
