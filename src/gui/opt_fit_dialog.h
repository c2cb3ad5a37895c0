#pragma once

#include "box/frequency_fit.h"
#include "gui/base_dialog.h"
#include "gui/optimize_menu.h"

#include <QPointer>

#include <functional>

class QCheckBox;
class QMenuBar;
class QPushButton;
class QShowEvent;
class QTimer;

namespace harlox {

class TAbrBox;
class TBassReflexBox;
class TBassReflexDT2Box;
class TBassReflexDTBox;
class TBassReflexVelBox;
class TBoxEmbryo;
class TBP5Box;
class TBP6Box;
class TBP7Box;
class TBP8Box;
class TClosedBox;
class TDblEdit;
class TLongEdit;
class UiHost;

// "Frequency fit opt.": steps the enclosure of the project until its SPL follows the target
// curve. A modeless window owned by the box input window; one iteration runs per pass of the
// event loop, so the window and the diagrams stay live and "&Halt" is seen between iterations.
// While the window is open the input window's "&Optimize" commands are greyed; while a fit
// runs the option fields and the input window's fields are disabled.
class TOptFitDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Frequency fit opt.";
    static constexpr const char* kHelpFile = "optfit.txt";
    static constexpr const char* kRunText = "&Run";
    static constexpr const char* kHaltText = "&Halt";
    static constexpr const char* kCloseText = "Close";
    static constexpr const char* kLowerCutoffText = "Lower cufoff freq.";
    static constexpr const char* kUpperCutoffText = "Upper cufoff freq.";
    static constexpr const char* kBoxQText = "Optimize box Q-value";
    static constexpr const char* kRearBoxQText = "Optimize rear box Q-value";
    static constexpr const char* kFrontBoxQText = "Optimize front box Q-value";
    static constexpr const char* kIntermediateText = "Show intermediate results";
    static constexpr const char* kFineStepText = "Fine step optimize";
    static constexpr const char* kMeanErrorText = "Mean error";
    static constexpr const char* kCutoffOrderText =
        "The upper cutoff frequency must be above the lower cutoff frequency.";

    enum Field { LowerCutoffField = 101, UpperCutoffField = 102, MeanErrorField = 103 };

    // What the input window lends the fit: refresh shows the project's values in its fields,
    // changed does that and sends the project-changed notification.
    struct Owner {
        TBaseDialog& window;
        OptimizeMenu menu;
        std::function<void()> refresh;
        std::function<void()> changed;
    };

    ~TOptFitDialog() override;

    [[nodiscard]] TLongEdit* lowerCutoffField() const { return lower_; }
    // Null for the types without an upper cutoff.
    [[nodiscard]] TLongEdit* upperCutoffField() const { return upper_; }
    // "Optimize box Q-value", or the rear box's for the bandpass types.
    [[nodiscard]] QCheckBox* boxQBox() const { return boxQ_; }
    // Null unless the type has a front box of its own.
    [[nodiscard]] QCheckBox* frontBoxQBox() const { return frontBoxQ_; }
    [[nodiscard]] QCheckBox* intermediateBox() const { return intermediate_; }
    [[nodiscard]] QCheckBox* fineStepBox() const { return fineStep_; }
    [[nodiscard]] TDblEdit* meanErrorField() const { return meanError_; }
    [[nodiscard]] QPushButton* runButton() const { return run_; }
    [[nodiscard]] const TFrequencyFit& fit() const { return fit_; }
    [[nodiscard]] bool running() const { return fit_.running(); }

    // The options as the window shows them.
    [[nodiscard]] TFrequencyFit::Options options() const;

    // "&Run" starts the fit, "&Halt" stops it.
    void runCommand();
    // Stops a running fit: the project leaves fast mode and is fully recalculated, the
    // inputs are enabled again. Nothing when no fit runs.
    void halt();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

    // What a box type shows: the upper cutoff of the bandpass types, and the text of the Q
    // option (and of the front box's Q option, null for a type without one).
    struct Layout {
        bool upperCutoff;
        const char* boxQText;
        const char* frontBoxQText;
    };
    static constexpr Layout kHighPassLayout{false, kBoxQText, nullptr};
    static constexpr Layout kBandpassLayout{true, kRearBoxQText, kFrontBoxQText};

    TOptFitDialog(Owner owner, TBoxEmbryo& project, UiHost& ui, const Layout& layout);

private:
    void iterate();
    void showOptions(const TFrequencyFit::Options& o);
    void storeOptions();
    void showMeanError();
    void setRunning(bool on);
    // Greys the input window's Optimize commands while this window is up.
    void holdOwner(bool on);

    TBoxEmbryo& project_;
    UiHost& ui_;
    QPointer<QWidget> ownerContent_; // the input window's fields
    OptimizeMenu menu_;
    QPointer<QMenuBar> menuBar_; // the menu's actions go with it
    std::function<void()> refresh_;
    std::function<void()> changed_;
    TFrequencyFit fit_;
    QTimer* timer_ = nullptr;
    TLongEdit* lower_ = nullptr;
    TLongEdit* upper_ = nullptr;
    QCheckBox* boxQ_ = nullptr;
    QCheckBox* frontBoxQ_ = nullptr;
    QCheckBox* intermediate_ = nullptr;
    QCheckBox* fineStep_ = nullptr;
    TDblEdit* meanError_ = nullptr;
    QPushButton* run_ = nullptr;
    int upperCutoff_ = TFrequencyFit::kDefaultUpperCutoff; // kept for the types without the field
    bool holding_ = false;
};

// One window per box type. The high-pass types: the lower cutoff and one Q option, which
// the two-chamber ones apply to both boxes.
class TOptClosedFitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptClosedFitDialog(Owner owner, TClosedBox& project, UiHost& ui);
};

class TOptBassReflexFitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBassReflexFitDialog(Owner owner, TBassReflexBox& project, UiHost& ui);
};

class TOptBassReflexDTFitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBassReflexDTFitDialog(Owner owner, TBassReflexDTBox& project, UiHost& ui);
};

class TOptBassReflexDT2FitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBassReflexDT2FitDialog(Owner owner, TBassReflexDT2Box& project, UiHost& ui);
};

class TOptAbrFitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptAbrFitDialog(Owner owner, TAbrBox& project, UiHost& ui);
};

// The bandpass types: both cutoffs, and a Q option for each box.
class TOptBP5FitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBP5FitDialog(Owner owner, TBP5Box& project, UiHost& ui);
};

class TOptBP6FitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBP6FitDialog(Owner owner, TBP6Box& project, UiHost& ui);
};

class TOptBP7FitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBP7FitDialog(Owner owner, TBP7Box& project, UiHost& ui);
};

class TOptBP8FitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBP8FitDialog(Owner owner, TBP8Box& project, UiHost& ui);
};

class TOptBassReflexVelFitDialog : public TOptFitDialog {
    Q_OBJECT
public:
    TOptBassReflexVelFitDialog(Owner owner, TBassReflexVelBox& project, UiHost& ui);
};

// Opens the frequency-fit window of the project's box type, owned by the input window, or
// raises the one already open. refresh shows the project's values in the input window's
// fields; changed also sends the project-changed notification. Returns the window (it
// deletes itself when closed), null for a project of no box type.
TOptFitDialog* openFrequencyFit(TBaseDialog& owner, TBoxEmbryo& project, UiHost& ui, const OptimizeMenu& menu,
                                std::function<void()> refresh, std::function<void()> changed);

} // namespace harlox
