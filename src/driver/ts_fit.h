#pragma once

#include "core/constants.h"
#include "driver/spk_data.h"

#include <string>
#include <vector>

namespace harlox {

// The voice-coil impedance of a unit in free air (or in a box, which only moves fs and the
// Q's): Z = Re + jwLe + K(jw)^n + Res / (1 + jQms(f/fs - fs/f)), Res = Re·Qms/Qes.
// K = 0 is the plain inductance model.
struct TsImpedanceModel {
    double Re = 0.0;
    double Le = 0.0; // H
    double fs = 0.0; // Hz
    double Qms = 0.0;
    double Qes = 0.0;
    double K = 0.0; // semi-inductance, ohm·s^n
    double n = 0.0; // its exponent, 0 .. 1

    [[nodiscard]] Complex impedance(double f) const;
    [[nodiscard]] bool hasSemiInductance() const { return K > 0.0; }
};

// One impedance curve as read for a fit: the file's own frequency range on a log grid.
struct TsFitCurve {
    std::string path;
    std::vector<double> f;
    std::vector<Complex> z;
    bool hasPhase = false;
};

// The fit of one curve.
struct TsCurveFit {
    TsImpedanceModel model;  // the better of the two models
    TsImpedanceModel plain;  // the plain inductance model
    double rmsDb = 0.0;      // rms error of log|Z|, dB
    double plainRmsDb = 0.0; // the same for the plain inductance model
};

// Thiele-Small parameters from a free-air impedance curve and a second curve, taken either
// with a mass added to the cone or in a closed test box. run() never throws; on false,
// message() names the file or value at fault and the results are not to be used.
class TTsFit {
public:
    enum class Method { AddedMass, TestBox };

    struct Input {
        std::string freePath;
        std::string secondPath;
        Method method = Method::AddedMass;
        double addedMass = 0.0; // kg
        double boxVolume = 0.0; // m^3
        double Sd = 0.0;        // m^2
    };

    static constexpr int kGridPoints = 400;
    // The semi-inductance is kept only when it cuts the plain model's rms error by this
    // factor and that error is above kSemiThresholdDb (clean data gains nothing).
    static constexpr double kSemiGain = 0.8;
    static constexpr double kSemiThresholdDb = 0.05;

    [[nodiscard]] bool run(const Input& input);

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] const std::string& message() const { return message_; }

    [[nodiscard]] const TsFitCurve& freeCurve() const { return free_; }
    [[nodiscard]] const TsFitCurve& secondCurve() const { return second_; }
    [[nodiscard]] const TsCurveFit& freeFit() const { return freeFit_; }
    [[nodiscard]] const TsCurveFit& secondFit() const { return secondFit_; }
    // The fitted unit, completed as the unit editor's "Calc. missing fields" does. Its Le is
    // the plain model's, the one inductance the box models know; fs, Re and the Q's come
    // from the better model.
    [[nodiscard]] const TSpkData& unit() const { return unit_; }

    // Reads an impedance curve onto kGridPoints log-spaced points over the file's range.
    [[nodiscard]] static bool readCurve(const std::string& path, TsFitCurve& out, std::string& error);
    // Fits one curve: start values from its shape, then least squares on log|Z| (and phase
    // where the file has one); the semi-inductance where it pays.
    [[nodiscard]] static bool fitCurve(const TsFitCurve& curve, TsCurveFit& out, std::string& error);
    // The fitted model's |Z| on the curve's frequencies.
    [[nodiscard]] static std::vector<double> modelMagnitude(const TsImpedanceModel& m,
                                                            const std::vector<double>& f);

private:
    bool fail(std::string text);

    bool ok_ = false;
    std::string message_;
    TsFitCurve free_;
    TsFitCurve second_;
    TsCurveFit freeFit_;
    TsCurveFit secondFit_;
    TSpkData unit_;
};

} // namespace harlox
