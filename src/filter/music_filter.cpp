#include "filter/music_filter.h"

#include "core/constants.h"
#include "core/format.h"
#include "core/ui_host.h"
#include "filter/general.h"
#include "filter/imp_response.h"
#include "filter/pcm_io.h"
#include "numeric/rad2fft.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace harlox {

namespace {

constexpr double kFullScale = 32768.0;
constexpr double kLimit = 32767.0;

// Level of the direct path relative to the crossfed one, as a power of ten.
double directExponent(double f) {
    if (f < 100.0) return -0.2;
    if (f < 500.0) return -0.2 + 0.06 * std::log(f / 100.0) / std::log(5.0);
    if (f < 800.0) return -0.14 + 0.085 * std::log(f / 500.0) / std::log(1.6);
    if (f < 1200.0) return -0.055 + 0.105 * std::log(f / 800.0) / std::log(1.5);
    return 0.05;
}

// Level of the sound reaching the far ear: the head shades the highs.
double crossLevel(double f) {
    if (f < 100.0) return 1.0;
    if (f < 600.0) return std::pow(10.0, -0.1 * std::log(f / 100.0) / std::log(6.0));
    if (f < 1000.0) return std::pow(10.0, -0.1 - 0.25 * std::log(f / 600.0) / std::log(5.0 / 3.0));
    if (f < 4000.0) return std::pow(10.0, -0.35 - 0.15 * std::log(f / 1000.0) / std::log(4.0));
    if (f < 7000.0) return std::pow(10.0, -0.5 - 0.5 * std::log(f / 4000.0) / std::log(1.75));
    return 0.1;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

TMusicFilter::TMusicFilter(const TImpResponse& owner, const TGeneral& general, UiHost& ui)
    : owner_(owner), general_(general), ui_(ui) {}

TMusicFilter::~TMusicFilter() = default;

bool TMusicFilter::Start(const std::string& input, const std::string& output) {
    if (state_ != State::Idle) return false;
    if (!owner_.Enabled()) {
        ui_.messageBox(TImpResponse::kDisabledCaption, TImpResponse::kDisabledText, MessageIcon::Exclamation,
                       MessageButtons::Ok);
        return false;
    }
    // The input is looked at first: the output's channels, rate and samples follow it, and a
    // refused input must not cost the user the old output file.
    std::string why;
    std::unique_ptr<PcmReader> in = PcmReader::Open(input, general_.sampleRate(), why);
    if (!in) {
        ui_.error(kCaption, why);
        return false;
    }
    if (sameFile(input, output)) {
        ui_.error(kCaption, strprintf(kWriteFailed, output.c_str()) + ": it is the input file");
        return false;
    }
    // A headerless output is stereo by definition; float input keeps float in a WAV file.
    const int channels = isSoundFileName(output) ? in->channels() : 2;
    std::unique_ptr<PcmWriter> out =
        PcmWriter::Create(output, channels, in->rate(), in->sample() == PcmSample::Float, why);
    if (!out) {
        ui_.error(kCaption, why);
        return false;
    }
    in_ = std::move(in);
    out_ = std::move(out);
    rate_ = in_->rate();
    prepare(general_.ifftSize(), rate_, out_->floatSamples());

    // N zero samples lead the output.
    const int half = n_ / 2;
    std::fill(write16_.begin(), write16_.end(), std::int16_t{0});
    std::fill(writeFloat_.begin(), writeFloat_.end(), 0.0f);
    const bool written = out_->floatSamples() ? out_->WriteFloat(writeFloat_.data(), half)
                                              : out_->Write16(write16_.data(), half);
    status_.clear();
    overflows_ = 0;
    maxOverflow_ = -1.0;
    elapsed_ = 0.0;
    duration_ = static_cast<double>(in_->frames()) / rate_;
    firstBlock_ = true;
    inputEnded_ = false;
    // The first block stands for the N/2 frames before the music.
    pending_ = half;
    state_ = State::Running;
    writeFailed_ = !written;
    if (!written) {
        ui_.error(kCaption, strprintf("Could not write to file %s", output.c_str()));
        state_ = State::Stopping;
    }
    return true;
}

void TMusicFilter::prepare(int n, double rate, bool floatOut) {
    if (!fft_ || fft_->size() != n) {
        fft_ = std::make_unique<Rad2FFT>(n);
        for (CVector* c : {&x_, &v_, &w_, &h_, &g_, &u_, &o_, &s_})
            c->resize(n);
    }
    n_ = n;
    const int half = n / 2;
    read_.assign(static_cast<std::size_t>(n), 0.0);
    write16_.assign(floatOut ? 0 : static_cast<std::size_t>(n), 0);
    writeFloat_.assign(floatOut ? static_cast<std::size_t>(n) : 0, 0.0f);
    x_.fill(Complex(0.0, 0.0));
    o_.fill(Complex(0.0, 0.0));

    // Unit RMS gain at Scale 0 dB, the 1/N of the inverse transform folded in.
    owner_.BuildSpectrum(rate, h_);
    double power = 0.0;
    for (int k = 0; k < n; ++k)
        power += std::norm(h_[k]);
    const double rms = std::sqrt(power / n);
    // A silent project filters to silence rather than to NaN.
    const double gain = rms > 0.0 ? std::pow(10.0, 0.05 * owner_.scaleDb) / n / rms : 0.0;
    for (int k = 0; k < n; ++k)
        h_[k] *= gain;

    for (int k = 0; k < n; ++k)
        w_[k] = Complex(std::sin(kPiExact * k / (n - 1)), 0.0);

    g_.fill(Complex(0.0, 0.0));
    if (owner_.simulateHrtf) {
        const double base = std::pow(10.0, -0.05);
        for (int m = 1; m < half; ++m) {
            const double f = m * rate / n;
            const double d = base * std::pow(10.0, directExponent(f));
            h_[m] *= d;
            h_[n - m] *= d;
            const double phi = -2.0 * kPiExact * f * kHrtfDelay;
            g_[m] = crossLevel(f) * Complex(std::cos(phi), std::sin(phi));
            g_[n - m] = std::conj(g_[m]);
        }
    }
}

void TMusicFilter::filterBlock(int frames) {
    const int n = n_;
    const int half = n / 2;
    Complex* x = x_.data();
    for (int k = 0; k < half; ++k)
        x[k] = x[k + half];
    const double* r = read_.data();
    for (int p = 0; p < half; ++p)
        x[half + p] = p < frames ? Complex(r[2 * p], r[2 * p + 1]) : Complex(0.0, 0.0);

    const Complex* w = w_.data();
    Complex* v = v_.data();
    for (int k = 0; k < n; ++k)
        v[k] = x[k] * w[k].real();
    fft_->transform(v_, s_, false);
    Complex* s = s_.data();
    const Complex* h = h_.data();
    // Written out: the library's complex product checks every result for NaN.
    for (int k = 0; k < n; ++k)
        s[k] = Complex(s[k].real() * h[k].real() - s[k].imag() * h[k].imag(),
                       s[k].real() * h[k].imag() + s[k].imag() * h[k].real());
    if (owner_.simulateHrtf) {
        const Complex* g = g_.data();
        for (int m = 1; m < half; ++m) {
            const Complex a = std::conj(s[n - m]);
            const Complex b = std::conj(s[m]);
            s[m] -= g[m] * a;
            s[n - m] += g[n - m] * b;
        }
    }
    fft_->transform(s_, u_, true);

    Complex* u = u_.data();
    Complex* o = o_.data();
    std::int16_t* out16 = write16_.data();
    float* outFloat = writeFloat_.data();
    const bool floatOut = out_->floatSamples();
    double peak = 0.0;
    bool overflow = false;
    for (int p = 0; p < half; ++p) {
        const Complex y = u[p] * w[p].real() + o[half + p];
        o[half + p] = u[half + p] * w[half + p].real();
        double left = y.real();
        double right = y.imag();
        const double level = std::max(std::abs(left), std::abs(right));
        if (level > kFullScale) {
            ++overflows_;
            peak = std::max(peak, level);
            overflow = true;
        }
        if (floatOut) {
            outFloat[2 * p] = static_cast<float>(left);
            outFloat[2 * p + 1] = static_cast<float>(right);
            continue;
        }
        left = std::clamp(left, -kLimit, kLimit);
        right = std::clamp(right, -kLimit, kLimit);
        out16[2 * p] = static_cast<std::int16_t>(left);
        out16[2 * p + 1] = static_cast<std::int16_t>(right);
    }
    if (overflow) {
        maxOverflow_ = std::max(maxOverflow_, 20.0 * std::log10(peak / kFullScale));
        status_ = strprintf(kOverflowStatus, static_cast<int>(overflows_), maxOverflow_);
    }
}

bool TMusicFilter::Step() {
    if (state_ == State::Stopping) {
        finish();
        return false;
    }
    if (state_ != State::Running) return false;
    const int half = n_ / 2;
    const int got = inputEnded_ ? 0 : in_->ReadStereo(read_.data(), half);
    if (got < half) inputEnded_ = true;
    filterBlock(got);

    // This block's output belongs to the frames the previous block read; the first one is
    // written as zeros.
    if (firstBlock_) {
        std::fill(write16_.begin(), write16_.end(), std::int16_t{0});
        std::fill(writeFloat_.begin(), writeFloat_.end(), 0.0f);
        firstBlock_ = false;
    }
    const bool written =
        pending_ == 0 || (out_->floatSamples() ? out_->WriteFloat(writeFloat_.data(), pending_)
                                               : out_->Write16(write16_.data(), pending_));
    pending_ = got;
    elapsed_ += static_cast<double>(got) / rate_;
    if (!written) {
        ui_.error(kCaption, "Could not write the output file (is the disk full?)");
        writeFailed_ = true;
        state_ = State::Stopping;
    } else if (inputEnded_ && pending_ == 0) {
        state_ = State::Stopping;
    }
    return true;
}

void TMusicFilter::Stop() {
    if (state_ == State::Running) state_ = State::Stopping;
}

void TMusicFilter::finish() {
    in_.reset();
    // A run that could not write is dropped (its message was shown): the writer discards
    // the half-written file and an earlier output stays. A stopped run keeps what it wrote.
    const bool closed = out_ == nullptr || writeFailed_ || out_->Close();
    out_.reset();
    state_ = State::Idle;
    if (!closed) ui_.error(kCaption, "Could not complete the output file (is the disk full?)");
    ui_.messageBox(kCaption, kReady, MessageIcon::Information, MessageButtons::Ok);
}

} // namespace harlox
