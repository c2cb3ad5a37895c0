#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"

#include <array>
#include <cstdint>

namespace harlox {

// The highest level a design reaches at each frequency before one of its limits: the cone
// excursion reaching Xmax, the air speed in a port reaching its non-linearity limit, or the
// power heating a voice coil reaching the unit's Pmax. Every quantity of a box calculation
// grows in proportion to the drive voltage, so each limit is the calculation's level raised
// by the ratio of the limit to what the calculation reached at its voltage.
class TMaxSpl {
public:
    static constexpr const char* kTitle = "Maximum SPL";
    static constexpr const char* kVoltageTitle = "Voltage at maximum SPL";
    static constexpr int kMaxDrivers = 2;
    static constexpr int kMaxPorts = 2;

    enum class Limit : std::uint8_t { None, Excursion, AirSpeed, Thermal };

    // One driver configuration as the calculation left it: the excursion of one cone (mm
    // peak to peak) and the power in one voice coil's Re (W), both at the set voltage.
    struct DriverInput {
        const double* excursion = nullptr;
        const double* coilPower = nullptr;
        double xmax = 0.0; // m one way; 0: not given
        double pmax = 0.0; // W; 0: not given
    };
    struct PortInput {
        const double* airSpeed = nullptr; // m/s RMS at the set voltage
        double limit = 0.0;               // m/s
    };
    struct Inputs {
        const double* spl = nullptr; // dB at the set voltage
        double voltage = 0.0;        // the set generator voltage, V RMS
        int count = 0;
        std::array<DriverInput, kMaxDrivers> drivers{};
        std::array<PortInput, kMaxPorts> ports{};
    };

    TMaxSpl();
    TMaxSpl(const TMaxSpl&) = delete;
    TMaxSpl& operator=(const TMaxSpl&) = delete;

    void Calculate(const Inputs& in);

    // Which limits the design has (a unit without Xmax has no excursion limit, a closed box
    // no port), as of the last calculation.
    [[nodiscard]] bool has(Limit l) const { return has_[static_cast<std::size_t>(l)]; }
    [[nodiscard]] int pointCount() const { return count_; }

    DiagramModel& window() { return window_; }
    [[nodiscard]] const DiagramModel& window() const { return window_; }
    DiagramModel& voltageWindow() { return voltageWindow_; }
    [[nodiscard]] const DiagramModel& voltageWindow() const { return voltageWindow_; }

    // Per point: the level each limit allows (dB; 0 where the limit is absent), the envelope,
    // the generator voltage that reaches it and which limit sets it.
    std::array<double, kMaxPoints> excursionLimited{};
    std::array<double, kMaxPoints> airSpeedLimited{};
    std::array<double, kMaxPoints> thermalLimited{};
    std::array<double, kMaxPoints> maxSpl{};
    std::array<double, kMaxPoints> voltage{};
    std::array<Limit, kMaxPoints> limitedBy{};

private:
    void connectCurves();

    int count_ = 0;
    std::array<bool, 4> has_{};
    DiagramModel window_{kTitle, "Hz", "dB"};
    DiagramModel voltageWindow_{kVoltageTitle, "Hz", "V"};
};

} // namespace harlox
