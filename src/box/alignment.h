#pragma once

#include "box/alignment_theory.h"

#include <array>

// Table lookups and quick alignments of the box projects: the closed box by total Q, the
// bass reflex box from the vented-box alignment families, the first bandpass type by ripple
// and sensitivity, and the passive radiator box from its own table. Each lookup reads the
// configuration's effective parameters, refuses a driver the table cannot serve with a
// message and no change, and otherwise sizes the elements, marks the setup and the project
// changed and returns true; the caller then notifies the project so that it recalculates.

namespace harlox {

class TAbrBox;
class TBassReflexBox;
class TBP5Box;
class TClosedBox;
class TPortObject;
class UiHost;

namespace alignment {

inline constexpr const char* kTooHighQtsText = "Too high Qts";
inline constexpr const char* kTooLowQtsText = "Too low Qts";
inline constexpr const char* kNoPortLengthText = "No usable port length was found for this tuning.";
// The lookup windows; a port that cannot be sized is reported under their caption.
inline constexpr const char* kClosedTableCaption = "Table optimize closed box";
inline constexpr const char* kReflexTableCaption = "Table opt. bassreflex box";
inline constexpr const char* kBp1TableCaption = "Table optimize BP type 1";

// ---- closed box ---------------------------------------------------------------------------

struct ClosedRow {
    double qtc;
    const char* label;
};
inline constexpr int kClosedRowCount = 9;
inline constexpr std::array<ClosedRow, kClosedRowCount> kClosedRows{{
    {0.5, "0.5 Critically damped"},
    {0.577, "0.577 Bessel, max flat delay response"},
    {0.707, "0.707 Butterworth, max flat amplitude response"},
    {0.8, "0.8 Equal ripple response"},
    {0.9, "0.9 Chebychev, equal ripple response"},
    {1.0, "1.0 Chebychev, equal ripple response"},
    {1.1, "1.1 Chebyshev, equal ripple response"},
    {1.2, "1.2 Chebychev, equal ripple response"},
    {1.5, "1.5 Chebychev, equal ripple response"},
}};

// The volume that gives the total Q qtc; false when the driver's own Q is too close to it.
[[nodiscard]] bool closedVolume(double qtc, double qtsEff, double vasEff, double& vb);
// Applies row `row` of the closed-box table ("Too high Qts" when refused).
[[nodiscard]] bool applyClosedTable(TClosedBox& project, int row, UiHost& ui);

// ---- bass reflex box ----------------------------------------------------------------------

struct FamilyInfo {
    const char* label;
    double lowest, highest; // usable effective Qts
    double qmin;            // Qts of the first row
};
inline constexpr std::array<FamilyInfo, kFamilyCount> kFamilies{{
    {"&SBB4 / BB4", 0.195, 0.705, 0.2},
    {"&QB3 / SQB3", 0.095, 0.565, 0.1},
    {"S&C4 / C4", 0.245, 0.705, 0.25},
}};
[[nodiscard]] const FamilyInfo& familyInfo(Family family);
[[nodiscard]] bool familyUsable(Family family, double qtsEff);
// The row of the family's tables for the effective Qts, clamped to the tables.
[[nodiscard]] int familyRow(Family family, double qtsEff);

struct BoxQChoice {
    const char* label;
    double q; // Qb and Ql
    int fill; // percent
};
inline constexpr int kDefaultBoxQChoice = 2;
inline constexpr std::array<BoxQChoice, kBoxQChoices> kBoxQChoiceInfo{{
    {"&3", 3.0, 100},
    {"&7", 7.0, 50},
    {"&15", 15.0, 0},
}};

// What a bass reflex table row asks for.
struct ReflexAlignment {
    double Vb = 0.0;     // m^3
    double tuning = 0.0; // Hz
};
// The box and tuning of the family's row for the effective parameters; false when the family
// cannot serve the driver (text says why: kTooHighQtsText or kTooLowQtsText).
[[nodiscard]] bool reflexAlignment(Family family, int qChoice, double qtsEff, double fsEff, double vasEff,
                                   ReflexAlignment& out, const char** refusal = nullptr);
[[nodiscard]] bool applyBassReflexTable(TBassReflexBox& project, Family family, int qChoice, UiHost& ui);

// ---- bandpass box type 1 ------------------------------------------------------------------

inline constexpr int kRippleCount = 3;
inline constexpr int kSensitivityCount = 17;  // -8 dB .. +8 dB
inline constexpr int kDefaultSensitivity = 8; // 0 dB
inline constexpr std::array<const char*, kRippleCount> kRippleLabels{"0 dB", "0.35 dB", "1.25 dB"};
inline constexpr std::array<const char*, kSensitivityCount> kSensitivityLabels{
    "-8dB", "-7dB", "-6dB", "-5dB", "-4dB", "-3dB", "-2dB", "-1dB", "0dB",
    "+1dB", "+2dB", "+3dB", "+4dB", "+5dB", "+6dB", "+7dB", "+8dB"};
// S of the sensitivity (index 0 = -8 dB) and ripple, as stored.
[[nodiscard]] double bp1S(int ripple, int sensitivity);
// b of the ripple.
[[nodiscard]] double bp1B(int ripple);

struct Bp1Alignment {
    double Vrear = 0.0, Vfront = 0.0; // m^3
    double tuning = 0.0;              // Hz
};
[[nodiscard]] bool bp1Alignment(int ripple, int sensitivity, double qtsEff, double fsEff, double vasEff,
                                Bp1Alignment& out);
[[nodiscard]] bool applyBp1Table(TBP5Box& project, int ripple, int sensitivity, UiHost& ui);

// ---- passive radiator box -----------------------------------------------------------------

struct AbrRow {
    double qts, h, alpha;
};
inline constexpr int kAbrRowCount = 41;
extern const std::array<AbrRow, kAbrRowCount> kAbrRows;
inline constexpr const char* kAbrTooLowCaption = "Qts value too low";
inline constexpr const char* kAbrTooLowText = "Minimum value 0.20";
inline constexpr const char* kAbrTooHighCaption = "Qts value too high";
inline constexpr const char* kAbrTooHighText = "Maximum value 0.61";
// The first row whose Qts is not below qts; the last row when none is.
[[nodiscard]] int abrRow(double qts);
[[nodiscard]] bool applyAbrTable(TAbrBox& project, UiHost& ui);

// ---- ports --------------------------------------------------------------------------------

// A quick box's port: minimum area for the tuning (0.004 m^2 per Hz and m^2 of cone area,
// shared by the vents), the diameter from it, the length by the area-doubling loops. False,
// with the port unchanged, when no usable length is found.
[[nodiscard]] bool sizeQuickPort(TPortObject& port, double tuning, double coneArea);

} // namespace alignment
} // namespace harlox
