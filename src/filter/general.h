#pragma once

#include "core/constants.h"
#include "numeric/cmatrix.h"
#include "numeric/fmatrix.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace harlox {

class BinaryReader;
class BinaryWriter;

// What every filter project shares: the 500-point filter grid, the impulse response tables,
// the off-axis rays, the listening distance, the diagram scaling and the construction title.
// One object lives for the whole run; it also turns a driver's on-axis output into its
// output along a ray.
class TGeneral {
public:
    static constexpr int kPoints = 500;
    static constexpr int kMaxSurfaceRays = 17;
    static constexpr int kMaxOverlayRays = 8;
    // "# points" goes up to 4096, the transform is twice that.
    static constexpr int kMaxIfftSize = 8192;
    static constexpr std::size_t kTitleSize = 100;
    static constexpr const char* kHelpFile = "general.txt";

    // The record's two groups: the one every file from version 310 on has, and the one
    // added with version 400.
    static constexpr int kRaysVersion = 310;
    static constexpr int kScalingVersion = 400;
    static constexpr std::size_t kRaysGroupSize = 74;
    static constexpr std::size_t kScalingGroupSize = 124;
    static constexpr std::size_t kRecordSize = kRaysGroupSize + kScalingGroupSize;

    // Path delays of the off-axis model; the piston keeps the acoustic models' 1/344.7.
    static constexpr double kPathSpeedOfSound = 340.0;

    TGeneral();

    // The grid and every default, then the tables and the main ray.
    void Reset();

    // ---- filter grid: f_i = 5 * 10^(i log10(4000) / 499), 5 Hz .. 20 kHz
    [[nodiscard]] static double gridFrequency(int i);
    [[nodiscard]] const FVector& frequency() const { return frequency_; }
    [[nodiscard]] const FVector& lnFrequency() const { return lnFrequency_; }
    // (0, 2 pi f_i)
    [[nodiscard]] const CVector& jw() const { return jw_; }

    // ---- plain settings; every dialog field writes one of these directly
    std::uint8_t infinite = 1;       // "Infinite": listener at infinite distance
    double distance = 1.0;           // measurement distance, m (used when infinite is 0)
    std::int16_t lowerFrequency = 20;
    std::int16_t upperFrequency = 20000;
    std::uint8_t disableIfft = 0;
    std::uint8_t flip = 0;           // "Flip up/down"; drawing only, never stored
    std::uint8_t gdAuto = 1;
    std::uint8_t impedanceAuto = 1;
    std::int16_t splRange = 30;      // dB
    std::int16_t impedanceMax = 30;  // ohm
    double gdMin = -2.0;             // ms
    double gdMax = 10.0;             // ms
    std::uint8_t hideOnAxis = 0;     // "Hide on axis plot"
    std::uint8_t inhibit = 0;        // "Inhibit": only the main ray is calculated
    // Where the settings dialog stood when it last closed; the next one opens there. Window
    // state of the run: neither Reset nor the project file touches it.
    bool dialogPlaced = false;
    std::int16_t dialogX = 0;
    std::int16_t dialogY = 0;

    [[nodiscard]] std::string_view title() const;
    // Cut to 99 characters.
    void setTitle(std::string_view text);

    // ---- impulse response: N = IFFT size (twice "# points"), fs = sample rate
    [[nodiscard]] int ifftSize() const { return ifftSize_; }
    [[nodiscard]] int ifftLog2() const { return ifftLog2_; }
    [[nodiscard]] int sampleRate() const { return sampleRate_; }
    // N a power of two from 2 to kMaxIfftSize, fs > 0; anything else is refused unchanged.
    // Rebuilds the tables.
    [[nodiscard]] bool setIfft(int size, int rate);
    // N/2 bin frequencies fs i / N.
    [[nodiscard]] std::span<const double> ifftFrequencies() const;
    // N/2 twiddles (cos, sin)(2 pi i / N).
    [[nodiscard]] std::span<const Complex> ifftTwiddles() const;
    // N entries: i with its log2 N low bits reversed.
    [[nodiscard]] std::span<const std::int32_t> bitReversal() const;

    // ---- rays. The surface list is what the networks calculate (row k of their per-ray
    // matrices is surface ray k); the overlay list picks some of them for the overlaid plot.
    [[nodiscard]] int surfaceCount() const { return surfaceCount_; }
    [[nodiscard]] int surfaceAngle(int k) const { return surface_[static_cast<std::size_t>(k)]; }
    [[nodiscard]] int overlayCount() const { return overlayCount_; }
    [[nodiscard]] int overlayAngle(int k) const { return overlay_[static_cast<std::size_t>(k)]; }
    // The on-axis ray: the first surface ray at 0 degrees (0 when there is none). It is also
    // the shown ray of every single-curve diagram and export.
    [[nodiscard]] int mainRay() const { return mainRay_; }
    // Whether surface ray k is calculated at all ("Inhibit" leaves only the main ray).
    [[nodiscard]] bool rayCalculated(int k) const { return inhibit == 0 || k == mainRay_; }
    // The angle a network uses for surface ray k: the main ray always runs at 0 degrees.
    [[nodiscard]] double rayCalcAngle(int k) const { return k == mainRay_ ? 0.0 : surfaceAngle(k); }
    // First surface ray with this angle, -1 when none has it.
    [[nodiscard]] int surfaceIndexOf(int angle) const;

    enum class RayEdit {
        Changed,          // the lists changed; recalculate
        Inhibited,        // ignored while "Inhibit" is set
        Full,             // no room for another ray
        AlreadySelected,
        OnAxis,           // the on-axis ray (or the last one) stays
        NotListed,        // the angle is not in the list
    };
    // The message box text of a refusal, null when there is none to show.
    [[nodiscard]] static const char* rayEditMessage(RayEdit result, bool overlay);

    // The dialog's four list buttons.
    RayEdit addSurfaceRay(int angle);
    RayEdit removeSurfaceRay(int angle);
    RayEdit addOverlayRay(int angle);
    RayEdit removeOverlayRay(int angle);

    // Replaces the surface list (command line): sorted descending, duplicates dropped and
    // the 0 degree ray added when missing. Refuses more than 17 rays or an angle outside
    // -180 .. 180. Overlay rays no longer in the surface list are dropped (0 stays first).
    [[nodiscard]] bool setSurfaceRays(std::span<const int> angles);

    // ---- off-axis model
    // |2 J1(x) / x| of a rigid piston, x = 2 pi f b / 344.7, by a polynomial fit; 1 below
    // x = 0.1 and 0.0001 from x = 10 on.
    [[nodiscard]] static double PistonDirectivity(double f, double b);
    // The output along a ray at angle theta (degrees) of a piston of radius a at x
    // (sideways), y (up) and z (depth, positive away from the listener), all metres, whose
    // on-axis output is s. result may be s itself when that has 500 points; otherwise it
    // is resized to 500 points, so a caller that keeps its vectors never touches the heap.
    void OffAxis(const CVector& s, double theta, double a, double x, double y, double z,
                 CVector& result) const;
    // What OffAxis multiplies s by, point by point: directivity, 1/r level and path delay.
    // It depends only on the geometry (the angle, the piston, its position, "Infinite" and
    // the distance), so a network may keep one per driver and ray and multiply it into each
    // new output (CVector::mul gives the same values as OffAxis).
    void OffAxisFactor(double theta, double a, double x, double y, double z,
                       CVector& factor) const;

    // ---- project file record
    // The version-400 layout, kRecordSize bytes.
    bool writeRecord(BinaryWriter& w) const;
    // Reads the groups the file version has. A failed read (short, or values the program
    // never stores) changes nothing; a completed one rebuilds the tables and the main ray.
    [[nodiscard]] bool readRecord(BinaryReader& r, int fileVersion);

private:
    void offAxisFactor(double theta, double a, double x, double y, double z, Complex* out) const;
    void rebuildTables();
    void findMainRay();
    void dropOverlayAt(int k);

    FVector frequency_;
    FVector lnFrequency_;
    CVector jw_;

    std::int16_t ifftSize_ = 512;
    std::int16_t ifftLog2_ = 9;
    std::int32_t sampleRate_ = 44100;
    std::array<Complex, kMaxIfftSize / 2> ifftTwiddles_{};
    std::array<double, kMaxIfftSize / 2> ifftFrequencies_{};
    std::array<std::int32_t, kMaxIfftSize> bitReversal_{};

    std::int16_t surfaceCount_ = 1;
    std::array<std::int16_t, kMaxSurfaceRays> surface_{};
    std::int16_t overlayCount_ = 1;
    std::array<std::int16_t, kMaxOverlayRays> overlay_{};
    std::int16_t mainRay_ = 0;

    // Kept whole so that a record read and written again comes out byte for byte.
    std::array<char, kTitleSize> title_{};
};

} // namespace harlox
