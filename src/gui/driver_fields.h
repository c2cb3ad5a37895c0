#pragma once

#include <QString>

#include <array>
#include <functional>
#include <span>
#include <utility>

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QObject;
class QPushButton;
class QRadioButton;
class QWidget;

namespace harlox {

class TDblEdit;

// The number fields of the network driver dialogs, by field id.
enum DriverControl {
    ReControl = 101,
    LeControl = 102,
    RexControl = 103,
    DxControl = 104,
    DyControl = 105,
    DzControl = 106,
    RadiusControl = 107,
    SplScalingControl = 108,
    ImpedanceScalingControl = 109,
};

// A network's values behind the electrical and position fields, in SI units; the position
// ones are the chosen unit's.
struct DriverValues {
    double& re;
    double& le;
    double& rex;
    double& dx;
    double& dy;
    double& dz;
    double& radius;
};

// One measured curve of the chosen unit: its file name, "Browse", optionally a
// "use driver 1's curve" box, and the curve's scaling.
struct DriverCurveGroup {
    QGroupBox* group = nullptr;
    QLineEdit* name = nullptr;
    QPushButton* browse = nullptr;
    QCheckBox* same = nullptr;
    TDblEdit* scaling = nullptr;
};

// The driver dialogs' fields as both lay them out: "Electrical data" (Re, Le, Rex), "Position
// and size" (dX, dY, dZ, piston radius in mm) and the curve groups' scalings. Every accepted
// edit reports its field id.
class DriverFields {
public:
    explicit DriverFields(std::function<void(int id)> changed) : changed_(std::move(changed)) {}

    [[nodiscard]] TDblEdit* field(int id) const;

    QGroupBox* electricalGroup(QWidget* page);
    QGroupBox* positionGroup(QWidget* page);
    // `nameWidths`: the file name's least width, in number fields. An empty `sameText` leaves
    // out the box; when there is one it keeps its place while hidden.
    DriverCurveGroup curveGroup(QWidget* page, const QString& title, bool spl, int nameWidths,
                                const QString& sameText = QString());

    void show(const DriverValues& values) const;
    // Stores field `id` into `values`; false for a field that is not one of them.
    bool store(int id, const DriverValues& values) const;

private:
    TDblEdit* real(QWidget* group, int id, const char* format, double minimum, double maximum);

    std::function<void(int)> changed_;
    std::array<TDblEdit*, 9> fields_{};
};

// "Driver unit 1" .. "Driver unit n" in a row above `into`'s groups, one button each in `out`.
QButtonGroup* driverUnitChooser(QObject* owner, QWidget* page, QBoxLayout* into, std::span<QRadioButton*> out);

} // namespace harlox
