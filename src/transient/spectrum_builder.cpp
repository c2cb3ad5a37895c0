#include "transient/spectrum_builder.h"

#include <cmath>

namespace harlox {

void buildHermitianSpectrum(const Complex* response, const double* frequencies, int count, double df,
                            Complex* spectrum, int n) {
    const int half = n / 2;
    if (count < 1) {
        for (int m = 0; m < n; ++m)
            spectrum[m] = Complex(0.0, 0.0);
        return;
    }
    const double lowest = frequencies[0];
    const double highest = frequencies[count - 1];
    // The bins ascend, so the grid index only moves forward.
    int j = 0;
    for (int m = 0; m < half; ++m) {
        const double f = m * df;
        while (j < count && !(frequencies[j] >= f))
            ++j;
        Complex b;
        if (f < lowest) {
            b = response[0] * (f / lowest);
        } else if (f > highest || j == count) {
            b = response[count - 1];
        } else if (j == 0) {
            b = response[0];
        } else {
            const double t = std::log(f / frequencies[j - 1]) / std::log(frequencies[j] / frequencies[j - 1]);
            b = Complex((1.0 - t) * response[j - 1].real() + t * response[j].real(),
                        (1.0 - t) * response[j - 1].imag() + t * response[j].imag());
        }
        spectrum[m] = b;
    }
    for (int m = 1; m < half; ++m)
        spectrum[n - m] = std::conj(spectrum[m]);
    spectrum[0] = Complex(0.0, 0.0);
    if (half > 0) spectrum[half] = Complex(0.0, 0.0);
}

} // namespace harlox
