#include "cli/cli_values.h"

#include "core/format.h"
#include "driver/spk_data.h"

#include <cctype>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include <unistd.h>

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
    return std::string(kRangePrefix) + strprintf("%g and %g", lo, hi);
}

std::string appendRangeUnit(std::string why, std::string_view unit) {
    if (!unit.empty() && why.starts_with(kRangePrefix)) why += " " + std::string(unit);
    return why;
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
    if (x < lo || x > hi) return std::string(kRangePrefix) + strprintf("%ld and %ld", lo, hi);
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

namespace {
bool quietOutput = false;
} // namespace

std::string curveExtensionProblem(const std::string& path) {
    const std::string ext = lowerCase(std::filesystem::path(path).extension().string());
    std::string_view known = kCurveExtensions;
    while (!known.empty()) {
        const auto space = known.find(' ');
        if (known.substr(0, space) == ext && !ext.empty()) return {};
        known = space == std::string_view::npos ? std::string_view() : known.substr(space + 1);
    }
    return cli::quoted(path) + " has " + (ext.empty() ? std::string("no extension") : "the unknown extension " + cli::quoted(ext)) +
           "; use one of " + std::string(kCurveExtensions);
}

void setQuiet(bool quiet) {
    quietOutput = quiet;
}

void reportWritten(std::ostream& out, const std::string& path) {
    if (!quietOutput) out << "wrote " << path << '\n';
}

std::string openProblem(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return "cannot open " + cli::quoted(path) + ": it is a folder";
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        std::fclose(f);
        return {};
    }
    const int why = errno;
    return "cannot open " + cli::quoted(path) + ": " + (why != 0 ? std::strerror(why) : "unreadable");
}

std::string writeProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string why;
    if (fs::is_directory(target, ec)) {
        why = "it is a folder";
    } else if (!fs::is_directory(folder, ec)) {
        why = "the folder " + cli::quoted(folder.string()) + " does not exist";
    } else if (::access(folder.c_str(), W_OK) != 0 || (fs::exists(target, ec) && ::access(path.c_str(), W_OK) != 0)) {
        why = std::strerror(EACCES);
    } else {
        why = "the disk may be full";
    }
    return "cannot write " + cli::quoted(path) + ": " + why;
}

std::string unitFileProblem(const std::string& path) {
    if (std::string why = openProblem(path); !why.empty()) return why;
    TSpkData unit;
    if (unit.Load(path)) return {};
    // The reader's reasons, in the words of a user who picked the wrong file.
    std::string reason = unit.lastError();
    constexpr std::string_view kVersion = "unknown unit file version ";
    if (reason.starts_with(kVersion)) reason = "wrong version " + reason.substr(kVersion.size());
    return cli::quoted(path) + " is not a driver unit file: " + reason;
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
