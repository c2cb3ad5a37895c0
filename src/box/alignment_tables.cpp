#include "box/alignment_theory.h"

#include <algorithm>

namespace harlox::alignment {

namespace {
#include "alignment_tables.inc"
} // namespace

Row tableRow(Family family, int qChoice, int row) {
    qChoice = std::clamp(qChoice, 0, kBoxQChoices - 1);
    row = std::clamp(row, 0, rowCount(family) - 1);
    switch (family) {
    case Family::SBB4:
        return kFamily0[qChoice][row];
    case Family::QB3:
        return kFamily1[qChoice][row];
    case Family::SC4:
        return kFamily2[qChoice][row];
    }
    return {};
}

} // namespace harlox::alignment
