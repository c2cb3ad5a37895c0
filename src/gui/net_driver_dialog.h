#pragma once

#include "gui/base_dialog.h"
#include "gui/driver_fields.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace harlox {

class TDblEdit;
class TNet;
class UiHost;

// The driver(s) of a simple network ("Bass driver", "Midrange driver", "Treble driver"): one
// or two identical units in series or parallel, polarity, Re, Le and Rex, and for the unit
// chosen its position, piston radius and measured SPL and impedance curves. Modeless; every
// accepted edit goes into the network, which posts the project's recalculation.
class TDriverDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kNotInUse = "Not in use";

    using Control = DriverControl;
    using enum DriverControl;

    TDriverDialog(QWidget* parent, TNet& net, UiHost& ui);

    // Shows the network's present values for the chosen unit.
    void refresh();
    // The unit the per-driver fields show, 0 or 1.
    [[nodiscard]] int driver() const { return driver_; }
    void setDriver(int d);
    // "Browse" of the SPL (impedance) curve of the chosen unit.
    void browse(bool spl);

    [[nodiscard]] TDblEdit* field(int id) const { return fields_.field(id); }
    [[nodiscard]] QRadioButton* countButton(int drivers) const { return count_[drivers == 2 ? 1 : 0]; }
    [[nodiscard]] QRadioButton* seriesButton() const { return series_; }
    [[nodiscard]] QRadioButton* parallelButton() const { return parallel_; }
    [[nodiscard]] QCheckBox* invertBox() const { return invert_; }
    [[nodiscard]] QRadioButton* driverButton(int d) const { return unit_[d == 0 ? 0 : 1]; }
    [[nodiscard]] QPushButton* browseButton(bool spl) const { return curve(spl).browse; }
    [[nodiscard]] QLineEdit* fileNameField(bool spl) const { return curve(spl).name; }

private:
    [[nodiscard]] const DriverCurveGroup& curve(bool spl) const { return curves_[spl ? 0 : 1]; }
    [[nodiscard]] DriverValues values();
    void fieldChanged(int id);

    TNet& net_;
    UiHost& ui_;
    int driver_ = 0;
    DriverFields fields_;
    std::array<DriverCurveGroup, 2> curves_{};
    std::array<QRadioButton*, 2> count_{};
    QRadioButton* series_ = nullptr;
    QRadioButton* parallel_ = nullptr;
    QCheckBox* invert_ = nullptr;
    std::array<QRadioButton*, 2> unit_{};
};

} // namespace harlox
