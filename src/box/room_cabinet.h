#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"
#include "numeric/cmatrix.h"
#include "numeric/fmatrix.h"
#include "numeric/rad2fft.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class UiHost;

// One value per room surface. The project record stores the switches and the reflection
// factors in different surface orders, so the surfaces are named, not indexed.
template <typename T> struct RoomSurfaces {
    T speakerBackWall{};
    T leftWall{};
    T rightWall{};
    T floor{};
    T ceiling{};
    T listenerBackWall{};
    bool operator==(const RoomSurfaces&) const = default;
};

// Where a radiating element sits: dX, dY on the front baffle from its lower left corner,
// dZ its depth offset from the baffle plane, and its radius (all in m).
struct SourcePosition {
    double dX = 0.0;
    double dY = 0.0;
    double dZ = 0.0;
    double radius = 0.0;
    bool operator==(const SourcePosition&) const = default;
};

// The groups of radiating elements, in the order the project record stores them.
enum class SourceGroup { Drivers = 0, PassiveRadiators = 1, Ports2 = 2, Ports1 = 3 };

// What a box type hands the room model for one group of radiating elements: how many
// radiate (0: none), the radius of each, and the free-field pressure at 1 m of all of them
// together, entering the project's total pressure with `sign`. A null pressure stands for
// whatever of the total the other groups do not carry (at most one group may say so).
struct RoomSourceGroup {
    int count = 0;
    double radius = 0.0;
    const Complex* pressure = nullptr;
    double sign = 1.0;
};

// Indexed by SourceGroup.
struct RoomSources {
    std::array<RoomSourceGroup, 4> groups{};
    RoomSourceGroup& operator[](SourceGroup g) { return groups[static_cast<std::size_t>(g)]; }
    const RoomSourceGroup& operator[](SourceGroup g) const { return groups[static_cast<std::size_t>(g)]; }
};

// Everything the room and cabinet record stores besides the window record. Lengths in m;
// X runs across the room from the left side wall, Y up from the floor, Z from the speaker
// back wall towards the listener back wall.
struct RoomCabinetSettings {
    static constexpr int kGroupCount = 4;
    static constexpr int kSourcesPerGroup = 9;

    std::array<std::array<SourcePosition, kSourcesPerGroup>, kGroupCount> sources{};
    // The lower left corner of the front baffle in the room.
    double speakerX = 0.85;
    double speakerY = 0.0;
    double speakerZ = 0.5;
    double baffleHeight = 0.9;
    double baffleWidth = 0.3;
    double listenerX = 2.0;
    double listenerY = 1.0;
    double listenerZ = 3.5;
    double roofHeight = 2.5;
    double roomDepth = 6.0;
    double roomWidth = 4.0;
    RoomSurfaces<std::uint8_t> reflections{1, 1, 1, 1, 1, 1};
    std::uint8_t cabinetEdges = 1;
    std::int32_t displayMode = 1; // 0 impact on the frequency response, 1 frequency response
    std::uint8_t normalizedTo1m = 0;
    std::uint8_t thirdOctaveSmoothing = 0;
    std::uint8_t calculateImmediately = 1;
    // Pressure reflection factors r; the user sees the absorption coefficient 1 - r^2.
    RoomSurfaces<double> reflectionFactors{0.9, 0.9, 0.9, 0.9, 0.9, 0.9};
    double summationFactor = 1.0; // multiplies every reflection and edge contribution

    // Measured SPL replacing the calculated response at and below the transition frequency.
    std::uint8_t measuredInUse = 0;
    std::string measuredFile; // stored form: relative to the program directory when below it
    std::uint8_t measuredDisabled = 0;
    std::int16_t transitionFrequency = 300; // Hz
    std::uint8_t autoLevelOffset = 1;
    double levelOffsetDb = 0.0;
    double levelFactor = 1.0; // linear, 10^(levelOffsetDb / 20)

    RoomCabinetSettings();
    bool operator==(const RoomCabinetSettings&) const = default;
};

// The room and cabinet model of a box project: every radiating element placed on the front
// baffle of a cabinet in a rectangular room, with mirror-image reflections and baffle-edge
// diffraction. Each group of elements gets an impulse response of its reflections and edges
// (0.1 ms samples), whose spectrum, with the direct sound added, multiplies the group's
// free-field transfer.
class TRoomCabinet : public RoomCabinetSettings, public TMeasureSetupObject {
public:
    static constexpr std::size_t kRecordSizeWithoutMeasured = 1380;
    static constexpr std::size_t kMeasuredBlockSize = 292;
    static constexpr std::size_t kRecordSize = kRecordSizeWithoutMeasured + kMeasuredBlockSize;
    // Project files from this version on carry the measured SPL block.
    static constexpr int kMeasuredBlockVersion = 310;
    static constexpr std::int32_t kShowImpact = 0;
    static constexpr std::int32_t kShowResponse = 1;
    static constexpr double kEdgeSourceStrength = -1.181665164956124e-4; // -0.00105 / (2 pi sqrt 2)
    static constexpr int kMinTransitionFrequency = 1;
    static constexpr int kMaxTransitionFrequency = 20000;

    static constexpr const char* kMeasuredCaption = "Measured data";

    // The impulse buffer: 1024 samples of 0.1 ms, whose spectrum has 512 usable bins.
    static constexpr int kBufferSize = 1024;
    static constexpr int kBins = kBufferSize / 2;
    static constexpr double kSampleRate = 10000.0;
    static constexpr double kBinWidth = kSampleRate / kBufferSize; // 9.765625 Hz
    // Samples per metre of extra path.
    static constexpr double kSamplesPerMetre = kInvSpeedOfSound * kSampleRate;
    // At low frequencies the edges take back this share of the direct sound: the cabinet then
    // radiates into full space, 6 dB below the half-space transfer of the box models.
    static constexpr double kEdgeLowFrequencyShare = 0.5;
    // Edge points closer to an element than this count at this distance.
    static constexpr double kMinEdgeDistance = 0.0005;
    // Shorter speaker-to-listener distances count as this.
    static constexpr double kMinDistance = 0.001;

    static constexpr const char* kImpactTitle = "Room & Cabinet Impact";
    static constexpr const char* kResponseTitle = "SPL in Room & Cabinet";

    TRoomCabinet();
    TRoomCabinet(const TRoomCabinet&) = delete;
    TRoomCabinet& operator=(const TRoomCabinet&) = delete;

    // Default room, positions, switches and measured-data settings; an empty window. The
    // window's placement and note stay.
    void Reset();

    [[nodiscard]] static const char* captionFor(std::int32_t displayMode);
    // Sets the mode and with it the caption and the curves the window shows.
    void setDisplayMode(std::int32_t mode);

    SourcePosition& source(SourceGroup g, int index);
    [[nodiscard]] const SourcePosition& source(SourceGroup g, int index) const;

    // The absorption coefficient shown for a reflection factor, and back.
    [[nodiscard]] static double absorptionOf(double reflectionFactor) {
        return 1.0 - reflectionFactor * reflectionFactor;
    }
    [[nodiscard]] static double reflectionFactorOf(double absorption);

    void setMeasuredFile(std::string_view storedName);
    [[nodiscard]] bool measuredActive() const { return measuredInUse != 0 && measuredDisabled == 0; }

    DiagramModel& window() { return window_; }
    [[nodiscard]] const DiagramModel& window() const { return window_; }

    // The record: window record, positions, room, switches, factors and the measured SPL
    // block. Always written in full (kRecordSize); read with the block only from
    // kMeasuredBlockVersion on, older files get the block's defaults. A failed read changes
    // nothing; values the model cannot use are brought back to defaults or into range.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r, int fileVersion);

    // Recomputes the curves on the present grid from a calculation's result: `total`, the
    // project's free-field pressure at 1 m (grid().count values), and what each group of
    // elements contributes to it. The element radii are taken from `sources`. The measured
    // SPL file is read when its name or the grid changed since the last read; a file that
    // cannot be read is reported through ui (when given) and the model runs without it.
    // Allocates nothing unless it reads the file.
    void Calculate(const Complex* total, const RoomSources& sources, UiHost* ui);

    // Reads the measured SPL file onto the present grid (also after Browse). False, with the
    // message, when the file cannot be opened; false without one when it holds no data.
    bool ReadMeasuredData(UiHost* ui);
    [[nodiscard]] bool measuredLoaded() const { return measuredLoaded_; }
    // The measured curve on the grid, 10^(dB/20)·e^(j phase).
    [[nodiscard]] const std::array<Complex, kMaxPoints>& measuredCurve() const { return measured_; }

    // The distance from the listener to the first radiating element (drivers, passive
    // radiators, second ports, first ports), at least kMinDistance: the distance of the
    // direct sound and of the 1 m normalisation.
    [[nodiscard]] double listenerDistance(const RoomSources& sources) const;
    // The room position of element i of group g.
    [[nodiscard]] std::array<double, 3> sourcePoint(SourceGroup g, int index) const;

    // Steps of Calculate, open for inspection: fills the impulse buffer of one group (edges
    // for the drivers, image sources of every element, the taper) for `count` elements and
    // the direct distance d.
    void buildImpulseResponse(SourceGroup g, int count, double d);
    [[nodiscard]] const FVector& impulseBuffer() const { return buffer_; }
    // The factor by which an element of radius a radiates off its axis at ka = 2 pi f a / c.
    [[nodiscard]] static double pistonFactor(double ka);

    // The room and cabinet lines of the data sheet, as of the last calculation: a block only
    // while measured SPL data replaces the low end.
    [[nodiscard]] std::vector<std::string> dataSheetLines() const;

    // Results on the box frequency grid (the first grid().count entries are used).
    std::array<double, kMaxPoints> roomSpl{};      // dB
    std::array<double, kMaxPoints> roomPhase{};    // degrees
    std::array<double, kMaxPoints> freeFieldSpl{}; // comparison curve of display mode 1, dB
    // The complex room result behind roomSpl and roomPhase (the impact in display mode 0).
    std::array<Complex, kMaxPoints> roomResult{};

private:
    void connectCurves();
    void addImpulse(double extra, double d0, double c);
    void addImages(const std::array<double, 3>& s, double d0);
    void addEdges(double dX, double dY, double d0);
    // G for every bin and its interpolation onto the grid, added to roomResult with the
    // group's per-element transfer.
    void addGroup(int group, const RoomSourceGroup& g, const Complex* total, const RoomSources& sources, double d);
    void addBins(const std::array<Complex, kBins>& bins, const RoomSourceGroup& group, const Complex* total,
                 const RoomSources& sources);
    void prepareInterpolation();
    // True when the group's bins from an earlier calculation still hold for these inputs.
    bool groupBinsCurrent(int group, const RoomSourceGroup& g, double d) const;
    void spliceMeasured();
    void smooth();
    [[nodiscard]] bool measuredStale() const;

    Rad2FFT fft_{kBufferSize};
    FVector buffer_{kBufferSize};
    CVector spectrum_{kBins};
    // The bins of each group and what they were built from: the impulse responses depend
    // on the room and the positions only, so a box edit or a fit step reuses them.
    struct GroupBins {
        std::array<Complex, kBins> bins{};
        bool valid = false;
        int count = 0;
        double radius = 0.0;
        double d = 0.0;
    };
    std::array<GroupBins, kGroupCount> groupBins_{};
    RoomCabinetSettings binsSettings_;
    // Per grid point: the lower bin and the weight of the upper one, for the grid in gridF_.
    std::array<int, kMaxPoints> binIndex_{};
    std::array<double, kMaxPoints> binWeight_{};
    std::array<double, kMaxPoints> gridF_{};
    int gridCount_ = -1;
    std::array<double, kMaxPoints> logMagnitude_{};
    std::array<double, kMaxPoints> unwrappedPhase_{};

    std::array<Complex, kMaxPoints> measured_{};
    bool measuredLoaded_ = false;
    // What the measured curve was last read for: the stored name and the grid.
    std::string measuredReadName_;
    int measuredReadCount_ = -1;
    double measuredReadStart_ = 0.0, measuredReadStop_ = 0.0;

    // What the data sheet shows, copied at calculation time.
    struct SheetValues {
        bool measured = false;
        std::array<char, kPathBlock> file{};
        int transitionFrequency = 0;
        double levelOffsetDb = 0.0;
    };
    SheetValues sheet_;

    DiagramModel window_{kResponseTitle, "Hz", "dB"};
};

} // namespace harlox
