#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace harlox {

class UiHost;
struct FileSelector;

// The text formats other loudspeaker tools read, chosen by the extension of the file name.
enum class CurveFormat { Frd = 0, Zma = 1, Gdt = 2, Fmp = 3, Fm = 4 };

// ".FRD", ".ZMA", ".GDT", ".FMP", ".FM" in any letter case; anything else has no format.
std::optional<CurveFormat> curveFormatFromPath(std::string_view path);

// One curve to export. The columns are borrowed, not owned: each holds pointCount values;
// a missing y2 writes 0.000000 in the third column.
struct CurveExport {
    std::string title;    // names the curve (GDT, FMP and FM files)
    std::string header;   // column header of the formats with three columns
    std::string headerFm; // column header of the FM format (two columns)
    int pointCount = 0;
    const double* x = nullptr;
    const double* y1 = nullptr;
    const double* y2 = nullptr;
};

// The curves whose titles and column headers are fixed.
enum class ExportCurve { Spl, SplRoom, SplModes, FilterGain, InputImpedance, GroupDelay, Transient };

struct CurveLabels {
    std::string_view title; // empty for the transient response: its window caption names it
    std::string_view header;
    std::string_view headerFm;
};

CurveLabels curveLabels(ExportCurve curve);

// An export of `curve` with its labels filled in; a transient response still needs its title.
CurveExport makeCurveExport(ExportCurve curve, int pointCount, const double* x, const double* y1,
                            const double* y2);

// The save selectors of the exports.
inline constexpr const char* kSplExportFilter =
    "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|MLLSA (*.fmp)|*.fmp|MLLSA standard(*.fm)|*.fm";
inline constexpr const char* kSplExportExtension = "frd";
inline constexpr const char* kImpedanceExportFilter =
    "LAUD impedance (*.zma)|*.zma|LEAP (*.gdt)|*.gdt|MLLSA (*.fmp)|*.fmp|MLLSA standard(*.fm)|*.fm";
inline constexpr const char* kImpedanceExportExtension = "zma";

inline constexpr const char* kExportErrorCaption = "Export error";
inline constexpr const char* kNoExportFormatText = "No valid export format selected";

// The message shown when the export file cannot be written.
std::string exportWriteFailureText(const std::string& path);

// The date line of a GDT file: "Www Mmm dd hh:mm:ss yyyy", 24 characters for years
// 1000..9999, in English whatever the locale.
std::string asctimeText(const std::tm& time);

// The whole file, lines ended by CR LF, numbers with a decimal point in every locale.
// `time` is the local time written into a GDT header.
std::string curveFileText(const CurveExport& data, CurveFormat format, const std::tm& time);

// Writes the file atomically; false when it could not be written (nothing else is shown).
[[nodiscard]] bool writeCurveFile(const std::string& path, const CurveExport& data, CurveFormat format,
                                  const std::tm& time);

// Asks for the file name with `selector`, checks its extension and writes the curve.
// Cancel ends quietly; an unknown extension or a failed write shows a message under
// "Export error" (with an exclamation icon when `withIcon` is set). True when the file
// was written.
[[nodiscard]] bool exportCurve(UiHost& host, FileSelector& selector, const CurveExport& data, bool withIcon,
                               const std::tm& time);
// The same at the current local time.
[[nodiscard]] bool exportCurve(UiHost& host, FileSelector& selector, const CurveExport& data, bool withIcon);

} // namespace harlox
