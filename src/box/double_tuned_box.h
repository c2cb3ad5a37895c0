#pragma once

#include "box/box_embryo.h"

namespace harlox {

// The two double tuned bass reflex types: two chambers, two ports, the driver's front and
// the outer port radiating. They share the element set, the resonance display, the quick box,
// the input window and the records; they differ in how the chambers are connected.
class TDoubleTunedBox : public TBoxEmbryo {
public:
    // Front and rear as the input window's columns name them.
    TBoxObject& rearBox() { return *rearBox_; }
    TBoxObject& frontBox() { return *frontBox_; }
    TPortObject& rearPort() { return *rearPort_; }
    TPortObject& frontPort() { return *frontPort_; }
    [[nodiscard]] const TBoxObject& rearBox() const { return *rearBox_; }
    [[nodiscard]] const TBoxObject& frontBox() const { return *frontBox_; }
    [[nodiscard]] const TPortObject& rearPort() const { return *rearPort_; }
    [[nodiscard]] const TPortObject& frontPort() const { return *frontPort_; }

    // The two resonances of the system, shown as the ports' tuning frequencies; each port's
    // Vbox becomes the volume that would tune it alone there. Run after every edit.
    void UpdateResonances();
    // Compliance of a chamber as the resonance display counts it.
    [[nodiscard]] static double chamberCompliance(const TBoxObject& box);
    // The port limit of these types: no flare term.
    static constexpr double kAirSpeedLimit = 15.3; // m/s

    void setBoxVolume(TBoxObject& box, double volume) override;
    [[nodiscard]] bool hasQuickBox() const override { return true; }
    bool QuickBox() override;

    DiagramModel& airSpeedWindow() { return airSpeedWindow_; }
    [[nodiscard]] const double* portAirSpeed(int which) const override {
        const TPortObject* port = which == 1 ? port1_.get() : port2_.get();
        if (!port) return nullptr;
        return port == rearPort_ ? rearAirSpeed.data() : frontAirSpeed.data();
    }
    [[nodiscard]] const DiagramModel& airSpeedWindow() const { return airSpeedWindow_; }

    std::array<double, kMaxPoints> driverSPL{};     // dB, the cones alone
    std::array<double, kMaxPoints> frontPortSPL{};  // dB, the outer port alone
    std::array<double, kMaxPoints> rearAirSpeed{};  // m/s RMS
    std::array<double, kMaxPoints> frontAirSpeed{}; // m/s RMS
    std::array<Complex, kMaxPoints> Pd{};           // driver pressure at 1 m re 20 uPa

protected:
    explicit TDoubleTunedBox(UiHost& ui);

    // The second box, port 1, port 2 and the air speed window record.
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;
    void UpdateDiagrams() override;
    // Keeps the two chamber volumes apart and refreshes the resonances before the elements
    // are recomputed.
    void PrepareCalculation() override;
    // The radiating groups (the driver and the front port) handed to the room and cabinet model.
    void describeRoomSources(RoomSources& out) const override;
    [[nodiscard]] const char* f3Indent() const override { return "  "; }
    // Quick box values a type adds to the shared rule, applied before the resonances.
    virtual void finishQuickBox() {}

    // Set by the concrete type to the elements in its roles.
    TBoxObject* rearBox_ = nullptr;
    TBoxObject* frontBox_ = nullptr;
    TPortObject* rearPort_ = nullptr;
    TPortObject* frontPort_ = nullptr;
    DiagramModel airSpeedWindow_{"Airspeed in port", "Hz", "m/s"};
    // Per grid point, from the elements (kept while they are unchanged): the shares of the
    // cones' volume velocity n·U taken by the two ports (type 1: the rear port's share, then
    // the front port's share of the rear port's flow).
    std::array<Complex, kMaxPoints> shareA_{};
    std::array<Complex, kMaxPoints> shareB_{};
    [[nodiscard]] bool elementsChanged() const;
};

// Type 1: the driver's rear works into the rear box, vented through the rear port into the
// front box, which the front port vents to the outside.
class TBassReflexDTBox : public TDoubleTunedBox {
public:
    static constexpr int kTypeCode = 2;
    explicit TBassReflexDTBox(UiHost& ui);
    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Double tuned bassreflex box type 1"; }
    [[nodiscard]] const char* heading() const override { return "DOUBLE TUNED BASSREFLEX BOX 1"; }
    void Reset() override;

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
};

// Type 2: the driver's rear works into the front box, vented to the outside through the front
// port and through the rear port into the closed rear box, a side resonator.
class TBassReflexDT2Box : public TDoubleTunedBox {
public:
    static constexpr int kTypeCode = 3;
    explicit TBassReflexDT2Box(UiHost& ui);
    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Double tuned bassreflex box type 2"; }
    [[nodiscard]] const char* heading() const override { return "DOUBLE TUNED BASSREFLEX BOX 2"; }
    void Reset() override;

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
    // The side chamber is fully damped.
    void finishQuickBox() override;
};

} // namespace harlox
