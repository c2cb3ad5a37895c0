#pragma once

#include "numeric/cmatrix.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace harlox {

class PcmReader;
class PcmWriter;
class Rad2FFT;
class TGeneral;
class TImpResponse;
class UiHost;

// "Filter music": streams a music file through the project's frequency response, one block
// of N/2 frames per call, with a sine window before and after the transforms and 50 %
// overlap-add. The output starts N frames late (N zero samples, then the first block as
// zeros) and, once the input is exhausted, the overlap store is flushed, so every input frame
// reaches the output: the output has the input's frames plus N.
class TMusicFilter {
public:
    enum class State { Idle = 0, Running = 1, Stopping = 2 };

    static constexpr const char* kCaption = "Filter music";
    static constexpr const char* kWriteFailed = "Can not open file %s for writing";
    static constexpr const char* kReadFailed = "Can not open file %s for reading";
    static constexpr const char* kOverflowStatus = "Overflow %d time(s), max = %f dBOV";
    static constexpr const char* kReady = "Ready";
    // Crossfeed delay between the ears, s.
    static constexpr double kHrtfDelay = 0.000382352941;

    // The owner supplies the response, the scale and the crossfeed flag; N comes from the
    // general settings at Start.
    TMusicFilter(const TImpResponse& owner, const TGeneral& general, UiHost& ui);
    ~TMusicFilter();
    TMusicFilter(const TMusicFilter&) = delete;
    TMusicFilter& operator=(const TMusicFilter&) = delete;

    // Idle -> running. Refuses (with the message, staying idle) while the impulse response
    // is disabled, or when a file cannot be opened or taken.
    bool Start(const std::string& input, const std::string& output);
    // One block while running; the closing while stopping. Returns whether another call is
    // needed (false once idle again).
    bool Step();
    // "Stop": the next step closes the files.
    void Stop();

    [[nodiscard]] State state() const { return state_; }
    [[nodiscard]] bool busy() const { return state_ != State::Idle; }
    // Seconds of input filtered so far.
    [[nodiscard]] double Elapsed() const { return elapsed_; }
    // The total length of the input, s (0 before a start).
    [[nodiscard]] double Duration() const { return duration_; }
    [[nodiscard]] const std::string& Status() const { return status_; }
    [[nodiscard]] std::int32_t OverflowCount() const { return overflows_; }
    [[nodiscard]] double MaxOverflow() const { return maxOverflow_; }
    [[nodiscard]] int BlockSize() const { return n_; }
    // The rate of the running (or last) input, Hz.
    [[nodiscard]] int SampleRate() const { return rate_; }

private:
    void prepare(int n, double rate, bool floatOut);
    void filterBlock(int frames);
    void finish();

    const TImpResponse& owner_;
    const TGeneral& general_;
    UiHost& ui_;
    State state_ = State::Idle;
    std::unique_ptr<PcmReader> in_;
    std::unique_ptr<PcmWriter> out_;
    std::unique_ptr<Rad2FFT> fft_;
    int n_ = 0;
    int rate_ = 0;

    // x: input block, v: windowed, w: window, h: response, g: crossfeed, u: inverse result,
    // o: overlap store, s: spectrum.
    CVector x_, v_, w_, h_, g_, u_, o_, s_;
    std::vector<double> read_;
    std::vector<std::int16_t> write16_;
    std::vector<float> writeFloat_;

    std::int32_t overflows_ = 0;
    double maxOverflow_ = -1.0;
    double elapsed_ = 0.0;
    double duration_ = 0.0;
    bool firstBlock_ = false;
    bool inputEnded_ = false;
    bool writeFailed_ = false;
    int pending_ = 0; // input frames whose output the next block writes
    std::string status_;
};

} // namespace harlox
