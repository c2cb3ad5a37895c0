#pragma once

#include "gui/base_dialog.h"

class QButtonGroup;
class QComboBox;
class QPushButton;

namespace harlox {

class TDblEdit;
class TLongEdit;
class TNetA;
class UiHost;

// "Advanced network wizard": Butterworth LC low-pass and/or high-pass sections for a nominal
// load into the ladder of a passive net. The fields are the net's wizard settings; "Calc"
// writes the branches and asks the project to recalculate. Closes with OK.
class TNetAWizard : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "netpa_w.txt";
    static constexpr const char* kCaption = "Advanced network wizard";
    enum Field { LpOrderField = 1, LpFcField, HpOrderField, HpFcField, LoadField };

    TNetAWizard(QWidget* parent, TNetA& net, UiHost& ui);

    // True when the branches were written; a refusal is shown under the caption.
    bool calc();

    [[nodiscard]] TLongEdit* lpOrderField() const { return lpOrder_; }
    [[nodiscard]] TLongEdit* lpFcField() const { return lpFc_; }
    [[nodiscard]] TLongEdit* hpOrderField() const { return hpOrder_; }
    [[nodiscard]] TLongEdit* hpFcField() const { return hpFc_; }
    [[nodiscard]] QComboBox* insertionBox() const { return insertion_; }
    [[nodiscard]] TDblEdit* loadField() const { return load_; }
    [[nodiscard]] QPushButton* calcButton() const { return calc_; }

private:
    void store();

    TNetA& net_;
    UiHost& ui_;
    TLongEdit* lpOrder_ = nullptr;
    TLongEdit* lpFc_ = nullptr;
    TLongEdit* hpOrder_ = nullptr;
    TLongEdit* hpFc_ = nullptr;
    QComboBox* insertion_ = nullptr;
    TDblEdit* load_ = nullptr;
    QPushButton* calc_ = nullptr;
};

// "Active crossover wizard": one or two unity-gain Butterworth sections of an active net.
class TNetACWizard : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "netac_w.txt";
    static constexpr const char* kCaption = "Active crossover wizard";
    enum Field { OrderField = 1, FcField };

    TNetACWizard(QWidget* parent, TNetA& net, UiHost& ui);

    bool calc();

    // Button id 1 "LP", 0 "HP".
    [[nodiscard]] QButtonGroup* kindGroup() const { return kind_; }
    [[nodiscard]] TLongEdit* orderField() const { return order_; }
    [[nodiscard]] TLongEdit* fcField() const { return fc_; }
    [[nodiscard]] QComboBox* insertionBox() const { return insertion_; }
    [[nodiscard]] QPushButton* calcButton() const { return calc_; }

private:
    void store();

    TNetA& net_;
    UiHost& ui_;
    QButtonGroup* kind_ = nullptr;
    TLongEdit* order_ = nullptr;
    TLongEdit* fc_ = nullptr;
    QComboBox* insertion_ = nullptr;
    QPushButton* calc_ = nullptr;
};

} // namespace harlox
