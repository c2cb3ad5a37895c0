#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace harlox {

class BinaryReader;
class BinaryWriter;

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
// diffraction. This holds its inputs, its window and its result curves; the calculation comes
// with the room response model.
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

    // Results on the box frequency grid (the first grid().count entries are used).
    std::array<double, kMaxPoints> roomSpl{};      // dB
    std::array<double, kMaxPoints> roomPhase{};    // degrees
    std::array<double, kMaxPoints> freeFieldSpl{}; // comparison curve of display mode 1, dB

private:
    void connectCurves();

    DiagramModel window_{kResponseTitle, "Hz", "dB"};
};

} // namespace harlox
