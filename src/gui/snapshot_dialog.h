#pragma once

#include "gui/base_dialog.h"

#include <functional>
#include <optional>
#include <span>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenuBar;

namespace harlox {

class TLongEdit;
class TSnapshot;
class UiHost;
struct RenderOptions;

// What the snapshot window draws beyond its model: the visible slots with their offsets, the
// x axis from the start to the stop frequency, the y axis from the highest shown level down
// by the range, and one legend row per visible slot under the plot.
void addSnapshotDrawing(const TSnapshot& snapshot, RenderOptions& options);

// The "Snapshot" tool window: the snapshot's title, range, frequencies and number display,
// and the offset, text and visibility of the slot it edits; its menu saves and opens the
// snapshot file and copies the project's free-air SPL into the current slot. Every change
// goes straight into the snapshot and redraws its window.
class TSnapshotDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Snapshot";
    static constexpr const char* kHelpFile = "snapshot.txt";
    // Default size of the snapshot window's client area.
    static constexpr int kWindowWidth = 600;
    static constexpr int kWindowHeight = 380;
    static constexpr int kMinSpan = 10;         // Hz between start and stop
    static constexpr int kMaxFrequency = 20000; // Hz
    static constexpr int kMaxRange = 200;       // dB
    static constexpr int kMaxOffset = 100;      // dB either way

    enum Control {
        TitleControl = 101,
        HideControl = 102,
        HideNumbersControl = 103,
        SlotControl = 104,
        OffsetControl = 105,
        RangeControl = 106,
        StartControl = 107,
        StopControl = 108,
        TextControl = 109,
    };
    enum Command {
        OpenCommand = 10201,
        SaveCommand = 10202,
        SaveAsCommand = 10203,
        CopyRoomCabinetCommand = 10204,
        CopyFreeAirCommand = 10205,
    };

    // A curve for the current slot: grid frequencies and levels in dB.
    struct Curve {
        std::span<const double> frequencies;
        std::span<const double> levels;
    };
    // Gives the curve as the design stands now (recalculating first when needed); nothing
    // when there is none to copy.
    using CurveSource = std::function<std::optional<Curve>()>;

    // The snapshot outlives the dialog; `ui` is the project's host (its repaint redraws the
    // snapshot window). Without a room source "SPL in room & cabinet" stays greyed.
    TSnapshotDialog(QWidget* parent, TSnapshot& snapshot, UiHost& ui, CurveSource freeAirSpl,
                    CurveSource roomSpl = {});

    // Shows the snapshot's present values (after Open, or a change from elsewhere).
    void refresh();
    // A command of the dialog's menu by id; unknown or disabled commands do nothing.
    void runCommand(int id);

    [[nodiscard]] TSnapshot& snapshot() const { return snapshot_; }
    [[nodiscard]] QLineEdit* titleEdit() const { return title_; }
    [[nodiscard]] TLongEdit* rangeField() const { return range_; }
    [[nodiscard]] QCheckBox* hideNumbersBox() const { return hideNumbers_; }
    [[nodiscard]] TLongEdit* startField() const { return start_; }
    [[nodiscard]] TLongEdit* stopField() const { return stop_; }
    [[nodiscard]] QComboBox* slotList() const { return slot_; }
    [[nodiscard]] TLongEdit* offsetField() const { return offset_; }
    [[nodiscard]] QLineEdit* textEdit() const { return text_; }
    [[nodiscard]] QCheckBox* hideBox() const { return hide_; }
    [[nodiscard]] QMenuBar* menuBar() const { return menuBar_; }
    // The menu item of a command, null for an unknown id.
    [[nodiscard]] QAction* commandAction(int id) const;

private:
    void fieldChanged(int id);
    void slotSelected(int index);
    void copyCurve(const CurveSource& source);
    void redraw();

    TSnapshot& snapshot_;
    UiHost& ui_;
    CurveSource freeAirSpl_;
    CurveSource roomSpl_;

    QMenuBar* menuBar_ = nullptr;
    QAction* open_ = nullptr;
    QAction* save_ = nullptr;
    QAction* saveAs_ = nullptr;
    QAction* copyFreeAir_ = nullptr;
    QAction* copyRoomCabinet_ = nullptr;
    QLineEdit* title_ = nullptr;
    TLongEdit* range_ = nullptr;
    QCheckBox* hideNumbers_ = nullptr;
    TLongEdit* start_ = nullptr;
    TLongEdit* stop_ = nullptr;
    QComboBox* slot_ = nullptr;
    TLongEdit* offset_ = nullptr;
    QLineEdit* text_ = nullptr;
    QCheckBox* hide_ = nullptr;
};

} // namespace harlox
