#pragma once

#include "filter/general.h"
#include "gui/base_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QVBoxLayout;

namespace harlox {

class UiHost;

// An entry field with an automatic mode ("Auto", "Infinite"): it then shows "---" and
// takes neither typing nor the arrow keys; the value underneath is kept for later.
template <class Edit> class TSwitchableEdit : public Edit {
public:
    using Edit::Edit;

    [[nodiscard]] bool automatic() const { return automatic_; }
    void setAutomatic(bool on) {
        automatic_ = on;
        QLineEdit::setReadOnly(on);
        this->showValue();
    }

protected:
    [[nodiscard]] std::string displayText() const override {
        return automatic_ ? std::string("---") : Edit::displayText();
    }
    EntryStep stepUp() override { return automatic_ ? EntryStep{} : Edit::stepUp(); }
    EntryStep stepDown() override { return automatic_ ? EntryStep{} : Edit::stepDown(); }

private:
    bool automatic_ = false;
};

using TSwitchableDblEdit = TSwitchableEdit<TDblEdit>;
using TSwitchableLongEdit = TSwitchableEdit<TLongEdit>;

// "General settings": the display range, the impulse response, the off-axis rays, the
// diagram scaling, the listening distance and the construction title, all written straight
// into the shared settings. Modeless; `changed` runs after every edit that alters them (the
// owner recalculates the filter project).
class TGeneralDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "General settings";

    // Field ranges. The group delay fields also keep Max above Min by kMinGdSpan.
    static constexpr double kMinGroupDelay = -1000.0; // ms
    static constexpr double kMaxGroupDelay = 1000.0;  // ms
    static constexpr double kMinGdSpan = 0.1;         // ms
    static constexpr int kMinImpedance = 1;           // ohm
    static constexpr int kMaxImpedance = 1000;        // ohm
    static constexpr int kMinSplRange = 5;            // dB
    static constexpr int kMaxSplRange = 200;          // dB
    // Closer than this the listener would stand inside the cabinet.
    static constexpr double kMinDistance = 0.2;       // m
    static constexpr double kMaxDistance = 100.0;     // m

    enum Field { GdMaxField = 1, GdMinField, ImpedanceMaxField, SplRangeField, DistanceField };

    TGeneralDialog(QWidget* parent, TGeneral& general, UiHost& ui, std::function<void()> changed);

    // Shows the settings again after somebody else changed them (a project was opened).
    void refresh();

    // The four list buttons.
    void addSurface();
    void removeSurface();
    void addOverlay();
    void removeOverlay();

    [[nodiscard]] QComboBox* lowerList() const { return lower_; }
    [[nodiscard]] QComboBox* upperList() const { return upper_; }
    [[nodiscard]] QComboBox* pointsList() const { return points_; }
    [[nodiscard]] QComboBox* sampleRateList() const { return sampleRate_; }
    [[nodiscard]] QCheckBox* disableIfftBox() const { return disableIfft_; }
    [[nodiscard]] QListWidget* pickList() const { return pick_; }
    [[nodiscard]] QListWidget* surfaceList() const { return surface_; }
    [[nodiscard]] QListWidget* overlayList() const { return overlay_; }
    [[nodiscard]] QPushButton* surfaceAddButton() const { return surfaceAdd_; }
    [[nodiscard]] QPushButton* surfaceRemoveButton() const { return surfaceRemove_; }
    [[nodiscard]] QPushButton* overlayAddButton() const { return overlayAdd_; }
    [[nodiscard]] QPushButton* overlayRemoveButton() const { return overlayRemove_; }
    [[nodiscard]] QCheckBox* flipBox() const { return flip_; }
    [[nodiscard]] QCheckBox* hideOnAxisBox() const { return hideOnAxis_; }
    [[nodiscard]] QCheckBox* inhibitBox() const { return inhibit_; }
    [[nodiscard]] TSwitchableDblEdit* gdMaxField() const { return gdMax_; }
    [[nodiscard]] TSwitchableDblEdit* gdMinField() const { return gdMin_; }
    [[nodiscard]] QCheckBox* gdAutoBox() const { return gdAuto_; }
    [[nodiscard]] TSwitchableLongEdit* impedanceMaxField() const { return impedanceMax_; }
    [[nodiscard]] QCheckBox* impedanceAutoBox() const { return impedanceAuto_; }
    [[nodiscard]] TLongEdit* splRangeField() const { return splRange_; }
    [[nodiscard]] TSwitchableDblEdit* distanceField() const { return distance_; }
    [[nodiscard]] QCheckBox* infiniteBox() const { return infinite_; }
    [[nodiscard]] QLineEdit* titleField() const { return title_; }

private:
    void buildFrequencyGroup(QWidget* page, QVBoxLayout* column);
    void buildScalingGroup(QWidget* page, QVBoxLayout* column);
    void buildRayGroup(QWidget* page, QVBoxLayout* column);
    QCheckBox* addSwitch(QWidget* parent, const QString& label, std::uint8_t* value);
    void refreshRays();
    void refreshRanges();
    void listChosen(QComboBox* list);
    void fieldChanged(int id);
    void titleEdited();
    // Shows the refusal of a list button, or shows the new lists and notifies; true then.
    bool rayEdited(TGeneral::RayEdit result, bool overlay);
    void notify();

    TGeneral& general_;
    UiHost& ui_;
    std::function<void()> changed_;

    QComboBox* lower_ = nullptr;
    QComboBox* upper_ = nullptr;
    QComboBox* points_ = nullptr;
    QComboBox* sampleRate_ = nullptr;
    QCheckBox* disableIfft_ = nullptr;
    QListWidget* pick_ = nullptr;
    QListWidget* surface_ = nullptr;
    QListWidget* overlay_ = nullptr;
    QPushButton* surfaceAdd_ = nullptr;
    QPushButton* surfaceRemove_ = nullptr;
    QPushButton* overlayAdd_ = nullptr;
    QPushButton* overlayRemove_ = nullptr;
    QCheckBox* flip_ = nullptr;
    QCheckBox* hideOnAxis_ = nullptr;
    QCheckBox* inhibit_ = nullptr;
    TSwitchableDblEdit* gdMax_ = nullptr;
    TSwitchableDblEdit* gdMin_ = nullptr;
    QCheckBox* gdAuto_ = nullptr;
    TSwitchableLongEdit* impedanceMax_ = nullptr;
    QCheckBox* impedanceAuto_ = nullptr;
    TLongEdit* splRange_ = nullptr;
    TSwitchableDblEdit* distance_ = nullptr;
    QCheckBox* infinite_ = nullptr;
    QLineEdit* title_ = nullptr;

    struct SwitchBinding {
        QCheckBox* box;
        std::uint8_t* value;
    };
    std::vector<SwitchBinding> switches_;
};

} // namespace harlox
