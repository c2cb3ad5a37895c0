#include "filter/imp_response.h"

#include "core/diagram_model.h"
#include "filter/general.h"
#include "numeric/rad2fft.h"
#include "transient/spectrum_builder.h"

#include <algorithm>

namespace harlox {

TImpResponse::TImpResponse(const TGeneral& general, DiagramModel& window)
    : general_(general), window_(window) {
    inputSelector.filter = kMusicFilter;
    inputSelector.defaultExtension = "pcm";
    outputSelector.filter = kMusicFilter;
    outputSelector.defaultExtension = "pcm";
    window_.setTitle(kTitle);
    window_.setUnits("ms", "");
    window_.setLogX(false);
    resize(general_.ifftSize());
    window_.clearCurves();
    window_.addCurve(response_.data(), Pen{PenColor::Black, PenStyle::Solid}, "Total");
}

TImpResponse::~TImpResponse() = default;

bool TImpResponse::Enabled() const {
    return general_.disableIfft == 0;
}

void TImpResponse::resize(int n) {
    if (fft_ && fft_->size() == n) return;
    fft_ = std::make_unique<Rad2FFT>(n);
    spectrum_.resize(n);
    work_.resize(n);
    time_.assign(static_cast<std::size_t>(n), 0.0);
    response_.assign(static_cast<std::size_t>(n), 0.0);
    // The vectors moved: the window must point at the new ones.
    window_.setX(time_.data());
    if (window_.curveCount() > 0) window_.setCurveData(0, response_.data());
}

void TImpResponse::BuildSpectrum(double sampleRate, CVector& out) const {
    const int n = general_.ifftSize();
    if (out.length() != n) out.resize(n);
    if (source_ == nullptr) {
        out.fill(Complex(0.0, 0.0));
        return;
    }
    buildHermitianSpectrum(source_, general_.frequency().data(), TGeneral::kPoints, sampleRate / n,
                           out.data(), n);
}

bool TImpResponse::Calculate() {
    if (!Enabled()) return false;
    const int n = general_.ifftSize();
    const double fs = general_.sampleRate();
    resize(n);
    BuildSpectrum(fs, spectrum_);
    fft_->transform(spectrum_, work_, true);

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        response_[static_cast<std::size_t>(i)] = work_[i].real();
        sum += work_[i].real();
    }
    const double mean = sum / n;
    const int half = n / 2;
    double peak = 0.0;
    for (int i = 0; i < half; ++i) {
        double& h = response_[static_cast<std::size_t>(i)];
        h -= mean;
        peak = std::max(peak, h);
    }
    // A response without a positive value (a silent project) stays unscaled.
    if (peak > 0.0)
        for (int i = 0; i < half; ++i)
            response_[static_cast<std::size_t>(i)] /= peak;
    for (int i = 0; i < n; ++i)
        time_[static_cast<std::size_t>(i)] = i * 1000.0 / fs;
    shown_ = half;
    window_.setPointCount(shown_);
    return true;
}

} // namespace harlox
