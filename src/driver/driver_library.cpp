#include "driver/driver_library.h"

#include "driver/unit_completion.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

namespace harlox {

namespace fs = std::filesystem;

namespace {

// ---- units -----------------------------------------------------------------------------

enum class Dim {
    Resistance,
    Inductance,
    Frequency,
    Ratio,
    MechResistance,
    Mass,
    Compliance,
    AcousticCompliance,
    Volume,
    Area,
    ForceFactor,
    Power,
    Length
};

Dim dimensionOf(UnitField f) {
    switch (f) {
    case UnitField::Re:
        return Dim::Resistance;
    case UnitField::Le:
        return Dim::Inductance;
    case UnitField::fs:
        return Dim::Frequency;
    case UnitField::Qms:
    case UnitField::Qes:
    case UnitField::Qts:
        return Dim::Ratio;
    case UnitField::Rms:
        return Dim::MechResistance;
    case UnitField::Mmd:
    case UnitField::Mms:
        return Dim::Mass;
    case UnitField::Cms:
        return Dim::Compliance;
    case UnitField::Cas:
        return Dim::AcousticCompliance;
    case UnitField::Vas:
        return Dim::Volume;
    case UnitField::Sd:
        return Dim::Area;
    case UnitField::Bl:
        return Dim::ForceFactor;
    case UnitField::Pmax:
        return Dim::Power;
    case UnitField::Xmax:
    case UnitField::h:
    case UnitField::l:
        return Dim::Length;
    }
    return Dim::Ratio;
}

struct UnitSpelling {
    Dim dim;
    const char* text; // as unitKey() leaves it
    double toSi;
};

constexpr UnitSpelling kUnits[] = {
    {Dim::Resistance, "ohm", 1.0},
    {Dim::Resistance, "ohms", 1.0},
    {Dim::Resistance, "r", 1.0},
    {Dim::Inductance, "h", 1.0},
    {Dim::Inductance, "mh", 1e-3},
    {Dim::Inductance, "uh", 1e-6},
    {Dim::Frequency, "hz", 1.0},
    {Dim::Frequency, "khz", 1e3},
    {Dim::Ratio, "", 1.0},
    {Dim::Ratio, "-", 1.0},
    {Dim::MechResistance, "ns/m", 1.0},
    {Dim::MechResistance, "kg/s", 1.0},
    {Dim::Mass, "kg", 1.0},
    {Dim::Mass, "g", 1e-3},
    {Dim::Mass, "gr", 1e-3},
    {Dim::Mass, "gram", 1e-3},
    {Dim::Mass, "grams", 1e-3},
    {Dim::Mass, "mg", 1e-6},
    {Dim::Compliance, "m/n", 1.0},
    {Dim::Compliance, "mm/n", 1e-3},
    {Dim::Compliance, "um/n", 1e-6},
    {Dim::AcousticCompliance, "m5/n", 1.0},
    {Dim::Volume, "m3", 1.0},
    {Dim::Volume, "l", 1e-3},
    {Dim::Volume, "ltr", 1e-3},
    {Dim::Volume, "litre", 1e-3},
    {Dim::Volume, "litres", 1e-3},
    {Dim::Volume, "liter", 1e-3},
    {Dim::Volume, "liters", 1e-3},
    {Dim::Volume, "dm3", 1e-3},
    {Dim::Volume, "cm3", 1e-6},
    {Dim::Volume, "ml", 1e-6},
    {Dim::Volume, "ft3", 0.028316846592},
    {Dim::Volume, "cuft", 0.028316846592},
    {Dim::Area, "m2", 1.0},
    {Dim::Area, "cm2", 1e-4},
    {Dim::Area, "mm2", 1e-6},
    {Dim::Area, "in2", 6.4516e-4},
    {Dim::Area, "sqin", 6.4516e-4},
    {Dim::ForceFactor, "n/a", 1.0},
    {Dim::ForceFactor, "tm", 1.0},
    {Dim::Power, "w", 1.0},
    {Dim::Power, "kw", 1e3},
    {Dim::Length, "m", 1.0},
    {Dim::Length, "cm", 1e-2},
    {Dim::Length, "mm", 1e-3},
    {Dim::Length, "um", 1e-6},
    {Dim::Length, "in", 0.0254},
    {Dim::Length, "inch", 0.0254},
};

// Lower case, superscripts and Greek letters spelled out, no spaces or multiplication dots.
std::string unitKey(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0u;
        if (c == 0xC2 && (next == 0xB2 || next == 0xB3 || next == 0xB5 || next == 0xB7)) {
            if (next == 0xB2) out += '2';
            if (next == 0xB3) out += '3';
            if (next == 0xB5) out += 'u';
            ++i;
        } else if (c == 0xCE && (next == 0xBC || next == 0xA9)) {
            out += next == 0xBC ? "u" : "ohm";
            ++i;
        } else if (c == ' ' || c == '^' || c == '*' || c == '.' || c == '_') {
            continue;
        } else {
            out += static_cast<char>(std::tolower(c));
        }
    }
    return out;
}

std::optional<double> unitFactor(Dim dim, std::string_view unit) {
    const std::string key = unitKey(unit);
    for (const UnitSpelling& u : kUnits) {
        if (u.dim == dim && key == u.text) return u.toSi;
    }
    return std::nullopt;
}

// A value without a unit is SI unless it is at least this large, which no loudspeaker
// has in SI; then it is in the editor's unit.
struct Plausible {
    UnitField field;
    double threshold;
    double shownToSi;
};
constexpr Plausible kPlausible[] = {
    {UnitField::Le, 0.02, 1e-3}, {UnitField::Mms, 1.0, 1e-3}, {UnitField::Mmd, 1.0, 1e-3},
    {UnitField::Vas, 1.0, 1e-3}, {UnitField::Sd, 1.0, 1e-4},  {UnitField::Xmax, 0.08, 1e-3},
    {UnitField::h, 0.08, 1e-3},  {UnitField::l, 0.08, 1e-3},  {UnitField::Cms, 0.05, 1e-3},
};

double unstatedToSi(UnitField f, double v) {
    for (const Plausible& p : kPlausible) {
        if (p.field == f && std::fabs(v) >= p.threshold) return v * p.shownToSi;
    }
    return v;
}

// ---- column names ----------------------------------------------------------------------

std::string nameKey(std::string_view s) {
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
    }
    return out;
}

enum class ColumnKind { Ignored, Manufacturer, Model, Type, Note, Field };

struct Column {
    ColumnKind kind = ColumnKind::Ignored;
    UnitField field = UnitField::Re;
    std::optional<double> factor; // the stated unit; none when the name states none
    bool badUnit = false;
};

struct FieldAlias {
    const char* name;
    UnitField field;
    bool prefix; // may carry its unit glued on ("vasL")
};
constexpr FieldAlias kFieldAliases[] = {
    {"re", UnitField::Re, true},   {"revc", UnitField::Re, true},
    {"rdc", UnitField::Re, true},  {"le", UnitField::Le, true},
    {"fs", UnitField::fs, true},   {"f0", UnitField::fs, true},
    {"qms", UnitField::Qms, true}, {"qes", UnitField::Qes, true},
    {"qts", UnitField::Qts, true}, {"rms", UnitField::Rms, true},
    {"mmd", UnitField::Mmd, true}, {"mms", UnitField::Mms, true},
    {"cms", UnitField::Cms, true}, {"cas", UnitField::Cas, true},
    {"vas", UnitField::Vas, true}, {"sd", UnitField::Sd, true},
    {"bl", UnitField::Bl, true},   {"pmax", UnitField::Pmax, true},
    {"pe", UnitField::Pmax, true}, {"xmax", UnitField::Xmax, true},
    {"h", UnitField::h, false},    {"airgapheight", UnitField::h, true},
    {"l", UnitField::l, false},    {"voicecoilheight", UnitField::l, true},
};

struct NameAlias {
    const char* name;
    ColumnKind kind;
};
constexpr NameAlias kNameAliases[] = {
    {"manufacturer", ColumnKind::Manufacturer},
    {"brand", ColumnKind::Manufacturer},
    {"vendor", ColumnKind::Manufacturer},
    {"make", ColumnKind::Manufacturer},
    {"maker", ColumnKind::Manufacturer},
    {"model", ColumnKind::Model},
    {"name", ColumnKind::Model},
    {"type", ColumnKind::Type},
    {"speakertype", ColumnKind::Type},
    {"note", ColumnKind::Note},
    {"notes", ColumnKind::Note},
    {"comment", ColumnKind::Note},
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

Column classify(std::string_view header) {
    header = trim(header);
    std::string_view name = header;
    std::optional<std::string_view> unit;
    if (const auto open = header.find_first_of("[("); open != std::string_view::npos) {
        const auto close = header.find_first_of("])", open + 1);
        name = header.substr(0, open);
        unit = header.substr(open + 1,
                             close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    }
    const std::string key = nameKey(name);
    Column c;
    for (const NameAlias& a : kNameAliases) {
        if (key == a.name) {
            c.kind = a.kind;
            return c;
        }
    }
    const auto withUnit = [&c](UnitField f, std::string_view u) {
        c.kind = ColumnKind::Field;
        c.field = f;
        c.factor = unitFactor(dimensionOf(f), u);
        c.badUnit = !c.factor;
        return c;
    };
    for (const FieldAlias& a : kFieldAliases) {
        if (key == a.name) {
            if (unit) return withUnit(a.field, *unit);
            c.kind = ColumnKind::Field;
            c.field = a.field;
            return c;
        }
    }
    if (unit) return c;
    // A unit glued to the name: the longest name whose rest is a unit of its kind.
    const std::string glued = nameKey(name);
    std::size_t best = 0;
    for (const FieldAlias& a : kFieldAliases) {
        const std::size_t n = std::strlen(a.name);
        if (!a.prefix || n <= best || glued.size() <= n || glued.compare(0, n, a.name) != 0) continue;
        if (unitFactor(dimensionOf(a.field), glued.substr(n))) {
            best = n;
            c = withUnit(a.field, glued.substr(n));
        }
    }
    return c;
}

int speakerTypeOf(std::string_view text) {
    const std::string k = nameKey(text);
    for (int t = 0; t < 6; ++t) {
        if (k == nameKey(TSpkData::speakerTypeName(t))) return t;
    }
    if (k.find("full") != std::string::npos || k == "wideband") return 5;
    if (k.find("tweeter") != std::string::npos || k == "treble" || k == "amt" || k == "ribbon" || k == "horn")
        return 4;
    if (k == "midbass" || k == "midwoofer" || k == "woofermidrange" || k == "bassmidrange") return 1;
    if (k.find("mid") != std::string::npos) return 2;
    return 0;
}

// ---- values ----------------------------------------------------------------------------

bool isBlankValue(std::string_view v) {
    const std::string k = nameKey(v);
    return v.empty() || v == "-" || v == "?" || k == "na" || k == "none";
}

// A number, optionally followed by its unit ("80 l").
bool parseQuantity(std::string_view cell, bool decimalComma, double& value, std::string& unit) {
    std::string text(trim(cell));
    if (decimalComma && text.find(',') != std::string::npos && text.find('.') == std::string::npos)
        std::replace(text.begin(), text.end(), ',', '.');
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || !std::isfinite(value)) return false;
    unit = std::string(trim(std::string_view(ptr, static_cast<std::size_t>(last - ptr))));
    return true;
}

std::string clip(std::string_view text, std::size_t n) {
    std::string s(text.substr(0, std::min(text.size(), n)));
    if (text.size() > n) {
        while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0x80)
            s.pop_back();
        if (!s.empty() && static_cast<unsigned char>(s.back()) >= 0xC0) s.pop_back();
    }
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return s;
}

// The required fields, in the order the sufficiency test names them.
constexpr UnitField kRequired[] = {UnitField::Sd,  UnitField::Vas, UnitField::Cms, UnitField::Cas,
                                   UnitField::Qes, UnitField::Qms, UnitField::Qts, UnitField::Re,
                                   UnitField::Mms, UnitField::Mmd, UnitField::Rms, UnitField::fs,
                                   UnitField::Bl};

// Collects one driver's values and decides whether it can be used.
class RowBuilder {
public:
    explicit RowBuilder(bool decimalComma) : decimalComma_(decimalComma) {}

    void text(ColumnKind kind, std::string_view value) {
        value = trim(value);
        if (value.empty()) return;
        switch (kind) {
        case ColumnKind::Manufacturer:
            if (manufacturer_.empty()) manufacturer_ = clip(value, TSpkData::kTextSize - 1);
            break;
        case ColumnKind::Model:
            if (model_.empty()) model_ = clip(value, TSpkData::kTextSize - 1);
            break;
        case ColumnKind::Type:
            unit_.speakerType = static_cast<std::int16_t>(speakerTypeOf(value));
            break;
        case ColumnKind::Note:
            if (note_.empty()) note_ = clip(value, TSpkData::kNoteSize - 1);
            break;
        case ColumnKind::Ignored:
        case ColumnKind::Field:
            break;
        }
    }

    void value(const Column& c, std::string_view cell) {
        cell = trim(cell);
        if (isBlankValue(cell) || given_[static_cast<std::size_t>(c.field)]) return;
        const char* label = unitFieldInfo(c.field).label;
        double v = 0.0;
        std::string unit;
        if (!parseQuantity(cell, decimalComma_, v, unit))
            return fail(std::string(label) + " is not a number: '" + clip(cell, 40) + "'");
        std::optional<double> factor = c.factor;
        if (!unit.empty()) factor = unitFactor(dimensionOf(c.field), unit);
        if (!unit.empty() && !factor)
            return fail(std::string(label) + " is not a number: '" + clip(cell, 40) + "'");
        const double si = factor ? v * *factor : unstatedToSi(c.field, v);
        const UnitFieldInfo& info = unitFieldInfo(c.field);
        if (si < 0.0 || si > info.maximum * info.toSi)
            return fail(std::string(label) + " is out of range: '" + clip(cell, 40) + "'");
        given_[static_cast<std::size_t>(c.field)] = si != 0.0;
        unitFieldRef(unit_, c.field) = si;
    }

    void fail(std::string reason) {
        if (error_.empty()) error_ = std::move(reason);
    }

    [[nodiscard]] std::string name() const {
        return manufacturer_.empty() ? model_ : model_.empty() ? manufacturer_ : manufacturer_ + " " + model_;
    }

    // The finished record, or the reason it is refused.
    [[nodiscard]] std::string finish(TSpkData& out, const std::string& origin) {
        if (model_.empty()) return "no model name";
        if (!error_.empty()) return error_;
        if (unit_.fs == 0.0) return "fs missing";
        unit_.setManufacturer(manufacturer_);
        unit_.setModel(model_);
        unit_.setNote(note_.empty() ? "Imported from " + origin : note_);
        TUnitCompletion::setSd(unit_, unit_.Sd);
        TUnitCompletion::setBl(unit_, unit_.Bl);
        TUnitCompletion::calcMissingFields(unit_);
        unit_.updateDerived();
        if (!unit_.isSufficient()) {
            std::string missing;
            for (const UnitField f : kRequired) {
                if (unitFieldValue(unit_, f) == 0.0)
                    missing += std::string(missing.empty() ? "" : " ") + unitFieldInfo(f).label;
            }
            return "too few parameters for a simulation (missing: " + missing + ")";
        }
        out = unit_;
        return "";
    }

private:
    bool decimalComma_;
    TSpkData unit_;
    std::string manufacturer_, model_, note_, error_;
    std::array<bool, kUnitFieldCount> given_{};
};

// ---- CSV records -----------------------------------------------------------------------

struct CsvRecord {
    std::vector<std::string> cells;
    std::size_t line = 0;
    bool tooLong = false;
};

class CsvReader {
public:
    CsvReader(std::string_view text, char sep) : text_(text), sep_(sep) {}

    bool next(CsvRecord& r) {
        r.cells.assign(1, std::string());
        r.tooLong = false;
        r.line = line_;
        if (pos_ >= text_.size()) return false;
        bool quoted = false;
        const std::size_t start = pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (pos_ - start > TDriverLibrary::kMaxRowLength ||
                r.cells.size() > TDriverLibrary::kMaxColumns) {
                r.tooLong = true;
                skipLine();
                return true;
            }
            if (quoted) {
                if (c == '"' && pos_ < text_.size() && text_[pos_] == '"') {
                    r.cells.back() += '"';
                    ++pos_;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    if (c == '\n') ++line_;
                    r.cells.back() += c;
                }
            } else if (c == '"' && trim(r.cells.back()).empty()) {
                r.cells.back().clear();
                quoted = true;
            } else if (c == sep_) {
                r.cells.emplace_back();
            } else if (c == '\n' || c == '\r') {
                if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
                ++line_;
                return true;
            } else {
                r.cells.back() += c;
            }
        }
        return true;
    }

private:
    void skipLine() {
        while (pos_ < text_.size() && text_[pos_] != '\n')
            ++pos_;
        if (pos_ < text_.size()) ++pos_;
        ++line_;
    }

    std::string_view text_;
    char sep_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

// The separator that occurs most often outside quotes in the first line.
char detectSeparator(std::string_view text) {
    std::size_t comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size() && i < TDriverLibrary::kMaxRowLength; ++i) {
        const char c = text[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        comma += c == ',';
        semicolon += c == ';';
        tab += c == '\t';
    }
    if (semicolon > comma && semicolon >= tab) return ';';
    if (tab > comma) return '\t';
    return ',';
}

bool allBlank(const std::vector<std::string>& cells) {
    return std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return trim(c).empty(); });
}

std::string fileNameOf(const std::string& source) {
    const std::string name = fs::path(source).filename().string();
    return name.empty() ? source : name;
}

// How deeply arrays and objects nest, counted outside strings, so the parser never sees
// a file built to exhaust it.
std::size_t nestingDepth(std::string_view text) {
    std::size_t depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

// ---- the library ---------------------------------------------------------------------------

std::string TRefusedRow::text() const {
    std::string t = source;
    if (!where.empty()) t += " " + where;
    if (!name.empty()) t += " (" + name + ")";
    return t + ": " + reason;
}

double libraryFieldValue(const TSpkData& unit, LibraryField field) {
    switch (field) {
    case LibraryField::fs:
        return unit.fs;
    case LibraryField::Qts:
        return unit.Qts;
    case LibraryField::Vas:
        return unit.Vas;
    case LibraryField::Sd:
        return unit.Sd;
    case LibraryField::Xmax:
        return unit.Xmax;
    }
    return 0.0;
}

void TDriverLibrary::clear() {
    entries_.clear();
    refused_.clear();
    ignored_.clear();
    lastError_.clear();
}

void TDriverLibrary::refuse(const std::string& source, std::string where, std::string name,
                            std::string reason) {
    refused_.push_back({source, std::move(where), std::move(name), std::move(reason)});
}

void TDriverLibrary::ignore(std::string_view name) {
    const std::string n = clip(trim(name), 60);
    if (n.empty() || n.front() == '$' || ignored_.size() >= kMaxColumns) return;
    if (std::find(ignored_.begin(), ignored_.end(), n) == ignored_.end()) ignored_.push_back(n);
}

bool TDriverLibrary::load(const std::string& path) {
    lastError_.clear();
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return loadFile(path);
    std::vector<std::string> files;
    fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        lastError_ = "cannot read the folder '" + path + "': " + ec.message();
        return false;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (it.depth() >= 8) it.disable_recursion_pending();
        const std::string ext = lowerAscii(it->path().extension().string());
        if ((ext == ".csv" || ext == ".json") && it->is_regular_file(ec))
            files.push_back(it->path().string());
        if (files.size() > kMaxFiles) break;
    }
    std::sort(files.begin(), files.end());
    if (files.size() > kMaxFiles) {
        lastError_ =
            "the folder '" + path + "' holds more than " + std::to_string(kMaxFiles) + " driver files";
        return false;
    }
    for (const std::string& f : files) {
        if (!loadFile(f)) refuse(f, "", "", lastError_);
    }
    lastError_.clear();
    return true;
}

bool TDriverLibrary::loadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        lastError_ = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        lastError_ = "cannot read '" + path + "'";
        return false;
    }
    if (static_cast<std::size_t>(size) > kMaxFileSize) {
        lastError_ = "'" + path + "' is too large for a driver table (more than 16 MB)";
        return false;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size)) {
        lastError_ = "cannot read '" + path + "'";
        return false;
    }
    const std::string ext = lowerAscii(fs::path(path).extension().string());
    const auto firstChar = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    const bool json = ext == ".json" || (ext != ".csv" && firstChar != std::string::npos &&
                                         (text[firstChar] == '{' || text[firstChar] == '['));
    return json ? loadJson(text, path) : loadCsv(text, path);
}

bool TDriverLibrary::loadCsv(std::string_view text, const std::string& source) {
    lastError_.clear();
    if (text.size() > kMaxFileSize) {
        lastError_ = "'" + source + "' is too large for a driver table (more than 16 MB)";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        lastError_ = "'" + source + "' is not a text file";
        return false;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const char sep = detectSeparator(text);
    CsvReader reader(text, sep);
    CsvRecord r;
    std::vector<Column> columns;
    while (reader.next(r)) {
        if (r.tooLong) {
            lastError_ = "'" + source + "': the header row is too long";
            return false;
        }
        if (allBlank(r.cells)) continue;
        for (const std::string& h : r.cells)
            columns.push_back(classify(h));
        break;
    }
    const bool anyField = std::any_of(columns.begin(), columns.end(), [](const Column& c) {
        return c.kind == ColumnKind::Field && !c.badUnit;
    });
    if (!anyField) {
        lastError_ = "'" + source + "' has no header row naming driver parameters";
        return false;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].kind == ColumnKind::Ignored || columns[i].badUnit) ignore(r.cells[i]);
    }
    const std::string origin = fileNameOf(source);
    while (reader.next(r)) {
        const std::string where = "row " + std::to_string(r.line);
        if (r.tooLong) {
            refuse(source, where, "", "the row is too long");
            continue;
        }
        if (allBlank(r.cells)) continue;
        if (entries_.size() >= kMaxEntries) {
            refuse(source, where, "", "the library is full");
            break;
        }
        RowBuilder row(sep != ',');
        for (std::size_t i = 0; i < r.cells.size() && i < columns.size(); ++i) {
            const Column& c = columns[i];
            if (c.kind == ColumnKind::Field && !c.badUnit)
                row.value(c, r.cells[i]);
            else
                row.text(c.kind, r.cells[i]);
        }
        TSpkData unit;
        const std::string reason = row.finish(unit, origin + " " + where);
        if (reason.empty())
            entries_.push_back({unit, source, where});
        else
            refuse(source, where, row.name(), reason);
    }
    return true;
}

bool TDriverLibrary::loadJson(std::string_view text, const std::string& source) {
    using nlohmann::json;
    lastError_.clear();
    if (text.size() > kMaxFileSize) {
        lastError_ = "'" + source + "' is too large for a driver table (more than 16 MB)";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        lastError_ = "'" + source + "' is not a text file";
        return false;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (nestingDepth(text) > kMaxDepth) {
        lastError_ = "'" + source + "' is nested too deeply for a driver table";
        return false;
    }
    const json doc = json::parse(text.begin(), text.end(), nullptr, false);
    if (doc.is_discarded()) {
        lastError_ = "'" + source + "' is not valid JSON";
        return false;
    }
    if (!doc.is_object() && !doc.is_array()) {
        lastError_ = "'" + source + "' holds no driver objects";
        return false;
    }
    const std::string origin = fileNameOf(source);
    const bool single = doc.is_object();
    std::size_t index = 0;
    const json wrapped = single ? json::array({doc}) : json();
    const json& items = single ? wrapped : doc;
    for (const json& item : items) {
        ++index;
        const std::string where = single ? "" : "entry " + std::to_string(index);
        if (!item.is_object()) {
            refuse(source, where, "", "not a driver object");
            continue;
        }
        if (entries_.size() >= kMaxEntries) {
            refuse(source, where, "", "the library is full");
            break;
        }
        RowBuilder row(false);
        for (auto it = item.begin(); it != item.end(); ++it) {
            const Column c = classify(it.key());
            const json& v = it.value();
            if (c.kind == ColumnKind::Ignored || c.badUnit) {
                ignore(it.key());
            } else if (v.is_null()) {
                continue;
            } else if (c.kind == ColumnKind::Field) {
                if (v.is_number()) {
                    row.value(c, v.dump(-1, ' ', false, json::error_handler_t::replace));
                } else if (v.is_string()) {
                    row.value(c, v.get_ref<const std::string&>());
                } else {
                    row.fail(std::string(unitFieldInfo(c.field).label) + " is not a number: '" +
                             clip(v.dump(-1, ' ', false, json::error_handler_t::replace), 40) + "'");
                }
            } else if (v.is_string()) {
                row.text(c.kind, v.get_ref<const std::string&>());
            } else if (v.is_number()) {
                row.text(c.kind, v.dump(-1, ' ', false, json::error_handler_t::replace));
            }
        }
        TSpkData unit;
        const std::string reason = row.finish(unit, single ? origin : origin + " " + where);
        if (reason.empty())
            entries_.push_back({unit, source, where});
        else
            refuse(source, where, row.name(), reason);
    }
    return true;
}

std::vector<std::size_t> TDriverLibrary::search(const TDriverFilter& filter) const {
    std::vector<std::string> words;
    std::string word;
    for (const char c : lowerAscii(filter.text) + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    std::vector<std::size_t> hits;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const TSpkData& u = entries_[i].unit;
        const std::string hay = lowerAscii(u.manufacturerText() + " " + u.modelText());
        bool pass = std::all_of(words.begin(), words.end(),
                                [&hay](const std::string& w) { return hay.find(w) != std::string::npos; });
        for (std::size_t f = 0; pass && f < kLibraryFieldCount; ++f) {
            const TDriverFilter::Range& r = filter.ranges[f];
            const double v = libraryFieldValue(u, static_cast<LibraryField>(f));
            // A small tolerance, so a bound typed as shown (34.0 Hz) keeps the driver shown so.
            pass = r.open() || (v != 0.0 && v >= r.min * (1 - 1e-9) && v <= r.max * (1 + 1e-9));
        }
        if (pass) hits.push_back(i);
    }
    return hits;
}

std::string TDriverLibrary::unitFileName(const TSpkData& unit) {
    const std::string raw = unit.manufacturerText() + " " + unit.modelText();
    std::string name;
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        const bool bad = c < 0x20 || c == 0x7f || std::strchr("/\\:*?\"<>|", ch) != nullptr;
        const char out = bad ? '_' : ch;
        if (out == ' ' && (name.empty() || name.back() == ' ')) continue;
        name += out;
    }
    name = clip(name, 80);
    while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        name.pop_back();
    while (!name.empty() && (name.front() == '.' || name.front() == ' '))
        name.erase(name.begin());
    if (name.empty()) name = "driver";
    return name + ".unt";
}

std::string TDriverLibrary::uniqueUnitPath(const std::string& folder, const TSpkData& unit) {
    const std::string file = unitFileName(unit);
    const std::string stem = file.substr(0, file.size() - 4);
    std::error_code ec;
    fs::path p = fs::path(folder) / file;
    for (int n = 2; fs::exists(p, ec) && n < 10000; ++n)
        p = fs::path(folder) / (stem + " (" + std::to_string(n) + ").unt");
    return p.string();
}

bool TDriverLibrary::writeUnitCopy(const TSpkData& unit, const std::string& path, std::string& error) {
    TSpkData copy(unit);
    if (copy.Save(path)) return true;
    error = copy.lastError().empty() ? "cannot write '" + path + "'" : copy.lastError();
    return false;
}

} // namespace harlox
