#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace harlox {

class TCompA;
class TNetA;
class TXover;
class UiHost;

// The ideal filter the optimiser steers the response towards.
struct OptimiserTarget {
    enum Type : std::int16_t { Butterworth = 0, Linkwitz = 1 };
    int lpOrder = 0; // 0 .. 4, 0 = no low-pass
    double lpFc = 20000.0;
    int lpType = Butterworth;
    int hpOrder = 0;
    double hpFc = 2.0;
    int hpType = Butterworth;

    // The target settings kept in the network.
    [[nodiscard]] static OptimiserTarget Of(const TNetA& net);
    // dB at f: the low-pass part plus the high-pass part.
    [[nodiscard]] double Level(double f) const;
};

// The optimisation list: used components whose optimise flag is set, in the order a pass
// steps them (ladder branches 1 .. 8, then the correction links; R1, R2, C, L or R1, R2, C1,
// C2, L within a branch).
[[nodiscard]] std::vector<TCompA*> OptimisationList(TNetA& net);
// Every used component of the network, in the same order (what "Add" can choose from).
[[nodiscard]] std::vector<TCompA*> OptimisableComponents(TNetA& net);
// "Add": false with "Item already selected" when the component is on the list already, or
// silently when it is not used.
bool AddToOptimisationList(TCompA& c, UiHost& ui);
// "Remove": false when it was not on the list.
bool RemoveFromOptimisationList(TCompA& c);

// The optimiser of one advanced network: target curve, error and passes. The network keeps
// the settings (target, range, ray, step size, live update); this object keeps the curves.
// Values are stepped by a seeded generator, so a run can be repeated.
class TNetOptimiser {
public:
    static constexpr int kPoints = 500;
    // Points more than this far below the response's maximum are not counted.
    static constexpr double kWindowDb = 50.0;

    // project may be null (then "Live update" recalculates the network only).
    TNetOptimiser(TNetA& net, TXover* project, std::uint32_t seed = 1);

    // Running mode for the network; Stop returns it to normal mode and recalculates the
    // project so that every curve, phase and scale matches the values again.
    void Start();
    void Stop();
    [[nodiscard]] bool Running() const;

    // One pass over the optimisation list; ends with the recalculation and a new error.
    // Without a counted point there is nothing to compare, so no value moves.
    void Pass();
    // Solves the network (in running mode for that solve when stopped) and measures.
    void Refresh();

    // T from the network's target settings.
    void MakeTarget();
    // Error, shifted target and unfiltered curve from the network's current results.
    void Measure();

    // Mean |P - T'| in dB over the counted points; nothing when no point is counted (no
    // grid point in the range, or no results).
    [[nodiscard]] std::optional<double> Error() const { return error_; }
    [[nodiscard]] int CountedPoints() const { return counted_; }
    [[nodiscard]] int Passes() const { return passes_; }
    [[nodiscard]] const std::vector<double>& Target() const { return target_; }
    [[nodiscard]] const std::vector<double>& ShiftedTarget() const { return shifted_; }
    [[nodiscard]] const std::vector<double>& Response() const { return response_; }
    [[nodiscard]] const std::vector<double>& Unfiltered() const { return unfiltered_; }
    // The ray the error is read on: the network's optimiser ray, or the main ray when the
    // ray table no longer has it.
    [[nodiscard]] int Ray() const;

    // The step factor d for step size s (0 .. 99) and a random number r.
    [[nodiscard]] static double StepFactor(int s, std::uint32_t r);

    [[nodiscard]] TNetA& net() const { return net_; }

private:
    std::uint32_t next();
    // Solves the changed network and measures; the error, or +inf without counted points.
    double trial();
    bool solve();

    TNetA& net_;
    TXover* project_;
    std::uint64_t state_;
    std::vector<double> target_, shifted_, response_, unfiltered_;
    std::optional<double> error_;
    int counted_ = 0;
    int passes_ = 0;
};

} // namespace harlox
