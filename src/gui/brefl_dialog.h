#pragma once

#include "gui/base_dialog.h"
#include "gui/optimize_menu.h"

#include <functional>

class QCheckBox;

namespace harlox {

class BoxVolumeFields;
class PortFields;
class TBassReflexBox;
class TDblEdit;
class TLongEdit;
class UiHost;

// "Bassreflex box": the box volume and the port of a bass reflex project.
class TBreflDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Bassreflex box";
    static constexpr const char* kHelpFile = "brefl.txt";

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
    [[nodiscard]] PortFields& portFields() const { return *port_; }
    [[nodiscard]] TDblEdit* lengthField() const;
    [[nodiscard]] TDblEdit* diameterField() const;
    [[nodiscard]] TDblEdit* flareRadiusField() const;
    [[nodiscard]] TDblEdit* maxDiameterField() const;
    [[nodiscard]] TDblEdit* areaField() const;
    [[nodiscard]] TDblEdit* tuningField() const;
    [[nodiscard]] TLongEdit* ventsField() const;
    [[nodiscard]] QCheckBox* nonLinearBox() const;

    // Shows the box's and the port's present values.
    [[nodiscard]] const OptimizeMenu& optimizeMenu() const { return menu_; }
    void refresh();

private:
    void changed();
    void quickBox();

    TBassReflexBox& project_;
    UiHost& ui_;
    OptimizeMenu menu_;
    std::function<void(int code)> notify_;
    BoxVolumeFields* box_ = nullptr;
    PortFields* port_ = nullptr;
};

} // namespace harlox
