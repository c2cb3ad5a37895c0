#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"
#include "core/ui_host.h"
#include "driver/speaker_object.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

class TBoxObject;
class TPortObject;

// The box project's export kinds (File > Export).
enum class BoxExportKind {
    Spl = 0,
    SplRoom = 1,
    SplStdWaveModes = 2,
    Transient = 3,
    InputImpedance = 4,
    GroupDelay = 5
};

// The modeless dialogs and tool windows a box project keeps track of: their menu command
// stays greyed while they are open.
enum class ProjectDialog {
    DriverConfig,
    DriverEditor,
    Box,
    MeasureSetup,
    TransientResponse,
    RoomCabinet,
    Snapshot,
    Count
};

// The frequency-fit settings kept in the project (8 bytes in the project file).
struct FitSettings {
    std::int16_t lowerCutoff = 10;
    std::int16_t upperCutoff = 0;
    std::array<std::uint8_t, 4> flags{};
    void Reset() {
        lowerCutoff = 10;
        flags = {0, 1, 0, 0};
    }
};

// The common base of the box projects: a document object that owns the driver
// configurations, the enclosure elements, the 500-point result arrays and the diagram
// models, and runs the calculation cycle. The concrete box types supply the load behind the
// cone and the radiated pressure.
class TBoxEmbryo : public TMeasureSetupObject {
public:
    static constexpr const char* kProductCaption = "Harlox 4.00";
    static constexpr std::size_t kUserNoteSize = 600;
    static constexpr int kInitialExportFormat = 2; // GDT

    static constexpr const char* kProjectFilter =
        "Box project files (*.box)|*.box|Filter project files (*.flt)|*.flt|All files (*.*)|*.*|";
    static constexpr const char* kProjectExtension = "box";
    static constexpr const char* kUnitFilter = "Unit files (*.unt)|*.unt|All files (*.*)|*.*|";
    static constexpr const char* kUnitExtension = "unt";
    static constexpr const char* kSnapshotFilter = "Snapshot files (*.snp)|*.snp|All files (*.*)|*.*|";
    static constexpr const char* kSnapshotExtension = "snp";

    static constexpr const char* kUnitLoadCaption = "Speaker unit load";
    static constexpr const char* kUnitOpenFailedText = "Could not open file.\nCheck if device is ready.";
    static constexpr const char* kTooFewParametersText = "Too few speaker parameters are defined";
    static constexpr const char* kBoxProjectCaption = "Box project";
    static constexpr const char* kSaveQuestionText = "Project has been changed.\r\nSave project ?";

    // Change notification codes with a meaning of their own.
    static constexpr int kChangeDataSheetOnly = 2;
    static constexpr int kChangeSaved = 3;

    explicit TBoxEmbryo(UiHost& ui);
    virtual ~TBoxEmbryo();
    TBoxEmbryo(const TBoxEmbryo&) = delete;
    TBoxEmbryo& operator=(const TBoxEmbryo&) = delete;

    // Identity of the concrete type.
    [[nodiscard]] virtual int typeCode() const = 0;
    [[nodiscard]] virtual const char* typeName() const = 0; // "Closed box"
    [[nodiscard]] virtual const char* heading() const = 0;  // "CLOSED BOX"
    [[nodiscard]] const std::string& projectTitle() const { return projectTitle_; }
    [[nodiscard]] const std::string& frameCaption() const { return frameCaption_; }

    // An empty project: no unit, default elements, most commands greyed.
    virtual void Reset();
    // flag 0: the full calculation; flag 1: only the data sheet from the last results.
    void Calculate(int flag);
    // Saving comes with the project file; until then a project cannot be saved.
    [[nodiscard]] virtual bool Save() { return false; }
    [[nodiscard]] virtual bool SaveAs() { return false; }
    // Enables Calculate when the front driver's parameters are complete, greys it otherwise.
    void UpdateCalculateCommand();
    // Effective Qts, fs and Vas of the front configuration.
    void ComputeDerivedValues();
    [[nodiscard]] std::string ShowFileName() const;

    // The main box's net volume (m^3); the ported types keep their ports' Vbox with it.
    virtual void setVb(double volume);

    // Asks for a unit file and loads it into the front configuration.
    bool LoadDriverUnit();
    void ChangeNotification(int code);
    // Offers to save a changed project: false when the user cancels.
    [[nodiscard]] bool CanClose();
    void PostCreation(bool loadedFromFile);
    // Writes one curve to a file the user chooses; false when nothing was written.
    bool Export(int kind);

    // The data sheet as it was written by the last calculation.
    [[nodiscard]] std::vector<std::string> dataSheetLines() const;
    [[nodiscard]] std::string dataSheetText(std::string_view lineEnd = "\r\n") const;
    [[nodiscard]] bool dataSheetWritten() const { return sheet_.written; }

    [[nodiscard]] const std::string& userNote() const { return userNote_; }
    void setUserNote(std::string_view text); // cut to 599 characters; marks the project changed

    [[nodiscard]] bool isChanged() const { return changed_; }
    void markChanged() { changed_ = true; }
    void setFastMode(bool on) { fastMode_ = on; }
    [[nodiscard]] bool fastMode() const { return fastMode_; }
    void markNeedsRegrid() { needsRegrid_ = true; }
    void setDialogOpen(ProjectDialog d, bool open) { dialogOpen_[static_cast<std::size_t>(d)] = open; }
    [[nodiscard]] bool dialogOpen(ProjectDialog d) const { return dialogOpen_[static_cast<std::size_t>(d)]; }

    [[nodiscard]] const std::string& projectFileName() const { return projectFileName_; }
    void setProjectFileName(std::string_view path) { projectFileName_ = path; }
    [[nodiscard]] const std::string& frontUnitPath() const { return frontUnitPath_; }

    TSpeakerObject& front() { return *front_; }
    [[nodiscard]] const TSpeakerObject& front() const { return *front_; }
    TSpeakerObject& rear() { return *rear_; }
    [[nodiscard]] const TSpeakerObject& rear() const { return *rear_; }

    // The main box and the first port; null for the types without them.
    TBoxObject* boxElement() { return box_.get(); }
    [[nodiscard]] const TBoxObject* boxElement() const { return box_.get(); }
    TPortObject* portElement() { return port1_.get(); }
    [[nodiscard]] const TPortObject* portElement() const { return port1_.get(); }

    DiagramModel& splWindow() { return splWindow_; }
    DiagramModel& excursionWindow() { return excursionWindow_; }
    DiagramModel& impedanceWindow() { return impedanceWindow_; }
    DiagramModel& groupDelayWindow() { return groupDelayWindow_; }
    [[nodiscard]] const DiagramModel& splWindow() const { return splWindow_; }
    [[nodiscard]] const DiagramModel& excursionWindow() const { return excursionWindow_; }
    [[nodiscard]] const DiagramModel& impedanceWindow() const { return impedanceWindow_; }
    [[nodiscard]] const DiagramModel& groupDelayWindow() const { return groupDelayWindow_; }

    FileSelector& projectSelector() { return projectSelector_; }
    FileSelector& unitSelector() { return unitSelector_; }
    FileSelector& rearUnitSelector() { return rearUnitSelector_; }
    FileSelector& snapshotSelector() { return snapshotSelector_; }
    FileSelector& splSelector() { return splSelector_; }
    FileSelector& impedanceSelector() { return impedanceSelector_; }
    [[nodiscard]] int exportKind() const { return exportKind_; }
    [[nodiscard]] int exportFormat() const { return exportFormat_; }
    FitSettings& fitSettings() { return fitSettings_; }

    // Results of the last calculation; the first grid().count entries are in use.
    [[nodiscard]] int pointCount() const { return grid().count; }
    [[nodiscard]] double f3() const { return f3_; }
    // Passes of the driver chain run by the last full calculation (2 with the Cms
    // non-linearity, else 1).
    [[nodiscard]] int lastPassCount() const { return lastPassCount_; }
    [[nodiscard]] double effectiveQts() const { return QtsEff_; }
    [[nodiscard]] double effectiveFs() const { return fsEff_; }
    [[nodiscard]] double effectiveVas() const { return VasEff_; }

    std::array<double, kMaxPoints> SPL{};            // dB
    std::array<double, kMaxPoints> splModes{};       // dB, with standing-wave modes (bandpass types)
    std::array<double, kMaxPoints> groupDelay{};     // ms
    std::array<double, kMaxPoints> splPhase{};       // degrees
    std::array<double, kMaxPoints> impedancePhase{}; // degrees
    std::array<Complex, kMaxPoints> Zback{};         // acoustic load behind one cone group
    std::array<Complex, kMaxPoints> ZA{};            // total acoustic load on one cone
    std::array<Complex, kMaxPoints> Zmot{};          // motional impedance
    std::array<Complex, kMaxPoints> P{};             // pressure at 1 m re 20 uPa
    std::array<double, kMaxPoints> fitTarget{};      // frequency-fit target, dB
    Complex K{0.0, 0.0};

protected:
    // The concrete type creates the elements it uses.
    TBoxObject& createBox(std::unique_ptr<TBoxObject>& slot, const char* name, bool showQl);
    TPortObject& createPort(std::unique_ptr<TPortObject>& slot, const char* name);

    // Steps of the cycle.
    virtual void PrepareCalculation();
    // Fills Zback: the acoustic load behind the cones.
    virtual void ComputeBackLoad() = 0;
    // ZA = n·Zback + Zam + Zrad.
    virtual void ComputeAcousticLoad();
    void ComputeImpedance();
    void ComputeExcursion();
    // Fills P (and the type's own pressure curves) from the driver's volume velocity.
    virtual void ComputePressure() = 0;
    void ComputeResponse();
    void FindMinus3dB();
    virtual void UpdateDiagrams();
    // Data-sheet lines of the −3 dB point start with this.
    [[nodiscard]] virtual const char* f3Indent() const { return " "; }
    // The bandpass types keep the export of the SPL with standing-wave modes.
    [[nodiscard]] virtual bool hasStdWaveModesExport() const { return false; }
    // Extra windows of the type (air speed and the like).
    void addWindow(DiagramModel& w);

    // Hooks of the parts that come later: the transient response, the room and cabinet model
    // and the snapshot. They do nothing yet.
    virtual void resetTransientResponse() {}
    virtual void recomputeTransientResponse() {}
    virtual void closeTransientResponseDialog() {}
    virtual void updateRoomCabinet() {}
    virtual void refreshRoomCabinetInputs() {}
    virtual void appendRoomCabinetLines(std::vector<std::string>& /*lines*/) const {}
    virtual bool exportRoomCabinet() { return false; }
    virtual bool exportTransient() { return false; }
    virtual bool exportStdWaveModes() { return false; }

    UiHost& ui_;
    std::unique_ptr<TSpeakerObject> front_;
    std::unique_ptr<TSpeakerObject> rear_;
    std::unique_ptr<TBoxObject> box_;
    std::unique_ptr<TBoxObject> box2_;
    std::unique_ptr<TPortObject> port1_;
    std::unique_ptr<TPortObject> port2_;

    DiagramModel splWindow_{"Free air SPL at 1m distance", "Hz", "dB"};
    DiagramModel excursionWindow_{"Cone excursion", "Hz", "mm p-p"};
    DiagramModel impedanceWindow_{"Impedance", "Hz", "ohm"};
    DiagramModel groupDelayWindow_{"Group delay", "Hz", "ms"};

    std::string projectTitle_;
    std::string frameCaption_;

private:
    // The element and driver values the data sheet was last written from, so that the
    // sheet keeps describing the last calculation after later edits. Copied field by field
    // at calculation time: nothing is allocated there.
    struct SheetState {
        bool written = false;
        TSpeakerObject::SheetValues driver;
        std::int32_t startFrequency = 0, stopFrequency = 0, pointCount = 0;
        double Ug = 0, Rg = 0, Lg = 0, Pg = 0;
        double f3 = 0;
    };
    void captureSheet();
    static void copyBoxValues(const TBoxObject& from, TBoxObject& to);
    static void copyPortValues(const TPortObject& from, TPortObject& to);
    void greyProjectCommands();
    void enableCommandUnlessOpen(int id, ProjectDialog d);
    void postChangeNotification(int code);

    std::unique_ptr<TBoxObject> sheetBox_;
    std::unique_ptr<TBoxObject> sheetBox2_;
    std::unique_ptr<TPortObject> sheetPort1_;
    std::unique_ptr<TPortObject> sheetPort2_;
    SheetState sheet_;

    std::array<DiagramModel*, 8> windows_{};
    int windowCount_ = 0;
    std::array<double, kMaxPoints> delayWork_{};

    bool changed_ = true;
    bool fastMode_ = false;
    bool needsRegrid_ = true;
    std::int16_t passCounter_ = 1;
    int lastPassCount_ = 0;
    double f3_ = 0.0;
    double QtsEff_ = 0.0, fsEff_ = 0.0, VasEff_ = 0.0;
    std::array<bool, static_cast<std::size_t>(ProjectDialog::Count)> dialogOpen_{};
    std::string userNote_;
    std::string projectFileName_;
    std::string frontUnitPath_;
    std::string rearUnitPath_;
    FileSelector projectSelector_{kProjectFilter, kProjectExtension, true, {}};
    FileSelector unitSelector_{kUnitFilter, kUnitExtension, false, {}};
    FileSelector rearUnitSelector_{kUnitFilter, kUnitExtension, false, {}};
    FileSelector snapshotSelector_{kSnapshotFilter, kSnapshotExtension, true, {}};
    FileSelector splSelector_;
    FileSelector impedanceSelector_;
    int exportKind_ = 0;
    int exportFormat_ = kInitialExportFormat;
    FitSettings fitSettings_;
    // Posted notifications check this so they never reach a destroyed project.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace harlox
