#pragma once

// The vented-box alignment families: the fourth-order high-pass with leakage losses, solved
// for the box size (alpha = Vas/Vb) and tuning (h = fb/fs) that give each family's response.
// The stored tables are generated from these solvers at build time.

namespace harlox::alignment {

enum class Family { SBB4 = 0, QB3 = 1, SC4 = 2 };
inline constexpr int kFamilyCount = 3;

// The box Q choices of the tables: Qb = Ql = 3, 7 or 15.
inline constexpr int kBoxQChoices = 3;
inline constexpr double kBoxQ[kBoxQChoices] = {3.0, 7.0, 15.0};

struct Row {
    double h = 0.0;
    double alpha = 0.0;
};

// Number of rows of a family's tables (51, 47, 46) and the Qts each row is labelled with.
[[nodiscard]] int rowCount(Family family);
[[nodiscard]] double rowLabelQts(Family family, int row);
// The Qts whose alignment a row holds: its label, except in the upper rows of QB3 / SQB3,
// which hold 0.405 .. 0.46 in half steps and then 0.47 .. 0.50.
[[nodiscard]] double rowTheoryQts(Family family, int row);
// The stored row for box Q choice qChoice (0..2); row clamped to the table.
[[nodiscard]] Row tableRow(Family family, int qChoice, int row);

// Theory: the alignment of the family for a driver of total Q qts in a box of losses ql.
// False when the family has no solution there.
[[nodiscard]] bool solve(Family family, double qts, double ql, Row& out);

// The normalised denominator s^4 + a1 s^3 + a2 s^2 + a3 s + 1 of a vented box.
struct Denominator {
    double a1 = 0.0, a2 = 0.0, a3 = 0.0;
};
[[nodiscard]] Denominator ventedDenominator(double qts, double ql, Row row);
// The high-pass SC4 / C4 denominator of pole parameter k (k = 1 is the fourth-order
// Butterworth).
[[nodiscard]] Denominator chebyshevDenominator(double k);

} // namespace harlox::alignment
