#pragma once

#include "core/diagram_model.h"
#include "core/project_texts.h"
#include "core/ui_host.h"
#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/net_base.h"
#include "numeric/cmatrix.h"
#include "numeric/fmatrix.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class TGeneral;
class TImpResponse;

// The filter project's export kinds (File > Export).
enum class FilterExportKind { Spl = 0, FilterGain = 1, InputImpedance = 2, GroupDelay = 3, Impulse = 4 };

// One pen of the project's palette, in the terms a drawing layer needs.
struct PalettePen {
    std::uint8_t r = 0, g = 0, b = 0;
    std::uint8_t width = 1;
    PenStyle style = PenStyle::Solid; // Thick for the width-3 pens
};

// A y axis as the calculation cycle scaled it.
struct AxisScale {
    double bottom = 0.0;
    double top = 0.0;
};

// The filter (crossover) project: the networks of one of ten variants, their combined
// results along every off-axis ray, the diagram models and the project file. No windowing
// here; messages and file selectors go through the UiHost.
class TXover final : public TNetProject {
public:
    static constexpr int kPoints = 500;
    static constexpr int kMaxNets = 4;
    static constexpr int kRays = 17;
    static constexpr int kPaletteSize = 36;
    static constexpr std::size_t kPrintListSize = 15;
    static constexpr std::size_t kSchematicTextSize = 600;
    static constexpr int kCurrentVersion = 400;
    static constexpr int kOldestVersion = 300;
    static constexpr int kRaysVersion = 310;
    static constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;

    static constexpr const char* kProductCaption = "Harlox 4.00";
    static constexpr const char* kProjectFilter =
        "Filter project files (*.flt)|*.flt|Box project files (*.box)|*.box|All files (*.*)|*.*|";
    static constexpr const char* kProjectExtension = "flt";
    static constexpr const char* kProjectCaption = "Filter project";
    static constexpr const char* kSaveQuestionText = project_text::kSaveQuestion;
    static constexpr const char* kSaveCaption = project_text::kSaveCaption;
    static constexpr const char* kSaveAsCaption = project_text::kSaveAsCaption;
    static constexpr const char* kSaveFailedText = project_text::kSaveFailed;
    static constexpr const char* kOldFileCaption = project_text::kOldFileCaption;
    static constexpr const char* kOldFileText = project_text::kOldFile;

    // Change notification code that only clears the changed mark (after a save).
    static constexpr int kChangeSaved = 3;

    struct VariantInfo {
        int variant;
        std::int32_t typeCode;
        const char* listName; // "2-way simple filter"
        const char* caption;  // "2 way simple filter"
        int nets;             // networks in use
        bool simple;
        bool active;
    };
    // Null for 2, 7 and anything outside 0 .. 11.
    [[nodiscard]] static const VariantInfo* FindVariant(int variant);
    [[nodiscard]] static const VariantInfo* FindTypeCode(std::int32_t code);

    // The fixed palette: solid width 3 and width 1 in eight colours, then dashed, dotted,
    // dash-dot and dash-dot-dot in five colours.
    [[nodiscard]] static const std::array<PalettePen, kPaletteSize>& Palette();
    // Palette index of the "Total" pen and of network i's pen (0 bass / net 1, ...).
    static constexpr int kTotalPen = 0;
    [[nodiscard]] int NetPenIndex(int i) const;

    // An unknown variant makes a project that has no networks and calculates nothing.
    TXover(TGeneral& general, int variant, UiHost& ui);
    ~TXover() override;
    TXover(const TXover&) = delete;
    TXover& operator=(const TXover&) = delete;

    // Defaults for every network of the variant, a calculation, changed and version 400.
    void New();
    // The cycle: recomputes the networks whose changed flags are set, then the sums, the
    // total impedance, phase and group delay, and fills the diagrams. False when an
    // advanced network had no results (the diagrams then stay as they were).
    bool Calculate();
    void MarkChanged() { changed_ = 1; }
    // The project-changed notification: marks changed and recalculates.
    void ChangeNotification(int code);
    // Told after every change notification but kChangeSaved (the desktop program records an
    // undo step there).
    std::function<void(int code)> changeObserver;
    // The project's state for undo: its file bytes with the window placements left out
    // (undo does not move windows).
    [[nodiscard]] std::vector<std::uint8_t> CaptureUndoState();
    // Puts a captured state back, the window placements kept as they are, and recalculates.
    // The measured curves are read again by the networks. False for bytes that are not a
    // state of this project.
    [[nodiscard]] bool RestoreUndoState(std::span<const std::uint8_t> state);
    // The rays, the distance or "Infinite" changed: every network recomputes.
    void GeneralChanged();
    // TNetProject: an edit of a network; the recalculation is posted.
    void NetChanged(TNetBase& net) override;

    [[nodiscard]] bool CanClose();
    [[nodiscard]] bool Save();
    [[nodiscard]] bool SaveAs();
    // Writes atomically; on success the project takes path as its name, recalculates and is
    // no longer changed. The file is left as it was on any failure.
    [[nodiscard]] bool WriteProject(const std::string& path);
    [[nodiscard]] bool writeProjectBytes(BinaryWriter& w) const;
    // Reads a file of this variant; a refused file leaves a new project and the general
    // settings as they were.
    [[nodiscard]] bool ReadProject(const std::string& path);
    // The same for a project file's bytes from elsewhere (its text form).
    [[nodiscard]] bool ReadProjectBytes(std::span<const std::uint8_t> bytes, const std::string& path);

    // File > Export of the total (kinds 0, 2, 3, 4) and of network i.
    bool ExportTotal(int kind);
    bool ExportNet(int kind, int i);
    // The "Export SPL Total" dialog: given the "%+d" angles and the selected index, returns
    // the chosen index or nothing on Cancel. Without one the main ray is exported.
    std::function<std::optional<int>(const std::vector<std::string>& angles, int selected)> splTotalRayChooser;

    // ---- identity
    [[nodiscard]] int Variant() const { return variant_; }
    [[nodiscard]] const VariantInfo* Info() const { return info_; }
    [[nodiscard]] bool IsSimple() const { return info_ != nullptr && info_->simple; }
    [[nodiscard]] bool IsActive() const { return info_ != nullptr && info_->active; }
    [[nodiscard]] std::int32_t TypeCode() const { return typeCode_; }
    [[nodiscard]] int Version() const { return version_; }
    [[nodiscard]] bool IsChanged() const { return changed_ != 0; }
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    [[nodiscard]] const std::string& FileName() const { return fileName_; }
    [[nodiscard]] TGeneral& General() const { return general_; }

    // ---- networks in use, in display order (bass first / net 1 first)
    [[nodiscard]] int NetCount() const { return info_ != nullptr ? info_->nets : 0; }
    [[nodiscard]] TNetBase& Net(int i);
    // "Bass", "Mid", "Treble" or "Net 1" ...
    [[nodiscard]] const char* NetLabel(int i) const;
    // Simple sections 0 bass, 1 midrange, 2 treble (all three exist in simple variants).
    [[nodiscard]] TNet* SimpleNet(int section);
    // Advanced nets 0 .. 3 (only as many as the variant has).
    [[nodiscard]] TNetA* AdvancedNet(int i);
    // How many times network i actually recomputed (was marked changed when the cycle
    // reached it).
    [[nodiscard]] int NetCalculations(int i) const { return calcCount_[static_cast<std::size_t>(i)]; }

    // ---- results on the filter grid
    [[nodiscard]] const CVector& Zin() const { return zin_; }
    [[nodiscard]] const FVector& ZinMagnitude() const { return zinMagnitude_; }
    [[nodiscard]] const FVector& ZinPhase() const { return zinPhase_; }
    [[nodiscard]] const FVector& SplPhase() const { return splPhase_; }
    [[nodiscard]] const FVector& GroupDelay() const { return groupDelay_; }
    // Row k: the summed output along surface ray k, and its level in dB.
    [[nodiscard]] const CMatrix& RaySum() const { return raySum_; }
    [[nodiscard]] const FMatrix& RayDb() const { return rayDb_; }

    // ---- diagrams
    [[nodiscard]] int FilterGainWindowCount() const { return gainWindowCount_; }
    DiagramModel& FilterGainWindow(int i) { return gainWindows_[static_cast<std::size_t>(i)]; }
    DiagramModel& ImpedanceWindow() { return impedanceWindow_; }
    DiagramModel& SummedWindow() { return summedWindow_; }
    DiagramModel& PhaseWindow() { return phaseWindow_; }
    DiagramModel& GroupDelayWindow() { return groupDelayWindow_; }
    DiagramModel& SurfaceWindow() { return surfaceWindow_; }
    DiagramModel& OverlayWindow() { return overlayWindow_; }
    DiagramModel& ImpulseWindow() { return impulseWindow_; }
    // Fills the impulse window from the main ray; "Filter music" works from it too.
    [[nodiscard]] TImpResponse& ImpResponse() { return *impResponse_; }
    // Gain window(s), impedance (not active), summed, phase, group delay, surface, overlay,
    // impulse.
    [[nodiscard]] std::vector<DiagramModel*> DiagramWindows();
    // The surface plot can hold more rays than a diagram model has curves: the full list of
    // surface ray indices it shows, in order.
    [[nodiscard]] std::span<const int> SurfaceRays() const {
        return {surfaceRays_.data(), static_cast<std::size_t>(surfaceRayCount_)};
    }
    // The y ranges the cycle chose, the display x range and the surface plot's level scale.
    [[nodiscard]] AxisScale GainScale(int i) const { return gainScale_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] AxisScale ImpedanceScale() const { return impedanceScale_; }
    [[nodiscard]] AxisScale SummedScale() const { return summedScale_; }
    [[nodiscard]] AxisScale PhaseScale() const { return {-180.0, 180.0}; }
    [[nodiscard]] AxisScale GroupDelayScale() const { return groupDelayScale_; }
    [[nodiscard]] AxisScale OverlayScale() const { return overlayScale_; }
    [[nodiscard]] static double SurfaceLevelScale() { return 30.0; }
    [[nodiscard]] AxisScale XRange() const { return xRange_; }

    // Print settings kept with the project.
    std::uint8_t printDate = 1;
    std::uint8_t printProjectName = 1;
    std::uint8_t diagramsPerPage = 8;
    std::vector<DiagramModel*> printList;
    std::int16_t splExportRay = 0;

    // Window records kept in the file: the schematic window (simple), and per advanced net
    // its schematic window with its text.
    WindowPlacement schematicPlacement;
    std::array<WindowPlacement, kMaxNets> netSchematicPlacement{};
    std::array<std::array<char, kSchematicTextSize>, kMaxNets> netSchematicText{};

    FileSelector& ProjectSelector() { return projectSelector_; }
    FileSelector& SplSelector() { return splSelector_; }
    FileSelector& ImpedanceSelector() { return impedanceSelector_; }

private:
    void createWindows();
    void connectCurves();
    void connectDriverGains();
    void fillRayPlots();
    bool calculateNets();
    void combine();
    void scaleDiagrams();
    AxisScale autoScale(const DiagramModel& m) const;
    void postChangeNotification(int code);
    [[nodiscard]] const CMatrix& netRays(int i) const;
    [[nodiscard]] const FMatrix& netRaysDb(int i) const;
    [[nodiscard]] const CVector& netZin(int i) const;
    [[nodiscard]] const FVector& netZinMagnitude(int i) const;
    [[nodiscard]] const FVector& netZinPhase(int i) const;
    [[nodiscard]] const FVector& netSplPhase(int i) const;
    [[nodiscard]] const FVector& netGroupDelay(int i) const;
    [[nodiscard]] const TNetBase& netAt(int i) const;
    bool readFrom(BinaryReader& r);
    std::vector<WindowPlacement*> storedPlacements();
    bool saveTo(const std::string& path, const char* failureCaption);
    void updateCaption();

    TGeneral& general_;
    UiHost& ui_;
    int variant_;
    const VariantInfo* info_;
    std::int32_t typeCode_ = 0;
    int version_ = kCurrentVersion;
    std::uint8_t changed_ = 1;
    std::string fileName_;
    std::string caption_;

    std::array<std::unique_ptr<TNet>, 3> simple_;
    std::array<std::unique_ptr<TNetA>, kMaxNets> advanced_;
    std::array<int, kMaxNets> calcCount_{};

    std::array<DiagramModel, kMaxNets> gainWindows_;
    int gainWindowCount_ = 0;
    DiagramModel impedanceWindow_;
    DiagramModel summedWindow_;
    DiagramModel phaseWindow_;
    DiagramModel groupDelayWindow_;
    DiagramModel surfaceWindow_;
    DiagramModel overlayWindow_;
    DiagramModel impulseWindow_;
    std::unique_ptr<TImpResponse> impResponse_;
    std::array<int, kRays> surfaceRays_{};
    int surfaceRayCount_ = 0;
    std::array<AxisScale, kMaxNets> gainScale_{};
    AxisScale impedanceScale_, summedScale_, groupDelayScale_, overlayScale_, xRange_;

    CVector zin_;
    FVector zinMagnitude_, zinPhase_, splPhase_, groupDelay_;
    CMatrix raySum_;
    FMatrix rayDb_;
    FVector exportPhase_;

    FileSelector projectSelector_;
    FileSelector splSelector_;
    FileSelector impedanceSelector_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace harlox
