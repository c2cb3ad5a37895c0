#pragma once

#include "core/constants.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;

// The box frequency grid: N log-spaced points, room for 500.
struct FrequencyGrid {
    std::array<double, kMaxPoints> f{};
    std::array<double, kMaxPoints> w{};
    // 1/w, so the per-point loops multiply instead of divide.
    std::array<double, kMaxPoints> wInverse{};
    int count = 0;

    void build(int pointCount, int startFrequency, int stopFrequency);
};

// The virtual measurement every box project is driven by; one instance for the program.
struct MeasureSetup {
    static constexpr std::size_t kRecordSize = 51;
    static constexpr const char* kPreferencesFile = "msetup.prf";

    std::uint8_t calculateImmediately = 1;
    std::uint8_t autorange = 0;
    std::int32_t rangeDb = 30;
    double Ug = 2.83;
    double Rg = 0.0;
    double Lg = 0.0;
    double Pg = 1.0;
    std::int32_t pointCount = 50;
    std::int32_t startFrequency = 20;
    std::int32_t stopFrequency = 2000;
    std::uint8_t hidePhase = 0;
    std::uint8_t setupChanged = 1;

    FrequencyGrid grid;
    // Version word written into project files; reset by SetDefaults.
    int fileVersion = kProjectFileVersion;

    void setValuesToDefaults();
    // Sets the version and setupChanged, reads the preferences file; falls back to the
    // defaults when the file is missing or short, or always when force is set.
    void SetDefaults(bool force);

    // Coupled generator values: Pg = Ug^2 / 8 and back.
    void setUg(double ug);
    void setPg(double pg);

    void rebuildGrid() { grid.build(pointCount, startFrequency, stopFrequency); }

    // The 51-byte record. A completed read rebuilds the grid; a failed one changes nothing.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r);

    [[nodiscard]] bool savePreferences() const;
    [[nodiscard]] bool loadPreferences();

    // The "Setup" block of a box project's data sheet.
    [[nodiscard]] std::vector<std::string> dataSheetLines() const;
};

// The program-wide setup.
MeasureSetup& sharedSetup();

// Empty base through which the models reach the shared setup.
class TMeasureSetupObject {
public:
    static MeasureSetup& setup() { return sharedSetup(); }
    static const FrequencyGrid& grid() { return sharedSetup().grid; }

protected:
    TMeasureSetupObject() = default;
    ~TMeasureSetupObject() = default;
};

} // namespace harlox
