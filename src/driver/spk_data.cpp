#include "driver/spk_data.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/constants.h"
#include "core/format.h"
#include "core/program_dir.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace harlox {

namespace {

// The 19 parameters in file order.
template <typename Rec, typename F> void forEachStoredValue(Rec& r, F&& f) {
    f(r.Sd), f(r.a), f(r.Vas), f(r.Cms), f(r.Cas), f(r.Qms), f(r.Qes), f(r.Qts), f(r.Pmax), f(r.Xmax), f(r.h),
        f(r.l), f(r.Mmd), f(r.Mms), f(r.Rms), f(r.fs), f(r.Bl), f(r.Re), f(r.Le);
}

constexpr const char* kTypeNames[] = {"Bass", "Bass/Midrange", "Midrange", "Midrange/Treble", "Treble",
                                      "Full range"};

} // namespace

TSpkData::TSpkData() { TSpkData::Clear(); }

void TSpkData::Clear() {
    forEachStoredValue(*this, [](double& v) { v = 0.0; });
    Bl2 = Sd2 = 0.0;
    manufacturer.fill('\0');
    model.fill('\0');
    note.fill('\0');
    fileName.fill('\0');
    speakerType = 0;
    crosscalc = 0;
    dualCoil = 0;
}

bool TSpkData::SetDefault() {
    setManufacturer("PEERLESS");
    setModel("180 WR/832732");
    setFileName("832732.UNT");
    setNote("");
    speakerType = 1;
    Sd = 0.013;
    Vas = 0.0329;
    Cms = 0.001391;
    Cas = 2.35e-7;
    Qms = 1.68;
    Qes = 0.37;
    Qts = 0.3;
    Pmax = 150.0;
    Xmax = 0.011;
    h = 0.006;
    l = 0.017;
    Mmd = 0.01496;
    Mms = 0.0158;
    Rms = 2.01;
    fs = 34.0;
    Bl = 7.5;
    Re = 6.1;
    Le = 0.0009;
    crosscalc = 0;
    dualCoil = 0;
    updateDerived();
    return true;
}

void TSpkData::updateDerived() {
    a = std::sqrt(Sd / (1.0 / kInvPi));
    Bl2 = Bl * Bl;
    Sd2 = Sd * Sd;
}

void TSpkData::setManufacturer(std::string_view s) { copyText(manufacturer.data(), manufacturer.size(), s); }
void TSpkData::setModel(std::string_view s) { copyText(model.data(), model.size(), s); }
void TSpkData::setNote(std::string_view s) { copyText(note.data(), note.size(), s); }
void TSpkData::setFileName(std::string_view s) { copyText(fileName.data(), fileName.size(), s); }

std::string TSpkData::toBytes() const {
    BinaryWriter w;
    w.u16(kFileVersion);
    w.zeros(16);
    w.bytes(manufacturer.data(), manufacturer.size());
    w.bytes(model.data(), model.size());
    w.i16(speakerType);
    forEachStoredValue(*this, [&w](double v) { w.f64(v); });
    w.i16(crosscalc);
    const std::size_t noteLen = std::strlen(note.data()) + 1; // the last byte is always NUL
    w.u16(static_cast<std::uint16_t>(noteLen));
    w.bytes(note.data(), noteLen);
    w.i16(dualCoil);
    w.u16(kEndMarker);
    const auto& b = w.buffer();
    return std::string(b.begin(), b.end());
}

bool TSpkData::Save(const std::string& path) {
    setFileName(fileNamePart(path));
    const std::string bytes = toBytes();
    if (!writeFileAtomic(path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})) {
        lastError_ = "cannot write " + path;
        return false;
    }
    return true;
}

bool TSpkData::fromBytes(const std::uint8_t* data, std::size_t size) {
    BinaryReader r({data, size});
    TSpkData t(*this);
    std::uint16_t version = 0;
    if (!r.u16(version)) {
        lastError_ = "the file is too short";
        return false;
    }
    if (version != kFileVersion) {
        lastError_ = strprintf("unknown unit file version %u", static_cast<unsigned>(version));
        return false;
    }
    r.skip(16);
    r.textBlock(t.manufacturer.data(), t.manufacturer.size());
    r.textBlock(t.model.data(), t.model.size());
    r.i16(t.speakerType);
    forEachStoredValue(t, [&r](double& v) { r.f64(v); });
    r.i16(t.crosscalc);
    std::uint16_t noteLen = 0;
    if (!r.u16(noteLen)) {
        lastError_ = "the file is too short";
        return false;
    }
    if (noteLen == 0 || noteLen > kNoteSize) {
        lastError_ = strprintf("the note length %u does not fit the record", static_cast<unsigned>(noteLen));
        return false;
    }
    t.note.fill('\0');
    r.bytes(t.note.data(), noteLen);
    t.note[kNoteSize - 1] = '\0';
    r.i16(t.dualCoil);
    std::uint16_t marker = 0;
    if (!r.u16(marker)) {
        lastError_ = "the file is too short";
        return false;
    }
    if (marker != kEndMarker) {
        lastError_ = "the end marker is missing";
        return false;
    }
    if (t.speakerType < 0 || t.speakerType > 5) t.speakerType = 0;
    t.updateDerived();
    t.lastError_.clear();
    *this = t;
    return true;
}

bool TSpkData::Load(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    // A unit file is at most 980 bytes; anything much larger is not one.
    if (!readFileBytes(path, bytes, 1 << 16)) {
        lastError_ = "cannot open " + path;
        return false;
    }
    if (!fromBytes(bytes.data(), bytes.size())) return false;
    setFileName(fileNamePart(path));
    return true;
}

bool TSpkData::isSufficient() const {
    return Sd != 0 && Vas != 0 && Cms != 0 && Cas != 0 && Qes != 0 && Qms != 0 && Qts != 0 && Re != 0 &&
           Mms != 0 && Mmd != 0 && Rms != 0 && fs != 0 && Bl != 0;
}

double TSpkData::referenceEfficiencyPercent() const { return fs * fs * fs * Vas / Qes * 9.64e-7 * 100.0; }

double TSpkData::sensitivityDb() const { return 112.0 + 10.0 * std::log10(fs * fs * fs * Vas / Qes * 9.64e-7); }

std::string TSpkData::efficiencyText() const {
    return hasEfficiency() ? strprintf("%3.2f", referenceEfficiencyPercent()) : std::string("--");
}

std::string TSpkData::sensitivityText() const {
    return hasEfficiency() ? strprintf("%3.1f", sensitivityDb()) : std::string("--");
}

const char* TSpkData::speakerTypeName(int type) {
    return type >= 0 && type < 6 ? kTypeNames[type] : kTypeNames[0];
}

std::string TSpkData::dataSheetText() const {
    std::vector<std::string> lines{
        "Manufacturer:\t" + manufacturerText(),
        "Model:\t\t" + modelText(),
        "Filename:\t" + fileNameText(),
        std::string("Speaker type:\t") + speakerTypeName(speakerType),
        "",
    };
    const auto add = [&lines](double v, const char* fmt, double scale = 1.0) {
        if (v != 0.0) lines.push_back(strprintf(fmt, v * scale));
    };
    add(Sd, "Sd:\t\t%3.2f cm^2", 10000.0);
    add(Vas, "Vas:\t\t%3.2f l", 1000.0);
    add(Cms, "Cms:\t\t%3.2e m/N");
    add(Cas, "Cas:\t\t%3.2e m^5/N");
    add(Mmd, "Mmd:\t\t%2.2f g", 1000.0);
    add(Mms, "Mms:\t\t%2.2f g", 1000.0);
    add(Rms, "Rms:\t\t%2.2f Ns/m");
    add(fs, "Fs:\t\t%2.1f Hz");
    add(Bl, "Bl:\t\t%2.2f N/A");
    add(Re, "Re:\t\t%2.2f ohm");
    add(Le, "Le:\t\t%2.2f mH", 1000.0);
    add(Qms, "Qms:\t\t%3.2f");
    add(Qes, "Qes:\t\t%3.2f");
    add(Qts, "Qts:\t\t%3.2f");
    add(Pmax, "Pmax:\t\t%2.1f W");
    add(Xmax, "Xmax:\t\t%2.2f mm", 1000.0);
    add(h, "h:\t\t%2.2f mm", 1000.0);
    add(l, "l:\t\t%2.2f mm", 1000.0);
    if (note[0] != '\0') {
        lines.emplace_back("");
        lines.emplace_back("User notes:");
        lines.push_back(noteText());
    }
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

} // namespace harlox
