#pragma once

#include "gui/base_dialog.h"
#include "gui/optimize_menu.h"

#include <functional>

class QCheckBox;

namespace harlox {

class BoxVolumeFields;
class TAbrBox;
class TDblEdit;
class TLongEdit;
class UiHost;

// "ABR box": the box volume and the passive radiators. The radiator's resonances and mass
// are coupled: entering one refreshes the others.
class TAbrDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "ABR box";
    static constexpr const char* kHelpFile = "abr.txt";

    enum Field {
        FillField = 101,
        QbField = 103,
        QlField = 104,
        VolumeField = 105,
        FbField = 110,
        FpField = 111,
        MmpField = 112,
        UnitsField = 113,
        NonLinearField = 114,
        SdField = 115,
        VapField = 116,
        XmaxField = 117,
    };

    // notifyChanged as for TClosedDialog.
    TAbrDialog(QWidget* parent, TAbrBox& project, UiHost& ui,
               std::function<void(int code)> notifyChanged = {});

    [[nodiscard]] BoxVolumeFields& boxFields() const { return *box_; }
    [[nodiscard]] TDblEdit* vapField() const { return vap_; }
    [[nodiscard]] TDblEdit* sdField() const { return sd_; }
    [[nodiscard]] TDblEdit* mmpField() const { return mmp_; }
    [[nodiscard]] TDblEdit* fpField() const { return fp_; }
    [[nodiscard]] TDblEdit* fbField() const { return fb_; }
    [[nodiscard]] TDblEdit* xmaxField() const { return xmax_; }
    [[nodiscard]] TLongEdit* unitsField() const { return units_; }
    [[nodiscard]] QCheckBox* nonLinearBox() const { return nonLinear_; }
    [[nodiscard]] const OptimizeMenu& optimizeMenu() const { return menu_; }

    void refresh();

private:
    void boxChanged();
    void fieldChanged(int fieldId);
    void changed();
    void quickBox();

    TAbrBox& project_;
    UiHost& ui_;
    std::function<void(int code)> notify_;
    BoxVolumeFields* box_ = nullptr;
    TDblEdit* vap_ = nullptr;
    TDblEdit* sd_ = nullptr;
    TDblEdit* mmp_ = nullptr;
    TDblEdit* fp_ = nullptr;
    TDblEdit* fb_ = nullptr;
    TDblEdit* xmax_ = nullptr;
    TLongEdit* units_ = nullptr;
    QCheckBox* nonLinear_ = nullptr;
    OptimizeMenu menu_;
};

} // namespace harlox
