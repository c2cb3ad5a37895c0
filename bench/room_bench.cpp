// The room and cabinet model at 500 points with every surface, the cabinet edges and the
// smoothing on: alone for one driver group and one port group, and inside a full calculation
// (flag 0) of every box type, which runs it after the driver chain and before the transient
// response (a tone burst, the longest of its inputs).
#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/room_cabinet.h"
#include "core/measure_setup.h"
#include "driver/speaker_object.h"
#include "transient/step_response.h"
#include "silent_host.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>

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
    // The reflex bandpass drives a rear unit as well.
    for (TSpeakerObject* d : {&box->front(), &box->rear()})
        d->SetDefaultUnit();
    box->setVb(0.04);
    if (box->hasQuickBox()) (void)box->QuickBox();
    everythingOn(box->roomCabinet());
    box->transientResponse().inputSignal = TStepResponse::kToneBurst;
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
    static constexpr const char* kNames[] = {"closed", "bassreflex", "dt1", "dt2", "abr",
                                             "bp1",    "bp2",        "bp3", "bp4", "reflexbp"};
    for (int code = 0; code < 10; ++code)
        benchmark::RegisterBenchmark((std::string("room/") + kNames[code] + "/calculate").c_str(),
                                     [code](benchmark::State& s) { boxWithRoom(s, code); })
            ->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
