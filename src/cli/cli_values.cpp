#include "cli/cli_values.h"

#include "core/format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <ostream>

namespace harlox::cli {

std::string quoted(std::string_view v) {
    return "'" + std::string(v) + "'";
}

std::string lowerCase(std::string text) {
    for (char& ch : text)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

std::string joinNames(const std::vector<std::string_view>& names) {
    std::string text;
    for (const auto n : names) {
        if (!text.empty()) text += ", ";
        text += n;
    }
    return text;
}

std::string rangeText(double lo, double hi) {
    return strprintf("the value must lie between %g and %g", lo, hi);
}

std::string readNumber(std::string_view v, double lo, double hi, double& out) {
    double x = 0.0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(x)) {
        return quoted(v) + " is not a number";
    }
    if (x < lo || x > hi) return rangeText(lo, hi);
    out = x;
    return {};
}

std::string readInteger(std::string_view v, long lo, long hi, long& out) {
    long x = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size())
        return quoted(v) + " is not a whole number";
    if (x < lo || x > hi) return strprintf("the value must lie between %ld and %ld", lo, hi);
    out = x;
    return {};
}

std::string readFlag(std::string_view v, bool& out) {
    for (const std::string_view on : {"1", "true", "on", "yes"}) {
        if (v == on) {
            out = true;
            return {};
        }
    }
    for (const std::string_view off : {"0", "false", "off", "no"}) {
        if (v == off) {
            out = false;
            return {};
        }
    }
    return quoted(v) + " is not one of 1, 0, true, false, on, off, yes, no";
}

bool parseSize(std::string_view text, int& width, int& height, std::ostream& err) {
    const auto x = text.find_first_of("xX");
    long w = 0;
    long h = 0;
    std::string why = x == std::string_view::npos ? "expects WIDTHxHEIGHT in pixels"
                                                  : readInteger(text.substr(0, x), 1, 20000, w);
    if (why.empty()) why = readInteger(text.substr(x + 1), 1, 20000, h);
    if (!why.empty()) {
        err << "harlox-cli: --size " << quoted(text) << ": " << why << '\n';
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

} // namespace harlox::cli
