#pragma once

#include "core/constants.h"

namespace harlox {

// Resamples a complex response given on an ascending (logarithmic) frequency grid onto the
// bins m·df of an n-point FFT, m < n/2, and mirrors it so that its inverse transform is
// real. Between grid points the real and imaginary parts are interpolated in log frequency;
// below the grid the lowest value ramps linearly to zero at DC, above it the highest value
// is held. Bins 0 and n/2 are zero. n must be even; an empty grid gives an empty spectrum.
void buildHermitianSpectrum(const Complex* response, const double* frequencies, int count, double df,
                            Complex* spectrum, int n);

} // namespace harlox
