#pragma once

#include "core/measured_file.h"
#include "core/ui_host.h"
#include "numeric/cmatrix.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace harlox {

class TMeasData;

// What a measured curve needs of the network that owns it: the filter frequency grid and
// someone to tell when the user chose a new file.
class TMeasDataOwner {
public:
    virtual ~TMeasDataOwner() = default;
    // The filter grid: its frequencies and their natural logarithms (normally 500 points).
    [[nodiscard]] virtual MeasuredGrid MeasGrid() const = 0;
    // A newly chosen file was read: mark the network changed and ask for a recalculation.
    virtual void MeasDataChanged(TMeasData& curve) = 0;
};

// A measured SPL or impedance curve, resampled onto the filter grid when it is read: SPL as
// 10^(dB/20)·e^(jφ), impedance as |Z|·e^(jφ). Only the file name is stored in a project;
// the curve is read from the file again whenever the project is opened.
class TMeasData {
public:
    static constexpr const char* kCaption = "Measured data";
    static constexpr const char* kSplFilter = "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|CLIO "
                                              "(*.txt)|*.txt|MLLSA (*.fmp)|*.fmp|All (*.*)|*.*";
    static constexpr const char* kImpedanceFilter = "LAUD impedance (*.zma)|*.zma|LEAP (*.gdt)|*.gdt|CLIO "
                                                    "(*.txt)|*.txt|MLLSA (*.fmp)|*.fmp|All (*.*)|*.*";
    static constexpr int kPoints = 500;
    static constexpr std::size_t kMaxNameLength = kPathBlock - 1;

    TMeasData(TMeasDataOwner& owner, MeasuredKind kind);
    TMeasData(const TMeasData&) = delete;
    TMeasData& operator=(const TMeasData&) = delete;

    // Empties the file name and marks the curve not loaded; the values stay as they are.
    void ClearCurve();

    // Shows the open-file selector; on confirm stores the name (relative to the program
    // directory when it lies below it), reads the curve and tells the owner. Refusals and
    // notices about the file's columns are shown. False on Cancel.
    bool SelectFile(UiHost& ui);

    // Reads the named file onto the grid. A file that cannot be opened or from which nothing
    // loads shows why (caption "Measured data") when `ui` is given; the name is kept either
    // way. True when the curve is loaded.
    bool ReadCurve(UiHost* ui);

    // The name as stored in the project (at most 270 characters; longer names are cut).
    void SetFileName(std::string_view name);
    [[nodiscard]] const std::string& FileName() const { return fileName_; }
    [[nodiscard]] bool Loaded() const { return loaded_ != 0; }
    [[nodiscard]] const CVector& Values() const { return values_; }
    [[nodiscard]] MeasuredKind Kind() const { return kind_; }
    [[nodiscard]] FileSelector& Selector() { return selector_; }

    // Why the last read loaded nothing, or what to know about a file that loaded (no phase
    // column, a group delay column); empty after a clean read.
    [[nodiscard]] const std::string& LastMessage() const { return message_; }
    // What the last read met in the file.
    [[nodiscard]] const MeasuredReadReport& LastReport() const { return report_; }

private:
    void refuse(UiHost* ui, std::string text);

    FileSelector selector_;
    std::string fileName_;
    std::uint8_t loaded_ = 0;
    CVector values_;
    TMeasDataOwner& owner_;
    MeasuredKind kind_;
    std::string message_;
    MeasuredReadReport report_;
};

} // namespace harlox
