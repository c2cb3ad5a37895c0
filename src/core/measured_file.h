#pragma once

#include "core/constants.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace harlox {

// Measured curves written by measurement programs (LAUD, LEAP, CLIO, MLSSA text files):
// lines of frequency, magnitude and phase separated by blanks or tabs. Any line without a
// leading number is skipped.
enum class MeasuredKind { Spl, Impedance };

enum class MeasuredReadResult {
    Loaded,     // every grid point holds a value
    NoData,     // the file has no usable line on the grid; nothing is loaded
    CannotOpen, // the file could not be opened (or is no regular file)
};

// Reads `path` (already resolved to an openable name) and resamples it onto the grid f[0..n)
// (positive, rising frequencies; n is clamped to 500): log-frequency interpolation between
// the two file lines around each grid frequency, the first measured value below the file's
// range, the last resampled value above it. SPL values become 10^(dB/20)·e^(jφ), impedance
// values |Z|·e^(jφ). `out` must hold n values. The values are written as the read goes on,
// so `out` holds partial results when the answer is not Loaded.
//
// Hostile files: reading stops after kMaxMeasuredFileBytes; a frequency that is not a
// positive finite number counts as no frequency (the line is skipped like a header); a
// magnitude that overflows counts as missing (the previous line's is kept), a phase that
// overflows counts as missing (0); an amplitude too large for a double is held at the
// largest finite one. So every stored value is finite.
MeasuredReadResult readMeasuredCurve(const std::string& path, MeasuredKind kind, const double* f, int n,
                                     Complex* out);

// The message shown when a measured file cannot be opened (caption "Measured data").
std::string measuredOpenFailureText(const std::string& triedPath);

// Measurement files are a few hundred kilobytes; beyond this a file is cut off, so that a
// runaway file cannot hold the program.
inline constexpr std::uintmax_t kMaxMeasuredFileBytes = 64u * 1024u * 1024u;

// The longest piece of a line read at once; a longer line is read as several lines.
inline constexpr int kMeasuredLinePiece = 199;

// One line as the reader sees it: frequency in Hz (0 when the line has none), magnitude in
// the file's unit, phase in radians.
struct MeasuredLine {
    double frequency = 0.0;
    double magnitude = 0.0;
    double phase = 0.0;
};

// The leading decimal number of a field ("-1.5e3x" -> -1500, "1,5" -> 1, text -> 0), read
// the same way in every locale. A number too large for a double gives +-infinity.
double measuredFieldValue(std::string_view field);

// Splits one piece of a line into its fields. A missing magnitude keeps `previousMagnitude`,
// a missing phase gives 0.
MeasuredLine parseMeasuredLine(std::string_view piece, double previousMagnitude);

} // namespace harlox
