// One full box calculation (flag 0) at 500 points with the Cms non-linearity on, so the
// driver chain runs twice, for each of the ten box types. The plain run recalculates unchanged
// inputs (the Calculate command); "changed" marks the boxes changed first, as every step of a
// frequency fit does; "regrid" marks the setup changed, so the grid, the box and port
// impedances and the driver data are all rebuilt as well.
#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/port_object.h"
#include "core/measure_setup.h"
#include "silent_host.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace harlox;

using bench::SilentHost;

struct BoxType {
    const char* name;
    int code;
};

constexpr BoxType kTypes[] = {
    {"closed", 0}, {"bassreflex", 1}, {"dt1", 2}, {"dt2", 3}, {"abr", 4},
    {"bp1", 5},    {"bp2", 6},        {"bp3", 7}, {"bp4", 8}, {"reflexbp", 9},
};

// A sensible design of the built-in unit: the quick box where the type has one, else 40 litres
// (and a 35 Hz port for the bass reflex box).
std::unique_ptr<TBoxEmbryo> makeBox(int code, SilentHost& host) {
    MeasureSetup& s = sharedSetup();
    s.setValuesToDefaults();
    s.pointCount = kMaxPoints;
    s.setUg(20.0);
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(code, host);
    for (TSpeakerObject* d : {&box->front(), &box->rear()}) {
        d->SetDefaultUnit();
        d->cmsNonlinear = 1;
    }
    box->setVb(0.04);
    if (TPortObject* port = box->portElement(); port && code == 1) (void)port->setTuning(35.0);
    if (box->hasQuickBox()) (void)box->QuickBox();
    box->Calculate(0);
    return box;
}

enum class Change { None, Box, Setup };

void calculate(benchmark::State& state, int code, Change change) {
    SilentHost host;
    auto box = makeBox(code, host);
    if (box->lastPassCount() != 2) state.SkipWithError("the Cms non-linearity did not run two passes");
    for (auto _ : state) {
        if (change == Change::Box) {
            box->boxElement()->boxChanged = 1;
            if (TBoxObject* b2 = box->box2Element()) b2->boxChanged = 1;
        }
        if (change == Change::Setup) sharedSetup().setupChanged = 1;
        box->Calculate(0);
        benchmark::DoNotOptimize(box->SPL.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMaxPoints);
}

// "box/closed/calculate", "box/closed/calculate/changed", "box/closed/calculate/regrid", ...
const bool registered = [] {
    for (const BoxType& t : kTypes) {
        const std::string base = std::string("box/") + t.name + "/calculate";
        const int code = t.code;
        benchmark::RegisterBenchmark(base.c_str(), [code](benchmark::State& s) {
            calculate(s, code, Change::None);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((base + "/changed").c_str(), [code](benchmark::State& s) {
            calculate(s, code, Change::Box);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((base + "/regrid").c_str(), [code](benchmark::State& s) {
            calculate(s, code, Change::Setup);
        })->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace
