// The calculation cycle of a 4-way advanced passive project with four drivers in every net,
// fed from the measured curves of the shared data folder, along 17 rays.
//   full:      every net, branch and component marked changed (as after reading a file);
//              the off-axis factors are reused, since the geometry is unchanged.
//   geometry:  the listening distance alternates as well, so every driver's off-axis factor
//              along every ray is rebuilt too (as after an edit of the general settings).
//   component: one capacitor of net 2 changes; only its branch, its net and the sums run.
//   optimiser: passes over every used component of net 2 towards a 4th-order band-pass;
//              each step solves the net twice, which the evaluation rate counts.
#include "filter/general.h"
#include "filter/net_optimiser.h"
#include "filter/xover.h"
#include "four_way_project.h"
#include "silent_host.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace harlox;

using bench::SilentHost;

struct Project {
    TGeneral general;
    SilentHost host;
    std::unique_ptr<TXover> x;
};

std::unique_ptr<Project> makeProject(benchmark::State& state) {
    auto p = std::make_unique<Project>();
    std::string error;
    p->x = bench::makeFourWayProject(p->general, p->host, error);
    if (!p->x) {
        state.SkipWithError(error.c_str());
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

void optimiserPasses(benchmark::State& state) {
    auto p = makeProject(state);
    if (!p) return;
    TNetA& net = *p->x->AdvancedNet(1);
    for (TCompA* c : OptimisableComponents(net))
        (void)AddToOptimisationList(*c, p->host);
    const auto listed = static_cast<std::int64_t>(OptimisationList(net).size());
    net.targetHpOrder = 4;
    net.targetHpFc = 300;
    net.targetLpOrder = 4;
    net.targetLpFc = 3000;
    TNetOptimiser optimiser(net, p->x.get());
    optimiser.Start();
    for (auto _ : state) {
        optimiser.Pass();
        benchmark::DoNotOptimize(optimiser.Error());
    }
    optimiser.Stop();
    if (listed == 0) state.SkipWithError("nothing to optimise");
    // Two solves a component, one before and one after the pass.
    state.counters["evaluations"] =
        benchmark::Counter(static_cast<double>(state.iterations() * (2 * listed + 2)), benchmark::Counter::kIsRate);
}
BENCHMARK(optimiserPasses)->Name("filter/passive4/optimiser")->Unit(benchmark::kMillisecond);

} // namespace
