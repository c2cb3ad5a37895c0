#pragma once

#include "core/diagram_model.h"

#include <array>
#include <cstddef>
#include <cstdint>
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
// the box. This holds its settings, its window and the arrays the window shows; the
// calculation comes with the FFT-based response model.
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

    // What the window shows: time in ms, the input signal and the response.
    std::array<double, kSamples> timeAxis{};
    std::array<double, kSamples> inputCurve{};
    std::array<double, kSamples> responseCurve{};

private:
    void connectCurves();

    DiagramModel window_{kImpulseTitle, "ms", ""};
};

} // namespace harlox
