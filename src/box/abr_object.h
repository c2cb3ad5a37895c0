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
class TBoxObject;

// A passive radiator ("ABR unit"): a cone without a motor, driven by the pressure in the
// box. One object stands for `units` identical radiators.
class TAbrObject : public TMeasureSetupObject {
public:
    static constexpr std::size_t kRecordSize = 85;
    static constexpr int kMaxUnits = 9;
    static constexpr double kQ = 7.0; // mechanical Q at the free-air resonance

    // box: the project's box volume element, whose volume and fill set the in-box resonance.
    explicit TAbrObject(const TBoxObject& box);

    double Vap = 0.1;   // m^3, equivalent air volume of the suspension
    double Cap = 0.0;   // m^5/N, derived
    double Cmp = 0.0;   // m/N, derived
    double Sd = 0.03;   // m^2
    double Mmp = 0.01;  // kg, without air load
    double Fp = 0.0;    // Hz, free-air resonance, derived
    double Fb = 0.0;    // Hz, in-box resonance, derived
    double Xmax = 0.01; // m
    double a = 0.0;     // m, piston radius, derived
    double Mms = 0.0;   // kg, with air load, derived
    std::uint8_t changed = 1;
    std::int32_t units = 1;
    std::uint8_t nonLinear = 0;

    std::array<Complex, kMaxPoints> Zm{};     // mechanics of one radiator, acoustic side
    std::array<Complex, kMaxPoints> Zmass{};  // inner air load of one radiator
    std::array<Complex, kMaxPoints> Zfront{}; // front radiation impedance of one radiator
    std::array<Complex, kMaxPoints> U{};      // volume velocity of one radiator
    std::array<Complex, kMaxPoints> P{};      // pressure of all radiators at 1 m re 20 uPa
    std::array<double, kMaxPoints> X{};       // excursion of each radiator, mm peak-to-peak

    // Defaults, with the derived values computed.
    void Reset();

    // Derived values from the fields: a, Mms, Cap, Cmp, Fp and (with the box) Fb.
    void computeDerived();
    void computeFb();

    // Field edits; each marks the radiator changed and keeps the derived values in step.
    void setVap(double volume);
    void setSd(double area);
    void setMmp(double mass);
    void setFp(double frequency); // Mmp and Mms follow
    void setFb(double frequency); // Mmp, Mms and Fp follow; Fb keeps the value entered
    void setXmax(double x);
    void setUnits(int count); // 1 .. 9
    void setNonLinear(bool on);

    // Whether the excursion limit applies: the box is checked and Xmax is not 0.
    [[nodiscard]] bool limiting() const;
    // The air load counted in Mms, 3.15 a^3.
    [[nodiscard]] double airLoadMass() const;
    // The mechanical compliance of one radiator on its share of a box of the given volume.
    [[nodiscard]] double boxCompliance(double volume) const;

    // Rebuilds Zm, Zmass and Zfront on the shared grid when changed is set, and clears it.
    void Compute();

    // The scalar fields of another radiator (not the curves, not the box).
    void copyValues(const TAbrObject& from);

    [[nodiscard]] std::vector<std::string> dataSheetLines() const;

    // The 85-byte record; Q is not stored. A failed read changes nothing; values the program
    // never writes (not finite, Sd, a, Vap or Cmp not positive, Xmax negative) are refused.
    bool writeRecord(BinaryWriter& w) const;
    [[nodiscard]] bool readRecord(BinaryReader& r);

private:
    const TBoxObject& box_;
};

} // namespace harlox
