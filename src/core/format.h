#pragma once

#include <string>

namespace harlox {

// printf-style formatting: the program's texts are defined by C format strings.
[[gnu::format(printf, 1, 2)]] std::string strprintf(const char* format, ...);

} // namespace harlox
