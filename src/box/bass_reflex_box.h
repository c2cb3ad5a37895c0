#pragma once

#include "box/box_embryo.h"

namespace harlox {

// A driver configuration in a vented box: one box volume and one port element (standing
// for one or several identical vents). The total sound is the cone's minus the port's.
class TBassReflexBox : public TBoxEmbryo {
public:
    static constexpr int kTypeCode = 1;

    explicit TBassReflexBox(UiHost& ui);

    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Bassreflex box"; }
    [[nodiscard]] const char* heading() const override { return "BASSREFLEX BOX"; }

    void Reset() override;
    // The port's Vbox follows the box volume.
    void setBoxVolume(TBoxObject& box, double volume) override;
    [[nodiscard]] bool hasQuickBox() const override { return true; }
    // Box of 1.5 VasEff, port tuned to fsEff with an area that grows with the cone area.
    // False, with a message and nothing changed, when no usable port length is found.
    bool QuickBox() override;

    TBoxObject& box() { return *box_; }
    [[nodiscard]] const TBoxObject& box() const { return *box_; }
    TPortObject& port() { return *port1_; }
    [[nodiscard]] const TPortObject& port() const { return *port1_; }

    DiagramModel& airSpeedWindow() { return airSpeedWindow_; }
    [[nodiscard]] const double* portAirSpeed(int which) const override {
        return which == 1 && port1_ ? airSpeed.data() : nullptr;
    }
    [[nodiscard]] const DiagramModel& airSpeedWindow() const { return airSpeedWindow_; }

    std::array<double, kMaxPoints> driverSPL{}; // dB, the cones alone
    std::array<double, kMaxPoints> portSPL{};   // dB, the port alone
    std::array<double, kMaxPoints> airSpeed{};  // m/s RMS in the port
    std::array<Complex, kMaxPoints> Pcone{};    // cone pressure at 1 m re 20 uPa

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
    // The radiating groups handed to the room and cabinet model.
    void describeRoomSources(RoomSources& out) const override;
    void UpdateDiagrams() override;
    [[nodiscard]] const char* f3Indent() const override { return "  "; }
    // The port record and the air speed window record.
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;

private:
    DiagramModel airSpeedWindow_{"Airspeed in port", "Hz", "m/s"};
    std::array<Complex, kMaxPoints> portShare_{}; // Zbox / (Zbox + Zport)
};

} // namespace harlox
