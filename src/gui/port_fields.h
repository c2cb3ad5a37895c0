#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QGridLayout;
class QWidget;

namespace harlox {

class TDblEdit;
class TLongEdit;
class TPortObject;
class UiHost;

// The fields of one port element: length, diameter, flare, area, tuning and vent count.
// Shared by the input windows of the ported types. An edit that would need a negative port
// length (or a flare radius below half the length) is refused: the fields show the port's
// values again and a message box under the window's caption says why.
class PortFields : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kStraightPortText = "inf.";
    static constexpr double kMinArea = 0.7853981633975;    // cm^2, 1 cm diameter
    static constexpr double kMaxArea = 7853.9816339750005; // cm^2, 100 cm diameter

    struct Ids {
        int length, diameter, flareRadius, maxDiameter, area, tuning, vents;
    };
    // The bass reflex window's ids.
    static constexpr Ids kReflexIds{111, 112, 113, 114, 115, 116, 117};

    // Builds the group titled `title` in `parent`. With withNonLinear the group ends with the
    // shared "&Sim. port nonlinearity" check box; windows with two ports show one of their own.
    PortFields(QWidget* parent, const QString& title, TPortObject& port, UiHost& ui, const char* caption,
               Ids ids, bool withNonLinear);

    [[nodiscard]] QWidget* group() const { return group_; }
    [[nodiscard]] TPortObject& port() const { return port_; }
    [[nodiscard]] TDblEdit* lengthField() const { return length_; }
    [[nodiscard]] TDblEdit* diameterField() const { return diameter_; }
    [[nodiscard]] TDblEdit* flareRadiusField() const { return flareRadius_; }
    [[nodiscard]] TDblEdit* maxDiameterField() const { return maxDiameter_; }
    [[nodiscard]] TDblEdit* areaField() const { return area_; }
    [[nodiscard]] TDblEdit* tuningField() const { return tuning_; }
    [[nodiscard]] TLongEdit* ventsField() const { return vents_; }
    // Null when the group was built without it.
    [[nodiscard]] QCheckBox* nonLinearBox() const { return nonLinear_; }

    // Shows the port's present values; rewrites only the fields that differ.
    void refresh();
    // A further row at the end of the group, for a type's own vent field.
    void addRow(const QString& label, QWidget* field, const QString& unit);

signals:
    // An accepted edit changed the port (the check box: the shared switch).
    void portChanged();

private:
    void fieldChanged(int fieldId);
    void refuse(const char* message);

    TPortObject& port_;
    UiHost& ui_;
    const char* caption_;
    Ids ids_;
    QWidget* group_ = nullptr;
    QGridLayout* grid_ = nullptr;
    TDblEdit* length_ = nullptr;
    TDblEdit* diameter_ = nullptr;
    TDblEdit* flareRadius_ = nullptr;
    TDblEdit* maxDiameter_ = nullptr;
    TDblEdit* area_ = nullptr;
    TDblEdit* tuning_ = nullptr;
    TLongEdit* vents_ = nullptr;
    QCheckBox* nonLinear_ = nullptr;
};

// The shared "&Sim. port nonlinearity" check box of a window with several ports.
QCheckBox* newPortNonLinearBox(QWidget* parent);

} // namespace harlox
