#include "driver/unit_completion.h"

#include "core/command_ids.h"
#include "core/constants.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace harlox {

namespace {

constexpr std::array<UnitFieldInfo, kUnitFieldCount> kFields{{
    {UnitField::Re, "Re", "ohm", "%2.1f", 100000.0, 1.0, 1.0},
    {UnitField::Le, "Le", "mH", "%3.2f", 100000.0, 0.001, 1000.0},
    {UnitField::fs, "fs", "Hz", "%2.1f", 100000.0, 1.0, 1.0},
    {UnitField::Qms, "Qms", "-", "%3.2f", 100.0, 1.0, 1.0},
    {UnitField::Qes, "Qes", "-", "%3.2f", 100.0, 1.0, 1.0},
    {UnitField::Qts, "Qts", "-", "%3.2f", 100.0, 1.0, 1.0},
    {UnitField::Rms, "Rms", "Ns/m", "%3.2f", 10000.0, 1.0, 1.0},
    {UnitField::Mmd, "Mmd", "g", "%3.2f", 10000.0, 0.001, 1000.0},
    {UnitField::Mms, "Mms", "g", "%3.2f", 10000.0, 0.001, 1000.0},
    {UnitField::Cms, "Cms", "m/N", "%3.1e", 10.0, 1.0, 1.0},
    {UnitField::Cas, "Cas", "m^5/N", "%3.1e", 10.0, 1.0, 1.0},
    {UnitField::Vas, "Vas", "l", "%3.2f", 100000.0, 0.001, 1000.0},
    {UnitField::Sd, "Sd", "cm^2", "%2.1f", 100000.0, 0.0001, 10000.0},
    {UnitField::Bl, "Bl", "N/A", "%3.2f", 100000.0, 1.0, 1.0},
    {UnitField::Pmax, "Pmax", "W", "%2.0f", 100000.0, 1.0, 1.0},
    {UnitField::Xmax, "Xmax", "mm", "%2.1f", 1000.0, 0.001, 1000.0},
    {UnitField::h, "Airgap height", "mm", "%2.1f", 1000.0, 0.001, 1000.0},
    {UnitField::l, "Voicecoil height", "mm", "%2.1f", 1000.0, 0.001, 1000.0},
}};

constexpr std::array<UnitField, kUnitFieldCount> kFieldOrder{
    UnitField::Re,  UnitField::Le,  UnitField::fs,   UnitField::Qms,  UnitField::Qes, UnitField::Qts,
    UnitField::Rms, UnitField::Mmd, UnitField::Mms,  UnitField::Cms,  UnitField::Cas, UnitField::Vas,
    UnitField::Sd,  UnitField::Bl,  UnitField::Pmax, UnitField::Xmax, UnitField::h,   UnitField::l};

double cube(double v) {
    return v * v * v;
}

bool allGiven(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v != 0.0; });
}

} // namespace

const UnitFieldInfo& unitFieldInfo(UnitField field) {
    return kFields[static_cast<std::size_t>(field)];
}

const std::array<UnitField, kUnitFieldCount>& allUnitFields() {
    return kFieldOrder;
}

namespace {

// One switch for the mutable and the read-only record.
template <typename Unit> auto& fieldOf(Unit& unit, UnitField field) {
    switch (field) {
    case UnitField::Re:
        return unit.Re;
    case UnitField::Le:
        return unit.Le;
    case UnitField::fs:
        return unit.fs;
    case UnitField::Qms:
        return unit.Qms;
    case UnitField::Qes:
        return unit.Qes;
    case UnitField::Qts:
        return unit.Qts;
    case UnitField::Rms:
        return unit.Rms;
    case UnitField::Mmd:
        return unit.Mmd;
    case UnitField::Mms:
        return unit.Mms;
    case UnitField::Cms:
        return unit.Cms;
    case UnitField::Cas:
        return unit.Cas;
    case UnitField::Vas:
        return unit.Vas;
    case UnitField::Sd:
        return unit.Sd;
    case UnitField::Bl:
        return unit.Bl;
    case UnitField::Pmax:
        return unit.Pmax;
    case UnitField::Xmax:
        return unit.Xmax;
    case UnitField::h:
        return unit.h;
    case UnitField::l:
        return unit.l;
    }
    return unit.Re;
}

} // namespace

double& unitFieldRef(TSpkData& unit, UnitField field) {
    return fieldOf(unit, field);
}

double unitFieldValue(const TSpkData& unit, UnitField field) {
    return fieldOf(unit, field);
}

double unitFieldShown(const TSpkData& unit, UnitField field) {
    return unitFieldValue(unit, field) * unitFieldInfo(field).toShown;
}

// ---------------------------------------------------------------------------------------
// Relations

void TUnitCompletion::setSd(TSpkData& unit, double sd) {
    unit.Sd = sd;
    unit.a = std::sqrt(sd * kInvPi); // the editor multiplies, the record divides by pi
    unit.Sd2 = sd * sd;
}

void TUnitCompletion::setBl(TSpkData& unit, double bl) {
    unit.Bl = bl;
    unit.Bl2 = bl * bl;
}

bool TUnitCompletion::apply(TSpkData& u, UnitRelation relation, Mode mode) {
    using R = UnitRelation;
    const bool fill = mode == Mode::Fill;
    double* target = nullptr;
    bool given = false;
    switch (relation) {
    case R::R1:
        target = &u.Sd, given = allGiven({u.Vas, u.Cms});
        break;
    case R::R2:
        target = &u.Vas, given = allGiven({u.Sd, u.Cms});
        break;
    case R::R3:
        target = &u.Cms, given = allGiven({u.Sd, u.Vas});
        break;
    case R::R4:
        target = &u.Cas, given = allGiven({u.Vas});
        break;
    case R::R5:
        target = &u.Qms, given = allGiven({u.fs, u.Mms, u.Rms});
        break;
    case R::R6:
        target = &u.Qes, given = allGiven({u.fs, u.Mms, u.Re, u.Bl});
        break;
    case R::R7:
        target = &u.Qts, given = allGiven({u.Qms, u.Qes});
        break;
    case R::R8:
        target = &u.Xmax, given = allGiven({u.l, u.h});
        break;
    case R::R9:
        target = &u.l, given = allGiven({u.Xmax, u.h});
        break;
    case R::R10:
        target = &u.h, given = allGiven({u.Xmax, u.l});
        break;
    case R::R11:
        target = &u.Mmd, given = allGiven({u.fs, u.Cms, u.a});
        break;
    case R::R12:
        target = &u.Mms, given = allGiven({u.fs, u.Cms});
        break;
    case R::R13:
        target = &u.Rms, given = allGiven({u.fs, u.Mms, u.Qms});
        break;
    case R::R14:
        target = &u.fs, given = allGiven({u.Mms, u.Cms});
        break;
    case R::R15:
        target = &u.Bl, given = allGiven({u.fs, u.Mms, u.Re, u.Qes});
        break;
    case R::R16:
        target = &u.Re, given = allGiven({u.fs, u.Mms, u.Bl, u.Qes});
        break;
    }
    if (target == nullptr || !given || (fill && *target != 0.0)) return false;

    const double rhoC2 = kRhoC2Editor;
    double v = 0.0;
    switch (relation) {
    case R::R1:
        v = std::sqrt(u.Vas / (u.Cms * rhoC2));
        break;
    case R::R2:
        v = u.Cms * rhoC2 * u.Sd * u.Sd;
        break;
    case R::R3:
        v = u.Vas / (u.Sd * u.Sd * rhoC2);
        break;
    case R::R4:
        v = u.Vas * kInvRhoC2Editor;
        break;
    case R::R5:
        v = kTwoPi * u.fs * u.Mms / u.Rms;
        break;
    case R::R6:
        v = kTwoPi * u.fs * u.Mms * u.Re / (u.Bl * u.Bl);
        break;
    case R::R7:
        v = 1.0 / (1.0 / u.Qms + 1.0 / u.Qes);
        break;
    case R::R8:
        v = std::abs(u.l - u.h);
        break;
    // The coil overhangs the gap by Xmax on each side: l = Xmax + h, whichever way it is
    // used, so a completed unit agrees with R8.
    case R::R9:
        v = u.Xmax + u.h;
        break;
    case R::R10:
        v = fill ? std::abs(u.l - u.Xmax) : u.l - u.Xmax;
        break;
    case R::R11:
        v = 1.0 / (u.fs * u.fs * kFourPiSquared * u.Cms) - kAirLoadCoefficient * cube(u.a);
        break;
    case R::R12:
        v = 1.0 / (u.fs * u.fs * kFourPiSquared * u.Cms);
        break;
    case R::R13:
        v = kTwoPi * u.fs * u.Mms / u.Qms;
        break;
    case R::R14:
        v = 1.0 / (kTwoPi * std::sqrt(u.Mms * u.Cms));
        break;
    case R::R15:
        v = std::sqrt(kTwoPi * u.fs * u.Mms * u.Re / u.Qes);
        break;
    case R::R16:
        v = u.Bl * u.Bl * u.Qes / (kTwoPi * u.fs * u.Mms);
        break;
    }
    // Values read from a file may be negative; a relation that has no real answer for
    // them leaves its target alone.
    if (!std::isfinite(v)) return false;
    if (relation == R::R1) {
        setSd(u, v);
    } else if (relation == R::R15) {
        setBl(u, v);
    } else {
        *target = v;
    }
    return true;
}

void TUnitCompletion::calcMissingFields(TSpkData& unit) {
    using R = UnitRelation;
    static constexpr R kOrder[] = {R::R1, R::R2,  R::R3,  R::R4,  R::R5,  R::R6,  R::R7, R::R8,
                                   R::R9, R::R10, R::R11, R::R12, R::R13, R::R14, R::R15};
    for (int pass = 0; pass < kPasses; ++pass) {
        for (const R r : kOrder)
            apply(unit, r, Mode::Fill);
    }
    unit.Sd2 = unit.Sd * unit.Sd;
    unit.Bl2 = unit.Bl * unit.Bl;
}

void TUnitCompletion::crosscalcList(TSpkData& u, UnitField field, bool& refused) {
    using R = UnitRelation;
    const auto run = [&u](std::initializer_list<R> list) {
        for (const R r : list)
            apply(u, r, Mode::Overwrite);
    };
    // The tail shared by the mass entries: fs, the Q values and Bl follow the new mass.
    const auto afterMass = [&] {
        run({R::R14});
        run({u.Rms != 0.0 ? R::R5 : R::R13});
        run({u.Re != 0.0 ? R::R6 : R::R16});
        run({R::R7, R::R15});
    };
    switch (field) {
    case UnitField::Sd:
        // Cas follows Vas wherever Vas is recomputed.
        if (u.Vas != 0.0) {
            run({R::R3, R::R4});
        } else {
            run({R::R2, R::R4});
        }
        run({u.Mms != 0.0 ? R::R14 : R::R12});
        run({R::R11, R::R5});
        if (u.Re != 0.0) {
            run({R::R6, R::R7});
        } else {
            run({R::R16});
        }
        run({R::R15});
        break;
    case UnitField::Vas:
        run({R::R3, R::R4, R::R14, R::R6, R::R5, R::R7, R::R15});
        break;
    case UnitField::Cas:
        if (u.Sd != 0.0) u.Cms = u.Cas / (u.Sd * u.Sd);
        run({R::R2});
        if (u.Mms != 0.0) run({R::R14});
        run({R::R11, R::R6, R::R5, R::R7, R::R15});
        break;
    case UnitField::Cms:
        // A typed compliance is taken over like an entry of Cas.
        if (u.Sd != 0.0) {
            run({R::R2, R::R4});
        } else {
            run({R::R1});
        }
        run({u.Mms != 0.0 ? R::R14 : R::R12});
        run({R::R11, R::R6, R::R5, R::R7, R::R15});
        break;
    case UnitField::Qms:
        run({R::R13, R::R7});
        break;
    case UnitField::Qes:
        run({R::R7, R::R15});
        break;
    case UnitField::Qts: {
        // The other Q follows from 1/Qts = 1/Qms + 1/Qes; a result that is not a positive
        // finite number means the entry contradicts the other Q.
        const auto other = [&u](double q) {
            const double v = 1.0 / (1.0 / u.Qts - 1.0 / q);
            return u.Qts != 0.0 && std::isfinite(v) && v > 0.0 ? v : 0.0;
        };
        if (u.Qes != 0.0) {
            const double qms = other(u.Qes);
            if (qms == 0.0) {
                refused = true;
                return;
            }
            u.Qms = qms;
            run({R::R13});
        } else if (u.Qms != 0.0) {
            const double qes = other(u.Qms);
            if (qes == 0.0) {
                refused = true;
                return;
            }
            u.Qes = qes;
            run({R::R15});
        }
        break;
    }
    case UnitField::Mmd:
        u.Mms = u.Mmd != 0.0 && u.a != 0.0 ? u.Mmd + kAirLoadCoefficient * cube(u.a) : 0.0;
        afterMass();
        break;
    case UnitField::Mms:
        u.Mmd = u.Mms != 0.0 && u.a != 0.0 ? u.Mms - kAirLoadCoefficient * cube(u.a) : 0.0;
        afterMass();
        break;
    case UnitField::Rms:
        run({R::R5, R::R7});
        break;
    case UnitField::fs:
        if (u.Cms != 0.0) {
            run({R::R12, R::R11});
        } else if (u.Mms != 0.0 && u.fs != 0.0) {
            u.Cms = 1.0 / (u.fs * u.fs * kFourPiSquared * u.Mms);
            // Vas first, so that Cas is computed from the new Vas.
            run({R::R2, R::R4});
        }
        run({u.Re != 0.0 ? R::R6 : R::R16});
        run({u.Rms != 0.0 ? R::R5 : R::R13});
        run({R::R7, R::R15});
        break;
    case UnitField::Bl:
        run({u.Re != 0.0 ? R::R6 : R::R16});
        run({R::R7});
        break;
    case UnitField::Re:
        run({R::R15, R::R6, R::R7});
        break;
    case UnitField::Le:
    case UnitField::Pmax:
        break;
    case UnitField::Xmax:
        if (u.h != 0.0) {
            run({R::R9});
        } else if (u.l != 0.0) {
            if (u.l - u.Xmax < 0.0) {
                refused = true;
                return;
            }
            run({R::R10});
        }
        break;
    case UnitField::h:
        if (u.l != 0.0) run({R::R8});
        break;
    case UnitField::l:
        if (u.h != 0.0) {
            if (u.l - u.Xmax < 0.0) {
                refused = true;
                return;
            }
            run({R::R8});
        }
        break;
    }
}

bool TUnitCompletion::enterField(TSpkData& unit, UnitField field, double value, bool crosscalc) {
    if (!std::isfinite(value) || value < 0.0) return false;
    TSpkData next(unit);
    if (field == UnitField::Sd) {
        setSd(next, value);
    } else if (field == UnitField::Bl) {
        setBl(next, value);
    } else {
        unitFieldRef(next, field) = value;
    }
    if (crosscalc) {
        bool refused = false;
        crosscalcList(next, field, refused);
        if (refused) return false;
        next.Sd2 = next.Sd * next.Sd;
        next.Bl2 = next.Bl * next.Bl;
    }
    unit = next;
    return true;
}

// ---------------------------------------------------------------------------------------
// Editor

namespace {

constexpr const char* kChangedSaveFile = "File has been changed.\r\nSave file ?";
constexpr const char* kChangedSaveBeforeExit = "File has been changed.\r\nSave before exit ?";
constexpr const char* kLoadFailed = "Could not open file.\nCheck path and filename.";
constexpr const char* kSaveFailed = "Could not open file.\nCheck if device is ready\nor if the disk is full.";

std::int16_t toInt16(int v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

bool isBlank(const TSpkData& unit) {
    for (const UnitField f : allUnitFields()) {
        if (unitFieldValue(unit, f) != 0.0) return false;
    }
    return unit.manufacturer[0] == '\0' && unit.model[0] == '\0' && unit.note[0] == '\0';
}

} // namespace

TSpeakerUnitEditor::TSpeakerUnitEditor(UiHost& host, TSpkData& unit, FileSelector& selector)
    : host_(host), unit_(unit), selector_(selector) {
    if (selector_.filter.empty()) selector_.filter = kUnitFileFilter;
    if (selector_.defaultExtension.empty()) selector_.defaultExtension = kUnitFileExtension;
}

void TSpeakerUnitEditor::opened() {
    offerBuiltInUnit();
    host_.grey(cmd::DriverEdit);
}

void TSpeakerUnitEditor::closed(int left, int top) {
    unit_.editorLeft = toInt16(left);
    unit_.editorTop = toInt16(top);
    host_.enable(cmd::DriverEdit);
}

bool TSpeakerUnitEditor::offerBuiltInUnit() {
    if (!isBlank(unit_)) return false;
    unit_.SetDefault();
    changed_ = false;
    path_.clear();
    return true;
}

bool TSpeakerUnitEditor::askToSave(std::string_view question) {
    if (!changed_) return true;
    switch (host_.ask(kCaption, question)) {
    case MessageResult::Yes:
        return Save(); // a failed or cancelled save keeps the record
    case MessageResult::No:
        return true;
    case MessageResult::Ok:
    case MessageResult::Cancel:
        return false;
    }
    return false;
}

void TSpeakerUnitEditor::clearRecord() {
    unit_.Clear();
    changed_ = false;
    path_.clear();
}

bool TSpeakerUnitEditor::New() {
    if (!askToSave(kChangedSaveFile)) return false;
    clearRecord();
    return true;
}

bool TSpeakerUnitEditor::Open() {
    if (!askToSave(kChangedSaveFile)) return false;
    const std::optional<std::string> chosen = host_.selectFile(selector_, FileMode::Open);
    if (!chosen) return false;
    if (!unit_.Load(*chosen)) {
        host_.error("File load", kLoadFailed);
        clearRecord();
        return false;
    }
    path_ = *chosen;
    lastUnitPath_ = makeRelativeToProgramDir(*chosen);
    changed_ = false;
    return true;
}

bool TSpeakerUnitEditor::saveTo(const std::string& path, const char* failureCaption) {
    if (!unit_.Save(path)) {
        host_.error(failureCaption, kSaveFailed);
        return false;
    }
    path_ = path;
    changed_ = false;
    return true;
}

bool TSpeakerUnitEditor::Save() {
    if (path_.empty()) return SaveAs();
    return saveTo(path_, "File save");
}

bool TSpeakerUnitEditor::SaveAs() {
    if (!path_.empty()) selector_.rememberedPath = path_;
    const std::optional<std::string> chosen = host_.selectFile(selector_, FileMode::Save);
    if (!chosen) return false;
    return saveTo(*chosen, "File save as");
}

bool TSpeakerUnitEditor::PrintData(const Printer& printer) {
    const PrintOutcome outcome =
        printer ? printer(kPrintDocument, kPrintJob, unit_.dataSheetText()) : PrintOutcome::Failed;
    if (outcome == PrintOutcome::Failed) host_.error("Printer failure", "Unable to print window");
    return outcome == PrintOutcome::Printed;
}

bool TSpeakerUnitEditor::CopyData(const Clipboard& clipboard) {
    if (clipboard && clipboard(unit_.dataSheetText())) return true;
    host_.error("Copy window", "Out of memory");
    return false;
}

void TSpeakerUnitEditor::setNote(std::string_view note) {
    const std::string before = unit_.noteText();
    unit_.setNote(note);
    if (unit_.noteText() != before) changed_ = true;
}

bool TSpeakerUnitEditor::calcMissingFieldsEnabled() const {
    return unit_.crosscalc == 0;
}

bool TSpeakerUnitEditor::CalcMissingFields() {
    if (!calcMissingFieldsEnabled()) return false;
    const std::string before = unit_.toBytes();
    TUnitCompletion::calcMissingFields(unit_);
    if (unit_.toBytes() != before) changed_ = true;
    return true;
}

bool TSpeakerUnitEditor::CanClose() {
    return askToSave(kChangedSaveBeforeExit);
}

bool TSpeakerUnitEditor::enterField(UnitField field, double shownValue) {
    const UnitFieldInfo& info = unitFieldInfo(field);
    const bool inRange = shownValue >= 0.0 && shownValue <= info.maximum;
    if (!inRange ||
        !TUnitCompletion::enterField(unit_, field, shownValue * info.toSi, unit_.crosscalc != 0)) {
        host_.beep();
        return false;
    }
    changed_ = true;
    return true;
}

void TSpeakerUnitEditor::setCrosscalc(bool on) {
    const std::int16_t v = on ? 1 : 0;
    if (unit_.crosscalc != v) changed_ = true;
    unit_.crosscalc = v;
}

void TSpeakerUnitEditor::setDualCoil(bool on) {
    const std::int16_t v = on ? 1 : 0;
    if (unit_.dualCoil != v) changed_ = true;
    unit_.dualCoil = v;
}

void TSpeakerUnitEditor::setSpeakerType(int type) {
    const std::int16_t v = toInt16(std::clamp(type, 0, 5));
    if (unit_.speakerType != v) changed_ = true;
    unit_.speakerType = v;
}

void TSpeakerUnitEditor::setManufacturer(std::string_view text) {
    const std::string before = unit_.manufacturerText();
    unit_.setManufacturer(text);
    if (unit_.manufacturerText() != before) changed_ = true;
}

void TSpeakerUnitEditor::setModel(std::string_view text) {
    const std::string before = unit_.modelText();
    unit_.setModel(text);
    if (unit_.modelText() != before) changed_ = true;
}

std::string TSpeakerUnitEditor::efficiencyText() const {
    return unit_.efficiencyText();
}
std::string TSpeakerUnitEditor::sensitivityText() const {
    return unit_.sensitivityText();
}
std::string TSpeakerUnitEditor::dataSheetText() const {
    return unit_.dataSheetText();
}

} // namespace harlox
