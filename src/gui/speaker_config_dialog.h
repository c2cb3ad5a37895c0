#pragma once

#include "core/ui_host.h"
#include "gui/base_dialog.h"

#include <QPointer>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace harlox {

class TBoxEmbryo;
class TSpeakerObject;
class TDblEdit;
class TElectricalConnDialog;
class TLongEdit;

// "Driver unit configuration": number of drivers, added mass, isobaric mounting, the
// wiring of drivers and voice coils, the non-linear effects and the measured SPL data that
// may replace the simulation. Every change marks the driver changed and asks the project
// to recalculate.
class TSpeakerConfigDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Driver unit configuration";
    static constexpr const char* kHelpFile = "drvcfg.txt";
    static constexpr const char* kNotInUse = "Not in use";
    static constexpr const char* kSplFilter = "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|CLIO "
                                              "(*.txt)|*.txt|MLLSA (*.fmp)|*.fmp|All (*.*)|*.*";
    static constexpr const char* kSplExtension = "frd";
    enum Field {
        DriverCountField = 101,
        ExtraMassField = 102,
        LevelOffsetField = 103,
        TransitionField = 104,
        PhaseLagField = 105,
    };

    // caption: the rear and front configurations of a two-driver project name themselves.
    // notifyChanged queues the project-changed notification (the main window's does);
    // without one the dialog posts the project's ChangeNotification itself.
    TSpeakerConfigDialog(QWidget* parent, TBoxEmbryo& project, TSpeakerObject& unit, UiHost& ui,
                         const QString& caption = QString::fromUtf8(kCaption),
                         std::function<void(int code)> notifyChanged = {});

    // Shows the configuration's present values (after a unit load or a calculation).
    void refresh();
    // Opens the connection list (the "&Electrical connection" button).
    TElectricalConnDialog* openConnectionDialog();
    // "&Browse": asks for a measured SPL file.
    void browse();

    [[nodiscard]] TLongEdit* driverCountField() const { return driverCount_; }
    [[nodiscard]] TDblEdit* extraMassField() const { return extraMass_; }
    [[nodiscard]] TDblEdit* levelOffsetField() const { return levelOffset_; }
    [[nodiscard]] TLongEdit* transitionField() const { return transition_; }
    [[nodiscard]] TDblEdit* phaseLagField() const { return phaseLag_; }
    [[nodiscard]] QCheckBox* isobaricBox() const { return isobaric_; }
    [[nodiscard]] QRadioButton* isobaricButton(int connection) const;
    [[nodiscard]] QGroupBox* coilGroupBox() const { return coilGroup_; }
    [[nodiscard]] QRadioButton* coilButton(int connection) const;
    [[nodiscard]] QPushButton* connectionButton() const { return connButton_; }
    [[nodiscard]] QLabel* connectionLabel() const { return connLabel_; }
    [[nodiscard]] QCheckBox* blBox() const { return bl_; }
    [[nodiscard]] QCheckBox* heatingBox() const { return heating_; }
    [[nodiscard]] QCheckBox* cmsBox() const { return cms_; }
    [[nodiscard]] QLineEdit* importFileField() const { return importFile_; }
    [[nodiscard]] QPushButton* browseButton() const { return browse_; }
    [[nodiscard]] QCheckBox* disableBox() const { return disable_; }
    [[nodiscard]] QCheckBox* autoLevelBox() const { return autoLevel_; }
    [[nodiscard]] static FileSelector& splSelector();

private:
    void fieldChanged(int fieldId);
    void optionClicked(QAbstractButton* box);
    void isobaricConnectionClicked(int connection);
    void coilConnectionClicked(int connection);
    // The driver changed: recalculate, then show what the calculation derived.
    void changed();

    TBoxEmbryo& project_;
    TSpeakerObject& unit_;
    UiHost& ui_;
    std::function<void(int code)> notify_;

    QLineEdit* manufacturer_ = nullptr;
    QLineEdit* model_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    TLongEdit* driverCount_ = nullptr;
    TDblEdit* extraMass_ = nullptr;
    QCheckBox* isobaric_ = nullptr;
    QButtonGroup* isobaricButtons_ = nullptr;
    QGroupBox* coilGroup_ = nullptr;
    QButtonGroup* coilButtons_ = nullptr;
    QPushButton* connButton_ = nullptr;
    QLabel* connLabel_ = nullptr;
    QCheckBox* bl_ = nullptr;
    QCheckBox* heating_ = nullptr;
    QCheckBox* cms_ = nullptr;
    QLineEdit* importFile_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* disable_ = nullptr;
    TDblEdit* levelOffset_ = nullptr;
    QCheckBox* autoLevel_ = nullptr;
    TLongEdit* transition_ = nullptr;
    TDblEdit* phaseLag_ = nullptr;
    QPointer<TElectricalConnDialog> connDialog_;
};

} // namespace harlox
