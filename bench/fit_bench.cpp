// Frequency-fit iterations at 500 points in fast mode, for the closed and the bass reflex box
// of the built-in unit, started from the quick box made twice too large so that the fit has
// somewhere to go. One benchmark iteration is one Iterate(): a trial up and a trial down of
// every fitted parameter (the volume, and the port length of the bass reflex box), so two or
// four calculations. items_per_second is the fit's rate in iterations per second.
#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/frequency_fit.h"
#include "core/measure_setup.h"
#include "silent_host.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace harlox;

using bench::SilentHost;

struct FitCase {
    const char* name;
    int code;
    int lowerCutoff; // Hz
};

constexpr FitCase kCases[] = {{"closed", 0, 80}, {"bassreflex", 1, 40}};

void fit(benchmark::State& state, const FitCase& c) {
    MeasureSetup& s = sharedSetup();
    s.setValuesToDefaults();
    s.pointCount = kMaxPoints;
    SilentHost host;
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(c.code, host);
    box->front().SetDefaultUnit();
    if (!box->QuickBox()) {
        state.SkipWithError("no quick box");
        return;
    }
    box->setBoxVolume(*box->boxElement(), 2.0 * box->boxElement()->Vb);
    box->Calculate(0);

    TFrequencyFit fit(*box, 1);
    TFrequencyFit::Options options;
    options.lowerCutoff = c.lowerCutoff;
    options.showIntermediate = false;
    if (!fit.Start(options)) {
        state.SkipWithError("the fit did not start");
        return;
    }
    if (box->pointCount() != kMaxPoints) state.SkipWithError("not at 500 points");
    for (auto _ : state) {
        fit.Iterate();
        benchmark::DoNotOptimize(box->SPL.data());
        benchmark::ClobberMemory();
    }
    state.counters["mean_error_dB"] = fit.meanError();
    fit.Halt();
    state.SetItemsProcessed(state.iterations());
}

// "fit/closed/iterate", "fit/bassreflex/iterate"
const bool registered = [] {
    for (const FitCase& c : kCases) {
        benchmark::RegisterBenchmark((std::string("fit/") + c.name + "/iterate").c_str(),
                                     [&c](benchmark::State& s) { fit(s, c); })
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace
