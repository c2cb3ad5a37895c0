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
std::string rangeText(double lo, double hi);

// A finite number within [lo, hi].
std::string readNumber(std::string_view v, double lo, double hi, double& out);
std::string readInteger(std::string_view v, long lo, long hi, long& out);
// 1, 0, true, false, on, off, yes, no
std::string readFlag(std::string_view v, bool& out);

// --size WIDTHxHEIGHT of the plots; false, with the message written to err, when refused.
bool parseSize(std::string_view text, int& width, int& height, std::ostream& err);

} // namespace harlox::cli
