#include "transient/step_response.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "core/ui_host.h"
#include "transient/spectrum_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    impulse_.fill(0.0);
    kernel_.fill(0.0);
    builtResolution_ = 0.0;
    lowerLimit_ = 0.0;
    window_.clear();
    window_.setTitle(recordCaption());
    connectCurves();
}

std::string TStepResponse::recordCaption() const {
    if (!isToneBurst()) return kImpulseTitle;
    return strprintf(kToneBurstTitle, burstFrequency, static_cast<int>(burstPeriods));
}

void TStepResponse::formatCalculationCaption(std::span<char> out) const {
    if (inputSignal == kImpulse)
        std::snprintf(out.data(), out.size(), "%s", kImpulseTitle);
    else if (inputSignal == kStep)
        std::snprintf(out.data(), out.size(), "%s", kStepTitle);
    else
        std::snprintf(out.data(), out.size(), kToneBurstTitle, burstFrequency,
                      static_cast<int>(burstPeriods));
}

std::string TStepResponse::calculationCaption() const {
    std::array<char, kCaptionSize> caption{};
    formatCalculationCaption(caption);
    return caption.data();
}

void TStepResponse::connectCurves() {
    window_.clearCurves();
    window_.addCurve(responseCurve.data(), Pen{PenColor::Black, PenStyle::Solid}, "Response");
    if (curvesShown > 1) window_.addCurve(inputCurve.data(), Pen{PenColor::Blue, PenStyle::Dash}, "Input signal");
}

int TStepResponse::resolutionIndex() const {
    for (std::size_t i = 0; i < kResolutions.size(); ++i)
        if (kResolutions[i] == resolution) return static_cast<int>(i);
    return 0;
}

bool TStepResponse::setResolutionIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kResolutions.size())) return false;
    resolution = kResolutions[static_cast<std::size_t>(index)];
    return true;
}

int TStepResponse::shownPoints() const {
    const int all = isToneBurst() ? kSamples : kImpulseSamples;
    return zoom != 0 ? all / 2 : all;
}

int TStepResponse::burstLength() const {
    if (!(burstFrequency > 0.0) || !(resolution > 0.0)) return 0;
    // A whole number of periods ends on a sample; the small allowance keeps the rounding of
    // the divisions from dropping that last sample.
    const double samples = burstPeriods / burstFrequency / resolution * 1000.0;
    if (!(samples < kMaxBurstLength)) return kMaxBurstLength;
    return std::max(0, static_cast<int>(std::trunc(samples + 1e-6)));
}

void TStepResponse::setSource(const Complex* response, const double* frequencies, int count, bool measured) {
    source_ = response;
    sourceFrequencies_ = frequencies;
    sourceCount_ = response && frequencies ? std::max(count, 0) : 0;
    measuredSource_ = measured;
}

void TStepResponse::Calculate(bool rebuildSpectrum) {
    if (calculationEnabled == 0 || !(resolution > 0.0)) return;
    if (rebuildSpectrum || builtResolution_ != resolution) rebuildImpulseResponse();
    for (int n = 0; n < kSamples; ++n)
        timeAxis[static_cast<std::size_t>(n)] = n * resolution;
    if (isToneBurst())
        runToneBurst();
    else
        runImpulseOrStep();

    const std::int16_t curves = isToneBurst() && showInputSignal != 0 ? 2 : 1;
    if (curves != curvesShown || window_.curveCount() != curves) {
        curvesShown = curves;
        connectCurves();
    }
    window_.setPointCount(shownPoints());
    // Formatted in place and set only when it differs: the title costs nothing while the
    // settings stay as they are.
    std::array<char, kCaptionSize> caption{};
    formatCalculationCaption(caption);
    if (window_.title() != caption.data()) window_.setTitle(caption.data());
}

void TStepResponse::rebuildImpulseResponse() {
    // The resolution is the sample step: fs = 1000 / dt (dt in ms), bins fs / N apart.
    const double df = 1000.0 / resolution / kSamples;
    buildHermitianSpectrum(source_, sourceFrequencies_, sourceCount_, df, spectrum_.data(), kSamples);
    fft_.transform(spectrum_, work_, true);
    for (int n = 0; n < kSamples; ++n)
        impulse_[static_cast<std::size_t>(n)] = work_[n].real();
    builtResolution_ = resolution;
}

void TStepResponse::runImpulseOrStep() {
    const bool impulse = inputSignal == kImpulse;
    double* x = inputCurve.data();
    double* y = responseCurve.data();
    const double* r = impulse_.data();
    // The smoothed edges fall as q^n, so the convolution with them runs as a recursion:
    // e[n] = q·e[n-1] + r[n] is the impulse's response, the running sum minus e the step's.
    const double q = std::exp(-4.0 * resolution); // a 0.25 ms time constant, resolution in ms
    double e = 0.0, running = 0.0, sum = 0.0;
    for (int n = 0; n < kImpulseSamples; ++n) {
        running += r[n];
        if (measuredSource_) {
            // A measurement already carries its own band limits.
            x[n] = impulse ? (n == 0 ? 1.0 : 0.0) : 1.0;
            y[n] = impulse ? r[n] : running;
        } else {
            // Smoothed edges, so that the model's unlimited top end does not ring.
            const double edge = std::exp(-0.001 * timeAxis[static_cast<std::size_t>(n)] * 4000.0);
            x[n] = impulse ? edge : 1.0 - edge;
            e = q * e + r[n];
            y[n] = impulse ? e : running - e;
        }
        sum += y[n];
    }
    std::fill(x + kImpulseSamples, x + kSamples, 0.0);
    std::fill(y + kImpulseSamples, y + kSamples, 0.0);

    const double mean = sum / kImpulseSamples;
    double peak = 0.0;
    double low = 0.0;
    for (int n = 0; n < kImpulseSamples; ++n) {
        y[n] -= mean;
        peak = std::max(peak, y[n]);
        low = std::min(low, y[n]);
    }
    // A response without a positive value (no source yet) stays as it is.
    if (peak > 0.0) {
        for (int n = 0; n < kImpulseSamples; ++n)
            y[n] /= peak;
        lowerLimit_ = low / peak;
    } else {
        lowerLimit_ = low;
    }
}

void TStepResponse::runToneBurst() {
    const int length = burstLength();
    double* x = inputCurve.data();
    double* y = responseCurve.data();
    const double* r = impulse_.data();
    const double w = kTwoPi / 1000.0 * burstFrequency; // per ms
    for (int n = 0; n < kSamples; ++n)
        x[n] = n <= length ? kBurstAmplitude * std::sin(w * timeAxis[static_cast<std::size_t>(n)]) : 0.0;

    double* k = kernel_.data();
    if (measuredSource_) {
        for (int n = 0; n < kSamples; ++n)
            k[n] = n < kImpulseSamples ? r[n] : 0.0;
    } else {
        k[0] = r[0];
        for (int n = 1; n < kSamples; ++n)
            k[n] = kKernelDecay * k[n - 1] + (n < kImpulseSamples ? r[n] : 0.0);
    }

    double peak = 0.0;
    for (int n = 0; n < kSamples; ++n) {
        const int last = std::min(n, length);
        double acc = 0.0;
        for (int i = 0; i <= last; ++i)
            acc += x[i] * k[n - i];
        y[n] = acc;
        peak = std::max(peak, acc);
    }
    double low = 0.0;
    for (int n = 0; n < kSamples; ++n)
        low = std::min(low, y[n]);
    if (peak > 0.0) {
        for (int n = 0; n < kSamples; ++n)
            y[n] /= peak;
        low /= peak;
    }
    lowerLimit_ = low;
}

bool TStepResponse::writeRecord(BinaryWriter& w) const {
    writeGroup(w, "window", [&] { return window_.writeRecord(w); });
    w.u8(zoom, "zoom");
    w.u8(calculationEnabled, "calculationEnabled");
    w.u8(showInputSignal, "showInputSignal");
    w.i16(inputSignal, "inputSignal");
    w.f64(burstFrequency, "burstFrequency");
    w.i16(burstPeriods, "burstPeriods");
    w.i16(curvesShown, "curvesShown");
    return w.f64(resolution, "resolution");
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
