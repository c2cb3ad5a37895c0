#pragma once

#include "core/constants.h"
#include "core/measure_setup.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;

// Refusals shown by the port fields of the box windows.
inline constexpr const char* kAreaChangeRefusedMsg = "Portlength < 0";    // diameter or area changed
inline constexpr const char* kTuningChangeRefusedMsg = "Port length < 0"; // wanted tuning changed
inline constexpr const char* kFlareRadiusRefusedMsg =
    "Flare radius must be greater than half the port length";

// One or several identical vents: effective area, acoustic mass and losses, impedance at
// every grid point, and the per-frequency volume velocity and pressure the box model fills.
class TPortObject : public TMeasureSetupObject {
public:
    static constexpr std::size_t kRecordSize = 53;
    static constexpr std::size_t kOldRecordSize = 45; // files before the flare factor
    static constexpr int kFlareVersion = 400;         // first file version with the flare factor
    static constexpr int kMaxPorts = 9;
    static constexpr double kBoundaryLayer = 0.0018; // m taken off the radius

    explicit TPortObject(std::string name = "Port");

    std::string name;
    double L = 0.1;                 // m
    double S = 0.00196349540849375; // m^2, minimum cross-section
    double Seff = 0.0;              // m^2, derived from S and flare
    double D = 0.05;                // m, minimum diameter
    double Vbox = 0.1;              // m^3, volume for the port's own tuning
    double fp = 0.0;                // Hz, derived tuning
    double flare = 0.0;             // L / (2 R); 0 for a straight port
    std::int32_t ports = 1;
    std::uint8_t portChanged = 1;
    std::array<Complex, kMaxPoints> Zport{}; // all ports together
    std::array<Complex, kMaxPoints> Uport{}; // m^3/s
    std::array<Complex, kMaxPoints> Pport{}; // pressure at 1 m re 20 uPa

    // "Sim. port nonlinearity": one switch for every port of every project.
    [[nodiscard]] static bool nonLinear();
    static void setNonLinear(bool on);

    // Back to the defaults, with Seff and fp derived; the name and the shared switch stay.
    void Reset();

    // Effective area of a minimum area s with a flare factor.
    [[nodiscard]] static double effectiveArea(double s, double flareFactor);
    void computeSeff() { Seff = effectiveArea(S, flare); }

    [[nodiscard]] double acousticMass() const;
    [[nodiscard]] double lossCoefficient() const;
    // Tuning with Vbox from the acoustic mass, stored in fp.
    void updateTuning();
    // The length that tunes the ports to fb with the present area; may be negative.
    [[nodiscard]] double lengthForTuning(double fb) const;

    // Recomputes Zport on the shared grid when portChanged is set. The flag is left set: the
    // project clears it once the whole calculation is done.
    void Compute();
    // Recomputes Zport on the first grid.count points of the given grid, unconditionally.
    void Compute(const FrequencyGrid& grid);

    // Field edits. Each accepted one marks the port changed; a refused one changes nothing.
    void setLength(double length);           // the tuning follows
    void setPorts(int count);                // 1 .. 9; the tuning follows
    void setVbox(double volume);             // the tuning follows
    [[nodiscard]] bool setTuning(double fb); // L follows; kTuningChangeRefusedMsg
    // Sizes the port for fb by doubling its area (D times sqrt 2) while the length would be
    // negative, then while it is below 0.1 m. False, with the port unchanged, when 200
    // doublings do not reach a usable length.
    [[nodiscard]] bool sizeForTuning(double fb);
    [[nodiscard]] bool setArea(double area);          // D and L follow; kAreaChangeRefusedMsg
    [[nodiscard]] bool setDiameter(double diameter);  // S and L follow; kAreaChangeRefusedMsg
    [[nodiscard]] bool setFlareRadius(double radius); // 0 = straight; kFlareRadiusRefusedMsg

    // Flare radius in m, 0 for a straight port.
    [[nodiscard]] double flareRadius() const;
    // Largest diameter of a flared port; D for a straight one.
    [[nodiscard]] double maxDiameter() const;

    // Air speed (m/s RMS) of a volume velocity through all ports.
    [[nodiscard]] double airSpeed(const Complex& u) const;
    // Speed above which the port no longer behaves linearly.
    [[nodiscard]] static double airSpeedLimit(double flareFactor);
    [[nodiscard]] double airSpeedLimit() const { return airSpeedLimit(flare); }
    // Where v > vlim scales v and u by sqrt(vlim / v); returns the factor applied (1 if none).
    static double limitAirSpeed(double vlim, double& v, Complex& u);
    // The same with this port's limit, only when the shared switch is on.
    double applyNonLinearity(double& v, Complex& u) const;

    [[nodiscard]] std::vector<std::string> dataSheetLines() const;

    // Always writes the 53-byte record. Reads 45 bytes for files before kFlareVersion (then
    // the port is straight); a failed read changes nothing, the shared switch included.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r, int fileVersion);

private:
    [[nodiscard]] double lengthFor(double fb, double seff, double d) const;
    // Moves the port to minimum area `area` and diameter d, keeping fp; refused when the
    // length would be negative.
    bool changeAreaKeepingTuning(double area, double d);
};

} // namespace harlox
