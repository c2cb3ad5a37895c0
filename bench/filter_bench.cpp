// The calculation cycle of a 4-way advanced passive project with four drivers in every net,
// fed from the measured curves of the shared data folder, along 17 rays.
//   full:      every net, branch and component marked changed (as after reading a file);
//              the off-axis factors are reused, since the geometry is unchanged.
//   geometry:  the listening distance alternates as well, so every driver's off-axis factor
//              along every ray is rebuilt too (as after an edit of the general settings).
//   component: one capacitor of net 2 changes; only its branch, its net and the sums run.
#include "filter/general.h"
#include "filter/xover.h"
#include "silent_host.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace harlox;

using bench::SilentHost;

const std::filesystem::path kMeasured =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" / "data" / "measured";

struct DriverFiles {
    const char* spl;
    const char* zma;
};

// Bass, lower mid, upper mid, treble.
constexpr std::array<DriverFiles, 4> kFiles{{
    {"DCS255-4@0.frd", "DCS255-4.zma"},
    {"RS52AN-8_0deg.frd", "RS52AN-8.zma"},
    {"TCP115-8@0.frd", "L16RNX_0g_242_27mV.zma"},
    {"ND25FA-4@0.frd", "ND25FA-4.zma"},
}};

bool loadDrivers(TNetA& net, const DriverFiles& files, int netIndex) {
    net.SetDriverCount(4);
    net.SetConnection(TNetA::ParallelConnection);
    for (int d = 0; d < 4; ++d) {
        const auto k = static_cast<std::size_t>(d);
        net.SplData(d).SetFileName((kMeasured / files.spl).string());
        net.ImpedanceData(d).SetFileName((kMeasured / files.zma).string());
        if (!net.SplData(d).ReadCurve(nullptr) || !net.ImpedanceData(d).ReadCurve(nullptr)) return false;
        // A column of four: every driver has its own place, so its own off-axis factors.
        net.dX[k] = 0.01 * netIndex;
        net.dY[k] = 0.35 - 0.12 * netIndex - 0.03 * d;
        net.dZ[k] = 0.005 * d;
        net.pistonRadius[k] = 0.1 - 0.02 * netIndex;
        net.splScaling[k] = 0.25;
    }
    return true;
}

// Second-order sections, third-order on the treble, an L-pad on the mids and a Zobel link.
void design(TNetA& net, int netIndex) {
    auto set = [&](int branch, int type, double r1, double c, double l) {
        TBranchA& b = net.Branch(branch);
        b.SetType(type);
        b.R1().SetValue(r1);
        b.C().SetValue(c);
        b.L().SetValue(l);
    };
    switch (netIndex) {
    case 0:
        set(0, 3, 0.3, 0.0, 2.2e-3);    // series L
        set(1, 2, 0.0, 100e-6, 0.0);    // shunt C
        break;
    case 1:
    case 2: {
        const double s = netIndex == 1 ? 1.0 : 0.25;
        set(0, 2, 0.0, 100e-6 * s, 0.0);  // series C
        set(1, 3, 0.2, 0.0, 3e-3 * s);    // shunt L
        set(2, 3, 0.2, 0.0, 1e-3 * s);    // series L
        set(3, 2, 0.0, 20e-6 * s, 0.0);   // shunt C
        set(6, 1, 1.5, 0.0, 0.0);         // L-pad
        set(7, 1, 6.0, 0.0, 0.0);
        break;
    }
    default:
        set(0, 2, 0.0, 6.8e-6, 0.0);
        set(1, 3, 0.3, 0.0, 0.33e-3);
        set(2, 2, 0.0, 10e-6, 0.0);
        break;
    }
    TBranchA& zobel = net.Link(0);
    zobel.SetType(4);
    zobel.R1().SetValue(2.0);
    zobel.C().SetValue(4.7e-6);
}

std::vector<int> seventeenRays() {
    std::vector<int> angles;
    for (int a = -80; a <= 80; a += 10) angles.push_back(a);
    return angles;
}

struct Project {
    TGeneral general;
    SilentHost host;
    std::unique_ptr<TXover> x;
};

std::unique_ptr<Project> makeProject(benchmark::State& state) {
    auto p = std::make_unique<Project>();
    if (!std::filesystem::is_directory(kMeasured)) {
        state.SkipWithError("no shared data folder");
        return nullptr;
    }
    if (!p->general.setSurfaceRays(seventeenRays()) || p->general.surfaceCount() != 17) {
        state.SkipWithError("17 rays refused");
        return nullptr;
    }
    p->general.infinite = 0;
    p->general.distance = 2.0;
    p->x = std::make_unique<TXover>(p->general, 6, p->host);
    for (int i = 0; i < 4; ++i) {
        TNetA& net = *p->x->AdvancedNet(i);
        if (!loadDrivers(net, kFiles[static_cast<std::size_t>(i)], i)) {
            state.SkipWithError("a measured curve did not load");
            return nullptr;
        }
        design(net, i);
        net.MarkChanged();
    }
    if (!p->x->Calculate()) {
        state.SkipWithError("the project did not calculate");
        return nullptr;
    }
    return p;
}

void markEverything(TXover& x) {
    for (int i = 0; i < 4; ++i) {
        TNetA& net = *x.AdvancedNet(i);
        for (int b = 0; b < TNetA::kBranches; ++b)
            for (TCompA* c : net.Branch(b).RecordComponents()) c->MarkChanged();
        for (int l = 0; l < TNetA::kLinks; ++l)
            for (TCompA* c : net.Link(l).RecordComponents()) c->MarkChanged();
    }
    x.GeneralChanged();
}

void fullRecalculation(benchmark::State& state) {
    auto p = makeProject(state);
    if (!p) return;
    const bool geometry = state.range(0) != 0;
    int n = 0;
    for (auto _ : state) {
        markEverything(*p->x);
        if (geometry) p->general.distance = (++n & 1) != 0 ? 2.001 : 2.0;
        if (!p->x->Calculate()) {
            state.SkipWithError("calculation failed");
            return;
        }
        benchmark::DoNotOptimize(p->x->RayDb()[0].data());
        benchmark::ClobberMemory();
    }
    if (p->x->NetCalculations(3) < 2) state.SkipWithError("the nets did not recompute");
}
BENCHMARK(fullRecalculation)->Name("filter/passive4/full")->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(fullRecalculation)->Name("filter/passive4/full/geometry")->Arg(1)->Unit(benchmark::kMicrosecond);

void componentChange(benchmark::State& state) {
    auto p = makeProject(state);
    if (!p) return;
    TCompA& c = p->x->AdvancedNet(1)->Branch(3).C();
    const int others = p->x->NetCalculations(0);
    int n = 0;
    for (auto _ : state) {
        c.SetValue((++n & 1) != 0 ? 22e-6 : 20e-6);
        if (!p->x->Calculate()) {
            state.SkipWithError("calculation failed");
            return;
        }
        benchmark::DoNotOptimize(p->x->RayDb()[0].data());
        benchmark::ClobberMemory();
    }
    if (p->x->NetCalculations(0) != others) state.SkipWithError("an unchanged net recomputed");
}
BENCHMARK(componentChange)->Name("filter/passive4/component")->Unit(benchmark::kMicrosecond);

} // namespace
