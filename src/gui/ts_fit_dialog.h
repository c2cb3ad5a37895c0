#pragma once

#include "core/diagram_model.h"
#include "driver/ts_fit.h"
#include "gui/base_dialog.h"

#include <QString>

#include <array>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace harlox {

class DiagramView;
class TBoxEmbryo;
class TDblEdit;
struct FileSelector;
class UiHost;

// "Fit from impedance": the Thiele-Small parameters of a unit from its free-air impedance
// and a second curve (added mass or closed test box), with the measured and fitted curves
// drawn together. The fitted unit can be saved and loaded into the open box project.
class TTsFitDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Fit from impedance";
    static constexpr const char* kHelpFile = "drvfit.txt";
    static constexpr double kMaxMassGrams = 1000.0;
    static constexpr double kMaxVolumeLitres = 1000.0;
    static constexpr double kMaxSdCm2 = 10000.0;

    // The results in the order the window lists them.
    enum Result { Fs, Qms, Qes, Qts, Re, Le, Vas, Mms, Cms, Bl, SemiInductance, RmsError, ResultCount };

    // `box` may be null: "Load into project" is then greyed.
    TTsFitDialog(QWidget* parent, UiHost& ui, TBoxEmbryo* box);
    ~TTsFitDialog() override;

    // The selectors of impedance curves and of unit files, shared by every fit window.
    static FileSelector& curveSelector();
    static FileSelector& unitSelector();

    void browseFree();
    void browseSecond();
    // "Fit": reads both curves and fits; a refusal is shown under the window's caption.
    bool fit();
    // "Save unit...": asks for a file and writes the fitted unit.
    bool saveUnit();
    // "Load into project": writes the unit as Save does, then loads that file into the
    // project's driver.
    bool loadIntoProject();

    [[nodiscard]] QLineEdit* freeField() const { return free_; }
    [[nodiscard]] QLineEdit* secondField() const { return second_; }
    [[nodiscard]] QPushButton* freeBrowseButton() const { return freeBrowse_; }
    [[nodiscard]] QPushButton* secondBrowseButton() const { return secondBrowse_; }
    [[nodiscard]] QRadioButton* massButton() const { return massButton_; }
    [[nodiscard]] QRadioButton* boxButton() const { return boxButton_; }
    [[nodiscard]] TDblEdit* massField() const { return mass_; }
    [[nodiscard]] TDblEdit* volumeField() const { return volume_; }
    [[nodiscard]] TDblEdit* sdField() const { return sd_; }
    [[nodiscard]] QPushButton* fitButton() const { return fitButton_; }
    [[nodiscard]] QPushButton* saveButton() const { return save_; }
    [[nodiscard]] QPushButton* loadButton() const { return load_; }
    [[nodiscard]] QLineEdit* resultField(Result r) const { return results_[static_cast<std::size_t>(r)]; }
    [[nodiscard]] DiagramView* view() const { return view_; }
    [[nodiscard]] const DiagramModel& diagram() const { return diagram_; }
    [[nodiscard]] const TTsFit& fitter() const { return fit_; }
    // The input as the fields hold it, in SI units.
    [[nodiscard]] TTsFit::Input input() const;

private:
    void methodChanged();
    void showResults();
    void updateButtons();
    bool writeUnit(const std::string& path);

    UiHost& ui_;
    TBoxEmbryo* box_;
    TTsFit fit_;
    bool fitted_ = false;

    DiagramModel diagram_{"Impedance", "Hz", "ohm"};
    std::vector<double> x_;
    std::vector<double> measured_;
    std::vector<double> fittedCurve_;
    std::vector<double> secondCurve_;
    std::vector<double> secondFitted_;

    QLineEdit* free_ = nullptr;
    QLineEdit* second_ = nullptr;
    QPushButton* freeBrowse_ = nullptr;
    QPushButton* secondBrowse_ = nullptr;
    QRadioButton* massButton_ = nullptr;
    QRadioButton* boxButton_ = nullptr;
    TDblEdit* mass_ = nullptr;
    TDblEdit* volume_ = nullptr;
    TDblEdit* sd_ = nullptr;
    QPushButton* fitButton_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* load_ = nullptr;
    std::array<QLineEdit*, ResultCount> results_{};
    DiagramView* view_ = nullptr;
};

} // namespace harlox
