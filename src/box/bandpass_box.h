#pragma once

#include "box/box_embryo.h"

namespace harlox {

// The four bandpass types: the driver works into two chambers and only ports radiate. They
// share the two -3 dB points, the standing-wave curve of the port and its export.
class TBandpassBox : public TBoxEmbryo {
public:
    // Lower and upper -3 dB points of the last calculation; 0 when not found.
    [[nodiscard]] double lowerF3() const { return fl_; }
    [[nodiscard]] double upperF3() const { return fu_; }

    [[nodiscard]] bool hasQuickBox() const override { return true; }

    DiagramModel& airSpeedWindow() { return airSpeedWindow_; }
    [[nodiscard]] const double* portAirSpeed(int which) const override {
        if (which == 1) return port1_ ? airSpeed1.data() : nullptr;
        return which == 2 && port2_ ? airSpeed2.data() : nullptr;
    }
    [[nodiscard]] const DiagramModel& airSpeedWindow() const { return airSpeedWindow_; }
    // "SPL with port standing wave modes": the SPL with the port's standing waves (splModes)
    // and the ideal system (SPL).
    DiagramModel& stdWaveWindow() { return stdWaveWindow_; }
    [[nodiscard]] const DiagramModel& stdWaveWindow() const { return stdWaveWindow_; }

    std::array<double, kMaxPoints> airSpeed1{}; // m/s RMS in port 1
    std::array<double, kMaxPoints> airSpeed2{}; // m/s RMS in port 2 (the two-port types)
    std::array<Complex, kMaxPoints> Pcone{};    // cone pressure at 1 m re 20 uPa, for the driver data

protected:
    explicit TBandpassBox(UiHost& ui);

    [[nodiscard]] bool coneRadiates() const override { return false; }
    // Only ports radiate; here the port of type 1.
    void describeRoomSources(RoomSources& out) const override;
    [[nodiscard]] bool hasStdWaveModesExport() const override { return true; }
    bool exportStdWaveModes() override;
    void FindMinus3dB() override;
    void UpdateDiagrams() override;
    void captureTypeSheet() override;
    void appendAdditionalDetails(std::vector<std::string>& lines) const override;
    // The length of the port whose standing waves colour the response.
    [[nodiscard]] virtual double standingWaveLength() const = 0;

    // Sizes a quick box's port: minimum area for the tuning, diameter from it, length by the
    // area-doubling loops. False, with a message, when no usable length is found.
    bool quickPort(TPortObject& port, double tuning);
    // Sets both boxes and sizes port 1 (and port 2 when tuning2 is given) for a quick box.
    // When a port cannot be sized the refusal is shown and boxes and ports are put back.
    bool quickBoxes(double volume1, double volume2, double tuning1, double tuning2 = 0.0);
    // Air speed of u through the port (m/s RMS), limited with the port's own limit when the
    // shared switch is on; returns the factor applied.
    static double portFlow(const TPortObject& port, Complex& u, double& v);
    // The loads only change with a box or a port (a new grid marks them all changed).
    [[nodiscard]] bool loadsUnchanged() const;
    // Level and air-speed bookkeeping shared by the pressure loops.
    void finishPort(TPortObject& port, std::array<double, kMaxPoints>& level) const;

    DiagramModel airSpeedWindow_{"Airspeed in port", "Hz", "m/s"};
    DiagramModel stdWaveWindow_{"SPL with port standing wave modes", "Hz", "dB"};
    double fl_ = 0.0, fu_ = 0.0;
    double sheetFl_ = 0.0, sheetFu_ = 0.0;
    // Per-point transfer factors from the load step to the pressure step (see each type).
    std::array<Complex, kMaxPoints> load1_{};
    std::array<Complex, kMaxPoints> load2_{};
    std::array<Complex, kMaxPoints> scratch_{};
    std::array<double, kMaxPoints> portLevel_{}; // the front port of type 1: its level is the total
};

// Type 1: the driver between a closed rear box and a vented front box.
class TBP5Box : public TBandpassBox {
public:
    static constexpr int kTypeCode = 5;
    explicit TBP5Box(UiHost& ui);
    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Bandpass box type 1"; }
    [[nodiscard]] const char* heading() const override { return "BANDPASS BOX TYPE 1"; }
    void Reset() override;
    void setBoxVolume(TBoxObject& box, double volume) override;
    bool QuickBox() override;

    TBoxObject& rearBox() { return *box_; }
    TBoxObject& frontBox() { return *box2_; }
    TPortObject& port() { return *port1_; }

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
    [[nodiscard]] double standingWaveLength() const override;
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;
};

// The types with a port on each chamber (2, 3 and 4): port 1 on the main box, port 2 on the
// second box, each port's Vbox its own box's volume; their further window is stored.
class TTwoPortBandpassBox : public TBandpassBox {
public:
    void Reset() override;
    void setBoxVolume(TBoxObject& box, double volume) override;

protected:
    explicit TTwoPortBandpassBox(UiHost& ui);
    // The effective Vas (after recomputing it) times share.
    double effectiveVasShare(double share);
    // The quick box of types 3 and 4: the two volumes, port 1 tuned to the effective
    // resonance and port 2 an octave above, each sized by the area-doubling loops.
    bool quickTwoPorts(double volume1, double volume2);
    // Types 3 and 4: each vented chamber's port share (load1_, load2_) and the cone's load,
    // share1 times chamber 1 plus chamber 2.
    void computeChambers(double share1);
    // Types 3 and 4: each chamber's pressure drives its own port; the total is port 2 minus
    // port 1.
    void computeTwoPorts(std::array<double, kMaxPoints>& level1, std::array<double, kMaxPoints>& level2);
    [[nodiscard]] DiagramModel* furtherWindow() override { return &stdWaveWindow_; }
    [[nodiscard]] bool writeTypeRecords(BinaryWriter& w) const override;
    [[nodiscard]] bool readTypeRecords(BinaryReader& r, int fileVersion) override;
    // Types 3 and 4: both ports radiate.
    void describeRoomSources(RoomSources& out) const override;
};

// Type 2: the rear port vents the driver's chamber; the rear box and the vented front box
// in series behind it.
class TBP6Box : public TTwoPortBandpassBox {
public:
    static constexpr int kTypeCode = 6;
    explicit TBP6Box(UiHost& ui);
    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Bandpass box type 2"; }
    [[nodiscard]] const char* heading() const override { return "BANDPASS BOX TYPE 2"; }
    bool QuickBox() override;

    std::array<double, kMaxPoints> driverSPL{};   // dB, both ports' pressures summed
    std::array<double, kMaxPoints> rearPortSPL{}; // dB

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
    [[nodiscard]] double standingWaveLength() const override;
    // The rear port vents into the front chamber: only the front port radiates.
    void describeRoomSources(RoomSources& out) const override;
};

// Type 3: the driver between a vented rear box and a vented front box.
class TBP7Box : public TTwoPortBandpassBox {
public:
    static constexpr int kTypeCode = 7;
    explicit TBP7Box(UiHost& ui);
    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Bandpass box type 3"; }
    [[nodiscard]] const char* heading() const override { return "BANDPASS BOX TYPE 3"; }
    bool QuickBox() override;

    std::array<double, kMaxPoints> rearPortSPL{};  // dB
    std::array<double, kMaxPoints> frontPortSPL{}; // dB

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
    [[nodiscard]] double standingWaveLength() const override;
};

// Type 4: a vented middle box between vented side boxes; 2 to 8 drivers in steps of 2.
class TBP8Box : public TTwoPortBandpassBox {
public:
    static constexpr int kTypeCode = 8;
    explicit TBP8Box(UiHost& ui);
    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Bandpass box type 4"; }
    [[nodiscard]] const char* heading() const override { return "BANDPASS BOX TYPE 4"; }
    void Reset() override;
    bool QuickBox() override;
    [[nodiscard]] DriverCountRange driverCountRange() const override { return {2, 8, 2}; }

    std::array<double, kMaxPoints> sidePortSPL{};   // dB
    std::array<double, kMaxPoints> middlePortSPL{}; // dB

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
    [[nodiscard]] double standingWaveLength() const override;
};

} // namespace harlox
