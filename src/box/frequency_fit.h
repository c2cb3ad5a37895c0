#pragma once

#include "core/constants.h"

#include <array>
#include <cstdint>
#include <functional>
#include <random>

namespace harlox {

class TAbrObject;
class TBoxEmbryo;
class TBoxObject;
class TDoubleTunedBox;
class TPortObject;
struct FitSettings;
struct FrequencyGrid;

// The frequency fit: steps the enclosure parameters of a box project at random until its
// SPL follows a target curve (a high-pass asymptote below the lower cutoff, and for the
// bandpass types a low-pass asymptote above the upper cutoff too). One Iterate() is one step
// of every parameter; the caller decides when to stop and then calls Halt().
class TFrequencyFit {
public:
    static constexpr double kStartStep = 1.00001;
    static constexpr double kMaxStep = 1.2;
    static constexpr double kCoarseScale = 100.0;
    static constexpr double kFineScale = 500.0;
    static constexpr double kMinVolume = 0.0001; // m^3
    static constexpr double kMaxVolume = 10.0;
    static constexpr double kMinPortLength = 0.005; // m
    static constexpr double kMaxPortLength = 10.0;
    static constexpr double kMinMass = 0.0001; // kg
    static constexpr double kMaxMass = 10.0;
    static constexpr double kMinQ = 3.0;
    static constexpr double kMaxQ = 15.0;
    static constexpr double kQUp = 1.1;
    static constexpr double kQDown = 0.9090909090909091;
    static constexpr int kRandomMax = 32767;
    static constexpr int kMinLowerCutoff = 10; // Hz
    static constexpr int kMaxLowerCutoff = 200;
    static constexpr int kMinUpperCutoff = 20;
    static constexpr int kMaxUpperCutoff = 1000;
    static constexpr int kDefaultUpperCutoff = 100;

    // The four flags of the project's fit settings: box Q (bandpass: the rear box's Q),
    // intermediate results, fine steps, the bandpass front box's Q. A reset project has
    // them off, on, off, off.
    enum Flag { FlagBoxQ = 0, FlagShowIntermediate = 1, FlagFineStep = 2, FlagFrontBoxQ = 3 };

    struct Options {
        int lowerCutoff = kMinLowerCutoff;     // Hz
        int upperCutoff = kDefaultUpperCutoff; // Hz, bandpass types only
        bool optimizeBoxQ = false;             // "Optimize box Q-value" / "Optimize rear box Q-value"
        bool optimizeFrontBoxQ = false;        // "Optimize front box Q-value"
        bool showIntermediate = true;          // "Show intermediate results"
        bool fineStep = false;                 // "Fine step optimize"
    };

    // The target's asymptotes in dB per decade: 40 is 12 dB/oct, 80 is 24 dB/oct.
    struct Shape {
        double lowerSlope = 80.0;
        double upperSlope = 0.0; // 0: no upper cutoff
        [[nodiscard]] bool bandpass() const { return upperSlope > 0.0; }
    };
    [[nodiscard]] static Shape shapeOf(int typeCode);
    // The target in dB on the first grid.count points; a high-pass target is 0 at the last
    // point, where the offset is taken.
    static void buildTarget(const FrequencyGrid& grid, Shape shape, double fc, double fu,
                            std::array<double, kMaxPoints>& target);

    // The options a project keeps, with the cutoffs moved into their ranges.
    [[nodiscard]] static Options optionsFrom(const FitSettings& settings);
    static void storeOptions(const Options& options, FitSettings& settings);

    // seed starts the pseudo-random trial steps, so a fit can be repeated exactly.
    explicit TFrequencyFit(TBoxEmbryo& project, unsigned seed = 1);

    // Stores the options in the project, enters fast mode, builds the target and shows it
    // as the "Target" curve of the SPL window. False (nothing changed) when the project
    // cannot calculate.
    [[nodiscard]] bool Start(const Options& options);
    // One step of every parameter. Nothing when the fit is not running.
    void Iterate();
    // Leaves fast mode, hides the target and recalculates the project fully.
    void Halt();

    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] const Options& options() const { return options_; }
    [[nodiscard]] double meanError() const { return meanError_; } // dB
    [[nodiscard]] double stepFactor() const { return s_; }
    [[nodiscard]] double targetOffset() const { return offset_; } // dB
    [[nodiscard]] long iterations() const { return iterations_; }
    [[nodiscard]] const std::array<double, kMaxPoints>& target() const { return target_; }
    // How many parameters one iteration steps.
    [[nodiscard]] int parameterCount() const { return paramCount_; }

    // Called after each trial down when "Show intermediate results" is on, after the
    // project has drawn the curves just calculated (its trial calculations draw nothing).
    void setIntermediateHook(std::function<void()> hook) { intermediate_ = std::move(hook); }

private:
    enum class Kind : std::uint8_t { Volume, BoxQ, PortLength, RadiatorMass };
    struct Param {
        Kind kind = Kind::Volume;
        TBoxObject* box = nullptr;
        TPortObject* port = nullptr;
    };

    void collectParameters();
    void add(Kind kind, TBoxObject* box, TPortObject* port = nullptr);
    [[nodiscard]] double value(const Param& p) const;
    void setValue(const Param& p, double x);
    // Calculates, moves the offset to the new response and returns the mean error.
    double evaluate();
    void stepRandom(const Param& p, double lo, double hi);
    void stepMass(const Param& p);
    void stepQ(const Param& p);
    [[nodiscard]] int nextRandom();
    void showTarget(bool on);
    void showIntermediate();

    TBoxEmbryo& project_;
    TDoubleTunedBox* doubleTuned_ = nullptr; // its resonances follow the ports
    TAbrObject* abr_ = nullptr;
    std::minstd_rand random_;
    Options options_;
    Shape shape_;
    std::array<double, kMaxPoints> target_{};
    std::array<Param, 8> params_{};
    int paramCount_ = 0;
    int reference_ = 0; // grid point whose level sets the offset
    double offset_ = 0.0;
    double s_ = kStartStep;
    double scale_ = kCoarseScale;
    double meanError_ = 0.0;
    long iterations_ = 0;
    bool running_ = false;
    std::function<void()> intermediate_;
};

} // namespace harlox
