#pragma once

#include "filter/meas_data.h"
#include "filter/net_base.h"
#include "numeric/cmatrix.h"
#include "numeric/fmatrix.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class TBranchA;
class TGeneral;
class TNetA;
class UiHost;

// One resistor, capacitor or inductor of an advanced branch.
class TCompA {
public:
    enum Kind : std::int32_t { Resistor = 0, Capacitor = 1, Inductor = 2 };
    static constexpr std::size_t kRecordSize = 10;
    static constexpr double kStepUp = 1.05;
    static constexpr double kStepDown = 0.952380952;

    TCompA(TBranchA& branch, Kind kind, int index, bool active);
    TCompA(const TCompA&) = delete;
    TCompA& operator=(const TCompA&) = delete;

    // The default value of the kind; the flags keep their state.
    void ResetValue();

    [[nodiscard]] double Value() const { return value_; }
    // Stores the value as given (the optimiser does not clamp) and marks the chain changed.
    void SetValue(double v);
    // The value editor: outside the limits the value becomes the limit and `ui` beeps.
    void SetValueClamped(double v, UiHost* ui);
    // The arrow keys: right multiplies by 1.05, left divides, clamped with a beep.
    void Step(bool up, UiHost* ui);

    // Component, branch and network must be evaluated again.
    void MarkChanged();

    // Z over the grid: a resistor sets only element 0 to (R, 0).
    void CalcImpedance(const CVector& jw);

    // "R1011\t8.20\tohm"; an active component first picks its engineering unit.
    [[nodiscard]] std::string ComponentLine();
    // The number drawn beside the name on the schematic (value x scale).
    [[nodiscard]] std::string SchematicValueText();
    // Active components: unit, scale and format from the value (kohm, nF, mH, ...).
    void UpdateEngineeringUnit();

    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const std::string& unit() const { return unit_; }
    [[nodiscard]] double displayScale() const { return displayScale_; }
    [[nodiscard]] const std::string& format() const { return format_; }
    [[nodiscard]] bool isActive() const { return active_ != 0; }
    [[nodiscard]] TBranchA& branch() const { return branch_; }
    [[nodiscard]] const CVector& impedance() const { return impedance_; }

    struct Rect {
        std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    };
    Rect labelRect;              // the value label as last drawn
    double minimum = 0.0;        // limits of the editor, the arrow keys and the wizards
    double maximum = 0.0;
    std::int32_t drawScale = 1;
    std::uint8_t changed = 1;
    std::uint8_t used = 0;
    std::uint8_t optimise = 0;   // on the optimisation list

private:
    TBranchA& branch_;
    Kind kind_;
    std::uint8_t active_;
    std::string name_;
    std::string unit_;
    double displayScale_ = 1.0;
    std::string format_;
    double value_ = 0.0;
    CVector impedance_;
};

// One branch of the ladder (passive: a two-terminal impedance; active: a filter section)
// or one correction link across the drivers.
class TBranchA {
public:
    enum Position : std::int32_t { Series = 0, Shunt = 1 };
    static constexpr int kPassiveTypes = 11; // 0 .. 10
    static constexpr int kActiveTypes = 9;   // 0 .. 8
    static constexpr std::size_t kPassiveRecordSize = 2 + 4 * TCompA::kRecordSize;
    static constexpr std::size_t kActiveRecordSize = 2 + 5 * TCompA::kRecordSize;
    static constexpr double kOpenCircuit = 1e12;

    TBranchA(TNetA& net, Position position, int number, bool active);
    TBranchA(const TBranchA&) = delete;
    TBranchA& operator=(const TBranchA&) = delete;

    // Type 0, every component back to its default value, changed.
    void Reset();

    [[nodiscard]] int type() const { return type_; }
    // Recomputes the used flags. A new type marks the branch and its components changed and
    // takes every component off the optimisation list. True when the type changed.
    bool SetType(int type);
    [[nodiscard]] bool used() const { return type_ != 0; }

    void MarkChanged();
    // Evaluates the changed components, then the impedance (passive) or the transfer
    // (active), and clears the flag. Nothing happens when the branch is not changed.
    void Calculate(const CVector& jw, const FVector& frequency);

    // Branch list lines: header, type text, one line per used component, two blanks.
    [[nodiscard]] std::vector<std::string> ListLines();
    // "* Branch 01 *" for ladder branches, "* Branch 11 *" for link 10.
    [[nodiscard]] std::string HeaderLine() const;
    [[nodiscard]] std::string TypeText() const;
    // Cut-off and Q shown for the selected branch; empty for types without one.
    [[nodiscard]] std::string Description() const;

    // The component a list line names by its first five characters; null when none does.
    [[nodiscard]] TCompA* ComponentForLine(std::string_view line);
    // The arrow keys on a list line: the named component steps; a line shorter than five
    // characters only beeps. The component stepped, or null.
    TCompA* StepLine(std::string_view line, bool up, UiHost* ui);

    // The used components in list order: R1, R2, C, L (passive) or R1, R2, C1, C2, L (active).
    [[nodiscard]] std::vector<TCompA*> UsedComponents();
    // The record order, which is also the list order with every component.
    [[nodiscard]] std::vector<TCompA*> RecordComponents();

    [[nodiscard]] std::size_t RecordSize() const { return active_ ? kActiveRecordSize : kPassiveRecordSize; }
    bool WriteRecord(BinaryWriter& w) const;

    [[nodiscard]] static const char* PassiveTypeText(int type, Position position);
    [[nodiscard]] static const char* PassiveTypeButton(int type);
    // "1st order LP" ... without the list's leading blank.
    [[nodiscard]] static const char* ActiveTypeText(int type);

    [[nodiscard]] TNetA& net() const { return net_; }
    [[nodiscard]] bool isActive() const { return active_ != 0; }
    [[nodiscard]] Position position() const { return static_cast<Position>(position_); }
    [[nodiscard]] int number() const { return number_; }
    [[nodiscard]] const CVector& impedance() const { return impedance_; }
    [[nodiscard]] const CVector& transfer() const { return transfer_; }

    TCompA& R1() { return *r1_; }
    TCompA& R2() { return *r2_; }
    TCompA& L() { return *l_; }
    TCompA& C() { return *c_; }
    TCompA& C1() { return *c1_; }
    TCompA& C2() { return *c2_; }

    std::int32_t drawScale = 1;
    std::uint8_t changed = 1;

private:
    friend class TNetA;
    void updateUsed();
    void calcPassive();
    void calcActive(const CVector& jw, const FVector& frequency);
    // Sets the type without the changed side effects (file reading).
    void setTypeRaw(int type);

    TNetA& net_;
    std::uint8_t active_;
    std::int32_t position_;
    std::int16_t type_ = 0;
    CVector transfer_;
    std::unique_ptr<TCompA> r1_, r2_, l_, c_, c1_, c2_;
    CVector scratch_;
    CVector impedance_;
    std::int16_t number_;
};

// An advanced passive or active network: eight ladder branches between the amplifier and
// one to four drivers, four correction links across the drivers, and the drivers' data.
class TNetA final : public TNetBase, public TMeasDataOwner {
public:
    static constexpr int kPoints = 500;
    static constexpr int kBranches = 8;
    static constexpr int kLinks = 4;
    static constexpr int kMaxDrivers = 4;
    static constexpr int kMaxRays = 17;
    static constexpr int kFirstLinkNumber = 10;
    static constexpr double kDisconnectResistance = 1e12;
    static constexpr double kDisconnectedGain = 1e-12;
    static constexpr const char* kHelpFile = "neta.txt";
    static constexpr const char* kDriverHelpFile = "netda.txt";
    static constexpr std::size_t kPassiveRecordSize =
        28 * 8 + 2 + 2 + 8 + 4 + 4 + 8 + 8 * kPathBlock + 12 * TBranchA::kPassiveRecordSize;
    static constexpr std::size_t kActiveRecordSize =
        28 * 8 + 2 + 2 + 8 + 4 + 4 + 8 + 8 + 8 * kPathBlock + 8 * TBranchA::kActiveRecordSize +
        4 * TBranchA::kPassiveRecordSize;

    enum Connection : std::uint32_t { SeriesConnection = 0, ParallelConnection = 1, PairsConnection = 2 };

    TNetA(TGeneral& general, int netNumber, bool active, TNetProject* project = nullptr);
    TNetA(const TNetA&) = delete;
    TNetA& operator=(const TNetA&) = delete;
    ~TNetA() override;

    // The driver data back to their defaults (curves emptied), as for a new network.
    void ResetDrivers();
    // Every ladder branch and link empty, with default component values.
    void ResetBranches();

    // Solves the network over the grid. False when driver 1's SPL curve (passive: also its
    // impedance curve) is not loaded, which leaves the previous results; true without work
    // when the network is not changed. The changed flag stays for the project to clear.
    [[nodiscard]] bool Solve();
    // Solve, remembering its answer in HasResults().
    bool Calculate() override {
        hasResults_ = Solve();
        return hasResults_;
    }
    // Whether the last Calculate produced results (false: the curves are missing).
    [[nodiscard]] bool HasResults() const { return hasResults_; }
    void ClearChanged() { clearChanged(); }

    // ---- editing
    void MarkChanged() { SetChanged(); }
    [[nodiscard]] TBranchA& Branch(int i) { return *branches_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] TBranchA& Link(int i) { return *links_[static_cast<std::size_t>(i)]; }
    // 0..7 ladder, 10..13 links; null for any other number.
    [[nodiscard]] TBranchA* BranchByNumber(int number);
    // The branch a list header line names ("* Branch 03 *"); null when it names none.
    [[nodiscard]] TBranchA* BranchForHeader(std::string_view line);
    // Which links take part: series one per driver, parallel link 1, pairs links 1 and 2.
    [[nodiscard]] bool LinkInUse(int i) const;
    // Drivers taken into the solution: the pairs connection always has four.
    [[nodiscard]] int DriversInUse() const;

    // The network dialog's list: every ladder branch, then the links in use.
    [[nodiscard]] std::vector<std::string> BranchListLines();
    // Name, value and unit of every used component (the component list drawing).
    [[nodiscard]] std::vector<std::string> ComponentListLines();
    // "%s  Net %d" with the construction title.
    [[nodiscard]] std::string TitleLine() const;
    // The schematic's annotation of driver i.
    [[nodiscard]] std::vector<std::string> DriverAnnotation(int i) const;

    // Driver dialog: the SPL scaling is edited in dB.
    void SetSplScalingDb(int i, double dB);
    [[nodiscard]] double SplScalingDb(int i) const;
    // Clamped to 1..4.
    void SetDriverCount(int n);
    // 0..2; anything else is ignored.
    void SetConnection(int c);

    // ---- curves
    [[nodiscard]] TMeasData& SplData(int i) { return *spl_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] TMeasData& ImpedanceData(int i) { return *zma_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] const TMeasData& SplData(int i) const { return *spl_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] const TMeasData& ImpedanceData(int i) const { return *zma_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] MeasuredGrid MeasGrid() const override;
    void MeasDataChanged(TMeasData& curve) override;

    // ---- results (valid after a true Calculate)
    [[nodiscard]] const CVector& InputImpedance() const { return inputImpedance_; }
    [[nodiscard]] const CVector& Transfer() const { return transfer_; }
    [[nodiscard]] const CMatrix& DriverBranchImpedance() const { return driverBranch_; }
    [[nodiscard]] const CMatrix& PairImpedance() const { return pairImpedance_; }
    [[nodiscard]] const CMatrix& DriverImpedance() const { return driverImpedance_; }
    [[nodiscard]] const CMatrix& DriverVoltageRatio() const { return voltageRatio_; }
    [[nodiscard]] const FMatrix& DriverGain() const { return driverGain_; }
    [[nodiscard]] const FVector& TransferPhase() const { return transferPhase_; }
    [[nodiscard]] const FVector& ImpedanceMagnitude() const { return impedanceMagnitude_; }
    [[nodiscard]] const FVector& ImpedancePhase() const { return impedancePhase_; }
    [[nodiscard]] const FVector& SplPhase() const { return splPhase_; }
    [[nodiscard]] const FVector& GroupDelay() const { return groupDelay_; }
    [[nodiscard]] const CMatrix& DriverSpl() const { return driverSpl_; }
    // Row k is surface ray k of the general settings.
    [[nodiscard]] const CMatrix& AngleSpl() const { return angleSpl_; }
    [[nodiscard]] const FMatrix& AngleSplLevel() const { return angleSplLevel_; }

    // Group delay in ms of a phase curve in degrees on the grid; a step between neighbours
    // of more than 180 degrees is taken as a wrap.
    static void GroupDelayOf(const FVector& phase, const FVector& frequency, FVector& gd);

    // ---- project file record
    [[nodiscard]] std::size_t RecordSize() const { return isActive() ? kActiveRecordSize : kPassiveRecordSize; }
    bool WriteRecord(BinaryWriter& w) const;
    // All or nothing: a short record or a value this program never writes (driver count,
    // connection, branch type) changes nothing. Then every named curve is read again; a
    // driver 2..4 whose file cannot be read falls back on driver 1's curve.
    [[nodiscard]] bool ReadRecord(BinaryReader& r, UiHost* ui);

    [[nodiscard]] bool isActive() const { return active_ != 0; }
    [[nodiscard]] int netNumber() const { return netNumber_; }

    // ---- data, as the dialogs write it (SI units); whoever writes one calls Edited().
    std::int32_t largeSymbols = 0;   // the schematic window draws at scale 3
    std::uint32_t connection = SeriesConnection;
    std::uint8_t polarityInverted = 0;
    std::int16_t driverCount = 1;
    std::uint8_t disconnected = 0;
    std::int32_t cursorX = 20, cursorY = 90;
    double Re = 8.0;                 // load of a driver without impedance data (active)
    double Rex = 0.0;                // in series with every driver
    double Le = 0.001;               // stored and shown only
    std::array<double, kMaxDrivers> dX{}, dY{}, dZ{};
    std::array<double, kMaxDrivers> pistonRadius{};
    std::array<double, kMaxDrivers> splScaling{};
    std::array<double, kMaxDrivers> impedanceScaling{};
    std::array<std::uint8_t, kMaxDrivers> splSame{};
    std::array<std::uint8_t, kMaxDrivers> impedanceSame{};
    double activeGain = 1.0;
    // "Driver size": stored by the dialog only.
    std::int32_t driverSize = 0;

    // Optimiser and wizard settings; the optimiser and the wizards use them.
    std::int32_t optimiserMode = 0;  // 0 normal, 2 running
    std::int16_t optimiserRay = 0;   // surface ray whose level the optimiser reads
    std::uint8_t liveUpdate = 0;
    std::int16_t stepSize = 50;
    std::int16_t targetHpType = 0, targetLpType = 0;
    std::int16_t rangeLower = 20, rangeUpper = 20000;
    std::uint8_t viewUnfiltered = 0;
    std::int16_t targetHpFc = 2, targetLpFc = 20000;
    std::int16_t targetHpOrder = 0, targetLpOrder = 0;
    std::int16_t wizardLpOrder = 0, wizardHpOrder = 0;
    std::int16_t wizardLpFc = 5000, wizardHpFc = 500;
    double wizardLoad = 8.0;
    std::int16_t wizardInsertion = 0;
    std::int16_t activeWizardFc = 1000;
    std::uint8_t activeWizardLp = 1;
    std::int32_t activeWizardOrder = 0;
    // Two fields of the record whose use the network does not define; kept as read.
    double recordDouble = 0.0;
    std::uint32_t recordSetting = 1;

    [[nodiscard]] bool OptimiserRunning() const { return optimiserMode == 2; }

private:
    struct RayFactorKey {
        double theta = 0, a = 0, x = 0, y = 0, z = 0, distance = 0;
        int infinite = -1;
        bool operator==(const RayFactorKey&) const = default;
    };

    void driverLoads(int n);
    void passiveLadder();
    void activeCascade();
    void rayFactor(int driver, int ray);
    void sumRay(int ray, int n);

    bool hasResults_ = false;
    std::int16_t netNumber_;
    std::uint8_t active_;

    std::array<std::unique_ptr<TBranchA>, kBranches> branches_;
    std::array<std::unique_ptr<TBranchA>, kLinks> links_;
    std::array<std::unique_ptr<TMeasData>, kMaxDrivers> spl_;
    std::array<std::unique_ptr<TMeasData>, kMaxDrivers> zma_;
    // The name blocks as last read, so that a record comes out again byte for byte.
    std::array<std::array<char, kPathBlock>, 2 * kMaxDrivers> nameBlocks_{};

    CVector inputImpedance_;
    CMatrix driverBranch_;
    CMatrix pairImpedance_;
    CMatrix driverImpedance_;
    CMatrix voltageRatio_;
    CVector transfer_;
    FMatrix driverGain_;
    FVector transferPhase_;
    FVector impedanceMagnitude_;
    FVector impedancePhase_;
    FVector splPhase_;
    FVector groupDelay_;
    CMatrix driverSpl_;
    CVector scratch_;
    CMatrix angleSpl_;
    FMatrix angleSplLevel_;

    // Off-axis factor per driver and ray (row driver * kMaxRays + ray) and the geometry it
    // was made for: a component change only multiplies.
    CMatrix rayFactors_;
    std::array<RayFactorKey, kMaxDrivers * kMaxRays> rayKeys_{};
};

} // namespace harlox
