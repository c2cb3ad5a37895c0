#pragma once

#include "core/constants.h"
#include "core/measure_setup.h"
#include "driver/spk_data.h"

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

// How the source is shared out in one wiring group: the shown impedance is multiplied by
// mZ, the generator voltage by mU and the generator's Rg and Lg by mS.
struct ConnectionMultipliers {
    double mZ = 1.0;
    double mU = 1.0;
    double mS = 1.0;
    bool operator==(const ConnectionMultipliers&) const = default;
};

// Everything a box project adds to a bare unit, without the per-frequency arrays. Trivially
// copyable, so a project can keep the state its data sheet was written from.
struct SpeakerConfiguration {
    std::uint8_t unitChanged = 1;
    std::uint8_t unitOk = 0;
    std::int32_t driverCount = 1;
    double extraMass = 0.0; // kg added to each cone
    std::uint8_t isobaric = 0;
    std::uint8_t blNonlinear = 0;
    std::uint8_t coilHeating = 0;
    std::uint8_t cmsNonlinear = 0;
    std::int16_t isobaricConnection = 2; // 0 series, 1 parallel, 2 separate sources
    std::int16_t driverConnection = 8;   // index into the connection table
    std::int16_t coilConnection = 2;     // 0 series, 1 parallel, 2 separate sources
    ConnectionMultipliers driverGroup;
    ConnectionMultipliers coilGroup;
    ConnectionMultipliers isobaricGroup;
    std::uint8_t importUsable = 0;
    std::array<char, kPathBlock> importFile{};
    std::uint8_t importDisabled = 0;
    std::int16_t transitionFrequency = 300; // Hz
    std::uint8_t autoLevel = 1;
    double levelOffsetDb = 0.0;
    double levelScale = 1.0;
    double phaseLagCutoff = 100000.0; // Hz
};

// The driver configuration of a box project: one or more identical units (this object is
// itself the loaded unit), their wiring, added mass, isobaric mounting, non-linear options
// and measured SPL data, plus the per-frequency driver quantities the box models use.
class TSpeakerObject : public TSpkData, public SpeakerConfiguration, public TMeasureSetupObject {
public:
    static constexpr std::size_t kRecordSize = 370;
    static constexpr int kMinDrivers = 1;
    static constexpr int kMaxDrivers = 9;
    static constexpr int kConnectionCount = 9;
    static constexpr std::int16_t kSeriesConnection = 0;
    static constexpr std::int16_t kSeparateSourcesConnection = 8;
    // Isobaric and double-voice-coil wiring.
    static constexpr std::int16_t kPairSeries = 0;
    static constexpr std::int16_t kPairParallel = 1;
    static constexpr std::int16_t kPairSeparate = 2;
    static constexpr double kMaxExtraMass = 1.0;          // kg (the field takes 0 .. 1000 g)
    static constexpr int kMinTransitionFrequency = 1;     // Hz
    static constexpr int kMaxTransitionFrequency = 20000; // Hz
    static constexpr double kMaxPhaseLagCutoff = 100000.0;
    static constexpr double kMaxLevelOffsetDb = 200.0;
    static constexpr const char* kMeasuredDataCaption = "Measured data";

    // The connection table: names exactly as the connection list shows them.
    [[nodiscard]] static const char* connectionName(int index);
    [[nodiscard]] static bool connectionOffered(int index, int driverCount);
    // Offered connections for n drivers in list order: "Series", "Parallell", the n-specific
    // ones, "Sep. sources".
    [[nodiscard]] static std::vector<int> offeredConnections(int driverCount);
    [[nodiscard]] static ConnectionMultipliers driverMultipliers(int index, int driverCount);
    [[nodiscard]] static ConnectionMultipliers pairMultipliers(int connection);

    TSpeakerObject();

    // Loads the unit, resets the coil group of a single-coil unit, sets unitOk from the
    // sufficiency test and marks the driver arrays for rebuilding.
    [[nodiscard]] bool Load(const std::string& path) override;
    // Sets the built-in unit and derives the configuration's state from it.
    void SetDefaultUnit();
    // An empty unit with the default configuration.
    void Reset();
    void ResetConfiguration();
    // To be called after the unit record was edited in place.
    void UnitEdited();

    // Configuration edits. Each accepted one marks the driver changed; a refused one changes
    // nothing. Changing the number of drivers resets the wiring to "Series" (one driver
    // keeps a wiring that is still offered for one).
    [[nodiscard]] bool setDriverCount(int n);
    [[nodiscard]] bool setDriverConnection(int index);
    void setIsobaric(bool on);
    [[nodiscard]] bool setIsobaricConnection(int connection);
    [[nodiscard]] bool setCoilConnection(int connection);
    [[nodiscard]] bool setExtraMass(double kg);
    [[nodiscard]] bool setTransitionFrequency(int hz);
    [[nodiscard]] bool setPhaseLagCutoff(double hz);
    [[nodiscard]] bool setLevelOffsetDb(double db);
    void setImportFile(std::string_view path);
    [[nodiscard]] std::string importFileText() const;
    // Recomputes the three groups from the wiring; a group whose option is off (no
    // isobaric mounting, a single-coil unit) is 1, 1, 1.
    void refreshMultipliers();

    // The three groups multiplied together.
    [[nodiscard]] double impedanceMultiplier() const {
        return driverGroup.mZ * coilGroup.mZ * isobaricGroup.mZ;
    }
    [[nodiscard]] double voltageMultiplier() const {
        return driverGroup.mU * coilGroup.mU * isobaricGroup.mU;
    }
    [[nodiscard]] double sourceMultiplier() const { return driverGroup.mS * coilGroup.mS * isobaricGroup.mS; }

    [[nodiscard]] bool cmsNonlinearActive() const { return cmsNonlinear != 0 && Xmax != 0.0; }
    [[nodiscard]] bool blNonlinearActive() const { return blNonlinear != 0 && Xmax != 0.0; }
    [[nodiscard]] bool coilHeatingActive() const { return coilHeating != 0 && Pmax != 0.0; }
    [[nodiscard]] bool importInUse() const { return importUsable != 0 && importDisabled == 0; }

    // The voice-coil resistance in use at generator voltage Ug: Re, or hotter with coil
    // heating on.
    [[nodiscard]] double hotResistance(double Ug) const;
    // Rebuilds ReHot, ZLe and Zrad on the first grid.count points and re-reads the measured
    // data (its failure message goes to `ui` when given).
    void ComputeDriverData(const FrequencyGrid& grid, double Ug, UiHost* ui);
    // Zam with the unit's Cms.
    void ComputeZam(const FrequencyGrid& grid);
    // The second pass's Zam: the suspension softens where the first pass's excursion
    // exceeds half of Xmax.
    void ApplyCmsNonlinearity(const FrequencyGrid& grid);
    // After the last pass: excursion and U scaled down where the excursion exceeds Xmax.
    void ApplyBlNonlinearity(int count);

    // Reads the measured SPL file onto the grid; sets importUsable. A file that cannot be
    // opened shows the failure (caption "Measured data") when `ui` is given.
    bool ReadImportedData(const FrequencyGrid& grid, UiHost* ui);
    // Below the transition the simulated pressure gets the phase lag; from the first point
    // at or above it the measured data takes over, level-matched when autoLevel is set.
    void SpliceImportedData(const FrequencyGrid& grid, Complex* P);

    // The state the data-sheet block is written from.
    struct SheetValues {
        SpeakerConfiguration config;
        std::array<char, kTextSize> manufacturer{};
        std::array<char, kTextSize> model{};
        std::array<char, kFileNameSize> fileName{};
        std::int16_t dualCoil = 0;
    };
    void captureSheetValues(SheetValues& out) const;
    [[nodiscard]] static std::vector<std::string> dataSheetLines(const SheetValues& values,
                                                                 std::string_view heading = "Driver");
    [[nodiscard]] std::vector<std::string> dataSheetLines(std::string_view heading = "Driver") const;

    // The 370-byte record of the project file. A failed read changes nothing; a completed
    // one validates the wiring against the number of drivers, recomputes the groups, marks
    // the driver changed and, when measured data was in use, reads it again.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r, UiHost* ui);

    // Per-frequency driver quantities; the first grid.count entries are in use.
    std::array<Complex, kMaxPoints> Zam{};
    std::array<Complex, kMaxPoints> Zrad{};
    std::array<double, kMaxPoints> ReHot{};
    std::array<Complex, kMaxPoints> ZLe{};
    std::array<Complex, kMaxPoints> Zin{};
    std::array<Complex, kMaxPoints> U{};
    std::array<double, kMaxPoints> excursion{}; // mm peak-to-peak
    std::array<double, kMaxPoints> impedance{}; // |Z| shown, ohm
    std::array<Complex, kMaxPoints> measured{}; // measured SPL on the grid
    std::array<Complex, kMaxPoints> measuredRatio{};

private:
    void fillZam(const FrequencyGrid& grid, bool softened);
};

} // namespace harlox
