#pragma once

#include "box/box_embryo.h"

namespace harlox {

// The reflex bandpass: a front and a rear driver configuration, each its own unit, side by side
// in the partition between a front chamber vented by "Port" and a rear chamber with its own
// vent ("Rear port/variovent"); every cone pushes into the front chamber and draws from the
// rear one, and the sound leaves through both vents only.
class TBassReflexVelBox : public TBoxEmbryo {
public:
    static constexpr int kTypeCode = 9;
    // "Vent resistance": the variovent's flow resistance in Pa·s/m³ (0: a plain port).
    static constexpr double kMaxVentResistance = 1.0e7;

    explicit TBassReflexVelBox(UiHost& ui);

    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "ReflexBandPass Box"; }
    [[nodiscard]] const char* heading() const override { return "REFLEXBANDPASS BOX"; }

    void Reset() override;
    void setBoxVolume(TBoxObject& box, double volume) override;
    [[nodiscard]] bool usesRearDriver() const override { return true; }
    [[nodiscard]] bool hasQuickBox() const override { return true; }
    bool QuickBox() override;

    TBoxObject& frontBox() { return *box_; }
    TBoxObject& rearBox() { return *box2_; }
    TPortObject& port() { return *port1_; }
    TPortObject& rearPort() { return *port2_; }
    [[nodiscard]] const TBoxObject& frontBox() const { return *box_; }
    [[nodiscard]] const TBoxObject& rearBox() const { return *box2_; }
    [[nodiscard]] const TPortObject& port() const { return *port1_; }
    [[nodiscard]] const TPortObject& rearPort() const { return *port2_; }

    // Sets the rear vent's flow resistance; refused (false, nothing changed) outside
    // 0 .. kMaxVentResistance.
    [[nodiscard]] bool setVentResistance(double r);

    // Lower and upper -3 dB points of the last calculation; 0 when not found.
    [[nodiscard]] double lowerF3() const { return fl_; }
    [[nodiscard]] double upperF3() const { return fu_; }

    DiagramModel& airSpeedWindow() { return airSpeedWindow_; }
    [[nodiscard]] const double* portAirSpeed(int which) const override {
        if (which == 1) return port1_ ? airSpeed1.data() : nullptr;
        return which == 2 && port2_ ? airSpeed2.data() : nullptr;
    }
    [[nodiscard]] const DiagramModel& airSpeedWindow() const { return airSpeedWindow_; }

    std::array<double, kMaxPoints> driverSPL{};    // dB, "Driver"
    std::array<double, kMaxPoints> frontPortSPL{}; // dB, "Front Port"
    std::array<double, kMaxPoints> rearPortSPL{};  // dB, "Rear port/variovent"
    std::array<double, kMaxPoints> airSpeed1{};    // m/s RMS in "Port"
    std::array<double, kMaxPoints> airSpeed2{};    // m/s RMS in the rear vent
    std::array<Complex, kMaxPoints> Pcone{};       // the cones as if radiating freely
    // Flow resistance in series with the rear vent, Pa·s/m³; stored in the project file.
    double ventResistance = 0.0;

protected:
    [[nodiscard]] bool driversComplete() const override;
    [[nodiscard]] bool coneRadiates() const override { return false; }
    void ComputeBackLoad() override;
    void ComputeAcousticLoad() override;
    void ComputeDriverChain() override;
    void ComputePressure() override;
    // The cones are enclosed; both vents radiate.
    void describeRoomSources(RoomSources& out) const override;
    // Two points from the response's own passband, as the bandpass types find them.
    void FindMinus3dB() override;
    void UpdateDiagrams() override;
    void captureTypeSheet() override;
    void appendTypeLines(std::vector<std::string>& lines) const override;
    void appendDriverLines(std::vector<std::string>& lines) const override;
    void appendAdditionalDetails(std::vector<std::string>& lines) const override;
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;

private:
    DiagramModel airSpeedWindow_{"Airspeed in port", "Hz", "m/s"};
    // Per point: a cone's drive ps = Bl·I/Sd at blocked cone and its electrical damping Zx,
    // so that U = ps / (ZA + Zx) for the standard chain.
    void driverSource(const TSpeakerObject& d, std::array<Complex, kMaxPoints>& ps,
                      std::array<Complex, kMaxPoints>& zx) const;

    TSpeakerObject::SheetValues sheetRear_{};
    std::array<Complex, kMaxPoints> frontShare_{};                  // Zfront / (Zfront + Zport)
    std::array<Complex, kMaxPoints> rearShare_{};                   // Zrear / (Zrear + Zrearvent)
    std::array<double, kMaxPoints> frontShareDb_{}, rearShareDb_{}; // their levels
    std::array<double, kMaxPoints> portGain_{}, ventGain_{};        // air-speed limiting
    std::array<Complex, kMaxPoints> ps1_{}, zx1_{}, ps2_{}, zx2_{};
    double loadResistance_ = 0.0; // the ventResistance the loads were built with
    bool loadValid_ = false;
    double fl_ = 0.0, fu_ = 0.0;
    double sheetFl_ = 0.0, sheetFu_ = 0.0, sheetRv_ = 0.0;
};

} // namespace harlox
