// One full box calculation (flag 0) at 500 points with the Cms non-linearity on, so the
// driver chain runs twice. The plain run recalculates unchanged inputs (the Calculate
// command); "changed" marks the box changed first, as every step of a frequency fit does;
// "regrid" marks the setup changed, so the grid, the box and port impedances and the driver
// data are all rebuilt as well.
#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "core/measure_setup.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace harlox;

// A desktop that is never there.
class SilentHost : public UiHost {
public:
    MessageResult messageBox(std::string_view, std::string_view, MessageIcon, MessageButtons) override {
        return MessageResult::Ok;
    }
    std::optional<std::string> selectFile(FileSelector&, FileMode) override { return std::nullopt; }
    void beep() override {}
    void setWaitCursor(bool) override {}
    void setCommandState(int id, CommandState s) override { commands_.set(id, s); }
    CommandState commandState(int id) const override { return commands_.state(id); }
    void post(std::function<void()>) override {}
    void repaint() override {}

private:
    CommandStateModel commands_;
};

template <typename Box> std::unique_ptr<Box> makeBox(SilentHost& host) {
    MeasureSetup& s = sharedSetup();
    s.setValuesToDefaults();
    s.pointCount = kMaxPoints;
    s.setUg(20.0);
    auto box = std::make_unique<Box>(host);
    box->front().SetDefaultUnit();
    box->front().cmsNonlinear = 1;
    box->setVb(0.04);
    if constexpr (std::is_same_v<Box, TBassReflexBox>) (void)box->port().setTuning(35.0);
    box->Calculate(0);
    return box;
}

enum class Change { None, Box, Setup };

template <typename Box> void calculate(benchmark::State& state, Change change) {
    SilentHost host;
    auto box = makeBox<Box>(host);
    if (box->lastPassCount() != 2) state.SkipWithError("the Cms non-linearity did not run two passes");
    for (auto _ : state) {
        if (change == Change::Box) box->boxElement()->boxChanged = 1;
        if (change == Change::Setup) sharedSetup().setupChanged = 1;
        box->Calculate(0);
        benchmark::DoNotOptimize(box->SPL.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMaxPoints);
}

void closed(benchmark::State& s) {
    calculate<TClosedBox>(s, Change::None);
}
void closedChanged(benchmark::State& s) {
    calculate<TClosedBox>(s, Change::Box);
}
void closedRegrid(benchmark::State& s) {
    calculate<TClosedBox>(s, Change::Setup);
}
void reflex(benchmark::State& s) {
    calculate<TBassReflexBox>(s, Change::None);
}
void reflexChanged(benchmark::State& s) {
    calculate<TBassReflexBox>(s, Change::Box);
}
void reflexRegrid(benchmark::State& s) {
    calculate<TBassReflexBox>(s, Change::Setup);
}

BENCHMARK(closed)->Name("box/closed/calculate")->Unit(benchmark::kMicrosecond);
BENCHMARK(closedChanged)->Name("box/closed/calculate/changed")->Unit(benchmark::kMicrosecond);
BENCHMARK(closedRegrid)->Name("box/closed/calculate/regrid")->Unit(benchmark::kMicrosecond);
BENCHMARK(reflex)->Name("box/bassreflex/calculate")->Unit(benchmark::kMicrosecond);
BENCHMARK(reflexChanged)->Name("box/bassreflex/calculate/changed")->Unit(benchmark::kMicrosecond);
BENCHMARK(reflexRegrid)->Name("box/bassreflex/calculate/regrid")->Unit(benchmark::kMicrosecond);

} // namespace
