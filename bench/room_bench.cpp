// The room and cabinet model at 500 points with every surface, the cabinet edges and the
// smoothing on: alone for one driver group and one port group, and inside a full closed-box
// and bass reflex calculation (flag 0), which runs it after the driver chain.
#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/room_cabinet.h"
#include "core/measure_setup.h"
#include "silent_host.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>

namespace {

using namespace harlox;

using bench::SilentHost;

void everythingOn(TRoomCabinet& rc) {
    rc.reflections = {1, 1, 1, 1, 1, 1};
    rc.cabinetEdges = 1;
    rc.thirdOctaveSmoothing = 1;
    rc.setDisplayMode(TRoomCabinet::kShowImpact);
}

void setup500() {
    MeasureSetup& s = sharedSetup();
    s.setValuesToDefaults();
    s.pointCount = kMaxPoints;
    s.rebuildGrid();
}

void roomModel(benchmark::State& state) {
    setup500();
    TRoomCabinet rc;
    everythingOn(rc);
    std::array<Complex, kMaxPoints> total{};
    std::array<Complex, kMaxPoints> port{};
    total.fill(Complex(1.0, 0.5));
    port.fill(Complex(0.2, 0.1));
    RoomSources sources;
    sources[SourceGroup::Drivers] = RoomSourceGroup{1, 0.08, nullptr, 1.0};
    sources[SourceGroup::Ports1] = RoomSourceGroup{1, 0.03, port.data(), -1.0};
    for (auto _ : state) {
        rc.Calculate(total.data(), sources, nullptr);
        benchmark::DoNotOptimize(rc.roomSpl.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMaxPoints);
}

void boxWithRoom(benchmark::State& state, int code) {
    SilentHost host;
    setup500();
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(code, host);
    box->front().SetDefaultUnit();
    box->setVb(0.04);
    if (box->hasQuickBox()) (void)box->QuickBox();
    everythingOn(box->roomCabinet());
    box->Calculate(0);
    for (auto _ : state) {
        box->Calculate(0);
        benchmark::DoNotOptimize(box->roomCabinet().roomSpl.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMaxPoints);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("room/model/drivers+port", roomModel)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("room/closed/calculate", [](benchmark::State& s) {
        boxWithRoom(s, 0);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("room/bassreflex/calculate", [](benchmark::State& s) {
        boxWithRoom(s, 1);
    })->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
