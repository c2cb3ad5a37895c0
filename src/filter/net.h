#pragma once

#include "filter/meas_data.h"
#include "filter/net_base.h"
#include "numeric/cmatrix.h"
#include "numeric/fmatrix.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class UiHost;

enum class CompKind : std::int32_t { Resistor = 0, Capacitor = 1, Inductor = 2 };

// One component of a simple network branch. Values are SI (ohm, farad, henry); the dialogs
// and the schematic show them in ohm, uF and mH.
class TComp {
public:
    static constexpr double kDefaultSeriesResistance = 0.5;
    static constexpr std::size_t kTextSize = 10;
    // In use u8, series resistance f64 (from version 310 on), value f64.
    static constexpr std::size_t kRecordSize = 17;
    static constexpr std::size_t kOldRecordSize = 9;
    static constexpr int kSeriesResistanceVersion = 310;

    // Kind, name ("R%d%d" etc. from the section index + 1 and the branch number), unit,
    // display factor, default value and limits; not in use.
    void Reset(CompKind kind, int sectionIndex, int branchIndex);

    double value = 0.0;
    double seriesResistance = kDefaultSeriesResistance; // ohm; inductors only
    double lowerLimit = 0.0;
    double upperLimit = 0.0;
    std::uint8_t inUse = 0;
    std::uint8_t optimise = 0;
    std::uint8_t changed = 0;

    [[nodiscard]] CompKind Kind() const { return kind_; }
    [[nodiscard]] const char* Name() const { return name_.data(); }
    [[nodiscard]] const char* Unit() const { return unit_.data(); }
    [[nodiscard]] double Factor() const { return factor_; }
    // The printf format the value is shown with; it depends on the value.
    [[nodiscard]] const char* ValueFormat() const;
    // The value in display units, an inductor's with ";" and its series resistance.
    [[nodiscard]] std::string DisplayValue() const;
    // Name, value and unit as the schematic shows them: "L11 3.90;0.5 mH".
    [[nodiscard]] std::string Label() const;

    // An entry in display units, an inductor's optionally followed by ";" and the series
    // resistance. False on anything but numbers (blanks around them are allowed).
    [[nodiscard]] static bool ParseEntry(std::string_view text, double& display,
                                         std::optional<double>& seriesResistance);

private:
    CompKind kind_ = CompKind::Resistor;
    std::array<char, kTextSize> name_{};
    std::array<char, kTextSize> unit_{};
    double factor_ = 1.0;
};

enum class BranchPosition : std::int32_t { Series = 0, Shunt = 1 };

// One two-terminal branch of a simple network: a type from " None" to " R // L // C" built
// from its resistor, inductor and capacitor, and its impedance on the filter grid.
class TBranch {
public:
    enum Type : std::int16_t {
        None = 0,
        R = 1,
        L = 2,
        C = 3,
        RplusC = 4,
        LplusC = 5,
        LparC = 6,
        RparL = 7,
        RparC = 8,
        RparLparC = 9,
    };
    static constexpr int kTypes = 10;
    // A shunt branch of type " None" is open.
    static constexpr double kOpen = 1e9;
    static constexpr std::size_t kRecordSize = 2 + 3 * TComp::kRecordSize;
    static constexpr std::size_t kOldRecordSize = 2 + 3 * TComp::kOldRecordSize;

    // " None", " R", ... " R // L // C"; null outside 0 .. 9.
    [[nodiscard]] static const char* TypeName(int type);

    TBranch(int index, BranchPosition position, int sectionIndex);

    // Components back to their defaults (not in use) and the type to " None".
    void Reset();
    // Sets the type and which components are in use; marks the branch changed.
    void SetType(int type);
    [[nodiscard]] int GetType() const { return type_; }
    [[nodiscard]] int Index() const { return index_; }
    [[nodiscard]] BranchPosition Position() const { return position_; }
    [[nodiscard]] bool IsSeries() const { return position_ == BranchPosition::Series; }

    TComp& Resistor() { return comps_[0]; }
    TComp& Inductor() { return comps_[1]; }
    TComp& Capacitor() { return comps_[2]; }
    [[nodiscard]] const TComp& Resistor() const { return comps_[0]; }
    [[nodiscard]] const TComp& Inductor() const { return comps_[1]; }
    [[nodiscard]] const TComp& Capacitor() const { return comps_[2]; }
    TComp& Component(CompKind kind);
    [[nodiscard]] const TComp& Component(CompKind kind) const;

    std::uint8_t changed = 1;
    // Recomputes Z from the type when the branch is marked changed.
    void Update(const CVector& jw);
    [[nodiscard]] const CVector& Z() const { return z_; }

private:
    BranchPosition position_;
    std::int16_t type_ = None;
    std::array<TComp, 3> comps_; // resistor, inductor, capacitor
    CVector z_;
    std::int16_t index_;
    int section_;
};

// A simple passive network: a ladder section of up to four elements, a notch, an L-pad and
// a Zobel in front of one or two identical drivers, solved at every point of the filter grid
// for its input impedance, its gain and the drivers' acoustic output along every ray.
class TNet final : public TNetBase, public TMeasDataOwner {
public:
    static constexpr int kPoints = 500;
    static constexpr int kBranches = 8;
    static constexpr int kLadder = 4;
    static constexpr int kRays = 17;
    static constexpr int kNotch = 4;
    static constexpr int kAttenuatorSeries = 5;
    static constexpr int kAttenuatorShunt = 6;
    static constexpr int kZobel = 7;
    // Added to Zin by "Disconnect".
    static constexpr double kDisconnect = 1e12;

    enum SectionKind : std::int32_t { LowPass = 0, BandPass = 1, HighPass = 2 };

    static constexpr int kDriversVersion = 310;
    static constexpr std::size_t kOldRecordSize =
        4 * 8 + 3 * 8 + 2 + 2 + 1 + 2 * kPathBlock + kBranches * TBranch::kOldRecordSize;
    static constexpr std::size_t kRecordSize =
        4 * 8 + (2 + 1 + 1 + 11 * 8) + 3 * 8 + 2 + 2 + 1 + 4 * kPathBlock + kBranches * TBranch::kRecordSize;

    // sectionIndex: 0 bass, 1 midrange, 2 treble.
    TNet(TGeneral& general, int sectionIndex, TNetProject* project = nullptr);

    // Every field to its default and the section's own design (see the section table).
    void Reset();
    bool Calculate() override;

    [[nodiscard]] int SectionIndex() const { return section_; }
    [[nodiscard]] SectionKind Kind() const { return kind_; }
    [[nodiscard]] int DialogId() const;
    [[nodiscard]] const char* HelpFile() const;
    [[nodiscard]] static const char* DriverHelpFile() { return "netdrive.txt"; }
    [[nodiscard]] const std::string& Title() const { return title_; }
    void SetTitle(std::string_view title);

    // ---- the "Calc" buttons: each marks the network changed and tells the project. They
    // refuse (changing nothing) an order outside 0 .. 4, a cut-off or Re that is not positive.
    // The ladder from the low-pass (high-pass) order and cut-off.
    bool DesignLowPass();
    bool DesignHighPass();
    // The L-pad from the attenuator setting.
    bool CalcAttenuator();
    // The Zobel for Re and Le of the driver(s).
    bool CalcZobel();

    // ---- component edits. A value that turns zero or non-zero derives the branch type anew
    // from the components the branch can carry. False (nothing changed) for a value that is
    // negative or not finite, a branch outside 0 .. 7.
    bool SetComponent(int branch, CompKind kind, double value);
    bool SetInductor(int branch, double value, double seriesResistance);
    // An entry in display units (mH, uF, ohm; "value;series R" for an inductor), 0 .. 1000.
    bool SetComponentEntry(int branch, CompKind kind, std::string_view text);
    // The component of that name ("L11", "C14", "R18"), null when there is none; branch gets
    // its branch index.
    [[nodiscard]] TComp* FindComponent(std::string_view name, int* branch = nullptr);

    [[nodiscard]] TBranch& Branch(int b) { return branches_[static_cast<std::size_t>(b)]; }
    [[nodiscard]] const TBranch& Branch(int b) const { return branches_[static_cast<std::size_t>(b)]; }

    // ---- settings; whoever writes one calls Edited() afterwards.
    std::int16_t driverCount = 1;     // 1 or 2 identical drivers
    std::uint8_t driversInSeries = 0; // two drivers: 1 series, 0 parallel
    std::uint8_t invert = 0;          // "Invert polarity"
    std::int16_t highPassOrder = 0;   // 1 .. 4, 0 where the section has no such slope
    std::int16_t lowPassOrder = 0;
    double highPassCutoff = 0.0;                  // Hz
    double lowPassCutoff = 0.0;                   // Hz
    std::uint8_t disconnect = 0;                  // "Disconnect"
    double Re = 8.0;                              // ohm
    double Rex = 0.0;                             // ohm, per driver
    double Le = 0.001;                            // henry
    std::array<double, 2> posX{}, posY{}, posZ{}; // metres, per driver
    double attenuation = 0.0;                     // dB, the attenuator's "Calc" setting
    std::array<double, 2> pistonRadius{0.05, 0.05};
    std::array<double, 2> splScaling{1.0, 1.0}; // linear
    std::array<double, 2> impedanceScaling{1.0, 1.0};

    // Driver 0 or 1.
    TMeasData& Spl(int driver) { return driver == 0 ? spl1_ : spl2_; }
    TMeasData& Impedance(int driver) { return driver == 0 ? zma1_ : zma2_; }
    [[nodiscard]] const TMeasData& Spl(int driver) const { return driver == 0 ? spl1_ : spl2_; }
    [[nodiscard]] const TMeasData& Impedance(int driver) const { return driver == 0 ? zma1_ : zma2_; }

    // The SPL scaling as the driver dialog shows it, 20 log10 of the factor.
    [[nodiscard]] double SplScalingDb(int driver) const;
    void SetSplScalingDb(int driver, double dB);

    // What the schematic writes beside driver 0 or 1: "Driver unit 1", the SPL and impedance
    // file names (or "Not in use"), Rex and the position in mm, as caption / value pairs.
    struct SchematicLine {
        std::string caption;
        std::string value;
    };
    [[nodiscard]] std::array<SchematicLine, 5> DriverSchematic(int driver) const;

    // ---- results on the filter grid
    [[nodiscard]] const CVector& Zin() const { return zin_; }
    [[nodiscard]] const CVector& Zd() const { return zd_; }
    [[nodiscard]] const CVector& H() const { return h_; }
    [[nodiscard]] const CVector& V1() const { return v1_; }
    [[nodiscard]] const CVector& V2() const { return v2_; }
    [[nodiscard]] const FVector& GainDb() const { return gainDb_; }
    [[nodiscard]] const FVector& GainPhase() const { return gainPhase_; }
    [[nodiscard]] const FVector& ZinMagnitude() const { return zinMagnitude_; }
    [[nodiscard]] const FVector& ZinPhase() const { return zinPhase_; }
    [[nodiscard]] const FVector& SplPhase() const { return splPhase_; }
    [[nodiscard]] const FVector& GroupDelay() const { return groupDelay_; }
    [[nodiscard]] const CVector& S1() const { return s1_; }
    [[nodiscard]] const CVector& S2() const { return s2_; }
    [[nodiscard]] const CVector& Z1() const { return z1_; }
    [[nodiscard]] const CVector& Z2() const { return z2_; }
    [[nodiscard]] const CVector& Zload() const { return zload_; }
    // Row k: the network's summed output along surface ray k, and its level in dB.
    [[nodiscard]] const CMatrix& RayOutput() const { return rays_; }
    [[nodiscard]] const FMatrix& RayDb() const { return raysDb_; }

    // ---- project file record
    bool writeRecord(BinaryWriter& w) const;
    // Reads the fields the file version has; a short or impossible record (driver count,
    // orders, branch types, non-finite numbers) changes nothing. Afterwards the named curves
    // are read again from their files (missing ones say so through ui, when given).
    [[nodiscard]] bool readRecord(BinaryReader& r, int fileVersion, UiHost* ui);

    // TMeasDataOwner
    [[nodiscard]] MeasuredGrid MeasGrid() const override;
    void MeasDataChanged(TMeasData& curve) override;

private:
    [[nodiscard]] bool designable(int order, double cutoff) const;
    void designSection(bool lowPass);
    void calcAttenuator();
    void calcZobel();
    // Which of L and C the ladder branch b may carry in this section kind.
    [[nodiscard]] bool carriesInductor(int b) const;
    [[nodiscard]] bool carriesCapacitor(int b) const;
    void retype(int b);
    // Load resistance the designs work into: Re, halved for a parallel pair, doubled for a
    // series pair.
    [[nodiscard]] double designLoad() const;
    [[nodiscard]] bool twoDrivers() const { return driverCount == 2; }
    void markAllBranches();

    int section_;
    SectionKind kind_;
    std::string title_;

    CVector zin_, zd_, h_, v1_, v2_;
    FVector gainDb_, gainPhase_, zinMagnitude_, zinPhase_, splPhase_, groupDelay_;
    CVector s1_, s2_, off1_, off2_, z1_, z2_, zload_;
    CMatrix rays_;
    FMatrix raysDb_;

    std::array<TBranch, kBranches> branches_;
    TMeasData spl1_, spl2_, zma1_, zma2_;
};

} // namespace harlox
