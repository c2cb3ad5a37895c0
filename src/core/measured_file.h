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

// The grid a curve is resampled onto: n positive, rising frequencies (n is clamped to 500)
// and, when the caller holds them already, their natural logarithms (else computed here).
struct MeasuredGrid {
    const double* f = nullptr;
    const double* lnf = nullptr;
    int n = 0;
};

struct MeasuredReadRequest {
    MeasuredKind kind = MeasuredKind::Spl;
    MeasuredGrid grid;
};

// What one read met on its way, so that a refusal can say why. Counts cover the part of the
// file that was read (reading ends once the grid is full).
struct MeasuredReadReport {
    MeasuredReadResult result = MeasuredReadResult::NoData;
    std::uintmax_t bytes = 0;        // bytes read
    std::uintmax_t nulBytes = 0;     // NUL bytes among them
    std::uintmax_t controlBytes = 0; // other control bytes than TAB, LF, CR, VT, FF and ^Z
    long dataLines = 0;              // lines with a frequency
    int maxFields = 0;               // the most fields a line with a frequency had
    double highestFrequency = 0.0;   // the highest frequency of a line
    double lowestFrequency = 0.0;    // the lowest frequency of a line
    bool cutOff = false;             // the size limit ended the read
    std::string header;              // the lines before the first data line, lower-cased, cut at 2 kB
};

// Reads and resamples as below, onto the grid of `request`, and reports what
// it met.
MeasuredReadReport readMeasuredCurve(const std::string& path, const MeasuredReadRequest& request, Complex* out);

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
// The lower neighbour of a grid frequency is the first line above the previous grid
// frequency; the lines between it and the first line above this one are passed over.
MeasuredReadResult readMeasuredCurve(const std::string& path, MeasuredKind kind, const double* f, int n,
                                     Complex* out);

// What the columns of a file hold beyond frequency, magnitude and phase, judged from the
// header lines and the number of fields.
enum class MeasuredColumns {
    Full,          // frequency, magnitude, phase
    NoPhase,       // frequency and magnitude only: the phase reads as 0
    PhaseOnly,     // frequency and phase: the phase half of a split magnitude/phase export
    FrequencyOnly, // a single column: there is no magnitude
    GroupDelay,    // the third column is a group delay, not a phase
};
MeasuredColumns measuredColumns(const MeasuredReadReport& report);

// True when the bytes read look like no text file (NUL bytes, or many control bytes).
bool measuredLooksBinary(const MeasuredReadReport& report);

// Why a read that found nothing on the grid (result NoData) found nothing, for the file
// named `name`; `lowestGridFrequency` is the grid's first frequency.
std::string measuredNoDataText(const std::string& name, const MeasuredReadReport& report,
                               double lowestGridFrequency);

// The refusals and notices for the column layouts above and for binary files.
std::string measuredBinaryText(const std::string& name);
std::string measuredColumnsText(const std::string& name, MeasuredColumns columns);

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
    int fields = 0; // fields on the line, counted up to 3
};

// The leading decimal number of a field ("-1.5e3x" -> -1500, "1,5" -> 1, text -> 0), read
// the same way in every locale. A number too large for a double gives +-infinity.
double measuredFieldValue(std::string_view field);

// Splits one piece of a line into its fields. A missing magnitude keeps `previousMagnitude`,
// a missing phase gives 0.
MeasuredLine parseMeasuredLine(std::string_view piece, double previousMagnitude);

} // namespace harlox
