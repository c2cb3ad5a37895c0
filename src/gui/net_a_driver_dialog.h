#pragma once

#include "gui/base_dialog.h"
#include "gui/driver_fields.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace harlox {

class TDblEdit;
class TNetA;
class UiHost;

// "Driver parameters" of an advanced network: one to four units, their connection and
// polarity, Re, Le and Rex, and for the unit chosen its measured SPL and impedance curves
// (drivers 2 to 4 may use driver 1's), their scaling, position and piston radius. Every
// accepted edit is stored in SI units and recalculates the project.
class TNetADriverDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Driver parameters";
    static constexpr const char* kNotInUse = "Not in use";
    static constexpr const char* kSameAsDriver1 = "Same as driver 1";

    using Control = DriverControl;
    using enum DriverControl;

    TNetADriverDialog(QWidget* parent, TNetA& net, UiHost& ui);

    void refresh();
    // The unit the per-driver fields show, 0 .. 3.
    [[nodiscard]] int driver() const { return driver_; }
    void setDriver(int d);
    void browse(bool spl);

    [[nodiscard]] TDblEdit* field(int id) const { return fields_.field(id); }
    [[nodiscard]] QComboBox* countList() const { return count_; }
    [[nodiscard]] QComboBox* connectionList() const { return connection_; }
    [[nodiscard]] QComboBox* sizeList() const { return size_; }
    [[nodiscard]] QCheckBox* invertBox() const { return invert_; }
    [[nodiscard]] QRadioButton* driverButton(int d) const { return unit_[static_cast<std::size_t>(d)]; }
    [[nodiscard]] QPushButton* browseButton(bool spl) const { return curve(spl).browse; }
    [[nodiscard]] QLineEdit* fileNameField(bool spl) const { return curve(spl).name; }
    [[nodiscard]] QCheckBox* sameBox(bool spl) const { return curve(spl).same; }
    [[nodiscard]] QGroupBox* curveGroup(bool spl) const { return curve(spl).group; }

private:
    [[nodiscard]] const DriverCurveGroup& curve(bool spl) const { return curves_[spl ? 0 : 1]; }
    [[nodiscard]] DriverValues values();
    void fieldChanged(int id);
    void sameClicked(bool spl, bool on);

    TNetA& net_;
    UiHost& ui_;
    int driver_ = 0;
    DriverFields fields_;
    std::array<DriverCurveGroup, 2> curves_{};
    QComboBox* count_ = nullptr;
    QComboBox* connection_ = nullptr;
    QComboBox* size_ = nullptr;
    QCheckBox* invert_ = nullptr;
    std::array<QRadioButton*, 4> unit_{};
};

} // namespace harlox
