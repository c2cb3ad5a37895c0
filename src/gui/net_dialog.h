#pragma once

#include "filter/net.h"
#include "gui/base_dialog.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QPushButton;

namespace harlox {

class TDblEdit;
class UiHost;

// The component editor of a simple network ("Bass network", "Midrange network", "Treble
// network"): order and cut-off of each slope the section has with its "Calc", the ladder
// elements, the notch with "Disconnect", the L-pad with its "Calc" and the Zobel with its
// "Calc". Modeless; every accepted edit goes into the network, which posts the project's
// recalculation.
class TNetDialog : public TBaseDialog {
    Q_OBJECT

public:
    enum Control {
        LowOrderControl = 101,
        LowCutoffControl = 102,
        LowCalcControl = 103,
        HighOrderControl = 104,
        HighCutoffControl = 105,
        HighCalcControl = 106,
        DisconnectControl = 107,
        AttenuationControl = 108,
        AttenuatorCalcControl = 109,
        ZobelCalcControl = 110,
        // + 3 * branch + component kind
        ComponentControlBase = 200,
    };
    static constexpr double kMinCutoff = 20.0;
    static constexpr double kMaxCutoff = 20000.0;
    static constexpr double kMaxComponent = 1000.0; // in display units
    static constexpr double kMaxAttenuation = 1000.0;

    TNetDialog(QWidget* parent, TNet& net, UiHost& ui);

    // Shows the network's present values.
    void refresh();

    [[nodiscard]] TNet& net() const { return net_; }
    // The slope's controls; null where the section has no such slope.
    [[nodiscard]] QComboBox* orderList(bool lowPass) const { return slope(lowPass).order; }
    [[nodiscard]] TDblEdit* cutoffField(bool lowPass) const { return slope(lowPass).cutoff; }
    [[nodiscard]] QPushButton* calcButton(bool lowPass) const { return slope(lowPass).calc; }
    // The field of a component by its name ("L11", "C14", "R18"); null when the dialog has none.
    [[nodiscard]] TDblEdit* componentField(const QString& name) const;
    // The component names in the order the dialog shows them.
    [[nodiscard]] QStringList componentNames() const;
    [[nodiscard]] QCheckBox* disconnectBox() const { return disconnect_; }
    [[nodiscard]] TDblEdit* attenuationField() const { return attenuation_; }
    [[nodiscard]] QPushButton* attenuatorCalcButton() const { return attCalc_; }
    [[nodiscard]] QPushButton* zobelCalcButton() const { return zobelCalc_; }

private:
    struct Slope {
        QComboBox* order = nullptr;
        TDblEdit* cutoff = nullptr;
        QPushButton* calc = nullptr;
    };
    struct ComponentField {
        TDblEdit* field;
        int branch;
        CompKind kind;
    };

    [[nodiscard]] const Slope& slope(bool lowPass) const { return slopes_[lowPass ? 0 : 1]; }
    QWidget* addSlope(QWidget* parent, bool lowPass);
    TDblEdit* addComponent(QWidget* parent, QGridLayout* grid, int branch, CompKind kind, const char* format);
    void componentChanged(int fieldId);
    void slopeCalc(bool lowPass);

    TNet& net_;
    UiHost& ui_;
    std::array<Slope, 2> slopes_{};
    std::vector<ComponentField> components_;
    QCheckBox* disconnect_ = nullptr;
    TDblEdit* attenuation_ = nullptr;
    QPushButton* attCalc_ = nullptr;
    QPushButton* zobelCalc_ = nullptr;
};

} // namespace harlox
