#pragma once

// The vented-box alignment families: the fourth-order high-pass with leakage losses, solved
// for the box size (alpha = Vas/Vb) and tuning (h = fb/fs) that give each family's response.
// The stored tables are generated from these solvers at build time.

namespace harlox::alignment {

enum class Family { SBB4 = 0, QB3 = 1, SC4 = 2 };

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
// The stored row for box Q choice qChoice (0..2); row clamped to the table.
[[nodiscard]] Row tableRow(Family family, int qChoice, int row);

// Theory: the alignment of the family for a driver of total Q qts in a box of losses ql.
// False when the family has no solution there.
[[nodiscard]] bool solve(Family family, double qts, double ql, Row& out);

} // namespace harlox::alignment
