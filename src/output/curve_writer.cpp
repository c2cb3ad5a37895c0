#include "output/curve_writer.h"

#include "core/atomic_file.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "core/ui_host.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <span>

namespace harlox {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// printf's "%f" with the decimal point of the C locale, whatever locale the program runs in.
void appendFixed(std::string& out, double v) {
    std::array<char, 400> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::fixed, 6);
    if (ec == std::errc()) out.append(buffer.data(), end);
}

void appendLine(std::string& out, std::string_view text) {
    out.append(text);
    out.append(kLineEnd);
}

double column(const double* values, int i) {
    return values != nullptr ? values[i] : 0.0;
}

} // namespace

std::optional<CurveFormat> curveFormatFromPath(std::string_view path) {
    const std::string ext = upperExtension(path);
    if (ext == ".FRD") return CurveFormat::Frd;
    if (ext == ".ZMA") return CurveFormat::Zma;
    if (ext == ".GDT") return CurveFormat::Gdt;
    if (ext == ".FMP") return CurveFormat::Fmp;
    if (ext == ".FM") return CurveFormat::Fm;
    return std::nullopt;
}

CurveLabels curveLabels(ExportCurve curve) {
    switch (curve) {
    case ExportCurve::Spl:
        return {"Acoustic on Axis Free Air Response", "   Hz\t\tdB\t\tdeg", "   Hz\t\tdB"};
    case ExportCurve::SplRoom:
        return {"Acoustic on Axis Response in Room/Cabinet", "   Hz\t\tdB\t\tdeg", "   Hz\t\tdB"};
    case ExportCurve::SplModes:
        return {"Acoustic Response with Standing wave Modes", "   Hz\t\tdB\t\tdeg", "   Hz\t\tdB"};
    case ExportCurve::FilterGain:
        return {"Filter gain", "   Hz\t\tdB\t\tdeg", "   Hz\t\tdB"};
    case ExportCurve::InputImpedance:
        return {"Impedance: ohm, phase", "   Hz\t\tohm\t\tdeg", "   Hz\t\tohm"};
    case ExportCurve::GroupDelay:
        return {"Group delay", "   Hz\t\tms", "   Hz\t\tms"};
    case ExportCurve::Transient:
        return {"", "   ms", "   ms"};
    }
    return {};
}

CurveExport makeCurveExport(ExportCurve curve, int pointCount, const double* x, const double* y1,
                            const double* y2) {
    const CurveLabels labels = curveLabels(curve);
    CurveExport data;
    data.title = std::string(labels.title);
    data.header = std::string(labels.header);
    data.headerFm = std::string(labels.headerFm);
    data.pointCount = pointCount;
    data.x = x;
    data.y1 = y1;
    data.y2 = y2;
    return data;
}

std::string exportWriteFailureText(const std::string& path) {
    return "Could not write file : " + path + "\nCheck if the folder exists and is writable.";
}

std::string asctimeText(const std::tm& time) {
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto day = static_cast<std::size_t>(std::clamp(time.tm_wday, 0, 6));
    const auto month = static_cast<std::size_t>(std::clamp(time.tm_mon, 0, 11));
    return strprintf("%.3s %.3s%3d %.2d:%.2d:%.2d %lld", kDays[day], kMonths[month], time.tm_mday,
                     time.tm_hour, time.tm_min, time.tm_sec, 1900LL + time.tm_year);
}

std::string curveFileText(const CurveExport& data, CurveFormat format, const std::tm& time) {
    const int count = std::max(data.pointCount, 0);
    const bool haveColumns = data.x != nullptr && data.y1 != nullptr;
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * 40 + 512);

    switch (format) {
    case CurveFormat::Frd:
    case CurveFormat::Zma:
        appendLine(out, data.header);
        break;
    case CurveFormat::Gdt:
        appendLine(out, "* LEAP Version 4.00, Export Graph Data table (GDT) Format");
        appendLine(out, "* " + asctimeText(time));
        appendLine(out, "* DGL Library Name : Harlox");
        appendLine(out, "* DGL Entry Number : 1, Name : ---");
        appendLine(out, strprintf("* Number of Points : %d", haveColumns ? count : 0));
        appendLine(out, "*  Graph 1 > " + data.title);
        appendLine(out, "* " + data.header);
        break;
    case CurveFormat::Fmp:
        appendLine(out, data.title);
        appendLine(out, data.header);
        break;
    case CurveFormat::Fm:
        appendLine(out, data.title);
        appendLine(out, data.headerFm);
        break;
    }

    if (haveColumns) {
        for (int i = 0; i < count; ++i) {
            out.push_back(' ');
            appendFixed(out, data.x[i]);
            out.push_back('\t');
            appendFixed(out, data.y1[i]);
            if (format != CurveFormat::Fm) {
                out.push_back('\t');
                appendFixed(out, column(data.y2, i));
            }
            out.append(kLineEnd);
        }
    }

    if (format == CurveFormat::Gdt) appendLine(out, "* End of LEAP GDT File.");
    return out;
}

bool writeCurveFile(const std::string& path, const CurveExport& data, CurveFormat format,
                    const std::tm& time) {
    const std::string text = curveFileText(data, format, time);
    return writeFileAtomic(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

namespace {

// `time` null: the local time when the file is written.
bool exportCurveAt(UiHost& host, FileSelector& selector, const CurveExport& data, bool withIcon,
                   const std::tm* time) {
    const std::optional<std::string> path = host.selectFile(selector, FileMode::Save);
    if (!path) return false;
    const MessageIcon icon = withIcon ? MessageIcon::Exclamation : MessageIcon::None;
    const std::optional<CurveFormat> format = curveFormatFromPath(*path);
    if (!format) {
        host.messageBox(kExportErrorCaption, kNoExportFormatText, icon, MessageButtons::Ok);
        return false;
    }
    std::tm local{};
    if (time == nullptr) {
        const std::time_t now = std::time(nullptr);
        if (localtime_r(&now, &local) == nullptr) local = std::tm{};
        time = &local;
    }
    if (!writeCurveFile(*path, data, *format, *time)) {
        host.messageBox(kExportErrorCaption, exportWriteFailureText(*path), icon, MessageButtons::Ok);
        return false;
    }
    return true;
}

} // namespace

bool exportCurve(UiHost& host, FileSelector& selector, const CurveExport& data, bool withIcon,
                 const std::tm& time) {
    return exportCurveAt(host, selector, data, withIcon, &time);
}

bool exportCurve(UiHost& host, FileSelector& selector, const CurveExport& data, bool withIcon) {
    return exportCurveAt(host, selector, data, withIcon, nullptr);
}

} // namespace harlox
