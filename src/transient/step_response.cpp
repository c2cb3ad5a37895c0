#include "transient/step_response.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "core/ui_host.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace harlox {

namespace {

// Brings values read from a file back into what the dialog can show and the calculation
// can use without dividing by zero or overrunning its buffers.
void sanitize(StepResponseSettings& s) {
    const auto flag = [](std::uint8_t& f) { f = f != 0 ? 1 : 0; };
    flag(s.zoom);
    flag(s.calculationEnabled);
    flag(s.showInputSignal);
    if (s.inputSignal != TStepResponse::kImpulse && s.inputSignal != TStepResponse::kStep)
        s.inputSignal = TStepResponse::kToneBurst;
    if (!(s.burstFrequency >= TStepResponse::kMinBurstFrequency &&
          s.burstFrequency <= TStepResponse::kMaxBurstFrequency))
        s.burstFrequency = std::isnan(s.burstFrequency)
                               ? StepResponseSettings{}.burstFrequency
                               : std::clamp(s.burstFrequency, TStepResponse::kMinBurstFrequency,
                                            TStepResponse::kMaxBurstFrequency);
    s.burstPeriods = static_cast<std::int16_t>(
        std::clamp<int>(s.burstPeriods, TStepResponse::kMinBurstPeriods, TStepResponse::kMaxBurstPeriods));
    s.curvesShown = static_cast<std::int16_t>(std::clamp<int>(s.curvesShown, 1, 2));
    const bool offered = std::any_of(TStepResponse::kResolutions.begin(), TStepResponse::kResolutions.end(),
                                     [&](double dt) { return s.resolution == dt; });
    if (!offered) s.resolution = StepResponseSettings{}.resolution;
}

} // namespace

TStepResponse::TStepResponse() {
    window_.setLogX(false);
    window_.setX(timeAxis.data());
    connectCurves();
}

void TStepResponse::Reset() {
    static_cast<StepResponseSettings&>(*this) = StepResponseSettings{};
    timeAxis.fill(0.0);
    inputCurve.fill(0.0);
    responseCurve.fill(0.0);
    window_.clear();
    window_.setTitle(recordCaption());
    connectCurves();
}

std::string TStepResponse::recordCaption() const {
    if (!isToneBurst()) return kImpulseTitle;
    return strprintf(kToneBurstTitle, burstFrequency, static_cast<int>(burstPeriods));
}

void TStepResponse::connectCurves() {
    window_.clearCurves();
    window_.addCurve(responseCurve.data(), Pen{PenColor::Black, PenStyle::Solid}, "");
    if (curvesShown > 1) window_.addCurve(inputCurve.data(), Pen{PenColor::Blue, PenStyle::Dash}, "");
}

bool TStepResponse::writeRecord(BinaryWriter& w) const {
    window_.writeRecord(w);
    w.u8(zoom);
    w.u8(calculationEnabled);
    w.u8(showInputSignal);
    w.i16(inputSignal);
    w.f64(burstFrequency);
    w.i16(burstPeriods);
    w.i16(curvesShown);
    return w.f64(resolution);
}

bool TStepResponse::readRecord(BinaryReader& r) {
    DiagramModel stored;
    StepResponseSettings s;
    stored.readRecord(r);
    r.u8(s.zoom);
    r.u8(s.calculationEnabled);
    r.u8(s.showInputSignal);
    r.i16(s.inputSignal);
    r.f64(s.burstFrequency);
    r.i16(s.burstPeriods);
    r.i16(s.curvesShown);
    if (!r.f64(s.resolution)) return false;

    sanitize(s);
    window_.placement = stored.placement;
    window_.setNote(stored.note());
    static_cast<StepResponseSettings&>(*this) = s;
    window_.setTitle(recordCaption());
    connectCurves();
    return true;
}

bool TStepResponse::SaveSettings(UiHost& ui) const {
    BinaryWriter w;
    writeRecord(w);
    if (!w.ok() || !writeFileAtomic(preferencesPath(kPreferencesFile), w.buffer())) {
        ui.error(kSaveFailedCaption, kSaveFailedText);
        return false;
    }
    return true;
}

bool TStepResponse::LoadSettings() {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(preferencesPath(kPreferencesFile), bytes, 4096)) return false;
    BinaryReader r(bytes);
    return readRecord(r);
}

} // namespace harlox
