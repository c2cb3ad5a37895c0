#pragma once

#include "box/box_embryo.h"

namespace harlox {

// The reflex bandpass: a front and a rear driver configuration, each its own unit, between a
// front chamber vented by "Port" and a rear chamber with its own vent ("Rear port/variovent");
// the sound leaves through both vents.
class TBassReflexVelBox : public TBoxEmbryo {
public:
    static constexpr int kTypeCode = 9;

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

    DiagramModel& airSpeedWindow() { return airSpeedWindow_; }
    [[nodiscard]] const DiagramModel& airSpeedWindow() const { return airSpeedWindow_; }

    std::array<double, kMaxPoints> driverSPL{};    // dB, "Driver"
    std::array<double, kMaxPoints> frontPortSPL{}; // dB, "Front Port"
    std::array<double, kMaxPoints> rearPortSPL{};  // dB, "Rear port/variovent"
    std::array<double, kMaxPoints> airSpeed1{};    // m/s RMS in "Port"
    std::array<double, kMaxPoints> airSpeed2{};    // m/s RMS in the rear vent

protected:
    [[nodiscard]] bool driversComplete() const override;
    [[nodiscard]] bool coneRadiates() const override { return false; }
    void ComputeBackLoad() override;
    void ComputeAcousticLoad() override;
    void ComputeDriverChain() override;
    void ComputePressure() override;
    void UpdateDiagrams() override;
    void captureTypeSheet() override;
    void appendDriverLines(std::vector<std::string>& lines) const override;
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;

private:
    DiagramModel airSpeedWindow_{"Airspeed in port", "Hz", "m/s"};
    TSpeakerObject::SheetValues sheetRear_{};
};

} // namespace harlox
