#pragma once

#include "core/ui_host.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace harlox {

class TSpkData;

// The numeric fields of the speaker unit editor, in the order of its layout.
enum class UnitField { Re, Le, fs, Qms, Qes, Qts, Rms, Mmd, Mms, Cms, Cas, Vas, Sd, Bl, Pmax, Xmax, h, l };
inline constexpr std::size_t kUnitFieldCount = 18;

// How a field is typed and shown. The range always starts at 0.
struct UnitFieldInfo {
    UnitField field;
    const char* label;  // "Re", "Airgap height"
    const char* unit;   // "ohm", "cm^2"; "-" for the Q values
    const char* format; // printf format of the shown value
    double maximum;     // in the shown unit
    double toSi;        // shown value * toSi = stored value
    double toShown;     // stored value * toShown = shown value
};

[[nodiscard]] const UnitFieldInfo& unitFieldInfo(UnitField field);
[[nodiscard]] const std::array<UnitField, kUnitFieldCount>& allUnitFields();
// The stored (SI) value of a field.
[[nodiscard]] double& unitFieldRef(TSpkData& unit, UnitField field);
[[nodiscard]] double unitFieldValue(const TSpkData& unit, UnitField field);
// The value in the unit the editor shows.
[[nodiscard]] double unitFieldShown(const TSpkData& unit, UnitField field);

// The small-signal relations between the parameters. Each computes its target from its
// sources when all sources are non-zero.
enum class UnitRelation { R1 = 1, R2, R3, R4, R5, R6, R7, R8, R9, R10, R11, R12, R13, R14, R15, R16 };

class TUnitCompletion {
public:
    // Fill: the target is written only while it is 0 (the one-shot completion); the
    // heights then never turn negative. Overwrite: the target is always recomputed
    // (Crosscalc).
    enum class Mode { Fill, Overwrite };

    static constexpr double kAirLoadCoefficient = 3.15; // kg/m^3: Mms = Mmd + 3.15 a^3
    static constexpr double kInvRhoC2Editor = 7.142857142857143e-06;
    static constexpr int kPasses = 3;

    // Returns true when the relation wrote its target.
    static bool apply(TSpkData& unit, UnitRelation relation, Mode mode = Mode::Overwrite);

    // "Calc. missing fields": three passes of R1 .. R15 over the empty (zero) fields.
    static void calcMissingFields(TSpkData& unit);

    // Stores a typed value (SI) and, with Crosscalc on, recomputes the dependent fields.
    // Returns false when the entry is refused; the record is then unchanged.
    [[nodiscard]] static bool enterField(TSpkData& unit, UnitField field, double value, bool crosscalc);

    // Writers that keep the derived values in step: a and Sd2 with Sd, Bl2 with Bl.
    static void setSd(TSpkData& unit, double sd);
    static void setBl(TSpkData& unit, double bl);

private:
    static void crosscalcList(TSpkData& unit, UnitField field, bool& refused);
};

inline constexpr const char* kUnitFileFilter = "Unit files (*.unt)|*.unt|All files (*.*)|*.*|";
inline constexpr const char* kUnitFileExtension = "unt";

// The result of handing the data sheet to the printer.
enum class PrintOutcome { Printed, Cancelled, Failed };

// Everything the speaker unit editor does apart from drawing its widgets: the menu
// commands with their questions and messages, field entry with Crosscalc, the changed
// flag and the remembered paths. The window forwards user actions here and then shows the
// record again.
class TSpeakerUnitEditor {
public:
    static constexpr const char* kCaption = "Speaker unit editor";
    static constexpr const char* kHelpFile = "drvunit.txt";
    static constexpr const char* kPrintDocument = "Speaker unit data";
    static constexpr const char* kPrintJob = "Harlox print job";

    using Printer =
        std::function<PrintOutcome(std::string_view document, std::string_view job, std::string_view text)>;
    using Clipboard = std::function<bool(std::string_view text)>;

    // The record and the selector belong to the caller and outlive the editor, so the
    // window position and the chosen folder survive a closed editor.
    TSpeakerUnitEditor(UiHost& host, TSpkData& unit, FileSelector& selector);

    [[nodiscard]] TSpkData& unit() { return unit_; }
    [[nodiscard]] const TSpkData& unit() const { return unit_; }
    [[nodiscard]] bool changed() const { return changed_; }
    // The file last loaded or saved, "" for a new record.
    [[nodiscard]] const std::string& path() const { return path_; }
    // The file last opened, relative to the program directory when it lies below it.
    [[nodiscard]] const std::string& lastUnitPath() const { return lastUnitPath_; }
    [[nodiscard]] FileSelector& selector() { return selector_; }

    // The window opened: an empty record starts as the built-in unit, and the main
    // window's Edit / create command is greyed while the editor is open.
    void opened();
    // The window closed at this screen position.
    void closed(int left, int top);
    // Loads the built-in unit when the record holds nothing yet. Returns whether it did.
    bool offerBuiltInUnit();

    // File menu. Each returns whether the command was carried out.
    bool New();
    bool Open();
    bool Save();
    bool SaveAs();
    bool PrintData(const Printer& printer);
    bool CopyData(const Clipboard& clipboard);
    void setNote(std::string_view note);
    // Refused (false) while Crosscalc is on.
    bool CalcMissingFields();
    [[nodiscard]] bool calcMissingFieldsEnabled() const;
    // Closing the window: asks about an unsaved record. false keeps the window open.
    [[nodiscard]] bool CanClose();

    // A typed value in the field's shown unit. A refused entry beeps; the window then
    // shows the unchanged record.
    bool enterField(UnitField field, double shownValue);
    void setCrosscalc(bool on);
    void setDualCoil(bool on);
    void setSpeakerType(int type);
    void setManufacturer(std::string_view text);
    void setModel(std::string_view text);

    [[nodiscard]] std::string efficiencyText() const;
    [[nodiscard]] std::string sensitivityText() const;
    [[nodiscard]] std::string dataSheetText() const;

private:
    // The changed-file question; false when the user cancelled or the save failed.
    bool askToSave(std::string_view question);
    bool saveTo(const std::string& path, const char* failureCaption);
    void clearRecord();

    UiHost& host_;
    TSpkData& unit_;
    FileSelector& selector_;
    bool changed_ = false;
    std::string path_;
    std::string lastUnitPath_;
};

} // namespace harlox
