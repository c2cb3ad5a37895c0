#pragma once

#include "core/diagram_model.h"
#include "filter/net_optimiser.h"
#include "gui/base_dialog.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTimer;

namespace harlox {

class DiagramView;
class TLongEdit;
class TNetA;
class TXover;
class UiHost;

// The optimiser of an advanced net: the target (an ideal low-pass and high-pass), the range
// and angle it is compared on, the step size, Start / Stop / Refresh, the components on the
// optimisation list, and a plot of target, response and (optionally) the unfiltered level.
// Passes run one per turn of the event loop, so the window and Stop answer between passes.
// Modeless; closing it stops the optimiser and recalculates the project. The caller decides
// whether it deletes itself on close.
class TNetAOptDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "net_opt.txt";
    enum Field { LpFcField = 1, LpOrderField, HpFcField, HpOrderField, LowerField, UpperField };

    TNetAOptDialog(QWidget* parent, TNetA& net, TXover& project, UiHost& ui);
    ~TNetAOptDialog() override;

    void start();
    void stop();
    void refresh();
    // One pass, as the timer runs it.
    void pass();
    // The arrow keys on the list: steps the selected component within its limits.
    void stepSelected(bool up);

    [[nodiscard]] TNetOptimiser& optimiser() { return opt_; }
    [[nodiscard]] TLongEdit* lpFcField() const { return lpFc_; }
    [[nodiscard]] TLongEdit* lpOrderField() const { return lpOrder_; }
    [[nodiscard]] QComboBox* lpTypeBox() const { return lpType_; }
    [[nodiscard]] TLongEdit* hpFcField() const { return hpFc_; }
    [[nodiscard]] TLongEdit* hpOrderField() const { return hpOrder_; }
    [[nodiscard]] QComboBox* hpTypeBox() const { return hpType_; }
    [[nodiscard]] TLongEdit* lowerField() const { return lower_; }
    [[nodiscard]] TLongEdit* upperField() const { return upper_; }
    [[nodiscard]] QComboBox* angleBox() const { return angle_; }
    [[nodiscard]] QScrollBar* stepBar() const { return step_; }
    [[nodiscard]] QCheckBox* liveUpdateBox() const { return live_; }
    [[nodiscard]] QCheckBox* unfilteredBox() const { return unfiltered_; }
    [[nodiscard]] QPushButton* startButton() const { return start_; }
    [[nodiscard]] QPushButton* stopButton() const { return stop_; }
    [[nodiscard]] QPushButton* refreshButton() const { return refresh_; }
    [[nodiscard]] QListWidget* componentList() const { return list_; }
    [[nodiscard]] QLabel* errorLabel() const { return error_; }
    [[nodiscard]] DiagramModel& plot() { return plot_; }
    [[nodiscard]] DiagramView* plotView() const { return view_; }
    [[nodiscard]] QTimer* timer() const { return timer_; }

    void done(int result) override;

private:
    void storeSettings();
    void targetChanged();
    void angleChanged();
    void fillList();
    void showResults();
    void updateButtons();

    TNetA& net_;
    TXover& project_;
    UiHost& ui_;
    TNetOptimiser opt_;
    DiagramModel plot_;

    TLongEdit* lpFc_ = nullptr;
    TLongEdit* lpOrder_ = nullptr;
    QComboBox* lpType_ = nullptr;
    TLongEdit* hpFc_ = nullptr;
    TLongEdit* hpOrder_ = nullptr;
    QComboBox* hpType_ = nullptr;
    TLongEdit* lower_ = nullptr;
    TLongEdit* upper_ = nullptr;
    QComboBox* angle_ = nullptr;
    QScrollBar* step_ = nullptr;
    QCheckBox* live_ = nullptr;
    QCheckBox* unfiltered_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* error_ = nullptr;
    DiagramView* view_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace harlox
