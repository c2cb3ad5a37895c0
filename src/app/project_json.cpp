#include "app/project_json.h"

#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "core/binary_io.h"
#include "filter/general.h"
#include "filter/xover.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <set>

namespace harlox {

namespace {

using Json = nlohmann::ordered_json;
using Pointer = Json::json_pointer;

struct Layout {
    std::vector<std::uint8_t> bytes;
    std::vector<TracedField> fields;
};

// A box project or a filter project, as its file is written.
template <typename Project> Layout traced(Project& project) {
    Layout l;
    BinaryWriter w;
    w.setTrace(&l.fields);
    (void)project.writeProjectBytes(w);
    l.bytes = w.take();
    return l;
}

// ---- bytes to values

std::string hexOf(const std::uint8_t* p, std::size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

bool validUtf8(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t c = p[i];
        std::size_t more = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (n - i <= more) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3Fu);
        }
        static constexpr std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

template <typename U> U loadLE(const std::uint8_t* p) {
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        v = static_cast<U>(v | (static_cast<U>(p[i]) << (8 * i)));
    return v;
}

template <typename U> void storeLE(std::uint8_t* p, U v) {
    for (std::size_t i = 0; i < sizeof(U); ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Json hexValue(const std::uint8_t* p, std::size_t n) {
    Json j = Json::object();
    j["hex"] = hexOf(p, n);
    return j;
}

// A block is shown as its text when that is all it holds; anything else (bytes behind the
// terminator, text that is not UTF-8) keeps every byte as hex.
Json blockValue(const std::uint8_t* p, std::size_t n) {
    const std::uint8_t* end = p + n;
    const std::uint8_t* nul = std::find(p, end, std::uint8_t{0});
    const bool zeroFilled = nul != end && std::all_of(nul, end, [](std::uint8_t b) { return b == 0; });
    const auto len = static_cast<std::size_t>(nul - p);
    if (zeroFilled && validUtf8(p, len)) return std::string(reinterpret_cast<const char*>(p), len);
    return hexValue(p, n);
}

Json fieldValue(const TracedField& f, const std::vector<std::uint8_t>& bytes) {
    const std::uint8_t* p = bytes.data() + f.offset;
    switch (f.kind) {
    case FieldKind::U8: return p[0];
    case FieldKind::I16: return static_cast<std::int16_t>(loadLE<std::uint16_t>(p));
    case FieldKind::U16: return loadLE<std::uint16_t>(p);
    case FieldKind::I32: return static_cast<std::int32_t>(loadLE<std::uint32_t>(p));
    case FieldKind::U32: return loadLE<std::uint32_t>(p);
    case FieldKind::F64: {
        const double v = std::bit_cast<double>(loadLE<std::uint64_t>(p));
        if (std::isfinite(v)) return v;
        return hexValue(p, 8);
    }
    case FieldKind::Text:
    case FieldKind::Bytes: return blockValue(p, f.size);
    case FieldKind::Reserved: break;
    }
    return nullptr;
}

std::string toJson(std::string_view format, const Layout& l) {
    Json root = Json::object();
    root["format"] = format;
    for (const TracedField& f : l.fields) {
        // A field cut short by a failed write has no value to show.
        if (f.kind == FieldKind::Reserved || f.offset + f.size > l.bytes.size()) continue;
        root[Pointer(f.path)] = fieldValue(f, l.bytes);
    }
    return root.dump(2) + "\n";
}

// ---- values to bytes

std::string kindName(FieldKind k) {
    switch (k) {
    case FieldKind::U8: return "an integer 0 .. 255";
    case FieldKind::I16: return "an integer -32768 .. 32767";
    case FieldKind::U16: return "an integer 0 .. 65535";
    case FieldKind::I32: return "an integer -2147483648 .. 2147483647";
    case FieldKind::U32: return "an integer 0 .. 4294967295";
    case FieldKind::F64: return "a number";
    case FieldKind::Text:
    case FieldKind::Bytes: return "a text";
    case FieldKind::Reserved: break;
    }
    return "a value";
}

bool isHexValue(const Json& v) { return v.is_object() && v.size() == 1 && v.contains("hex"); }

bool fromHex(const Json& v, std::size_t n, std::uint8_t* out) {
    if (!v["hex"].is_string()) return false;
    const std::string& s = v["hex"].get_ref<const std::string&>();
    if (s.size() != 2 * n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        int b = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = s[2 * i + static_cast<std::size_t>(k)];
            const int d = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0) return false;
            b = b * 16 + d;
        }
        out[i] = static_cast<std::uint8_t>(b);
    }
    return true;
}

bool integerIn(const Json& v, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
    if (v.is_number_unsigned()) {
        const std::uint64_t u = v.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(hi)) return false;
        out = static_cast<std::int64_t>(u);
        return true;
    }
    if (!v.is_number_integer()) return false;
    out = v.get<std::int64_t>();
    return out >= lo && out <= hi;
}

// Writes the value of field f into out (f.size bytes); an empty answer when it fits.
std::string encode(const TracedField& f, const Json& v, std::uint8_t* out) {
    const std::string bad = "field " + f.path + " must be " + kindName(f.kind);
    if (isHexValue(v)) {
        if (!fromHex(v, f.size, out))
            return "field " + f.path + ": \"hex\" must hold " + std::to_string(2 * f.size) + " hex digits";
        return {};
    }
    std::int64_t i = 0;
    switch (f.kind) {
    case FieldKind::U8:
        if (!integerIn(v, 0, 255, i)) return bad;
        out[0] = static_cast<std::uint8_t>(i);
        return {};
    case FieldKind::I16:
        if (!integerIn(v, -32768, 32767, i)) return bad;
        storeLE(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(i)));
        return {};
    case FieldKind::U16:
        if (!integerIn(v, 0, 65535, i)) return bad;
        storeLE(out, static_cast<std::uint16_t>(i));
        return {};
    case FieldKind::I32:
        if (!integerIn(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), i))
            return bad;
        storeLE(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(i)));
        return {};
    case FieldKind::U32:
        if (!integerIn(v, 0, std::numeric_limits<std::uint32_t>::max(), i)) return bad;
        storeLE(out, static_cast<std::uint32_t>(i));
        return {};
    case FieldKind::F64:
        if (!v.is_number()) return bad;
        storeLE(out, std::bit_cast<std::uint64_t>(v.get<double>()));
        return {};
    case FieldKind::Text:
    case FieldKind::Bytes: {
        if (!v.is_string()) return bad;
        const std::string& s = v.get_ref<const std::string&>();
        if (s.find('\0') != std::string::npos) return "field " + f.path + " must not hold a NUL character";
        if (s.size() > f.size - 1)
            return "field " + f.path + " is too long: at most " + std::to_string(f.size - 1) + " bytes";
        std::memset(out, 0, f.size);
        std::memcpy(out, s.data(), s.size());
        return {};
    }
    case FieldKind::Reserved: break;
    }
    return bad;
}

std::string escapedToken(const std::string& key) {
    std::string s;
    for (const char c : key) {
        if (c == '~') {
            s += "~0";
        } else if (c == '/') {
            s += "~1";
        } else {
            s += c;
        }
    }
    return s;
}

// Every value of the document that is not an object or an array of others, by its pointer.
void collectLeaves(const Json& v, const std::string& path, std::vector<std::string>& out) {
    if (v.is_object() && !isHexValue(v) && !v.empty()) {
        for (const auto& [key, child] : v.items())
            collectLeaves(child, path + "/" + escapedToken(key), out);
    } else if (v.is_array() && !v.empty()) {
        for (std::size_t i = 0; i < v.size(); ++i)
            collectLeaves(v[i], path + "/" + std::to_string(i), out);
    } else {
        out.push_back(path);
    }
}

} // namespace

std::string boxProjectJson(TBoxEmbryo& box) { return toJson(kBoxProjectFormat, traced(box)); }

std::string filterProjectJson(const TXover& xover) { return toJson(kFilterProjectFormat, traced(xover)); }

ProjectFromJson projectBytesFromJson(std::string_view text, UiHost& ui) {
    ProjectFromJson result;
    Json root;
    try {
        root = Json::parse(text.begin(), text.end());
    } catch (const Json::exception& e) {
        // The parser's own words name the line and column (or the number that overflows).
        result.error = std::string("not JSON: ") + e.what();
        return result;
    }
    if (!root.is_object()) {
        result.error = "not a project: the text must be a JSON object";
        return result;
    }
    const std::string format =
        root.contains("format") && root["format"].is_string() ? root["format"].get<std::string>() : std::string();
    if (format != kBoxProjectFormat && format != kFilterProjectFormat) {
        result.error = "not a project: field /format must be \"" + std::string(kBoxProjectFormat) + "\" or \"" +
                       std::string(kFilterProjectFormat) + "\"";
        return result;
    }
    result.filter = format == kFilterProjectFormat;
    std::int64_t code = 0;
    if (!root.contains("type") ||
        !integerIn(root["type"], std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                   code)) {
        result.error = "field /type must be the project's type code";
        return result;
    }
    result.typeCode = static_cast<int>(code);

    // A fresh project of the type gives the layout: which fields there are, in which order.
    Layout layout;
    if (result.filter) {
        const TXover::VariantInfo* info = TXover::FindTypeCode(static_cast<std::int32_t>(code));
        if (!info) {
            result.error = "field /type: " + std::to_string(code) + " is not the type code of a filter project";
            return result;
        }
        TGeneral general;
        const TXover xover(general, info->variant, ui);
        layout = traced(xover);
    } else {
        std::unique_ptr<TBoxEmbryo> box = makeBoxProject(static_cast<int>(code), ui);
        if (!box) {
            result.error = "field /type: " + std::to_string(code) + " is not the type code of a box project";
            return result;
        }
        layout = traced(*box);
    }

    std::set<std::string> known{"/format"};
    std::vector<std::uint8_t> bytes(layout.bytes.size(), 0);
    for (const TracedField& f : layout.fields) {
        if (f.kind == FieldKind::Reserved) continue;
        known.insert(f.path);
        const Pointer p(f.path);
        if (!root.contains(p)) {
            result.error = "field " + f.path + " is missing";
            return result;
        }
        if (const std::string why = encode(f, root[p], bytes.data() + f.offset); !why.empty()) {
            result.error = why;
            return result;
        }
        // The layout itself is not the script's to change.
        const bool fixed = f.path == "/version" || f.path == "/endMarker";
        if (fixed && !std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(f.offset),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(f.offset + f.size),
                                 layout.bytes.begin() + static_cast<std::ptrdiff_t>(f.offset))) {
            result.error = "field " + f.path + " must be " + fieldValue(f, layout.bytes).dump();
            return result;
        }
    }
    std::vector<std::string> leaves;
    collectLeaves(root, "", leaves);
    for (const std::string& leaf : leaves) {
        if (!known.contains(leaf)) {
            result.error = "field " + leaf + " is not a field of this project type";
            return result;
        }
    }
    result.bytes = std::move(bytes);
    result.ok = true;
    return result;
}

} // namespace harlox
