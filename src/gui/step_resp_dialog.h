#pragma once

#include "gui/base_dialog.h"
#include "transient/step_response.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;

namespace harlox {

class TBoxEmbryo;
class TDblEdit;
class TLongEdit;
class UiHost;
struct RenderOptions;

// What the transient response window draws beyond its model: the y axis from the lowest
// value of the normalised response up to 1.
void addTransientDrawing(const TStepResponse& transient, RenderOptions& options);

// The "Transient resp." tool window: input signal, tone burst frequency and periods,
// resolution, zoom, the calculation switch and whether the burst is drawn with the response.
// Every change goes straight into the project's transient response, recalculates it and
// redraws its window; when the window closes after a change the settings are written to
// "stepresp.prf" for the next project.
class TStepRespDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Transient resp.";
    static constexpr const char* kHelpFile = "impresp.txt";

    // The entry fields' ids and the check boxes'; the signal buttons go by input signal.
    enum Control {
        FrequencyControl = 101,
        PeriodsControl = 102,
        ZoomControl = 103,
        EnableControl = 104,
        ShowInputControl = 105,
    };

    // The project outlives the dialog; `ui` is its host (its repaint redraws the window).
    TStepRespDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui);

    // Shows the transient response's present settings.
    void refresh();
    // Ends the dialog as its close button would, saving changed settings, without waiting
    // for the event loop (the project is about to go).
    void closeNow();

    [[nodiscard]] TStepResponse& transient() const { return transient_; }
    // Whether the settings differ from those the dialog opened with.
    [[nodiscard]] bool settingsChanged() const;

    [[nodiscard]] QRadioButton* signalButton(int inputSignal) const;
    [[nodiscard]] QGroupBox* toneBurstGroup() const { return burstGroup_; }
    [[nodiscard]] TDblEdit* frequencyField() const { return frequency_; }
    [[nodiscard]] TLongEdit* periodsField() const { return periods_; }
    [[nodiscard]] QComboBox* resolutionList() const { return resolution_; }
    [[nodiscard]] QCheckBox* zoomBox() const { return zoom_; }
    [[nodiscard]] QCheckBox* enableBox() const { return enable_; }
    [[nodiscard]] QCheckBox* showInputBox() const { return showInput_; }

private:
    void signalClicked(int inputSignal);
    void fieldChanged(int id);
    void resolutionChosen(int index);
    void flagClicked(int id, bool on);
    void apply();
    void saveIfChanged();

    TBoxEmbryo& project_;
    TStepResponse& transient_;
    UiHost& ui_;
    StepResponseSettings opened_; // what "stepresp.prf" is compared with on closing
    bool saved_ = false;

    QButtonGroup* signalButtons_ = nullptr;
    QGroupBox* burstGroup_ = nullptr;
    TDblEdit* frequency_ = nullptr;
    TLongEdit* periods_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QCheckBox* zoom_ = nullptr;
    QCheckBox* enable_ = nullptr;
    QCheckBox* showInput_ = nullptr;
};

// Opens the dialog on the project's transient response: a child of parent that deletes
// itself when closed.
QWidget* openStepRespDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui);

} // namespace harlox
