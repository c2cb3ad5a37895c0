#pragma once

#include "gui/base_dialog.h"

#include <QPoint>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;

namespace harlox {

struct MeasureSetup;
class UiHost;
class TDblEdit;
class TLongEdit;

// The "Measurement setup" tool window: frequency range and points, the generator, the SPL
// plot options. Edits go straight into the program-wide setup; after each accepted one the
// active project hears about it through the notify hook.
class TMeasureSetupDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Measurement setup";
    static constexpr const char* kHelpFile = "measetup.txt";
    static constexpr const char* kSaveFailedCaption = "Error";
    static constexpr const char* kSaveFailedText = "Could not save to file 'msetup.prf'";
    static constexpr int kMinSpan = 10; // Hz between start and stop
    static constexpr int kMaxFrequency = 20000;

    // Field identifiers of the entry fields.
    enum Field {
        StartField = 101,
        StopField = 102,
        PointsField = 103,
        SourceLevelField = 104,
        PowerField = 105,
        ResistanceField = 106,
        RangeField = 107,
    };

    // Tells the active project that the setup changed; expected to queue the notification
    // (the main window's project-changed notification does). The flag is 1 only when the
    // change cleared "Calculate immediately".
    using NotifyHook = std::function<void(int flag)>;

    TMeasureSetupDialog(QWidget* parent, MeasureSetup& setup, UiHost& ui, NotifyHook notify = {});

    void setNotifyHook(NotifyHook notify) { notify_ = std::move(notify); }
    // Shows the setup's present values.
    void refresh();

    // The display rule of the voltage, power and resistance fields (by absolute value).
    [[nodiscard]] static const char* valueFormat(double v);

    // Where the window was when it was last closed (the next one opens there).
    [[nodiscard]] static std::optional<QPoint> rememberedPosition();

    [[nodiscard]] TLongEdit* startField() const { return start_; }
    [[nodiscard]] TLongEdit* stopField() const { return stop_; }
    [[nodiscard]] TLongEdit* pointsField() const { return points_; }
    [[nodiscard]] TDblEdit* sourceLevelField() const { return ug_; }
    [[nodiscard]] TDblEdit* powerField() const { return pg_; }
    [[nodiscard]] TDblEdit* resistanceField() const { return rg_; }
    [[nodiscard]] TLongEdit* rangeField() const { return range_; }
    [[nodiscard]] QCheckBox* autorangeBox() const { return autorange_; }
    [[nodiscard]] QCheckBox* hidePhaseBox() const { return hidePhase_; }
    [[nodiscard]] QCheckBox* calculateImmediatelyBox() const { return calcNow_; }
    [[nodiscard]] QAction* savePreferencesAction() const { return saveAction_; }
    [[nodiscard]] QAction* setDefaultAction() const { return defaultAction_; }

    // "&Preferences": "&Save" and "Set to &default".
    void savePreferences();
    void setToDefault();

private:
    void fieldChanged(int fieldId);
    void autorangeClicked(bool on);
    void hidePhaseClicked(bool on);
    void calculateImmediatelyClicked(bool on);
    void setupChanged(int flag);

    MeasureSetup& setup_;
    UiHost& ui_;
    NotifyHook notify_;

    TLongEdit* start_ = nullptr;
    TLongEdit* stop_ = nullptr;
    TLongEdit* points_ = nullptr;
    TDblEdit* ug_ = nullptr;
    TDblEdit* pg_ = nullptr;
    TDblEdit* rg_ = nullptr;
    TLongEdit* range_ = nullptr;
    QCheckBox* autorange_ = nullptr;
    QCheckBox* hidePhase_ = nullptr;
    QCheckBox* calcNow_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* defaultAction_ = nullptr;
};

} // namespace harlox
