#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"
#include "numeric/cmatrix.h"
#include "numeric/rad2fft.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class UiHost;

// The settings of a box project's transient response, in the order the project record and
// "stepresp.prf" store them after the window record.
struct StepResponseSettings {
    std::uint8_t zoom = 0;               // "&Zoom 200%"
    std::uint8_t calculationEnabled = 1; // "&Enable calculation"
    std::uint8_t showInputSignal = 1;    // "&Show input signal" (tone burst only)
    std::int16_t inputSignal = 0;        // 0 impulse, 1 step, anything else tone burst
    double burstFrequency = 50.0;        // Hz
    std::int16_t burstPeriods = 3;
    std::int16_t curvesShown = 1; // 2 while the input signal is shown with the response
    double resolution = 0.025;    // time step, ms

    bool operator==(const StepResponseSettings&) const = default;
};

// The transient response window of a box project: impulse, step or tone-burst response of
// the box. The box's complex response is resampled onto a 1024-point FFT grid whose sample
// step is the chosen resolution, turned into an impulse response by the inverse transform
// and convolved with the chosen input signal. Everything a calculation needs is allocated
// with the object: the box calls it from its calculation cycle.
class TStepResponse : public StepResponseSettings {
public:
    static constexpr std::size_t kRecordSize = 95;
    static constexpr int kSamples = 1024;
    static constexpr std::int16_t kImpulse = 0;
    static constexpr std::int16_t kStep = 1;
    static constexpr std::int16_t kToneBurst = 2;
    static constexpr double kMinBurstFrequency = 10.0;
    static constexpr double kMaxBurstFrequency = 500.0;
    static constexpr int kMinBurstPeriods = 1;
    static constexpr int kMaxBurstPeriods = 20;
    static constexpr std::array<double, 7> kResolutions{0.025, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0};
    static constexpr std::array<const char*, 7> kResolutionLabels{"25 us",  "50 us",  "0.1 ms", "0.2 ms",
                                                                  "0.5 ms", "1.0 ms", "2.0 ms"};
    // Impulse and step responses use the first half of the transform, the tone burst all of it.
    static constexpr int kImpulseSamples = kSamples / 2;
    static constexpr int kMaxBurstLength = kSamples - 1;
    // Without measured data the tone burst's kernel lets the impulse response ring on.
    static constexpr double kKernelDecay = 0.6;
    static constexpr double kBurstAmplitude = 0.3;

    static constexpr const char* kImpulseTitle = "Impulse response";
    static constexpr const char* kStepTitle = "Step response";
    static constexpr const char* kToneBurstTitle = "Tone burst resp. %2.1f Hz, %d periods";
    static constexpr const char* kPreferencesFile = "stepresp.prf";
    static constexpr const char* kSaveFailedCaption = "Error";
    static constexpr const char* kSaveFailedText = "Could not save to file 'stepresp.prf'";

    TStepResponse();
    TStepResponse(const TStepResponse&) = delete;
    TStepResponse& operator=(const TStepResponse&) = delete;

    // Default settings, an empty window titled as a read record would title it. The
    // window's placement and note stay.
    void Reset();

    [[nodiscard]] bool isToneBurst() const { return inputSignal != kImpulse && inputSignal != kStep; }
    // The caption a calculation gives the window: "Impulse response", "Step response" or the
    // tone burst's with its frequency and periods.
    [[nodiscard]] std::string calculationCaption() const;
    // The caption a window gets after its record was read: impulse and step both show
    // "Impulse response" until the next calculation names the step response.
    [[nodiscard]] std::string recordCaption() const;

    DiagramModel& window() { return window_; }
    [[nodiscard]] const DiagramModel& window() const { return window_; }

    // The 95-byte record: window record, then the settings. A failed read changes nothing;
    // values out of the dialog's ranges are brought back into them.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r);

    // "stepresp.prf" holds the same 95 bytes. Saving reports its failure through `ui`;
    // loading fails quietly (missing or short file) and then changes nothing.
    bool SaveSettings(UiHost& ui) const;
    [[nodiscard]] bool LoadSettings();

    // The box response to work from: complex pressure on the box grid (arrays owned by the
    // project, read at every rebuild). A measured curve in use selects the ideal input
    // signals and the plain kernel; the box's own model gets smoothed ones.
    void setSource(const Complex* response, const double* frequencies, int count, bool measured);

    // When the calculation is enabled: rebuilds the impulse response from the source when
    // asked (or when the resolution changed since it was built), sets the time axis and runs
    // the chosen input signal through it. Allocates nothing.
    void Calculate(bool rebuildSpectrum);

    // Index into kResolutions of the current resolution (0 when it is none of them), and the
    // choice by index; false for an index outside the list.
    [[nodiscard]] int resolutionIndex() const;
    bool setResolutionIndex(int index);

    // Points the window shows: 512 for impulse and step, 1024 for the tone burst, half with zoom.
    [[nodiscard]] int shownPoints() const;
    // The last sample of the tone burst: periods / frequency at the resolution, at most 1023.
    [[nodiscard]] int burstLength() const;
    // The impulse response of the last rebuild: the real part of the unscaled inverse transform.
    [[nodiscard]] const std::array<double, kSamples>& impulseResponse() const { return impulse_; }
    // The y axis runs from this to 1: the lowest value of the normalised response.
    [[nodiscard]] double lowerLimit() const { return lowerLimit_; }

    // What the window shows: time in ms, the input signal and the response.
    std::array<double, kSamples> timeAxis{};
    std::array<double, kSamples> inputCurve{};
    std::array<double, kSamples> responseCurve{};

private:
    static constexpr std::size_t kCaptionSize = 96;
    void formatCalculationCaption(std::span<char> out) const;
    void connectCurves();
    void rebuildImpulseResponse();
    void runImpulseOrStep();
    void runToneBurst();

    DiagramModel window_{kImpulseTitle, "ms", ""};

    const Complex* source_ = nullptr;
    const double* sourceFrequencies_ = nullptr;
    int sourceCount_ = 0;
    bool measuredSource_ = false;

    Rad2FFT fft_{kSamples};
    CVector spectrum_{kSamples};
    CVector work_{kSamples};
    std::array<double, kSamples> impulse_{};
    std::array<double, kSamples> kernel_{};
    double builtResolution_ = 0.0; // resolution impulse_ was built with; 0 before the first build
    double lowerLimit_ = 0.0;
};

} // namespace harlox
