#pragma once

#include "core/constants.h"

#include <string>

namespace harlox {

// Measured curves written by measurement programs (LAUD, LEAP, CLIO, MLSSA text files):
// lines of frequency, magnitude and phase separated by blanks or tabs. Any line without a
// leading number is skipped.
enum class MeasuredKind { Spl, Impedance };

enum class MeasuredReadResult {
    Loaded,      // every grid point holds a value
    NoData,      // the file has no usable line on the grid; nothing is loaded
    CannotOpen,  // the file could not be opened
};

// Reads `path` (already resolved to an openable name) and resamples it onto the grid f[0..n)
// (rising frequencies, n <= 500): log-frequency interpolation, the first measured value
// below the file's range, the last resampled value above it. SPL values become
// 10^(dB/20)·e^(jφ), impedance values |Z|·e^(jφ). `out` must hold n values.
MeasuredReadResult readMeasuredCurve(const std::string& path, MeasuredKind kind, const double* f, int n,
                                     Complex* out);

// The message shown when a measured file cannot be opened (caption "Measured data").
std::string measuredOpenFailureText(const std::string& triedPath);

} // namespace harlox
