#pragma once

#include <complex>

namespace harlox {

using Complex = std::complex<double>;

// The literal values every acoustic model uses. Several are held with fewer digits
// than the true constant on purpose: results are defined with these exact values.
inline constexpr double kRho = 1.18;                              // air density, kg/m^3
inline constexpr double kInvRhoC2 = 7.042253521126761e-06;        // 1 / (rho c^2), rho c^2 = 142000 Pa
inline constexpr double kRhoC2 = 142000.0;
inline constexpr double kRhoC2Editor = 140000.0;                  // the unit editor's relations
inline constexpr double kInvSpeedOfSound = 0.002901073397156948;  // 1 / 344.7 m/s
inline constexpr double kSpeedOfSound = 344.7;
inline constexpr double kTwoPi = 6.28318530718;
inline constexpr double kPi = 3.14159265359;
inline constexpr double kFourPiSquared = 39.4784176044;
inline constexpr double kInvPi = 0.3183098861837697;              // the unit record's piston radius uses 1/this
inline constexpr double kPiExact = 3.141592653589793;             // the FFT's pi
inline constexpr double kPressureFactorIm = 58999.99999999999;    // K = j * this

inline Complex pressureFactor() { return Complex(0.0, kPressureFactorIm); }

// Project file format version written by this program.
inline constexpr int kProjectFileVersion = 400;
inline constexpr unsigned kEndMarker = 12345;
inline constexpr std::size_t kPathBlock = 271;
inline constexpr int kMaxPoints = 500;

} // namespace harlox
