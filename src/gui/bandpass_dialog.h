#pragma once

#include "gui/base_dialog.h"
#include "gui/optimize_menu.h"

#include <functional>

class QCheckBox;
class QVBoxLayout;

namespace harlox {

class BoxVolumeFields;
class PortFields;
class TBassReflexVelBox;
class TBoxEmbryo;
class TBP5Box;
class TBP6Box;
class TBP7Box;
class TBP8Box;
class TDblEdit;
class UiHost;

// The input window of a two-chamber type: the project's main box with port 1 in the left
// column, the second box with port 2 (bandpass 1: with its only port) in the right one, and
// the shared port non-linearity switch.
class TTwoChamberDialog : public TBaseDialog {
    Q_OBJECT

public:
    enum Field {
        Box1FillField = 101,
        Box1QField = 102,
        Box1VolumeField = 105,
        Box2FillField = 106,
        Box2QField = 107,
        Box2VolumeField = 108,
        NonLinearField = 119,
    };
    static constexpr int kPort1FirstId = 111; // Length .. Number of vents: 111 .. 117
    static constexpr int kPort2FirstId = 121; // 121 .. 127

    // What differs between the windows: the captions and which optimisation commands exist.
    struct Shape {
        const char* caption;
        const char* helpFile;
        const char* box1Title;
        const char* box2Title;
        const char* port1Title;
        const char* port2Title; // null: one port, in the second box
        const char* tableText;  // null: no table lookup
        const char* fitText;
    };

    [[nodiscard]] BoxVolumeFields& box1Fields() const { return *box1_; }
    [[nodiscard]] BoxVolumeFields& box2Fields() const { return *box2_; }
    [[nodiscard]] PortFields& port1Fields() const { return *port1_; }
    // Null for a window with one port.
    [[nodiscard]] PortFields* port2Fields() const { return port2_; }
    [[nodiscard]] QCheckBox* nonLinearBox() const { return nonLinear_; }
    [[nodiscard]] const OptimizeMenu& optimizeMenu() const { return menu_; }

    virtual void refresh();

protected:
    // notifyChanged as for TClosedDialog.
    TTwoChamberDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui,
                      std::function<void(int code)> notifyChanged, const Shape& shape);

    void changed();

private:
    void quickBox();

    TBoxEmbryo& project_;
    UiHost& ui_;
    std::function<void(int code)> notify_;
    QVBoxLayout* left_ = nullptr;
    QVBoxLayout* right_ = nullptr;
    BoxVolumeFields* box1_ = nullptr;
    BoxVolumeFields* box2_ = nullptr;
    PortFields* port1_ = nullptr;
    PortFields* port2_ = nullptr;
    QCheckBox* nonLinear_ = nullptr;
    OptimizeMenu menu_;
};

// "Bandpass box type 1": closed rear box, vented front box.
class TBP5Dialog : public TTwoChamberDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Bandpass box type 1";
    static constexpr const char* kHelpFile = "bp1.txt";
    TBP5Dialog(QWidget* parent, TBP5Box& project, UiHost& ui,
               std::function<void(int code)> notifyChanged = {});
};

// "Bandpass box type 2".
class TBP6Dialog : public TTwoChamberDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Bandpass box type 2";
    static constexpr const char* kHelpFile = "bp2.txt";
    TBP6Dialog(QWidget* parent, TBP6Box& project, UiHost& ui,
               std::function<void(int code)> notifyChanged = {});
};

// "Bandpass box type 3".
class TBP7Dialog : public TTwoChamberDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Bandpass box type 3";
    static constexpr const char* kHelpFile = "bp3.txt";
    TBP7Dialog(QWidget* parent, TBP7Box& project, UiHost& ui,
               std::function<void(int code)> notifyChanged = {});
};

// "Bandpass box type 4": side boxes and middle box.
class TBP8Dialog : public TTwoChamberDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Bandpass box type 4";
    static constexpr const char* kHelpFile = "bp4.txt";
    TBP8Dialog(QWidget* parent, TBP8Box& project, UiHost& ui,
               std::function<void(int code)> notifyChanged = {});
};

// "Reflex bandpass box": the front chamber with "Port", the rear chamber with its vent and
// the vent's flow resistance.
class TBreflVelDialog : public TTwoChamberDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Reflex bandpass box";
    static constexpr const char* kHelpFile = "brefl.txt";
    static constexpr int VentResistanceField = 128;

    TBreflVelDialog(QWidget* parent, TBassReflexVelBox& project, UiHost& ui,
                    std::function<void(int code)> notifyChanged = {});

    [[nodiscard]] TDblEdit* ventResistanceField() const { return ventResistance_; }
    void refresh() override;

private:
    TBassReflexVelBox& project_;
    TDblEdit* ventResistance_ = nullptr;
};

} // namespace harlox
