#pragma once

#include "gui/base_dialog.h"

#include <functional>

class QCheckBox;

namespace harlox {

class BoxVolumeFields;
class TBassReflexBox;
class TDblEdit;
class TLongEdit;
class TPortObject;
class UiHost;

// "Bassreflex box": the box volume and the port of a bass reflex project. A port edit that
// would need a negative port length is refused: the field shows its old value again and a
// message says why.
class TBreflDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Bassreflex box";
    static constexpr const char* kHelpFile = "brefl.txt";
    static constexpr const char* kStraightPortText = "inf.";
    static constexpr double kMinArea = 0.7853981633975;    // cm^2, 1 cm diameter
    static constexpr double kMaxArea = 7853.9816339750005; // cm^2, 100 cm diameter

    enum Field {
        LengthField = 111,
        DiameterField = 112,
        FlareRadiusField = 113,
        MaxDiameterField = 114,
        AreaField = 115,
        TuningField = 116,
        VentsField = 117,
    };

    // notifyChanged as for TClosedDialog.
    TBreflDialog(QWidget* parent, TBassReflexBox& project, UiHost& ui,
                 std::function<void(int code)> notifyChanged = {});

    [[nodiscard]] BoxVolumeFields& boxFields() const { return *box_; }
    [[nodiscard]] TDblEdit* lengthField() const { return length_; }
    [[nodiscard]] TDblEdit* diameterField() const { return diameter_; }
    [[nodiscard]] TDblEdit* flareRadiusField() const { return flareRadius_; }
    [[nodiscard]] TDblEdit* maxDiameterField() const { return maxDiameter_; }
    [[nodiscard]] TDblEdit* areaField() const { return area_; }
    [[nodiscard]] TDblEdit* tuningField() const { return tuning_; }
    [[nodiscard]] TLongEdit* ventsField() const { return vents_; }
    [[nodiscard]] QCheckBox* nonLinearBox() const { return nonLinear_; }

    // Shows the box's and the port's present values.
    void refresh();

private:
    void portFieldChanged(int fieldId);
    void nonLinearClicked(bool on);
    void refuse(const char* message);
    void changed();

    TBassReflexBox& project_;
    TPortObject& port_;
    UiHost& ui_;
    std::function<void(int code)> notify_;
    BoxVolumeFields* box_ = nullptr;
    TDblEdit* length_ = nullptr;
    TDblEdit* diameter_ = nullptr;
    TDblEdit* flareRadius_ = nullptr;
    TDblEdit* maxDiameter_ = nullptr;
    TDblEdit* area_ = nullptr;
    TDblEdit* tuning_ = nullptr;
    TLongEdit* vents_ = nullptr;
    QCheckBox* nonLinear_ = nullptr;
};

} // namespace harlox
