#pragma once

#include "box/room_cabinet.h"
#include "gui/base_dialog.h"

#include <QPoint>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QPushButton;
class QRadioButton;

namespace harlox {

class TBoxEmbryo;
class TDblEdit;
class TLongEdit;
class UiHost;

// One radiating element of a box as the room dialog lists it: where its position record
// lives and what the list calls it.
struct RoomElement {
    SourceGroup group = SourceGroup::Drivers;
    int index = 0;
    QString name;
    bool operator==(const RoomElement&) const = default;
};

// The radiating elements of the project's box type, in list order: driver cones (not for the
// bandpass boxes, whose cones radiate into a chamber), passive radiators, then the ports that
// open to the room. Numbered when a group holds more than one ("Driver unit 2"); passive
// radiators always are ("Abr 1").
[[nodiscard]] std::vector<RoomElement> roomElements(const TBoxEmbryo& project);

// "Absorbtion coefficients": the share of sound energy each room surface absorbs, 1 - r^2 of
// its reflection factor r. Modal; OK stores the six values back as reflection factors.
class TAbsDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Absorbtion coefficients";
    static constexpr const char* kHelpFile = "roomabs.txt";

    // In the order of the surfaces' switches in the room dialog.
    enum Surface { SpeakerBackWall, LeftWall, RightWall, Floor, Ceiling, ListenerBackWall, SurfaceCount };

    TAbsDialog(QWidget* parent, const RoomSurfaces<double>& reflectionFactors);

    [[nodiscard]] TDblEdit* field(Surface s) const { return fields_[static_cast<std::size_t>(s)]; }
    // The reflection factors of the values shown.
    [[nodiscard]] RoomSurfaces<double> reflectionFactors() const;

private:
    std::array<TDblEdit*, SurfaceCount> fields_{};
};

// "Room and cabinet effects": the room, the positions of cabinet, listener and radiating
// elements, the reflecting surfaces and edges, what the window shows, and measured SPL data
// for the low end. Modeless; every accepted change goes into the project's room model and,
// with "Calc. imm." on, recalculates the project.
class TRoomCabinetDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Room and cabinet effects";
    static constexpr const char* kHelpFile = "roomcabi.txt";
    static constexpr const char* kNotInUse = "Not in use";

    static constexpr double kMinRoomSize = 0.5;    // m
    static constexpr double kMaxRoomSize = 100.0;  // m
    static constexpr double kMinBaffleSize = 0.02; // m
    static constexpr double kMaxBaffleSize = 5.0;  // m
    static constexpr double kMaxDepthOffset = 2.0; // m, either way of the baffle plane
    static constexpr double kMaxSummationFactor = 10.0;
    static constexpr double kMaxLevelOffsetDb = 200.0;

    // Control identifiers.
    enum Control {
        CalcControl = 101,
        SpeakerXControl = 102,
        SpeakerYControl = 103,
        SpeakerZControl = 104,
        CabinetEdgesControl = 105,
        CalcImmediatelyControl = 106,
        FloorControl = 107,
        BaffleHeightControl = 108,
        ListenerBackWallControl = 109,
        ListenerXControl = 110,
        ListenerYControl = 111,
        ListenerZControl = 112,
        NormalizedControl = 113,
        CeilingControl = 114,
        RoofHeightControl = 115,
        DepthControl = 116,
        WidthControl = 117,
        RightWallControl = 118,
        ImpactControl = 119,
        ResponseControl = 120,
        SmoothingControl = 121,
        ElementListControl = 122,
        LeftWallControl = 123,
        SpeakerBackWallControl = 124,
        DisableControl = 125,
        DxControl = 126,
        DyControl = 127,
        DzControl = 128,
        LevelOffsetControl = 129,
        SummationControl = 130,
        TransitionControl = 131,
        BaffleWidthControl = 133,
        AutoLevelControl = 134,
        BrowseControl = 135,
        FileNameControl = 137,
    };

    // notifyChanged queues the project-changed notification (the main window's does);
    // without one the dialog posts the project's ChangeNotification itself.
    TRoomCabinetDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui,
                       std::function<void(int code)> notifyChanged = {});

    // Shows the model's present values and the box's present elements (after a calculation
    // or a change of the box).
    void refresh();
    // "Calc": recalculates the project now.
    void calculate();
    // "Browse": asks for a measured SPL file and reads it.
    void browse();
    // The "Absorbtion coeffs." menu item: opens the sub-dialog (modal); its OK applies it.
    TAbsDialog* openAbsorptionDialog();

    [[nodiscard]] TRoomCabinet& room() const { return room_; }
    // The entry field of a control id, null for the ids that are not entry fields.
    [[nodiscard]] TDblEdit* realField(int id) const;
    [[nodiscard]] TLongEdit* transitionField() const { return transition_; }
    // The check box of a control id, null for the ids that are not check boxes.
    [[nodiscard]] QCheckBox* checkBox(int id) const;
    [[nodiscard]] QRadioButton* impactButton() const { return impact_; }
    [[nodiscard]] QRadioButton* responseButton() const { return response_; }
    [[nodiscard]] QListWidget* elementList() const { return elements_; }
    [[nodiscard]] const std::vector<RoomElement>& listedElements() const { return listed_; }
    [[nodiscard]] QLineEdit* fileNameField() const { return fileName_; }
    [[nodiscard]] QPushButton* calcButton() const { return calc_; }
    [[nodiscard]] QPushButton* browseButton() const { return browse_; }
    [[nodiscard]] QAction* absorptionAction() const { return absorption_; }
    [[nodiscard]] QMenuBar* menuBar() const { return menuBar_; }

    // Where the window was when it was last closed (the next one opens there).
    [[nodiscard]] static std::optional<QPoint> rememberedPosition();

private:
    struct RealBinding {
        TDblEdit* field;
        double* value;
    };
    struct SwitchBinding {
        int id;
        QCheckBox* box;
        std::uint8_t* value;
    };

    // A field bound to a value of the model (null for the element fields, which follow the
    // selected element).
    TDblEdit* addReal(QWidget* group, int id, const char* format, double minimum, double maximum,
                      double undefinedValue, double* value);
    QCheckBox* addSwitch(QWidget* group, int id, const QString& label, std::uint8_t* value);
    void fieldChanged(int id);
    void switchClicked(QCheckBox* box);
    void modeClicked(int mode);
    void elementSelected(int row);
    void refreshElements();
    void refreshSource();
    [[nodiscard]] SourcePosition* selectedSource() const;
    // An input changed: recalculate when "Calc. imm." says so.
    void changed();

    TBoxEmbryo& project_;
    TRoomCabinet& room_;
    UiHost& ui_;
    std::function<void(int code)> notify_;

    std::vector<RealBinding> reals_;
    std::vector<SwitchBinding> switches_;
    std::vector<RoomElement> listed_;

    QMenuBar* menuBar_ = nullptr;
    QAction* absorption_ = nullptr;
    TDblEdit* speakerX_ = nullptr;
    TDblEdit* speakerY_ = nullptr;
    TDblEdit* speakerZ_ = nullptr;
    TDblEdit* listenerX_ = nullptr;
    TDblEdit* listenerY_ = nullptr;
    TDblEdit* listenerZ_ = nullptr;
    TDblEdit* dX_ = nullptr;
    TDblEdit* dY_ = nullptr;
    TDblEdit* dZ_ = nullptr;
    TDblEdit* levelOffset_ = nullptr;
    TLongEdit* transition_ = nullptr;
    QListWidget* elements_ = nullptr;
    QButtonGroup* modes_ = nullptr;
    QRadioButton* impact_ = nullptr;
    QRadioButton* response_ = nullptr;
    QCheckBox* calcNow_ = nullptr;
    QCheckBox* autoLevel_ = nullptr;
    QCheckBox* disable_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QPushButton* calc_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPointer<TAbsDialog> absDialog_;
};

} // namespace harlox
