#pragma once

#include "core/constants.h"
#include "core/ui_host.h"
#include "numeric/cmatrix.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace harlox {

class DiagramModel;
class Rad2FFT;
class TGeneral;

// The impulse response window of a filter project: the inverse transform of the project's
// summed complex response along the shown ray, resampled onto the FFT grid of the general
// settings ("# points", "Sample rate"). It also keeps what "Filter music" remembers between
// two openings of its dialog: the file choices, the scale and the crossfeed flag.
class TImpResponse {
public:
    static constexpr const char* kTitle = "Impulse response";
    static constexpr const char* kPcmFilter = "16 bit PCM (*.pcm)|*.pcm|All files (*.*)|*.*|";
    static constexpr const char* kMusicFilter =
        "Music files (*.pcm;*.wav;*.flac)|*.pcm;*.wav;*.flac|16 bit PCM (*.pcm)|*.pcm|WAV (*.wav)|*.wav|"
        "FLAC (*.flac)|*.flac|All files (*.*)|*.*|";
    static constexpr const char* kHelpFile = "simulate.txt";
    static constexpr const char* kDisabledCaption = "Impulse response disabled";
    static constexpr const char* kDisabledText = "Impulse reponse must be enabled for this feature";
    static constexpr double kMinScaleDb = -40.0;
    static constexpr double kMaxScaleDb = 40.0;

    // `window` is the project's diagram model this object fills (x axis, curve, points).
    TImpResponse(const TGeneral& general, DiagramModel& window);
    ~TImpResponse();
    TImpResponse(const TImpResponse&) = delete;
    TImpResponse& operator=(const TImpResponse&) = delete;

    // The 500-point complex response on the filter grid, owned by the project; read at
    // every calculation. Null leaves the spectrum silent.
    void setSource(const Complex* response) { source_ = response; }
    [[nodiscard]] const Complex* source() const { return source_; }

    [[nodiscard]] bool Enabled() const;
    // Rebuilds spectrum, response and time axis; false (and nothing touched) while the
    // general settings disable the impulse response.
    bool Calculate();

    // The spectrum of the source on the bins m * fs / N of an N-point transform, N the
    // general settings' size; `out` is resized to N. The music filter builds it for the
    // sample rate of its input file, the window for the general settings' rate.
    void BuildSpectrum(double sampleRate, CVector& out) const;

    // Results of the last calculation, N values each; the window shows the first N/2.
    [[nodiscard]] const CVector& Spectrum() const { return spectrum_; }
    [[nodiscard]] const std::vector<double>& TimeAxis() const { return time_; }
    [[nodiscard]] const std::vector<double>& Response() const { return response_; }
    [[nodiscard]] int ShownPoints() const { return shown_; }

    // "Filter music" settings, kept while the dialog is closed.
    FileSelector inputSelector;
    FileSelector outputSelector;
    double scaleDb = 0.0;      // "Scale"
    bool simulateHrtf = false; // "Simulate HRTF"
    bool dialogPlaced = false; // the dialog's last position
    int dialogX = 0;
    int dialogY = 0;
    bool dialogOpen = false; // the command is greyed while it is open

private:
    void resize(int n);

    const TGeneral& general_;
    DiagramModel& window_;
    const Complex* source_ = nullptr;
    std::unique_ptr<Rad2FFT> fft_;
    CVector spectrum_;
    CVector work_;
    std::vector<double> time_;
    std::vector<double> response_;
    int shown_ = 0;
};

} // namespace harlox
