#pragma once

#include "core/constants.h"
#include "core/measure_setup.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;

// One box volume: compliance with absorption and leakage losses, and its acoustic
// impedance at every grid point.
class TBoxObject : public TMeasureSetupObject {
public:
    static constexpr std::size_t kRecordSize = 28;

    // The name heads the data-sheet block ("Box", "Front box", ...); showQl is set by the
    // box types whose leakage loss means something to the user.
    explicit TBoxObject(std::string name = "Box", bool showQl = true);

    double Vb = 0.01;            // m^3
    double Qb = 15.0;            // absorption loss Q
    double Ql = 15.0;            // leakage loss Q
    std::int32_t fill = 0;       // damping material, percent
    std::uint8_t boxChanged = 1; // Zbox must be recomputed
    bool showQl = true;
    std::string name;
    std::array<Complex, kMaxPoints> Zbox{};

    // Back to the default volume, losses and fill; the name and showQl stay.
    void Reset();

    // Acoustic compliance; full filling makes the box act 20 % larger.
    [[nodiscard]] double compliance() const;

    // Recomputes Zbox on the shared grid when boxChanged is set. The flag is left set: the
    // project clears it once the whole calculation is done.
    void Compute();
    // Recomputes Zbox on the first grid.count points of the given grid, unconditionally.
    void Compute(const FrequencyGrid& grid);

    [[nodiscard]] std::vector<std::string> dataSheetLines() const;

    // The 28-byte record: Vb, Qb, Ql, fill. A failed read changes nothing; a completed one
    // marks the box changed.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r);
};

} // namespace harlox
