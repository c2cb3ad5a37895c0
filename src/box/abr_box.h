#pragma once

#include "box/abr_object.h"
#include "box/box_embryo.h"

#include <memory>

namespace harlox {

// A closed box whose front carries one or more passive radiators, driven by the pressure
// in the box; the radiators move in opposite phase to the cones.
class TAbrBox : public TBoxEmbryo {
public:
    static constexpr int kTypeCode = 4;

    explicit TAbrBox(UiHost& ui);

    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Passive radiator box"; }
    [[nodiscard]] const char* heading() const override { return "ABR BOX"; }

    void Reset() override;
    // The radiators' in-box resonance follows the volume.
    void setBoxVolume(TBoxObject& box, double volume) override;
    [[nodiscard]] bool hasQuickBox() const override { return true; }
    // Box of 1.5 effective Vas; one radiator per driver with the unit's Sd and Mmd and a share
    // of the effective Vas as its suspension.
    bool QuickBox() override;

    TBoxObject& box() { return *box_; }
    [[nodiscard]] const TBoxObject& box() const { return *box_; }
    TAbrObject& abr() { return *abr_; }
    [[nodiscard]] const TAbrObject& abr() const { return *abr_; }

    std::array<Complex, kMaxPoints> Z1{};       // radiator branch impedance
    std::array<Complex, kMaxPoints> Zrear{};    // box in parallel with the radiators
    std::array<Complex, kMaxPoints> Pd{};       // driver pressure
    std::array<double, kMaxPoints> driverSPL{}; // dB, "Driver"
    std::array<double, kMaxPoints> abrSPL{};    // dB, "ABR unit"

protected:
    // Rebuilds the radiator curves when they or the grid changed, and the in-box resonance.
    void PrepareCalculation() override;
    void ComputeBackLoad() override;
    void ComputePressure() override;
    // The radiating groups handed to the room and cabinet model.
    void describeRoomSources(RoomSources& out) const override;
    [[nodiscard]] const char* f3Indent() const override { return "  "; }
    void captureTypeSheet() override;
    void appendTypeLines(std::vector<std::string>& lines) const override;
    // The radiator record; Fb is recomputed after reading it.
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;

private:
    std::unique_ptr<TAbrObject> abr_;
    std::unique_ptr<TAbrObject> sheetAbr_; // the values the data sheet was written from
    // Zrear / Z1: the share of the box pressure that moves one radiator, per cone velocity.
    std::array<Complex, kMaxPoints> abrShare_{};
    // The grid the radiator curves were last built on.
    int curveCount_ = 0;
    double curveStart_ = 0.0, curveStop_ = 0.0;
};

} // namespace harlox
