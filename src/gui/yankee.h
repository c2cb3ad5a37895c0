#pragma once

#include "gui/base_dialog.h"

#include <array>

namespace harlox {

class TDblEdit;

// The unit-conversion tool: four metric/imperial pairs; changing either field of a pair
// sets the other at once. Modeless; the main window greys its command while it is open.
class TYankee : public TBaseDialog {
    Q_OBJECT

public:
    struct Field {
        int id;
        const char* format;
        double minimum;
        double maximum;
        double initial;
        const char* unit;
    };
    struct Pair {
        Field metric;
        Field imperial;
        double toImperial;
        double toMetric;
    };
    static constexpr std::array<Pair, 4> kPairs{{
        {{105, "%2.3f", 0.1, 1000.0, 1.0, "mm"},
         {103, "%2.4f", 0.003937007874015748, 39.37007874015748, 0.03937007874015748, "in"},
         0.03937007874015748,
         25.4},
        {{106, "%2.2f", 1.0, 10000.0, 100.0, "cm\xc2\xb2"},
         {102, "%2.3f", 0.15500031000062, 1550.0031000062, 15.500031000062, "sq. in"},
         0.15500031000062,
         6.4516},
        {{108, "%2.2f", 0.01, 10000.0, 10.0, "l"},
         {107, "%2.4f", 0.00035314666212661323, 353.1466621266132, 0.3531466621266132, "cu. ft"},
         0.03531466621266132,
         28.316847},
        {{104, "%2.3f", 0.01, 100.0, 1.0, "m\xc2\xb2"},
         {101, "%2.2f", 0.10763910416709722, 1076.3910416709723, 10.763910416709722, "sq. ft"},
         10.763910416709722,
         0.09290304},
    }};

    explicit TYankee(QWidget* parent);

    // The entry field with the given id, nullptr for an unknown id.
    [[nodiscard]] TDblEdit* field(int id) const;

private:
    void fieldChanged(int id);

    std::array<TDblEdit*, 8> fields_{};
};

} // namespace harlox
