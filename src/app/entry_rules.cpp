#include "app/entry_rules.h"

#include "core/format.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <system_error>

namespace harlox {

namespace {

enum class ArgKind { Int, Long, LongLong, Real };

// Checks a printf format given by a dialog: every conversion must take the expected kind
// of argument, and there must be exactly `count` of them. Widths and precisions are kept
// below 100 so a field's text stays bounded.
bool formatTakes(std::string_view fmt, bool real, int count, ArgKind* kind) {
    int found = 0;
    ArgKind k = real ? ArgKind::Real : ArgKind::Int;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') continue;
        if (++i >= fmt.size()) return false;
        if (fmt[i] == '%') continue;
        while (i < fmt.size() && std::string_view("-+ #0").find(fmt[i]) != std::string_view::npos)
            ++i;
        int digits = 0;
        while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9')
            ++i, ++digits;
        if (digits > 2) return false;
        if (i < fmt.size() && fmt[i] == '.') {
            ++i;
            digits = 0;
            while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9')
                ++i, ++digits;
            if (digits > 2) return false;
        }
        int longs = 0;
        while (i < fmt.size() && fmt[i] == 'l')
            ++i, ++longs;
        if (i >= fmt.size() || longs > 2) return false;
        const char conv = fmt[i];
        if (real) {
            if (longs > 1 || std::string_view("fFeEgG").find(conv) == std::string_view::npos) return false;
        } else {
            if (std::string_view("di").find(conv) == std::string_view::npos) return false;
            k = longs == 0 ? ArgKind::Int : longs == 1 ? ArgKind::Long : ArgKind::LongLong;
        }
        ++found;
    }
    if (kind) *kind = k;
    return found == count;
}

// printf follows the C locale's decimal point; the fields always show '.'.
std::string withDecimalPoint(std::string text) {
    const lconv* lc = std::localeconv();
    const std::string_view point = lc && lc->decimal_point ? lc->decimal_point : ".";
    if (point.empty() || point == ".") return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        if (text.compare(pos, point.size(), point) == 0) {
            out += '.';
            pos += point.size();
        } else {
            out += text[pos++];
        }
    }
    return out;
}

// strtol and strtod accept one sign, but not a second one after it.
std::size_t signLength(std::string_view text, bool& negative) {
    negative = false;
    if (text.empty() || (text[0] != '+' && text[0] != '-')) return 0;
    negative = text[0] == '-';
    return 1;
}

} // namespace

ParsedInteger parseInteger(std::string_view text) {
    ParsedInteger r;
    bool negative = false;
    const std::size_t start = signLength(text, negative);
    if (start >= text.size() || text[start] < '0' || text[start] > '9') return r;
    std::uint64_t magnitude = 0;
    const char* first = text.data() + start;
    const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), magnitude, 10);
    r.consumed = static_cast<std::size_t>(ptr - text.data());
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (ec == std::errc::result_out_of_range || magnitude > kMax) {
        r.overflow = true;
        return r;
    }
    r.value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return r;
}

ParsedReal parseReal(std::string_view text) {
    ParsedReal r;
    bool negative = false;
    const std::size_t start = signLength(text, negative);
    if (start >= text.size() || text[start] == '+' || text[start] == '-') return r;
    double v = 0.0;
    const auto [ptr, ec] =
        std::from_chars(text.data() + start, text.data() + text.size(), v, std::chars_format::general);
    if (ec == std::errc::invalid_argument) return r;
    r.consumed = static_cast<std::size_t>(ptr - text.data());
    if (ec == std::errc::result_out_of_range) {
        r.overflow = true;
        return r;
    }
    r.value = negative ? -v : v;
    return r;
}

// ---------------------------------------------------------------------------------------

LongEntry::LongEntry(std::string_view format, std::int32_t minimum, std::int32_t maximum,
                     std::int32_t undefinedValue, std::int32_t initial, std::int32_t step)
    : format_(formatTakes(format, false, 1, nullptr) ? std::string(format) : std::string("%d")),
      minimum_(minimum), maximum_(maximum), undefined_(undefinedValue), value_(initial),
      step_(std::max<std::int32_t>(step, 1)) {}

bool LongEntry::isAllowedChar(char c) {
    return c != '\0' && kAllowedChars.find(c) != std::string_view::npos;
}

std::string LongEntry::text() const {
    if (value_ == undefined_) return std::string(kUndefinedText);
    ArgKind kind = ArgKind::Int;
    (void)formatTakes(format_, false, 1, &kind);
    switch (kind) {
    case ArgKind::Long:
        return strprintf(format_.c_str(), static_cast<long>(value_));
    case ArgKind::LongLong:
        return strprintf(format_.c_str(), static_cast<long long>(value_));
    case ArgKind::Int:
    case ArgKind::Real:
        break;
    }
    return strprintf(format_.c_str(), static_cast<int>(value_));
}

EntryCommit LongEntry::refuse() {
    modified_ = stepped_ = false;
    return {false, true, false};
}

EntryCommit LongEntry::commit(std::string_view text, bool userModified) {
    if (userModified) {
        text = text.substr(0, kMaxTextLength);
        if (!std::all_of(text.begin(), text.end(), isAllowedChar)) return refuse();
        const ParsedInteger p = parseInteger(text);
        if (p.overflow || p.consumed != text.size()) return refuse();
        if (p.value < std::numeric_limits<std::int32_t>::min() ||
            p.value > std::numeric_limits<std::int32_t>::max())
            return refuse();
        // Snap to the nearest step. trunc(q + 0.5), the classic form, is the same for positive
        // numbers but moves negative ones towards zero (-7 would become -6 with step 1).
        const double q = std::round(static_cast<double>(p.value) / step_);
        const std::int64_t n = static_cast<std::int64_t>(q) * step_;
        if (n < minimum_ || n > maximum_) return refuse();
        value_ = static_cast<std::int32_t>(n);
    }
    return {true, false, modified_};
}

std::int32_t LongEntry::increment() const {
    if (step_ != 1) return step_;
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::trunc(0.1 * value_)));
}

EntryStep LongEntry::keyUp() {
    const std::int64_t next = std::int64_t{value_} + increment();
    if (next > maximum_ || next < minimum_) return {true, true, false};
    value_ = static_cast<std::int32_t>(next);
    modified_ = stepped_ = true;
    return {true, false, true};
}

EntryStep LongEntry::keyDown() {
    const std::int64_t next = std::int64_t{value_} - increment();
    if (next < minimum_ || next > maximum_) return {true, true, false};
    value_ = static_cast<std::int32_t>(next);
    modified_ = stepped_ = true;
    return {true, false, true};
}

// ---------------------------------------------------------------------------------------

DblEntry::DblEntry(std::string_view format, double minimum, double maximum, double undefinedValue,
                   double initial, bool paired)
    : minimum_(minimum), maximum_(maximum), undefined_(undefinedValue), value_(initial), paired_(paired) {
    setFormat(format);
}

void DblEntry::setFormat(std::string_view format) {
    std::string f(format);
    if (paired_) f += kPairedSuffix;
    if (!formatTakes(f, true, paired_ ? 2 : 1, nullptr)) {
        f = "%g";
        if (paired_) f += kPairedSuffix;
    }
    format_ = std::move(f);
}

bool DblEntry::isAllowedChar(char c) const {
    if (c == '\0') return false;
    if (c == ';') return paired_;
    return std::string_view("0123456789+-Ee.,").find(c) != std::string_view::npos;
}

std::string DblEntry::text() const {
    if (value_ == undefined_) return std::string(kUndefinedText);
    if (paired_) return withDecimalPoint(strprintf(format_.c_str(), value_, second_));
    return withDecimalPoint(strprintf(format_.c_str(), value_));
}

EntryCommit DblEntry::refuse() {
    modified_ = stepped_ = false;
    return {false, true, false};
}

EntryCommit DblEntry::commit(std::string_view text, bool userModified) {
    if (!userModified) return {true, false, modified_};
    text = text.substr(0, kMaxTextLength);
    for (const char c : text) {
        if (!isAllowedChar(c)) return refuse();
    }
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '.');
    return paired_ ? commitPaired(s) : commitSingle(s);
}

EntryCommit DblEntry::commitSingle(std::string_view text) {
    const ParsedReal p = parseReal(text);
    // Trailing characters leave the value as it was, without complaint.
    if (p.consumed != text.size()) return {true, false, modified_};
    if (p.overflow || p.value < minimum_ || p.value > maximum_) return refuse();
    value_ = p.value;
    return {true, false, modified_};
}

EntryCommit DblEntry::commitPaired(std::string_view text) {
    double first = 0.0;
    const std::size_t semi = text.find(';');
    const std::string_view firstText = text.substr(0, semi);
    if (!text.empty()) {
        const ParsedReal p = parseReal(firstText);
        if (firstText.empty() || p.overflow || p.consumed != firstText.size()) return refuse();
        first = p.value;
    }
    // An empty text stands for 0, which must lie in the range like any number.
    if (first < minimum_ || first > maximum_) return refuse();

    const std::string_view secondText =
        semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    if (secondText.empty()) {
        value_ = first;
        return {true, false, modified_};
    }
    const ParsedReal q = parseReal(secondText);
    if (q.overflow || q.consumed != secondText.size() || q.value < kSecondMinimum || q.value > kSecondMaximum)
        return refuse(); // neither number is taken
    value_ = first;
    second_ = q.value;
    return {true, false, modified_};
}

EntryStep DblEntry::stepTo(double candidate) {
    bool beep = false;
    if (candidate > maximum_) {
        candidate = maximum_;
        beep = true;
    } else if (candidate < minimum_) {
        candidate = minimum_;
        beep = true;
    }
    value_ = candidate;
    modified_ = stepped_ = true;
    return {true, beep, true};
}

EntryStep DblEntry::keyUp() {
    if (readOnly_) return {};
    return stepTo(value_ * kUpFactor);
}

EntryStep DblEntry::keyDown() {
    if (readOnly_) return {};
    return stepTo(value_ * kDownFactor);
}

} // namespace harlox
