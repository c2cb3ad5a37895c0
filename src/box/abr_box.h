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
    void setBoxVolume(TBoxObject& box, double volume) override;
    [[nodiscard]] bool hasQuickBox() const override { return true; }
    bool QuickBox() override;

    TBoxObject& box() { return *box_; }
    [[nodiscard]] const TBoxObject& box() const { return *box_; }
    TAbrObject& abr() { return *abr_; }
    [[nodiscard]] const TAbrObject& abr() const { return *abr_; }

    std::array<Complex, kMaxPoints> Z1{};    // radiator branch impedance
    std::array<Complex, kMaxPoints> Zrear{}; // box in parallel with the radiators
    std::array<Complex, kMaxPoints> Pd{};    // driver pressure
    std::array<double, kMaxPoints> driverSPL{}; // dB, "Driver"
    std::array<double, kMaxPoints> abrSPL{};    // dB, "ABR unit"

protected:
    void PrepareCalculation() override;
    void ComputeBackLoad() override;
    void ComputePressure() override;
    void captureTypeSheet() override;
    void appendTypeLines(std::vector<std::string>& lines) const override;
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;

private:
    std::unique_ptr<TAbrObject> abr_;
    std::unique_ptr<TAbrObject> sheetAbr_; // the values the data sheet was written from
};

} // namespace harlox
