#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"
#include "core/project_texts.h"
#include "core/ui_host.h"
#include "driver/speaker_object.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class TBoxObject;
class TPortObject;
class TRoomCabinet;
struct RoomSources;
class TSnapshot;
class TMaxSpl;
class TStepResponse;

// The box project's export kinds (File > Export).
enum class BoxExportKind {
    Spl = 0,
    SplRoom = 1,
    SplStdWaveModes = 2,
    Transient = 3,
    InputImpedance = 4,
    GroupDelay = 5,
    MaxSpl = 6
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
    static constexpr std::size_t kRecordSize = 8;
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
    static constexpr const char* kSaveQuestionText = project_text::kSaveQuestion;
    static constexpr const char* kSaveCaption = project_text::kSaveCaption;
    static constexpr const char* kSaveAsCaption = project_text::kSaveAsCaption;
    static constexpr const char* kSaveFailedText = project_text::kSaveFailed;
    static constexpr const char* kOldFileCaption = project_text::kOldFileCaption;
    static constexpr const char* kOldFileText = project_text::kOldFile;
    // "Could not open file : " + path + this, after reading a project.
    static constexpr const char* kStoredUnitMissingPrefix = "Could not open file : ";
    static constexpr const char* kStoredUnitMissingSuffix = "\nCheck if path and filename is correct.";

    // Project files: a 22-byte header (type code, version, 16 reserved bytes), the records,
    // the end marker. Files older than kOldestFileVersion are refused.
    static constexpr int kOldestFileVersion = 300;
    // Larger files are not projects of this program.
    static constexpr std::size_t kMaxProjectFileSize = std::size_t{1} << 20;

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
    // Writes the project to its file; without a file name it asks for one as SaveAs does.
    // A failure is reported ("File save") and leaves the file and the changed mark as they were.
    [[nodiscard]] virtual bool Save();
    // Asks for a file name and writes the project there ("File save as" on failure).
    [[nodiscard]] virtual bool SaveAs();
    // Reads a project file of this type: the common records, the type's own records (see
    // readTypeRecords), the end marker; then loads the driver unit from its stored path,
    // calculates and posts change code 3. A refused file (unreadable, too old, cut short,
    // another type, wrong end marker) gives false and leaves an empty project (Reset) and the
    // shared measurement setup as it was before.
    [[nodiscard]] virtual bool ReadProject(const std::string& path);
    // The same for a project file's bytes from elsewhere (its text form); path becomes the
    // project's file name.
    [[nodiscard]] bool ReadProjectBytes(std::span<const std::uint8_t> bytes, const std::string& path);
    // Writes the project file atomically: on any failure the file at path is left as it was.
    // On success the project takes path as its file name and is no longer marked changed.
    [[nodiscard]] virtual bool WriteProject(const std::string& path);
    // The bytes WriteProject writes. Runs the calculation between the common and the type's
    // records, as writing does, unless calculate is false (an undo state taken while the
    // project does not calculate immediately).
    [[nodiscard]] bool writeProjectBytes(BinaryWriter& w, bool calculate = true);
    // Enables Calculate when the front driver's parameters are complete, greys it otherwise.
    void UpdateCalculateCommand();
    // Effective Qts, fs and Vas of the front configuration.
    void ComputeDerivedValues();
    [[nodiscard]] std::string ShowFileName() const;

    // The main box's net volume (m^3); the ported types keep their ports' Vbox with it.
    void setVb(double volume);
    // Sets the net volume (m^3) of one of the project's boxes and marks it changed; the types
    // keep what depends on it (a port's Vbox, a resonance) in step.
    virtual void setBoxVolume(TBoxObject& box, double volume);

    // Whether every driver the type uses is complete, so that Calculate runs.
    [[nodiscard]] bool canCalculate() const { return driversComplete(); }

    // "Quick box": sizes the enclosure from the driver's effective parameters. False (and
    // nothing changed) for a type without one or a driver that is not complete.
    [[nodiscard]] virtual bool hasQuickBox() const { return false; }
    virtual bool QuickBox() { return false; }

    // Asks for a unit file and loads it into the front configuration.
    bool LoadDriverUnit();
    // The same for the rear configuration of the types that have one.
    bool LoadRearDriverUnit();
    // Loads the unit file at path into the front configuration, as LoadDriverUnit does once
    // a file is chosen (the driver library and the impedance fit hand over their copies).
    bool LoadDriverUnitFile(const std::string& path);
    // The driver counts the type takes: min .. max in steps of step (bandpass 4: 2 .. 8 by 2).
    struct DriverCountRange {
        int min, max, step;
    };
    [[nodiscard]] virtual DriverCountRange driverCountRange() const { return {1, 9, 1}; }
    [[nodiscard]] bool driverCountAllowed(int n) const {
        const DriverCountRange r = driverCountRange();
        return n >= r.min && n <= r.max && (n - r.min) % r.step == 0;
    }
    // Whether the type drives a second, rear configuration (the reflex bandpass).
    [[nodiscard]] virtual bool usesRearDriver() const { return false; }
    void ChangeNotification(int code);
    // Told after every change notification but kChangeSaved (the desktop program records an
    // undo step there).
    std::function<void(int code)> changeObserver;
    // The project's state for undo: its file bytes (window placements left out: undo does not
    // move windows) and the driver units' own records, which the file only names. Runs the
    // calculation, as writing the file does, when the project calculates immediately.
    [[nodiscard]] std::vector<std::uint8_t> captureUndoState();
    // Puts a captured state back without reading files or showing messages; the window
    // placements stay as they are. False (project unchanged or partly restored) for bytes
    // that are not a state of this project.
    [[nodiscard]] bool restoreUndoState(std::span<const std::uint8_t> state);
    // Offers to save a changed project: false when the user cancels, or when the save the
    // user asked for fails or is cancelled.
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
    // Draws the curves of the last calculation, which in fast mode are not drawn by it.
    void ShowIntermediateResult();
    void setFastMode(bool on) { fastMode_ = on; }
    [[nodiscard]] bool fastMode() const { return fastMode_; }
    void markNeedsRegrid() { needsRegrid_ = true; }
    void setDialogOpen(ProjectDialog d, bool open) { dialogOpen_[static_cast<std::size_t>(d)] = open; }
    [[nodiscard]] bool dialogOpen(ProjectDialog d) const { return dialogOpen_[static_cast<std::size_t>(d)]; }

    [[nodiscard]] const std::string& projectFileName() const { return projectFileName_; }
    void setProjectFileName(std::string_view path) { projectFileName_ = path; }
    // As the project file stores it: relative to the program directory when below it.
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
    // The second box and the second port of the two-chamber types; null for the others.
    TBoxObject* box2Element() { return box2_.get(); }
    [[nodiscard]] const TBoxObject* box2Element() const { return box2_.get(); }
    TPortObject* port2Element() { return port2_.get(); }
    [[nodiscard]] const TPortObject* port2Element() const { return port2_.get(); }
    // As the project stores it (relative to the program directory when below it).
    [[nodiscard]] const std::string& rearUnitPath() const { return rearUnitPath_; }
    void setRearUnitPath(std::string_view path) { rearUnitPath_ = path; }

    // The transient response, the room and cabinet model and the snapshot, owned by the
    // project and stored in its file.
    TStepResponse& transientResponse() { return *transient_; }
    [[nodiscard]] const TStepResponse& transientResponse() const { return *transient_; }
    TRoomCabinet& roomCabinet() { return *roomCabinet_; }
    [[nodiscard]] const TRoomCabinet& roomCabinet() const { return *roomCabinet_; }
    TSnapshot& snapshot() { return *snapshot_; }
    [[nodiscard]] const TSnapshot& snapshot() const { return *snapshot_; }
    // The maximum SPL the design reaches within its excursion, port and thermal limits, for
    // the last full calculation (not stored in the project). Worked out when first asked for
    // after a calculation: most calculations are never looked at this way.
    TMaxSpl& maxSpl();
    // The air speed in port 1 or 2 (m/s RMS), null for a type without that port.
    [[nodiscard]] virtual const double* portAirSpeed(int which) const {
        (void)which;
        return nullptr;
    }

    DiagramModel& splWindow() { return splWindow_; }
    DiagramModel& excursionWindow() { return excursionWindow_; }
    DiagramModel& impedanceWindow() { return impedanceWindow_; }
    DiagramModel& groupDelayWindow() { return groupDelayWindow_; }
    [[nodiscard]] const DiagramModel& splWindow() const { return splWindow_; }
    [[nodiscard]] const DiagramModel& excursionWindow() const { return excursionWindow_; }
    [[nodiscard]] const DiagramModel& impedanceWindow() const { return impedanceWindow_; }
    [[nodiscard]] const DiagramModel& groupDelayWindow() const { return groupDelayWindow_; }
    // Every diagram window of the project: SPL, excursion, impedance, group delay, then the
    // type's own (air speed, standing waves) in the order the type added them.
    [[nodiscard]] std::span<DiagramModel* const> diagramWindows() const {
        return {windows_.data(), static_cast<std::size_t>(windowCount_)};
    }

    FileSelector& projectSelector() { return projectSelector_; }
    FileSelector& unitSelector() { return unitSelector_; }
    FileSelector& rearUnitSelector() { return rearUnitSelector_; }
    FileSelector& snapshotSelector() { return snapshotSelector_; }
    FileSelector& splSelector() { return splSelector_; }
    FileSelector& impedanceSelector() { return impedanceSelector_; }
    [[nodiscard]] int exportKind() const { return exportKind_; }
    [[nodiscard]] int exportFormat() const { return exportFormat_; }
    FitSettings& fitSettings() { return fitSettings_; }
    [[nodiscard]] const FitSettings& fitSettings() const { return fitSettings_; }

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
    std::array<Complex, kMaxPoints> ZArear{};        // acoustic load on one rear cone (reflex bandpass)
    std::array<Complex, kMaxPoints> ZmotRear{};      // motional impedance of the rear configuration
    std::array<double, kMaxPoints> fitTarget{};      // frequency-fit target, dB
    Complex K{0.0, 0.0};

    // Where the data sheet window was, and whether it was minimised, when the project was
    // saved; the desktop program keeps them up to date and applies them after a read.
    WindowPlacement dataSheetPlacement;
    bool dataSheetMinimised = false;

protected:
    static void copyBoxValues(const TBoxObject& from, TBoxObject& to);
    static void copyPortValues(const TPortObject& from, TPortObject& to);
    // The concrete type creates the elements it uses.
    TBoxObject& createBox(std::unique_ptr<TBoxObject>& slot, const char* name, bool showQl);
    TPortObject& createPort(std::unique_ptr<TPortObject>& slot, const char* name);

    // Steps of the cycle.
    virtual void PrepareCalculation();
    // Fills Zback: the acoustic load behind the cones.
    virtual void ComputeBackLoad() = 0;
    // ZA = n·Zback + Zam (+ Zrad when the cone radiates).
    virtual void ComputeAcousticLoad();
    // Whether the cone's front works into free air (its radiation impedance is part of the
    // load); the bandpass types enclose both faces.
    [[nodiscard]] virtual bool coneRadiates() const { return true; }
    // Impedance, drive current, volume velocity and excursion of the front configuration on
    // the load ZA; a type with a second configuration runs the chain for it too.
    virtual void ComputeDriverChain();
    // The chain for one configuration on its load za (isobaric addition stored back into za).
    // The shown impedance and its phase are written only when display is set.
    void ComputeImpedance(TSpeakerObject& d, std::array<Complex, kMaxPoints>& za,
                          std::array<Complex, kMaxPoints>& zmot, double* phase, bool display);
    void ComputeExcursion(TSpeakerObject& d, const std::array<Complex, kMaxPoints>& za);
    // Whether the impedance of the pass now running is the one shown.
    [[nodiscard]] bool displayPass() const { return !fastMode_ && passCounter_ != 0; }
    // Fills P (and the type's own pressure curves) from the driver's volume velocity.
    virtual void ComputePressure() = 0;
    void ComputeResponse();
    // The -3 dB point(s) of SPL; the bandpass types find two.
    virtual void FindMinus3dB();
    virtual void UpdateDiagrams();
    // Data-sheet lines of the −3 dB point start with this.
    [[nodiscard]] virtual const char* f3Indent() const { return " "; }
    // Data-sheet hooks. The sheet describes the last calculation, so a type copies what its
    // lines need in captureTypeSheet (called at calculation time, must not allocate) and
    // writes from the copy: its own element lines after the ports, the driver blocks, and the
    // lines after "Additional details:".
    virtual void captureTypeSheet() {}
    virtual void appendTypeLines(std::vector<std::string>& /*lines*/) const {}
    virtual void appendDriverLines(std::vector<std::string>& lines) const;
    virtual void appendAdditionalDetails(std::vector<std::string>& lines) const;
    // The driver values the sheet was written from (the front configuration's).
    [[nodiscard]] const TSpeakerObject::SheetValues& sheetDriver() const { return sheet_.driver; }
    [[nodiscard]] double sheetF3() const { return sheet_.f3; }
    // The bandpass types keep the export of the SPL with standing-wave modes.
    [[nodiscard]] virtual bool hasStdWaveModesExport() const { return false; }
    // Extra windows of the type (air speed and the like).
    void addWindow(DiagramModel& w);
    // Queues the project-changed notification (run later through the host; never reaches a
    // destroyed project).
    void postChangeNotification(int code);

    // The type's own records between the snapshot window record and the end marker (none
    // for the closed box). A reader returns false when a field it must have is missing.
    [[nodiscard]] virtual bool writeTypeRecords(BinaryWriter& w) const;
    [[nodiscard]] virtual bool readTypeRecords(BinaryReader& r, int fileVersion);
    // The further diagram window of the bandpass types 2 to 4, stored after the impedance
    // window; null for the others.
    [[nodiscard]] virtual DiagramModel* furtherWindow() { return nullptr; }
    // Whether every driver the type uses has complete parameters (the reflex bandpass has two).
    [[nodiscard]] virtual bool driversComplete() const { return front_->unitOk != 0; }
    // Loads a unit from a name stored in a project file, with the messages of a read: the
    // file missing ("Could not open file : " + name + ...) or its parameters incomplete.
    bool loadStoredUnit(TSpeakerObject& driver, const std::string& storedName, FileSelector& selector);

    // Hooks of the transient response, the room and cabinet model and the snapshot; the
    // empty ones are left to the parts that need them.
    virtual void resetTransientResponse() {}
    // From P, the pressure the response curves were made from (measured splice included).
    virtual void recomputeTransientResponse();
    virtual void closeTransientResponseDialog() {}
    // The room and cabinet curves from P and the type's radiating elements.
    virtual void updateRoomCabinet();
    void updateMaxSpl();
    // What drives one voice coil: the source resistance and inductance it sees and its voltage.
    struct Drive {
        double Rs, Ls, u;
    };
    [[nodiscard]] static Drive driveOf(const TSpeakerObject& d);
    // The power in one voice coil's resistance at the set voltage, W.
    void fillCoilPower(const TSpeakerObject& d, std::array<double, kMaxPoints>& power) const;
    // What each group of radiating elements carries of P. The base: the driver cones carry
    // all of it; the types with ports or passive radiators name theirs.
    virtual void describeRoomSources(RoomSources& out) const;
    virtual void refreshRoomCabinetInputs() {}
    virtual void appendRoomCabinetLines(std::vector<std::string>& lines) const;
    // The room and cabinet curve (level and phase) on the grid.
    virtual bool exportRoomCabinet();
    // The transient window's curve against time; nothing before it has points.
    virtual bool exportTransient();
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
    // The export format follows the file type of the last curve export.
    bool rememberExportFormat(const FileSelector& selector);
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
    void greyProjectCommands();
    void enableCommandUnlessOpen(int id, ProjectDialog d);
    // Every project command, those of open dialogs and windows excepted.
    void enableProjectCommands();
    bool writeCommonRecords(BinaryWriter& w);
    // Steps 2 to 6 of a read; the version is the file's.
    bool readCommonRecords(BinaryReader& r, int& fileVersion);
    bool readFrom(BinaryReader& r);
    bool loadUnit(TSpeakerObject& driver, FileSelector& selector, std::string& storedPath);
    bool loadUnitFile(TSpeakerObject& driver, const std::string& path, std::string& storedPath);
    // Every window placement the project file stores.
    std::vector<WindowPlacement*> storedPlacements();

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
    // After the selectors: the snapshot remembers its file in snapshotSelector_.
    std::unique_ptr<TStepResponse> transient_;
    std::unique_ptr<TRoomCabinet> roomCabinet_;
    std::unique_ptr<TSnapshot> snapshot_;
    std::unique_ptr<TMaxSpl> maxSpl_;
    bool maxSplStale_ = false;
    std::array<double, kMaxPoints> frontCoilPower_{};
    std::array<double, kMaxPoints> rearCoilPower_{};
    // While an undo state is put back: nothing is loaded from disk, no message is shown.
    bool restoringUndo_ = false;
    // Posted notifications check this so they never reach a destroyed project.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace harlox
