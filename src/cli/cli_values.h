#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// The command-line parsers every subcommand shares. Each returns the reason a value is
// refused, or "" when it is accepted and written to out.
namespace harlox::cli {

std::string quoted(std::string_view v);
std::string lowerCase(std::string text);
// "a, b, c"
std::string joinNames(const std::vector<std::string_view>& names);
// How every range refusal begins; a caller that knows the unit appends it.
inline constexpr std::string_view kRangePrefix = "the value must lie between ";
// A range refusal with the unit the value is given in: "... between 0.0001 and 10 m^3".
std::string appendRangeUnit(std::string why, std::string_view unit);
std::string rangeText(double lo, double hi);

// A finite number within [lo, hi].
std::string readNumber(std::string_view v, double lo, double hi, double& out);
std::string readInteger(std::string_view v, long lo, long hi, long& out);
// 1, 0, true, false, on, off, yes, no
std::string readFlag(std::string_view v, bool& out);

// Curve files the tool writes, by their extension.
inline constexpr std::string_view kCurveExtensions = ".frd .zma .gdt .fmp .fm";
// "" when the extension of path is one of kCurveExtensions, else why it is refused.
std::string curveExtensionProblem(const std::string& path);

// --quiet: no "wrote FILE" lines.
void setQuiet(bool quiet);
// One line per file written, unless --quiet.
void reportWritten(std::ostream& out, const std::string& path);

// The whole message for a file that cannot be opened for reading ("cannot open 'x':
// No such file or directory"), or "" when it opens.
std::string openProblem(const std::string& path);
// The whole message for a file that could not be written: "cannot write 'x': " and the
// likely reason.
std::string writeProblem(const std::string& path);
// The whole message for a driver unit file that cannot be used, or "" when it loads.
std::string unitFileProblem(const std::string& path);

// --size WIDTHxHEIGHT of the plots; false, with the message written to err, when refused.
bool parseSize(std::string_view text, int& width, int& height, std::ostream& err);

} // namespace harlox::cli
